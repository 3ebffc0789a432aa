-- Costs one work order and, children first, every work order below it, as
-- CALCULATE_WorkOrderAVG does for the average cost but at FIFO costs: prices the material issued
-- to it and returned from it, derives the unit cost of its output and, for a bill whose products
-- are the output lines, the cost of each output line.
-- A material line takes, when a cleared child made its product, the child's cost per base unit
-- times the line's Fraction; otherwise the FIFO cost that Calculate_FIFO2 gave the line, per unit
-- of the line (0 when the line has none). The unit cost is (material issued - material returned
-- + bill expenses 'E' times the finished quantity + 'F') / finished quantity; it goes into
-- WorkOrderHd.CostAVG (null without output lines, 0 with nothing finished) and, with the totals,
-- into FifoWorkOrderCost, from which Calculate_FIFO2 values the finished goods: the total shared
-- over them by base quantity, so that nothing of the cost is lost when a work order has no
-- output lines or its outputs come in several units.
-- The Negative flag of each product whose material lines a work order with children changes is
-- Y meanwhile. The call is atomic, as Calculate_FIFO1 is; a failing child fails its parent.
If Object_Id('CALCULATE_WorkOrderFIFO') Is Not Null
  Drop Procedure CALCULATE_WorkOrderFIFO
Go
Create Procedure CALCULATE_WorkOrderFIFO
  @WorkNo VarChar(60)
