// The average-cost month run on an embedded company: what it clears, the order of its phases
// and the costs it writes back into the month's lines.
#include "costing/avg/AvgMonthRun.h"
#include "AvgTestCompany.h"
#include "RecordedProgress.h"
#include "costing/MonthRunProgress.h"
#include "costing/avg/AvgSql.h"
#include "db/DatabaseError.h"
#include "db/ParamParser.h"
#include "db/SqlBatches.h"
#include "db/TSQLScript.h"
#include "db/TStoredProc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include <vector>

namespace {

const QString phase1 = "สถานะ : กำลังคำนวณต้นทุน และ รับคืน (1/3)";
const QString phase2 = "สถานะ : กำลังคำนวณต้นทุนในใบสั่งผลิต และใส่ใน ProductCostAVG (2/3)";
const QString phase3 = "สถานะ : กำลังคำนวณรับคืน (3/3)";
const QString setCost = "สถานะ : กำลังคำนวณรับคืน (3/3) Set Cost In transaction";
const QString setFinish = "สถานะ : กำลังคำนวณรับคืน (3/3) Set Cost In transaction MFGFinish";

} // namespace

class AvgMonthRunTest : public ::testing::Test {
protected:
    void run(int year, int month, const QString& filter = {},
             const QString& companyDatabase = AvgTestCompany::database) {
        AvgMonthRun monthRun(progress, company.alias());
        monthRun.setCompanyDatabase(companyDatabase);
        monthRun.setProductFilter(filter);
        monthRun.CalculateProdAVGMonth(year, month);
    }
    double price(const QString& table, int id) { return company.price(table, id); }

    AvgTestCompany company{QStringLiteral("AVGRUN")};
    RecordedProgress progress;
};

TEST_F(AvgMonthRunTest, WritesTheYearToDateAverageIntoTheMonthsIssueLines) {
    run(2024, 1);

    // The ledger: opening row 10 units worth 50.00, January 10 units for 70.00.
    EXPECT_EQ(company.ledger(1, 0), "10/50");
    EXPECT_EQ(company.ledger(1, 1), "10/70");

    // Average 120.00 / 20 = 6.0000 a base unit: 72.0000 for the line in dozens.
    EXPECT_DOUBLE_EQ(price("Isdt", 1), 72.0);
    EXPECT_DOUBLE_EQ(price("Isdt", 2), 6.0) << "a deleted document's line is priced as well";
    EXPECT_DOUBLE_EQ(price("Ridt", 1), 6.0);
    EXPECT_DOUBLE_EQ(price("MFGISDT", 1), 72.0);
    EXPECT_DOUBLE_EQ(price("MFGRIDT", 1), 6.0);
    EXPECT_DOUBLE_EQ(price("AdjuststockDt", 1), 6.0) << "a decrease gets the average";
    EXPECT_DOUBLE_EQ(price("AdjuststockDt", 2), 9.99) << "an increase keeps its price";
    EXPECT_DOUBLE_EQ(price("Isdt", 3), 1.23) << "February is not January's business";

    // B002: 40.00 / 5 = 8.0000, also in its finished-goods line.
    EXPECT_DOUBLE_EQ(price("Isdt", 4), 8.0);
    EXPECT_DOUBLE_EQ(price("MFGFinishDt", 1), 8.0);

    EXPECT_EQ(company.count("Select Count(*) From Product Where Negative = 'N'"), 2);
}

