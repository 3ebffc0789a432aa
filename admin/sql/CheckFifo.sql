-- Holds a year that the FIFO costing calculated to its rules and lists what does not hold
-- (Failure 1), and, as notes (Failure 0), the shortages, the months whose supplier notes found
-- no stock, and openings that differ from the stock on hand. One row per finding.
Set NoCount On
Declare @Year Int
Select @Year = :Year
Declare @Findings Table (Finding VarChar(40), Failure Int, Product Int, PeriodNo Int,
  SourceTable VarChar(20), SourceId Int, Measure VarChar(20), Expected Decimal(38,6),
  Actual Decimal(38,6))

-- A month, opening + received - issued = closing, in quantity and in value.
Insert Into @Findings
Select 'month balance', 1, Product, PeriodNo, Null, Null, 'quantity',
  OpeningQuantity + ReceivedQuantity - IssuedQuantity, ClosingQuantity
From FifoMonthBalance
Where BalanceYear = @Year And OpeningQuantity + ReceivedQuantity - IssuedQuantity <> ClosingQuantity
Union All
Select 'month balance', 1, Product, PeriodNo, Null, Null, 'value',
  OpeningAmount + ReceivedAmount - IssuedAmount, ClosingAmount
From FifoMonthBalance
Where BalanceYear = @Year And OpeningAmount + ReceivedAmount - IssuedAmount <> ClosingAmount

-- The closing is what the layers left hold.
Insert Into @Findings
Select 'closing layers', 1, B.Product, B.PeriodNo, Null, Null, M.Measure,
  Case M.Measure When 'quantity' Then B.ClosingQuantity Else B.ClosingAmount End,
  Case M.Measure When 'quantity' Then IsNull(L.Quantity, 0) Else IsNull(L.Amount, 0) End
From FifoMonthBalance B
Cross Join (Select 'quantity' As Measure Union All Select 'value') M
Left Join (Select Product, PeriodNo, Sum(Quantity) As Quantity, Sum(Amount) As Amount
           From FifoLayerBalance Where BalanceYear = @Year
           Group By Product, PeriodNo) L
  On L.Product = B.Product And L.PeriodNo = B.PeriodNo
Where B.BalanceYear = @Year
  And Case M.Measure When 'quantity' Then B.ClosingQuantity - IsNull(L.Quantity, 0)
                     Else B.ClosingAmount - IsNull(L.Amount, 0) End <> 0

-- A month opens with what the month of the product calculated before it closed with.
Insert Into @Findings
Select 'month opening', 1, B.Product, B.PeriodNo, Null, Null, M.Measure,
  Case M.Measure When 'quantity' Then P.ClosingQuantity Else P.ClosingAmount End,
  Case M.Measure When 'quantity' Then B.OpeningQuantity Else B.OpeningAmount End
From FifoMonthBalance B
Cross Join (Select 'quantity' As Measure Union All Select 'value') M
Join FifoMonthBalance P
  On P.Product = B.Product And P.BalanceYear = B.BalanceYear
  And P.PeriodNo = (Select Max(E.PeriodNo) From FifoMonthBalance E
                    Where E.Product = B.Product And E.BalanceYear = B.BalanceYear
                      And E.PeriodNo < B.PeriodNo)
Where B.BalanceYear = @Year And B.PeriodNo > 0
  And Case M.Measure When 'quantity' Then P.ClosingQuantity - B.OpeningQuantity
                     Else P.ClosingAmount - B.OpeningAmount End <> 0

-- What is left of a layer is more than nothing and no more than it received.
Insert Into @Findings
Select 'layer left', 1, L.Product, L.PeriodNo, M.SourceTable, M.SourceId, 'quantity',
  M.Quantity, L.Quantity
From FifoLayerBalance L
Left Join FifoMovement M
  On M.Product = L.Product And M.BalanceYear = L.BalanceYear And M.PeriodNo = L.LayerPeriod
  And M.Seq = L.LayerSeq And M.Kind = 'R'
Where L.BalanceYear = @Year And (M.Seq Is Null Or L.Quantity <= 0 Or L.Quantity > M.Quantity)

