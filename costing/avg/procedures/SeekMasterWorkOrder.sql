-- The number of the root of a work order's tree: the work order itself when it has no master
-- (also when no work order has that number), otherwise the root of its master's tree. A master
-- that names no existing work order gives a null root.
If Object_Id('SeekMasterWorkOrder') Is Not Null
  Drop Procedure SeekMasterWorkOrder
Go
Create Procedure SeekMasterWorkOrder
  @WorkOrderNo Char(20),
  @MasterWorkOrderNo Char(20) Output
As
Begin
  Set NoCount On
  -- An error ends the procedure there, instead of letting the statements after it run on
  -- what the failed one left undone.
  Set XAct_Abort On
  Declare @Master IdNo, @MasterNo Char(20)

  Set @Master = (Select MasterWorkOrder From WorkOrderHd Where WorkOrderNo = @WorkOrderNo);
  If @Master Is Null
    Set @MasterWorkOrderNo = @WorkOrderNo
  Else
  Begin
    Set @MasterNo = (Select WorkOrderNo From WorkOrderHd Where Id = @Master);
    Exec SeekMasterWorkOrder @MasterNo, @MasterWorkOrderNo Output
  End
End
Go
