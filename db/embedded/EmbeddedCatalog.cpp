#include "db/embedded/EmbeddedCatalog.h"

#include "db/embedded/SqliteDatabase.h"
#include "db/embedded/SqliteStatement.h"

#include <QRegularExpression>
#include <QStringList>

namespace db {

void EmbeddedCatalog::createInternalTables(SqliteDatabase& database) {
    // NOCASE rather than the engine's collation, so the file stays readable by any SQLite tool.
    database.executeScript("CREATE TABLE IF NOT EXISTS main.embedded_procedures ("
                           "Name TEXT NOT NULL PRIMARY KEY COLLATE NOCASE)");
}

void EmbeddedCatalog::createCatalogViews(SqliteDatabase& database) {
    // Procedures get ids above any table's so the two kinds never share one.
    database.executeScript(
        "CREATE TEMP VIEW IF NOT EXISTS SysObjects AS "
        "SELECT s.rowid AS Id, s.name COLLATE Thai_CI_AS AS Name, "
        "CASE s.type WHEN 'table' THEN 'U' ELSE 'V' END COLLATE Thai_CI_AS AS xtype, "
        "CASE s.type WHEN 'table' THEN 'U' ELSE 'V' END COLLATE Thai_CI_AS AS type "
        "FROM main.sqlite_schema s "
        "WHERE s.type IN ('table', 'view') AND s.name NOT LIKE 'sqlite~_%' ESCAPE '~' "
        "AND s.name <> 'embedded_procedures' COLLATE NOCASE "
        "UNION ALL "
        "SELECT 1000000000 + p.rowid, p.Name COLLATE Thai_CI_AS, 'P', 'P' "
        "FROM main.embedded_procedures p;"
        "CREATE TEMP VIEW IF NOT EXISTS SysColumns AS "
        "SELECT s.rowid AS Id, c.name COLLATE Thai_CI_AS AS Name, c.cid + 1 AS ColId "
        "FROM main.sqlite_schema s JOIN pragma_table_info(s.name, 'main') c "
        "WHERE s.type IN ('table', 'view') AND s.name NOT LIKE 'sqlite~_%' ESCAPE '~' "
        "AND s.name <> 'embedded_procedures' COLLATE NOCASE;");
}

void EmbeddedCatalog::createDatabaseList(SqliteDatabase& database) {
    database.executeScript("CREATE TABLE IF NOT EXISTS main.SysDatabases ("
                           "Name TEXT COLLATE Thai_CI_AS, DbId INTEGER)");
}

int EmbeddedCatalog::decimalScale(const QString& declaredType) {
    static const QRegularExpression decimal(
        QStringLiteral(
            R"(^\s*\[?(decimal|numeric|dec)\]?\s*(?:\(\s*\d+\s*(?:,\s*(\d+)\s*)?\))?\s*$)"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression money(QStringLiteral(R"(^\s*\[?(small)?money\]?\s*$)"),
                                          QRegularExpression::CaseInsensitiveOption);
    if (money.match(declaredType).hasMatch())
        return 4;
    const auto match = decimal.match(declaredType);
    if (!match.hasMatch())
        return -1;
    return match.captured(2).isEmpty() ? 0 : match.captured(2).toInt();
}

void EmbeddedCatalog::createRoundingTriggers(SqliteDatabase& database, const QString& table) {
    SqliteStatement columns(database.handle(), "SELECT name, type FROM pragma_table_info(?1)",
                            false);
    const std::vector<SqlValue> argument{{DataType::String, table}};
    const auto quoted = [](QString name) {
        return '"' + name.replace('"', QStringLiteral("\"\"")) + '"';
    };
    QStringList changed;
    QStringList assignments;
    QStringList names;
    for (const auto& row : columns.run(argument).rows) {
        const int scale = decimalScale(row.value(1).toString());
        if (scale < 0)
            continue;
        const QString column = quoted(row.value(0).toString());
        const QString rounded = QStringLiteral("round(%1, %2)").arg(column).arg(scale);
        changed << QStringLiteral("new.%1 <> round(new.%1, %2)").arg(column).arg(scale);
        assignments << column + QStringLiteral(" = ") + rounded;
        names << column;
    }

    const QString insertTrigger = quoted(table + QStringLiteral("_decimals_on_insert"));
    const QString updateTrigger = quoted(table + QStringLiteral("_decimals_on_update"));
    QString sql = QStringLiteral("DROP TRIGGER IF EXISTS main.%1; DROP TRIGGER IF EXISTS main.%2;")
                      .arg(insertTrigger, updateTrigger);
    if (!names.isEmpty()) {
        // The condition stops the trigger's own update from firing it again.
        const QString body = QStringLiteral("WHEN %1 BEGIN UPDATE %2 SET %3 WHERE rowid = "
                                            "new.rowid; END;")
                                 .arg(changed.join(QStringLiteral(" OR ")), quoted(table),
                                      assignments.join(QStringLiteral(", ")));
        sql += QStringLiteral("CREATE TRIGGER main.%1 AFTER INSERT ON %2 %3")
                   .arg(insertTrigger, quoted(table), body);
        sql += QStringLiteral("CREATE TRIGGER main.%1 AFTER UPDATE OF %2 ON %3 %4")
                   .arg(updateTrigger, names.join(QStringLiteral(", ")), quoted(table), body);
    }
    database.executeScript(sql.toUtf8().constData());
}

} // namespace db
