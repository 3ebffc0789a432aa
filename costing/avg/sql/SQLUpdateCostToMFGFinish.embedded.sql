-- Writes the year-to-date average cost of the product, times the unit fraction of each line,
-- into its finished-goods lines whose work order was closed in the month. The same lines and
-- prices as the SQL Server batch. Nothing on the embedded engine reads the Negative flag of a
-- product, so it is left as it is.
-- The unary plus before C.BalanceYear keeps the engine on the ledger rows of the product
-- instead of reading those of every product through the year and month index.
Update MFGFinishDt
Set Price = Convert(Money, Fraction *
  (Select Case When IsNull(Sum(IsNull(C.PurcQnty, 0)), 0) = 0 Then 0
          Else Convert(Decimal(28,4),
                       Convert(Float, Sum(IsNull(C.PurcAmount, 0))) / Sum(IsNull(C.PurcQnty, 0)))
          End
   From ProductCostAVG C
   Where C.Product = (Select Id From Product Where Code = :ProdCode)
   And +C.BalanceYear = :Year And C.PeriodNo <= :Month))
Where Product = (Select Id From Product Where Code = :ProdCode)
And Exists (Select * From WorkOrderHd W
            Where W.Id = MFGFinishDt.WorkOrderHd
            And Year(W.CloseDate) = :Year And Month(W.CloseDate) = :Month)
