#include "costing/avg/procedures/SeekMasterWorkOrder.h"

#include "costing/avg/procedures/ProcedureScript.h"
#include "costing/avg/procedures/ProcedureVariables.h"
#include "db/embedded/EmbeddedProcedureContext.h"

namespace costing {

int SeekMasterWorkOrder::run(db::EmbeddedProcedureContext& call) {
    const auto& script = ProcedureScript::of(QStringLiteral("SeekMasterWorkOrder"));
    ProcedureVariables variables(call);
    variables.setCharInput(QStringLiteral("@WorkOrderNo"), 20);
    for (int nestingLevel = 1;; ++nestingLevel) {
        if (nestingLevel > ProcedureVariables::maxNestingLevel)
            throw ProcedureVariables::nestingLimitExceeded();
        variables.execute(script.statement(QStringLiteral("MasterOf")));
        if (variables.value(QStringLiteral("@Master")).isNull()) {
            call.setOutput(QStringLiteral("@MasterWorkOrderNo"),
                           variables.value(QStringLiteral("@WorkOrderNo")));
            return 0;
        }
        variables.execute(script.statement(QStringLiteral("NumberOfMaster")));
        variables.set(
            QStringLiteral("@WorkOrderNo"), db::DataType::String,
            ProcedureVariables::charValue(variables.value(QStringLiteral("@MasterNo")), 20));
    }
}

} // namespace costing
