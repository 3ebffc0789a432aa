-- Whether the company database has an object of that name; a run that needs a procedure of
-- the name is refused when it has none.
Select Count(*) As Found From SysObjects Where Name = :Name
