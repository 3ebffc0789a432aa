-- The company data database as a test or demo installation needs it: every table and column
-- the costing reads or writes, with indexes on the columns its procedures filter and join on.
-- The receipt line tables are indexed by product with the columns the costing reads, so that a
-- product's lines come from one stretch of the index, and on their header with the line total,
-- so that a document's total is summed from the index alone; their headers are indexed on Id
-- and Delflag with the columns the costing reads, so that a line's header is checked (deleted,
-- in the month) without reading the header row.
-- Every Id is an integer key an insert gives explicitly; every other column is nullable or has
-- a default. Config has no CalculateCost columns: the calculation windows add them.
-- Batches are separated by lines "Go".
Create Type IdNo From Int Null
Go
Create Type CharFlag From Char(1) Null
Go
Create Table Product (
  Id IdNo Not Null Primary Key,
  Code VarChar(20) Not Null,
  ThaiName VarChar(100) Null,
  EngName VarChar(100) Null,
  Negative Char(1) Null
)
Go
Create Table ProductUnits (
  Id IdNo Not Null Primary Key,
  Product IdNo Null,
  Code VarChar(20) Null,
  Fraction Float Null
)
Go
Create Table Warehouse (
  Id IdNo Not Null Primary Key,
  Code VarChar(20) Null,
  Description VarChar(100) Null
)
Go
Create Table Misc (
  Id IdNo Not Null Primary Key,
  Code VarChar(20) Null,
  Description VarChar(100) Null
)
Go
Create Table Config (
  Id IdNo Not Null Primary Key,
  CalStockMethod Int Null,
  MainCurrencyId IdNo Null,
  CompanyName VarChar(100) Null
)
Go
Create Table AccountPeriod (
  AccountYear IdNo Not Null Primary Key,
  Start1 DateTime Null,
  Start2 DateTime Null,
  Start3 DateTime Null,
  Start4 DateTime Null,
  Start5 DateTime Null,
  Start6 DateTime Null,
  Start7 DateTime Null,
  Start8 DateTime Null,
  Start9 DateTime Null,
  Start10 DateTime Null,
  Start11 DateTime Null,
  Start12 DateTime Null,
  Stop1 DateTime Null,
  Stop2 DateTime Null,
  Stop3 DateTime Null,
  Stop4 DateTime Null,
  Stop5 DateTime Null,
  Stop6 DateTime Null,
  Stop7 DateTime Null,
  Stop8 DateTime Null,
  Stop9 DateTime Null,
  Stop10 DateTime Null,
  Stop11 DateTime Null,
  Stop12 DateTime Null
)
Go
Create Table CloseGlHistory (
  Year IdNo Not Null Primary Key,
  LastPost Int Null,
  LastCloseCost Int Null
)
Go
Create Table ProductOnhand (
  Product IdNo Not Null,
  Warehouse IdNo Null,
  BalanceYear IdNo Not Null,
  PeriodNo IdNo Not Null,
  Quantity Float Null
)
Go
Create Table ProductCostAVG (
  Product IdNo Not Null,
  ProductUnits IdNo Not Null,
  PeriodNo IdNo Not Null,
  BalanceYear IdNo Not Null,
  PurcQnty Float Null,
  PurcAmount Money Null,
  CostAvg Decimal(28,4) Null,
  Primary Key (Product, ProductUnits, PeriodNo, BalanceYear)
)
Go
Create Table imhd (
  Id IdNo Not Null Primary Key,
  imdate DateTime Null,
  DocNo VarChar(20) Null,
  delflag Char(1) Null
)
Go
Create Table imdt (
  Id IdNo Not Null Primary Key,
  imhd IdNo Null,
  Product IdNo Null,
  ProductUnits IdNo Null,
  Warehouse IdNo Null,
  Quantity Float Null,
  Cost Money Null
)
Go
Create Table MRHD (
  Id IdNo Not Null Primary Key,
  MRDATE DateTime Null,
  DocNo VarChar(20) Null,
  Delflag Char(1) Null,
  DiscAmt1 Money Null,
  DiscAmt2 Money Null,
  DiscAmt3 Money Null,
  TaxRate Float Null,
  Price_IE Char(1) Null
)
Go
Create Table MRDT (
  Id IdNo Not Null Primary Key,
  MRHD IdNo Null,
  Product IdNo Null,
  ProductUnits IdNo Null,
  Warehouse IdNo Null,
  Quantity Float Null,
  Price Money Null,
  Total Money Null,
  MrDate DateTime Null
)
Go
Create Table PCHD (
  Id IdNo Not Null Primary Key,
  PCDATE DateTime Null,
  DocNo VarChar(20) Null,
  Delflag Char(1) Null,
  DiscAmt1 Money Null,
  DiscAmt2 Money Null,
  DiscAmt3 Money Null,
  TaxRate Float Null,
  Price_IE Char(1) Null
)
Go
Create Table PCDT (
  Id IdNo Not Null Primary Key,
  PCHD IdNo Null,
  Product IdNo Null,
  ProductUnits IdNo Null,
  Warehouse IdNo Null,
  Quantity Float Null,
  Price Money Null,
  Total Money Null,
  PcDate DateTime Null
)
Go
Create Table PRHD (
  Id IdNo Not Null Primary Key,
  PRDATE DateTime Null,
  DocNo VarChar(20) Null,
  Delflag Char(1) Null,
  DiscAmt1 Money Null,
  DiscAmt2 Money Null,
  DiscAmt3 Money Null,
  TaxRate Float Null,
  Price_IE Char(1) Null
)
Go
Create Table PRDT (
  Id IdNo Not Null Primary Key,
  PRHD IdNo Null,
  Product IdNo Null,
  ProductUnits IdNo Null,
  Warehouse IdNo Null,
  Quantity Float Null,
  Price Money Null,
  Total Money Null
)
Go
Create Table VCNHD (
  Id IdNo Not Null Primary Key,
  CDDATE DateTime Null,
  DocNo VarChar(20) Null,
  Delflag Char(1) Null,
  DiscAmt1 Money Null,
  DiscAmt2 Money Null,
  DiscAmt3 Money Null,
  TaxRate Float Null,
  Price_IE Char(1) Null,
  PrHd IdNo Null
)
Go
Create Table VCNDT (
  Id IdNo Not Null Primary Key,
  VCNHD IdNo Null,
  Product IdNo Null,
  ProductUnits IdNo Null,
  Warehouse IdNo Null,
  Quantity Float Null,
  Price Money Null,
  Total Money Null
)
Go
Create Table VDNHD (
  Id IdNo Not Null Primary Key,
  CDDATE DateTime Null,
  DocNo VarChar(20) Null,
  Delflag Char(1) Null,
  DiscAmt1 Money Null,
  DiscAmt2 Money Null,
  DiscAmt3 Money Null,
  TaxRate Float Null,
  Price_IE Char(1) Null
)
Go
Create Table VDNDT (
  Id IdNo Not Null Primary Key,
  VDNHD IdNo Null,
  Product IdNo Null,
  ProductUnits IdNo Null,
  Warehouse IdNo Null,
  Quantity Float Null,
  Price Money Null,
  Total Money Null
)
Go
Create Table POSRHD (
  Id IdNo Not Null Primary Key,
  SRDATE DateTime Null,
  DocNo VarChar(20) Null,
  Delflag Char(1) Null,
  DiscAmt1 Money Null,
  DiscAmt2 Money Null,
  DiscAmt3 Money Null,
  TaxRate Float Null,
  Price_IE Char(1) Null
)
Go
Create Table POSRDT (
  Id IdNo Not Null Primary Key,
  POSRHD IdNo Null,
  Product IdNo Null,
  ProductUnits IdNo Null,
  Warehouse IdNo Null,
  Quantity Float Null,
  Price Money Null,
  Total Money Null,
  SrDate DateTime Null
)
Go
Create Table TranBranchHD (
  Id IdNo Not Null Primary Key,
  TranDATE DateTime Null,
  DocNo VarChar(20) Null,
  Delflag Char(1) Null,
  TranType Char(1) Null
)
Go
Create Table TranBranchDT (
  Id IdNo Not Null Primary Key,
  TranBranchHD IdNo Null,
  Product IdNo Null,
  ProductUnits IdNo Null,
  Warehouse IdNo Null,
  Quantity Float Null,
  Total Money Null
)
Go
Create Table ProductComponentHd (
  Id IdNo Not Null Primary Key,
  Product IdNo Null,
  Description VarChar(100) Null
)
Go
Create Table ProductComponentDt (
  Id IdNo Not Null Primary Key,
  ProductComponentHd IdNo Null,
  Product IdNo Null,
  ProductUnits IdNo Null,
  Quantity Float Null,
  Cost Money Null
)
Go
Create Table ProductAssemblyHd (
  Id IdNo Not Null Primary Key,
  Product IdNo Null,
  ProductUnits IdNo Null,
  Warehouse IdNo Null,
  PaDate DateTime Null,
  Quantity Float Null,
  PaType Char(1) Null,
  Delflag Char(1) Null,
  ProductComponentHd IdNo Null
)
Go
Create Table ProductAssemblyDt (
  Id IdNo Not Null Primary Key,
  ProductAssemblyHd IdNo Null,
  Product IdNo Null,
  ProductUnits IdNo Null,
  Warehouse IdNo Null,
  PaDate DateTime Null,
  Quantity Float Null,
  PaType Char(1) Null
)
Go
Create Table SRHD (
  Id IdNo Not Null Primary Key,
  SRDATE DateTime Null,
  DocNo VarChar(20) Null,
  Delflag Char(1) Null,
  SrType Char(1) Null
)
Go
Create Table SRDT (
  Id IdNo Not Null Primary Key,
  SRHD IdNo Null,
  Product IdNo Null,
  ProductUnits IdNo Null,
  Warehouse IdNo Null,
  Quantity Float Null,
  SrDate DateTime Null,
  Price Money Null,
  Total Money Null
)
Go
Create Table IsHd (
  Id IdNo Not Null Primary Key,
  IsDate DateTime Null,
  DocNo VarChar(20) Null,
  Delflag Char(1) Null
)
Go
Create Table Isdt (
  Id IdNo Not Null Primary Key,
  IsHd IdNo Null,
  Product IdNo Null,
  ProductUnits IdNo Null,
  Warehouse IdNo Null,
  Quantity Float Null,
  IsDate DateTime Null,
  Fraction Float Null,
  Price Money Null
)
Go
Create Table RiHd (
  Id IdNo Not Null Primary Key,
  RiDate DateTime Null,
  DocNo VarChar(20) Null,
  Delflag Char(1) Null
)
Go
Create Table Ridt (
  Id IdNo Not Null Primary Key,
  RiHd IdNo Null,
  Product IdNo Null,
  ProductUnits IdNo Null,
  Warehouse IdNo Null,
  Quantity Float Null,
  RiDate DateTime Null,
  Fraction Float Null,
  Price Money Null
)
Go
Create Table AdjuststockHd (
  Id IdNo Not Null Primary Key,
  AdjDate DateTime Null,
  DocNo VarChar(20) Null,
  Delflag Char(1) Null
)
Go
Create Table AdjuststockDt (
  Id IdNo Not Null Primary Key,
  AdjuststockHd IdNo Null,
  Product IdNo Null,
  ProductUnits IdNo Null,
  Warehouse IdNo Null,
  Quantity Float Null,
  Fraction Float Null,
  Price Money Null
)
Go
Create Table IvHd (
  Id IdNo Not Null Primary Key,
  IvDate DateTime Null,
  DocNo VarChar(20) Null,
  Delflag Char(1) Null
)
Go
Create Table IvDt (
  Id IdNo Not Null Primary Key,
  IvHd IdNo Null,
  Product IdNo Null,
  ProductUnits IdNo Null,
  Warehouse IdNo Null,
  Quantity Float Null,
  IvDate DateTime Null,
  Price Money Null
)
Go
Create Table PosHd (
  Id IdNo Not Null Primary Key,
  PosDate DateTime Null,
  DocNo VarChar(20) Null,
  Delflag Char(1) Null
)
Go
Create Table PosDt (
  Id IdNo Not Null Primary Key,
  PosHd IdNo Null,
  Product IdNo Null,
  ProductUnits IdNo Null,
  Warehouse IdNo Null,
  Quantity Float Null,
  PosDate DateTime Null,
  Price Money Null
)
Go
Create Table MfgExpense (
  Id IdNo Not Null Primary Key,
  Code VarChar(20) Null,
  Description VarChar(100) Null
)
Go
Create Table BomHd (
  Id IdNo Not Null Primary Key,
  Code VarChar(20) Null,
  Product IdNo Null,
  BomAssembly CharFlag Null,
  ProductUnits IdNo Null
)
Go
Create Table BomDt (
  Id IdNo Not Null Primary Key,
  BomHd IdNo Null,
  RmType Char(1) Null,
  Product IdNo Null,
  Quantity Float Null,
  StdCost Money Null,
  MfgExpense IdNo Null
)
Go
Create Table WorkOrderHd (
  Id IdNo Not Null Primary Key,
  WorkOrderNo VarChar(20) Not Null,
  MasterWorkOrder IdNo Null,
  BomHd IdNo Null,
  FinishedGoods IdNo Null,
  ProductUnits IdNo Null,
  Warehouse IdNo Null,
  QUANTITY1 Float Null,
  WorkDate DateTime Null,
  FinishDate DateTime Null,
  Closedate DateTime Null,
  Delflag Char(1) Null,
  Clear Char(1) Null,
  CostAVG Decimal(28,4) Null
)
Go
Create Table WorkOrderDt (
  Id IdNo Not Null Primary Key,
  WorkOrderHd IdNo Null,
  Product IdNo Null,
  ProductUnits IdNo Null,
  Warehouse IdNo Null,
  QUANTITY1 Float Null,
  CostAVG Decimal(28,4) Null
)
Go
Create Table MFGISHD (
  Id IdNo Not Null Primary Key,
  WorkOrderHd IdNo Null,
  MfgIsDate DateTime Null,
  DocNo VarChar(20) Null,
  Delflag Char(1) Null
)
Go
Create Table MFGISDT (
  Id IdNo Not Null Primary Key,
  MFGISHD IdNo Null,
  Product IdNo Null,
  ProductUnits IdNo Null,
  Warehouse IdNo Null,
  Quantity Float Null,
  Fraction Float Null,
  MfgIsDate DateTime Null,
  CostAVG Decimal(28,4) Null,
  Price Money Null
)
Go
Create Table MFGRIHD (
  Id IdNo Not Null Primary Key,
  WorkOrderHd IdNo Null,
  MfgRiDate DateTime Null,
  DocNo VarChar(20) Null,
  Delflag Char(1) Null
)
Go
Create Table MFGRIDT (
  Id IdNo Not Null Primary Key,
  MFGRIHD IdNo Null,
  Product IdNo Null,
  ProductUnits IdNo Null,
  Warehouse IdNo Null,
  Quantity Float Null,
  Fraction Float Null,
  MfgRiDate DateTime Null,
  CostAVG Decimal(28,4) Null,
  Price Money Null
)
Go
Create Table MFGFinishDt (
  Id IdNo Not Null Primary Key,
  WorkOrderHd IdNo Null,
  WorkOrderDt IdNo Null,
  Product IdNo Null,
  ProductUnits IdNo Null,
  Warehouse IdNo Null,
  Quantity Float Null,
  Fraction Float Null,
  Cost Money Null,
  BomAssembly CharFlag Null,
  FinishDate DateTime Null,
  Price Money Null
)
Go
Create Index Product_Code On Product (Code)
Go
Create Index ProductUnits_Product On ProductUnits (Product)
Go
Create Index ProductOnhand_BalanceYear_PeriodNo_Product On ProductOnhand (BalanceYear, PeriodNo, Product)
Go
Create Index ProductCostAVG_BalanceYear_PeriodNo On ProductCostAVG (BalanceYear, PeriodNo)
Go
Create Index ProductCostAVG_ProductUnits_BalanceYear On ProductCostAVG (ProductUnits, BalanceYear)
Go
Create Index ProductCostAVG_Product_BalanceYear_PeriodNo On ProductCostAVG (Product, BalanceYear, PeriodNo)
Go
Create Index imhd_imdate On imhd (imdate)
Go
Create Index imhd_Id_delflag On imhd (Id, delflag, imdate)
Go
Create Index imdt_Product On imdt (Product, imhd, ProductUnits, Quantity, Cost)
Go
Create Index imdt_imhd On imdt (imhd)
Go
Create Index MRHD_MRDATE On MRHD (MRDATE)
Go
Create Index MRHD_Id_Delflag On MRHD (Id, Delflag, MRDATE, DiscAmt1, DiscAmt2, DiscAmt3, Price_IE, TaxRate)
Go
Create Index MRDT_Product On MRDT (Product, MRHD, ProductUnits, Quantity, Total)
Go
Create Index MRDT_MRHD_Total On MRDT (MRHD, Total)
Go
Create Index PCHD_PCDATE On PCHD (PCDATE)
Go
Create Index PCHD_Id_Delflag On PCHD (Id, Delflag, PCDATE, DiscAmt1, DiscAmt2, DiscAmt3, Price_IE, TaxRate)
Go
Create Index PCDT_Product On PCDT (Product, PCHD, ProductUnits, Quantity, Total)
Go
Create Index PCDT_PCHD_Total On PCDT (PCHD, Total)
Go
Create Index PRHD_PRDATE On PRHD (PRDATE)
Go
Create Index PRHD_Id_Delflag On PRHD (Id, Delflag, PRDATE, DiscAmt1, DiscAmt2, DiscAmt3, Price_IE, TaxRate)
Go
Create Index PRDT_Product On PRDT (Product, PRHD, ProductUnits, Quantity, Total)
Go
Create Index PRDT_PRHD_Total On PRDT (PRHD, Total)
Go
Create Index VCNHD_CDDATE On VCNHD (CDDATE)
Go
Create Index VCNHD_Id_Delflag On VCNHD (Id, Delflag, CDDATE, PrHd, DiscAmt1, DiscAmt2, DiscAmt3, Price_IE, TaxRate)
Go
Create Index VCNDT_Product On VCNDT (Product, VCNHD, ProductUnits, Quantity, Total)
Go
Create Index VCNDT_VCNHD_Total On VCNDT (VCNHD, Total)
Go
Create Index VDNHD_CDDATE On VDNHD (CDDATE)
Go
Create Index VDNHD_Id_Delflag On VDNHD (Id, Delflag, CDDATE, DiscAmt1, DiscAmt2, DiscAmt3, Price_IE, TaxRate)
Go
Create Index VDNDT_Product On VDNDT (Product, VDNHD, ProductUnits, Quantity, Total)
Go
Create Index VDNDT_VDNHD_Total On VDNDT (VDNHD, Total)
Go
Create Index POSRHD_SRDATE On POSRHD (SRDATE)
Go
Create Index POSRHD_Id_Delflag On POSRHD (Id, Delflag, SRDATE, DiscAmt1, DiscAmt2, DiscAmt3, Price_IE, TaxRate)
Go
Create Index POSRDT_Product On POSRDT (Product, POSRHD, ProductUnits, Quantity, Total)
Go
Create Index POSRDT_POSRHD_Total On POSRDT (POSRHD, Total)
Go
Create Index TranBranchHD_TranDATE On TranBranchHD (TranDATE)
Go
Create Index TranBranchHD_Id_Delflag On TranBranchHD (Id, Delflag, TranType, TranDATE)
Go
Create Index TranBranchDT_Product On TranBranchDT (Product, TranBranchHD, ProductUnits, Quantity, Total)
Go
Create Index TranBranchDT_TranBranchHD On TranBranchDT (TranBranchHD)
Go
Create Index ProductComponentDt_ProductComponentHd_Product On ProductComponentDt (ProductComponentHd, Product)
Go
Create Index ProductAssemblyHd_Product_PaDate On ProductAssemblyHd (Product, PaDate)
Go
Create Index ProductAssemblyDt_Product_PaDate On ProductAssemblyDt (Product, PaDate)
Go
Create Index ProductAssemblyDt_ProductAssemblyHd On ProductAssemblyDt (ProductAssemblyHd)
Go
Create Index SRHD_SRDATE On SRHD (SRDATE)
Go
Create Index SRDT_Product On SRDT (Product, SRHD, ProductUnits, Quantity)
Go
Create Index SRDT_SRHD On SRDT (SRHD)
Go
Create Index Isdt_Product_IsDate On Isdt (Product, IsDate)
Go
Create Index Ridt_Product_RiDate On Ridt (Product, RiDate)
Go
Create Index AdjuststockHd_AdjDate On AdjuststockHd (AdjDate)
Go
Create Index AdjuststockDt_Product On AdjuststockDt (Product)
Go
Create Index AdjuststockDt_AdjuststockHd On AdjuststockDt (AdjuststockHd)
Go
Create Index IvDt_Product_IvDate On IvDt (Product, IvDate)
Go
Create Index PosDt_Product_PosDate On PosDt (Product, PosDate)
Go
Create Index BomDt_BomHd On BomDt (BomHd)
Go
Create Index WorkOrderHd_WorkOrderNo On WorkOrderHd (WorkOrderNo)
Go
Create Index WorkOrderHd_MasterWorkOrder On WorkOrderHd (MasterWorkOrder)
Go
Create Index WorkOrderHd_FinishedGoods_Closedate On WorkOrderHd (FinishedGoods, Closedate)
Go
Create Index WorkOrderHd_FinishDate On WorkOrderHd (FinishDate)
Go
Create Index WorkOrderHd_Closedate On WorkOrderHd (Closedate)
Go
Create Index WorkOrderDt_WorkOrderHd On WorkOrderDt (WorkOrderHd)
Go
Create Index WorkOrderDt_Product On WorkOrderDt (Product)
Go
Create Index MFGISHD_WorkOrderHd On MFGISHD (WorkOrderHd)
Go
Create Index MFGISDT_MFGISHD On MFGISDT (MFGISHD)
Go
Create Index MFGISDT_Product_MfgIsDate On MFGISDT (Product, MfgIsDate)
Go
Create Index MFGRIHD_WorkOrderHd On MFGRIHD (WorkOrderHd)
Go
Create Index MFGRIDT_MFGRIHD On MFGRIDT (MFGRIHD)
Go
Create Index MFGRIDT_Product_MfgRiDate On MFGRIDT (Product, MfgRiDate)
Go
Create Index MFGFinishDt_WorkOrderHd On MFGFinishDt (WorkOrderHd)
Go
Create Index MFGFinishDt_WorkOrderDt On MFGFinishDt (WorkOrderDt)
Go
Create Index MFGFinishDt_Product On MFGFinishDt (Product)
Go
Insert Into Misc (Id, Code, Description) Values (1, 'THB', 'บาท')
Go
Insert Into Config (Id, CalStockMethod, MainCurrencyId) Values (1, 1, 1)
Go
