-- One row for each average-cost procedure that is missing, in the order they are reported.
Select P.ProcedureName From (
  Select 1 As No, Case When Exists (Select * From SysObjects
                                    Where Name = 'CALCULATE_AVG1ByProdAndMonth')
                       Then '' Else 'CALCULATE_AVG1ByProdAndMonth' End As ProcedureName
  Union All
  Select 2, Case When Exists (Select * From SysObjects
                              Where Name = 'CALCULATE_AVG2ByProdAndMonth')
                 Then '' Else 'CALCULATE_AVG2ByProdAndMonth' End
  Union All
  Select 3, Case When Exists (Select * From SysObjects Where Name = 'CALCULATE_WorkOrderAVG')
                 Then '' Else 'CALCULATE_WorkOrderAVG' End
  Union All
  Select 4, Case When Exists (Select * From SysObjects
                              Where Name = 'CALCULATE_AVG4ByProdAndWorkAndMonth')
                 Then '' Else 'CALCULATE_AVG4ByProdAndWorkAndMonth' End
) P
Where P.ProcedureName <> ''
Order By P.No