TEST_F(AvgMonthRunTest, ALaterMonthBuildsOnTheEarlierOnes) {
    company.exec("Insert Into PCHD (Id, PCDATE, DocNo, Delflag, DiscAmt1, DiscAmt2, DiscAmt3, "
                 "TaxRate, Price_IE) Values (1, '2024-02-01', 'PC1', 'N', 0, 0, 0, 7, 'I')");
    // 107.00 with VAT included is 100.00.
    company.exec("Insert Into PCDT (Id, PCHD, Product, ProductUnits, Warehouse, Quantity, Price, "
                 "Total) Values (1, 1, 1, 11, 1, 20, 5.35, 107)");
    company.exec("Insert Into ProductOnhand (Product, Warehouse, BalanceYear, PeriodNo, Quantity) "
                 "Values (1, 1, 2024, 2, 40)");
    run(2024, 1);
    run(2024, 2);

    // (50.00 + 70.00 + 100.00) / 40 = 5.5000 for February; January keeps its 6.0000.
    EXPECT_DOUBLE_EQ(price("Isdt", 3), 5.5);
    EXPECT_DOUBLE_EQ(price("Isdt", 1), 72.0);

    // Running January again changes nothing in February's ledger.
    run(2024, 1);
    EXPECT_EQ(company.ledger(1, 2), "20/100");
}

TEST_F(AvgMonthRunTest, ShowsItsThreePhasesInOrder) {
    run(2024, 1);
    const std::vector<QString> statuses{phase1,    phase2,  phase3,   setCost,
                                        setFinish, setCost, setFinish};
    EXPECT_EQ(progress.only("status"), statuses);
    const std::vector<QString> products{"สินค้า : A001 - น้ำปลา", "สินค้า : B002 - ซีอิ๊ว",
                                        "เลขที่ใบสั่งผลิต : WO-1 (05/01/2024 08:30 => 31/01/2024)",
                                        "สินค้า : A001 - น้ำปลา", "สินค้า : B002 - ซีอิ๊ว"};
    EXPECT_EQ(progress.only("product"), products);
    EXPECT_EQ(progress.only("max"), (std::vector<QString>{"2", "1", "2"}));
    EXPECT_EQ(progress.only("month"),
              (std::vector<QString>{"เดือน : 1", "เดือน : 1", "เลขที่ใบสั่งผลิตเดือน : 1", "เดือน : 1",
                                    "เดือน : 1"}));
    EXPECT_EQ(progress.positions, (std::vector<int>{0, 1, 2, 0, 1, 0, 1, 2}));
}

TEST_F(AvgMonthRunTest, CompanyQwdaKeepsItsFinishedGoodsPrices) {
    struct Case {
        QString companyDatabase;
        bool keeps;
    };
    for (const auto& c : {Case{"  QWD_A ", true}, Case{"QWD_A", true}, Case{"qwd_a", false},
                          Case{"QWD_AB", false}}) {
        company.exec("Update MFGFinishDt Set Price = 1.11");
        progress = {};
        run(2024, 1, {}, c.companyDatabase);
        const auto statuses = progress.only("status");
        const bool finishShown =
            std::find(statuses.begin(), statuses.end(), setFinish) != statuses.end();
        EXPECT_EQ(finishShown, !c.keeps) << c.companyDatabase.toStdString();
        EXPECT_DOUBLE_EQ(price("MFGFinishDt", 1), c.keeps ? 1.11 : 8.0)
            << c.companyDatabase.toStdString();
        EXPECT_DOUBLE_EQ(price("Isdt", 1), 72.0);
    }
}

TEST_F(AvgMonthRunTest, AFilteredRunKeepsTheOtherProductsResults) {
    run(2024, 1);
    company.exec("Update Isdt Set Price = 0");
    progress = {};
    run(2024, 1, "A001");

    EXPECT_EQ(company.ledger(2, 1), "5/40");
    EXPECT_EQ(company.ledger(1, 1), "10/70");
    EXPECT_DOUBLE_EQ(price("Isdt", 1), 72.0);
    EXPECT_DOUBLE_EQ(price("Isdt", 4), 0.0) << "B002 is not calculated";
    EXPECT_EQ(progress.only("max"), (std::vector<QString>{"1", "1", "1"}));

    // A product code that does not exist calculates nothing and clears nothing.
    progress = {};
    run(2024, 1, "NOSUCH");
    EXPECT_EQ(company.count("Select Count(*) From ProductCostAVG Where PeriodNo = 1"), 2);
    EXPECT_EQ(progress.only("max"), (std::vector<QString>{"0", "1", "0"}));
}

