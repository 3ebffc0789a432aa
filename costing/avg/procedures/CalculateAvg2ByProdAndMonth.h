#pragma once

namespace db {
class EmbeddedProcedureContext;
}

namespace costing {

// CALCULATE_AVG2ByProdAndMonth on the embedded engine: the row averages of one product's year
// and its month's customer returns at the return unit cost. The statements are those of the
// creation script; the returns are added row by row instead of through a table variable.
class CalculateAvg2ByProdAndMonth {
public:
    static int run(db::EmbeddedProcedureContext& call);
};

} // namespace costing
