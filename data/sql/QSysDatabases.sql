Select * From SysDatabases Where Name = 'TRQ_Config_PMX'
