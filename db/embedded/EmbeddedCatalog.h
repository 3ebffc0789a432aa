#pragma once

#include <QString>

namespace db {

class SqliteDatabase;

// SQL Server's catalog as the system queries it: SysObjects (Id, Name, xtype: 'U' table,
// 'V' view, 'P' procedure) and SysColumns (Id of the owning object, Name), built as views over
// SQLite's own schema and the engine's table of installed procedures, which they hide.
// Names compare with the case-insensitive collation.
class EmbeddedCatalog {
public:
    // Records the procedures installed in the database (EmbeddedProcedures).
    static constexpr const char* procedureTable = "embedded_procedures";

    // Makes the engine's own tables of a database when they are missing.
    static void createInternalTables(SqliteDatabase& database);
    // SysObjects and SysColumns, as temporary views that live with the connection.
    static void createCatalogViews(SqliteDatabase& database);
    // master's SysDatabases (Name), filled by the connection before every statement.
    static void createDatabaseList(SqliteDatabase& database);

    // SQL Server keeps a Money or Decimal(p,s) column's values at the column's scale, rounding
    // whatever is written into it; SQLite keeps any double. Triggers on the table do that
    // rounding. Made again whenever the table gets new columns.
    static void createRoundingTriggers(SqliteDatabase& database, const QString& table);
    // The scale a declared type keeps (4 for Money, s for Decimal(p,s), 0 for Decimal(p));
    // -1 for types that are not exact decimals.
    static int decimalScale(const QString& declaredType);
};

} // namespace db
