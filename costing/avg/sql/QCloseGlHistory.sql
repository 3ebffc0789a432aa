-- The last closed accounting month of the year.
Select H.Year, H.LastCloseCost, A.AccountYear
From CloseGlHistory H Join AccountPeriod A On A.AccountYear = H.Year
Where H.Year = :GetYear And A.AccountYear = :GetYear
