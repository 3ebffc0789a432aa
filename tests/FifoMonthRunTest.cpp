// The FIFO month run on an embedded FIFO company with procedures that record their calls:
// which products and root work orders a month lists, the order of the calls, what each phase
// shows, a failing call, a stop and a list that cannot be read.
#include "costing/fifo/FifoMonthRun.h"
#include "FifoRunTestCompany.h"
#include "RecordedProgress.h"
#include "db/DatabaseError.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

const QString phase1 = "สถานะ : กำลังคำนวณต้นทุน ในการรับสินค้าเข้า (1/4)";
const QString phase2 = "สถานะ : กำลังคำนวณต้นทุน ใส่รายการจ่ายสินค้าออก (2/4)";
const QString phase3 = "สถานะ : กำลังคำนวณต้นทุนในใบสั่งผลิต (3/4)";
const QString phase4 = "สถานะ : กำลังคำนวณต้นทุน ใส่รายการจ่ายสินค้าออก (4/4)";

} // namespace

// On the embedded engine, and on SQL Server when STOCKCOST_TEST_MSSQL names one.
class FifoMonthRunTest : public ::testing::TestWithParam<FifoRunTestCompany::Engine> {
protected:
    void SetUp() override {
        if (GetParam() == FifoRunTestCompany::Engine::SqlServer && !MssqlTestDatabase::configured())
            GTEST_SKIP() << "STOCKCOST_TEST_MSSQL is not set";
        company = std::make_unique<FifoRunTestCompany>(QStringLiteral("FIFORUN"),
                                                       FifoRunTestCompany::Data::Empty, GetParam());
    }

    void run(int month, const QString& filter = {}) {
        FifoMonthRun monthRun(progress, company->alias());
        monthRun.setProductFilter(filter);
        monthRun.setErrorLog([this](const QString& message) { logged << message; });
        monthRun.beginRun();
        monthRun.CalculateProdFIFOMonth(2024, month);
        failures = monthRun.failures();
    }

    void product(int id, const QString& code) {
        company->exec(QStringLiteral("Insert Into Product (Id, Code, ThaiName, Negative) Values "
                                     "(%1, '%2', 'สินค้า %2', 'N')")
                          .arg(id)
                          .arg(code));
    }
    // A document line of the product with its own date column, in no document at all: the
    // month's list reads the line tables alone.
    void line(const QString& table, const QString& dateColumn, int product, double quantity,
              const QString& date) {
        company->exec(QStringLiteral("Insert Into %1 (Id, Product, Quantity, %2) Values "
                                     "(%3, %4, %5, '%6')")
                          .arg(table, dateColumn)
                          .arg(++lineId)
                          .arg(product)
                          .arg(quantity)
                          .arg(date));
    }
    void onhand(int product, int year, int period, double quantity) {
        company->exec(QStringLiteral("Insert Into ProductOnhand (Product, Warehouse, BalanceYear, "
                                     "PeriodNo, Quantity) Values (%1, 1, %2, %3, %4)")
                          .arg(product)
                          .arg(year)
                          .arg(period)
                          .arg(quantity));
    }
    // Two products with March movements, A001 and B002.
    void twoProducts() {
        product(7, "B002");
        product(3, "A001");
        line("Isdt", "IsDate", 7, 2, "2024-03-04");
        line("MRDT", "MrDate", 3, 5, "2024-03-31 23:59:59");
    }
    void workOrder(int id, const QString& number, const QString& master, const QString& workDate,
                   const QString& finishDate, const QString& closeDate, const QString& delflag) {
        company->exec(QStringLiteral("Insert Into WorkOrderHd (Id, WorkOrderNo, MasterWorkOrder, "
                                     "WorkDate, FinishDate, Closedate, Delflag) Values (%1, '%2', "
                                     "%3, '%4', '%5', %6, '%7')")
                          .arg(id)
                          .arg(number, master, workDate, finishDate, closeDate, delflag));
    }

    std::unique_ptr<FifoRunTestCompany> company;
    RecordedProgress progress;
    std::vector<FifoMonthRun::Failure> failures;
    QStringList logged;
    int lineId = 0;
};

