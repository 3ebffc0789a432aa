// The FIFO costing's procedures on a small company whose every value is worked out by hand
// (FifoHandMadeCompany.h), and the atomicity of a failing call.
#include "FifoHandMadeCompany.h"
#include "FifoTestCompany.h"
#include "FifoYearRun.h"

#include "db/DatabaseError.h"

#include <gtest/gtest.h>

namespace {

class FifoHandMadeCompanyTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        company = new FifoTestCompany(QStringLiteral("FifoHandMade"));
        seedFifoHandMadeCompany(*company);
        FifoYearRun run(company->alias());
        run.runYear(2023);
        run.runYear(2024, 1);
        failures = run.failures().size();
    }
    static void TearDownTestSuite() {
        delete company;
        company = nullptr;
    }

    // Kind, source line, quantity, cost of goods sold or layer value, unit cost, shortage.
    static QStringList movements(int product, int year, int month) {
        return company->rows(QStringLiteral("Select Kind, SourceTable, SourceId, Quantity, Amount, "
                                            "UnitCost, ShortQuantity From FifoMovement Where "
                                            "Product = %1 And BalanceYear = %2 And PeriodNo = %3 "
                                            "Order By Seq")
                                 .arg(product)
                                 .arg(year)
                                 .arg(month));
    }
    static QString monthBalance(int product, int year, int month) {
        return company
            ->rows(QStringLiteral("Select OpeningQuantity, OpeningAmount, ReceivedQuantity, "
                                  "ReceivedAmount, IssuedQuantity, IssuedAmount, ShortQuantity, "
                                  "ShortAmount, ClosingQuantity, ClosingAmount, ValueDifference "
                                  "From FifoMonthBalance Where Product = %1 And BalanceYear = %2 "
                                  "And PeriodNo = %3")
                       .arg(product)
                       .arg(year)
                       .arg(month))
            .join(';');
    }

    static inline FifoTestCompany* company = nullptr;
    static inline size_t failures = 0;
};

TEST_F(FifoHandMadeCompanyTest, EveryCallSucceeds) {
    EXPECT_EQ(failures, 0u);
}

TEST_F(FifoHandMadeCompanyTest, TheYearOpensWithTheLayerThePreviousYearLeft) {
    EXPECT_EQ(movements(1, 2023, 12),
              QStringList({"R | MRDT | 1 | 10 | 50 | 5 | null", "I | Isdt | 1 | 4 | 20 | 5 | 0"}));
    EXPECT_EQ(company->rows("Select LayerPeriod, LayerSeq, Quantity, Amount From "
                            "FifoLayerBalance Where Product = 1 And BalanceYear = 2023 And "
                            "PeriodNo = 12"),
              QStringList({"12 | 1 | 6 | 30"}));
    // The opening layer keeps the purchase it came from and its date.
    EXPECT_EQ(company->rows("Select Seq, SourceTable, SourceId, MovementDate, Quantity, Amount "
                            "From FifoMovement Where Product = 1 And BalanceYear = 2024 And "
                            "PeriodNo = 0"),
              QStringList({"1 | MRDT | 1 | 2023-12-05T00:00:00.000 | 6 | 30"}));
}

TEST_F(FifoHandMadeCompanyTest,
       IssuesTakeTheOldestLayersAndNotesReturnsAndShortagesFollowTheRules) {
    EXPECT_EQ(movements(1, 2024, 1), QStringList({
                                         "R | MRDT | 2 | 10 | 70 | 7 | null",
                                         "R | PCDT | 1 | 12 | 100 | 8.3333 | null",
                                         "I | Isdt | 2 | 24 | 166.67 | 6.9446 | 0",
                                         "V | VCNDT | 1 | 0 | -12 | null | null",
                                         "I | IvDt | 1 | 3 | 16 | 5.3333 | 0",
                                         "R | SRDT | 1 | 1 | 5.33 | 5.33 | null",
                                         "I | PRDT | 1 | 1 | 5.33 | 5.33 | 0",
                                         "I | Isdt | 3 | 4 | 21.32 | 5.33 | 3",
                                         "R | MRDT | 3 | 5 | 45 | 9 | null",
                                     }));
    EXPECT_EQ(company->number("Select AppliedAmount From FifoMovement Where SourceTable = "
                              "'VCNDT' And SourceId = 1"),
              -12.0);
    EXPECT_EQ(company->number("Select ShortAmount From FifoMovement Where SourceTable = 'Isdt' "
                              "And SourceId = 3"),
              15.99);
    // The first issue, layer by layer: the carried layer, the purchase, two thirds of the
    // cash purchase.
    EXPECT_EQ(company->rows("Select LayerPeriod, LayerSeq, Quantity, Amount From "
                            "FifoConsumption Where Product = 1 And BalanceYear = 2024 And "
                            "PeriodNo = 1 And IssueSeq = 3 Order By LayerPeriod, LayerSeq"),
              QStringList({"0 | 1 | 6 | 30", "1 | 1 | 10 | 70", "1 | 2 | 8 | 66.67"}));
    EXPECT_EQ(monthBalance(1, 2024, 1),
              "6 | 30 | 28 | 208.33 | 29 | 193.33 | 3 | 15.99 | 5 | 45 | 0");
    EXPECT_EQ(company->rows("Select LayerPeriod, LayerSeq, Quantity, Amount From "
                            "FifoLayerBalance Where Product = 1 And BalanceYear = 2024 And "
                            "PeriodNo = 1"),
              QStringList({"1 | 9 | 5 | 45"}));
    // Prices per unit of each line: the 2023 issue, the issue in dozens, the short issue.
    EXPECT_EQ(company->rows("Select Id, Price From Isdt Order By Id"),
              QStringList({"1 | 5", "2 | 83.3352", "3 | 5.33"}));
}

