-- The year-to-date average cost of a product for a year and month, and what makes it, the
-- ledger rows of ProductCostAVG up to the month (Part ledger, the opening row as period 0,
-- with the opening stock it holds in Part opening), the receipts of each month and unit by kind
-- recomputed from the documents as the month run takes them (Part receipt, the purchase-side
-- receipts valued by StockReceiptValues, the finished goods of cleared work orders at their
-- cost, the customer returns at the average up to their month), and the sums and the average
-- as the cost write-back works them out (Part average), with the cost per unit of a line of the
-- given Fraction. Listed is 1 when the month run calculates the product in the month.
Set NoCount On
Declare @Year Int, @Month Int, @Product Int, @Fraction Float, @M Int
Declare @Qnty Float, @Amount Float, @Cost Decimal(28,4)
Select @Year = :Year, @Month = :Month, @Product = :Product, @Fraction = :Fraction
Declare @Lines Table (SourceTable VarChar(20), SourceId Int, ProductUnits Int, Warehouse Int,
  ReceiptDate DateTime, Delflag Char(1), Quantity Float, Amount Money, GroupQuantity Float,
  Components Int)
Declare @Receipts Table (PeriodNo Int, SourceTable VarChar(20), ProductUnits Int,
  Warehouse Int, ReceiptDate DateTime, Delflag Char(1), Quantity Float, Amount Money,
  GroupQuantity Float, Components Int)
Declare @Kinds Table (PeriodNo Int, ProductUnits Int, SourceTable VarChar(20), Lines Int,
  Quantity Float, Amount Money)
Declare @ReturnLines Table (ProductUnits Int, PeriodNo Int, Quantity Float, CostYear Int,
  Cost Money)
Declare @Returns Table (PeriodNo Int, ProductUnits Int, Lines Int, Quantity Float,
  Amount Money)
Declare @Out Table (Part VarChar(10), PeriodNo Int, ProductUnits Int, SourceTable VarChar(20),
  Lines Int, Quantity Float, Amount Money, Cost Decimal(28,6), Price Money, Listed Int,
  Calculated Int)

Set @M = 1
While @M <= @Month
Begin
  Insert Into @Lines (SourceTable, SourceId, ProductUnits, Warehouse, ReceiptDate, Delflag,
    Quantity, Amount, GroupQuantity, Components)
  Exec StockReceiptValues @Year, @M, @Product
  Insert Into @Receipts (PeriodNo, SourceTable, ProductUnits, Warehouse, ReceiptDate, Delflag,
    Quantity, Amount, GroupQuantity, Components)
  Select @M, SourceTable, ProductUnits, Warehouse, ReceiptDate, Delflag, Quantity, Amount,
    GroupQuantity, Components
  From @Lines
  Delete From @Lines
  Set @M = @M + 1
End

-- Documents marked N only; set records only with a component list, identical ones of a day as
-- one group whose quantity counts once.
Insert Into @Kinds (PeriodNo, ProductUnits, SourceTable, Lines, Quantity, Amount)
Select PeriodNo, ProductUnits, SourceTable, Count(*), Sum(Quantity), Sum(Amount)
From @Receipts
Where Delflag = 'N' And SourceTable Not In ('ProductAssemblyHd', 'ProductAssemblyDt')
Group By PeriodNo, ProductUnits, SourceTable
Insert Into @Kinds (PeriodNo, ProductUnits, SourceTable, Lines, Quantity, Amount)
Select PeriodNo, ProductUnits, SourceTable, Sum(Lines), Sum(Quantity), Sum(Amount)
From (Select PeriodNo, ProductUnits, SourceTable, Count(*) As Lines, Max(Quantity) As Quantity,
        Sum(Amount) As Amount
      From @Receipts
      Where Delflag = 'N' And SourceTable = 'ProductAssemblyHd' And Components > 0
      Group By PeriodNo, ProductUnits, SourceTable, Warehouse, ReceiptDate, Quantity
      Union All
      Select PeriodNo, ProductUnits, SourceTable, Count(*), Max(Quantity), Sum(Amount)
      From @Receipts
      Where Delflag = 'N' And SourceTable = 'ProductAssemblyDt' And Components > 0
      Group By PeriodNo, ProductUnits, SourceTable, Warehouse, ReceiptDate, Quantity,
        GroupQuantity) G
