-- The last month of the year whose accounts are closed (0 when none is); months up to it are
-- not calculated again.
Select LastPost From CloseGlHistory Where Year = :GetYear