TEST_F(FifoHandMadeCompanyTest, WorkOrdersAreCostedChildrenFirstAndTheirOutputEntersAtThatCost) {
    EXPECT_EQ(company->rows("Select WorkOrderNo, CostAVG From WorkOrderHd Order By Id"),
              QStringList({"WO-P | 10.1", "WO-C | 4"}));
    EXPECT_EQ(company->rows("Select WorkOrderHd, MaterialAmount, ExpenseAmount, TotalAmount, "
                            "FinishedQuantity From FifoWorkOrderCost Order By WorkOrderHd"),
              QStringList({"1 | 96 | 5 | 101 | 10", "2 | 60 | 20 | 80 | 20"}));
    EXPECT_EQ(company->rows("Select Id, CostAVG, Price From MFGISDT Order By Id"),
              QStringList({"1 | 2 | 2", "2 | 4 | 4", "3 | 2 | 2"}));
    EXPECT_EQ(company->rows("Select Id, CostAVG, Price From MFGRIDT"), QStringList({"1 | 2 | 2"}));
    EXPECT_EQ(company->rows("Select Id, Price From MFGFinishDt Order By Id"),
              QStringList({"1 | 4", "2 | 10.1"}));
    EXPECT_EQ(movements(4, 2024, 2), QStringList({"R | MFGFinishDt | 2 | 10 | 101 | 10.1 | null",
                                                  "I | IvDt | 2 | 4 | 40.4 | 10.1 | 0"}));
    EXPECT_EQ(monthBalance(3, 2024, 2), "0 | 0 | 20 | 80 | 20 | 80 | 0 | 0 | 0 | 0 | 0");
    EXPECT_EQ(monthBalance(2, 2024, 2), "100 | 200 | 2 | 4 | 40 | 80 | 0 | 0 | 62 | 124 | 0");
    // Every Negative flag is back as it was.
    EXPECT_EQ(company->count("Select Count(*) From Product Where Negative = 'N'"), 4);
}

// Neither the parent nor the child is cleared, so the parent takes the material its child made
// at the FIFO cost of phase 2, when the child is not costed yet and its 20 S001 are still at the
// 3.00 on their line: 20 x 3.00 + 10 M001 x 2.00 + F 5.00 = 85.00, 8.5000 a unit. The child's
// own cost, 80.00 (4.0000 a unit), values S001's layer from phase 4 on. A second run finds the
// same: the child's cost from the first run does not reach phase 2.
TEST(FifoWorkOrderRerun, MaterialFromAnUnclearedChildKeepsItsPhaseTwoCostOnEveryRun) {
    FifoTestCompany company(QStringLiteral("FifoUncleared"));
    company.exec("Insert Into Product (Id, Code, Negative) Values (2, 'M001', 'N'), "
                 "(3, 'S001', 'N'), (4, 'F001', 'N')");
    company.exec("Insert Into ProductUnits (Id, Product, Fraction) Values (21, 2, 1), (31, 3, 1), "
                 "(41, 4, 1)");
    company.exec("Insert Into ProductOnhand (Product, Warehouse, BalanceYear, PeriodNo, Quantity) "
                 "Values (2, 1, 2024, 0, 100)");
    company.exec("Insert Into ProductCostAVG (Product, ProductUnits, PeriodNo, BalanceYear, "
                 "PurcQnty, PurcAmount, CostAvg) Values (2, 21, 0, 2024, 0, 0, 2)");
    company.exec("Insert Into MfgExpense (Id, Code) Values (1, 'LAB'), (2, 'SET')");
    company.exec("Insert Into BomHd (Id, Code, Product, BomAssembly, ProductUnits) Values "
                 "(1, 'BC', 3, 'Y', 31), (2, 'BP', 4, 'Y', 41)");
    company.exec("Insert Into BomDt (Id, BomHd, RmType, StdCost, MfgExpense) Values "
                 "(1, 1, 'E', 0.5, 1), (2, 1, 'F', 10, 2), (3, 2, 'F', 5, 2)");
    company.exec("Insert Into WorkOrderHd (Id, WorkOrderNo, MasterWorkOrder, BomHd, FinishedGoods, "
                 "ProductUnits, QUANTITY1, WorkDate, FinishDate, Closedate, Delflag, Clear) Values "
                 "(1, 'WO-P', Null, 2, 4, 41, 10, '2024-02-06', '2024-02-10', '2024-02-11', 'N', "
                 "'N'), (2, 'WO-C', 1, 1, 3, 31, 20, '2024-02-02', '2024-02-05', '2024-02-06', "
                 "'N', 'N')");
    company.exec("Insert Into WorkOrderDt (Id, WorkOrderHd, Product, ProductUnits, QUANTITY1) "
                 "Values (1, 1, 4, 41, 10), (2, 2, 3, 31, 20)");
    company.exec("Insert Into MFGISHD (Id, WorkOrderHd, MfgIsDate, Delflag) Values "
                 "(1, 2, '2024-02-03', 'N'), (2, 1, '2024-02-07', 'N')");
    company.exec("Insert Into MFGISDT (Id, MFGISHD, Product, ProductUnits, Quantity, Fraction, "
                 "MfgIsDate) Values (1, 1, 2, 21, 30, 1, '2024-02-03'), "
                 "(2, 2, 3, 31, 20, 1, '2024-02-07'), (3, 2, 2, 21, 10, 1, '2024-02-07')");
    company.exec("Insert Into MFGFinishDt (Id, WorkOrderHd, WorkOrderDt, Product, ProductUnits, "
                 "Quantity, Fraction, Cost, BomAssembly, FinishDate) Values "
                 "(1, 2, 2, 3, 31, 20, 1, 3, 'Y', '2024-02-05'), "
                 "(2, 1, 1, 4, 41, 10, 1, 12, 'Y', '2024-02-10')");

    for (int run = 1; run <= 2; ++run) {
        FifoYearRun(company.alias()).runYear(2024, 2);
        EXPECT_EQ(company.rows("Select WorkOrderNo, CostAVG From WorkOrderHd Order By Id"),
                  QStringList({"WO-P | 8.5", "WO-C | 4"}))
            << "run " << run;
        EXPECT_EQ(company.rows("Select Id, CostAVG, Price From MFGISDT Where Id = 2"),
                  QStringList({"2 | 3 | 4"}))
            << "run " << run;
    }
}

