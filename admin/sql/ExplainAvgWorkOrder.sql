-- A work order tree as CALCULATE_WorkOrderAVG costs it, from the root of the given work order
-- down. Part order, one row per work order, depth first (Path), with its finished quantity, the
-- material issued and returned at their CostAVG, the bill expenses, the unit cost they make as
-- the procedure works it out and the CostAVG written. Part material, one row per material line
-- issued (MFGISDT) or returned (MFGRIDT), with the three candidates the procedure chooses from
-- for a work order with children, the cost of the child that made the product (only when the
-- work order is cleared), the cost of the output line of a cleared child, and the year to date
-- average of the month of the work date per unit of the line.
Set NoCount On
Declare @Start Int, @Root Int, @Next Int, @Steps Int, @Level Int
Select @Start = :WorkOrderHd
Declare @Tree Table (Id Int Primary Key, Level Int, Path VarChar(400))
Declare @Costs Table (Id Int Primary Key, FQ Float, Issued Float, Returned Float,
  ExpenseE Float, ExpenseF Float)
Declare @Material Table (SourceTable VarChar(20), Id Int, WorkOrderHd Int, Delflag Char(1),
  Product Int, Quantity Float, Fraction Float, CostAVG Decimal(28,4))

Set @Root = @Start
Set @Steps = 0
While @Steps < 32
Begin
  Set @Next = (Select MasterWorkOrder From WorkOrderHd Where Id = @Root)
  If @Next Is Null Or Not Exists (Select * From WorkOrderHd Where Id = @Next)
    Break
  Set @Root = @Next
  Set @Steps = @Steps + 1
End

Insert Into @Tree (Id, Level, Path)
Values (@Root, 0, Right('0000000000' + Convert(VarChar(10), @Root), 10))
Set @Level = 0
While @Level < 32 And Exists (Select * From @Tree Where Level = @Level)
Begin
  Insert Into @Tree (Id, Level, Path)
  Select W.Id, @Level + 1, T.Path + '/' + Right('0000000000' + Convert(VarChar(10), W.Id), 10)
  From WorkOrderHd W
  Join @Tree T On T.Id = W.MasterWorkOrder
  Where T.Level = @Level And Not Exists (Select * From @Tree X Where X.Id = W.Id)
  Set @Level = @Level + 1
End

-- What each work order costs, summed as the procedure sums it.
Insert Into @Costs (Id, FQ, Issued, Returned, ExpenseE, ExpenseF)
Select T.Id,
  IsNull((Select Sum(IsNull(Quantity, 0)) From MfgFinishDt Where WorkOrderHd = T.Id), 0),
  IsNull((Select Sum(IsNull(D.Quantity * D.CostAVG, 0))
          From MFGISDT D Join MFGISHD H On H.Id = D.MFGISHD
          Where H.WorkOrderHd = T.Id), 0),
  IsNull((Select Sum(IsNull(D.Quantity * D.CostAVG, 0))
          From MFGRIDT D Join MFGRIHD H On H.Id = D.MFGRIHD
          Where H.WorkOrderHd = T.Id), 0),
  IsNull((Select Sum(IsNull(F.Quantity, 0)) From MfgFinishDt F Where F.WorkOrderHd = T.Id), 0)
    * IsNull((Select Sum(IsNull(E.StdCost, 0))
              From BomDt E Join MfgExpense X On X.Id = E.MfgExpense
              Where E.BomHd = W.BomHd And E.RmType = 'E'), 0),
  IsNull((Select Sum(IsNull(E.StdCost, 0))
          From BomDt E Join MfgExpense X On X.Id = E.MfgExpense
          Where E.BomHd = W.BomHd And E.RmType = 'F'), 0)
From @Tree T
Join WorkOrderHd W On W.Id = T.Id

Insert Into @Material (SourceTable, Id, WorkOrderHd, Delflag, Product, Quantity, Fraction,
  CostAVG)
Select 'MFGISDT', D.Id, H.WorkOrderHd, H.Delflag, D.Product, D.Quantity, D.Fraction, D.CostAVG
From @Tree T
Join MFGISHD H On H.WorkOrderHd = T.Id
Join MFGISDT D On D.MFGISHD = H.Id
Insert Into @Material (SourceTable, Id, WorkOrderHd, Delflag, Product, Quantity, Fraction,
  CostAVG)
