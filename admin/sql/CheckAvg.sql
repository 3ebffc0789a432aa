-- Holds a year that the average cost calculated to its rules and lists what does not hold, one
-- row per finding. Every row of the ledger ProductCostAVG equals the receipts of its product,
-- unit and month recomputed from the documents (the purchase-side receipts valued by
-- StockReceiptValues, the finished goods of cleared work orders at their costs, the customer
-- returns at the average up to their month), the opening rows hold the opening stock at their
-- cost, and every cost the run wrote into a line equals the year-to-date average of its product
-- and month times the Fraction of the line.
Set NoCount On
Declare @Year Int, @Product Int, @Month Int
Select @Year = :Year
Declare @Findings Table (Finding VarChar(40), Failure Int, Product Int, PeriodNo Int,
  SourceTable VarChar(20), SourceId Int, Measure VarChar(20), Expected Decimal(38,6),
  Actual Decimal(38,6))
Declare @Lines Table (SourceTable VarChar(20), SourceId Int, ProductUnits Int, Warehouse Int,
  ReceiptDate DateTime, Delflag Char(1), Quantity Float, Amount Money, GroupQuantity Float,
  Components Int)
Declare @Receipts Table (Product Int, PeriodNo Int, SourceTable VarChar(20), ProductUnits Int,
  Warehouse Int, ReceiptDate DateTime, Delflag Char(1), Quantity Float, Amount Money,
  GroupQuantity Float, Components Int)
-- The ledger rows the receipts make before the customer returns are added, and those returns.
Declare @Expected Table (Product Int, ProductUnits Int, PeriodNo Int, Quantity Float,
  Amount Money, Primary Key (Product, ProductUnits, PeriodNo))
Declare @Returns Table (Product Int, ProductUnits Int, PeriodNo Int, Quantity Float,
  Amount Money)

Declare Products Cursor Local Fast_Forward For Select Id From Product
Open Products
Fetch Next From Products Into @Product
While @@Fetch_Status = 0
Begin
  Set @Month = 1
  While @Month <= 12
  Begin
    Insert Into @Lines (SourceTable, SourceId, ProductUnits, Warehouse, ReceiptDate, Delflag,
      Quantity, Amount, GroupQuantity, Components)
    Exec StockReceiptValues @Year, @Month, @Product
    Insert Into @Receipts (Product, PeriodNo, SourceTable, ProductUnits, Warehouse, ReceiptDate,
      Delflag, Quantity, Amount, GroupQuantity, Components)
    Select @Product, @Month, SourceTable, ProductUnits, Warehouse, ReceiptDate, Delflag, Quantity,
      Amount, GroupQuantity, Components
    From @Lines
    Delete From @Lines
    Set @Month = @Month + 1
  End
  Fetch Next From Products Into @Product
End
Close Products
Deallocate Products

-- The average cost takes documents marked N only, set records only with a component list,
-- and identical set records of a day as one group whose quantity counts once.
Insert Into @Expected (Product, ProductUnits, PeriodNo, Quantity, Amount)
Select Product, ProductUnits, PeriodNo, Sum(Quantity), Sum(Amount)
From (
  Select Product, ProductUnits, PeriodNo, Quantity, Amount
  From @Receipts
  Where Delflag = 'N' And SourceTable Not In ('ProductAssemblyHd', 'ProductAssemblyDt')
  Union All
  Select Product, ProductUnits, PeriodNo, Max(Quantity), Sum(Amount)
  From @Receipts
  Where Delflag = 'N' And SourceTable = 'ProductAssemblyHd' And Components > 0
  Group By Product, ProductUnits, PeriodNo, Warehouse, ReceiptDate, Quantity
  Union All
  Select Product, ProductUnits, PeriodNo, Max(Quantity), Sum(Amount)
  From @Receipts
  Where Delflag = 'N' And SourceTable = 'ProductAssemblyDt' And Components > 0
  Group By Product, ProductUnits, PeriodNo, Warehouse, ReceiptDate, Quantity, GroupQuantity
  Union All
  -- Finished goods of cleared work orders, at the cost of the work order (a bill of Y) or at the
  -- cost of its output lines (N), counted in the unit of the bill.
  Select W.FinishedGoods, W.ProductUnits, Month(W.FinishDate), W.QUANTITY1 * U.Fraction,
    Convert(Money, Sum(IsNull(W.QUANTITY1 * W.CostAVG, 0)))
  From WorkOrderHd W
  Join BomHd B On B.Id = W.BomHd
  Join ProductUnits U On U.Id = B.ProductUnits
  Where W.Delflag = 'N' And W.Clear = 'Y' And B.BomAssembly = 'Y' And Year(W.FinishDate) = @Year
  Group By W.FinishedGoods, W.ProductUnits, W.Warehouse, Month(W.FinishDate), W.QUANTITY1,
    U.Fraction, W.FinishDate
  Union All
  Select L.Product, L.ProductUnits, Month(W.FinishDate), L.QUANTITY1 * U.Fraction,
    Convert(Money, Sum(IsNull(L.QUANTITY1 * L.CostAVG, 0)))
  From WorkOrderHd W
  Join BomHd B On B.Id = W.BomHd
  Join WorkOrderDt L On L.WorkOrderHd = W.Id
  Join ProductUnits U On U.Id = B.ProductUnits
  Where W.Delflag = 'N' And W.Clear = 'Y' And B.BomAssembly = 'N' And Year(W.FinishDate) = @Year
  Group By L.Product, L.ProductUnits, L.Warehouse, Month(W.FinishDate), L.QUANTITY1,
    U.Fraction, W.FinishDate
) R
Group By Product, ProductUnits, PeriodNo

