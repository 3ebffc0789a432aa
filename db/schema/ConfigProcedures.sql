-- Procedures of the configuration database for test and demo installations on either engine.
-- Batches are separated by lines "Go".
If Object_Id('MENUCAPTION') Is Not Null Drop Procedure MENUCAPTION
Go
Create Procedure MENUCAPTION
  @MENUID Int,
  @USERID Int,
  @CAPTION VarChar(100) Output,
  @ACCESS_R Char(1) Output,
  @ADD_R Char(1) Output,
  @MODIFY_R Char(1) Output,
  @DELETE_R Char(1) Output,
  @USERCODE VarChar(20) Output,
  @SALESID Int Output
As
Begin
  Set NoCount On
  Select @CAPTION = Caption From Menu Where Id = @MENUID
  Select @USERCODE = Code, @SALESID = SalesId From UserName Where Id = @USERID
  Select @ACCESS_R = 'N', @ADD_R = 'N', @MODIFY_R = 'N', @DELETE_R = 'N'
  Select @ACCESS_R = IsNull(Access_R, 'N'), @ADD_R = IsNull(Add_R, 'N'),
         @MODIFY_R = IsNull(Modify_R, 'N'), @DELETE_R = IsNull(Delete_R, 'N')
  From UserRight Where UserName = @USERID And Menu = @MENUID
End
Go
If Object_Id('AddErrorLog') Is Not Null Drop Procedure AddErrorLog
Go
Create Procedure AddErrorLog
  @CompName VarChar(100),
  @LogName VarChar(100),
  @UserId Int,
  @MenuId Int,
  @ErrorMsg VarChar(4000)
As
Begin
  Set NoCount On
  Insert Into errorlog (Id, errordate, username, menu, compname, logname, errormsg)
  Select IsNull(Max(Id), 0) + 1, GetDate(), @UserId, @MenuId, @CompName, @LogName, @ErrorMsg
  From errorlog With (TabLockX)
End
Go
