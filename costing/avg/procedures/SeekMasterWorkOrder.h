#pragma once

namespace db {
class EmbeddedProcedureContext;
}

namespace costing {

// SeekMasterWorkOrder on the embedded engine: follows a work order's chain of masters up to its
// root. Each step is a nested call on SQL Server, so a chain longer than the nesting limit, or
// a cycle, fails as it does there.
class SeekMasterWorkOrder {
public:
    static int run(db::EmbeddedProcedureContext& call);
};

} // namespace costing
