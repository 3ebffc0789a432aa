Update Config
Set CalculateCostLastYear = :CalYear, CalculateCostDate = :CalDate
