-- The products with stock or movements in the month, that is an opening quantity of the
-- month or a line of a receipt, return, issue, sale or production document dated in the
-- month, with a quantity above zero. With a product code, only that product. Deleted
-- documents count as well; every kind of product qualifies. The month is compared as a range
-- of dates so that each line table is searched through its index on product and date.
Set NoCount On
Declare @Year Int, @Month Int, @From DateTime, @To DateTime
Select @Year = :Year, @Month = :Month
Select @From = DateAdd(Month, @Month - 1, DateAdd(Year, @Year - 1900, 0))
Select @To = DateAdd(Month, 1, @From)
Select P.Id As ProdId, P.Code As ProdCode, P.ThaiName As ProdName
From Product P
Where ((:ProdCode = '') Or (P.Code = :ProdCode))
And (Exists (Select * From ProductOnhand D Where D.Product = P.Id
             And D.BalanceYear = @Year And D.PeriodNo = @Month And D.Quantity > 0)
  Or Exists (Select * From MrDt D Where D.Product = P.Id
             And D.MrDate >= @From And D.MrDate < @To And D.Quantity > 0)
  Or Exists (Select * From PcDt D Where D.Product = P.Id
             And D.PcDate >= @From And D.PcDate < @To And D.Quantity > 0)
  Or Exists (Select * From PoSrDt D Where D.Product = P.Id
             And D.SrDate >= @From And D.SrDate < @To And D.Quantity > 0)
  Or Exists (Select * From SrDt D Where D.Product = P.Id
             And D.SrDate >= @From And D.SrDate < @To And D.Quantity > 0)
  Or Exists (Select * From RiDt D Where D.Product = P.Id
             And D.RiDate >= @From And D.RiDate < @To And D.Quantity > 0)
  Or Exists (Select * From MfgRiDt D Where D.Product = P.Id
             And D.MfgRiDate >= @From And D.MfgRiDate < @To And D.Quantity > 0)
  Or Exists (Select * From MFGFinishDt D Where D.Product = P.Id
             And D.FinishDate >= @From And D.FinishDate < @To And D.Quantity > 0)
  Or Exists (Select * From IvDt D Where D.Product = P.Id
             And D.IvDate >= @From And D.IvDate < @To And D.Quantity > 0)
  Or Exists (Select * From PosDt D Where D.Product = P.Id
             And D.PosDate >= @From And D.PosDate < @To And D.Quantity > 0)
  Or Exists (Select * From IsDt D Where D.Product = P.Id
             And D.IsDate >= @From And D.IsDate < @To And D.Quantity > 0)
  Or Exists (Select * From MFGISDt D Where D.Product = P.Id
             And D.MFGISDate >= @From And D.MFGISDate < @To And D.Quantity > 0))
Order By P.Code
