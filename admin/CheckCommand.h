#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

// stockcost-admin check: holds a calculated year of a company to the rules of its costing
// method and prints what does not hold. FIFO: per product and month opening + received -
// issued = closing in quantity and value, the layers left neither below zero nor above what
// they received and the newest, every issue line's consumptions adding up to it, every line of
// the documents costed once and the costs written into the lines; shortages, supplier notes
// that found no stock and openings that differ from the stock on hand are listed as notes.
// Average cost: every ledger row equals the receipts recomputed from the documents and every
// cost written into a line equals its year-to-date average.
class CheckCommand {
public:
    struct Options {
        QString database;
        int year = 0;
    };

    // Reads "DB --year Y"; raises UsageError.
    static Options parse(const QStringList& args);

    CheckCommand(Options options, QTextStream& out);

    const QString& databaseName() const { return options_.database; }

    // Runs on the open connection with that alias: 0 when everything holds, 1 otherwise.
    int run(const QString& databaseName);

private:
    struct Finding;

    void print(const Finding& finding);

    Options options_;
    QTextStream& out_;
};
