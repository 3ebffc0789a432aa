#pragma once

#include <QVariant>

namespace db {
class EmbeddedProcedureContext;
}

namespace costing {

// CALCULATE_WorkOrderAVG on the embedded engine: costs a work order's tree, children first. The
// statements are those of the creation script; a child is costed by a nested call, counted
// against SQL Server's nesting limit.
class CalculateWorkOrderAvg {
public:
    static int run(db::EmbeddedProcedureContext& call);

private:
    static void costWorkOrder(db::EmbeddedProcedureContext& call, const QVariant& workNo,
                              int nestingLevel);
};

} // namespace costing
