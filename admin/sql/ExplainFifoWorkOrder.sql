-- A work order as CALCULATE_WorkOrderFIFO last costed it (no cost row when it never ran for
-- the work order), with the cost written into it.
Select W.WorkOrderNo, W.CostAVG, C.WorkOrderHd, C.MaterialAmount, C.ExpenseAmount,
  C.TotalAmount, C.FinishedQuantity, C.UnitCost
From WorkOrderHd W
Left Join FifoWorkOrderCost C On C.WorkOrderHd = W.Id
Where W.Id = :Id
