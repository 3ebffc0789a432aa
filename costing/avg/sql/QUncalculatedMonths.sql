-- The months from the start month on that have stock to cost but no row in the cost ledger,
-- that is months no run for all products has calculated yet.
Select Distinct O.PeriodNo As PeriodNo
From ProductOnhand O
Where O.BalanceYear = :Year And O.PeriodNo Between :Month And 12
And Not Exists (Select * From ProductCostAVG C
                Where C.BalanceYear = :Year And C.PeriodNo = O.PeriodNo)
Order By O.PeriodNo
