-- Writes the year-to-date average cost of the product, times the unit fraction of each line,
-- into its finished-goods lines whose work order was closed in the month. The Negative flag
-- of the product is Y while its lines change and gets its old value back afterwards, also
-- when a statement fails.
Set NoCount On
Declare @Year Int, @Month Int, @From DateTime, @To DateTime
Declare @Prod Int, @Negative Char(1), @Qnty Float, @Amount Float, @Cost Decimal(28,4)
Declare @Message NVarChar(2048)
Select @Year = :Year, @Month = :Month
Select @From = DateAdd(Month, @Month - 1, DateAdd(Year, @Year - 1900, 0))
Select @To = DateAdd(Month, 1, @From)
Select @Prod = Id, @Negative = Negative From Product Where Code = :ProdCode
Select @Qnty = Sum(IsNull(PurcQnty, 0)), @Amount = Sum(IsNull(PurcAmount, 0))
From ProductCostAVG
Where Product = @Prod And BalanceYear = @Year And PeriodNo <= @Month
Select @Cost = Case When IsNull(@Qnty, 0) = 0 Then 0
                    Else Convert(Decimal(28,4), @Amount / @Qnty) End
Begin Try
  Update Product Set Negative = 'Y' Where Id = @Prod
  Update MFGFinishDt Set Price = @Cost * MFGFinishDt.Fraction
  From MFGFinishDt Join WorkOrderHd On MFGFinishDt.WorkOrderHd = WorkOrderHd.Id
  Where MFGFinishDt.Product = @Prod
  And WorkOrderHd.CloseDate >= @From And WorkOrderHd.CloseDate < @To
  Update Product Set Negative = @Negative Where Id = @Prod
End Try
Begin Catch
  Select @Message = Error_Message()
  Update Product Set Negative = @Negative Where Id = @Prod
  RaisError('%s', 16, 1, @Message)
End Catch