Select 'MFGRIDT', D.Id, H.WorkOrderHd, H.Delflag, D.Product, D.Quantity, D.Fraction, D.CostAVG
From @Tree T
Join MFGRIHD H On H.WorkOrderHd = T.Id
Join MFGRIDT D On D.MFGRIHD = H.Id

Select 'order' As Part, T.Path, T.Level, W.Id, W.WorkOrderNo, W.Clear, B.BomAssembly,
  P.Code As ProdCode, W.WorkDate, Coalesce(W.Closedate, W.FinishDate) As CloseDate,
  Convert(VarChar(20), Null) As SourceTable, Convert(Int, Null) As LineId,
  Convert(Char(1), Null) As Delflag, Convert(Float, Null) As Quantity,
  Convert(Float, Null) As Fraction,
  C.FQ, C.Issued, C.Returned, C.ExpenseE, C.ExpenseF,
  Case When B.Id Is Null Then Null
       When Not Exists (Select * From WorkOrderDt Where WorkOrderHd = W.Id) Then Null
       When C.FQ = 0 Then 0
       Else Convert(Decimal(28,4),
              Convert(Float, C.Issued - C.Returned + C.ExpenseE + C.ExpenseF) / C.FQ)
  End As UnitCost,
  W.CostAVG,
  Convert(Decimal(28,4), Null) As ChildOrderCost, Convert(VarChar(20), Null) As ChildOrderNo,
  Convert(Decimal(28,4), Null) As ChildLineCost, Convert(VarChar(20), Null) As ChildLineNo,
  Convert(Decimal(28,4), Null) As AverageCost,
  Case When Exists (Select * From WorkOrderHd X Where X.MasterWorkOrder = W.Id) Then 1
       Else 0 End As HasChildren
From @Tree T
Join WorkOrderHd W On W.Id = T.Id
Left Join BomHd B On B.Id = W.BomHd
Left Join Product P On P.Id = W.FinishedGoods
Join @Costs C On C.Id = W.Id

Union All
Select 'material', T.Path, T.Level, W.Id, W.WorkOrderNo, W.Clear, Convert(Char(1), Null),
  P.Code, W.WorkDate, Convert(DateTime, Null), M.SourceTable, M.Id, M.Delflag, M.Quantity,
  M.Fraction, Convert(Float, Null), Convert(Float, Null), Convert(Float, Null),
  Convert(Float, Null), Convert(Float, Null), Convert(Decimal(28,4), Null), M.CostAVG,
  Case When W.Clear = 'Y'
       Then (Select Top 1 IsNull(C.CostAVG, 0) From WorkOrderHd C
             Where C.MasterWorkOrder = W.Id And C.FinishedGoods = M.Product
             Order By C.WorkOrderNo Desc, C.Id Desc) End,
  Case When W.Clear = 'Y'
       Then (Select Top 1 C.WorkOrderNo From WorkOrderHd C
             Where C.MasterWorkOrder = W.Id And C.FinishedGoods = M.Product
             Order By C.WorkOrderNo Desc, C.Id Desc) End,
  (Select Top 1 IsNull(L.CostAVG, 0) From WorkOrderHd C
   Join WorkOrderDt L On L.WorkOrderHd = C.Id
   Where C.MasterWorkOrder = W.Id And C.Clear = 'Y' And L.Product = M.Product
   Order By C.WorkOrderNo Desc, C.Id Desc, L.Id Desc),
  (Select Top 1 C.WorkOrderNo From WorkOrderHd C
   Join WorkOrderDt L On L.WorkOrderHd = C.Id
   Where C.MasterWorkOrder = W.Id And C.Clear = 'Y' And L.Product = M.Product
   Order By C.WorkOrderNo Desc, C.Id Desc, L.Id Desc),
  Convert(Decimal(28,4),
    (Select Case When IsNull(Sum(A.PurcQnty), 0) = 0 Then 0
                 Else Convert(Decimal(28,4),
                        Convert(Float, Convert(Money, IsNull(Sum(A.PurcAmount), 0)))
                          / Sum(A.PurcQnty))
            End
     From ProductCostAVG A
     Where A.Product = M.Product And A.BalanceYear = Year(W.WorkDate)
       And A.PeriodNo <= Month(W.WorkDate)) * M.Fraction),
  Convert(Int, Null)
From @Tree T
Join WorkOrderHd W On W.Id = T.Id
Join @Material M On M.WorkOrderHd = W.Id
Left Join Product P On P.Id = M.Product
Order By 2, 1 Desc, 11, 12
