-- Completes one product's month in the cost ledger ProductCostAVG: sets every row's own average
-- cost for the year, takes the month's customer returns back into stock at the product's
-- average cost up to the return's month, and sets the averages again.
-- A return line's cost comes from the ledger as it stands before the month's returns are added,
-- so the lines of a month do not depend on one another or on their order.
-- A return whose quantity or value is null adds nothing to the row's quantity or value and never
-- erases what the row holds.
If Object_Id('CALCULATE_AVG2ByProdAndMonth') Is Not Null
  Drop Procedure CALCULATE_AVG2ByProdAndMonth
Go
Create Procedure CALCULATE_AVG2ByProdAndMonth
  @Year IdNo,
  @ProdCode Char(20),
  @Month IdNo
As
Begin
  Set NoCount On
  -- An error ends the procedure there, instead of letting the statements after it run on
  -- what the failed one left undone.
  Set XAct_Abort On
  Declare @Prod IdNo
  Declare @Returns Table (ProductUnits Int, PeriodNo Int, BalanceYear Int,
                          Qnty Float, Amount Money)

  -- The product whose code, blanks around it dropped, is the one given: first through the
  -- index on Code (trailing blanks do not count in the comparison), then, for a code stored
  -- with leading blanks, by trimming every code.
  Set @Prod = (Select Id From Product Where Code = LTrim(RTrim(@ProdCode)));
  If @Prod Is Null
    Set @Prod = (Select Id From Product Where LTrim(RTrim(Code)) = LTrim(RTrim(@ProdCode)));

  -- Each month row of the year with a quantity and a value gets its own average per base unit;
  -- rows with a quantity or value of 0 or less keep theirs.
  Update ProductCostAVG
  Set CostAvg = Convert(Float, PurcAmount) / PurcQnty
  Where Product = @Prod And BalanceYear = @Year And PeriodNo > 0
    And PurcQnty > 0 And PurcAmount > 0;

  -- รับคืน: customer returns at the return unit cost. The cost is taken from the latest year in
  -- which the line's unit has a non-zero average up to the return's month, over the product's
  -- rows whose period key (four-digit year, two-digit month) is at most the return's, the keys
  -- compared as text part by part; A / Q to six decimals, then held as money. Rows after the
  -- return's month do not choose the year: they are what an earlier run left (this run has not
  -- reached them yet) or belong to a later year, and would make the cost depend on them.
  Insert Into @Returns (ProductUnits, PeriodNo, BalanceYear, Qnty, Amount)
  Select R.ProductUnits, R.PeriodNo, R.BalanceYear, R.Qnty, Convert(Money, R.Qnty * R.Cost)
  From (
    Select L.ProductUnits, Month(H.SRDATE) As PeriodNo, Year(H.SRDATE) As BalanceYear,
      L.Quantity * U.Fraction As Qnty,
      Convert(Money,
        (Select Case When IsNull(Sum(A.PurcQnty), 0) = 0 Then 0
                     Else Convert(Decimal(28,6),
                            Convert(Float, Convert(Money, IsNull(Sum(A.PurcAmount), 0)))
                              / Sum(A.PurcQnty))
                End
         From ProductCostAVG A
         Where A.Product = @Prod
           And A.BalanceYear = (Select Max(Y.BalanceYear) From ProductCostAVG Y
                                Where Y.ProductUnits = L.ProductUnits And Y.CostAvg <> 0
                                  And (Y.BalanceYear < Year(H.SRDATE)
                                       Or (Y.BalanceYear = Year(H.SRDATE)
                                           And Y.PeriodNo <= Month(H.SRDATE))))
           And (Convert(Char(4), A.BalanceYear) < Convert(Char(4), Year(H.SRDATE))
                Or (Convert(Char(4), A.BalanceYear) = Convert(Char(4), Year(H.SRDATE))
                    And Right(Convert(VarChar(3), 100 + A.PeriodNo), 2)
                        <= Right(Convert(VarChar(3), 100 + Month(H.SRDATE)), 2))))) As Cost
    From SRDT L
    Join SRHD H On H.Id = L.SRHD
    Join ProductUnits U On U.Id = L.ProductUnits
    Where L.Product = @Prod And H.Delflag <> 'Y' And H.SrType <> 'B'
      And Year(H.SRDATE) = @Year And Month(H.SRDATE) = @Month
  ) R;

  -- Added to the row of the return's unit and month, which is made when it does not exist.
  Update ProductCostAVG
  Set PurcQnty = Case When R.Qnty Is Null Then ProductCostAVG.PurcQnty
                      Else IsNull(ProductCostAVG.PurcQnty, 0) + R.Qnty End,
      PurcAmount = Case When R.Amount Is Null Then ProductCostAVG.PurcAmount
                        Else IsNull(ProductCostAVG.PurcAmount, 0) + R.Amount End
  From ProductCostAVG
  Join (Select ProductUnits, PeriodNo, BalanceYear, Sum(Qnty) As Qnty, Sum(Amount) As Amount
        From @Returns
        Group By ProductUnits, PeriodNo, BalanceYear) R
    On R.ProductUnits = ProductCostAVG.ProductUnits And R.PeriodNo = ProductCostAVG.PeriodNo
    And R.BalanceYear = ProductCostAVG.BalanceYear
  Where ProductCostAVG.Product = @Prod

  Insert Into ProductCostAVG (Product, ProductUnits, PeriodNo, BalanceYear,
                              PurcQnty, PurcAmount, CostAvg)
  Select @Prod, R.ProductUnits, R.PeriodNo, R.BalanceYear, Sum(R.Qnty), Sum(R.Amount), 0.00
  From @Returns R
  Where Not Exists (Select * From ProductCostAVG A
                    Where A.Product = @Prod And A.ProductUnits = R.ProductUnits
                      And A.PeriodNo = R.PeriodNo And A.BalanceYear = R.BalanceYear)
  Group By R.ProductUnits, R.PeriodNo, R.BalanceYear

  -- The rows the returns changed get their new average.
  Update ProductCostAVG
  Set CostAvg = Convert(Float, PurcAmount) / PurcQnty
  Where Product = @Prod And BalanceYear = @Year And PeriodNo > 0
    And PurcQnty > 0 And PurcAmount > 0
End
Go
