Select CalculateCostDate From Config
