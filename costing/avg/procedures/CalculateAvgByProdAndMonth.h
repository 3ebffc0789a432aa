#pragma once

namespace db {
class EmbeddedProcedureContext;
}

namespace costing {

class ProcedureScript;
class ProcedureVariables;

// CALCULATE_AVG1ByProdAndMonth and CALCULATE_AVG4ByProdAndWorkAndMonth on the embedded engine:
// rebuilds one product's month of receipts in the cost ledger, without or with the finished
// goods of the month's work orders. The statements are those of the two creation scripts.
class CalculateAvgByProdAndMonth {
public:
    static int purchases(db::EmbeddedProcedureContext& call);
    static int withProduction(db::EmbeddedProcedureContext& call);

private:
    static int run(db::EmbeddedProcedureContext& call, const ProcedureScript& script,
                   bool withProduction);
    static void fillOpeningRow(ProcedureVariables& variables, const ProcedureScript& script);
};

} // namespace costing
