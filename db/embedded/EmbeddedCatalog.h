#pragma once

namespace db {

class SqliteDatabase;

// SQL Server's catalog as the system queries it: SysObjects (Id, Name, xtype: 'U' table,
// 'V' view, 'P' procedure) and SysColumns (Id of the owning object, Name), built as views over
// SQLite's own schema and the engine's table of procedures (tsql::Catalog), the engine's own
// tables left out. Names compare with the case-insensitive collation.
class EmbeddedCatalog {
public:
    // SysObjects and SysColumns, as temporary views that live with the connection.
    static void createCatalogViews(SqliteDatabase& database);
    // master's SysDatabases (Name), filled by the connection before every statement.
    static void createDatabaseList(SqliteDatabase& database);
};

} // namespace db
