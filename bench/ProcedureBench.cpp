// One call of each average-cost procedure on a 2,000-product demo company on the embedded
// engine. Each benchmark makes one pass over the month's products (or work orders) in the
// order of a month run, and reports the median, 90th percentile and longest call.
#include "admin/DemoCompany.h"
#include "costing/avg/AvgSql.h"
#include "costing/avg/procedures/AvgProcedures.h"
#include "db/TDatabase.h"
#include "db/TQuery.h"
#include "db/TStoredProc.h"
#include "db/schema/SchemaInstaller.h"

#include <QElapsedTimer>
#include <QStringList>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>

namespace {

constexpr int benchYear = 2024;
constexpr int benchMonth = 6;
constexpr int benchProducts = 2000;
const QString company = QStringLiteral("Demo2000");
const QString alias = QStringLiteral("ProcedureBench");

// The demo company, built once for the whole run, and the month's lists as the month run
// reads them.
class DemoServer {
public:
    DemoServer() {
        costing::registerAvgProcedures();
        const auto server = QStringLiteral("embedded:") + dir.path();
        db::schema::SchemaInstaller installer(server);
        installer.createConfigDatabase();
        installer.createCompanyDatabase(company, 1);
        database.params() = QStringList{QStringLiteral("DATABASE NAME=") + company,
                                        QStringLiteral("SERVER NAME=") + server};
        QElapsedTimer timer;
        timer.start();
        DemoCompany demo(database, {benchYear, benchProducts, 1});
        demo.generate();
        std::fprintf(stderr, "demo company: %lld rows, %lld document lines in %.2f s\n",
                     static_cast<long long>(demo.totalRows()),
                     static_cast<long long>(demo.documentLines()),
                     static_cast<double>(timer.elapsed()) / 1000.0);

        db::TQuery products(QStringLiteral("QProduct"), alias,
                            costing::avgSql(QStringLiteral("QProduct"), alias));
        products.paramByName(QStringLiteral("Year")).setAsInteger(benchYear);
        products.paramByName(QStringLiteral("Month")).setAsInteger(benchMonth);
        products.paramByName(QStringLiteral("ProdCode")).setAsString(QString());
        for (products.open(); !products.eof(); products.next())
            productCodes << products.fieldByName(QStringLiteral("ProdCode")).asString();

        db::TQuery roots(QStringLiteral("QWorkOrderMaster"), alias,
                         costing::avgSql(QStringLiteral("QWorkOrderMaster"), alias));
        roots.paramByName(QStringLiteral("Year")).setAsInteger(benchYear);
        roots.paramByName(QStringLiteral("Month")).setAsInteger(benchMonth);
        for (roots.open(); !roots.eof(); roots.next())
            rootWorkOrders << roots.fieldByName(QStringLiteral("WorkOrderNo")).asString();

        // The work orders whose roots the month run looks up.
        db::TQuery closed(QStringLiteral("QClosed"), alias,
                          QStringLiteral("Select WorkOrderNo From WorkOrderHd Where Delflag = 'N' "
                                         "And Year(IsNull(Closedate, FinishDate)) = :Year "
                                         "And Month(IsNull(Closedate, FinishDate)) = :Month "
                                         "Order By WorkOrderNo"));
        closed.paramByName(QStringLiteral("Year")).setAsInteger(benchYear);
        closed.paramByName(QStringLiteral("Month")).setAsInteger(benchMonth);
        for (closed.open(); !closed.eof(); closed.next())
            closedWorkOrders << closed.fieldByName(QStringLiteral("WorkOrderNo")).asString();
    }