// A call that fails leaves nothing of itself; inside a caller's transaction it leaves the
// caller's work as it was.
class FifoFailingCallTest : public ::testing::Test {
protected:
    FifoFailingCallTest() : company(QStringLiteral("FifoFailing")) {
        company.exec("Insert Into Product (Id, Code, Negative) Values (1, 'GOOD', 'N'), "
                     "(2, 'BAD', 'N')");
        company.exec("Insert Into ProductUnits (Id, Product, Fraction) Values (1, 1, 1), "
                     "(2, 2, 1)");
        company.exec("Insert Into IsHd (Id, IsDate, Delflag) Values (1, '2024-03-10', 'N')");
        // BAD's issue is too large for the costing's quantities: converting it fails.
        company.exec("Insert Into Isdt (Id, IsHd, Product, ProductUnits, Quantity, IsDate, "
                     "Fraction, Price) Values (1, 1, 1, 1, 2, '2024-03-10', 1, 7), "
                     "(2, 1, 2, 2, 1e30, '2024-03-10', 1, 7)");
    }

    int fifoRows(int product) {
        return company.count(
            QStringLiteral("Select (Select Count(*) From FifoMovement Where Product = %1) + "
                           "(Select Count(*) From FifoMonthBalance Where Product = %1)")
                .arg(product));
    }

    FifoTestCompany company;
};

TEST_F(FifoFailingCallTest, LeavesNothingOfItselfAndTheCallersWorkAsItWas) {
    // An earlier calculation of BAD's March, which the failing call must not lose.
    company.exec("Insert Into FifoMonthBalance (Product, BalanceYear, PeriodNo, OpeningQuantity, "
                 "OpeningAmount, ReceivedQuantity, ReceivedAmount, IssuedQuantity, IssuedAmount, "
                 "ShortQuantity, ShortAmount, ClosingQuantity, ClosingAmount, ValueDifference, "
                 "CaughtUp) Values (2, 2024, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0)");
    EXPECT_THROW(company.exec("Exec Calculate_FIFO1 2024, 3, 2"), db::DatabaseError);
    EXPECT_EQ(fifoRows(2), 1);
    EXPECT_EQ(company.count("Select @@TranCount"), 0);

    // In one transaction: GOOD's month, then BAD's failing call caught, then commit.
    company.exec("Begin Transaction; Exec Calculate_FIFO1 2024, 3, 1; "
                 "Begin Try Exec Calculate_FIFO1 2024, 3, 2 End Try Begin Catch End Catch; "
                 "Exec Calculate_FIFO2 2024, 3, 1; Commit Transaction");
    EXPECT_EQ(fifoRows(2), 1);
    EXPECT_EQ(company.rows("Select Quantity, ShortQuantity, Amount From FifoMovement Where "
                           "Product = 1 And PeriodNo = 3"),
              QStringList({"2 | 2 | 0"}));
    EXPECT_EQ(company.count("Select @@TranCount"), 0);
}

} // namespace
