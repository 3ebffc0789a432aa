#include "costing/avg/procedures/CalculateAvgByProdAndMonth.h"

#include "costing/avg/procedures/ProcedureScript.h"
#include "costing/avg/procedures/ProcedureVariables.h"

namespace costing {

int CalculateAvgByProdAndMonth::purchases(db::EmbeddedProcedureContext& call) {
    return run(call, ProcedureScript::of(QStringLiteral("CALCULATE_AVG1ByProdAndMonth")), false);
}

int CalculateAvgByProdAndMonth::withProduction(db::EmbeddedProcedureContext& call) {
    return run(call, ProcedureScript::of(QStringLiteral("CALCULATE_AVG4ByProdAndWorkAndMonth")),
               true);
}

int CalculateAvgByProdAndMonth::run(db::EmbeddedProcedureContext& call,
                                    const ProcedureScript& script, bool withProduction) {
    ProcedureVariables variables(call);
    variables.setIntegerInput(QStringLiteral("@Year"));
    variables.setCharInput(QStringLiteral("@ProdCode"), 20);
    variables.setIntegerInput(QStringLiteral("@Month"));

    script.findProduct(variables);
    variables.execute(script.statement(QStringLiteral("ClearMonth")));
    const QVariant month = variables.value(QStringLiteral("@Month"));
    // With production the opening row is only filled in January.
    if (!withProduction || (!month.isNull() && month.toLongLong() == 1))
        fillOpeningRow(variables, script);
    variables.execute(script.statement(QStringLiteral("Receipts")));
    return 0;
}

void CalculateAvgByProdAndMonth::fillOpeningRow(ProcedureVariables& variables,
                                                const ProcedureScript& script) {
    variables.execute(script.statement(QStringLiteral("HasOnhand")));
    if (variables.value(QStringLiteral("@HasOnhand")).toLongLong() <= 0)
        return;
    variables.execute(script.statement(QStringLiteral("OpeningQuantity")));
    variables.execute(script.statement(QStringLiteral("OpeningUnit")));
    variables.execute(script.statement(QStringLiteral("OpeningFraction")));

    // SQL Server divides the decimal CostAvg by the integer fraction and fails on a fraction of
    // 0; SQLite would divide integers as integers and give null for 0.
    const QVariant fraction = variables.value(QStringLiteral("@Frac"));
    if (!fraction.isNull() && fraction.toLongLong() == 0) {
        const auto costed = variables.execute(
            QStringLiteral("Select Count(*) From ProductCostAVG "
                           "Where Product = @Prod And BalanceYear = @Year And PeriodNo = 0 "
                           "And CostAvg Is Not Null"));
        if (costed.rows.front().front().toLongLong() > 0)
            throw ProcedureVariables::divideByZero();
    }
    variables.execute(
        QStringLiteral("Update ProductCostAVG "
                       "Set PurcQnty = @PQnty, "
                       "PurcAmount = Round(@PQnty * (Convert(Float, CostAvg) / @Frac), 2) "
                       "Where Product = @Prod And BalanceYear = @Year And PeriodNo = 0"));
}

} // namespace costing
