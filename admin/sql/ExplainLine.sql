-- The document line that explain is asked about, from whichever table it is named by, its
-- document number, its own date (LineDate) and the date the average cost costs it by
-- (CostDate, the close date of the work order for finished goods), the deletion flag of its
-- document, product, unit, Fraction (the lines own where it has one), quantity in the units of
-- the line, the cost written into it (Price) and, for material and work orders, CostAVG.
Select L.SourceTable, L.Id, L.DocNo, L.LineDate, L.CostDate, L.Delflag, L.Product,
  P.Code As ProdCode, P.ThaiName As ProdName, L.ProductUnits, U.Code As UnitCode,
  Coalesce(L.Fraction, U.Fraction) As Fraction, L.Quantity, L.Price, L.CostAVG, L.WorkOrderHd
From (
  Select 'Isdt' As SourceTable, D.Id, H.DocNo, D.IsDate As LineDate, D.IsDate As CostDate,
    H.Delflag As Delflag, D.Product, D.ProductUnits, D.Fraction As Fraction, D.Quantity,
    D.Price As Price, Convert(Decimal(28,4), Null) As CostAVG,
    Convert(Int, Null) As WorkOrderHd
  From Isdt D Left Join IsHd H On H.Id = D.IsHd
  Where D.Id = :Id And :Table = 'Isdt'
  Union All
  Select 'MFGISDT' As SourceTable, D.Id, H.DocNo, D.MfgIsDate As LineDate, D.MfgIsDate As CostDate,
    H.Delflag As Delflag, D.Product, D.ProductUnits, D.Fraction As Fraction, D.Quantity,
    D.Price As Price, D.CostAVG As CostAVG, H.WorkOrderHd As WorkOrderHd
  From MFGISDT D Left Join MFGISHD H On H.Id = D.MFGISHD
  Where D.Id = :Id And :Table = 'MFGISDT'
  Union All
  Select 'imdt' As SourceTable, D.Id, H.DocNo, H.imdate As LineDate, H.imdate As CostDate,
    H.delflag As Delflag, D.Product, D.ProductUnits, Convert(Float, Null) As Fraction, D.Quantity,
    Convert(Money, Null) As Price, Convert(Decimal(28,4), Null) As CostAVG,
    Convert(Int, Null) As WorkOrderHd
  From imdt D Left Join imhd H On H.Id = D.imhd
  Where D.Id = :Id And :Table = 'imdt'
  Union All
  Select 'MRDT' As SourceTable, D.Id, H.DocNo, Coalesce(D.MrDate, H.MRDATE) As LineDate, H.MRDATE As CostDate,
    H.Delflag As Delflag, D.Product, D.ProductUnits, Convert(Float, Null) As Fraction, D.Quantity,
    Convert(Money, Null) As Price, Convert(Decimal(28,4), Null) As CostAVG,
    Convert(Int, Null) As WorkOrderHd
  From MRDT D Left Join MRHD H On H.Id = D.MRHD
  Where D.Id = :Id And :Table = 'MRDT'
  Union All
  Select 'PCDT' As SourceTable, D.Id, H.DocNo, Coalesce(D.PcDate, H.PCDATE) As LineDate, H.PCDATE As CostDate,
    H.Delflag As Delflag, D.Product, D.ProductUnits, Convert(Float, Null) As Fraction, D.Quantity,
    Convert(Money, Null) As Price, Convert(Decimal(28,4), Null) As CostAVG,
    Convert(Int, Null) As WorkOrderHd
  From PCDT D Left Join PCHD H On H.Id = D.PCHD
  Where D.Id = :Id And :Table = 'PCDT'
  Union All
  Select 'PRDT' As SourceTable, D.Id, H.DocNo, H.PRDATE As LineDate, H.PRDATE As CostDate,
    H.Delflag As Delflag, D.Product, D.ProductUnits, Convert(Float, Null) As Fraction, D.Quantity,
    Convert(Money, Null) As Price, Convert(Decimal(28,4), Null) As CostAVG,
    Convert(Int, Null) As WorkOrderHd
  From PRDT D Left Join PRHD H On H.Id = D.PRHD
  Where D.Id = :Id And :Table = 'PRDT'
  Union All
  Select 'VCNDT' As SourceTable, D.Id, H.DocNo, H.CDDATE As LineDate, H.CDDATE As CostDate,
    H.Delflag As Delflag, D.Product, D.ProductUnits, Convert(Float, Null) As Fraction, D.Quantity,
    Convert(Money, Null) As Price, Convert(Decimal(28,4), Null) As CostAVG,
    Convert(Int, Null) As WorkOrderHd
  From VCNDT D Left Join VCNHD H On H.Id = D.VCNHD
  Where D.Id = :Id And :Table = 'VCNDT'
  Union All
  Select 'VDNDT' As SourceTable, D.Id, H.DocNo, H.CDDATE As LineDate, H.CDDATE As CostDate,
    H.Delflag As Delflag, D.Product, D.ProductUnits, Convert(Float, Null) As Fraction, D.Quantity,
    Convert(Money, Null) As Price, Convert(Decimal(28,4), Null) As CostAVG,
    Convert(Int, Null) As WorkOrderHd
  From VDNDT D Left Join VDNHD H On H.Id = D.VDNHD
  Where D.Id = :Id And :Table = 'VDNDT'
  Union All
  Select 'POSRDT' As SourceTable, D.Id, H.DocNo, Coalesce(D.SrDate, H.SRDATE) As LineDate, H.SRDATE As CostDate,
    H.Delflag As Delflag, D.Product, D.ProductUnits, Convert(Float, Null) As Fraction, D.Quantity,
    Convert(Money, Null) As Price, Convert(Decimal(28,4), Null) As CostAVG,
    Convert(Int, Null) As WorkOrderHd
  From POSRDT D Left Join POSRHD H On H.Id = D.POSRHD
  Where D.Id = :Id And :Table = 'POSRDT'
  Union All
  Select 'TranBranchDT' As SourceTable, D.Id, H.DocNo, H.TranDATE As LineDate, H.TranDATE As CostDate,
    H.Delflag As Delflag, D.Product, D.ProductUnits, Convert(Float, Null) As Fraction, D.Quantity,
    Convert(Money, Null) As Price, Convert(Decimal(28,4), Null) As CostAVG,
    Convert(Int, Null) As WorkOrderHd
  From TranBranchDT D Left Join TranBranchHD H On H.Id = D.TranBranchHD
  Where D.Id = :Id And :Table = 'TranBranchDT'
  Union All
  Select 'SRDT' As SourceTable, D.Id, H.DocNo, Coalesce(D.SrDate, H.SRDATE) As LineDate, H.SRDATE As CostDate,
    H.Delflag As Delflag, D.Product, D.ProductUnits, Convert(Float, Null) As Fraction, D.Quantity,
    Convert(Money, Null) As Price, Convert(Decimal(28,4), Null) As CostAVG,
    Convert(Int, Null) As WorkOrderHd
  From SRDT D Left Join SRHD H On H.Id = D.SRHD
  Where D.Id = :Id And :Table = 'SRDT'
  Union All
  Select 'Ridt' As SourceTable, D.Id, H.DocNo, D.RiDate As LineDate, D.RiDate As CostDate,
    H.Delflag As Delflag, D.Product, D.ProductUnits, D.Fraction As Fraction, D.Quantity,
    D.Price As Price, Null As CostAVG, Null As WorkOrderHd
  From Ridt D Left Join RiHd H On H.Id = D.RiHd
  Where D.Id = :Id And :Table = 'Ridt'
  Union All
  Select 'AdjuststockDt' As SourceTable, D.Id, H.DocNo, H.AdjDate As LineDate, H.AdjDate As CostDate,
    H.Delflag As Delflag, D.Product, D.ProductUnits, D.Fraction As Fraction, D.Quantity,
    D.Price As Price, Null As CostAVG, Null As WorkOrderHd
  From AdjuststockDt D Left Join AdjuststockHd H On H.Id = D.AdjuststockHd
  Where D.Id = :Id And :Table = 'AdjuststockDt'
  Union All
  Select 'IvDt' As SourceTable, D.Id, H.DocNo, D.IvDate As LineDate, D.IvDate As CostDate,
    H.Delflag As Delflag, D.Product, D.ProductUnits, Convert(Float, Null) As Fraction, D.Quantity,
    Convert(Money, Null) As Price, Convert(Decimal(28,4), Null) As CostAVG,
    Convert(Int, Null) As WorkOrderHd
  From IvDt D Left Join IvHd H On H.Id = D.IvHd
  Where D.Id = :Id And :Table = 'IvDt'
  Union All
  Select 'PosDt' As SourceTable, D.Id, H.DocNo, D.PosDate As LineDate, D.PosDate As CostDate,
    H.Delflag As Delflag, D.Product, D.ProductUnits, Convert(Float, Null) As Fraction, D.Quantity,
    Convert(Money, Null) As Price, Convert(Decimal(28,4), Null) As CostAVG,
    Convert(Int, Null) As WorkOrderHd
  From PosDt D Left Join PosHd H On H.Id = D.PosHd
  Where D.Id = :Id And :Table = 'PosDt'
  Union All
  Select 'MFGRIDT' As SourceTable, D.Id, H.DocNo, D.MfgRiDate As LineDate, D.MfgRiDate As CostDate,
    H.Delflag As Delflag, D.Product, D.ProductUnits, D.Fraction As Fraction, D.Quantity,
    D.Price As Price, D.CostAVG As CostAVG, H.WorkOrderHd As WorkOrderHd
  From MFGRIDT D Left Join MFGRIHD H On H.Id = D.MFGRIHD
  Where D.Id = :Id And :Table = 'MFGRIDT'
  Union All
  Select 'ProductAssemblyHd', D.Id, Convert(VarChar(20), Null), D.PaDate, D.PaDate, D.Delflag,
    D.Product, D.ProductUnits, Convert(Float, Null), D.Quantity, Convert(Money, Null),
    Convert(Decimal(28,4), Null), Convert(Int, Null)
  From ProductAssemblyHd D
  Where D.Id = :Id And :Table = 'ProductAssemblyHd'
  Union All
  Select 'ProductAssemblyDt', D.Id, Convert(VarChar(20), Null), D.PaDate, D.PaDate, H.Delflag,
    D.Product, D.ProductUnits, Convert(Float, Null), D.Quantity, Convert(Money, Null),
    Convert(Decimal(28,4), Null), Convert(Int, Null)
  From ProductAssemblyDt D Left Join ProductAssemblyHd H On H.Id = D.ProductAssemblyHd
  Where D.Id = :Id And :Table = 'ProductAssemblyDt'
  Union All
  Select 'MFGFinishDt', D.Id, W.WorkOrderNo, D.FinishDate, W.Closedate, W.Delflag, D.Product,
    D.ProductUnits, D.Fraction, D.Quantity, D.Price, Convert(Decimal(28,4), Null), D.WorkOrderHd
  From MFGFinishDt D Left Join WorkOrderHd W On W.Id = D.WorkOrderHd
  Where D.Id = :Id And :Table = 'MFGFinishDt'
  Union All
  Select 'WorkOrderHd', W.Id, W.WorkOrderNo, W.WorkDate, Coalesce(W.Closedate, W.FinishDate),
    W.Delflag, W.FinishedGoods, W.ProductUnits, Convert(Float, Null), W.QUANTITY1, Convert(Money, Null), W.CostAVG,
    W.Id
  From WorkOrderHd W
  Where W.Id = :Id And :Table = 'WorkOrderHd'
) L
Left Join Product P On P.Id = L.Product
Left Join ProductUnits U On U.Id = L.ProductUnits