Group By PeriodNo, ProductUnits, SourceTable

-- Finished goods of cleared work orders, at the cost of the work order (a bill of Y) or of
-- its output lines (N), in the unit of the bill.
Insert Into @Kinds (PeriodNo, ProductUnits, SourceTable, Lines, Quantity, Amount)
Select PeriodNo, ProductUnits, SourceTable, Sum(Lines), Sum(Quantity), Sum(Amount)
From (Select Month(W.FinishDate) As PeriodNo, W.ProductUnits, 'WorkOrderHd' As SourceTable,
        Count(*) As Lines, W.QUANTITY1 * U.Fraction As Quantity,
        Convert(Money, Sum(IsNull(W.QUANTITY1 * W.CostAVG, 0))) As Amount
      From WorkOrderHd W
      Join BomHd B On B.Id = W.BomHd
      Join ProductUnits U On U.Id = B.ProductUnits
      Where W.FinishedGoods = @Product And W.Delflag = 'N' And W.Clear = 'Y'
        And B.BomAssembly = 'Y' And Year(W.FinishDate) = @Year
        And Month(W.FinishDate) <= @Month
      Group By W.FinishedGoods, W.ProductUnits, W.Warehouse, Month(W.FinishDate), W.QUANTITY1,
        U.Fraction, W.FinishDate
      Union All
      Select Month(W.FinishDate), L.ProductUnits, 'WorkOrderDt', Count(*),
        L.QUANTITY1 * U.Fraction, Convert(Money, Sum(IsNull(L.QUANTITY1 * L.CostAVG, 0)))
      From WorkOrderDt L
      Join WorkOrderHd W On W.Id = L.WorkOrderHd
      Join BomHd B On B.Id = W.BomHd
      Join ProductUnits U On U.Id = B.ProductUnits
      Where L.Product = @Product And W.Delflag = 'N' And W.Clear = 'Y'
        And B.BomAssembly = 'N' And Year(W.FinishDate) = @Year
        And Month(W.FinishDate) <= @Month
      Group By L.Product, L.ProductUnits, L.Warehouse, Month(W.FinishDate), L.QUANTITY1,
        U.Fraction, W.FinishDate) F
Group By PeriodNo, ProductUnits, SourceTable

-- Customer returns at the return unit cost, over the rows of the latest year in which the
-- unit of the return has a non-zero average up to the return month. In the year itself the
-- months before come from the ledger and the month as its receipts make it before its returns.
Insert Into @ReturnLines (ProductUnits, PeriodNo, Quantity)
Select L.ProductUnits, Month(H.SRDATE), L.Quantity * U.Fraction
From SRDT L
Join SRHD H On H.Id = L.SRHD
Join ProductUnits U On U.Id = L.ProductUnits
Where L.Product = @Product And H.Delflag <> 'Y' And H.SrType <> 'B'
  And Year(H.SRDATE) = @Year And Month(H.SRDATE) <= @Month
Update R
Set CostYear = (Select Max(C.BalanceYear) From ProductCostAVG C
                Where C.ProductUnits = R.ProductUnits And C.CostAvg <> 0
                  And (C.BalanceYear < @Year
                       Or (C.BalanceYear = @Year And C.PeriodNo < R.PeriodNo)))
From @ReturnLines R
Update R
Set CostYear = @Year
From @ReturnLines R
Where (Select Sum(K.Quantity) From @Kinds K
       Where K.ProductUnits = R.ProductUnits And K.PeriodNo = R.PeriodNo) > 0
  And (Select Sum(K.Amount) From @Kinds K
       Where K.ProductUnits = R.ProductUnits And K.PeriodNo = R.PeriodNo) > 0
