// The demo company generator: reproducible contents, size in proportion to the product count,
// every kind of document the costing reads, rows that hang together, one transaction, and the
// "stockcost-admin demo" command line.
#include "admin/DemoCompany.h"
#include "TempServer.h"
#include "db/DatabaseError.h"
#include "db/TDatabase.h"
#include "db/TQuery.h"
#include "db/schema/SchemaInstaller.h"

#include <gtest/gtest.h>

#include <QProcess>

#include <memory>

namespace {

constexpr int demoYear = 2023;

// Tables with an Id key, each with the document date columns it carries.
struct KeyedTable {
    const char* name;
    std::vector<const char*> dates;
};

const std::vector<KeyedTable> keyedTables{
    {"Product", {}},
    {"ProductUnits", {}},
    {"Warehouse", {}},
    {"MfgExpense", {}},
    {"ProductComponentHd", {}},
    {"ProductComponentDt", {}},
    {"BomHd", {}},
    {"BomDt", {}},
    {"imhd", {"imdate"}},
    {"imdt", {}},
    {"MRHD", {"MRDATE"}},
    {"MRDT", {"MrDate"}},
    {"PCHD", {"PCDATE"}},
    {"PCDT", {"PcDate"}},
    {"PRHD", {"PRDATE"}},
    {"PRDT", {}},
    {"VCNHD", {"CDDATE"}},
    {"VCNDT", {}},
    {"VDNHD", {"CDDATE"}},
    {"VDNDT", {}},
    {"POSRHD", {"SRDATE"}},
    {"POSRDT", {"SrDate"}},
    {"TranBranchHD", {"TranDATE"}},
    {"TranBranchDT", {}},
    {"ProductAssemblyHd", {"PaDate"}},
    {"ProductAssemblyDt", {"PaDate"}},
    {"SRHD", {"SRDATE"}},
    {"SRDT", {"SrDate"}},
    {"IsHd", {"IsDate"}},
    {"Isdt", {"IsDate"}},
    {"RiHd", {"RiDate"}},
    {"Ridt", {"RiDate"}},
    {"AdjuststockHd", {"AdjDate"}},
    {"AdjuststockDt", {}},
    {"IvHd", {"IvDate"}},
    {"IvDt", {"IvDate"}},
    {"PosHd", {"PosDate"}},
    {"PosDt", {"PosDate"}},
    {"WorkOrderHd", {"WorkDate", "FinishDate", "Closedate"}},
    {"WorkOrderDt", {}},
    {"MFGISHD", {"MfgIsDate"}},
    {"MFGISDT", {"MfgIsDate"}},
    {"MFGRIHD", {"MfgRiDate"}},
    {"MFGRIDT", {"MfgRiDate"}},
    {"MFGFinishDt", {"FinishDate"}},
};

// Line tables: their header table and link column, and the header's date column when the line
// carries a copy of it.
struct LineTable {
    const char* lines;
    const char* header;
    const char* link;
    const char* headerDate;
    const char* lineDate;
};

const std::vector<LineTable> lineTables{
    {"imdt", "imhd", "imhd", nullptr, nullptr},
    {"MRDT", "MRHD", "MRHD", "MRDATE", "MrDate"},
    {"PCDT", "PCHD", "PCHD", "PCDATE", "PcDate"},
    {"PRDT", "PRHD", "PRHD", nullptr, nullptr},
    {"VCNDT", "VCNHD", "VCNHD", nullptr, nullptr},
    {"VDNDT", "VDNHD", "VDNHD", nullptr, nullptr},
    {"POSRDT", "POSRHD", "POSRHD", "SRDATE", "SrDate"},
    {"TranBranchDT", "TranBranchHD", "TranBranchHD", nullptr, nullptr},
    {"ProductAssemblyDt", "ProductAssemblyHd", "ProductAssemblyHd", "PaDate", "PaDate"},
    {"ProductComponentDt", "ProductComponentHd", "ProductComponentHd", nullptr, nullptr},
    {"SRDT", "SRHD", "SRHD", "SRDATE", "SrDate"},
    {"Isdt", "IsHd", "IsHd", "IsDate", "IsDate"},
    {"Ridt", "RiHd", "RiHd", "RiDate", "RiDate"},
    {"AdjuststockDt", "AdjuststockHd", "AdjuststockHd", nullptr, nullptr},
    {"IvDt", "IvHd", "IvHd", "IvDate", "IvDate"},
    {"PosDt", "PosHd", "PosHd", "PosDate", "PosDate"},
    {"BomDt", "BomHd", "BomHd", nullptr, nullptr},
    {"WorkOrderDt", "WorkOrderHd", "WorkOrderHd", nullptr, nullptr},
    {"MFGISDT", "MFGISHD", "MFGISHD", "MfgIsDate", "MfgIsDate"},
    {"MFGRIDT", "MFGRIHD", "MFGRIHD", "MfgRiDate", "MfgRiDate"},
    {"MFGFinishDt", "WorkOrderHd", "WorkOrderHd", "FinishDate", "FinishDate"},
};

// Tables whose lines name a product and one of its units.
const std::vector<const char*> unitTables{"imdt",
                                          "MRDT",
                                          "PCDT",
                                          "PRDT",
                                          "VCNDT",
                                          "VDNDT",
                                          "POSRDT",
                                          "TranBranchDT",
                                          "ProductAssemblyHd",
                                          "ProductAssemblyDt",
                                          "ProductComponentDt",
                                          "SRDT",
                                          "Isdt",
                                          "Ridt",
                                          "AdjuststockDt",
                                          "IvDt",
                                          "PosDt",
                                          "WorkOrderDt",
                                          "MFGISDT",
                                          "MFGRIDT",
                                          "MFGFinishDt",
                                          "ProductCostAVG"};

// Line tables whose Fraction column copies the unit's.
const std::vector<const char*> fractionTables{"Isdt",    "Ridt",    "AdjuststockDt",
                                              "MFGISDT", "MFGRIDT", "MFGFinishDt"};

const std::vector<const char*> documentLineTables{
    "imdt",          "MRDT",         "PCDT",
    "PRDT",          "VCNDT",        "VDNDT",
    "POSRDT",        "TranBranchDT", "ProductAssemblyDt",
    "SRDT",          "Isdt",         "Ridt",
    "AdjuststockDt", "IvDt",         "PosDt",
    "WorkOrderDt",   "MFGISDT",      "MFGRIDT",
    "MFGFinishDt"};

// The first line where two dumps differ, empty when they are the same.
std::string firstDifference(const QString& a, const QString& b) {
    const auto linesA = a.split('\n');
    const auto linesB = b.split('\n');
    for (qsizetype i = 0; i < std::max(linesA.size(), linesB.size()); ++i) {
        const auto lineA = linesA.value(i);
        const auto lineB = linesB.value(i);
        if (lineA != lineB)
            return QStringLiteral("line %1: '%2' against '%3'")
                .arg(i + 1)
                .arg(lineA, lineB)
                .toStdString();
    }
    return {};
}

struct Company {
    QString name;
    int products;
    std::uint64_t seed;
    qint64 reportedLines = 0;
};

} // namespace

class DemoCompanyTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server_ = std::make_unique<TempServer>();
        db::schema::SchemaInstaller installer(server_->serverName());
        installer.createConfigDatabase();
        for (auto& company : companies_) {
            installer.createCompanyDatabase(company.name, 1);
            db::TDatabase database("DemoTarget");
            database.params() = server_->connectionParams(company.name);
            DemoCompany demo(database, {demoYear, company.products, company.seed});
            demo.generate();
            company.reportedLines = demo.documentLines();
        }
    }
    static void TearDownTestSuite() { server_.reset(); }

    void SetUp() override {
        database_ = std::make_unique<db::TDatabase>("DemoCheck");
        database_->params() = server_->connectionParams(QStringLiteral("SeedSeven"));
    }

    // The first column of the first row of a query on the company "SeedSeven" (or another).
    qint64 count(const QString& sql, const QString& company = QStringLiteral("SeedSeven")) {
        db::TDatabase other("DemoOther");
        QString alias = QStringLiteral("DemoCheck");
        if (company != QStringLiteral("SeedSeven")) {
            other.params() = server_->connectionParams(company);
            alias = QStringLiteral("DemoOther");
        }
        db::TQuery query("QCount", alias, sql);
        if (query.params().findParam(QStringLiteral("Year")))
            query.paramByName(QStringLiteral("Year")).setAsInteger(demoYear);
        query.open();
        return query.fieldByName(query.fieldNames().first()).asInteger();
    }

    void execute(const QString& sql, const QString& company) {
        db::TDatabase database("DemoOther");
        database.params() = server_->connectionParams(company);
        db::TQuery query("QExecute", "DemoOther", sql);
        query.execSql();
    }

    // Every row of every table the generator writes, in key order.
    QString dump(const QString& company) {
        db::TDatabase database("DemoDump");
        database.params() = server_->connectionParams(company);
        QStringList tables;
        for (const auto& table : keyedTables)
            tables << QStringLiteral("Select * From %1 Order By Id").arg(table.name);
        tables << "Select * From ProductOnhand Order By Product, BalanceYear, PeriodNo, Warehouse"
               << "Select * From ProductCostAVG Order By Product, ProductUnits, BalanceYear, "
                  "PeriodNo";
        QString text;
        for (const auto& sql : tables) {
            db::TQuery query("QDump", "DemoDump", sql);
            query.open();
            text += sql + '\n';
            for (; !query.eof(); query.next()) {
                for (const auto& field : query.fieldNames())
                    text += query.fieldByName(field).asString() + '|';
                text += '\n';
            }
        }
        return text;
    }

    qint64 documentLinesIn(const QString& company) {
        qint64 total = 0;
        for (const auto* table : documentLineTables)
            total += count(QStringLiteral("Select Count(*) From %1").arg(table), company);
        return total;
    }

    static inline std::unique_ptr<TempServer> server_;
    static inline std::vector<Company> companies_{{"SeedSeven", 20, 7},
                                                  {"SeedSevenAgain", 20, 7},
                                                  {"SeedEight", 20, 8},
                                                  {"SixtyProducts", 60, 7}};
    std::unique_ptr<db::TDatabase> database_;
};

