#pragma once

// The hand-made FIFO company of the tests, its every value worked out by hand.
//
// A001 (units EA = 1, DZ = 12 base units) is a traded good:
//   2023-12-05 MR 10 EA for 50.00; 2023-12-20 issue of 4 EA takes 4 x 5.00 = 20.00. The year
//   2023 leaves one layer: 6 EA worth 30.00, which opens 2024 (ProductOnhand says 6 as well).
//   Layers of January 2024, laid end to end (base units):
//     C  [0, 6)   the carried layer, 30.00
//     M1 [6, 16)  2024-01-05 MR 10 EA, total 70.00 excluding VAT: 70.00
//     P1 [16, 28) 2024-01-08 cash purchase of 1 DZ for 107.00 including 7% VAT: 100.00
//   01-12 issue of 2 DZ (24): C 30.00 + M1 70.00 + P1 [16, 24) Round(100 x 8/12) = 66.67,
//         total 166.67; per base unit 166.67 / 24 = 6.9446, Price of the DZ line 83.3352.
//   01-15 supplier credit note of 12.00 (excluding VAT): the stock is P1 [24, 28), so all of
//         -12.00 goes onto those 4 units.
//   01-18 sale of 3 EA, P1 [24, 27): Value(27) = 100 x 11/12 - 12 x 3/4 = 82.666667 -> 82.67,
//         Value(24) = 66.67, so 16.00 (5.3333 a unit).
//   01-20 customer return of 1 EA at the unit cost of the sale before it: 5.33, layer R
//         [28, 29).
//   01-22 purchase return of 1 EA leaves by FIFO: the last unit of P1 takes what is left of
//         it, 100 - 12 - 82.67 = 5.33.
//   01-25 issue of 4 EA: 1 from R (5.33), 3 short at the cost of the last layer consumed
//         (R, 5.33): 15.99; total 21.32, 5.33 a unit.
//   01-28 MR 5 EA for 45.00 opens a new layer; it does not cover the shortage before it.
//   January: opening 6 / 30.00; received 28 units, 70 + 100 + 5.33 + 45 - 12 = 208.33; issued
//   from stock 24 + 3 + 1 + 1 = 29 units, 166.67 + 16.00 + 5.33 + 5.33 = 193.33; short 3 /
//   15.99; closing 5 / 45.00 (the layer of 01-28).
//
// February 2024, a work order WO-P making F001 with a child WO-C making S001 for it:
//   M001 opens with 100 units (ProductOnhand) at the opening row's 2.00: 200.00.
//   WO-C: 02-03 30 M001 issued: 60.00 (2.0000 a unit). Bill: E 0.50 a finished unit, F 10.00.
//         20 S001 finished: 60.00 + 20 x 0.50 + 10.00 = 80.00, 4.0000 a unit.
//   WO-P: 02-07 20 S001 issued: the cleared child made them, so 4.0000 a unit (in phase 2,
//         before the work orders were costed, S001's layer still had the 3.00 on its line);
//         10 M001 issued at FIFO: 20.00. 02-09 2 M001 returned at the cost of the latest issue
//         of M001 (2.0000): 4.00. Bill: F 5.00. 10 F001 finished: 80 + 20 - 4 + 5 = 101.00,
//         10.1000 a unit.
//   02-15 sale of 4 F001: Round(101 x 4/10) = 40.40.
//   M001 closes February with 60 units worth 120.00 plus the 2 returned worth 4.00.

#include "FifoTestCompany.h"

