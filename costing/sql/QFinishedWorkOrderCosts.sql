-- The costs at which the finished goods of the month enter stock, that is of every work order
-- finished in the month, with its own unit cost and the costs of its output lines.
Select W.Id, W.WorkOrderNo, W.CostAVG, D.Id As LineId, D.CostAVG As LineCost
From WorkOrderHd W
Left Join WorkOrderDt D On D.WorkOrderHd = W.Id
Where W.Delflag = 'N' And Year(W.FinishDate) = :Year And Month(W.FinishDate) = :Month
Order By W.Id, D.Id
