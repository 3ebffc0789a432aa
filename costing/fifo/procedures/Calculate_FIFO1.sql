-- Builds one product's movements of a month for the FIFO costing and values its receipts: every
-- receipt and issue of the product in the month (documents marked deleted left out), in base
-- units, in the order the costing takes them, into FifoMovement, each with its place on the line
-- of the product's layers laid end to end. Receipts bought, imported, transferred in, assembled
-- or found in a count at a price are valued from their documents as the average cost values
-- them (StockReceiptValues); returns and finished goods get their values from Calculate_FIFO2.
-- Supplier notes are value changes. A line whose quantity has the other sign than its
-- document's direction moves the other way (a purchase line of -2 leaves stock by FIFO). A line
-- that carries its own copy of the document date is dated by it.
--
-- The month and every later month of the year start again: their results go, since the run
-- rebuilds them month by month, and a product's later months must never be read from an
-- earlier run. A month the month run did not list for the product (it lists a product only for
-- some kinds of lines) is calculated here, before this one, when the product moved in it. The
-- year's opening layers are made when the product has no calculated month before this one: the
-- layers the previous year left when it was calculated by FIFO, else one layer of the opening
-- stock at the cost of the year's opening row of ProductCostAVG.
--
-- Order within a month: by day; on the same day receipts, then value changes, then issues; then
-- by table in the order of TableOrder below, then by line Id.
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
    @OpeningAmount Money, @LastUnitCost Decimal(28,4), @Latest Int, @LastListed Int,
    @GapMonth Int, @From DateTime, @To DateTime, @Opening Float
  Declare @Gaps Table (PeriodNo Int Primary Key)
  Declare @Receipts Table (SourceTable VarChar(20), SourceId Int, ProductUnits Int,
    Warehouse Int, ReceiptDate DateTime, Delflag Char(1), Quantity Float, Amount Money,
    GroupQuantity Float, Components Int)

  -- The month as a range of dates, so that the lines' date indexes find its lines.
  Set @From = DateAdd(Month, @Month - 1, DateAdd(Year, @Year - 1900, 0))
  Set @To = DateAdd(Month, 1, @From)
  Set @Outer = @@TranCount
  Begin Try
    -- Inside a caller's transaction the call undoes only its own work on an error; called
    -- from one of these procedures, the calling procedure undoes it with its own.
    If @Outer = 0
      Begin Transaction
    Else If @@NestLevel = 1
      Save Transaction Calculate_FIFO1

    -- The month and every later one start again, and so do the months after the latest one the
    -- run calculated before this one (@LastListed) that a later month caught up: the run
    -- rebuilds them month by month. Consumptions and balances are only there with a month's
    -- balance, which Calculate_FIFO2 writes with them after the month's movements.
    Set @LastListed = IsNull((Select Max(PeriodNo) From FifoMonthBalance
                              Where Product = @PId And BalanceYear = @Year
                                And PeriodNo Between 1 And @Month - 1 And CaughtUp = 0), 0);
    If Exists (Select * From FifoMovement
               Where Product = @PId And BalanceYear = @Year And PeriodNo > @LastListed)
       Or Exists (Select * From FifoMonthBalance
                  Where Product = @PId And BalanceYear = @Year And PeriodNo > @LastListed)
    Begin
      Delete From FifoConsumption
      Where Product = @PId And BalanceYear = @Year And PeriodNo > @LastListed;
      Delete From FifoLayerBalance
      Where Product = @PId And BalanceYear = @Year And PeriodNo > @LastListed;
      Delete From FifoMonthBalance
      Where Product = @PId And BalanceYear = @Year And PeriodNo > @LastListed;
      Delete From FifoMovement
      Where Product = @PId And BalanceYear = @Year And PeriodNo > @LastListed;
    End

    -- The month run lists a product only for some of its movements: a month in which the
    -- product was only imported, transferred, adjusted, assembled, returned to a supplier or
    -- corrected by a supplier note is calculated here, before this month, so that those
    -- movements are not lost, and is marked as caught up.
    If @LastListed < @Month - 1
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
      Where G.MovementDate >= DateAdd(Month, @LastListed, DateAdd(Year, @Year - 1900, 0))
        And G.MovementDate < @From;
      Set @GapMonth = (Select Min(PeriodNo) From @Gaps);
      While @GapMonth Is Not Null
      Begin
        Exec Calculate_FIFO1 @Year, @GapMonth, @PId;
        Exec Calculate_FIFO2 @Year, @GapMonth, @PId;
        Set @GapMonth = (Select Min(PeriodNo) From @Gaps Where PeriodNo > @GapMonth);
      End
      Update FifoMonthBalance Set CaughtUp = 1
      Where Product = @PId And BalanceYear = @Year And PeriodNo In (Select PeriodNo From @Gaps);
    End
    Set @Latest = IsNull((Select Max(PeriodNo) From FifoMonthBalance
                          Where Product = @PId And BalanceYear = @Year
                            And PeriodNo Between 1 And @Month - 1), 0);

    -- A work order's cost from before this month's receipts were built may rest on costs that
    -- are being worked out again; its finished goods are valued at it only once
    -- CALCULATE_WorkOrderFIFO has costed the work order again.
    Delete From FifoWorkOrderCost
    Where WorkOrderHd In (Select F.WorkOrderHd From MFGFinishDt F
                          Where F.Product = @PId And F.FinishDate >= @From
                            And F.FinishDate < DateAdd(Year, @Year - 1899, 0));

    If @Latest = 0
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
          DocumentAmount, Amount, UnitCost, ReceivedTo, ConsumedFrom, ConsumedTo)
        Select @PId, @Year, 0, Row_Number() Over (Order By B.LayerPeriod, B.LayerSeq), 'R', 'D',
          M.MovementDate, M.SourceTable, M.SourceId, M.ProductUnits, M.Fraction, B.Quantity,
          B.Amount, B.Amount, Convert(Decimal(28,4), B.Amount / B.Quantity),
          Sum(B.Quantity) Over (Order By B.LayerPeriod, B.LayerSeq Rows Unbounded Preceding), 0, 0
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
            DocumentAmount, Amount, UnitCost, ReceivedTo, ConsumedFrom, ConsumedTo)
          Values (@PId, @Year, 0, 1, 'R', 'D', DateAdd(Year, @Year - 1900, 0), 'ProductOnhand',
            0, @OpeningUnit, Null, Convert(Decimal(28,6), @OpeningQuantity), @OpeningAmount,
            @OpeningAmount,
            Convert(Decimal(28,4), @OpeningAmount / Convert(Decimal(28,6), @OpeningQuantity)),
            Convert(Decimal(28,6), @OpeningQuantity), 0, 0);
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
        LastUnitCost, CaughtUp)
      Select @PId, @Year, 0, 0, 0, IsNull(Sum(Quantity), 0), IsNull(Sum(Amount), 0), 0, 0, 0, 0,
        IsNull(Sum(Quantity), 0), IsNull(Sum(Amount), 0), 0, @LastUnitCost, 0
      From FifoMovement
      Where Product = @PId And BalanceYear = @Year And PeriodNo = 0;
    End

    Insert Into @Receipts (SourceTable, SourceId, ProductUnits, Warehouse, ReceiptDate, Delflag,
      Quantity, Amount, GroupQuantity, Components)
    Exec StockReceiptValues @Year, @Month, @PId;

    -- The month's place on the line of all layers laid end to end: ReceivedTo is the running
    -- total of what came in (the stock the month opened with included), Demanded that of what
    -- was asked for. While the stock lasts, issue j takes from where the issue before it
    -- stopped (ConsumedFrom) to Demanded(j) (ConsumedTo); a month in which it runs out gets
    -- the positions again below.
    Set @Opening = IsNull((Select Sum(Quantity) From FifoLayerBalance
                           Where Product = @PId And BalanceYear = @Year
                             And PeriodNo = @Latest), 0);

    -- The running sums are worked out in floating point, as the documents hold quantities, and
    -- kept to six decimals: exact for quantities of up to six decimals.
    Insert Into FifoMovement (Product, BalanceYear, PeriodNo, Seq, Kind, Valuation,
      MovementDate, SourceTable, SourceId, ProductUnits, Fraction, Quantity, DocumentAmount,
      Amount, ReceivedTo, ConsumedFrom, ConsumedTo)
    Select @PId, @Year, @Month, A.Seq, A.Kind, A.Valuation, A.MovementDate, A.SourceTable,
      A.SourceId, A.ProductUnits, A.Fraction, Convert(Decimal(28,6), A.Moving),
      A.DocumentAmount, A.Amount, Convert(Decimal(28,6), A.ReceivedTo),
      Convert(Decimal(28,6), A.Demanded - Case When A.Kind = 'I' Then A.Moving Else 0 End),
      Convert(Decimal(28,6), A.Demanded)
    From (
        Select
          Row_Number() Over (Order By T.MovementDay, T.KindOrder, T.TableOrder, T.SourceId)
            As Seq,
          @Opening + Sum(Case When T.Kind = 'R' Then T.Moving Else 0 End)
            Over (Order By T.MovementDay, T.KindOrder, T.TableOrder, T.SourceId
                  Rows Unbounded Preceding) As ReceivedTo,
          Sum(Case When T.Kind = 'I' Then T.Moving Else 0 End)
            Over (Order By T.MovementDay, T.KindOrder, T.TableOrder, T.SourceId
                  Rows Unbounded Preceding) As Demanded,
          T.Kind, Case When T.Kind = 'R' Then T.Valuation End As Valuation, T.MovementDate,
          T.SourceTable, T.SourceId, T.ProductUnits, T.Fraction, T.Moving,
          Case When T.Kind = 'I' Then Null Else T.DocumentAmount End As DocumentAmount,
          Case When T.Kind = 'V' Then IsNull(T.DocumentAmount, 0)
               When T.Kind = 'R' And T.Valuation = 'D' Then IsNull(T.DocumentAmount, 0)
          End As Amount
        From (
          Select K.*, Case K.Kind When 'R' Then 0 When 'V' Then 1 Else 2 End As KindOrder,
            DateDiff(Day, 0, K.MovementDate) As MovementDay,
            Case When K.Kind = 'V' Then 0 Else Abs(K.Direction * K.Quantity) End As Moving
          From (
            -- Direction: 1 into stock, -1 out of it, 0 a value change. Quantity is signed in
            -- the document's direction: a line against it moves the other way.
            Select U.*,
              Case When U.Direction = 0 Then 'V'
                   When U.Direction * U.Quantity > 0 Then 'R'
                   When U.Direction * U.Quantity < 0 Then 'I'
                   When U.Valuation = 'D' And U.DocumentAmount <> 0 Then 'V'
              End As Kind
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
                Convert(Float, Null) As Fraction, R.Quantity,
                R.Amount As DocumentAmount
              From @Receipts R

              Union All
              -- Stock adjustments: found stock at the price on its line (without one, like a
              -- return), lost stock by FIFO.
              Select 1, Case When D.Price Is Null Then 'R' Else 'D' End, 7, H.AdjDate,
                'AdjuststockDt', D.Id, D.ProductUnits, IsNull(D.Fraction, U.Fraction),
                D.Quantity * U.Fraction,
                Convert(Money, Round(Convert(Decimal(28,6), D.Quantity) * D.Price, 2))
              From AdjuststockDt D
              Join AdjuststockHd H On H.Id = D.AdjuststockHd
              Join ProductUnits U On U.Id = D.ProductUnits
              Where D.Product = @PId And IsNull(H.Delflag, 'N') <> 'Y'
                And H.AdjDate >= @From And H.AdjDate < @To

              Union All
              -- Finished goods, provisionally at the cost on their line.
              Select 1, 'W', 8, F.FinishDate, 'MFGFinishDt', F.Id, F.ProductUnits,
                IsNull(F.Fraction, U.Fraction), F.Quantity * U.Fraction,
                Convert(Money, Round(Convert(Decimal(28,6), F.Quantity) * IsNull(F.Cost, 0), 2))
              From MFGFinishDt F
              Join WorkOrderHd W On W.Id = F.WorkOrderHd
              Join ProductUnits U On U.Id = F.ProductUnits
              Where F.Product = @PId And IsNull(W.Delflag, 'N') <> 'Y'
                And F.FinishDate >= @From And F.FinishDate < @To

              Union All
              -- Customer returns (type B returns take no goods back).
              Select 1, 'R', 9, H.SRDATE, 'SRDT', D.Id, D.ProductUnits, U.Fraction,
                D.Quantity * U.Fraction,
                Convert(Money, Null)
              From SRDT D
              Join SRHD H On H.Id = D.SRHD
              Join ProductUnits U On U.Id = D.ProductUnits
              Where D.Product = @PId And IsNull(H.Delflag, 'N') <> 'Y'
                And IsNull(H.SrType, '') <> 'B' And H.SRDATE >= @From And H.SRDATE < @To

              Union All
              -- Returns to stock.
              Select 1, 'R', 11, D.RiDate, 'Ridt', D.Id, D.ProductUnits,
                IsNull(D.Fraction, U.Fraction), D.Quantity * U.Fraction,
                Convert(Money, Null)
              From Ridt D
              Join RiHd H On H.Id = D.RiHd
              Join ProductUnits U On U.Id = D.ProductUnits
              Where D.Product = @PId And IsNull(H.Delflag, 'N') <> 'Y'
                And D.RiDate >= @From And D.RiDate < @To

              Union All
              -- Material returned from production.
              Select 1, 'R', 12, D.MfgRiDate, 'MFGRIDT', D.Id, D.ProductUnits,
                IsNull(D.Fraction, U.Fraction), D.Quantity * U.Fraction,
                Convert(Money, Null)
              From MFGRIDT D
              Join MFGRIHD H On H.Id = D.MFGRIHD
              Join ProductUnits U On U.Id = D.ProductUnits
              Where D.Product = @PId And IsNull(H.Delflag, 'N') <> 'Y'
                And D.MfgRiDate >= @From And D.MfgRiDate < @To

              Union All
              -- Stock issues.
              Select -1, Convert(Char(1), Null), 15, D.IsDate, 'Isdt', D.Id, D.ProductUnits,
                IsNull(D.Fraction, U.Fraction), D.Quantity * U.Fraction,
                Convert(Money, Null)
              From Isdt D
              Join IsHd H On H.Id = D.IsHd
              Join ProductUnits U On U.Id = D.ProductUnits
              Where D.Product = @PId And IsNull(H.Delflag, 'N') <> 'Y'
                And D.IsDate >= @From And D.IsDate < @To

              Union All
              -- Sales invoices.
              Select -1, Convert(Char(1), Null), 16, D.IvDate, 'IvDt', D.Id, D.ProductUnits,
                U.Fraction, D.Quantity * U.Fraction,
                Convert(Money, Null)
              From IvDt D
              Join IvHd H On H.Id = D.IvHd
              Join ProductUnits U On U.Id = D.ProductUnits
              Where D.Product = @PId And IsNull(H.Delflag, 'N') <> 'Y'
                And D.IvDate >= @From And D.IvDate < @To

              Union All
              -- Point-of-sale sales.
              Select -1, Convert(Char(1), Null), 17, D.PosDate, 'PosDt', D.Id, D.ProductUnits,
                U.Fraction, D.Quantity * U.Fraction,
                Convert(Money, Null)
              From PosDt D
              Join PosHd H On H.Id = D.PosHd
              Join ProductUnits U On U.Id = D.ProductUnits
              Where D.Product = @PId And IsNull(H.Delflag, 'N') <> 'Y'
                And D.PosDate >= @From And D.PosDate < @To

              Union All
              -- Material issued to production.
              Select -1, Convert(Char(1), Null), 18, D.MfgIsDate, 'MFGISDT', D.Id, D.ProductUnits,
                IsNull(D.Fraction, U.Fraction), D.Quantity * U.Fraction,
                Convert(Money, Null)
              From MFGISDT D
              Join MFGISHD H On H.Id = D.MFGISHD
              Join ProductUnits U On U.Id = D.ProductUnits
              Where D.Product = @PId And IsNull(H.Delflag, 'N') <> 'Y'
                And D.MfgIsDate >= @From And D.MfgIsDate < @To

              Union All
              -- Goods transferred out to a branch.
              Select -1, Convert(Char(1), Null), 4, H.TranDATE, 'TranBranchDT', D.Id,
                D.ProductUnits, U.Fraction,
                D.Quantity * U.Fraction,
                Convert(Money, Null)
              From TranBranchDT D
              Join TranBranchHD H On H.Id = D.TranBranchHD
              Join ProductUnits U On U.Id = D.ProductUnits
              Where D.Product = @PId And IsNull(H.Delflag, 'N') <> 'Y'
                And IsNull(TranType, '') <> 'I' And H.TranDATE >= @From And H.TranDATE < @To

              Union All
              -- Components going into an assembled set.
              Select -1, Convert(Char(1), Null), 6, L.PaDate, 'ProductAssemblyDt', L.Id,
                L.ProductUnits, U.Fraction,
                L.Quantity * U.Fraction,
                Convert(Money, Null)
              From ProductAssemblyDt L
              Join ProductAssemblyHd H On H.Id = L.ProductAssemblyHd
              Join ProductUnits U On U.Id = L.ProductUnits
              Where L.Product = @PId And IsNull(H.Delflag, 'N') <> 'Y' And L.PaType = 'A'
                And L.PaDate >= @From And L.PaDate < @To

              Union All
              -- A set taken apart.
              Select -1, Convert(Char(1), Null), 5, H.PaDate, 'ProductAssemblyHd', H.Id,
                H.ProductUnits, U.Fraction,
                H.Quantity * U.Fraction,
                Convert(Money, Null)
              From ProductAssemblyHd H
              Join ProductUnits U On U.Id = H.ProductUnits
              Where H.Product = @PId And IsNull(H.Delflag, 'N') <> 'Y' And H.PaType = 'D'
                And H.PaDate >= @From And H.PaDate < @To
            ) U
          ) K
          Where K.Kind Is Not Null
        ) T
    ) A;

    -- Where the stock runs out, issue j takes only up to Demanded(j) + Min(0, Min over issues
    -- k <= j of ReceivedTo(k) - Demanded(k)), which never passes what had come in by then: what
    -- it asks for beyond that is short.
    If Exists (Select * From FifoMovement
               Where Product = @PId And BalanceYear = @Year And PeriodNo = @Month And Kind = 'I'
                 And ConsumedTo > ReceivedTo)
      Update M
      Set ConsumedFrom = W.ConsumedFrom
                         + Case When W.RunMinBefore < 0 Then W.RunMinBefore Else 0 End,
        ConsumedTo = W.ConsumedTo + Case When W.RunMin < 0 Then W.RunMin Else 0 End
      From FifoMovement M
      Join (Select Seq, ConsumedFrom, ConsumedTo,
              Min(Case When Kind = 'I' Then ReceivedTo - ConsumedTo End)
                Over (Order By Seq Rows Unbounded Preceding) As RunMin,
              Min(Case When Kind = 'I' Then ReceivedTo - ConsumedTo End)
                Over (Order By Seq Rows Between Unbounded Preceding And 1 Preceding)
                As RunMinBefore
            From FifoMovement
            Where Product = @PId And BalanceYear = @Year And PeriodNo = @Month) W
        On W.Seq = M.Seq
      Where M.Product = @PId And M.BalanceYear = @Year And M.PeriodNo = @Month;

    If @Outer = 0
      Commit Transaction
  End Try
  Begin Catch
    -- A caller's transaction that the error doomed is the caller's to roll back.
    If @Outer = 0 And @@TranCount > 0
      Rollback Transaction;
    If @Outer > 0 And @@NestLevel = 1 And XAct_State() = 1
      Rollback Transaction Calculate_FIFO1;
    Throw;
  End Catch
End
Go
