#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

class CostExplanation;

// stockcost-admin explain: how the cost in one line came about, by the company's costing
// method, as text or as tab-separated rows. It only reads. A line that no run costed gets the
// sentence that says why.
class ExplainCommand {
public:
    struct Options {
        QString database;
        QString table;
        qint64 id = 0;
        bool tsv = false;
    };

    // Reads "DB TABLE ID [--format text|tsv]"; raises UsageError.
    static Options parse(const QStringList& args);

    ExplainCommand(Options options, QTextStream& out);

    const QString& databaseName() const { return options_.database; }

    // The explanation on the open connection with that alias.
    CostExplanation explain(const QString& databaseName) const;

    // Prints it: 0 for a costed line, 1 for one that is not.
    int run(const QString& databaseName);

private:
    Options options_;
    QTextStream& out_;
};
