// A calculation gives final costs in one run: the months after a work order's goods were
// finished run again until no work-order cost changes, so a run depends only on the documents,
// not on what an earlier run left.
#include "costing/YearRun.h"
#include "TempServer.h"
#include "admin/DemoCompany.h"
#include "costing/MonthRunProgress.h"
#include "costing/avg/AvgMonthRun.h"
#include "costing/avg/procedures/AvgProcedures.h"
#include "db/TDatabase.h"
#include "db/TQuery.h"
#include "db/schema/SchemaInstaller.h"

#include <gtest/gtest.h>

namespace {

struct StatusProgress : MonthRunProgress {
    QStringList statuses;
    void setStatus(const QString& text) override { statuses << text; }
    void setMonth(const QString&) override {}
    void setProduct(const QString&) override {}
    void setProgressMaximum(int) override {}
    void setProgressPosition(int) override {}
    void refresh() override {}
    void showLockWait(const QString&, int) override {}
};

class YearRunTest : public ::testing::Test {
protected:
    YearRunTest() : connection_(QStringLiteral("YEARRUN")) {
        costing::registerAvgProcedures();
        db::schema::SchemaInstaller installer(server_.serverName());
        installer.createConfigDatabase();
        installer.createCompanyDatabase(QStringLiteral("Year1"), 1);
        connection_.params() = server_.connectionParams(QStringLiteral("Year1"));
    }

    void exec(const QString& sql) {
        db::TQuery query(QStringLiteral("QTest"), connection_.databaseName(), sql);
        query.execSql();
    }
    // The rows of a query, a line each, fields separated by blanks.
    QString rows(const QString& sql) {
        db::TQuery query(QStringLiteral("QTest"), connection_.databaseName(), sql);
        query.open();
        QStringList lines;
        for (query.first(); !query.eof(); query.next()) {
            QStringList fields;
            for (const auto& name : query.fieldNames())
                fields << (query.fieldByName(name).isNull() ? QStringLiteral("NULL")
                                                            : query.fieldByName(name).asString());
            lines << fields.join(' ');
        }
        return lines.join('\n');
    }
    // Every cost a run writes.
    QString costs() {
        return rows("Select Product, ProductUnits, BalanceYear, PeriodNo, PurcQnty, PurcAmount, "
                    "CostAvg From ProductCostAVG Order By 1, 2, 3, 4") +
               rows("Select Id, Price From Isdt Order By Id") +
               rows("Select Id, Price From Ridt Order By Id") +
               rows("Select Id, Price From AdjuststockDt Order By Id") +
               rows("Select Id, CostAVG, Price From MFGISDT Order By Id") +
               rows("Select Id, CostAVG, Price From MFGRIDT Order By Id") +
               rows("Select Id, Price From MFGFinishDt Order By Id") +
               rows("Select Id, CostAVG From WorkOrderHd Order By Id") +
               rows("Select Id, CostAVG From WorkOrderDt Order By Id");
    }

    YearRun calculate(int year, int fromMonth = 1) {
        AvgMonthRun monthRun(progress_, connection_.databaseName());
        YearRun yearRun(connection_.databaseName(), progress_);
        yearRun.run(year, fromMonth,
                    [&](int month) { monthRun.CalculateProdAVGMonth(year, month); });
        return yearRun;
    }

    // A material bought in March and made in April into 5 units of a finished product, whose
    // work order is closed only in May; 2 of the finished units are issued in April.
    void seedAprilMayCompany() {
        exec("Insert Into Warehouse (Id, Code) Values (1, 'MAIN')");
        exec("Insert Into Product (Id, Code, ThaiName, Negative) Values "
             "(1, 'M001', 'แป้ง', 'N'), (2, 'F001', 'ขนมปัง', 'N')");
        exec("Insert Into ProductUnits (Id, Product, Code, Fraction) Values "
             "(11, 1, 'EA', 1), (21, 2, 'EA', 1)");
        for (int month = 0; month <= 12; ++month)
            exec(QStringLiteral("Insert Into ProductOnhand (Product, Warehouse, BalanceYear, "
                                "PeriodNo, Quantity) Values (1, 1, 2024, %1, 0), "
                                "(2, 1, 2024, %1, 0)")
                     .arg(month));
        // 10 units for 100.00: the material costs 10.0000 a unit from March on.
        exec("Insert Into MRHD (Id, MRDATE, DocNo, Delflag, DiscAmt1, DiscAmt2, DiscAmt3, TaxRate, "
             "Price_IE) Values (1, '2024-03-10', 'MR1', 'N', 0, 0, 0, 7, 'E')");
        exec("Insert Into MRDT (Id, MRHD, Product, ProductUnits, Warehouse, Quantity, Price, "
             "Total) Values (1, 1, 1, 11, 1, 10, 10, 100)");
        // The work order: all 10 units of material go in on 3 April, 5 units come out on
        // 20 April, and it is closed on 6 May: its unit cost is 100.00 / 5 = 20.0000.
        exec("Insert Into BomHd (Id, Code, Product, BomAssembly, ProductUnits) Values "
             "(1, 'BOM-F', 2, 'Y', 21)");
        exec("Insert Into WorkOrderHd (Id, WorkOrderNo, MasterWorkOrder, BomHd, FinishedGoods, "
             "ProductUnits, Warehouse, QUANTITY1, WorkDate, FinishDate, Closedate, Delflag, "
             "Clear) Values (1, 'WO-A', Null, 1, 2, 21, 1, 5, '2024-04-02', '2024-04-20', "
             "'2024-05-06', 'N', 'Y')");
        exec("Insert Into WorkOrderDt (Id, WorkOrderHd, Product, ProductUnits, Warehouse, "
             "QUANTITY1) Values (1, 1, 2, 21, 1, 5)");
        exec("Insert Into MFGISHD (Id, WorkOrderHd, MfgIsDate, DocNo, Delflag) Values "
             "(1, 1, '2024-04-03', 'MI1', 'N')");
        exec("Insert Into MFGISDT (Id, MFGISHD, Product, ProductUnits, Warehouse, Quantity, "
             "Fraction, MfgIsDate) Values (1, 1, 1, 11, 1, 10, 1, '2024-04-03')");
        exec("Insert Into MFGFinishDt (Id, WorkOrderHd, Product, ProductUnits, Warehouse, "
             "Quantity, Fraction, BomAssembly, FinishDate) Values "
             "(1, 1, 2, 21, 1, 5, 1, 'Y', '2024-04-20')");
        exec("Insert Into IsHd (Id, IsDate, DocNo, Delflag) Values (1, '2024-04-25', 'IS1', 'N')");
        exec("Insert Into Isdt (Id, IsHd, Product, ProductUnits, Warehouse, Quantity, IsDate, "
             "Fraction) Values (1, 1, 2, 21, 1, 2, '2024-04-25', 1)");
    }