TEST_F(DemoCompanyTest, SameSeedGivesTheSameCompanyAndAnotherSeedAnother) {
    const auto seven = dump("SeedSeven");
    EXPECT_GT(seven.count('\n'), 2000);
    EXPECT_EQ(firstDifference(seven, dump("SeedSevenAgain")), "");
    EXPECT_NE(firstDifference(seven, dump("SeedEight")), "");
}

TEST_F(DemoCompanyTest, LinesGrowInProportionToProducts) {
    for (const auto& company : companies_) {
        const qint64 lines = documentLinesIn(company.name);
        EXPECT_EQ(lines, company.reportedLines) << company.name.toStdString();
        // About a hundred document lines per product.
        EXPECT_GT(lines, 70 * company.products) << company.name.toStdString();
        EXPECT_LT(lines, 130 * company.products) << company.name.toStdString();
    }
    const double ratio = static_cast<double>(documentLinesIn("SixtyProducts")) /
                         static_cast<double>(documentLinesIn("SeedSeven"));
    EXPECT_GT(ratio, 2.5);
    EXPECT_LT(ratio, 3.5);
    EXPECT_EQ(count("Select Count(*) From Product", "SixtyProducts"), 60);
}

TEST_F(DemoCompanyTest, EveryKindOfDocumentTheCostingReadsIsThere) {
    const std::vector<std::pair<const char*, const char*>> kinds{
        {"credit purchase with VAT included",
         "Select Count(*) From MRHD Where Price_IE = 'I' And TaxRate = 7 And Delflag = 'N'"},
        {"credit purchase with VAT excluded", "Select Count(*) From MRHD Where Price_IE = 'E'"},
        {"cash purchases in both VAT modes",
         "Select Count(Distinct Price_IE) From PCHD Where Price_IE In ('I', 'E')"},
        {"document discounts", "Select Count(*) From MRHD Where DiscAmt1 > 0 Or DiscAmt2 > 0"},
        {"discount left empty", "Select Count(*) From MRHD Where DiscAmt3 Is Null"},
        {"free goods", "Select Count(*) From MRHD h Where Not Exists "
                       "(Select * From MRDT d Where d.MRHD = h.Id And d.Total <> 0)"},
        {"import valued to four decimals",
         "Select Count(*) From imdt Where Cost * 100 <> Round(Cost * 100, 0)"},
        {"transfer in", "Select Count(*) From TranBranchHD Where TranType = 'I'"},
        {"transfer out", "Select Count(*) From TranBranchHD Where TranType = 'O'"},
        {"purchase return", "Select Count(*) From PRDT"},
        {"credit note of a purchase return",
         "Select Count(*) From VCNHD h Join PRHD r On r.Id = h.PrHd"},
        {"credit note on its own", "Select Count(*) From VCNHD Where PrHd Is Null"},
        {"debit note", "Select Count(*) From VDNDT"},
        {"point-of-sale return", "Select Count(*) From POSRDT"},
        {"set assembly", "Select Count(*) From ProductAssemblyHd Where PaType = 'A'"},
        {"set disassembly lines", "Select Count(*) From ProductAssemblyDt Where PaType = 'D'"},
        {"two assemblies alike",
         "Select Count(*) From (Select Product From ProductAssemblyHd Where Delflag = 'N' "
         "Group By Product, ProductUnits, Warehouse, PaDate, Quantity Having Count(*) > 1) x"},
        {"customer return", "Select Count(*) From SRHD Where SrType = 'A' And Delflag = 'N'"},
        {"customer return not costed", "Select Count(*) From SRHD Where SrType = 'B'"},
        {"deleted customer return", "Select Count(*) From SRHD Where Delflag = 'Y'"},
        {"deleted purchase", "Select Count(*) From MRHD Where Delflag = 'Y'"},
        {"stock issue", "Select Count(*) From Isdt"},
        {"stock return", "Select Count(*) From Ridt"},
        {"stock decrease", "Select Count(*) From AdjuststockDt Where Quantity < 0"},
        {"stock increase", "Select Count(*) From AdjuststockDt Where Quantity > 0"},
        {"invoice", "Select Count(*) From IvDt"},
        {"point-of-sale sale", "Select Count(*) From PosDt"},
        {"line in a unit of 12 or more",
         "Select Count(*) From MRDT d Join ProductUnits u On u.Id = d.ProductUnits "
         "Where u.Fraction >= 12"},
        {"opening stock", "Select Count(*) From ProductOnhand Where PeriodNo = 0"},
        {"opening stock in two rows",
         "Select Count(*) From (Select Product From ProductOnhand Where PeriodNo = 0 "
         "Group By Product Having Count(*) > 1) x"},
        {"monthly stock", "Select Count(*) From ProductOnhand Where PeriodNo = 12"},
        {"opening cost row in a larger unit",
         "Select Count(*) From ProductCostAVG c Join ProductUnits u On u.Id = c.ProductUnits "
         "Where c.PeriodNo = 0 And c.BalanceYear = :Year And u.Fraction > 1 And c.CostAvg > 0"},
        {"cost of the year before",
         "Select Count(*) From ProductCostAVG Where BalanceYear = :Year - 1 And CostAvg > 0"},
        {"bill making one product", "Select Count(*) From BomHd Where BomAssembly = 'Y'"},
        {"bill making its lines", "Select Count(*) From BomHd Where BomAssembly = 'N'"},
        {"expense per unit", "Select Count(*) From BomDt d Join MfgExpense e On e.Id = "
                             "d.MfgExpense Where d.RmType = 'E'"},
        {"expense per order", "Select Count(*) From BomDt d Join MfgExpense e On e.Id = "
                              "d.MfgExpense Where d.RmType = 'F'"},
        {"expense of a removed kind",
         "Select Count(*) From BomDt d Where d.RmType = 'E' And Not Exists "
         "(Select * From MfgExpense e Where e.Id = d.MfgExpense)"},
        {"three-level work-order tree",
         "Select Count(*) From WorkOrderHd g Join WorkOrderHd c On c.Id = g.MasterWorkOrder "
         "Join WorkOrderHd r On r.Id = c.MasterWorkOrder Where r.MasterWorkOrder Is Null"},
        {"master issuing its sub-order's product",
         "Select Count(*) From MFGISDT d Join MFGISHD h On h.Id = d.MFGISHD "
         "Join WorkOrderHd c On c.MasterWorkOrder = h.WorkOrderHd And c.FinishedGoods = "
         "d.Product"},
        {"master issuing a sub-order's output line",
         "Select Count(*) From MFGISDT d Join MFGISHD h On h.Id = d.MFGISHD "
         "Join WorkOrderHd c On c.MasterWorkOrder = h.WorkOrderHd "
         "Join WorkOrderDt o On o.WorkOrderHd = c.Id And o.Product = d.Product "
         "Join BomHd b On b.Id = c.BomHd Where b.BomAssembly = 'N'"},
        {"cleared order", "Select Count(*) From WorkOrderHd Where Clear = 'Y'"},
        {"uncleared order", "Select Count(*) From WorkOrderHd Where Clear = 'N'"},
        {"order closed a month after it finished",
         "Select Count(*) From WorkOrderHd Where Month(Closedate) > Month(FinishDate)"},
        {"order without a close date", "Select Count(*) From WorkOrderHd Where Closedate Is Null"},
        {"deleted order", "Select Count(*) From WorkOrderHd Where Delflag = 'Y'"},
        {"order making one product without an output line",
         "Select Count(*) From WorkOrderHd w Join BomHd b On b.Id = w.BomHd Where "
         "b.BomAssembly = 'Y' And Not Exists (Select * From WorkOrderDt o Where o.WorkOrderHd = "
         "w.Id)"},
        {"output lines of an 'N' order",
         "Select Count(*) From WorkOrderDt o Join WorkOrderHd w On w.Id = o.WorkOrderHd "
         "Join BomHd b On b.Id = w.BomHd Where b.BomAssembly = 'N'"},
        {"material issued", "Select Count(*) From MFGISDT"},
        {"deleted material issue", "Select Count(*) From MFGISHD Where Delflag = 'Y'"},
        {"material returned", "Select Count(*) From MFGRIDT"},
        {"finished goods of both bill kinds",
         "Select Count(Distinct BomAssembly) From MFGFinishDt Where BomAssembly In ('Y', 'N')"},
        {"finished line of an output line",
         "Select Count(*) From MFGFinishDt f Join WorkOrderDt o On o.Id = f.WorkOrderDt "
         "Where f.BomAssembly = 'N'"},
    };
    for (const auto& [kind, sql] : kinds)
        EXPECT_GT(count(sql), 0) << kind;
}

