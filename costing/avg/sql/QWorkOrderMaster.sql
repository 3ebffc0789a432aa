-- The roots of the work orders closed in the month (finished, when not closed), each root
-- once, in the order they were started.
Set NoCount On
Declare @Year Int, @Month Int, @WorkOrderNo Char(20), @MasterWorkOrderNo Char(20)
Select @Year = :Year, @Month = :Month
Declare @Roots Table (WorkOrderNo Char(20))
Declare WorkOrders Cursor Local For
  Select WorkOrderNo From WorkOrderHd
  Where Delflag = 'N'
  And Year(IsNull(Closedate, FinishDate)) = @Year
  And Month(IsNull(Closedate, FinishDate)) = @Month
Open WorkOrders
Fetch Next From WorkOrders Into @WorkOrderNo
While @@Fetch_Status = 0
Begin
  Exec SeekMasterWorkOrder @WorkOrderNo, @MasterWorkOrderNo Output
  Insert Into @Roots (WorkOrderNo) Values (@MasterWorkOrderNo)
  Fetch Next From WorkOrders Into @WorkOrderNo
End
Close WorkOrders
Deallocate WorkOrders
Select W.WorkOrderNo, W.WorkDate, IsNull(W.Closedate, W.FinishDate) As FinishDate
From WorkOrderHd W
Where W.WorkOrderNo In (Select R.WorkOrderNo From @Roots R)
Order By W.WorkDate, W.WorkOrderNo
