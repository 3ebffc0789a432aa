-- Writes the year-to-date average cost of the product, times the unit fraction of each line,
-- into the issue-type lines of the month (issues, returns of issues, material issued to and
-- returned from production, and stock adjustments that decrease stock). Increases keep their
-- price. The same lines and prices as the SQL Server batch, one statement each. Nothing on
-- the embedded engine reads the Negative flag of a product, so it is left as it is.
-- The unary plus before C.BalanceYear keeps the engine on the ledger rows of the product
-- instead of reading those of every product through the year and month index.
Update Isdt
Set Price = Convert(Money, Fraction *
  (Select Case When IsNull(Sum(IsNull(C.PurcQnty, 0)), 0) = 0 Then 0
          Else Convert(Decimal(28,4),
                       Convert(Float, Sum(IsNull(C.PurcAmount, 0))) / Sum(IsNull(C.PurcQnty, 0)))
          End
   From ProductCostAVG C
   Where C.Product = (Select Id From Product Where Code = :ProdCode)
   And +C.BalanceYear = :Year And C.PeriodNo <= :Month))
Where Product = (Select Id From Product Where Code = :ProdCode)
And Year(IsDate) = :Year And Month(IsDate) = :Month
/
Update Ridt
Set Price = Convert(Money, Fraction *
  (Select Case When IsNull(Sum(IsNull(C.PurcQnty, 0)), 0) = 0 Then 0
          Else Convert(Decimal(28,4),
                       Convert(Float, Sum(IsNull(C.PurcAmount, 0))) / Sum(IsNull(C.PurcQnty, 0)))
          End
   From ProductCostAVG C
   Where C.Product = (Select Id From Product Where Code = :ProdCode)
   And +C.BalanceYear = :Year And C.PeriodNo <= :Month))
Where Product = (Select Id From Product Where Code = :ProdCode)
And Year(RiDate) = :Year And Month(RiDate) = :Month
/
Update MFGIsdt
Set Price = Convert(Money, Fraction *
  (Select Case When IsNull(Sum(IsNull(C.PurcQnty, 0)), 0) = 0 Then 0
          Else Convert(Decimal(28,4),
                       Convert(Float, Sum(IsNull(C.PurcAmount, 0))) / Sum(IsNull(C.PurcQnty, 0)))
          End
   From ProductCostAVG C
   Where C.Product = (Select Id From Product Where Code = :ProdCode)
   And +C.BalanceYear = :Year And C.PeriodNo <= :Month))
Where Product = (Select Id From Product Where Code = :ProdCode)
And Year(MfgIsDate) = :Year And Month(MfgIsDate) = :Month
/
Update MFGRidt
Set Price = Convert(Money, Fraction *
  (Select Case When IsNull(Sum(IsNull(C.PurcQnty, 0)), 0) = 0 Then 0
          Else Convert(Decimal(28,4),
                       Convert(Float, Sum(IsNull(C.PurcAmount, 0))) / Sum(IsNull(C.PurcQnty, 0)))
          End
   From ProductCostAVG C
   Where C.Product = (Select Id From Product Where Code = :ProdCode)
   And +C.BalanceYear = :Year And C.PeriodNo <= :Month))
Where Product = (Select Id From Product Where Code = :ProdCode)
And Year(MfgRiDate) = :Year And Month(MfgRiDate) = :Month
/
Update AdjuststockDt
Set Price = Convert(Money, Fraction *
  (Select Case When IsNull(Sum(IsNull(C.PurcQnty, 0)), 0) = 0 Then 0
          Else Convert(Decimal(28,4),
                       Convert(Float, Sum(IsNull(C.PurcAmount, 0))) / Sum(IsNull(C.PurcQnty, 0)))
          End
   From ProductCostAVG C
   Where C.Product = (Select Id From Product Where Code = :ProdCode)
   And +C.BalanceYear = :Year And C.PeriodNo <= :Month))
Where Product = (Select Id From Product Where Code = :ProdCode)
And Quantity < 0
And Exists (Select * From AdjuststockHd H
            Where H.Id = AdjuststockDt.AdjuststockHd
            And Year(H.AdjDate) = :Year And Month(H.AdjDate) = :Month)