TEST_F(AvgMonthRunTest, AProductWhoseCostsCannotBeWrittenKeepsItsLedgerAsBefore) {
    // A January customer return of A001, which the third phase adds to the ledger.
    company.exec("Insert Into SRHD (Id, SRDATE, DocNo, Delflag, SrType) Values "
                 "(1, '2024-01-26', 'SR1', 'N', 'A')");
    company.exec("Insert Into SRDT (Id, SRHD, Product, ProductUnits, Warehouse, Quantity, SrDate) "
                 "Values (1, 1, 1, 11, 1, 2, '2024-01-26')");
    company.exec("Exec sp_rename 'AdjuststockDt', 'AdjuststockDtAway'");

    EXPECT_THROW(run(2024, 1), db::DatabaseError);
    // The first phase's receipts stay; the return and the issue costs written before the
    // write-back failed go with it.
    EXPECT_EQ(company.ledger(1, 1), "10/70");
    EXPECT_DOUBLE_EQ(price("Isdt", 1), 0.0);
    EXPECT_EQ(company.value("Select Negative From Product Where Id = 1").toString(), "N");

    company.exec("Exec sp_rename 'AdjuststockDtAway', 'AdjuststockDt'");
    run(2024, 1);
    EXPECT_EQ(company.ledger(1, 1), "12/82");
    EXPECT_DOUBLE_EQ(price("Isdt", 1), 72.0);
}

TEST_F(AvgMonthRunTest, AnEmptyMonthStillClearsItsLedgerRows) {
    // A row left from an earlier run for a month that no longer has anything.
    company.exec("Insert Into ProductCostAVG (Product, ProductUnits, PeriodNo, BalanceYear, "
                 "PurcQnty, PurcAmount, CostAvg) Values (1, 11, 3, 2024, 5, 25, 5)");
    run(2024, 3);
    EXPECT_EQ(company.ledger(1, 3), "/");
    EXPECT_EQ(progress.only("max"), (std::vector<QString>{"0", "0", "0"}));
    EXPECT_TRUE(progress.only("product").empty());
    EXPECT_EQ(progress.only("status"), (std::vector<QString>{phase1, phase2, phase3}));
    EXPECT_EQ(company.ledger(1, 0), "0/0") << "the opening row is never cleared";
}

