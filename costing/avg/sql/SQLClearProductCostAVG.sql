-- Clears the ledger rows of the month before the month is rebuilt. With a product filter
-- only the rows of that product go, so a run for one product keeps the results of the others.
Delete From ProductCostAVG
Where BalanceYear = :Year
And PeriodNo = :Month
And ((:ProdCode = '') Or (Product In (Select Id From Product Where Code = :ProdCode)))
