-- The products of the month, those with stock on hand, a ledger row or a work order closed
-- in the month.
Select P.Id As ProdId, P.Code As ProdCode, P.ThaiName As ProdName
From Product P
Where (Exists (Select * From ProductOnhand O
               Where O.Product = P.Id And O.BalanceYear = :Year And O.PeriodNo = :Month)
       Or Exists (Select * From ProductCostAVG C
                  Where C.Product = P.Id And C.BalanceYear = :Year And C.PeriodNo = :Month)
       Or Exists (Select * From WorkOrderHd W
                  Where W.FinishedGoods = P.Id
                  And Year(W.Closedate) = :Year And Month(W.Closedate) = :Month))
And ((:ProdCode = '') Or (P.Code = :ProdCode))
Order By P.Code