-- Customer returns at the average of the product up to their month, over the ledger as it stood
-- before the returns of the month, the months before as the ledger holds them, the month as its
-- receipts make it. The year is the latest in which the unit of the return has a non-zero average.
Insert Into @Returns (Product, ProductUnits, PeriodNo, Quantity, Amount)
Select R.Product, R.ProductUnits, R.PeriodNo, R.Quantity,
  Convert(Money, R.Quantity * Convert(Money,
    (Select Case When IsNull(Sum(X.Quantity), 0) = 0 Then 0
                 Else Convert(Decimal(28,6),
                                Convert(Float, Convert(Money, IsNull(Sum(X.Amount), 0)))
                                / Sum(X.Quantity))
            End
     From (Select A.PurcQnty As Quantity, A.PurcAmount As Amount From ProductCostAVG A
           Where A.Product = R.Product And A.BalanceYear = R.CostYear
             And (A.BalanceYear < @Year Or A.PeriodNo < R.PeriodNo)
           Union All
           Select E.Quantity, E.Amount From @Expected E
           Where E.Product = R.Product And E.PeriodNo = R.PeriodNo And R.CostYear = @Year) X)))
From (
  Select L.Product, L.ProductUnits, Month(H.SRDATE) As PeriodNo,
    L.Quantity * U.Fraction As Quantity,
    (Select Max(Y.BalanceYear)
     From (Select C.BalanceYear From ProductCostAVG C
           Where C.ProductUnits = L.ProductUnits And C.CostAvg <> 0
             And (C.BalanceYear <> @Year Or C.PeriodNo < Month(H.SRDATE))
           Union All
           Select @Year From @Expected E
           Where E.ProductUnits = L.ProductUnits And E.PeriodNo = Month(H.SRDATE)
             And E.Quantity > 0 And E.Amount > 0) Y) As CostYear
  From SRDT L
  Join SRHD H On H.Id = L.SRHD
  Join ProductUnits U On U.Id = L.ProductUnits
  Where H.Delflag <> 'Y' And H.SrType <> 'B' And Year(H.SRDATE) = @Year
) R

-- Each month row against what the receipts and returns make it. A row missing is a month the
-- run did not calculate for the product; a row without receipts one it should not hold.
Insert Into @Findings
Select Case When K.InLedger Is Null Then 'ledger row missing'
            When K.Expected Is Null Then 'ledger row without receipts'
            Else 'ledger row' End,
  1, K.Product, K.PeriodNo, 'ProductUnits', K.ProductUnits, M.Measure,
  Case M.Measure When 'quantity' Then K.ExpectedQuantity Else K.ExpectedAmount End,
  Case M.Measure When 'quantity' Then K.PurcQnty Else K.PurcAmount End
From (
  Select Coalesce(A.Product, E.Product) As Product,
    Coalesce(A.ProductUnits, E.ProductUnits) As ProductUnits,
    Coalesce(A.PeriodNo, E.PeriodNo) As PeriodNo, A.PurcQnty, A.PurcAmount,
    A.Product As InLedger, E.Product As Expected, E.Quantity As ExpectedQuantity,
    E.Amount As ExpectedAmount
  From (Select * From ProductCostAVG Where BalanceYear = @Year And PeriodNo > 0) A
  Full Join (Select Product, ProductUnits, PeriodNo,
               Case When Count(Quantity) = 0 Then Null Else Sum(Quantity) End As Quantity,
               Case When Count(Amount) = 0 Then Null Else Sum(Amount) End As Amount
             From (Select Product, ProductUnits, PeriodNo, Quantity, Amount From @Expected
                   Union All
                   Select Product, ProductUnits, PeriodNo, Quantity, Amount From @Returns) T
             Group By Product, ProductUnits, PeriodNo) E
    On E.Product = A.Product And E.ProductUnits = A.ProductUnits And E.PeriodNo = A.PeriodNo
) K
Cross Join (Select 'quantity' As Measure Union All Select 'value') M
Where ((K.InLedger Is Null Or K.Expected Is Null) And M.Measure = 'value')
   Or (K.InLedger Is Not Null And K.Expected Is Not Null And M.Measure = 'quantity'
       And (IsNull(Abs(K.PurcQnty - K.ExpectedQuantity), 1) > 0.000001
            Or (K.PurcQnty Is Null And K.ExpectedQuantity Is Not Null)))
   Or (K.InLedger Is Not Null And K.Expected Is Not Null And M.Measure = 'value'
       And (IsNull(K.PurcAmount, -922337203685477) <> IsNull(K.ExpectedAmount, -922337203685477)))