TEST_P(FifoMonthRunTest, ListsEveryProductWithAQuantityInOneOfItsTwelveSourcesByCode) {
    struct Source {
        const char* table;
        const char* dateColumn;
    };
    const Source sources[] = {{"MRDT", "MrDate"},
                              {"PCDT", "PcDate"},
                              {"POSRDT", "SrDate"},
                              {"SRDT", "SrDate"},
                              {"Ridt", "RiDate"},
                              {"MFGRIDT", "MfgRiDate"},
                              {"MFGFinishDt", "FinishDate"},
                              {"IvDt", "IvDate"},
                              {"PosDt", "PosDate"},
                              {"Isdt", "IsDate"},
                              {"MFGISDT", "MfgIsDate"}};
    // S00 has only its opening quantity of March; S01 to S11 one line each, ids against the
    // order of their codes.
    QStringList expected;
    product(50, "S00");
    onhand(50, 2024, 3, 4);
    expected << "FIFO1 3 50";
    for (int i = 0; i < 11; ++i) {
        const int id = 40 - i;
        product(id, QStringLiteral("S%1").arg(i + 1, 2, 10, QLatin1Char('0')));
        line(sources[i].table, sources[i].dateColumn, id, 1, "2024-03-15 10:00");
        expected << QStringLiteral("FIFO1 3 %1").arg(id);
    }
    // Not listed: quantities of zero or below in March, March of another year, other months.
    product(1, "N01");
    onhand(1, 2024, 3, 0);
    line("Isdt", "IsDate", 1, 0, "2024-03-10");
    line("MRDT", "MrDate", 1, -3, "2024-03-10");
    product(2, "N02");
    onhand(2, 2023, 3, 9);
    onhand(2, 2024, 2, 9);
    line("PCDT", "PcDate", 2, 1, "2024-02-29 23:59:59");
    line("IvDt", "IvDate", 2, 1, "2024-04-01");
    line("PosDt", "PosDate", 2, 1, "2023-03-15");

    run(3);
    EXPECT_EQ(company->calls("Name = 'Calculate_FIFO1'"), expected);
}

TEST_P(FifoMonthRunTest, CallsTheFourPhasesInOrderAndShowsEachOne) {
    twoProducts();
    workOrder(1, "WO-1", "Null", "2024-03-01 08:30", "2024-03-20", "'2024-03-21'", "N");
    run(3);

    EXPECT_EQ(company->calls(), (QStringList{"FIFO1 3 3", "FIFO1 3 7", "FIFO2 3 3", "FIFO2 3 7",
                                             "WO WO-1", "FIFO2 3 3", "FIFO2 3 7"}));
    EXPECT_EQ(progress.only("status"), (std::vector<QString>{phase1, phase2, phase3, phase4}));
    const QString a = "สินค้า : 1 / 2 : A001 - สินค้า A001";
    const QString b = "สินค้า : 2 / 2 : B002 - สินค้า B002";
    EXPECT_EQ(progress.only("product"),
              (std::vector<QString>{a, b, a, b, "ใบสั่งผลิต : 1 / 1 : WO-1 (01/03/2024 => 21/03/2024)",
                                    a, b}));
    const QString month = "เดือน : 3";
    EXPECT_EQ(progress.only("month"), (std::vector<QString>{month, month, month, month,
                                                            "เลขที่ใบสั่งผลิตเดือน : 3", month, month}));
    EXPECT_EQ(progress.only("max"), (std::vector<QString>{"2", "2", "1", "2"}));
    EXPECT_EQ(progress.positions, (std::vector<int>{0, 1, 2, 0, 1, 2, 0, 1, 0, 1, 2}));
    EXPECT_TRUE(failures.empty());
}