Update R
Set Cost = Convert(Money,
  (Select Case When IsNull(Sum(X.Quantity), 0) = 0 Then 0
               Else Convert(Decimal(28,6),
                      Convert(Float, Convert(Money, IsNull(Sum(X.Amount), 0)))
                        / Sum(X.Quantity))
          End
   From (Select A.PurcQnty As Quantity, A.PurcAmount As Amount From ProductCostAVG A
         Where A.Product = @Product And A.BalanceYear = R.CostYear
           And (A.BalanceYear < @Year Or A.PeriodNo < R.PeriodNo)
         Union All
         Select K.Quantity, K.Amount From @Kinds K
         Where K.PeriodNo = R.PeriodNo And R.CostYear = @Year) X))
From @ReturnLines R
Insert Into @Returns (PeriodNo, ProductUnits, Lines, Quantity, Amount)
Select PeriodNo, ProductUnits, Count(*), Sum(Quantity),
  Sum(Convert(Money, Quantity * IsNull(Cost, 0)))
From @ReturnLines
Group By PeriodNo, ProductUnits
Insert Into @Kinds (PeriodNo, ProductUnits, SourceTable, Lines, Quantity, Amount)
Select PeriodNo, ProductUnits, 'SRDT', Lines, Quantity, Amount From @Returns

Insert Into @Out (Part, PeriodNo, ProductUnits, SourceTable, Lines, Quantity, Amount)
Select 'receipt', PeriodNo, ProductUnits, SourceTable, Lines, Quantity, Amount From @Kinds

Insert Into @Out (Part, PeriodNo, ProductUnits, Quantity, Amount, Cost)
Select 'ledger', PeriodNo, ProductUnits, PurcQnty, PurcAmount, CostAvg
From ProductCostAVG
Where Product = @Product And BalanceYear = @Year And PeriodNo <= @Month

-- The opening stock and the cost per unit of the opening row, which make its value.
Insert Into @Out (Part, PeriodNo, ProductUnits, Lines, Quantity, Amount, Cost)
Select 'opening', 0, A.ProductUnits, Convert(Int, U.Fraction),
  (Select Sum(Quantity) From ProductOnhand
   Where Product = @Product And BalanceYear = @Year And PeriodNo = 0),
  A.PurcAmount, A.CostAvg
From ProductCostAVG A
Left Join ProductUnits U On U.Id = A.ProductUnits
Where A.Product = @Product And A.BalanceYear = @Year And A.PeriodNo = 0

Select @Qnty = Sum(IsNull(PurcQnty, 0)), @Amount = Sum(IsNull(PurcAmount, 0))
From ProductCostAVG
Where Product = @Product And BalanceYear = @Year And PeriodNo <= @Month
Select @Cost = Case When IsNull(@Qnty, 0) = 0 Then 0
                    Else Convert(Decimal(28,4), @Amount / @Qnty) End
Insert Into @Out (Part, Quantity, Amount, Cost, Price, Calculated, Listed)
Select 'average', IsNull(@Qnty, 0), Convert(Money, IsNull(@Amount, 0)), @Cost,
  Convert(Money, @Cost * @Fraction),
  Case When Exists (Select * From ProductCostAVG A Where A.BalanceYear = @Year
                      And A.PeriodNo = @Month) Then 1 Else 0 End,
  Case When Exists (Select * From ProductOnhand O Where O.Product = @Product
                      And O.BalanceYear = @Year And O.PeriodNo = @Month)
         Or Exists (Select * From ProductCostAVG A Where A.Product = @Product
                      And A.BalanceYear = @Year And A.PeriodNo = @Month)
         Or Exists (Select * From WorkOrderHd W Where W.FinishedGoods = @Product
                      And Year(W.Closedate) = @Year And Month(W.Closedate) = @Month)
       Then 1 Else 0 End

Select O.Part, O.PeriodNo, O.ProductUnits, U.Code As UnitCode, O.SourceTable, O.Lines,
  O.Quantity, O.Amount, O.Cost, O.Price, O.Calculated, O.Listed
From @Out O
Left Join ProductUnits U On U.Id = O.ProductUnits
Order By O.PeriodNo, O.ProductUnits, O.Part, O.SourceTable
