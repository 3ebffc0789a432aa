#pragma once

#include "costing/fifo/FifoMonthRun.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

#include <functional>
#include <vector>

class TerminalProgress;
class YearRun;

// stockcost-admin calculate: the calculation of a year, from a start month through December,
// without a window, as the window of the company's costing method runs it: average cost
// (method 1) or FIFO (method 3). It refuses a company with another costing method and a
// company that lacks a procedure, records the calculation date as the window does, and shows
// its progress on a terminal line. Errors are raised; a product code that names no product is
// refused before anything is changed. A FIFO procedure call that fails does not stop the run:
// it is written to the error log and listed on standard error at the end, and the exit status
// is 1.
class CalculateCommand {
public:
    struct Options {
        QString database;
        int year = 0;
        int fromMonth = 1;
        QString product;
    };

    // Reads "DB --year Y [--from-month M] [--product CODE]"; raises UsageError.
    static Options parse(const QStringList& args);

    // interactive: the output is a terminal, so the progress line is rewritten in place.
    // A run whose work-order costs did not settle says so on err.
    CalculateCommand(Options options, QTextStream& out, QTextStream& err, bool interactive);

    const QString& databaseName() const { return options_.database; }
    // Where failed procedure calls are written, besides standard error.
    void setErrorLog(FifoMonthRun::ErrorLog log) { errorLog_ = std::move(log); }

    // Runs on the open connection with that alias. 0 when every month was calculated without
    // a failed call and its costs are final; 1 when calls failed or work-order costs were still
    // changing after the last pass.
    int run(const QString& databaseName);

    // Standard output is a terminal (not a file or a pipe).
    static bool stdoutIsTerminal();

private:
    // The checks, the months and the calculation date.
    void calculate(const QString& databaseName, TerminalProgress& progress, YearRun& yearRun);
    void calculateAverageCost(const QString& databaseName, TerminalProgress& progress,
                              YearRun& yearRun);
    // Keeps the failed calls.
    void calculateFifo(const QString& databaseName, TerminalProgress& progress, YearRun& yearRun);
    // The company's costing method, 1 or 3; any other is refused.
    int costingMethod(const QString& databaseName);
    void checkProduct(const QString& databaseName, int method);
    void checkProcedures(const QString& databaseName, const QStringList& names);

    Options options_;
    QTextStream& out_;
    QTextStream& err_;
    bool interactive_;
    FifoMonthRun::ErrorLog errorLog_;
    std::vector<FifoMonthRun::Failure> failures_;
};