TEST_F(DemoCompanyTest, RowsHangTogether) {
    // Each of these counts rows that would be wrong.
    std::vector<std::pair<QString, QString>> faults;
    for (const auto* table : unitTables) {
        faults.emplace_back(QStringLiteral("%1: unit of another product").arg(table),
                            QStringLiteral("Select Count(*) From %1 d Left Join ProductUnits u On "
                                           "u.Id = d.ProductUnits Where u.Id Is Null Or "
                                           "u.Product <> d.Product")
                                .arg(table));
    }
    for (const auto* table : fractionTables) {
        faults.emplace_back(QStringLiteral("%1: fraction not the unit's").arg(table),
                            QStringLiteral("Select Count(*) From %1 d Join ProductUnits u On "
                                           "u.Id = d.ProductUnits Where d.Fraction <> u.Fraction")
                                .arg(table));
    }
    for (const auto& line : lineTables) {
        faults.emplace_back(
            QStringLiteral("%1: no header").arg(line.lines),
            QStringLiteral("Select Count(*) From %1 d Left Join %2 h On h.Id = d.%3 Where h.Id "
                           "Is Null")
                .arg(line.lines, line.header, line.link));
        if (line.lineDate) {
            faults.emplace_back(
                QStringLiteral("%1: date not the header's").arg(line.lines),
                QStringLiteral("Select Count(*) From %1 d Join %2 h On h.Id = d.%3 Where "
                               "d.%4 <> h.%5")
                    .arg(line.lines, line.header, line.link, line.lineDate, line.headerDate));
        }
    }
    for (const auto& table : keyedTables) {
        faults.emplace_back(
            QStringLiteral("%1: ids not dense").arg(table.name),
            QStringLiteral("Select Count(*) - IsNull(Max(Id), 0) From %1").arg(table.name));
        for (const auto* date : table.dates) {
            faults.emplace_back(QStringLiteral("%1.%2: outside the year").arg(table.name, date),
                                QStringLiteral("Select Count(*) From %1 Where Year(%2) <> :Year")
                                    .arg(table.name, date));
        }
    }
    faults.emplace_back(
        "opening cost rows: not one per product",
        "Select Count(*) From (Select Product From ProductCostAVG Where PeriodNo = 0 "
        "Group By Product, BalanceYear Having Count(*) > 1) x");
    faults.emplace_back("work order: unit not its bill's",
                        "Select Count(*) From WorkOrderHd w Join BomHd b On b.Id = w.BomHd "
                        "Where b.ProductUnits <> w.ProductUnits");
    faults.emplace_back("work order: finished goods not its bill's",
                        "Select Count(*) From WorkOrderHd w Join BomHd b On b.Id = w.BomHd "
                        "Where b.BomAssembly = 'Y' And (w.FinishedGoods <> b.Product Or "
                        "w.FinishedGoods Is Null)");
    faults.emplace_back("work order: master missing",
                        "Select Count(*) From WorkOrderHd w Left Join WorkOrderHd m On m.Id = "
                        "w.MasterWorkOrder Where w.MasterWorkOrder Is Not Null And m.Id Is Null");
    faults.emplace_back("work order: finished before it started",
                        "Select Count(*) From WorkOrderHd Where FinishDate < WorkDate Or "
                        "Closedate < FinishDate");
    faults.emplace_back("work order: number used twice",
                        "Select Count(*) - Count(Distinct WorkOrderNo) From WorkOrderHd");
    faults.emplace_back("month stock outside the year",
                        "Select Count(*) From ProductOnhand Where PeriodNo > 0 And BalanceYear "
                        "<> :Year");
    for (const auto& [fault, sql] : faults)
        EXPECT_EQ(count(sql), 0) << fault.toStdString();
}

