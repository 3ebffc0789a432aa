-- How many products have the code, compared as the product filter of the month run compares.
Select Count(*) As Products From Product Where Code = :ProdCode
