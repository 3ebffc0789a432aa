#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

class TerminalProgress;
class YearRun;

// stockcost-admin calculate: the average-cost calculation of a year, from a start month
// through December, without a window, as the window runs it. It refuses a company with
// another costing method and a company that lacks a procedure, records the calculation date
// as the window does, and shows its progress on a terminal line. Errors are raised; a product
// code that names no product is refused before anything is changed.
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

    // Runs on the open connection with that alias. 0 when every month was calculated and its
    // costs are final; 1 when work-order costs were still changing after the last pass.
    int run(const QString& databaseName);

    // Standard output is a terminal (not a file or a pipe).
    static bool stdoutIsTerminal();

private:
    // The checks, the months and the calculation date.
    void calculate(const QString& databaseName, TerminalProgress& progress, YearRun& yearRun);
    void checkCostingMethod(const QString& databaseName);
    void checkProduct(const QString& databaseName);
    void checkProcedures(const QString& databaseName);

    Options options_;
    QTextStream& out_;
    QTextStream& err_;
    bool interactive_;
};
