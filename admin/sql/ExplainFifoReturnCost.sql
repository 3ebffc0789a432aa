-- The issue whose unit cost a return came back at, as Calculate_FIFO2 chooses it, the latest
-- issue of the product before the return in its month, else the latest issue of the months
-- before. No row when there is none (the return then took the cost of the oldest layer in
-- stock, or 0).
Select Top 1 M.SourceTable, M.SourceId, M.MovementDate, M.BalanceYear, M.PeriodNo, M.UnitCost
From FifoMovement M
Where M.Product = :Product And M.Kind = 'I'
  And ((M.BalanceYear = :Year And M.PeriodNo = :Month And M.Seq < :Seq)
       Or M.BalanceYear < :Year Or (M.BalanceYear = :Year And M.PeriodNo < :Month))
Order By M.BalanceYear Desc, M.PeriodNo Desc, M.Seq Desc