    TempServer server_;
    db::TDatabase connection_;
    StatusProgress progress_;
};

TEST_F(YearRunTest, FinishedGoodsOfAWorkOrderClosedLaterTakeItsFinalCost) {
    seedAprilMayCompany();
    const YearRun run = calculate(2024);

    // The first pass took April's finished goods at no cost (the work order had none yet);
    // May costed the work order at 20.0000, so April and the months after it ran again.
    EXPECT_EQ(run.passes(), 2);
    EXPECT_EQ(run.repeatedFrom(), QList<int>{4});
    EXPECT_TRUE(run.unsettledWorkOrders().isEmpty());
    EXPECT_TRUE(progress_.statuses.contains(
        QStringLiteral("สถานะ : ต้นทุนใบสั่งผลิต WO-A เปลี่ยน คำนวณใหม่ตั้งแต่เดือน 4 (รอบที่ 2)")));

    EXPECT_EQ(rows("Select CostAVG From WorkOrderHd"), "20.0000");
    // The material line at the March average, 10.0000 a unit.
    EXPECT_EQ(rows("Select CostAVG, Price From MFGISDT"), "10.0000 10.0000");
    // April's ledger of the finished product: 5 units worth 5 x 20.0000 = 100.00.
    EXPECT_EQ(rows("Select PurcQnty, PurcAmount, CostAvg From ProductCostAVG "
                   "Where Product = 2 And PeriodNo = 4"),
              "5 100.0000 20.0000");
    // So the April issue of the finished product costs 20.0000 a unit, and its finished-goods
    // line, priced in May when the work order was closed, the same.
    EXPECT_EQ(rows("Select Price From Isdt Where Id = 1"), "20.0000");
    EXPECT_EQ(rows("Select Price From MFGFinishDt Where Id = 1"), "20.0000");
}

TEST_F(YearRunTest, ARunDoesNotDependOnTheCostsAnEarlierRunLeft) {
    seedAprilMayCompany();
    calculate(2024);
    const QString fresh = costs();

    // A stale work-order cost and line prices from some earlier run change nothing.
    exec("Update WorkOrderHd Set CostAVG = 99");
    exec("Update Isdt Set Price = 1.23");
    const YearRun rerun = calculate(2024);
    EXPECT_EQ(costs(), fresh);
    EXPECT_EQ(rerun.passes(), 2);

    // A run over final costs settles in one pass.
    const YearRun again = calculate(2024);
    EXPECT_EQ(again.passes(), 1);
    EXPECT_EQ(costs(), fresh);
}

// Generated companies (products, seed), with work orders closed in a later month than their
// finished goods: the first run's costs are the second run's.
class GeneratedCompanyYearRunTest : public YearRunTest,
                                    public ::testing::WithParamInterface<std::pair<int, int>> {};

TEST_P(GeneratedCompanyYearRunTest, OneRunEqualsTwo) {
    const auto [products, seed] = GetParam();
    DemoCompany(connection_, {2024, products, std::uint64_t(seed)}).generate();
    ASSERT_GT(std::stoi(rows("Select Count(*) From WorkOrderHd Where Month(Closedate) > "
                             "Month(FinishDate)")
                            .toStdString()),
              0);
    calculate(2024);
    const QString once = costs();
    const YearRun second = calculate(2024);
    EXPECT_EQ(second.passes(), 1);
    EXPECT_EQ(costs(), once);
}

INSTANTIATE_TEST_SUITE_P(Seeds, GeneratedCompanyYearRunTest,
                         ::testing::Values(std::pair{30, 3}, std::pair{45, 8}, std::pair{60, 11}));

} // namespace