-- The layers left are the newest, only the oldest of them may be partly consumed, and no layer
-- received after it is gone.
Insert Into @Findings
Select 'older layer consumed', 1, L.Product, L.PeriodNo, M.SourceTable, M.SourceId, 'quantity',
  M.Quantity, L.Quantity
From FifoLayerBalance L
Join FifoMovement M
  On M.Product = L.Product And M.BalanceYear = L.BalanceYear And M.PeriodNo = L.LayerPeriod
  And M.Seq = L.LayerSeq
Where L.BalanceYear = @Year And L.Quantity < M.Quantity
  And Exists (Select * From FifoLayerBalance O
              Where O.Product = L.Product And O.BalanceYear = L.BalanceYear
                And O.PeriodNo = L.PeriodNo
                And (O.LayerPeriod < L.LayerPeriod
                     Or (O.LayerPeriod = L.LayerPeriod And O.LayerSeq < L.LayerSeq)))
Insert Into @Findings
Select 'newer layer consumed', 1, O.Product, O.PeriodNo, R.SourceTable, R.SourceId, 'quantity',
  R.Quantity, 0
From FifoLayerBalance O
Join FifoMovement R
  On R.Product = O.Product And R.BalanceYear = O.BalanceYear And R.Kind = 'R'
  And R.PeriodNo <= O.PeriodNo
  And (R.PeriodNo > O.LayerPeriod Or (R.PeriodNo = O.LayerPeriod And R.Seq > O.LayerSeq))
Where O.BalanceYear = @Year
  And Not Exists (Select * From FifoLayerBalance E
                  Where E.Product = O.Product And E.BalanceYear = O.BalanceYear
                    And E.PeriodNo = O.PeriodNo
                    And (E.LayerPeriod < O.LayerPeriod
                         Or (E.LayerPeriod = O.LayerPeriod And E.LayerSeq < O.LayerSeq)))
  And Not Exists (Select * From FifoLayerBalance E
                  Where E.Product = O.Product And E.BalanceYear = O.BalanceYear
                    And E.PeriodNo = O.PeriodNo And E.LayerPeriod = R.PeriodNo
                    And E.LayerSeq = R.Seq)

-- An consumptions of an issue line and its shortage add up to what it asked for and to its cost,
-- and take only layers received before it.
Insert Into @Findings
Select 'issue consumptions', 1, M.Product, M.PeriodNo, M.SourceTable, M.SourceId, 'quantity',
  M.Quantity, IsNull(C.Quantity, 0) + IsNull(M.ShortQuantity, 0)
From FifoMovement M
Left Join (Select Product, PeriodNo, IssueSeq, Sum(Quantity) As Quantity, Sum(Amount) As Amount
           From FifoConsumption Where BalanceYear = @Year
           Group By Product, PeriodNo, IssueSeq) C
  On C.Product = M.Product And C.PeriodNo = M.PeriodNo And C.IssueSeq = M.Seq
Where M.BalanceYear = @Year And M.Kind = 'I'
  And (M.ShortQuantity Is Null Or M.ShortQuantity < 0
       Or M.Quantity <> IsNull(C.Quantity, 0) + M.ShortQuantity)
Union All
Select 'issue consumptions', 1, M.Product, M.PeriodNo, M.SourceTable, M.SourceId, 'value',
  M.Amount, IsNull(C.Amount, 0) + IsNull(M.ShortAmount, 0)
From FifoMovement M
Left Join (Select Product, PeriodNo, IssueSeq, Sum(Amount) As Amount
           From FifoConsumption Where BalanceYear = @Year
           Group By Product, PeriodNo, IssueSeq) C
  On C.Product = M.Product And C.PeriodNo = M.PeriodNo And C.IssueSeq = M.Seq
Where M.BalanceYear = @Year And M.Kind = 'I'
  And (M.Amount Is Null Or M.Amount <> IsNull(C.Amount, 0) + IsNull(M.ShortAmount, 0))
Insert Into @Findings
Select 'later layer consumed', 1, M.Product, M.PeriodNo, M.SourceTable, M.SourceId, 'quantity',
  0, C.Quantity
From FifoConsumption C
Join FifoMovement M
  On M.Product = C.Product And M.BalanceYear = C.BalanceYear And M.PeriodNo = C.PeriodNo
  And M.Seq = C.IssueSeq
