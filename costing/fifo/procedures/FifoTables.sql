-- The tables the FIFO costing keeps in a company database. Installing them again keeps what
-- they hold: each table is created only when it is missing.
--
-- FifoMovement: every movement of a product in a month, in the order the costing takes them
-- (period 0 holds the layers a year opens with). Kind R is a receipt and makes a layer, V
-- changes the value of the stock without a quantity (supplier notes), I is an issue. Quantity
-- is in base units. Amount is a layer's value, a value change's amount or an issue's cost of
-- goods sold; DocumentAmount what the document says the receipt is worth (for finished goods
-- the provisional value until the work order is costed). Valuation says where a receipt's
-- value comes from: D its document, R the cost at which the goods left (returns), W the work
-- order that made it.
If Object_Id('FifoMovement') Is Null
Begin
  Create Table FifoMovement (
    Product Int Not Null,
    BalanceYear Int Not Null,
    PeriodNo Int Not Null,
    Seq Int Not Null,
    Kind Char(1) Not Null,
    Valuation Char(1) Null,
    MovementDate DateTime Null,
    SourceTable VarChar(20) Not Null,
    SourceId Int Not Null,
    ProductUnits Int Null,
    Fraction Float Null,
    Quantity Decimal(28,6) Not Null,
    DocumentAmount Money Null,
    Amount Money Null,
    UnitCost Decimal(28,4) Null,
    ShortQuantity Decimal(28,6) Null,
    ShortAmount Money Null,
    AppliedAmount Money Null,
    ReceivedTo Decimal(28,6) Null,
    ConsumedFrom Decimal(28,6) Null,
    ConsumedTo Decimal(28,6) Null,
    Primary Key (Product, BalanceYear, PeriodNo, Seq)
  )
  Create Index FifoMovement_Source On FifoMovement (SourceTable, SourceId)
  Create Index FifoMovement_Product_Kind On FifoMovement (Product, Kind, BalanceYear, PeriodNo, Seq)
End
Go
-- FifoConsumption: the layers each issue took, with the quantity and the value taken.
If Object_Id('FifoConsumption') Is Null
Begin
  Create Table FifoConsumption (
    Product Int Not Null,
    BalanceYear Int Not Null,
    PeriodNo Int Not Null,
    IssueSeq Int Not Null,
    LayerPeriod Int Not Null,
    LayerSeq Int Not Null,
    Quantity Decimal(28,6) Not Null,
    Amount Money Not Null,
    Primary Key (Product, BalanceYear, PeriodNo, IssueSeq, LayerPeriod, LayerSeq)
  )
End
Go
-- FifoLayerBalance: what is left of each layer at the end of a month (period 0: the year's
-- opening layers), only layers with a quantity left.
If Object_Id('FifoLayerBalance') Is Null
Begin
  Create Table FifoLayerBalance (
    Product Int Not Null,
    BalanceYear Int Not Null,
    PeriodNo Int Not Null,
    LayerPeriod Int Not Null,
    LayerSeq Int Not Null,
    Quantity Decimal(28,6) Not Null,
    Amount Money Not Null,
    Primary Key (Product, BalanceYear, PeriodNo, LayerPeriod, LayerSeq)
  )
End
Go
-- FifoMonthBalance: a product's month in figures. Opening + Received - Issued = Closing, in
-- quantity and value; Issued is what left the layers, Short what was issued beyond the stock
-- (valued at the last cost known), ValueDifference the part of supplier notes that found no
-- stock to change. LastUnitCost is the cost of the last layer consumed so far, for shortages.
-- CaughtUp is 1 for a month that the month run did not list for the product, calculated when
-- a later month was.
If Object_Id('FifoMonthBalance') Is Null
Begin
  Create Table FifoMonthBalance (
    Product Int Not Null,
    BalanceYear Int Not Null,
    PeriodNo Int Not Null,
    OpeningQuantity Decimal(28,6) Not Null,
    OpeningAmount Money Not Null,
    ReceivedQuantity Decimal(28,6) Not Null,
    ReceivedAmount Money Not Null,
    IssuedQuantity Decimal(28,6) Not Null,
    IssuedAmount Money Not Null,
    ShortQuantity Decimal(28,6) Not Null,
    ShortAmount Money Not Null,
    ClosingQuantity Decimal(28,6) Not Null,
    ClosingAmount Money Not Null,
    ValueDifference Money Not Null,
    LastUnitCost Decimal(28,4) Null,
    CaughtUp Int Not Null,
    Primary Key (Product, BalanceYear, PeriodNo)
  )
End
Go
-- FifoWorkOrderCost: a work order's cost as CALCULATE_WorkOrderFIFO last worked it out: the
-- material issued less the material returned, the bill's expenses, and the quantity finished
-- in the work order's units (as WorkOrderHd.CostAVG divides by it) and in base units (as its
-- finished goods share the total).
If Object_Id('FifoWorkOrderCost') Is Null
Begin
  Create Table FifoWorkOrderCost (
    WorkOrderHd Int Not Null Primary Key,
    MaterialAmount Money Not Null,
    ExpenseAmount Money Not Null,
    TotalAmount Money Not Null,
    FinishedQuantity Float Not Null,
    FinishedBaseQuantity Decimal(28,6) Not Null,
    UnitCost Decimal(28,4) Null
  )
End
Go