inline void seedFifoHandMadeCompany(FifoTestCompany& c) {
    c.exec("Insert Into Warehouse (Id, Code) Values (1, 'MAIN')");
    c.exec("Insert Into Product (Id, Code, ThaiName, Negative) Values (1, 'A001', 'น้ำปลา', "
           "'N'), (2, 'M001', 'แป้ง', 'N'), (3, 'S001', 'น้ำซุป', 'N'), (4, 'F001', 'ซอส', 'N')");
    c.exec("Insert Into ProductUnits (Id, Product, Code, Fraction) Values (11, 1, 'EA', 1), "
           "(12, 1, 'DZ', 12), (21, 2, 'EA', 1), (31, 3, 'EA', 1), (41, 4, 'EA', 1)");

    // 2023: one purchase and one issue of A001.
    c.exec("Insert Into MRHD (Id, MRDATE, Delflag, DiscAmt1, DiscAmt2, DiscAmt3, TaxRate, "
           "Price_IE) Values (1, '2023-12-05', 'N', 0, 0, 0, 7, 'E'), "
           "(2, '2024-01-05', 'N', 0, 0, 0, 7, 'E'), (3, '2024-01-28', 'N', 0, 0, 0, 7, 'E')");
    c.exec("Insert Into MRDT (Id, MRHD, Product, ProductUnits, Warehouse, Quantity, Price, "
           "Total, MrDate) Values (1, 1, 1, 11, 1, 10, 5, 50, '2023-12-05'), "
           "(2, 2, 1, 11, 1, 10, 7, 70, '2024-01-05'), (3, 3, 1, 11, 1, 5, 9, 45, '2024-01-28')");
    c.exec("Insert Into IsHd (Id, IsDate, Delflag) Values (1, '2023-12-20', 'N'), "
           "(2, '2024-01-12', 'N'), (3, '2024-01-25', 'N')");
    c.exec("Insert Into Isdt (Id, IsHd, Product, ProductUnits, Warehouse, Quantity, IsDate, "
           "Fraction, Price) Values (1, 1, 1, 11, 1, 4, '2023-12-20', 1, 0), "
           "(2, 2, 1, 12, 1, 2, '2024-01-12', 12, 0), (3, 3, 1, 11, 1, 4, '2024-01-25', 1, 0)");
    c.exec("Insert Into ProductOnhand (Product, Warehouse, BalanceYear, PeriodNo, Quantity) "
           "Values (1, 1, 2024, 0, 6), (2, 1, 2024, 0, 100)");

    // January 2024.
    c.exec("Insert Into PCHD (Id, PCDATE, Delflag, DiscAmt1, DiscAmt2, DiscAmt3, TaxRate, "
           "Price_IE) Values (1, '2024-01-08', 'N', 0, 0, 0, 7, 'I')");
    c.exec("Insert Into PCDT (Id, PCHD, Product, ProductUnits, Warehouse, Quantity, Price, "
           "Total, PcDate) Values (1, 1, 1, 12, 1, 1, 107, 107, '2024-01-08')");
    c.exec("Insert Into VCNHD (Id, CDDATE, Delflag, DiscAmt1, DiscAmt2, DiscAmt3, TaxRate, "
           "Price_IE, PrHd) Values (1, '2024-01-15', 'N', 0, 0, 0, 7, 'E', Null)");
    c.exec("Insert Into VCNDT (Id, VCNHD, Product, ProductUnits, Warehouse, Quantity, Price, "
           "Total) Values (1, 1, 1, 11, 1, 4, 3, 12)");
    c.exec("Insert Into IvHd (Id, IvDate, Delflag) Values (1, '2024-01-18', 'N'), "
           "(2, '2024-02-15', 'N')");
    c.exec("Insert Into IvDt (Id, IvHd, Product, ProductUnits, Warehouse, Quantity, IvDate, "
           "Price) Values (1, 1, 1, 11, 1, 3, '2024-01-18', 9), "
           "(2, 2, 4, 41, 1, 4, '2024-02-15', 20)");
    c.exec("Insert Into SRHD (Id, SRDATE, Delflag, SrType) Values (1, '2024-01-20', 'N', 'A')");
    c.exec("Insert Into SRDT (Id, SRHD, Product, ProductUnits, Warehouse, Quantity, SrDate, "
           "Price, Total) Values (1, 1, 1, 11, 1, 1, '2024-01-20', 9, 9)");
    c.exec("Insert Into PRHD (Id, PRDATE, Delflag, DiscAmt1, DiscAmt2, DiscAmt3, TaxRate, "
           "Price_IE) Values (1, '2024-01-22', 'N', 0, 0, 0, 7, 'E')");
    c.exec("Insert Into PRDT (Id, PRHD, Product, ProductUnits, Warehouse, Quantity, Price, "
           "Total) Values (1, 1, 1, 11, 1, 1, 9, 9)");

    // February 2024: the work-order tree.
    c.exec("Insert Into ProductCostAVG (Product, ProductUnits, PeriodNo, BalanceYear, "
           "PurcQnty, PurcAmount, CostAvg) Values (2, 21, 0, 2024, 0, 0, 2)");
    c.exec("Insert Into MfgExpense (Id, Code) Values (1, 'LAB'), (2, 'SET')");
    c.exec("Insert Into BomHd (Id, Code, Product, BomAssembly, ProductUnits) Values "
           "(1, 'BC', 3, 'Y', 31), (2, 'BP', 4, 'Y', 41)");
    c.exec("Insert Into BomDt (Id, BomHd, RmType, StdCost, MfgExpense) Values "
           "(1, 1, 'E', 0.5, 1), (2, 1, 'F', 10, 2), (3, 2, 'F', 5, 2)");
    c.exec("Insert Into WorkOrderHd (Id, WorkOrderNo, MasterWorkOrder, BomHd, FinishedGoods, "
           "ProductUnits, Warehouse, QUANTITY1, WorkDate, FinishDate, Closedate, Delflag, "
           "Clear) Values (1, 'WO-P', Null, 2, 4, 41, 1, 10, '2024-02-06', '2024-02-10', "
           "'2024-02-11', 'N', 'Y'), (2, 'WO-C', 1, 1, 3, 31, 1, 20, '2024-02-02', "
           "'2024-02-05', '2024-02-06', 'N', 'Y')");
    c.exec("Insert Into WorkOrderDt (Id, WorkOrderHd, Product, ProductUnits, Warehouse, "
           "QUANTITY1) Values (1, 1, 4, 41, 1, 10), (2, 2, 3, 31, 1, 20)");
    c.exec("Insert Into MFGISHD (Id, WorkOrderHd, MfgIsDate, Delflag) Values "
           "(1, 2, '2024-02-03', 'N'), (2, 1, '2024-02-07', 'N')");
    c.exec("Insert Into MFGISDT (Id, MFGISHD, Product, ProductUnits, Warehouse, Quantity, "
           "Fraction, MfgIsDate) Values (1, 1, 2, 21, 1, 30, 1, '2024-02-03'), "
           "(2, 2, 3, 31, 1, 20, 1, '2024-02-07'), (3, 2, 2, 21, 1, 10, 1, '2024-02-07')");
    c.exec("Insert Into MFGRIHD (Id, WorkOrderHd, MfgRiDate, Delflag) Values "
           "(1, 1, '2024-02-09', 'N')");
    c.exec("Insert Into MFGRIDT (Id, MFGRIHD, Product, ProductUnits, Warehouse, Quantity, "
           "Fraction, MfgRiDate) Values (1, 1, 2, 21, 1, 2, 1, '2024-02-09')");
    c.exec("Insert Into MFGFinishDt (Id, WorkOrderHd, WorkOrderDt, Product, ProductUnits, "
           "Warehouse, Quantity, Fraction, Cost, BomAssembly, FinishDate) Values "
           "(1, 2, 2, 3, 31, 1, 20, 1, 3, 'Y', '2024-02-05'), "
           "(2, 1, 1, 4, 41, 1, 10, 1, 12, 'Y', '2024-02-10')");
}
