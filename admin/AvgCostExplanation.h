#pragma once

#include "admin/CostExplanation.h"
#include "admin/ExplainedLine.h"

#include <QString>
#include <QStringList>

// How the average cost came to a line's cost: the year-to-date average of its product for the
// month it is costed in, from the ledger rows of ProductCostAVG up to that month with the
// receipts of each month by kind, the division that gives the average and the multiplication
// by the line's Fraction. For material issued to or returned from a work order, its finished
// goods and the work order itself, also the work order's tree: each order's material, bill
// expenses, finished quantity and unit cost, and which candidate priced each material line.
class AvgCostExplanation {
public:
    // The tables whose lines the average cost writes a cost into.
    static QStringList costedTables();
    static bool isCostedTable(const QString& table) { return costedTables().contains(table); }

    AvgCostExplanation(QString databaseName, ExplainedLine line);

    CostExplanation explain();

private:
    // False, with the reason set, when the run does not cost the line.
    bool explainAverage(CostExplanation& explanation);
    void explainWorkOrder(CostExplanation& explanation, qint64 workOrder);

    QString databaseName_;
    ExplainedLine line_;
};
