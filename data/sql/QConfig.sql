SELECT C.*, M.Code MainCurrencyCode, M.Description MainCurrencyName
From Config C
Left Outer Join Misc M On (M.Id = C.MainCurrencyId)
Where C.id=1
