#include "db/embedded/EmbeddedCatalog.h"

#include "db/embedded/SqliteDatabase.h"

namespace db {

void EmbeddedCatalog::createCatalogViews(SqliteDatabase& database) {
    // Procedures get ids above any table's so the two kinds never share one. The columns are
    // declared with the types SQL Server gives them, which the engine reads back.
    database.executeScript(
        "CREATE TEMP VIEW IF NOT EXISTS SysObjects (Id, Name, xtype, type) AS "
        "SELECT CAST(s.rowid AS int), CAST(s.name AS nvarchar(128)) COLLATE Thai_CI_AS, "
        "CAST(CASE s.type WHEN 'table' THEN 'U' ELSE 'V' END AS char(2)) COLLATE Thai_CI_AS, "
        "CAST(CASE s.type WHEN 'table' THEN 'U' ELSE 'V' END AS char(2)) COLLATE Thai_CI_AS "
        "FROM main.sqlite_schema s "
        "WHERE s.type IN ('table', 'view') AND s.name NOT LIKE 'sqlite~_%' ESCAPE '~' "
        "AND s.name NOT LIKE 'embedded~_%' ESCAPE '~' "
        "UNION ALL "
        "SELECT 1000000000 + p.rowid, p.Name COLLATE Thai_CI_AS, 'P', 'P' "
        "FROM main.embedded_procedures p;"
        "CREATE TEMP VIEW IF NOT EXISTS SysColumns (Id, Name, ColId) AS "
        "SELECT CAST(s.rowid AS int), CAST(c.name AS nvarchar(128)) COLLATE Thai_CI_AS, "
        "CAST(c.cid + 1 AS smallint) "
        "FROM main.sqlite_schema s JOIN pragma_table_info(s.name, 'main') c "
        "WHERE s.type IN ('table', 'view') AND s.name NOT LIKE 'sqlite~_%' ESCAPE '~' "
        "AND s.name NOT LIKE 'embedded~_%' ESCAPE '~';");
}

void EmbeddedCatalog::createDatabaseList(SqliteDatabase& database) {
    database.executeScript("CREATE TABLE IF NOT EXISTS main.SysDatabases ("
                           "Name nvarchar(128) COLLATE Thai_CI_AS, DbId smallint)");
}

} // namespace db