TEST_F(DemoCompanyTest, FailureLeavesTheDatabaseAsItWas) {
    db::schema::SchemaInstaller(server_->serverName())
        .createCompanyDatabase(QStringLiteral("Clash"), 1);
    // A finished-goods row already there makes one of the last inserts fail.
    execute("Insert Into MFGFinishDt (Id) Values (1)", "Clash");
    {
        db::TDatabase database("DemoTarget");
        database.params() = server_->connectionParams(QStringLiteral("Clash"));
        DemoCompany demo(database, {demoYear, 20, 7});
        EXPECT_THROW(demo.generate(), db::DatabaseError);
        EXPECT_FALSE(database.inTransaction());
    }
    EXPECT_EQ(count("Select Count(*) From Product", "Clash"), 0);
    EXPECT_EQ(count("Select Count(*) From MRDT", "Clash"), 0);
    EXPECT_EQ(count("Select Count(*) From MFGFinishDt", "Clash"), 1);

    // A company that already has products is refused and left alone.
    db::TDatabase database("DemoTarget");
    database.params() = server_->connectionParams(QStringLiteral("SeedEight"));
    const qint64 before = count("Select Count(*) From IvDt", "SeedEight");
    DemoCompany again(database, {demoYear, 20, 9});
    try {
        again.generate();
        ADD_FAILURE() << "a second demo run was accepted";
    } catch (const db::DatabaseError& error) {
        EXPECT_TRUE(error.message().contains("already has products")) << error.what();
    }
    EXPECT_EQ(count("Select Count(*) From IvDt", "SeedEight"), before);
}