// The root list of the month as the embedded engine computes it, against the roots that
// SeekMasterWorkOrder finds for each work order of the month.
TEST_F(AvgMonthRunTest, WorkOrderRootsAgreeWithSeekMasterWorkOrder) {
    // A chain of 32 work orders (the deepest the server follows) and trees of every shape.
    QStringList rows;
    for (int i = 0; i < 32; ++i)
        rows << QStringLiteral("(%1, 'C%2', %3, '2024-01-%4', '2024-01-20', Null, 'N')")
                    .arg(100 + i)
                    .arg(i, 2, 10, QLatin1Char('0'))
                    .arg(i == 31 ? QStringLiteral("Null") : QString::number(101 + i))
                    .arg(1 + i % 28, 2, 10, QLatin1Char('0'));
    rows << "(10, 'R', Null, '2024-01-10', '2024-02-01', '2024-02-02', 'N')"
         << "(11, 'R-1', 10, '2024-01-11', '2024-01-12', '2024-01-13', 'N')"
         << "(12, 'R-2', 10, '2024-01-11', '2024-01-14', Null, 'N')"
         << "(13, 'R-2-1', 12, '2024-01-11', '2024-01-12', '2024-01-12', 'N')"
         << "(14, 'R-3', 10, '2024-01-11', '2024-01-12', '2024-01-12', 'Y')"
         << "(20, 'S', Null, '2023-12-30', '2024-01-03', '2024-01-04', 'Y')"
         << "(30, 'O', 999, '2024-01-01', '2024-01-02', '2024-01-02', 'N')";
    company.exec("Insert Into WorkOrderHd (Id, WorkOrderNo, MasterWorkOrder, WorkDate, FinishDate, "
                 "Closedate, Delflag) Values " +
                 rows.join(", "));

    auto roots = [&] {
        db::TQuery master("QWorkOrderMaster", company.alias(),
                          costing::avgSql("QWorkOrderMaster", company.alias()));
        master.paramByName("Year").setAsInteger(2024);
        master.paramByName("Month").setAsInteger(1);
        master.open();
        QStringList numbers;
        for (; !master.eof(); master.next())
            numbers << master.fieldByName("WorkOrderNo").asString();
        return numbers;
    };
    db::TStoredProc seek("SpSeek", company.alias(), "SeekMasterWorkOrder");
    seek.addParam("@WorkOrderNo", db::DataType::String, db::ParamKind::Input);
    seek.addParam("@MasterWorkOrderNo", db::DataType::String, db::ParamKind::Output);
    auto seekRoot = [&](const QString& number) {
        seek.paramByName("@WorkOrderNo").setAsString(number);
        seek.execProc();
        return seek.paramByName("@MasterWorkOrderNo").asString().trimmed();
    };

    db::TQuery month("QMonth", company.alias(),
                     "Select W.WorkOrderNo From WorkOrderHd W Where W.Delflag = 'N' And "
                     "Year(IsNull(W.Closedate, W.FinishDate)) = 2024 And "
                     "Month(IsNull(W.Closedate, W.FinishDate)) = 1");
    QStringList sought;
    for (month.open(); !month.eof(); month.next()) {
        const auto root = seekRoot(month.fieldByName("WorkOrderNo").asString());
        if (!root.isEmpty() && !sought.contains(root))
            sought << root;
    }
    auto listed = roots();
    EXPECT_EQ(listed, (QStringList{"C31", "WO-1", "R"})) << "by work date";
    listed.sort();
    sought.sort();
    EXPECT_EQ(listed, sought);

    // One more link, or a circle, and both fail with the server's nesting error.
    auto errorOf = [](const std::function<void()>& action) {
        try {
            action();
        } catch (const db::DatabaseError& error) {
            return error.message();
        }
        return QString();
    };
    const std::vector<std::pair<QString, QString>> broken{
        {"Update WorkOrderHd Set MasterWorkOrder = 10 Where Id = 131", "C00"},
        {"Update WorkOrderHd Set MasterWorkOrder = 11 Where Id = 10", "R-1"}};
    for (const auto& [change, start] : broken) {
        company.exec("Update WorkOrderHd Set MasterWorkOrder = Null Where Id In (131, 10)");
        company.exec(change);
        const QString nesting = "nesting level exceeded (limit 32)";
        EXPECT_TRUE(errorOf([&] { seekRoot(start); }).contains(nesting)) << change.toStdString();
        EXPECT_TRUE(errorOf([&] { roots(); }).contains(nesting)) << change.toStdString();
    }
}

// The SQL Server batches that have an embedded twin never run here; what the script runner
// makes of them can be checked: each must reach the server whole, with the parameters the run
// sets.
TEST(AvgSqlTexts, SqlServerBatchesReachTheServerWhole) {
    for (const auto* name : {"SQLUpdateCostToPrice", "SQLUpdateCostToMFGFinish"}) {
        db::TSQLScript script(name);
        script.setSql(db::sqlResource(QStringLiteral(":/costing/avg/sql/%1.sql").arg(name)));
        QStringList names;
        for (auto& param : script.params()) {
            names << param.name();
            param.setAsInteger(1);
        }
        EXPECT_EQ(names, (QStringList{"Year", "Month", "ProdCode"})) << name;
        int statements = 0;
        script.setDryRun([&](int, int, const QString&) { ++statements; });
        script.execute();
        EXPECT_EQ(statements, 1) << name;
    }
    EXPECT_EQ(db::parameterNames(db::sqlResource(":/costing/avg/sql/QWorkOrderMaster.sql")),
              (QStringList{"Year", "Month"}));
}
