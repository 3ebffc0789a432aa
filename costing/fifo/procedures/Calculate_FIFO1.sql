-- Builds one product's movements of a month for the FIFO costing and values its receipts: every
-- receipt and issue of the product in the month (documents marked deleted left out), in base
-- units, in the order the costing takes them, into FifoMovement. Receipts bought, imported,
-- transferred in, assembled or found in a count are valued from their documents as the average
-- cost values them (StockReceiptValues); returns and finished goods get their values from
-- Calculate_FIFO2. Supplier notes are value changes. A line whose quantity has the other sign
-- than its document's direction moves the other way (a purchase line of -2 leaves stock by FIFO).
--
-- The month and every later month of the year start again: their results go, since the run
-- rebuilds them month by month, and a product's later months must never be read from an
-- earlier run. The year's opening layers are made when the product has no calculated month
-- before this one: the layers the previous year left when it was calculated by FIFO, else one
-- layer of the opening stock at the cost of the year's opening row of ProductCostAVG.
--
-- Order within a month: by day; on the same day receipts, then value changes, then issues;
-- then by table in the order of TableOrder below, then by line Id.
-- The call is atomic: on an error nothing of it stays (inside a caller's transaction only this
-- call's work is undone), and the error goes back to the caller.
If Object_Id('Calculate_FIFO1') Is Not Null
  Drop Procedure Calculate_FIFO1
Go
Create Procedure Calculate_FIFO1
  @Year Int,
  @Month Int,
  @PId Int
As
Begin
  Set NoCount On
  Declare @Outer Int, @LastPeriod Int, @OpeningQuantity Float, @OpeningUnit Int, @Frac Int,
    @OpeningAmount Money, @LastUnitCost Decimal(28,4), @Latest Int, @GapMonth Int
  Declare @Gaps Table (PeriodNo Int Primary Key)
  Declare @Receipts Table (SourceTable VarChar(20), SourceId Int, ProductUnits Int,
    Warehouse Int, ReceiptDate DateTime, Delflag Char(1), Quantity Float, Amount Money,
    GroupQuantity Float, Components Int)

  Set @Outer = @@TranCount
  Begin Try
    If @Outer = 0
      Begin Transaction
    Else
      Save Transaction Calculate_FIFO1

    -- The month run lists a product only for some of its movements; a month in which the
    -- product was only imported, transferred, adjusted, assembled, returned to a supplier or
    -- corrected by a supplier note since it was last calculated is calculated first, so that
    -- those movements are not lost.
    Set @Latest = (Select Max(PeriodNo) From FifoMonthBalance
                   Where Product = @PId And BalanceYear = @Year And PeriodNo < @Month);
    If IsNull(@Latest, 0) < @Month - 1
    Begin
      Insert Into @Gaps (PeriodNo)
      Select Distinct Month(G.MovementDate)
      From (
        Select H.imdate As MovementDate From imdt D Join imhd H On H.Id = D.imhd
        Where D.Product = @PId And IsNull(H.delflag, 'N') <> 'Y'
        Union All
        Select H.TranDATE From TranBranchDT D Join TranBranchHD H On H.Id = D.TranBranchHD
        Where D.Product = @PId And IsNull(H.Delflag, 'N') <> 'Y'
        Union All
        Select H.AdjDate From AdjuststockDt D Join AdjuststockHd H On H.Id = D.AdjuststockHd
        Where D.Product = @PId And IsNull(H.Delflag, 'N') <> 'Y'
        Union All
        Select H.PaDate From ProductAssemblyHd H
        Where H.Product = @PId And IsNull(H.Delflag, 'N') <> 'Y'
        Union All
        Select L.PaDate From ProductAssemblyDt L Join ProductAssemblyHd H
          On H.Id = L.ProductAssemblyHd
        Where L.Product = @PId And IsNull(H.Delflag, 'N') <> 'Y'
        Union All
        Select H.PRDATE From PRDT D Join PRHD H On H.Id = D.PRHD
        Where D.Product = @PId And IsNull(H.Delflag, 'N') <> 'Y'
        Union All
        Select H.CDDATE From VCNDT D Join VCNHD H On H.Id = D.VCNHD
        Where D.Product = @PId And IsNull(H.Delflag, 'N') <> 'Y' And H.PrHd Is Null
        Union All
        Select H.CDDATE From VDNDT D Join VDNHD H On H.Id = D.VDNHD
        Where D.Product = @PId And IsNull(H.Delflag, 'N') <> 'Y'
      ) G
      Where Year(G.MovementDate) = @Year And Month(G.MovementDate) > IsNull(@Latest, 0)
        And Month(G.MovementDate) < @Month;
      Set @GapMonth = (Select Min(PeriodNo) From @Gaps);
      While @GapMonth Is Not Null
      Begin
        Exec Calculate_FIFO1 @Year, @GapMonth, @PId;
        Exec Calculate_FIFO2 @Year, @GapMonth, @PId;
        Set @GapMonth = (Select Min(PeriodNo) From @Gaps Where PeriodNo > @GapMonth);
      End
    End

    Delete From FifoConsumption
    Where Product = @PId And BalanceYear = @Year And PeriodNo >= @Month;
    Delete From FifoLayerBalance
    Where Product = @PId And BalanceYear = @Year And PeriodNo >= @Month;
    Delete From FifoMonthBalance
    Where Product = @PId And BalanceYear = @Year And PeriodNo >= @Month;
    Delete From FifoMovement
    Where Product = @PId And BalanceYear = @Year And PeriodNo >= @Month;
    -- A work order's cost from before this month's receipts were built may rest on costs that
    -- are being worked out again; its finished goods are valued at it only once
    -- CALCULATE_WorkOrderFIFO has costed the work order again.
    Delete From FifoWorkOrderCost
    Where WorkOrderHd In (Select F.WorkOrderHd From MFGFinishDt F
                          Where F.Product = @PId And Year(F.FinishDate) = @Year
                            And Month(F.FinishDate) >= @Month);

    If Not Exists (Select * From FifoMonthBalance
                   Where Product = @PId And BalanceYear = @Year
                     And PeriodNo Between 1 And @Month - 1)
    Begin
      Delete From FifoLayerBalance Where Product = @PId And BalanceYear = @Year And PeriodNo = 0;
      Delete From FifoMonthBalance Where Product = @PId And BalanceYear = @Year And PeriodNo = 0;
      Delete From FifoMovement Where Product = @PId And BalanceYear = @Year And PeriodNo = 0;

      Set @LastPeriod = (Select Max(PeriodNo) From FifoMonthBalance
                         Where Product = @PId And BalanceYear = @Year - 1);
      If @LastPeriod Is Not Null
      Begin
        -- The layers the previous year left, oldest first, with their documents and dates.
        Insert Into FifoMovement (Product, BalanceYear, PeriodNo, Seq, Kind, Valuation,
          MovementDate, SourceTable, SourceId, ProductUnits, Fraction, Quantity,
          DocumentAmount, Amount, UnitCost)
        Select @PId, @Year, 0, Row_Number() Over (Order By B.LayerPeriod, B.LayerSeq), 'R', 'D',
          M.MovementDate, M.SourceTable, M.SourceId, M.ProductUnits, M.Fraction, B.Quantity,
          B.Amount, B.Amount, Convert(Decimal(28,4), B.Amount / B.Quantity)
        From FifoLayerBalance B
        Join FifoMovement M
          On M.Product = B.Product And M.BalanceYear = B.BalanceYear
          And M.PeriodNo = B.LayerPeriod And M.Seq = B.LayerSeq
        Where B.Product = @PId And B.BalanceYear = @Year - 1 And B.PeriodNo = @LastPeriod;
        Set @LastUnitCost = (Select LastUnitCost From FifoMonthBalance
                             Where Product = @PId And BalanceYear = @Year - 1
                               And PeriodNo = @LastPeriod);
      End
      Else
      Begin
        -- ต้นทุนยกมา: the opening stock at the opening row's cost per unit of its ProductUnits,
        -- worked out as the average cost works it out.
        Set @OpeningQuantity = (Select Sum(Quantity) From ProductOnhand
                                Where Product = @PId And BalanceYear = @Year And PeriodNo = 0);
        If @OpeningQuantity > 0
        Begin
          Set @OpeningUnit = (Select ProductUnits From ProductCostAVG
                              Where Product = @PId And BalanceYear = @Year And PeriodNo = 0);
          Set @Frac = (Select Convert(Int, Fraction) From ProductUnits Where Id = @OpeningUnit);
          Set @OpeningAmount =
            IsNull((Select Round(@OpeningQuantity*(CostAvg/@Frac),2) From ProductCostAVG
                    Where Product = @PId And BalanceYear = @Year And PeriodNo = 0), 0);
          Insert Into FifoMovement (Product, BalanceYear, PeriodNo, Seq, Kind, Valuation,
            MovementDate, SourceTable, SourceId, ProductUnits, Fraction, Quantity,
            DocumentAmount, Amount, UnitCost)
          Values (@PId, @Year, 0, 1, 'R', 'D', DateAdd(Year, @Year - 1900, 0), 'ProductOnhand',
            0, @OpeningUnit, Null, Convert(Decimal(28,6), @OpeningQuantity), @OpeningAmount,
            @OpeningAmount,
            Convert(Decimal(28,4), @OpeningAmount / Convert(Decimal(28,6), @OpeningQuantity)));
        End
      End

      Insert Into FifoLayerBalance (Product, BalanceYear, PeriodNo, LayerPeriod, LayerSeq,
        Quantity, Amount)
      Select Product, BalanceYear, 0, 0, Seq, Quantity, Amount
      From FifoMovement
      Where Product = @PId And BalanceYear = @Year And PeriodNo = 0;
      Insert Into FifoMonthBalance (Product, BalanceYear, PeriodNo, OpeningQuantity,
        OpeningAmount, ReceivedQuantity, ReceivedAmount, IssuedQuantity, IssuedAmount,
        ShortQuantity, ShortAmount, ClosingQuantity, ClosingAmount, ValueDifference,
        LastUnitCost)
      Select @PId, @Year, 0, 0, 0, IsNull(Sum(Quantity), 0), IsNull(Sum(Amount), 0), 0, 0, 0, 0,
        IsNull(Sum(Quantity), 0), IsNull(Sum(Amount), 0), 0, @LastUnitCost
      From FifoMovement
      Where Product = @PId And BalanceYear = @Year And PeriodNo = 0;
    End

    Insert Into @Receipts (SourceTable, SourceId, ProductUnits, Warehouse, ReceiptDate, Delflag,
      Quantity, Amount, GroupQuantity, Components)
    Exec StockReceiptValues @Year, @Month, @PId;

    -- Direction: 1 into stock, -1 out of it, 0 a value change. Quantity is signed in the
    -- document's direction; Kind follows the sign of Direction times Quantity.
    Insert Into FifoMovement (Product, BalanceYear, PeriodNo, Seq, Kind, Valuation,
      MovementDate, SourceTable, SourceId, ProductUnits, Fraction, Quantity, DocumentAmount,
      Amount)
    Select @PId, @Year, @Month,
      Row_Number() Over (Order By DateDiff(Day, 0, K.MovementDate),
                                  Case K.Kind When 'R' Then 0 When 'V' Then 1 Else 2 End,
                                  K.TableOrder, K.SourceId),
      K.Kind, Case When K.Kind = 'R' Then K.Valuation End, K.MovementDate, K.SourceTable,
      K.SourceId, K.ProductUnits, K.Fraction,
      Case When K.Kind = 'V' Then 0 Else Abs(K.Moved) End,
      Case When K.Kind = 'I' Then Null Else K.DocumentAmount End,
      Case When K.Kind = 'V' Then IsNull(K.DocumentAmount, 0)
           When K.Kind = 'R' And K.Valuation = 'D' Then IsNull(K.DocumentAmount, 0) End
    From (
      Select S.*,
        Case When S.Direction = 0 Then 'V'
             When S.Moved > 0 Then 'R'
             When S.Moved < 0 Then 'I'
             When S.Valuation = 'D' And S.DocumentAmount <> 0 Then 'V'
        End As Kind
      From (
        Select M.*, M.Direction * M.Quantity As Moved
        From (
          -- Receipts as the average cost values them; point-of-sale returns come back at the
          -- cost at which the goods left, not at their selling price.
          Select Case When R.SourceTable In ('VCNDT', 'VDNDT') Then 0 Else 1 End As Direction,
            Case When R.SourceTable = 'POSRDT' Then 'R' Else 'D' End As Valuation,
            Case R.SourceTable When 'imdt' Then 1 When 'MRDT' Then 2 When 'PCDT' Then 3
                               When 'TranBranchDT' Then 4 When 'ProductAssemblyHd' Then 5
                               When 'ProductAssemblyDt' Then 6 When 'POSRDT' Then 10
                               When 'VCNDT' Then 13 When 'VDNDT' Then 14 Else 19 End
              As TableOrder,
            R.ReceiptDate As MovementDate, R.SourceTable, R.SourceId, R.ProductUnits,
            Convert(Float, Null) As Fraction, Convert(Decimal(28,6), R.Quantity) As Quantity,
            R.Amount As DocumentAmount
          From @Receipts R

          Union All
          -- Stock adjustments: found stock at the price on its line (without one, like a
          -- return), lost stock by FIFO.
          Select 1, Case When D.Price Is Null Then 'R' Else 'D' End, 7, H.AdjDate,
            'AdjuststockDt', D.Id, D.ProductUnits, IsNull(D.Fraction, U.Fraction),
            Convert(Decimal(28,6), D.Quantity * U.Fraction),
            Convert(Money, Round(Convert(Decimal(28,6), D.Quantity) * D.Price, 2))
          From AdjuststockDt D
          Join AdjuststockHd H On H.Id = D.AdjuststockHd
          Join ProductUnits U On U.Id = D.ProductUnits
          Where D.Product = @PId And IsNull(H.Delflag, 'N') <> 'Y'
            And Year(H.AdjDate) = @Year And Month(H.AdjDate) = @Month

          Union All
          -- Finished goods, provisionally at the cost on their line.
          Select 1, 'W', 8, F.FinishDate, 'MFGFinishDt', F.Id, F.ProductUnits,
            IsNull(F.Fraction, U.Fraction), Convert(Decimal(28,6), F.Quantity * U.Fraction),
            Convert(Money, Round(Convert(Decimal(28,6), F.Quantity) * IsNull(F.Cost, 0), 2))
          From MFGFinishDt F
          Join WorkOrderHd W On W.Id = F.WorkOrderHd
          Join ProductUnits U On U.Id = F.ProductUnits
          Where F.Product = @PId And IsNull(W.Delflag, 'N') <> 'Y'
            And Year(F.FinishDate) = @Year And Month(F.FinishDate) = @Month

          Union All
          -- Customer returns (type B returns take no goods back).
          Select 1, 'R', 9, H.SRDATE, 'SRDT', D.Id, D.ProductUnits, U.Fraction,
            Convert(Decimal(28,6), D.Quantity * U.Fraction),
            Convert(Money, Null)
          From SRDT D
          Join SRHD H On H.Id = D.SRHD
          Join ProductUnits U On U.Id = D.ProductUnits
          Where D.Product = @PId And IsNull(H.Delflag, 'N') <> 'Y' And IsNull(H.SrType, '') <> 'B'
            And Year(H.SRDATE) = @Year And Month(H.SRDATE) = @Month

          Union All
          -- Returns to stock.
          Select 1, 'R', 11, IsNull(D.RiDate, H.RiDate), 'Ridt', D.Id, D.ProductUnits,
            IsNull(D.Fraction, U.Fraction), Convert(Decimal(28,6), D.Quantity * U.Fraction),
            Convert(Money, Null)
          From Ridt D
          Join RiHd H On H.Id = D.RiHd
          Join ProductUnits U On U.Id = D.ProductUnits
          Where D.Product = @PId And IsNull(H.Delflag, 'N') <> 'Y'
            And Year(IsNull(D.RiDate, H.RiDate)) = @Year
            And Month(IsNull(D.RiDate, H.RiDate)) = @Month

          Union All
          -- Material returned from production.
          Select 1, 'R', 12, IsNull(D.MfgRiDate, H.MfgRiDate), 'MFGRIDT', D.Id, D.ProductUnits,
            IsNull(D.Fraction, U.Fraction), Convert(Decimal(28,6), D.Quantity * U.Fraction),
            Convert(Money, Null)
          From MFGRIDT D
          Join MFGRIHD H On H.Id = D.MFGRIHD
          Join ProductUnits U On U.Id = D.ProductUnits
          Where D.Product = @PId And IsNull(H.Delflag, 'N') <> 'Y'
            And Year(IsNull(D.MfgRiDate, H.MfgRiDate)) = @Year
            And Month(IsNull(D.MfgRiDate, H.MfgRiDate)) = @Month

          Union All
          -- Stock issues.
          Select -1, Convert(Char(1), Null), 15, IsNull(D.IsDate, H.IsDate), 'Isdt', D.Id, D.ProductUnits,
            IsNull(D.Fraction, U.Fraction), Convert(Decimal(28,6), D.Quantity * U.Fraction),
            Convert(Money, Null)
          From Isdt D
          Join IsHd H On H.Id = D.IsHd
          Join ProductUnits U On U.Id = D.ProductUnits
          Where D.Product = @PId And IsNull(H.Delflag, 'N') <> 'Y'
            And Year(IsNull(D.IsDate, H.IsDate)) = @Year
            And Month(IsNull(D.IsDate, H.IsDate)) = @Month

          Union All
          -- Sales invoices.
          Select -1, Convert(Char(1), Null), 16, IsNull(D.IvDate, H.IvDate), 'IvDt', D.Id, D.ProductUnits,
            U.Fraction, Convert(Decimal(28,6), D.Quantity * U.Fraction),
            Convert(Money, Null)
          From IvDt D
          Join IvHd H On H.Id = D.IvHd
          Join ProductUnits U On U.Id = D.ProductUnits
          Where D.Product = @PId And IsNull(H.Delflag, 'N') <> 'Y'
            And Year(IsNull(D.IvDate, H.IvDate)) = @Year
            And Month(IsNull(D.IvDate, H.IvDate)) = @Month

          Union All
          -- Point-of-sale sales.
          Select -1, Convert(Char(1), Null), 17, IsNull(D.PosDate, H.PosDate), 'PosDt', D.Id, D.ProductUnits,
            U.Fraction, Convert(Decimal(28,6), D.Quantity * U.Fraction),
            Convert(Money, Null)
          From PosDt D
          Join PosHd H On H.Id = D.PosHd
          Join ProductUnits U On U.Id = D.ProductUnits
          Where D.Product = @PId And IsNull(H.Delflag, 'N') <> 'Y'
            And Year(IsNull(D.PosDate, H.PosDate)) = @Year
            And Month(IsNull(D.PosDate, H.PosDate)) = @Month

          Union All
          -- Material issued to production.
          Select -1, Convert(Char(1), Null), 18, IsNull(D.MfgIsDate, H.MfgIsDate), 'MFGISDT', D.Id, D.ProductUnits,
            IsNull(D.Fraction, U.Fraction), Convert(Decimal(28,6), D.Quantity * U.Fraction),
            Convert(Money, Null)
          From MFGISDT D
          Join MFGISHD H On H.Id = D.MFGISHD
          Join ProductUnits U On U.Id = D.ProductUnits
          Where D.Product = @PId And IsNull(H.Delflag, 'N') <> 'Y'
            And Year(IsNull(D.MfgIsDate, H.MfgIsDate)) = @Year
            And Month(IsNull(D.MfgIsDate, H.MfgIsDate)) = @Month

          Union All
          -- Goods transferred out to a branch.
          Select -1, Convert(Char(1), Null), 4, H.TranDATE, 'TranBranchDT', D.Id,
            D.ProductUnits, U.Fraction,
            Convert(Decimal(28,6), D.Quantity * U.Fraction),
            Convert(Money, Null)
          From TranBranchDT D
          Join TranBranchHD H On H.Id = D.TranBranchHD
          Join ProductUnits U On U.Id = D.ProductUnits
          Where D.Product = @PId And IsNull(H.Delflag, 'N') <> 'Y' And IsNull(TranType, '') <> 'I'
            And Year(H.TranDATE) = @Year And Month(H.TranDATE) = @Month

          Union All
          -- Components going into an assembled set.
          Select -1, Convert(Char(1), Null), 6, L.PaDate, 'ProductAssemblyDt', L.Id,
            L.ProductUnits, U.Fraction,
            Convert(Decimal(28,6), L.Quantity * U.Fraction),
            Convert(Money, Null)
          From ProductAssemblyDt L
          Join ProductAssemblyHd H On H.Id = L.ProductAssemblyHd
          Join ProductUnits U On U.Id = L.ProductUnits
          Where L.Product = @PId And IsNull(H.Delflag, 'N') <> 'Y' And L.PaType = 'A'
            And Year(L.PaDate) = @Year And Month(L.PaDate) = @Month

          Union All
          -- A set taken apart.
          Select -1, Convert(Char(1), Null), 5, H.PaDate, 'ProductAssemblyHd', H.Id,
            H.ProductUnits, U.Fraction,
            Convert(Decimal(28,6), H.Quantity * U.Fraction),
            Convert(Money, Null)
          From ProductAssemblyHd H
          Join ProductUnits U On U.Id = H.ProductUnits
          Where H.Product = @PId And IsNull(H.Delflag, 'N') <> 'Y' And H.PaType = 'D'
            And Year(H.PaDate) = @Year And Month(H.PaDate) = @Month
        ) M
      ) S
    ) K
    Where K.Kind Is Not Null;

    If @Outer = 0
      Commit Transaction
  End Try
  Begin Catch
    -- A caller's transaction that the error doomed is the caller's to roll back.
    If @Outer = 0 And @@TranCount > 0
      Rollback Transaction;
    If @Outer > 0 And XAct_State() = 1
      Rollback Transaction Calculate_FIFO1;
    Throw;
  End Catch
End
Go
