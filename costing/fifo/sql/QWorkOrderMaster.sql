-- The root work orders of the month. Every work order not deleted that was closed in the
-- month (finished, when it has no close date) puts the root of its master chain in the list,
-- each root once, whichever month the root itself ended in. Ordered by work date, then number.
-- The numbers are read back from WorkOrderHd, as SeekMasterWorkOrder pads them with blanks.
-- The list takes the collation of the company database rather than that of tempdb, so that it
-- compares with the numbers of WorkOrderHd on a server of another collation too. These
-- comments hold no quote marks or colons, which the parameter parser would take for SQL.
Set NoCount On
Declare @Year Int, @Month Int, @WorkNo VarChar(60), @MasterWorkOrderNo VarChar(60)
Select @Year = :Year, @Month = :Month
Declare @Roots Table (WorkOrderNo VarChar(60) Collate Database_Default)
Declare WorkOrders Cursor Local For
  Select W.WorkOrderNo From WorkOrderHd W
  Where W.Delflag = 'N'
  And Year(Coalesce(W.Closedate, W.FinishDate)) = @Year
  And Month(Coalesce(W.Closedate, W.FinishDate)) = @Month
Open WorkOrders
Fetch Next From WorkOrders Into @WorkNo
While @@Fetch_Status = 0
Begin
  Exec SeekMasterWorkOrder @WorkNo, @MasterWorkOrderNo Output
  Insert Into @Roots (WorkOrderNo) Values (@MasterWorkOrderNo)
  Fetch Next From WorkOrders Into @WorkNo
End
Close WorkOrders
Deallocate WorkOrders
Select Distinct W.WorkOrderNo, W.WorkDate, Coalesce(W.Closedate, W.FinishDate) As FinishDate
From @Roots R Join WorkOrderHd W On W.WorkOrderNo = R.WorkOrderNo
Order By W.WorkDate, W.WorkOrderNo