TEST_P(FifoMonthRunTest, EachRootWorkOrderOfTheMonthOnceWithItsOwnDates) {
    // WO-R1 ended in February; two of its sub-orders, one a level further down, in March.
    workOrder(1, "WO-R1", "Null", "2024-02-01", "2024-02-19", "'2024-02-20'", "N");
    workOrder(2, "WO-S1", "1", "2024-03-01", "2024-03-04", "'2024-03-05'", "N");
    workOrder(3, "WO-S2", "2", "2024-03-02", "2024-03-09", "'2024-03-10'", "N");
    // Without a close date the finish date counts.
    workOrder(4, "WO-R2", "Null", "2024-01-10", "2024-03-15", "Null", "N");
    // Deleted: not listed itself, but a deleted root of a sub-order that is not deleted is.
    workOrder(5, "WO-D1", "Null", "2024-03-01", "2024-03-02", "'2024-03-03'", "Y");
    workOrder(6, "WO-D2", "Null", "2024-01-20", "2024-01-30", "'2024-01-31'", "Y");
    workOrder(7, "WO-S3", "6", "2024-03-05", "2024-03-19", "'2024-03-20'", "N");
    // Closed in April, finished in March.
    workOrder(8, "WO-R3", "Null", "2024-03-01", "2024-03-30", "'2024-04-01'", "N");

    run(3);
    EXPECT_EQ(company->calls(), (QStringList{"WO WO-R2", "WO WO-D2", "WO WO-R1"}));
    EXPECT_EQ(progress.only("product"),
              (std::vector<QString>{"ใบสั่งผลิต : 1 / 3 : WO-R2 (10/01/2024 => 15/03/2024)",
                                    "ใบสั่งผลิต : 2 / 3 : WO-D2 (20/01/2024 => 31/01/2024)",
                                    "ใบสั่งผลิต : 3 / 3 : WO-R1 (01/02/2024 => 20/02/2024)"}));
}

TEST_P(FifoMonthRunTest, AMonthWithoutStockOrMovementsShowsItsPhasesAndCallsNothing) {
    twoProducts();
    run(7);
    EXPECT_TRUE(company->calls().isEmpty());
    EXPECT_EQ(progress.only("status"), (std::vector<QString>{phase1, phase2, phase3, phase4}));
    EXPECT_EQ(progress.only("max"), (std::vector<QString>{"0", "0", "0", "0"}));
    EXPECT_EQ(progress.positions, (std::vector<int>{0, 0, 0, 0}));
    EXPECT_TRUE(progress.only("product").empty());
}

TEST_P(FifoMonthRunTest, AProductFilterLimitsTheProductPhasesButNotTheWorkOrders) {
    twoProducts();
    workOrder(1, "WO-1", "Null", "2024-03-01", "2024-03-20", "'2024-03-21'", "N");
    workOrder(2, "WO-2", "Null", "2024-03-02", "2024-03-20", "'2024-03-21'", "N");
    // Compared as the server compares codes.
    run(3, "b002 ");
    EXPECT_EQ(company->calls(),
              (QStringList{"FIFO1 3 7", "FIFO2 3 7", "WO WO-1", "WO WO-2", "FIFO2 3 7"}));
    EXPECT_EQ(progress.only("product").front(), "สินค้า : 1 / 1 : B002 - สินค้า B002");
}

TEST_P(FifoMonthRunTest, AFailingCallIsRolledBackRecordedAndLoggedAndTheRunGoesOn) {
    twoProducts();
    workOrder(1, "WO-1", "Null", "2024-03-01", "2024-03-20", "'2024-03-21'", "N");
    workOrder(2, "WO-2", "Null", "2024-03-02", "2024-03-20", "'2024-03-21'", "N");
    company->failCall("Calculate_FIFO1", 3);
    company->failWorkOrder("WO-1");
    run(3);

    // What the failing calls wrote is gone; every other call was made and kept, among them
    // the issue passes of the product whose receipts failed.
    EXPECT_EQ(company->calls(), (QStringList{"FIFO1 3 7", "FIFO2 3 3", "FIFO2 3 7", "WO WO-2",
                                             "FIFO2 3 3", "FIFO2 3 7"}));
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_EQ(failures[0].text(), "Calculate_FIFO1 @Year=2024, @Month=3, @PId=3 (A001): "
                                  "Calculate_FIFO1 cannot cost product 3");
    EXPECT_EQ(failures[1].text(), "CALCULATE_WorkOrderFIFO @WorkNo=WO-1: "
                                  "CALCULATE_WorkOrderFIFO cannot cost work order WO-1");
    EXPECT_EQ(logged, (QStringList{failures[0].text(), failures[1].text()}));

    // A log that cannot be written does not stop the run, and the failure still counts.
    company->forgetCalls();
    FifoMonthRun monthRun(progress, company->alias());
    monthRun.setErrorLog([](const QString&) { throw std::runtime_error("log unreachable"); });
    monthRun.CalculateProdFIFOMonth(2024, 3);
    EXPECT_EQ(monthRun.failures().size(), 2u);
    EXPECT_EQ(company->calls().size(), 6);
}

