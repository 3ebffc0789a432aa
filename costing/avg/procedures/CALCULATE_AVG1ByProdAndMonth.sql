-- Rebuilds one product's month in the cost ledger ProductCostAVG from its purchase-side
-- receipts: the opening row of the year gets the opening stock at its opening cost, and every
-- receipt of the month is added, in base units and in value without VAT, to one row per unit
-- of measure. No averages here: CALCULATE_AVG2ByProdAndMonth sets them.
-- A receipt whose value is null (a purchase with a VAT mode other than I or E) still adds its
-- quantity but nothing to the row's value, and never erases the value of the other receipts;
-- a row fed only by such receipts keeps a null value. Null quantities are treated alike.
If Object_Id('CALCULATE_AVG1ByProdAndMonth') Is Not Null
  Drop Procedure CALCULATE_AVG1ByProdAndMonth
Go
Create Procedure CALCULATE_AVG1ByProdAndMonth
  @Year IdNo,
  @ProdCode Char(20),
  @Month IdNo
As
Begin
  Set NoCount On
  -- An error ends the procedure there, instead of letting the statements after it run on
  -- what the failed one left undone.
  Set XAct_Abort On
  Declare @Prod IdNo, @HasOnhand Int, @PQnty Float, @OpeningUnit IdNo, @Frac Int

  -- The product whose code, blanks around it dropped, is the one given: first through the
  -- index on Code (trailing blanks do not count in the comparison), then, for a code stored
  -- with leading blanks, by trimming every code.
  Set @Prod = (Select Id From Product Where Code = LTrim(RTrim(@ProdCode)));
  If @Prod Is Null
    Set @Prod = (Select Id From Product Where LTrim(RTrim(Code)) = LTrim(RTrim(@ProdCode)));

  Delete From ProductCostAVG
  Where PeriodNo > 0 And BalanceYear = @Year And Product = @Prod And PeriodNo = @Month;

  -- ต้นทุนยกมา: the opening stock at the opening row's cost per unit of its ProductUnits
  Set @HasOnhand = (Select Count(*) From ProductOnhand
                    Where Product = @Prod And BalanceYear = @Year And PeriodNo = 0);
  If @HasOnhand > 0
  Begin
    Set @PQnty = (Select Sum(Quantity) From ProductOnhand
                  Where Product = @Prod And BalanceYear = @Year And PeriodNo = 0);
    Set @OpeningUnit = (Select ProductUnits From ProductCostAVG
                        Where Product = @Prod And BalanceYear = @Year And PeriodNo = 0);
    Set @Frac = (Select Convert(Int, Fraction) From ProductUnits Where Id = @OpeningUnit);
    Update ProductCostAVG
    Set PurcQnty = @PQnty, PurcAmount = Round(@PQnty*(CostAvg/@Frac),2)
    Where Product = @Prod And BalanceYear = @Year And PeriodNo = 0
  End

  -- The month's receipts, one row per unit. Each receipt's value is held as money before it is
  -- added, as the row's PurcAmount would hold it.
  Insert Into ProductCostAVG (Product, ProductUnits, PeriodNo, BalanceYear,
                              PurcQnty, PurcAmount, CostAvg)
  Select @Prod, R.ProductUnits, @Month, @Year, Sum(R.Qnty), Sum(Convert(Money, R.Amount)), 0.00
  From (
    -- นำเข้าจากต่างประเทศ
    Select D.ProductUnits, D.Quantity * U.Fraction As Qnty, Convert(Float, Round(D.Cost, 2)) As Amount
    From imdt D
    Join imhd H On H.Id = D.imhd
    Join ProductUnits U On U.Id = D.ProductUnits
    Where D.Product = @Prod And H.delflag = 'N'
      And Year(H.imdate) = @Year And Month(H.imdate) = @Month

    Union All
    -- Purchase-type documents at the net line amount: the line's share of the document
    -- discounts taken off, VAT taken out when the prices include it.
    -- Price_IE (and TranType below) are named without their table: the suite keeps each in
    -- one table of the document's pair, which one is not the same in every installation.
    Select P.ProductUnits, P.Qnty,
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
      End
    From (
      -- MR ซื้อเชื่อ
      Select D.ProductUnits, D.Quantity * U.Fraction As Qnty, 1 As AmountSign, D.Total,
        (Select Convert(Money, Sum(T.Total)) From MRDT T Where T.MRHD = H.Id) As DocTotal,
        Convert(Money, IsNull(H.DiscAmt1, 0) + IsNull(H.DiscAmt2, 0) + IsNull(H.DiscAmt3, 0))
          As Disc,
        Price_IE, H.TaxRate
      From MRDT D
      Join MRHD H On H.Id = D.MRHD
      Join ProductUnits U On U.Id = D.ProductUnits
      Where D.Product = @Prod And H.Delflag = 'N'
        And Year(H.MRDATE) = @Year And Month(H.MRDATE) = @Month
      Union All
      -- PC ซื้อสด
      Select D.ProductUnits, D.Quantity * U.Fraction, 1, D.Total,
        (Select Convert(Money, Sum(T.Total)) From PCDT T Where T.PCHD = H.Id),
        Convert(Money, IsNull(H.DiscAmt1, 0) + IsNull(H.DiscAmt2, 0) + IsNull(H.DiscAmt3, 0)),
        Price_IE, H.TaxRate
      From PCDT D
      Join PCHD H On H.Id = D.PCHD
      Join ProductUnits U On U.Id = D.ProductUnits
      Where D.Product = @Prod And H.Delflag = 'N'
        And Year(H.PCDATE) = @Year And Month(H.PCDATE) = @Month
      Union All
      -- PRDT: purchase returns take quantity and value out
      Select D.ProductUnits, -(D.Quantity * U.Fraction), -1, D.Total,
        (Select Convert(Money, Sum(T.Total)) From PRDT T Where T.PRHD = H.Id),
        Convert(Money, IsNull(H.DiscAmt1, 0) + IsNull(H.DiscAmt2, 0) + IsNull(H.DiscAmt3, 0)),
        Price_IE, H.TaxRate
      From PRDT D
      Join PRHD H On H.Id = D.PRHD
      Join ProductUnits U On U.Id = D.ProductUnits
      Where D.Product = @Prod And H.Delflag = 'N'
        And Year(H.PRDATE) = @Year And Month(H.PRDATE) = @Month
      Union All
      -- VCN ลดหนี้เจ้าหนี้ กรณีลดราคาสินค้าที่คิดผิด: เปลี่ยนมูลค่า Stock เท่านั้น
      Select D.ProductUnits, 0, -1, D.Total,
        (Select Convert(Money, Sum(T.Total)) From VCNDT T Where T.VCNHD = H.Id),
        Convert(Money, IsNull(H.DiscAmt1, 0) + IsNull(H.DiscAmt2, 0) + IsNull(H.DiscAmt3, 0)),
        Price_IE, H.TaxRate
      From VCNDT D
      Join VCNHD H On H.Id = D.VCNHD
      Join ProductUnits U On U.Id = D.ProductUnits
      Where D.Product = @Prod And H.Delflag = 'N' And H.PrHd Is Null
        And Year(H.CDDATE) = @Year And Month(H.CDDATE) = @Month
      Union All
      -- VDN เพิ่มหนี้เจ้าหนี้ กรณีเพิ่มราคาสินค้าที่คิดผิด: เปลี่ยนมูลค่า Stock เท่านั้น
      Select D.ProductUnits, 0, 1, D.Total,
        (Select Convert(Money, Sum(T.Total)) From VDNDT T Where T.VDNHD = H.Id),
        Convert(Money, IsNull(H.DiscAmt1, 0) + IsNull(H.DiscAmt2, 0) + IsNull(H.DiscAmt3, 0)),
        Price_IE, H.TaxRate
      From VDNDT D
      Join VDNHD H On H.Id = D.VDNHD
      Join ProductUnits U On U.Id = D.ProductUnits
      Where D.Product = @Prod And H.Delflag = 'N'
        And Year(H.CDDATE) = @Year And Month(H.CDDATE) = @Month
      Union All
      -- POSRDT
      Select D.ProductUnits, D.Quantity * U.Fraction, 1, D.Total,
        (Select Convert(Money, Sum(T.Total)) From POSRDT T Where T.POSRHD = H.Id),
        Convert(Money, IsNull(H.DiscAmt1, 0) + IsNull(H.DiscAmt2, 0) + IsNull(H.DiscAmt3, 0)),
        Price_IE, H.TaxRate
      From POSRDT D
      Join POSRHD H On H.Id = D.POSRHD
      Join ProductUnits U On U.Id = D.ProductUnits
      Where D.Product = @Prod And H.Delflag = 'N'
        And Year(H.SRDATE) = @Year And Month(H.SRDATE) = @Month
    ) P

    Union All
    -- โอนรับสินค้าจากสาขา
    Select D.ProductUnits, D.Quantity * U.Fraction, D.Total
    From TranBranchDT D
    Join TranBranchHD H On H.Id = D.TranBranchHD
    Join ProductUnits U On U.Id = D.ProductUnits
    Where D.Product = @Prod And H.Delflag = 'N' And TranType = 'I'
      And Year(H.TranDATE) = @Year And Month(H.TranDATE) = @Month

    Union All
    -- บันทึกประกอบชุด: the set at the cost of its component list
    Select H.ProductUnits, H.Quantity * U.Fraction, Sum(IsNull(C.Quantity * C.Cost, 0))
    From ProductAssemblyHd H
    Join ProductUnits U On U.Id = H.ProductUnits
    Join ProductComponentDt C On C.ProductComponentHd = H.ProductComponentHd
    Where H.Product = @Prod And H.Delflag = 'N' And H.PaType = 'A'
      And Year(H.PaDate) = @Year And Month(H.PaDate) = @Month
    Group By H.Product, H.ProductUnits, H.Warehouse, H.PaDate, H.Quantity, U.Fraction

    Union All
    -- บันทึกแยกสินค้าชุด: a component taken out of a set, at its cost in the component list
    Select L.ProductUnits, L.Quantity * U.Fraction, Sum(IsNull(C.Quantity * C.Cost, 0))
    From ProductAssemblyDt L
    Join ProductAssemblyHd H On H.Id = L.ProductAssemblyHd
    Join ProductUnits U On U.Id = L.ProductUnits
    Join ProductComponentDt C
      On C.ProductComponentHd = H.ProductComponentHd And C.Product = L.Product
    Where L.Product = @Prod And H.Delflag = 'N' And L.PaType = 'D'
      And Year(L.PaDate) = @Year And Month(L.PaDate) = @Month
    Group By L.Product, L.ProductUnits, L.Warehouse, L.PaDate, L.Quantity, U.Fraction, H.Quantity
  ) R
  Group By R.ProductUnits;
End
Go