-- The opening row holds the opening stock at its cost per unit of its ProductUnits.
Insert Into @Findings
Select 'opening row', 1, A.Product, 0, 'ProductUnits', A.ProductUnits, M.Measure,
  Case M.Measure When 'quantity' Then O.Quantity
                 Else Round(O.Quantity * (A.CostAvg / Convert(Int, U.Fraction)), 2) End,
  Case M.Measure When 'quantity' Then A.PurcQnty Else A.PurcAmount End
From ProductCostAVG A
Join (Select Product, Sum(Quantity) As Quantity From ProductOnhand
      Where BalanceYear = @Year And PeriodNo = 0 Group By Product) O On O.Product = A.Product
Join ProductUnits U On U.Id = A.ProductUnits
Cross Join (Select 'quantity' As Measure Union All Select 'value') M
Where A.BalanceYear = @Year And A.PeriodNo = 0
  And ((M.Measure = 'quantity' And IsNull(Abs(A.PurcQnty - O.Quantity), 1) > 0.000001)
       Or (M.Measure = 'value'
           And IsNull(A.PurcAmount, -922337203685477)
               <> Convert(Money, Round(O.Quantity * (A.CostAvg / Convert(Int, U.Fraction)), 2))))

-- The costs in the lines of the products the run calculates in the month (stock on hand, a
-- ledger row or a work order closed in the month).
Insert Into @Findings
Select 'line price', 1, L.Product, L.PeriodNo, L.SourceTable, L.Id, 'price',
  Convert(Money, C.Cost * L.Fraction), L.Price
From (
  Select 'Isdt' As SourceTable, Id, Product, Month(IsDate) As PeriodNo, Fraction, Price
  From Isdt Where Year(IsDate) = @Year
  Union All
  Select 'Ridt', Id, Product, Month(RiDate), Fraction, Price From Ridt Where Year(RiDate) = @Year
  Union All
  Select 'MFGISDT', Id, Product, Month(MfgIsDate), Fraction, Price
  From MFGISDT Where Year(MfgIsDate) = @Year
  Union All
  Select 'MFGRIDT', Id, Product, Month(MfgRiDate), Fraction, Price
  From MFGRIDT Where Year(MfgRiDate) = @Year
  Union All
  Select 'AdjuststockDt', D.Id, D.Product, Month(H.AdjDate), D.Fraction, D.Price
  From AdjuststockDt D Join AdjuststockHd H On H.Id = D.AdjuststockHd
  Where Year(H.AdjDate) = @Year And D.Quantity < 0
  Union All
  Select 'MFGFinishDt', F.Id, F.Product, Month(W.CloseDate), F.Fraction, F.Price
  From MFGFinishDt F Join WorkOrderHd W On W.Id = F.WorkOrderHd
  Where Year(W.CloseDate) = @Year And Db_Name() <> 'QWD_A'
) L
Join (Select P.Id As Product, M.PeriodNo,
        (Select Case When IsNull(Sum(IsNull(A.PurcQnty, 0)), 0) = 0 Then 0
                     Else Convert(Decimal(28,4), Convert(Float, Sum(IsNull(A.PurcAmount, 0)))
                                                 / Sum(IsNull(A.PurcQnty, 0)))
                End
         From ProductCostAVG A
         Where A.Product = P.Id And A.BalanceYear = @Year And A.PeriodNo <= M.PeriodNo) As Cost
      From Product P
      Cross Join (Select 1 As PeriodNo Union All Select 2 Union All Select 3 Union All Select 4
                  Union All Select 5 Union All Select 6 Union All Select 7 Union All Select 8
                  Union All Select 9 Union All Select 10 Union All Select 11
                  Union All Select 12) M
      Where Exists (Select * From ProductOnhand O Where O.Product = P.Id
                      And O.BalanceYear = @Year And O.PeriodNo = M.PeriodNo)
         Or Exists (Select * From ProductCostAVG A Where A.Product = P.Id
                      And A.BalanceYear = @Year And A.PeriodNo = M.PeriodNo)
         Or Exists (Select * From WorkOrderHd W Where W.FinishedGoods = P.Id
                      And Year(W.Closedate) = @Year And Month(W.Closedate) = M.PeriodNo)) C
  On C.Product = L.Product And C.PeriodNo = L.PeriodNo
Where L.Price Is Null Or L.Price <> Convert(Money, C.Cost * L.Fraction)

Select F.Finding, F.Failure, P.Code As ProdCode, F.PeriodNo, F.SourceTable, F.SourceId,
  F.Measure, F.Expected, F.Actual
From @Findings F
Left Join Product P On P.Id = F.Product
Order By F.Failure Desc, P.Code, F.PeriodNo, F.Finding, F.SourceTable, F.SourceId