Where C.BalanceYear = @Year
  And (C.LayerPeriod > C.PeriodNo Or (C.LayerPeriod = C.PeriodNo And C.LayerSeq >= C.IssueSeq))

-- Every month with movements is calculated, and every line of the documents is a movement of
-- its month, once (lines without a quantity only when they carry a value).
Insert Into @Findings
Select 'month not calculated', 1, M.Product, M.PeriodNo, Null, Null, 'movements', Null, Count(*)
From FifoMovement M
Where M.BalanceYear = @Year And M.PeriodNo > 0
  And Not Exists (Select * From FifoMonthBalance B
                  Where B.Product = M.Product And B.BalanceYear = M.BalanceYear
                    And B.PeriodNo = M.PeriodNo)
Group By M.Product, M.PeriodNo
Insert Into @Findings
Select 'line counted twice', 1, Product, Min(PeriodNo), SourceTable, SourceId, 'movements', 1,
  Count(*)
From FifoMovement
Where BalanceYear = @Year And PeriodNo > 0
Group By Product, SourceTable, SourceId
Having Count(*) > 1
Insert Into @Findings
Select 'line not costed', 1, D.Product, Month(D.LineDate), D.SourceTable, D.Id, 'movements', 1, 0
From (
  Select 'imdt' As SourceTable, L.Id, L.Product, H.imdate As LineDate, H.delflag As Delflag,
    L.Quantity, L.Cost As Amount
  From imdt L Join imhd H On H.Id = L.imhd
  Union All
  Select 'MRDT', L.Id, L.Product, H.MRDATE, H.Delflag, L.Quantity, L.Total
  From MRDT L Join MRHD H On H.Id = L.MRHD
  Union All
  Select 'PCDT', L.Id, L.Product, H.PCDATE, H.Delflag, L.Quantity, L.Total
  From PCDT L Join PCHD H On H.Id = L.PCHD
  Union All
  Select 'PRDT', L.Id, L.Product, H.PRDATE, H.Delflag, L.Quantity, 0
  From PRDT L Join PRHD H On H.Id = L.PRHD
  Union All
  Select 'VCNDT', L.Id, L.Product, H.CDDATE, H.Delflag, 1, 0
  From VCNDT L Join VCNHD H On H.Id = L.VCNHD
  Where H.PrHd Is Null
  Union All
  Select 'VDNDT', L.Id, L.Product, H.CDDATE, H.Delflag, 1, 0
  From VDNDT L Join VDNHD H On H.Id = L.VDNHD
  Union All
  Select 'POSRDT', L.Id, L.Product, H.SRDATE, H.Delflag, L.Quantity, 0
  From POSRDT L Join POSRHD H On H.Id = L.POSRHD
  Union All
  Select 'TranBranchDT', L.Id, L.Product, H.TranDATE, H.Delflag, L.Quantity, 0
  From TranBranchDT L Join TranBranchHD H On H.Id = L.TranBranchHD
  Union All
  Select 'ProductAssemblyHd', H.Id, H.Product, H.PaDate, H.Delflag, H.Quantity, 0
  From ProductAssemblyHd H
  Union All
  Select 'ProductAssemblyDt', L.Id, L.Product, L.PaDate, H.Delflag, L.Quantity, 0
  From ProductAssemblyDt L Join ProductAssemblyHd H On H.Id = L.ProductAssemblyHd
  Union All
  Select 'AdjuststockDt', L.Id, L.Product, H.AdjDate, H.Delflag, L.Quantity, 0
  From AdjuststockDt L Join AdjuststockHd H On H.Id = L.AdjuststockHd
  Union All
  Select 'MFGFinishDt', L.Id, L.Product, L.FinishDate, W.Delflag, L.Quantity, 0
  From MFGFinishDt L Join WorkOrderHd W On W.Id = L.WorkOrderHd
  Union All
  Select 'SRDT', L.Id, L.Product, H.SRDATE, H.Delflag, L.Quantity, 0
  From SRDT L Join SRHD H On H.Id = L.SRHD
  Where IsNull(H.SrType, '') <> 'B'
  Union All
  Select 'Ridt', L.Id, L.Product, L.RiDate, H.Delflag, L.Quantity, 0
  From Ridt L Join RiHd H On H.Id = L.RiHd
  Union All
  Select 'MFGRIDT', L.Id, L.Product, L.MfgRiDate, H.Delflag, L.Quantity, 0
  From MFGRIDT L Join MFGRIHD H On H.Id = L.MFGRIHD
  Union All
  Select 'Isdt', L.Id, L.Product, L.IsDate, H.Delflag, L.Quantity, 0
  From Isdt L Join IsHd H On H.Id = L.IsHd
  Union All
  Select 'IvDt', L.Id, L.Product, L.IvDate, H.Delflag, L.Quantity, 0
  From IvDt L Join IvHd H On H.Id = L.IvHd
  Union All
  Select 'PosDt', L.Id, L.Product, L.PosDate, H.Delflag, L.Quantity, 0
  From PosDt L Join PosHd H On H.Id = L.PosHd
  Union All
  Select 'MFGISDT', L.Id, L.Product, L.MfgIsDate, H.Delflag, L.Quantity, 0
  From MFGISDT L Join MFGISHD H On H.Id = L.MFGISHD
) D
Where Year(D.LineDate) = @Year And IsNull(D.Delflag, 'N') <> 'Y'
  And (D.Quantity <> 0 Or D.Amount <> 0)
  And Not Exists (Select * From FifoMovement M
                  Where M.SourceTable = D.SourceTable And M.SourceId = D.Id
                    And M.Product = D.Product And M.BalanceYear = @Year
                    And M.PeriodNo = Month(D.LineDate))

