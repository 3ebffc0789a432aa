-- The suite's procedures of a company data database, for test and demo installations on
-- either engine. Batches are separated by lines "Go".
If Object_Id('ServerTime') Is Not Null Drop Procedure ServerTime
Go
Create Procedure ServerTime
  @ServerTime DateTime Output
As
Begin
  Set NoCount On
  Select @ServerTime = GetDate()
End
Go
