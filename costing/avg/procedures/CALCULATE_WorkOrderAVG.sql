-- Costs one work order and, children first, every work order below it: prices the material
-- issued to it and returned from it, derives the unit cost of its output and, for a bill whose
-- products are the output lines, the cost of each output line.
-- A work order without children prices its material at the year-to-date average cost of the
-- month of its work date. A work order with children takes, for material that a child made, the
-- child's cost; the Negative flag of each product whose lines change is Y meanwhile and gets its
-- old value back afterwards, also when a statement fails.
If Object_Id('CALCULATE_WorkOrderAVG') Is Not Null
  Drop Procedure CALCULATE_WorkOrderAVG
Go
Create Procedure CALCULATE_WorkOrderAVG
  @WorkNo Char(20)
As
Begin
  Set NoCount On
  -- An error ends the procedure there, instead of letting the statements after it run on
  -- what the failed one left undone.
  Set XAct_Abort On
  Declare @WorkId Int, @BomHd IdNo, @BomAssembly CharFlag
  Declare @WorkYear Int, @WorkMonth Int, @ChildNo Char(20), @FQ Float, @M Float
  Declare @Flags Table (Product Int Primary Key, Negative Char(1))

  -- Only a work order with a bill is costed; of two with the same number, the last entered.
  Select Top 1 @WorkId = W.Id, @BomHd = B.Id, @BomAssembly = B.BomAssembly,
    @WorkYear = Year(W.WorkDate), @WorkMonth = Month(W.WorkDate)
  From WorkOrderHd W
  Join BomHd B On B.Id = W.BomHd
  Where W.WorkOrderNo = @WorkNo
  Order By W.Id Desc
  If @WorkId Is Null
    Return

  Update WorkOrderHd Set CostAVG = Null Where Id = @WorkId;
  Update WorkOrderDt Set CostAVG = Null Where WorkOrderHd = @WorkId;

  If Not Exists (Select * From WorkOrderHd Where MasterWorkOrder = @WorkId)
  Begin
    -- The material at the year-to-date average cost of its product for the month of the work
    -- date, per unit of the line.
    Update MFGISDT
    Set CostAVG =
      (Select Case When IsNull(Sum(A.PurcQnty), 0) = 0 Then 0
                   Else Convert(Decimal(28,4),
                          Convert(Float, Convert(Money, IsNull(Sum(A.PurcAmount), 0)))
                            / Sum(A.PurcQnty))
              End
       From ProductCostAVG A
       Where A.Product = MFGISDT.Product And A.BalanceYear = @WorkYear
         And A.PeriodNo <= @WorkMonth) * Fraction
    Where MFGISHD In (Select Id From MFGISHD Where WorkOrderHd = @WorkId And Delflag = 'N');
    Update MFGRIDT
    Set CostAVG =
      (Select Case When IsNull(Sum(A.PurcQnty), 0) = 0 Then 0
                   Else Convert(Decimal(28,4),
                          Convert(Float, Convert(Money, IsNull(Sum(A.PurcAmount), 0)))
                            / Sum(A.PurcQnty))
              End
       From ProductCostAVG A
       Where A.Product = MFGRIDT.Product And A.BalanceYear = @WorkYear
         And A.PeriodNo <= @WorkMonth) * Fraction
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
      Exec CALCULATE_WorkOrderAVG @ChildNo
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

    -- A line takes the unit cost of the child with the highest number that made its product
    -- (when this work order is cleared), else the cost of the output line for its product of
    -- the cleared child with the highest number, else the year-to-date average cost per unit
    -- of the line. The first is a cost per unit of the child's output, as it stands.
    Begin Try
      Begin Transaction
      Update Product Set Negative = 'Y' Where Id In (Select Product From @Flags)
      Update MFGISDT
      Set CostAVG = Coalesce(
        Case When Exists (Select * From WorkOrderHd W Where W.Id = @WorkId And W.Clear = 'Y')
             Then (Select Top 1 IsNull(C.CostAVG, 0) From WorkOrderHd C
                   Where C.MasterWorkOrder = @WorkId And C.FinishedGoods = MFGISDT.Product
                   Order By C.WorkOrderNo Desc, C.Id Desc)
        End,
        (Select Top 1 IsNull(L.CostAVG, 0) From WorkOrderHd C
         Join WorkOrderDt L On L.WorkOrderHd = C.Id
         Where C.MasterWorkOrder = @WorkId And C.Clear = 'Y' And L.Product = MFGISDT.Product
         Order By C.WorkOrderNo Desc, C.Id Desc, L.Id Desc),
        Convert(Money,
          (Select Case When IsNull(Sum(A.PurcQnty), 0) = 0 Then 0
                       Else Convert(Decimal(28,4),
                              Convert(Float, Convert(Money, IsNull(Sum(A.PurcAmount), 0)))
                                / Sum(A.PurcQnty))
                  End
           From ProductCostAVG A
           Where A.Product = MFGISDT.Product And A.BalanceYear = @WorkYear
             And A.PeriodNo <= @WorkMonth) * Fraction),
        0)
      Where MFGISHD In (Select Id From MFGISHD Where WorkOrderHd = @WorkId And Delflag = 'N');
      Update MFGRIDT
      Set CostAVG = Coalesce(
        Case When Exists (Select * From WorkOrderHd W Where W.Id = @WorkId And W.Clear = 'Y')
             Then (Select Top 1 IsNull(C.CostAVG, 0) From WorkOrderHd C
                   Where C.MasterWorkOrder = @WorkId And C.FinishedGoods = MFGRIDT.Product
                   Order By C.WorkOrderNo Desc, C.Id Desc)
        End,
        (Select Top 1 IsNull(L.CostAVG, 0) From WorkOrderHd C
         Join WorkOrderDt L On L.WorkOrderHd = C.Id
         Where C.MasterWorkOrder = @WorkId And C.Clear = 'Y' And L.Product = MFGRIDT.Product
         Order By C.WorkOrderNo Desc, C.Id Desc, L.Id Desc),
        Convert(Money,
          (Select Case When IsNull(Sum(A.PurcQnty), 0) = 0 Then 0
                       Else Convert(Decimal(28,4),
                              Convert(Float, Convert(Money, IsNull(Sum(A.PurcAmount), 0)))
                                / Sum(A.PurcQnty))
                  End
           From ProductCostAVG A
           Where A.Product = MFGRIDT.Product And A.BalanceYear = @WorkYear
             And A.PeriodNo <= @WorkMonth) * Fraction),
        0)
      Where MFGRIHD In (Select Id From MFGRIHD Where WorkOrderHd = @WorkId And Delflag = 'N');
      Update Product Set Negative = F.Negative
      From Product Join @Flags F On F.Product = Product.Id
      Commit Transaction
    End Try
    Begin Catch
      -- Nothing of the block stays, the Y flags included; the error goes on to the caller,
      -- which stops too (a parent work order is not costed on a child that failed).
      If @@TranCount > 0
        Rollback Transaction;
      Throw;
    End Catch
  End

  -- The unit cost: the material issued less the material returned (deleted documents included)
  -- plus the bill's expenses, per unit finished.
  Set @FQ = IsNull((Select Sum(IsNull(Quantity, 0)) From MfgFinishDt
                    Where WorkOrderHd = @WorkId), 0);
  Set @M = IsNull((Select Sum(IsNull(D.Quantity * D.CostAVG, 0))
                   From MFGISDT D Join MFGISHD H On H.Id = D.MFGISHD
                   Where H.WorkOrderHd = @WorkId), 0)
         - IsNull((Select Sum(IsNull(D.Quantity * D.CostAVG, 0))
                   From MFGRIDT D Join MFGRIHD H On H.Id = D.MFGRIHD
                   Where H.WorkOrderHd = @WorkId), 0)
         + IsNull((Select Sum(IsNull(@FQ * B.StdCost, 0))
                   From BomDt B Join MfgExpense E On E.Id = B.MfgExpense
                   Where B.BomHd = @BomHd And B.RmType = 'E'), 0)
         + IsNull((Select Sum(IsNull(B.StdCost, 0))
                   From BomDt B Join MfgExpense E On E.Id = B.MfgExpense
                   Where B.BomHd = @BomHd And B.RmType = 'F'), 0);
  Update WorkOrderHd
  Set CostAVG = Case When Not Exists (Select * From WorkOrderDt Where WorkOrderHd = @WorkId)
                       Then Null
                     When @FQ = 0 Then 0
                     Else Convert(Decimal(28,4), Convert(Float, @M) / @FQ)
                End
  Where Id = @WorkId;

  -- Each output line with a finished-goods line of its own: that line's cost times its
  -- quantity (of several, the last entered).
  If @BomAssembly = 'N'
  Begin
    Update WorkOrderDt
    Set CostAVG = (Select Top 1 Convert(Decimal(28,4), F.Cost * F.Quantity) From MfgFinishDt F
                   Where F.WorkOrderDt = WorkOrderDt.Id And F.BomAssembly = 'N'
                   Order By F.Id Desc)
    Where WorkOrderHd = @WorkId
      And Exists (Select * From MfgFinishDt F
                  Where F.WorkOrderDt = WorkOrderDt.Id And F.BomAssembly = 'N');
  End
End
Go