    QTemporaryDir dir;
    db::TDatabase database{alias};
    QStringList productCodes;
    QStringList rootWorkOrders;
    QStringList closedWorkOrders;
};

DemoServer& server() {
    static DemoServer instance;
    return instance;
}

// Calls the procedure once for every key and reports the spread of the single calls.
void passOver(benchmark::State& state, const QStringList& keys,
              const std::function<void(const QString&)>& call) {
    std::vector<double> milliseconds;
    milliseconds.reserve(static_cast<size_t>(keys.size()));
    for (auto _ : state) {
        for (const auto& key : keys) {
            const auto start = std::chrono::steady_clock::now();
            call(key);
            const std::chrono::duration<double, std::milli> spent =
                std::chrono::steady_clock::now() - start;
            milliseconds.push_back(spent.count());
        }
    }
    if (milliseconds.empty())
        return;
    std::sort(milliseconds.begin(), milliseconds.end());
    const auto at = [&](double share) {
        return milliseconds[static_cast<size_t>(share *
                                                static_cast<double>(milliseconds.size() - 1))];
    };
    state.counters["calls"] = static_cast<double>(milliseconds.size());
    state.counters["median_ms"] = at(0.5);
    state.counters["p90_ms"] = at(0.9);
    state.counters["max_ms"] = milliseconds.back();
}

void productProcedure(benchmark::State& state, const char* name) {
    auto& demo = server();
    db::TStoredProc procedure(QStringLiteral("Sp") + QLatin1String(name), alias,
                              QLatin1String(name));
    procedure.addParam(QStringLiteral("@Year"), db::DataType::Integer, db::ParamKind::Input)
        .setAsInteger(benchYear);
    procedure.addParam(QStringLiteral("@ProdCode"), db::DataType::String, db::ParamKind::Input);
    procedure.addParam(QStringLiteral("@Month"), db::DataType::Integer, db::ParamKind::Input)
        .setAsInteger(benchMonth);
    passOver(state, demo.productCodes, [&](const QString& code) {
        procedure.close();
        procedure.paramByName(QStringLiteral("@ProdCode")).setAsString(code);
        procedure.execProc();
    });
}

// In the order of a month run: receipts, work orders, receipts with production, averages.
void CALCULATE_AVG1ByProdAndMonth(benchmark::State& state) {
    productProcedure(state, "CALCULATE_AVG1ByProdAndMonth");
}
BENCHMARK(CALCULATE_AVG1ByProdAndMonth)->Iterations(1)->Unit(benchmark::kMillisecond);

void SeekMasterWorkOrder(benchmark::State& state) {
    auto& demo = server();
    db::TStoredProc procedure(QStringLiteral("SpSeekMasterWorkOrder"), alias,
                              QStringLiteral("SeekMasterWorkOrder"));
    procedure.addParam(QStringLiteral("@WorkOrderNo"), db::DataType::String, db::ParamKind::Input);
    procedure.addParam(QStringLiteral("@MasterWorkOrderNo"), db::DataType::String,
                       db::ParamKind::Output);
    passOver(state, demo.closedWorkOrders, [&](const QString& workOrderNo) {
        procedure.close();
        procedure.paramByName(QStringLiteral("@WorkOrderNo")).setAsString(workOrderNo);
        procedure.execProc();
    });
}
BENCHMARK(SeekMasterWorkOrder)->Iterations(1)->Unit(benchmark::kMillisecond);

void CALCULATE_WorkOrderAVG(benchmark::State& state) {
    auto& demo = server();
    db::TStoredProc procedure(QStringLiteral("SpCALCULATE_WorkOrderAVG"), alias,
                              QStringLiteral("CALCULATE_WorkOrderAVG"));
    procedure.addParam(QStringLiteral("@WorkNo"), db::DataType::String, db::ParamKind::Input);
    passOver(state, demo.rootWorkOrders, [&](const QString& workOrderNo) {
        procedure.close();
        procedure.paramByName(QStringLiteral("@WorkNo")).setAsString(workOrderNo);
        procedure.execProc();
    });
}
BENCHMARK(CALCULATE_WorkOrderAVG)->Iterations(1)->Unit(benchmark::kMillisecond);

void CALCULATE_AVG4ByProdAndWorkAndMonth(benchmark::State& state) {
    productProcedure(state, "CALCULATE_AVG4ByProdAndWorkAndMonth");
}
BENCHMARK(CALCULATE_AVG4ByProdAndWorkAndMonth)->Iterations(1)->Unit(benchmark::kMillisecond);

void CALCULATE_AVG2ByProdAndMonth(benchmark::State& state) {
    productProcedure(state, "CALCULATE_AVG2ByProdAndMonth");
}
BENCHMARK(CALCULATE_AVG2ByProdAndMonth)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
