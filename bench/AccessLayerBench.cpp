// The access layer on the embedded engine: single-statement autocommit updates, and what one
// stored-procedure call costs against a plain query doing the same work.
#include "db/TDatabase.h"
#include "db/TQuery.h"
#include "db/TStoredProc.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

// One embedded server with a database of 1,000 rows for the whole run.
class BenchServer {
public:
    BenchServer() {
        master.params() = params("master");
        db::TQuery create("QCreate", "BenchMaster", "Create Database Bench");
        create.execSql();
        database.params() = params("Bench");
        db::TQuery setup("QSetup", "Bench", "Create Table Item (Id Int Primary Key, Qty Float)");
        setup.execSql();
        setup.setSql("Insert Into Item (Id, Qty) Values (:Id, 0)");
        for (int id = 1; id <= 1000; ++id) {
            setup.paramByName("Id").setAsInteger(id);
            setup.execSql();
        }
        setup.setSql("Create Procedure AddQty @Id Int As "
                     "Update Item Set Qty = Qty + 1 Where Id = @Id");
        setup.execSql();
    }

    QStringList params(const QString& name) const {
        return {"DATABASE NAME=" + name, "SERVER NAME=embedded:" + dir.path()};
    }

    QTemporaryDir dir;
    db::TDatabase master{"BenchMaster"};
    db::TDatabase database{"Bench"};
};

BenchServer& server() {
    static BenchServer instance;
    return instance;
}

void AutocommitUpdate(benchmark::State& state) {
    server();
    db::TQuery update("QUpdate", "Bench", "Update Item Set Qty = Qty + 1 Where Id = :Id");
    int id = 0;
    for (auto _ : state) {
        update.paramByName("Id").setAsInteger(id++ % 1000 + 1);
        update.execSql();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(AutocommitUpdate)->Unit(benchmark::kMicrosecond);

void ProcedureCall(benchmark::State& state) {
    server();
    db::TStoredProc call("SpAddQty", "Bench", "AddQty");
    call.addParam("@Id", db::DataType::Integer, db::ParamKind::Input);
    int id = 0;
    for (auto _ : state) {
        call.close();
        call.paramByName("@Id").setAsInteger(id++ % 1000 + 1);
        call.execProc();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(ProcedureCall)->Unit(benchmark::kMicrosecond);

void PointQuery(benchmark::State& state) {
    server();
    db::TQuery query("QItem", "Bench", "Select Qty From Item Where Id = :Id");
    int id = 0;
    for (auto _ : state) {
        query.close();
        query.paramByName("Id").setAsInteger(id++ % 1000 + 1);
        query.open();
        benchmark::DoNotOptimize(query.fieldByName("Qty").asFloat());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(PointQuery)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
