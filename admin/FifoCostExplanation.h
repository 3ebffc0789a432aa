#pragma once

#include "admin/CostExplanation.h"
#include "admin/ExplainedLine.h"

#include <QString>

namespace db {
class TQuery;
}

// How the FIFO costing came to a line's cost, from what its procedures keep: for an issue the
// layers it took, oldest first, with the receipt each came from, and its shortage; for a
// receipt where its value came from (its document, the issue whose cost a return took, the
// work order that made it); then the cost per base unit and per unit of the line. For a work
// order, its material, expenses and quantity finished as the work-order costing took them.
class FifoCostExplanation {
public:
    FifoCostExplanation(QString databaseName, ExplainedLine line);

    CostExplanation explain();

private:
    CostExplanation explainWorkOrder();
    void explainIssue(const db::TQuery& movement, CostExplanation& explanation);
    void explainReceipt(const db::TQuery& movement, CostExplanation& explanation);
    QString notCostedReason() const;

    QString databaseName_;
    ExplainedLine line_;
};
