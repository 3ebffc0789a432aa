-- The roots of the work orders closed in the month (finished, when not closed), each root
-- once, in the order they were started. The chain of MasterWorkOrder references is followed
-- as SeekMasterWorkOrder follows it, at most 32 levels deep (the nesting limit of the
-- server). A chain that names a missing work order has no root.
With Recursive Chain (WorkOrderNo, MasterWorkOrder, Depth) As (
  Select W.WorkOrderNo, W.MasterWorkOrder, 1
  From WorkOrderHd W
  Where W.Delflag = 'N'
  And Year(IsNull(W.Closedate, W.FinishDate)) = :Year
  And Month(IsNull(W.Closedate, W.FinishDate)) = :Month
  Union All
  Select M.WorkOrderNo, M.MasterWorkOrder, C.Depth + 1
  From Chain C Join WorkOrderHd M On M.Id = C.MasterWorkOrder
  Where C.Depth < 32
)
Select W.WorkOrderNo, W.WorkDate, IsNull(W.Closedate, W.FinishDate) As FinishDate
From WorkOrderHd W
Where W.WorkOrderNo In (Select C.WorkOrderNo From Chain C Where C.MasterWorkOrder Is Null)
Union All
-- A chain longer than that, or one that goes round in a circle, fails as the server fails.
Select Convert(Int, 'Maximum stored procedure, function, trigger, or view nesting level exceeded (limit 32).'), Null, Null
Where Exists (Select * From Chain C Where C.Depth = 32 And C.MasterWorkOrder Is Not Null)
Order By 2, 1
