If Not Exists (Select * From SysColumns
               Where Name = 'CalculateCostLastYear'
               And Id = (Select Id From SysObjects Where Name = 'Config'))
  Alter Table Config Add CalculateCostLastYear IdNo Null
/
If Not Exists (Select * From SysColumns
               Where Name = 'CalculateCostDate'
               And Id = (Select Id From SysObjects Where Name = 'Config'))
  Alter Table Config Add CalculateCostDate DateTime Null
