If Not Exists (Select C.Name From SysColumns C Inner Join SysObjects O On (O.Id = C.Id)
               Where (Upper(LTrim(RTrim(O.Name))) = 'MENU') And (Upper(LTrim(RTrim(C.Name))) = 'VERSION'))
  Alter Table Menu Add Version Integer
/
Update Menu Set Version = 3 Where Version Is Null And Command Is Not Null
/
If Not Exists (Select C.Name From SysColumns C Inner Join SysObjects O On (O.Id = C.Id)
               Where (O.Name = 'UserName') And (C.Name = 'UserSeeImport'))
  Alter Table UserName Add UserSeeImport Char(1)
/
If Not Exists (Select C.Name From SysColumns C Inner Join SysObjects O On (O.Id = C.Id)
               Where (O.Name = 'UserName') And (C.Name = 'UserSeeCost'))
  Alter Table UserName Add UserSeeCost Char(1)
