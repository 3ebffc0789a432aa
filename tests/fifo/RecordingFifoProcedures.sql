-- Stand-ins for the three FIFO costing procedures, for the tests of the FIFO month run, window
-- and calculate. Each call adds a row to FifoTestCalls with its arguments, in the order the
-- calls are made. A call named in FifoTestFailures (the procedure with the product or the
-- work order) fails with an error after it has added its row, so the row shows whether the
-- run kept what a failing call wrote. FifoTestSettings.DelayMilliseconds, when set, makes
-- every call last at least that long. Batches are separated by lines "Go".
If Object_Id('FifoTestCalls') Is Null
  Create Table FifoTestCalls (
    No Int Identity(1, 1) Primary Key,
    Name VarChar(40) Not Null,
    Year Int Null,
    Month Int Null,
    PId Int Null,
    WorkNo VarChar(60) Null
  )
Go
If Object_Id('FifoTestFailures') Is Null
  Create Table FifoTestFailures (Name VarChar(40) Not Null, PId Int Null, WorkNo VarChar(60) Null)
Go
If Object_Id('FifoTestSettings') Is Null
  Create Table FifoTestSettings (DelayMilliseconds Int Null)
Go
If Object_Id('FifoTestDelay') Is Not Null Drop Procedure FifoTestDelay
Go
Create Procedure FifoTestDelay
As
Begin
  Set NoCount On
  Declare @Delay Int, @Start DateTime, @Rounds Int
  Select @Delay = Max(DelayMilliseconds) From FifoTestSettings
  Select @Start = GetDate(), @Rounds = 0
  While DateDiff(Millisecond, @Start, GetDate()) < IsNull(@Delay, 0)
    Select @Rounds = @Rounds + 1
End
Go
If Object_Id('Calculate_FIFO1') Is Not Null Drop Procedure Calculate_FIFO1
Go
Create Procedure Calculate_FIFO1 @Year Int, @Month Int, @PId Int
As
Begin
  Set NoCount On
  Insert Into FifoTestCalls (Name, Year, Month, PId) Values ('Calculate_FIFO1', @Year, @Month, @PId)
  Exec FifoTestDelay
  If Exists (Select * From FifoTestFailures Where Name = 'Calculate_FIFO1' And PId = @PId)
    RaisError('Calculate_FIFO1 cannot cost product %d', 16, 1, @PId)
End
Go
If Object_Id('Calculate_FIFO2') Is Not Null Drop Procedure Calculate_FIFO2
Go
Create Procedure Calculate_FIFO2 @Year Int, @Month Int, @PId Int
As
Begin
  Set NoCount On
  Insert Into FifoTestCalls (Name, Year, Month, PId) Values ('Calculate_FIFO2', @Year, @Month, @PId)
  Exec FifoTestDelay
  If Exists (Select * From FifoTestFailures Where Name = 'Calculate_FIFO2' And PId = @PId)
    RaisError('Calculate_FIFO2 cannot cost product %d', 16, 1, @PId)
End
Go
If Object_Id('CALCULATE_WorkOrderFIFO') Is Not Null Drop Procedure CALCULATE_WorkOrderFIFO
Go
Create Procedure CALCULATE_WorkOrderFIFO @WorkNo VarChar(60)
As
Begin
  Set NoCount On
  Insert Into FifoTestCalls (Name, WorkNo) Values ('CALCULATE_WorkOrderFIFO', @WorkNo)
  Exec FifoTestDelay
  If Exists (Select * From FifoTestFailures Where Name = 'CALCULATE_WorkOrderFIFO'
             And WorkNo = @WorkNo)
    RaisError('CALCULATE_WorkOrderFIFO cannot cost work order %s', 16, 1, @WorkNo)
End
Go
