#include "costing/avg/procedures/CalculateWorkOrderAvg.h"

#include "costing/avg/procedures/ProcedureScript.h"
#include "costing/avg/procedures/ProcedureVariables.h"
#include "db/embedded/EmbeddedProcedureContext.h"

namespace costing {

int CalculateWorkOrderAvg::run(db::EmbeddedProcedureContext& call) {
    costWorkOrder(call, call.input(QStringLiteral("@WorkNo")), 1);
    return 0;
}

void CalculateWorkOrderAvg::costWorkOrder(db::EmbeddedProcedureContext& call,
                                          const QVariant& workNo, int nestingLevel) {
    if (nestingLevel > ProcedureVariables::maxNestingLevel)
        throw ProcedureVariables::nestingLimitExceeded();
    const auto& script = ProcedureScript::of(QStringLiteral("CALCULATE_WorkOrderAVG"));
    const auto statement = [&script](const char* name) {
        return script.statement(QLatin1String(name));
    };
    ProcedureVariables variables(call);
    variables.set(QStringLiteral("@WorkNo"), db::DataType::String,
                  ProcedureVariables::charValue(workNo, 20));

    // Only a work order with a bill is costed; of two with the same number, the last entered.
    const auto found = variables.execute(QStringLiteral(
        "Select Top 1 W.Id, B.Id, B.BomAssembly, Year(W.WorkDate), Month(W.WorkDate) "
        "From WorkOrderHd W Join BomHd B On B.Id = W.BomHd "
        "Where W.WorkOrderNo = @WorkNo Order By W.Id Desc"));
    if (found.rows.empty())
        return;
    const QVariantList& workOrder = found.rows.front();
    variables.set(QStringLiteral("@WorkId"), db::DataType::Integer, workOrder[0]);
    variables.set(QStringLiteral("@BomHd"), db::DataType::Integer, workOrder[1]);
    variables.set(QStringLiteral("@WorkYear"), db::DataType::Integer, workOrder[3]);
    variables.set(QStringLiteral("@WorkMonth"), db::DataType::Integer, workOrder[4]);

    variables.execute(statement("ClearWorkOrderCost"));
    variables.execute(statement("ClearOutputLineCosts"));

    const auto children = variables.execute(
        QStringLiteral("Select WorkOrderNo From WorkOrderHd Where MasterWorkOrder = @WorkId "
                       "Order By Id"));
    if (children.rows.empty()) {
        variables.execute(statement("LeafIssueLines"));
        variables.execute(statement("LeafReturnLines"));
    } else {
        for (const auto& child : children.rows)
            costWorkOrder(call, child.front(), nestingLevel + 1);

        // The flags go back to their old values below; when a statement fails in between, the
        // call's transaction is rolled back and takes the Y flags with it.
        const auto flags = variables.execute(statement("LineProducts"));
        for (const auto& flag : flags.rows) {
            variables.set(QStringLiteral("@FlagProduct"), db::DataType::Integer, flag[0]);
            variables.execute(
                QStringLiteral("Update Product Set Negative = 'Y' Where Id = @FlagProduct"));
        }
        variables.execute(statement("MasterIssueLines"));
        variables.execute(statement("MasterReturnLines"));
        for (const auto& flag : flags.rows) {
            variables.set(QStringLiteral("@FlagProduct"), db::DataType::Integer, flag[0]);
            variables.set(QStringLiteral("@Negative"), db::DataType::String, flag[1]);
            variables.execute(
                QStringLiteral("Update Product Set Negative = @Negative Where Id = @FlagProduct"));
        }
    }

    variables.execute(statement("FinishedQuantity"));
    variables.execute(statement("MaterialCost"));
    variables.execute(statement("UnitCost"));
    if (ProcedureVariables::flagIs(workOrder[2], 'N'))
        variables.execute(statement("OutputLineCosts"));
}

} // namespace costing