namespace {

struct AdminRun {
    int exitCode = -1;
    QString out;
    QString err;
};

AdminRun runAdmin(const QString& server, const QStringList& args) {
    QProcess process;
    process.start(QStringLiteral(STOCKCOST_ADMIN_PATH), QStringList{"--server", server} + args);
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
    }
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

} // namespace

TEST(DemoCommand, RefusesBadArgumentsAndFillsTheCompany) {
    TempServer server;
    ASSERT_EQ(runAdmin("", {"init", server.directory()}).exitCode, 0);
    ASSERT_EQ(runAdmin(server.serverName(), {"create-company", "Shop"}).exitCode, 0);

    const std::vector<std::pair<QStringList, QString>> bad{
        {{"demo"}, "expects a database name"},
        {{"demo", "--products", "20"}, "expects a database name"},
        {{"demo", "Shop", "--products", "abc"}, "--products expects a whole number"},
        {{"demo", "Shop", "--products", "19"}, "from 20 to 100000"},
        {{"demo", "Shop", "--year", "1800"}, "--year expects a whole number"},
        {{"demo", "Shop", "--year", "2024.5"}, "--year expects"},
        {{"demo", "Shop", "--seed", "-1"}, "--seed expects"},
        {{"demo", "Shop", "--seed"}, "--seed needs a value"},
        {{"demo", "Shop", "--size", "3"}, "demo: unknown option '--size'"},
    };
    for (const auto& [args, message] : bad) {
        const auto run = runAdmin(server.serverName(), args);
        EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains(message)) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("usage:")) << run.err.toStdString();
    }
    const auto untouched = runAdmin(server.serverName(), {"sql", "Shop",
                                                          "Select Count(*) N "
                                                          "From Product"});
    EXPECT_EQ(untouched.out, "N\n0\n");

    const auto run = runAdmin(
        server.serverName(), {"demo", "Shop", "--products", "20", "--year", "2022", "--seed", "3"});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.startsWith("Shop: year 2022, 20 products, seed 3: "))
        << run.out.toStdString();
    const auto purchases =
        runAdmin(server.serverName(),
                 {"sql", "Shop", "Select Count(*) N From MRHD Where Year(MRDATE) = 2022"});
    EXPECT_GT(purchases.out.section('\n', 1, 1).toInt(), 0) << purchases.out.toStdString();
    // The same company twice is refused as a database error, not a usage error.
    const auto second = runAdmin(server.serverName(), {"demo", "Shop", "--products", "20"});
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_TRUE(second.err.startsWith("Shop already has products")) << second.err.toStdString();
}