-- The costs written into the lines are the FIFO cost per unit of each line.
Insert Into @Findings
Select 'line price', 1, M.Product, M.PeriodNo, M.SourceTable, M.SourceId, 'price',
  Convert(Money, M.UnitCost * M.Fraction), L.Price
From FifoMovement M
Join (Select 'Isdt' As SourceTable, Id, Price From Isdt
      Union All Select 'Ridt', Id, Price From Ridt
      Union All Select 'MFGISDT', Id, Price From MFGISDT
      Union All Select 'MFGRIDT', Id, Price From MFGRIDT
      Union All Select 'MFGFinishDt', Id, Price From MFGFinishDt
      Union All Select 'AdjuststockDt', Id, Price From AdjuststockDt) L
  On L.SourceTable = M.SourceTable And L.Id = M.SourceId
Where M.BalanceYear = @Year And M.PeriodNo > 0
  And (M.SourceTable <> 'AdjuststockDt' Or M.Kind = 'I')
  And (L.Price Is Null Or L.Price <> Convert(Money, M.UnitCost * M.Fraction))

-- Notes, issues beyond the stock, supplier notes that found no stock, and openings that
-- differ from the stock on hand the suite keeps for the year.
Insert Into @Findings
Select 'shortage', 0, Product, PeriodNo, SourceTable, SourceId, 'quantity', Quantity,
  ShortQuantity
From FifoMovement
Where BalanceYear = @Year And Kind = 'I' And ShortQuantity > 0
Union All
Select 'value difference', 0, Product, PeriodNo, Null, Null, 'value', 0, ValueDifference
From FifoMonthBalance
Where BalanceYear = @Year And ValueDifference <> 0
Union All
Select 'opening', 0, B.Product, 0, Null, Null, 'quantity', IsNull(O.Quantity, 0),
  B.ClosingQuantity
From FifoMonthBalance B
Left Join (Select Product, Sum(Quantity) As Quantity From ProductOnhand
           Where BalanceYear = @Year And PeriodNo = 0 Group By Product) O
  On O.Product = B.Product
Where B.BalanceYear = @Year And B.PeriodNo = 0
  And Convert(Decimal(28,6), IsNull(O.Quantity, 0)) <> B.ClosingQuantity

Select F.Finding, F.Failure, P.Code As ProdCode, F.PeriodNo, F.SourceTable, F.SourceId,
  F.Measure, F.Expected, F.Actual
From @Findings F
Left Join Product P On P.Id = F.Product
Order By F.Failure Desc, P.Code, F.PeriodNo, F.Finding, F.SourceTable, F.SourceId
