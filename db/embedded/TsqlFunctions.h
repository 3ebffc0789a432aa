#pragma once

struct sqlite3;

namespace db {

// The scalar functions of T-SQL that the system's SQL uses, with SQL Server's results:
// Year, Month, Day, GetDate, Len, Round (half away from zero on decimal digits), CharIndex,
// and the conversions TsqlTranslator rewrites Convert and Cast into (tsql_decimal, tsql_money,
// tsql_int, tsql_float, tsql_varchar, tsql_datetime, tsql_left, tsql_right). Sum is replaced
// by a compensated sum, so a long column of amounts adds up exact to the cent.
class TsqlFunctions {
public:
    static void registerOn(sqlite3* database);
};

} // namespace db
