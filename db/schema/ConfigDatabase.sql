-- The suite's configuration database as a test or demo installation needs it: companies and
-- their data databases, menu entries, users with their rights, and the error list. Menu has no
-- Version column and UserName neither UserSeeImport nor UserSeeCost: the program adds them.
-- Batches are separated by lines "Go".
Create Type IdNo From Int Null
Go
Create Type CharFlag From Char(1) Null
Go
Create Table Company (
  Id IdNo Not Null Primary Key,
  Code VarChar(20) Null,
  Password VarChar(20) Null,
  NameThai VarChar(100) Null,
  NameEng VarChar(100) Null,
  ShortName VarChar(30) Null,
  Address1 VarChar(100) Null,
  Address2 VarChar(100) Null,
  Address3 VarChar(100) Null,
  Address4 VarChar(100) Null,
  Province VarChar(50) Null,
  Zip VarChar(10) Null,
  Telephone VarChar(50) Null,
  Fax VarChar(50) Null,
  EMail VarChar(100) Null,
  Logo VarChar(200) Null,
  TaxNo VarChar(20) Null,
  InstallDate DateTime Null,
  RunYear IdNo Null,
  LocalServer VarChar(50) Null,
  FUNDNAME VarChar(100) Null,
  TaxBranchHead CharFlag Null,
  TaxBranchCode VarChar(10) Null,
  TaxBranchName VarChar(100) Null
)
Go
Create Table DatabaseList (
  Id IdNo Not Null Primary Key,
  DatabaseName VarChar(60) Not Null,
  Company IdNo Not Null,
  Description VarChar(100) Null,
  YearNo IdNo Null
)
Go
Create Unique Index DatabaseList_DatabaseName On DatabaseList (DatabaseName)
Go
Create Table Menu (
  Id IdNo Not Null Primary Key,
  Caption VarChar(100) Null,
  Command VarChar(200) Null,
  MenuOption VarChar(50) Null
)
Go
Create Table CompanyConfig (
  Company IdNo Not Null Primary Key,
  PicturePath VarChar(200) Null,
  Public_Price_IE CharFlag Null,
  DefaultWh IdNo Null,
  POS1_Wh IdNo Null,
  POS1_TaxCode VarChar(10) Null,
  POS1_Price_IE CharFlag Null,
  POS1_PriceType VarChar(10) Null,
  POS1_SumDetail CharFlag Null,
  DefaultPosComPort VarChar(10) Null,
  DefaultTax Float Null,
  DefaultPosMenuId IdNo Null
)
Go
Create Table UserName (
  Id IdNo Not Null Primary Key,
  Code VarChar(20) Not Null,
  Name VarChar(100) Null,
  SalesId IdNo Null
)
Go
Create Table UserRight (
  UserName IdNo Not Null,
  Menu IdNo Not Null,
  Access_R CharFlag Null,
  Add_R CharFlag Null,
  Modify_R CharFlag Null,
  Delete_R CharFlag Null,
  Primary Key (UserName, Menu)
)
Go
Create Table errorlog (
  Id IdNo Not Null Primary Key,
  errordate DateTime Not Null,
  username IdNo Null,
  menu IdNo Null,
  compname VarChar(100) Null,
  logname VarChar(100) Null,
  errormsg VarChar(4000) Null
)
Go
