-- The FIFO movement of a document line, with whether its month is calculated (the month
-- balance is written with the costs) and, for a receipt from a work order, that work order
-- as CALCULATE_WorkOrderFIFO last costed it. The opening layers of a year (period 0) repeat
-- the receipt they came from and are left out. Price is the cost per unit of the line, worked
-- out as Calculate_FIFO2 writes it.
Select M.Product, M.BalanceYear, M.PeriodNo, M.Seq, M.Kind, M.Valuation, M.MovementDate,
  M.Fraction, M.Quantity, M.DocumentAmount, M.Amount, M.UnitCost, M.ShortQuantity,
  M.ShortAmount, M.AppliedAmount, M.Amount - M.AppliedAmount As NoStockAmount,
  Convert(Money, M.UnitCost * M.Fraction) As Price,
  (Select Count(*) From FifoMonthBalance B
   Where B.Product = M.Product And B.BalanceYear = M.BalanceYear
     And B.PeriodNo = M.PeriodNo) As Calculated,
  F.WorkOrderHd, W.WorkOrderNo, C.TotalAmount As WorkOrderAmount,
  C.FinishedBaseQuantity As WorkOrderQuantity
From FifoMovement M
Left Join MFGFinishDt F On M.SourceTable = 'MFGFinishDt' And F.Id = M.SourceId
Left Join WorkOrderHd W On W.Id = F.WorkOrderHd
Left Join FifoWorkOrderCost C On C.WorkOrderHd = F.WorkOrderHd
Where M.SourceTable = :Table And M.SourceId = :Id And M.PeriodNo > 0
Order By M.BalanceYear Desc, M.PeriodNo Desc, M.Seq
