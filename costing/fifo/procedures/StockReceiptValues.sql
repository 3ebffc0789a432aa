-- The receipts of one product in a month, one row per document line (per set record for
-- assemblies), valued as the average cost values them: imports at their cost, purchase-type
-- documents at the net line amount (the line's share of the document discounts taken off, VAT
-- taken out when the prices include it), transfers in at their total, sets at the cost of
-- their component list. Purchase returns take quantity and value out; supplier notes change
-- the value only. The FIFO receipts take their values from here, and stockcost-admin check
-- holds the average-cost ledger to it, so that both methods value a receipt alike.
-- Quantity is in base units, Amount in company currency without VAT. Deleted documents are
-- left out (Delflag is returned: the average cost takes only 'N'). Components counts the
-- component-list rows a set record was valued from: the average cost leaves out set records
-- without any.
If Object_Id('StockReceiptValues') Is Not Null
  Drop Procedure StockReceiptValues
Go
Create Procedure StockReceiptValues
  @Year Int,
  @Month Int,
  @PId Int
As
Begin
  Set NoCount On
  Declare @From DateTime, @To DateTime
  Set @From = DateAdd(Month, @Month - 1, DateAdd(Year, @Year - 1900, 0))
  Set @To = DateAdd(Month, 1, @From)

  Select R.SourceTable, R.SourceId, R.ProductUnits, R.Warehouse, R.ReceiptDate, R.Delflag,
    R.Quantity, Convert(Money, R.Amount) As Amount, R.GroupQuantity, R.Components
  From (
    -- นำเข้าจากต่างประเทศ
    Select 'imdt' As SourceTable, D.Id As SourceId, D.ProductUnits, D.Warehouse,
      H.imdate As ReceiptDate, H.delflag As Delflag, D.Quantity * U.Fraction As Quantity,
      Convert(Float, Round(D.Cost, 2)) As Amount, Convert(Float, Null) As GroupQuantity,
      1 As Components
    From imdt D
    Join imhd H On H.Id = D.imhd
    Join ProductUnits U On U.Id = D.ProductUnits
    Where D.Product = @PId And IsNull(H.delflag, 'N') <> 'Y'
      And H.imdate >= @From And H.imdate < @To

    Union All
    -- Purchase-type documents at the net line amount. Price_IE (and TranType below) are named
    -- without their table: the suite keeps each in one table of the document's pair, which
    -- one is not the same in every installation.
    Select P.SourceTable, P.SourceId, P.ProductUnits, P.Warehouse, P.ReceiptDate, P.Delflag,
      P.Quantity,
      P.AmountSign *
      Case When P.Price_IE = 'I'
             Then Round(Convert(Float,
                    Case When P.DocTotal = 0 Then 0
                         Else Convert(Decimal(28,2), IsNull(P.Total, 0)
                                - Convert(Decimal(28,2),
                                    Convert(Float, IsNull(P.Total, 0)) * P.Disc / P.DocTotal))
                    End) * 100 / (100 + P.TaxRate), 2)
           When P.Price_IE = 'E'
             Then Round(
                    Case When P.DocTotal = 0 Then 0
                         Else Convert(Decimal(28,2), IsNull(P.Total, 0)
                                - Convert(Decimal(28,2),
                                    Convert(Float, IsNull(P.Total, 0)) * P.Disc / P.DocTotal))
                    End, 2)
      End,
      Convert(Float, Null), 1
    From (
      -- MR ซื้อเชื่อ
      Select 'MRDT' As SourceTable, D.Id As SourceId, D.ProductUnits, D.Warehouse,
        H.MRDATE As ReceiptDate, H.Delflag, D.Quantity * U.Fraction As Quantity,
        1 As AmountSign, D.Total,
        (Select Convert(Money, Sum(T.Total)) From MRDT T Where T.MRHD = H.Id) As DocTotal,
        Convert(Money, IsNull(H.DiscAmt1, 0) + IsNull(H.DiscAmt2, 0) + IsNull(H.DiscAmt3, 0))
          As Disc,
        Price_IE, H.TaxRate
      From MRDT D
      Join MRHD H On H.Id = D.MRHD
      Join ProductUnits U On U.Id = D.ProductUnits
      Where D.Product = @PId And IsNull(H.Delflag, 'N') <> 'Y'
        And H.MRDATE >= @From And H.MRDATE < @To
      Union All
      -- PC ซื้อสด
      Select 'PCDT', D.Id, D.ProductUnits, D.Warehouse, H.PCDATE, H.Delflag,
        D.Quantity * U.Fraction, 1, D.Total,
        (Select Convert(Money, Sum(T.Total)) From PCDT T Where T.PCHD = H.Id),
        Convert(Money, IsNull(H.DiscAmt1, 0) + IsNull(H.DiscAmt2, 0) + IsNull(H.DiscAmt3, 0)),
        Price_IE, H.TaxRate
      From PCDT D
      Join PCHD H On H.Id = D.PCHD
      Join ProductUnits U On U.Id = D.ProductUnits
      Where D.Product = @PId And IsNull(H.Delflag, 'N') <> 'Y'
        And H.PCDATE >= @From And H.PCDATE < @To
      Union All
      -- PRDT: purchase returns take quantity and value out
      Select 'PRDT', D.Id, D.ProductUnits, D.Warehouse, H.PRDATE, H.Delflag,
        -(D.Quantity * U.Fraction), -1, D.Total,
        (Select Convert(Money, Sum(T.Total)) From PRDT T Where T.PRHD = H.Id),
        Convert(Money, IsNull(H.DiscAmt1, 0) + IsNull(H.DiscAmt2, 0) + IsNull(H.DiscAmt3, 0)),
        Price_IE, H.TaxRate
      From PRDT D
      Join PRHD H On H.Id = D.PRHD
      Join ProductUnits U On U.Id = D.ProductUnits
      Where D.Product = @PId And IsNull(H.Delflag, 'N') <> 'Y'
        And H.PRDATE >= @From And H.PRDATE < @To
      Union All
      -- VCN ลดหนี้เจ้าหนี้ กรณีลดราคาสินค้าที่คิดผิด: เปลี่ยนมูลค่า Stock เท่านั้น
      Select 'VCNDT', D.Id, D.ProductUnits, D.Warehouse, H.CDDATE, H.Delflag, 0, -1, D.Total,
        (Select Convert(Money, Sum(T.Total)) From VCNDT T Where T.VCNHD = H.Id),
        Convert(Money, IsNull(H.DiscAmt1, 0) + IsNull(H.DiscAmt2, 0) + IsNull(H.DiscAmt3, 0)),
        Price_IE, H.TaxRate
      From VCNDT D
      Join VCNHD H On H.Id = D.VCNHD
      Join ProductUnits U On U.Id = D.ProductUnits
      Where D.Product = @PId And IsNull(H.Delflag, 'N') <> 'Y' And H.PrHd Is Null
        And H.CDDATE >= @From And H.CDDATE < @To
      Union All
      -- VDN เพิ่มหนี้เจ้าหนี้ กรณีเพิ่มราคาสินค้าที่คิดผิด: เปลี่ยนมูลค่า Stock เท่านั้น
      Select 'VDNDT', D.Id, D.ProductUnits, D.Warehouse, H.CDDATE, H.Delflag, 0, 1, D.Total,
        (Select Convert(Money, Sum(T.Total)) From VDNDT T Where T.VDNHD = H.Id),
        Convert(Money, IsNull(H.DiscAmt1, 0) + IsNull(H.DiscAmt2, 0) + IsNull(H.DiscAmt3, 0)),
        Price_IE, H.TaxRate
      From VDNDT D
      Join VDNHD H On H.Id = D.VDNHD
      Join ProductUnits U On U.Id = D.ProductUnits
      Where D.Product = @PId And IsNull(H.Delflag, 'N') <> 'Y'
        And H.CDDATE >= @From And H.CDDATE < @To
      Union All
      -- POSRDT
      Select 'POSRDT', D.Id, D.ProductUnits, D.Warehouse, H.SRDATE, H.Delflag,
        D.Quantity * U.Fraction, 1, D.Total,
        (Select Convert(Money, Sum(T.Total)) From POSRDT T Where T.POSRHD = H.Id),
        Convert(Money, IsNull(H.DiscAmt1, 0) + IsNull(H.DiscAmt2, 0) + IsNull(H.DiscAmt3, 0)),
        Price_IE, H.TaxRate
      From POSRDT D
      Join POSRHD H On H.Id = D.POSRHD
      Join ProductUnits U On U.Id = D.ProductUnits
      Where D.Product = @PId And IsNull(H.Delflag, 'N') <> 'Y'
        And H.SRDATE >= @From And H.SRDATE < @To
    ) P

    Union All
    -- โอนรับสินค้าจากสาขา
    Select 'TranBranchDT', D.Id, D.ProductUnits, D.Warehouse, H.TranDATE, H.Delflag,
      D.Quantity * U.Fraction, D.Total, Convert(Float, Null), 1
    From TranBranchDT D
    Join TranBranchHD H On H.Id = D.TranBranchHD
    Join ProductUnits U On U.Id = D.ProductUnits
    Where D.Product = @PId And IsNull(H.Delflag, 'N') <> 'Y' And TranType = 'I'
      And H.TranDATE >= @From And H.TranDATE < @To

    Union All
    -- บันทึกประกอบชุด: the set at the cost of its component list
    Select 'ProductAssemblyHd', H.Id, H.ProductUnits, H.Warehouse, H.PaDate, H.Delflag,
      H.Quantity * U.Fraction, IsNull(Sum(IsNull(C.Quantity * C.Cost, 0)), 0),
      Convert(Float, Null), Count(C.Id)
    From ProductAssemblyHd H
    Join ProductUnits U On U.Id = H.ProductUnits
    Left Join ProductComponentDt C On C.ProductComponentHd = H.ProductComponentHd
    Where H.Product = @PId And IsNull(H.Delflag, 'N') <> 'Y' And H.PaType = 'A'
      And H.PaDate >= @From And H.PaDate < @To
    Group By H.Id, H.ProductUnits, H.Warehouse, H.PaDate, H.Delflag, H.Quantity, U.Fraction

    Union All
    -- บันทึกแยกสินค้าชุด: a component taken out of a set, at its cost in the component list
    Select 'ProductAssemblyDt', L.Id, L.ProductUnits, L.Warehouse, L.PaDate, H.Delflag,
      L.Quantity * U.Fraction, IsNull(Sum(IsNull(C.Quantity * C.Cost, 0)), 0), H.Quantity,
      Count(C.Id)
    From ProductAssemblyDt L
    Join ProductAssemblyHd H On H.Id = L.ProductAssemblyHd
    Join ProductUnits U On U.Id = L.ProductUnits
    Left Join ProductComponentDt C
      On C.ProductComponentHd = H.ProductComponentHd And C.Product = L.Product
    Where L.Product = @PId And IsNull(H.Delflag, 'N') <> 'Y' And L.PaType = 'D'
      And L.PaDate >= @From And L.PaDate < @To
    Group By L.Id, L.ProductUnits, L.Warehouse, L.PaDate, H.Delflag, L.Quantity, U.Fraction,
      H.Quantity
  ) R
End
Go