As
Begin
  Set NoCount On
  Declare @Outer Int, @WorkId Int, @BomHd Int, @BomAssembly Char(1), @ChildNo VarChar(60),
    @FinishedQuantity Float, @FinishedBaseQuantity Decimal(28,6), @Material Money,
    @Expense Money
  Declare @Flags Table (Product Int Primary Key, Negative Char(1))

  -- Only a work order with a bill is costed; of two with the same number, the last entered.
  Select Top 1 @WorkId = W.Id, @BomHd = B.Id, @BomAssembly = B.BomAssembly
  From WorkOrderHd W
  Join BomHd B On B.Id = W.BomHd
  Where W.WorkOrderNo = @WorkNo
  Order By W.Id Desc
  If @WorkId Is Null
    Return

  Set @Outer = @@TranCount
  Begin Try
    -- Inside a caller's transaction the call undoes only its own work on an error; called
    -- from one of these procedures, the calling procedure undoes it with its own.
    If @Outer = 0
      Begin Transaction
    Else If @@NestLevel = 1
      Save Transaction CALCULATE_WorkOrderFIFO

    Update WorkOrderHd Set CostAVG = Null Where Id = @WorkId;
    Update WorkOrderDt Set CostAVG = Null Where WorkOrderHd = @WorkId;
    Delete From FifoWorkOrderCost Where WorkOrderHd = @WorkId;

    If Not Exists (Select * From WorkOrderHd Where MasterWorkOrder = @WorkId)
    Begin
      Update MFGISDT
      Set CostAVG = IsNull((Select Convert(Decimal(28,4), M.UnitCost * M.Fraction)
                            From FifoMovement M
                            Where M.SourceTable = 'MFGISDT' And M.SourceId = MFGISDT.Id
                              And M.Product = MFGISDT.Product), 0)
      Where MFGISHD In (Select Id From MFGISHD Where WorkOrderHd = @WorkId And Delflag = 'N');
      Update MFGRIDT
      Set CostAVG = IsNull((Select Convert(Decimal(28,4), M.UnitCost * M.Fraction)
                            From FifoMovement M
                            Where M.SourceTable = 'MFGRIDT' And M.SourceId = MFGRIDT.Id
                              And M.Product = MFGRIDT.Product), 0)
      Where MFGRIHD In (Select Id From MFGRIHD Where WorkOrderHd = @WorkId And Delflag = 'N');
    End
    Else
    Begin
      -- Every child tree first.
      Declare Children Cursor Local Fast_Forward For
        Select WorkOrderNo From WorkOrderHd Where MasterWorkOrder = @WorkId Order By Id
      Open Children
      Fetch Next From Children Into @ChildNo
      While @@Fetch_Status = 0
      Begin
        Exec CALCULATE_WorkOrderFIFO @ChildNo
        Fetch Next From Children Into @ChildNo
      End
      Close Children
      Deallocate Children

      Insert Into @Flags (Product, Negative)
      Select P.Id, P.Negative
      From Product P
      Where P.Id In (Select D.Product From MFGISDT D Join MFGISHD H On H.Id = D.MFGISHD
                     Where H.WorkOrderHd = @WorkId And H.Delflag = 'N')
         Or P.Id In (Select D.Product From MFGRIDT D Join MFGRIHD H On H.Id = D.MFGRIHD
                     Where H.WorkOrderHd = @WorkId And H.Delflag = 'N');
      Update Product Set Negative = 'Y' Where Id In (Select Product From @Flags);

      -- A line takes the cost of the child with the highest number that made its product (when
      -- this work order is cleared), else that of the cleared child with the highest number
      -- that has an output line for it, else its FIFO cost.
      Update MFGISDT
      Set CostAVG = Convert(Decimal(28,4), Coalesce(
        Case When Exists (Select * From WorkOrderHd W Where W.Id = @WorkId And W.Clear = 'Y')
             Then (Select Top 1 IsNull(Case When K.FinishedBaseQuantity > 0
                                            Then K.TotalAmount / K.FinishedBaseQuantity End, 0)
                   From WorkOrderHd C
                   Left Join FifoWorkOrderCost K On K.WorkOrderHd = C.Id
                   Where C.MasterWorkOrder = @WorkId And C.FinishedGoods = MFGISDT.Product
                   Order By C.WorkOrderNo Desc, C.Id Desc)
                  * IsNull(MFGISDT.Fraction, U.Fraction)
        End,
        (Select Top 1 IsNull(Case When K.FinishedBaseQuantity > 0
                                  Then K.TotalAmount / K.FinishedBaseQuantity End, 0)
         From WorkOrderHd C
         Join WorkOrderDt L On L.WorkOrderHd = C.Id
         Left Join FifoWorkOrderCost K On K.WorkOrderHd = C.Id
         Where C.MasterWorkOrder = @WorkId And C.Clear = 'Y' And L.Product = MFGISDT.Product
         Order By C.WorkOrderNo Desc, C.Id Desc, L.Id Desc) * IsNull(MFGISDT.Fraction, U.Fraction),
        (Select M.UnitCost * M.Fraction From FifoMovement M
         Where M.SourceTable = 'MFGISDT' And M.SourceId = MFGISDT.Id
           And M.Product = MFGISDT.Product),
        0))
      From MFGISDT
      Left Join ProductUnits U On U.Id = MFGISDT.ProductUnits
      Where MFGISDT.MFGISHD In (Select Id From MFGISHD
                                Where WorkOrderHd = @WorkId And Delflag = 'N');
      Update MFGRIDT
      Set CostAVG = Convert(Decimal(28,4), Coalesce(
        Case When Exists (Select * From WorkOrderHd W Where W.Id = @WorkId And W.Clear = 'Y')
             Then (Select Top 1 IsNull(Case When K.FinishedBaseQuantity > 0
                                            Then K.TotalAmount / K.FinishedBaseQuantity End, 0)
                   From WorkOrderHd C
                   Left Join FifoWorkOrderCost K On K.WorkOrderHd = C.Id
                   Where C.MasterWorkOrder = @WorkId And C.FinishedGoods = MFGRIDT.Product
                   Order By C.WorkOrderNo Desc, C.Id Desc)
                  * IsNull(MFGRIDT.Fraction, U.Fraction)
        End,
        (Select Top 1 IsNull(Case When K.FinishedBaseQuantity > 0
                                  Then K.TotalAmount / K.FinishedBaseQuantity End, 0)
         From WorkOrderHd C
         Join WorkOrderDt L On L.WorkOrderHd = C.Id
         Left Join FifoWorkOrderCost K On K.WorkOrderHd = C.Id
         Where C.MasterWorkOrder = @WorkId And C.Clear = 'Y' And L.Product = MFGRIDT.Product
         Order By C.WorkOrderNo Desc, C.Id Desc, L.Id Desc) * IsNull(MFGRIDT.Fraction, U.Fraction),
        (Select M.UnitCost * M.Fraction From FifoMovement M
         Where M.SourceTable = 'MFGRIDT' And M.SourceId = MFGRIDT.Id
           And M.Product = MFGRIDT.Product),
        0))
      From MFGRIDT
      Left Join ProductUnits U On U.Id = MFGRIDT.ProductUnits
      Where MFGRIDT.MFGRIHD In (Select Id From MFGRIHD
                                Where WorkOrderHd = @WorkId And Delflag = 'N');

      Update Product Set Negative = F.Negative
      From Product Join @Flags F On F.Product = Product.Id;
    End

    -- The material issued less the material returned (deleted documents included) plus the
    -- bill's expenses, per unit finished.
    Set @FinishedQuantity = IsNull((Select Sum(IsNull(Quantity, 0)) From MfgFinishDt
                                    Where WorkOrderHd = @WorkId), 0);
    Set @FinishedBaseQuantity = IsNull((Select Sum(Convert(Decimal(28,6), F.Quantity * U.Fraction))
                                        From MFGFinishDt F
                                        Join ProductUnits U On U.Id = F.ProductUnits
                                        Where F.WorkOrderHd = @WorkId), 0);
    -- Each line's value in cents, as the lines' costs go into the books.
    Set @Material =
      IsNull((Select Sum(Convert(Money, Round(Convert(Decimal(28,6), D.Quantity) * D.CostAVG, 2)))
              From MFGISDT D Join MFGISHD H On H.Id = D.MFGISHD
              Where H.WorkOrderHd = @WorkId), 0)
      - IsNull((Select Sum(Convert(Money, Round(Convert(Decimal(28,6), D.Quantity) * D.CostAVG, 2)))
                From MFGRIDT D Join MFGRIHD H On H.Id = D.MFGRIHD
                Where H.WorkOrderHd = @WorkId), 0);
    Set @Expense =
      IsNull((Select Sum(Convert(Money, Round(Convert(Decimal(28,6), @FinishedQuantity)
                                              * IsNull(B.StdCost, 0), 2)))
              From BomDt B Join MfgExpense E On E.Id = B.MfgExpense
              Where B.BomHd = @BomHd And B.RmType = 'E'), 0)
                 + IsNull((Select Sum(IsNull(B.StdCost, 0))
                           From BomDt B Join MfgExpense E On E.Id = B.MfgExpense
                           Where B.BomHd = @BomHd And B.RmType = 'F'), 0);

    Insert Into FifoWorkOrderCost (WorkOrderHd, MaterialAmount, ExpenseAmount, TotalAmount,
      FinishedQuantity, FinishedBaseQuantity, UnitCost)
    Values (@WorkId, @Material, @Expense, @Material + @Expense, @FinishedQuantity,
      @FinishedBaseQuantity,
      Case When @FinishedQuantity = 0 Then 0
           Else Convert(Decimal(28,4), (@Material + @Expense)
                                       / Convert(Decimal(28,6), @FinishedQuantity))
      End);
    Update WorkOrderHd
    Set CostAVG = Case When Not Exists (Select * From WorkOrderDt Where WorkOrderHd = @WorkId)
                         Then Null
                       Else (Select UnitCost From FifoWorkOrderCost Where WorkOrderHd = @WorkId)
                  End
    Where Id = @WorkId;

    -- Each output line with a finished-goods line of its own: that line's cost times its
    -- quantity (of several, the last entered).
    If @BomAssembly = 'N'
      Update WorkOrderDt
      Set CostAVG = (Select Top 1 Convert(Decimal(28,4), F.Cost * F.Quantity) From MfgFinishDt F
                     Where F.WorkOrderDt = WorkOrderDt.Id And F.BomAssembly = 'N'
                     Order By F.Id Desc)
      Where WorkOrderHd = @WorkId
        And Exists (Select * From MfgFinishDt F
                    Where F.WorkOrderDt = WorkOrderDt.Id And F.BomAssembly = 'N');

    If @Outer = 0
      Commit Transaction
  End Try
  Begin Catch
    -- A caller's transaction that the error doomed is the caller's to roll back.
    If @Outer = 0 And @@TranCount > 0
      Rollback Transaction;
    If @Outer > 0 And @@NestLevel = 1 And XAct_State() = 1
      Rollback Transaction CALCULATE_WorkOrderFIFO;
    Throw;
  End Catch
End
Go
