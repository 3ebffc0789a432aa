-- The layers an issue took, oldest first, each with the receipt it came from (a year opening
-- layer names the receipt it was carried from), the quantity taken and its value.
Select C.LayerPeriod, C.LayerSeq, C.Quantity, C.Amount, L.SourceTable, L.SourceId,
  L.MovementDate, L.Quantity As LayerQuantity, L.Amount As LayerAmount
From FifoConsumption C
Left Join FifoMovement L
  On L.Product = C.Product And L.BalanceYear = C.BalanceYear And L.PeriodNo = C.LayerPeriod
  And L.Seq = C.LayerSeq
Where C.Product = :Product And C.BalanceYear = :Year And C.PeriodNo = :Month
  And C.IssueSeq = :Seq
Order By C.LayerPeriod, C.LayerSeq