// Calls share a transaction: a failure after others rolls them back with it, and they are made
// again, so each of them is kept once and in its place.
TEST_P(FifoMonthRunTest, CallsBeforeAFailureInTheirTransactionAreKept) {
    twoProducts();
    workOrder(1, "WO-1", "Null", "2024-03-01", "2024-03-20", "'2024-03-21'", "N");
    workOrder(2, "WO-2", "Null", "2024-03-02", "2024-03-20", "'2024-03-21'", "N");
    company->failCall("Calculate_FIFO2", 7);
    company->failWorkOrder("WO-2");
    run(3);

    EXPECT_EQ(company->calls(),
              (QStringList{"FIFO1 3 3", "FIFO1 3 7", "FIFO2 3 3", "WO WO-1", "FIFO2 3 3"}));
    ASSERT_EQ(failures.size(), 3u);
    EXPECT_TRUE(failures[0].text().startsWith("Calculate_FIFO2 @Year=2024, @Month=3, @PId=7 "));
    EXPECT_TRUE(failures[1].text().startsWith("CALCULATE_WorkOrderFIFO @WorkNo=WO-2: "));
    EXPECT_TRUE(failures[2].text().startsWith("Calculate_FIFO2 @Year=2024, @Month=3, @PId=7 "));
}

TEST_P(FifoMonthRunTest, AStoppedRunCallsNothingMoreUntilTheNextRunBegins) {
    twoProducts();
    FifoMonthRun monthRun(progress, company->alias());
    // Asked while the second product is shown, before its call.
    int products = 0;
    progress.onProduct = [&] {
        if (++products == 2)
            monthRun.stop();
    };
    monthRun.CalculateProdFIFOMonth(2024, 3);
    monthRun.CalculateProdFIFOMonth(2024, 4);
    EXPECT_TRUE(monthRun.stopped());
    EXPECT_EQ(company->calls(), (QStringList{"FIFO1 3 3"}));

    progress.onProduct = nullptr;
    monthRun.beginRun();
    monthRun.CalculateProdFIFOMonth(2024, 3);
    EXPECT_EQ(company->calls().size(), 1 + 6);
}

TEST_P(FifoMonthRunTest, AListThatCannotBeReadEndsTheRun) {
    twoProducts();
    company->exec("Exec sp_rename 'PosDt', 'PosDtAway'");
    EXPECT_THROW(run(3), db::DatabaseError);
    EXPECT_TRUE(company->calls().isEmpty());

    company->exec("Exec sp_rename 'PosDtAway', 'PosDt'");
    company->uninstallProcedure("SeekMasterWorkOrder");
    workOrder(1, "WO-1", "Null", "2024-03-01", "2024-03-20", "'2024-03-21'", "N");
    EXPECT_THROW(run(3), db::DatabaseError);
    EXPECT_EQ(company->calls().size(), 4) << "phases 1 and 2 were done";
}

INSTANTIATE_TEST_SUITE_P(Embedded, FifoMonthRunTest,
                         ::testing::Values(FifoRunTestCompany::Engine::Embedded));
INSTANTIATE_TEST_SUITE_P(SqlServer, FifoMonthRunTest,
                         ::testing::Values(FifoRunTestCompany::Engine::SqlServer));
