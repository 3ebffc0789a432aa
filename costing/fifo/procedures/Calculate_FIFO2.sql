-- Costs one product's issues of a month first in, first out, from the movements that
-- Calculate_FIFO1 built, and puts the costs into the month's lines.
--
-- The layers are what the latest calculated month before this one left (or the year's opening
-- layers) followed by the month's receipts, laid end to end. Every issue takes the stretch of
-- that line that Calculate_FIFO1 worked out for it (ConsumedFrom to ConsumedTo): the oldest
-- layers first, never a layer received after it. What it asks for beyond that is short: valued
-- at the cost of the last layer consumed (else the last cost of the months before, else the
-- month's latest receipt valued from its document, else 0). A layer's value is taken by
-- position: the stretch from a to b takes Round(Value(b), 2) - Round(Value(a), 2), so the last
-- unit takes exactly what is left.
-- A supplier note changes the value of the units in stock at its date, shared by quantity over
-- the layers (the last share taking what is left); with no stock it is the month's value
-- difference.
-- Returns (customers', point of sale, to stock, from production, and found stock without a
-- price) come back at the unit cost of the product's latest issue before them, else of the
-- oldest layer in stock, else 0. Finished goods come in at the cost of their work order once
-- CALCULATE_WorkOrderFIFO has costed it this month, else at the cost on their line.
--
-- Written: FifoConsumption, FifoLayerBalance and FifoMonthBalance of the month, the costs in
-- FifoMovement, and Price of the month's Isdt, Ridt, MFGISDT, MFGRIDT, MFGFinishDt and
-- decreasing AdjuststockDt lines (unit cost times the line's Fraction), with the product's
-- Negative flag Y meanwhile. A second call that finds the month calculated since its movements
-- were built, with no finished goods whose cost may have come since, finds the same numbers and
-- changes nothing. The call is atomic, as Calculate_FIFO1 is.
If Object_Id('Calculate_FIFO2') Is Not Null
  Drop Procedure Calculate_FIFO2
Go
Create Procedure Calculate_FIFO2
  @Year Int,
  @Month Int,
  @PId Int
As
Begin
  Set NoCount On
  Declare @Outer Int, @OpeningPeriod Int, @Final Decimal(28,6), @EarlierCost Decimal(28,4),
    @LastUnitCost Decimal(28,4), @ReturnSeq Int, @IssueSeq Int,
    @Cost Decimal(28,4), @Negative Char(1), @Lines Int, @Notes Int, @Isdt Int, @Ridt Int,
    @MfgIs Int, @MfgRi Int, @Finished Int, @Adjusted Int, @Calculated Int
  Declare @Layer Table (LayerPeriod Int, LayerSeq Int, StartPos Decimal(28,6),
    EndPos Decimal(28,6), Quantity Decimal(28,6), Amount Money, Valuation Char(1),
    Shares Int, Primary Key (LayerPeriod, LayerSeq))
  -- What a note added to the layers in stock: AtPos is where the units it changed begin.
  Declare @Share Table (NoteSeq Int, LayerPeriod Int, LayerSeq Int, AtPos Decimal(28,6),
    Amount Money, Primary Key (NoteSeq, LayerPeriod, LayerSeq))
  Declare @Piece Table (IssueSeq Int, LayerPeriod Int, LayerSeq Int, FromPos Decimal(28,6),
    ToPos Decimal(28,6), Amount Money, Primary Key (IssueSeq, LayerPeriod, LayerSeq))
  Declare @Issue Table (Seq Int Primary Key, Quantity Decimal(28,6), Pos Decimal(28,6),
    ShortQuantity Decimal(28,6), LastCost Decimal(28,4), Amount Money, ShortAmount Money,
    UnitCost Decimal(28,4))

  Set @Calculated = Case When Exists (Select * From FifoMonthBalance
                                      Where Product = @PId And BalanceYear = @Year
                                        And PeriodNo = @Month) Then 1 Else 0 End
  If @Calculated = 1
     And Not Exists (Select * From FifoMovement
                     Where Product = @PId And BalanceYear = @Year And PeriodNo = @Month
                       And Valuation = 'W')
    Return

  Set @Outer = @@TranCount
  Begin Try
    -- Inside a caller's transaction the call undoes only its own work on an error; called
    -- from one of these procedures, the calling procedure undoes it with its own.
    If @Outer = 0
      Begin Transaction
    Else If @@NestLevel = 1
      Save Transaction Calculate_FIFO2

    -- The month's consumptions and layer balances are only there with its month balance.
    If @Calculated = 1
    Begin
      Delete From FifoConsumption
      Where Product = @PId And BalanceYear = @Year And PeriodNo = @Month;
      Delete From FifoLayerBalance
      Where Product = @PId And BalanceYear = @Year And PeriodNo = @Month;
      Delete From FifoMonthBalance
      Where Product = @PId And BalanceYear = @Year And PeriodNo = @Month;
    End

    -- A product is calculated only in the months it moves: the stock it starts with is what
    -- the latest calculated month before this one left.
    Select Top 1 @OpeningPeriod = PeriodNo, @EarlierCost = LastUnitCost
    From FifoMonthBalance
    Where Product = @PId And BalanceYear = @Year And PeriodNo < @Month
    Order By PeriodNo Desc;
    -- What the month holds: where its consumption ends, and which kinds of lines it moves.
    Select @Final = IsNull(Max(ConsumedTo), 0),
      @Notes = Max(Case When Kind = 'V' Then 1 Else 0 End),
      @Isdt = Max(Case When SourceTable = 'Isdt' Then 1 Else 0 End),
      @Ridt = Max(Case When SourceTable = 'Ridt' Then 1 Else 0 End),
      @MfgIs = Max(Case When SourceTable = 'MFGISDT' Then 1 Else 0 End),
      @MfgRi = Max(Case When SourceTable = 'MFGRIDT' Then 1 Else 0 End),
      @Finished = Max(Case When SourceTable = 'MFGFinishDt' Then 1 Else 0 End),
      @Adjusted = Max(Case When SourceTable = 'AdjuststockDt' And Kind = 'I' Then 1 Else 0 End)
    From FifoMovement
    Where Product = @PId And BalanceYear = @Year And PeriodNo = @Month;
    Insert Into @Layer (LayerPeriod, LayerSeq, StartPos, EndPos, Quantity, Amount, Valuation,
      Shares)
    Select LayerPeriod, LayerSeq,
      Sum(Quantity) Over (Order By LayerPeriod, LayerSeq Rows Unbounded Preceding) - Quantity,
      Sum(Quantity) Over (Order By LayerPeriod, LayerSeq Rows Unbounded Preceding),
      Quantity, Amount, 'D', 0
    From FifoLayerBalance
    Where Product = @PId And BalanceYear = @Year And PeriodNo = @OpeningPeriod;

    -- Only a document's value is known now; returns and finished goods are valued below, also
    -- when an earlier call valued them.
    Insert Into @Layer (LayerPeriod, LayerSeq, StartPos, EndPos, Quantity, Amount, Valuation,
      Shares)
    Select @Month, Seq, ReceivedTo - Quantity, ReceivedTo, Quantity,
      Case When Valuation = 'D' Then Amount End, Valuation, 0
    From FifoMovement
    Where Product = @PId And BalanceYear = @Year And PeriodNo = @Month And Kind = 'R';

    -- Finished goods: the work order's total shared over all its finished goods by base
    -- quantity, the last line taking what is left; the line's own cost until it is known.
    If @Finished = 1
      Update L
      Set Amount = IsNull(W.Amount, M.DocumentAmount)
      From @Layer L
      Join FifoMovement M
        On M.Product = @PId And M.BalanceYear = @Year And M.PeriodNo = @Month
        And M.Seq = L.LayerSeq
      Left Join (
        Select S.Id,
          Convert(Money, Round(S.TotalAmount * S.Upto / S.AllQuantity, 2)
                         - Round(S.TotalAmount * (S.Upto - S.Quantity) / S.AllQuantity, 2))
            As Amount
        From (
          Select F.Id, F.Quantity, C.TotalAmount,
            Sum(F.Quantity) Over (Partition By F.WorkOrderHd Order By F.Id
                                  Rows Unbounded Preceding) As Upto,
            Sum(F.Quantity) Over (Partition By F.WorkOrderHd) As AllQuantity
          From (Select G.Id, G.WorkOrderHd, Convert(Decimal(28,6), G.Quantity * U.Fraction)
                         As Quantity
                From MFGFinishDt G
                Join ProductUnits U On U.Id = G.ProductUnits
                Where G.WorkOrderHd In (Select H.WorkOrderHd From MFGFinishDt H
                                        Join FifoMovement N On N.SourceId = H.Id
                                        Where N.Product = @PId And N.BalanceYear = @Year
                                          And N.PeriodNo = @Month And N.Valuation = 'W'
                                          And N.SourceTable = 'MFGFinishDt')) F
          Join FifoWorkOrderCost C On C.WorkOrderHd = F.WorkOrderHd
        ) S
        Where S.AllQuantity > 0
      ) W On W.Id = M.SourceId
      Where L.LayerPeriod = @Month And L.Valuation = 'W';

    -- Supplier notes on the units in stock at their date (received before them, not yet
    -- issued), shared by quantity.
    If @Notes = 1
    Begin
      Insert Into @Share (NoteSeq, LayerPeriod, LayerSeq, AtPos, Amount)
      Select NoteSeq, LayerPeriod, LayerSeq, AtPos,
        Convert(Money, Round(NoteAmount * Upto / AllLeft, 2)
                       - Round(NoteAmount * (Upto - LeftQuantity) / AllLeft, 2))
      From (
        Select N.Seq As NoteSeq, L.LayerPeriod, L.LayerSeq, N.Amount As NoteAmount,
          Case When L.StartPos > N.ConsumedTo Then L.StartPos Else N.ConsumedTo End As AtPos,
          L.EndPos - Case When L.StartPos > N.ConsumedTo Then L.StartPos Else N.ConsumedTo End
            As LeftQuantity,
          Sum(L.EndPos - Case When L.StartPos > N.ConsumedTo Then L.StartPos
                              Else N.ConsumedTo End)
            Over (Partition By N.Seq Order By L.LayerPeriod, L.LayerSeq
                  Rows Unbounded Preceding) As Upto,
          Sum(L.EndPos - Case When L.StartPos > N.ConsumedTo Then L.StartPos
                              Else N.ConsumedTo End)
            Over (Partition By N.Seq) As AllLeft
        From FifoMovement N
        Join @Layer L On L.EndPos <= N.ReceivedTo And L.EndPos > N.ConsumedTo
        Where N.Product = @PId And N.BalanceYear = @Year And N.PeriodNo = @Month
          And N.Kind = 'V'
      ) S;
      Update L
      Set Shares = (Select Count(*) From @Share S
                    Where S.LayerPeriod = L.LayerPeriod And S.LayerSeq = L.LayerSeq)
      From @Layer L;
    End

    Insert Into @Piece (IssueSeq, LayerPeriod, LayerSeq, FromPos, ToPos)
    Select I.Seq, L.LayerPeriod, L.LayerSeq,
      Case When L.StartPos > I.ConsumedFrom Then L.StartPos Else I.ConsumedFrom End,
      Case When L.EndPos < I.ConsumedTo Then L.EndPos Else I.ConsumedTo End
    From FifoMovement I
    Join @Layer L On L.StartPos < I.ConsumedTo And L.EndPos > I.ConsumedFrom
    Where I.Product = @PId And I.BalanceYear = @Year And I.PeriodNo = @Month And I.Kind = 'I'
      And I.ConsumedTo > I.ConsumedFrom;

    Insert Into @Issue (Seq, Quantity, Pos, ShortQuantity)
    Select Seq, Quantity, ConsumedTo, Quantity - (ConsumedTo - ConsumedFrom)
    From FifoMovement
    Where Product = @PId And BalanceYear = @Year And PeriodNo = @Month And Kind = 'I';

    -- Values follow the order of the month: each pass values what the layers valued so far
    -- allow, then the earliest return still without a value, from the issue before it.
    While 1 = 1
    Begin
      -- A stretch of a layer from a to b takes Round(Value(b), 2) - Round(Value(a), 2), where
      -- Value(x) is the layer's value spread evenly over its quantity plus each note's share
      -- spread evenly over the units it changed; the last unit takes what is left.
      Update P
      Set Amount =
        Case When P.ToPos = L.EndPos
             Then L.Amount + Case When L.Shares = 0 Then 0
                                  Else (Select Sum(S.Amount) From @Share S
                                        Where S.LayerPeriod = L.LayerPeriod
                                          And S.LayerSeq = L.LayerSeq) End
             Else Round(Convert(Decimal(19,4), L.Amount) * (P.ToPos - L.StartPos) / L.Quantity
                        + Case When L.Shares = 0 Then 0
                               Else IsNull((Select Sum(Convert(Decimal(19,4), S.Amount)
                                                       * (P.ToPos - S.AtPos)
                                                       / (L.EndPos - S.AtPos))
                                            From @Share S
                                            Where S.LayerPeriod = L.LayerPeriod
                                              And S.LayerSeq = L.LayerSeq
                                              And S.AtPos < P.ToPos), 0) End, 2)
        End
        - Round(Convert(Decimal(19,4), L.Amount) * (P.FromPos - L.StartPos) / L.Quantity
                + Case When L.Shares = 0 Then 0
                       Else IsNull((Select Sum(Convert(Decimal(19,4), S.Amount)
                                               * (P.FromPos - S.AtPos) / (L.EndPos - S.AtPos))
                                    From @Share S
                                    Where S.LayerPeriod = L.LayerPeriod
                                      And S.LayerSeq = L.LayerSeq
                                      And S.AtPos < P.FromPos), 0) End, 2)
      From @Piece P
      Join @Layer L On L.LayerPeriod = P.LayerPeriod And L.LayerSeq = P.LayerSeq
      Where P.Amount Is Null And L.Amount Is Not Null;

      -- A short issue: the cost of the last layer consumed by then, its value per unit where
      -- the consumption stands.
      Update I
      Set LastCost =
        -- Nothing consumed yet: the last cost of the months before, else the month's latest
        -- receipt valued from its document.
        Case When I.Pos = 0
             Then Coalesce(@EarlierCost,
                           (Select Top 1 Convert(Decimal(28,4), Amount / Quantity) From @Layer
                            Where LayerPeriod = @Month And Valuation = 'D'
                            Order By LayerSeq Desc), 0)
             Else (Select Convert(Decimal(28,4),
                            Convert(Decimal(19,4), L.Amount) / L.Quantity
                            + IsNull((Select Sum(Convert(Decimal(19,4), S.Amount)
                                                 / (L.EndPos - S.AtPos))
                                      From @Share S
                                      Where S.LayerPeriod = L.LayerPeriod
                                        And S.LayerSeq = L.LayerSeq And S.AtPos < I.Pos), 0))
                   From @Layer L
                   Where L.StartPos < I.Pos And L.EndPos >= I.Pos)
        End
      From @Issue I
      Where I.ShortQuantity > 0 And I.LastCost Is Null
        And (I.Pos = 0 Or Not Exists (Select * From @Layer L
                                      Where L.StartPos < I.Pos And L.EndPos >= I.Pos
                                        And L.Amount Is Null));

      Update I
      Set ShortAmount = S.ShortAmount,
        Amount = IsNull(P.Amount, 0) + S.ShortAmount,
        UnitCost = Convert(Decimal(28,4), (IsNull(P.Amount, 0) + S.ShortAmount) / I.Quantity)
      From @Issue I
      Left Join (Select IssueSeq, Sum(Amount) As Amount, Count(*) - Count(Amount) As Unknown
                 From @Piece Group By IssueSeq) P On P.IssueSeq = I.Seq
      Join (Select Seq, Case When ShortQuantity > 0
                             Then Convert(Money, Round(ShortQuantity * LastCost, 2))
                             Else 0 End As ShortAmount
            From @Issue) S On S.Seq = I.Seq
      Where I.Amount Is Null And IsNull(P.Unknown, 0) = 0
        And (I.ShortQuantity <= 0 Or I.LastCost Is Not Null);

      Set @ReturnSeq = (Select Min(LayerSeq) From @Layer
                        Where LayerPeriod = @Month And Amount Is Null);
      If @ReturnSeq Is Null
        Break;

      Set @IssueSeq = (Select Max(Seq) From @Issue Where Seq < @ReturnSeq);
      If @IssueSeq Is Not Null
        Set @Cost = (Select UnitCost From @Issue Where Seq = @IssueSeq);
      Else
      Begin
        Set @Cost = (Select Top 1 UnitCost From FifoMovement
                     Where Product = @PId And Kind = 'I'
                       And (BalanceYear < @Year Or (BalanceYear = @Year And PeriodNo < @Month))
                     Order By BalanceYear Desc, PeriodNo Desc, Seq Desc);
        -- Else the oldest layer in stock.
        If @Cost Is Null
          Set @Cost = (Select Top 1 Convert(Decimal(28,4),
                                   Convert(Decimal(19,4), L.Amount) / L.Quantity
                                   + IsNull((Select Sum(Convert(Decimal(19,4), S.Amount)
                                                        / (L.EndPos - S.AtPos))
                                             From @Share S
                                             Where S.LayerPeriod = L.LayerPeriod
                                               And S.LayerSeq = L.LayerSeq
                                               And S.NoteSeq < @ReturnSeq), 0))
                       From @Layer L
                       Join FifoMovement R
                         On R.Product = @PId And R.BalanceYear = @Year And R.PeriodNo = @Month
                         And R.Seq = @ReturnSeq
                       Where L.EndPos > R.ConsumedTo And L.EndPos <= R.ReceivedTo - R.Quantity
                       Order By L.LayerPeriod, L.LayerSeq);
      End
      Update @Layer
      Set Amount = Convert(Money, Round(Quantity * IsNull(@Cost, 0), 2))
      Where LayerPeriod = @Month And LayerSeq = @ReturnSeq;
    End

    -- The cost of the last layer consumed, for shortages of the months after.
    If @Final > 0
      Set @LastUnitCost =
        (Select Convert(Decimal(28,4), Convert(Decimal(19,4), L.Amount) / L.Quantity
                                       + IsNull((Select Sum(Convert(Decimal(19,4), S.Amount)
                                                            / (L.EndPos - S.AtPos))
                                                 From @Share S
                                                 Where S.LayerPeriod = L.LayerPeriod
                                                   And S.LayerSeq = L.LayerSeq
                                                   And S.AtPos < @Final), 0))
         From @Layer L
         Where L.StartPos < @Final And L.EndPos >= @Final);
    Else
      Set @LastUnitCost = @EarlierCost;

    Insert Into FifoConsumption (Product, BalanceYear, PeriodNo, IssueSeq, LayerPeriod, LayerSeq,
      Quantity, Amount)
    Select @PId, @Year, @Month, IssueSeq, LayerPeriod, LayerSeq, ToPos - FromPos, Amount
    From @Piece;

    Insert Into FifoLayerBalance (Product, BalanceYear, PeriodNo, LayerPeriod, LayerSeq, Quantity,
      Amount)
    Select @PId, @Year, @Month, L.LayerPeriod, L.LayerSeq,
      L.EndPos - Case When L.StartPos > @Final Then L.StartPos Else @Final End,
      L.Amount + Case When L.Shares = 0 Then 0
                      Else (Select Sum(S.Amount) From @Share S
                            Where S.LayerPeriod = L.LayerPeriod
                              And S.LayerSeq = L.LayerSeq) End
               - IsNull((Select Sum(P.Amount) From @Piece P
                         Where P.LayerPeriod = L.LayerPeriod And P.LayerSeq = L.LayerSeq), 0)
    From @Layer L
    Where L.EndPos > @Final;

    Update FifoMovement
    Set Amount = Case FifoMovement.Kind When 'I' Then I.Amount When 'R' Then L.Amount
                                        Else FifoMovement.Amount End,
      UnitCost = Case FifoMovement.Kind
                   When 'I' Then I.UnitCost
                   When 'R' Then Convert(Decimal(28,4), L.Amount / L.Quantity)
                 End,
      ShortQuantity = I.ShortQuantity,
      ShortAmount = I.ShortAmount,
      AppliedAmount = Case When FifoMovement.Kind = 'V'
                           Then IsNull((Select Sum(S.Amount) From @Share S
                                        Where S.NoteSeq = FifoMovement.Seq), 0)
                      End
    From FifoMovement
    Left Join @Issue I On I.Seq = FifoMovement.Seq
    Left Join @Layer L On L.LayerPeriod = @Month And L.LayerSeq = FifoMovement.Seq
    Where FifoMovement.Product = @PId And FifoMovement.BalanceYear = @Year
      And FifoMovement.PeriodNo = @Month;

    Insert Into FifoMonthBalance (Product, BalanceYear, PeriodNo, OpeningQuantity, OpeningAmount,
      ReceivedQuantity, ReceivedAmount, IssuedQuantity, IssuedAmount, ShortQuantity,
      ShortAmount, ClosingQuantity, ClosingAmount, ValueDifference, LastUnitCost, CaughtUp)
    Select @PId, @Year, @Month,
      IsNull((Select Sum(Quantity) From @Layer Where LayerPeriod < @Month), 0),
      IsNull((Select Sum(Amount) From @Layer Where LayerPeriod < @Month), 0),
      IsNull((Select Sum(Quantity) From @Layer Where LayerPeriod = @Month), 0),
      IsNull((Select Sum(Amount) From @Layer Where LayerPeriod = @Month), 0)
        + IsNull((Select Sum(Amount) From @Share), 0),
      @Final,
      IsNull((Select Sum(Amount) From @Piece), 0),
      IsNull((Select Sum(ShortQuantity) From @Issue), 0),
      IsNull((Select Sum(ShortAmount) From @Issue), 0),
      IsNull((Select Sum(Quantity) From FifoLayerBalance
              Where Product = @PId And BalanceYear = @Year And PeriodNo = @Month), 0),
      IsNull((Select Sum(Amount) From FifoLayerBalance
              Where Product = @PId And BalanceYear = @Year And PeriodNo = @Month), 0),
      IsNull((Select Sum(Amount) From FifoMovement
              Where Product = @PId And BalanceYear = @Year And PeriodNo = @Month
                And Kind = 'V'), 0)
        - IsNull((Select Sum(Amount) From @Share), 0),
      @LastUnitCost, 0;

    -- The costs into the month's lines, per unit of each line, with the product's Negative
    -- flag Y meanwhile. Lines that increase stock by a count keep the price they were counted at.
    Set @Lines = IsNull(@Isdt + @Ridt + @MfgIs + @MfgRi + @Finished + @Adjusted, 0);
    If @Lines > 0
    Begin
      Set @Negative = (Select Negative From Product Where Id = @PId);
      Update Product Set Negative = 'Y' Where Id = @PId;
      If @Isdt = 1
        Update Isdt
        Set Price = Convert(Money, M.UnitCost * M.Fraction)
        From Isdt
        Join FifoMovement M On M.SourceId = Isdt.Id
        Where M.Product = @PId And M.BalanceYear = @Year And M.PeriodNo = @Month
          And M.SourceTable = 'Isdt';
      If @Ridt = 1
        Update Ridt
        Set Price = Convert(Money, M.UnitCost * M.Fraction)
        From Ridt
        Join FifoMovement M On M.SourceId = Ridt.Id
        Where M.Product = @PId And M.BalanceYear = @Year And M.PeriodNo = @Month
          And M.SourceTable = 'Ridt';
      If @MfgIs = 1
        Update MFGISDT
        Set Price = Convert(Money, M.UnitCost * M.Fraction)
        From MFGISDT
        Join FifoMovement M On M.SourceId = MFGISDT.Id
        Where M.Product = @PId And M.BalanceYear = @Year And M.PeriodNo = @Month
          And M.SourceTable = 'MFGISDT';
      If @MfgRi = 1
        Update MFGRIDT
        Set Price = Convert(Money, M.UnitCost * M.Fraction)
        From MFGRIDT
        Join FifoMovement M On M.SourceId = MFGRIDT.Id
        Where M.Product = @PId And M.BalanceYear = @Year And M.PeriodNo = @Month
          And M.SourceTable = 'MFGRIDT';
      If @Finished = 1
        Update MFGFinishDt
        Set Price = Convert(Money, M.UnitCost * M.Fraction)
        From MFGFinishDt
        Join FifoMovement M On M.SourceId = MFGFinishDt.Id
        Where M.Product = @PId And M.BalanceYear = @Year And M.PeriodNo = @Month
          And M.SourceTable = 'MFGFinishDt';
      If @Adjusted = 1
        Update AdjuststockDt
        Set Price = Convert(Money, M.UnitCost * M.Fraction)
        From AdjuststockDt
        Join FifoMovement M On M.SourceId = AdjuststockDt.Id
        Where M.Product = @PId And M.BalanceYear = @Year And M.PeriodNo = @Month
          And M.SourceTable = 'AdjuststockDt' And M.Kind = 'I';
      Update Product Set Negative = @Negative Where Id = @PId;
    End

    If @Outer = 0
      Commit Transaction
  End Try
  Begin Catch
    -- A caller's transaction that the error doomed is the caller's to roll back.
    If @Outer = 0 And @@TranCount > 0
      Rollback Transaction;
    If @Outer > 0 And @@NestLevel = 1 And XAct_State() = 1
      Rollback Transaction Calculate_FIFO2;
    Throw;
  End Catch
End
Go
