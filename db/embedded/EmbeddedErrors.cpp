#include "db/embedded/EmbeddedErrors.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

#include <sqlite3.h>

#include <memory>

namespace db {

namespace {

struct StatementFinalizer {
    void operator()(sqlite3_stmt* statement) const noexcept { sqlite3_finalize(statement); }
};
using StatementHandle = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

// A one-off read used while an error is being worded; any failure just gives no rows.
QList<QStringList> readRows(sqlite3* database, const char* sql, const QString& argument) {
    QList<QStringList> rows;
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(database, sql, -1, &raw, nullptr) != SQLITE_OK)
        return rows;
    StatementHandle statement(raw);
    const QByteArray utf8 = argument.toUtf8();
    sqlite3_bind_text(raw, 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    while (sqlite3_step(raw) == SQLITE_ROW) {
        QStringList row;
        for (int i = 0; i < sqlite3_column_count(raw); ++i)
            row << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(raw, i)));
        rows << row;
    }
    return rows;
}

QString databaseNameOf(sqlite3* database) {
    const char* file = sqlite3_db_filename(database, "main");
    if (file == nullptr || *file == '\0')
        return QStringLiteral("master");
    return QFileInfo(QString::fromUtf8(file)).completeBaseName();
}

QString verbOf(const QByteArray& sql) {
    static const QRegularExpression firstWord(QStringLiteral(R"(^\s*(\w+))"));
    return firstWord.match(QString::fromUtf8(sql)).captured(1).toUpper();
}

QString unquoted(QString name) {
    if (name.size() >= 2 && ((name.startsWith('[') && name.endsWith(']')) ||
                             (name.startsWith('"') && name.endsWith('"'))))
        name = name.mid(1, name.size() - 2);
    return name;
}

// A table as SQL Server's messages name it: a table variable's table ("@T#Proc#2", one per
// variable and call level) by the variable.
QString shownTable(const QString& name) {
    return name.startsWith('@') ? name.section('#', 0, 0) : name;
}

// "T.a, T.b" of a UNIQUE failure: the table and its columns.
bool splitColumns(const QString& list, QString& table, QStringList& columns) {
    for (const QString& item : list.split(QStringLiteral(", "))) {
        const int dot = item.indexOf('.');
        if (dot < 0)
            return false;
        table = item.left(dot);
        columns << item.mid(dot + 1);
    }
    return !columns.isEmpty();
}

QString primaryKeyName(sqlite3* database, const QString& table) {
    const auto rows = readRows(
        database, "SELECT sql FROM main.sqlite_schema WHERE type = 'table' AND name = ?1", table);
    static const QRegularExpression named(
        QStringLiteral(R"(constraint\s+([\[\"]?[\w$#]+[\]\"]?)\s+primary\s+key)"),
        QRegularExpression::CaseInsensitiveOption);
    if (!rows.isEmpty()) {
        const auto match = named.match(rows.first().value(0));
        if (match.hasMatch())
            return unquoted(match.captured(1));
    }
    return QStringLiteral("PK_") + shownTable(table);
}

DatabaseError duplicateKey(sqlite3* database, bool primaryKey, const QString& detail) {
    QString table;
    QStringList columns;
    if (!splitColumns(detail, table, columns))
        return EmbeddedErrors::make(QStringLiteral("23000"), 2601,
                                    QStringLiteral("Cannot insert duplicate key row with unique "
                                                   "index '%1'.")
                                        .arg(detail.section('\'', 1, 1)));
    if (primaryKey)
        return EmbeddedErrors::make(QStringLiteral("23000"), 2627,
                                    QStringLiteral("Violation of PRIMARY KEY constraint '%1'. "
                                                   "Cannot insert duplicate key in object "
                                                   "'dbo.%2'.")
                                        .arg(primaryKeyName(database, table), shownTable(table)));

    // Find the unique index over exactly these columns to name it as SQL Server would.
    const auto indexes = readRows(
        database, "SELECT name, origin FROM pragma_index_list(?1) WHERE \"unique\" = 1", table);
    for (const auto& index : indexes) {
        QStringList indexColumns;
        for (const auto& row : readRows(
                 database, "SELECT name FROM pragma_index_info(?1) ORDER BY seqno", index.value(0)))
            indexColumns << row.value(0);
        if (indexColumns.join(',').compare(columns.join(','), Qt::CaseInsensitive) != 0)
            continue;
        if (index.value(1) == QLatin1String("u"))
            return EmbeddedErrors::make(QStringLiteral("23000"), 2627,
                                        QStringLiteral("Violation of UNIQUE KEY constraint "
                                                       "'UQ_%1'. Cannot insert duplicate key in "
                                                       "object 'dbo.%1'.")
                                            .arg(shownTable(table)));
        return EmbeddedErrors::make(QStringLiteral("23000"), 2601,
                                    QStringLiteral("Cannot insert duplicate key row in object "
                                                   "'dbo.%1' with unique index '%2'.")
                                        .arg(shownTable(table), index.value(0)));
    }
    return EmbeddedErrors::make(QStringLiteral("23000"), 2601,
                                QStringLiteral("Cannot insert duplicate key row in object "
                                               "'dbo.%1' with unique index 'UQ_%1'.")
                                    .arg(shownTable(table)));
}

// The statement's verb and the table it changes: "INSERT", "T" of INSERT INTO main."T" ...
std::pair<QString, QString> changedTable(const QByteArray& sql) {
    static const QRegularExpression target(
        QStringLiteral(
            R"re((INSERT\s+INTO|UPDATE|DELETE\s+FROM)\s+(?:main\.|temp\.)?"((?:[^"]|"")+)")re"),
        QRegularExpression::CaseInsensitiveOption);
    const auto match = target.match(QString::fromUtf8(sql));
    if (!match.hasMatch())
        return {};
    return {match.captured(1).section(' ', 0, 0).toUpper(),
            match.captured(2).replace(QStringLiteral("\"\""), QStringLiteral("\""))};
}

// The name of the first constraint of a table's definition that matches kind ("FOREIGN KEY"
// or "REFERENCES"), as it was created.
QString constraintName(sqlite3* database, const QString& table, const QString& pattern) {
    const auto rows = readRows(
        database, "SELECT sql FROM main.sqlite_schema WHERE type = 'table' AND name = ?1", table);
    if (rows.isEmpty())
        return QString();
    const QRegularExpression named(
        QStringLiteral(R"re(CONSTRAINT\s+"((?:[^"]|"")+)"\s+(?:%1))re").arg(pattern),
        QRegularExpression::CaseInsensitiveOption);
    return named.match(rows.first().value(0)).captured(1);
}

// SQL Server's error 547 for a foreign key: a row of the table that names a missing row, or a
// deleted row that another table's rows still name.
DatabaseError foreignKeyError(sqlite3* database, const QByteArray& sql) {
    const auto [verb, table] = changedTable(sql);
    const QString databaseName = databaseNameOf(database);
    const auto keys = readRows(database,
                               "SELECT \"table\", \"from\", \"to\" FROM "
                               "pragma_foreign_key_list(?1)",
                               table);
    if (verb != QLatin1String("DELETE") && !keys.isEmpty()) {
        QString name = constraintName(database, table, QStringLiteral("FOREIGN\\s+KEY|REFERENCES"));
        if (name.isEmpty())
            name = QStringLiteral("FK_%1_%2").arg(table, keys.first().value(0));
        return EmbeddedErrors::make(
            QStringLiteral("23000"), 547,
            QStringLiteral("The %1 statement conflicted with the FOREIGN KEY constraint \"%2\". "
                           "The conflict occurred in database \"%3\", table \"dbo.%4\", column "
                           "'%5'.")
                .arg(verb, name, databaseName, keys.first().value(0), keys.first().value(2)));
    }
    // A parent row: the first table whose key names this one.
    for (const auto& child : readRows(
             database, "SELECT name FROM main.sqlite_schema WHERE type = 'table'", QString())) {
        for (const auto& key : readRows(database,
                                        "SELECT \"table\", \"from\" FROM "
                                        "pragma_foreign_key_list(?1)",
                                        child.value(0))) {
            if (key.value(0).compare(table, Qt::CaseInsensitive) != 0)
                continue;
            QString name = constraintName(database, child.value(0),
                                          QStringLiteral("FOREIGN\\s+KEY|REFERENCES"));
            if (name.isEmpty())
                name = QStringLiteral("FK_%1_%2").arg(child.value(0), table);
            return EmbeddedErrors::make(
                QStringLiteral("23000"), 547,
                QStringLiteral("The %1 statement conflicted with the REFERENCE constraint \"%2\". "
                               "The conflict occurred in database \"%3\", table \"dbo.%4\", "
                               "column '%5'.")
                    .arg(verb.isEmpty() ? QStringLiteral("DELETE") : verb, name, databaseName,
                         child.value(0), key.value(1)));
        }
    }
    return EmbeddedErrors::make(QStringLiteral("23000"), 547,
                                QStringLiteral("The %1 statement conflicted with a FOREIGN KEY "
                                               "constraint.")
                                    .arg(verb.isEmpty() ? QStringLiteral("INSERT") : verb));
}

// Texts raised by the engine's own SQL functions, already in SQL Server's words.
struct FunctionError {
    const char* prefix;
    const char* code;
    int nativeCode;
};
constexpr FunctionError functionErrors[] = {
    {"Conversion failed when converting date", "22007", 241},
    {"Conversion failed when converting", "22018", 245},
    {"Error converting data type", "22018", 8114},
    {"Cannot convert a char value to money", "22018", 235},
    {"Arithmetic overflow error", "22003", 8115},
};

} // namespace

DatabaseError EmbeddedErrors::make(const QString& code, int nativeCode, const QString& text) {
    return DatabaseError(std::vector<DatabaseErrorEntry>{{code, nativeCode, text}});
}

DatabaseError EmbeddedErrors::fromSqlite(sqlite3* database, int extendedCode,
                                         const QString& message, const QByteArray& sql) {
    const auto after = [&](const char* prefix) { return message.mid(int(qstrlen(prefix))); };
    const auto lastPart = [](const QString& name) { return name.section('.', -1); };

    switch (extendedCode) {
    case SQLITE_CONSTRAINT_NOTNULL:
        if (message.startsWith(QLatin1String("NOT NULL constraint failed: "))) {
            const QString detail = after("NOT NULL constraint failed: ");
            const QString verb = verbOf(sql) == QLatin1String("UPDATE") ? QStringLiteral("UPDATE")
                                                                        : QStringLiteral("INSERT");
            const QString table = detail.section('.', 0, 0);
            // A table variable is named as it is written, without database and schema.
            const QString where =
                table.startsWith('@')
                    ? shownTable(table)
                    : QStringLiteral("%1.dbo.%2").arg(databaseNameOf(database), table);
            return make(QStringLiteral("23000"), 515,
                        QStringLiteral("Cannot insert the value NULL into column '%1', table "
                                       "'%2'; column does not allow nulls. %3 fails.")
                            .arg(detail.section('.', 1), where, verb));
        }
        break;
    case SQLITE_CONSTRAINT_PRIMARYKEY:
    case SQLITE_CONSTRAINT_UNIQUE:
        if (message.startsWith(QLatin1String("UNIQUE constraint failed: ")))
            return duplicateKey(database, extendedCode == SQLITE_CONSTRAINT_PRIMARYKEY,
                                after("UNIQUE constraint failed: "));
        break;
    case SQLITE_CONSTRAINT_FOREIGNKEY:
        return foreignKeyError(database, sql);
    case SQLITE_CONSTRAINT_CHECK:
        if (message.startsWith(QLatin1String("CHECK constraint failed: "))) {
            const auto [verb, table] = changedTable(sql);
            return make(QStringLiteral("23000"), 547,
                        QStringLiteral("The %1 statement conflicted with the CHECK constraint "
                                       "\"%2\". The conflict occurred in database \"%3\", table "
                                       "\"dbo.%4\".")
                            .arg(verb.isEmpty() ? QStringLiteral("INSERT") : verb,
                                 after("CHECK constraint failed: "), databaseNameOf(database),
                                 table));
        }
        break;
    default:
        break;
    }

    if (message.startsWith(QLatin1String("no such table: ")))
        return make(
            QStringLiteral("42S02"), 208,
            QStringLiteral("Invalid object name '%1'.").arg(lastPart(after("no such table: "))));
    if (message.startsWith(QLatin1String("no such column: ")))
        return make(
            QStringLiteral("42S22"), 207,
            QStringLiteral("Invalid column name '%1'.").arg(lastPart(after("no such column: "))));
    static const QRegularExpression noColumnNamed(
        QStringLiteral(R"(^table \S+ has no column named (.+)$)"));
    if (const auto match = noColumnNamed.match(message); match.hasMatch())
        return make(QStringLiteral("42S22"), 207,
                    QStringLiteral("Invalid column name '%1'.").arg(match.captured(1)));
    static const QRegularExpression alreadyExists(
        QStringLiteral(R"(^(?:table|index|view|trigger) (\S+) already exists$)"));
    if (const auto match = alreadyExists.match(message); match.hasMatch())
        return objectAlreadyExists(unquoted(match.captured(1)));
    if (message.startsWith(QLatin1String("no such function: ")))
        return make(QStringLiteral("42000"), 195,
                    QStringLiteral("'%1' is not a recognized built-in function name.")
                        .arg(after("no such function: ")));
    static const QRegularExpression near(QStringLiteral(R"x(^near "(.*)": syntax error$)x"));
    if (const auto match = near.match(message); match.hasMatch())
        return syntaxError(match.captured(1));
    if (message.startsWith(QLatin1String("duplicate column name: ")))
        return make(QStringLiteral("42S21"), 2705,
                    QStringLiteral("Column names in each table must be unique. Column name '%1' "
                                   "is specified more than once.")
                        .arg(after("duplicate column name: ")));
    // Every kind of SQLITE_BUSY: another connection holds the lock the statement needs.
    if ((extendedCode & 0xff) == SQLITE_BUSY)
        return lockTimeout(databaseNameOf(database));
    for (const auto& known : functionErrors) {
        if (message.startsWith(QLatin1String(known.prefix)))
            return make(QLatin1String(known.code), known.nativeCode, message);
    }
    return make(QString::number(extendedCode), extendedCode, message);
}

DatabaseError EmbeddedErrors::serverNotFound() {
    return make(QStringLiteral("08001"), 17,
                QStringLiteral("SQL Server does not exist or access denied."));
}

DatabaseError EmbeddedErrors::serverNotUsable(const QString& problem) {
    return make(QStringLiteral("08001"), 17,
                QStringLiteral("SQL Server does not exist or access denied. Embedded server: %1.")
                    .arg(problem));
}

DatabaseError EmbeddedErrors::lockTimeout(const QString& database) {
    return make(QStringLiteral("HYT00"), 1222,
                QStringLiteral("Lock request time out period exceeded. The database '%1' is "
                               "locked by another connection; try again once the other program "
                               "has finished writing to it.")
                    .arg(database));
}

DatabaseError EmbeddedErrors::databaseNotFound(const QString& name) {
    return make(QStringLiteral("42000"), 4060,
                QStringLiteral("Cannot open database \"%1\" requested by the login. The login "
                               "failed.")
                    .arg(name));
}

DatabaseError EmbeddedErrors::databaseAlreadyExists(const QString& name) {
    return make(QStringLiteral("42000"), 1801,
                QStringLiteral("Database '%1' already exists. Choose a different database name.")
                    .arg(name));
}

DatabaseError EmbeddedErrors::databaseNotDroppable(const QString& name) {
    return make(QStringLiteral("42000"), 3701,
                QStringLiteral("Cannot drop the database '%1', because it does not exist or you "
                               "do not have permission.")
                    .arg(name));
}

DatabaseError EmbeddedErrors::databaseInUse(const QString& name) {
    return make(
        QStringLiteral("42000"), 3702,
        QStringLiteral("Cannot drop database \"%1\" because it is currently in use.").arg(name));
}

DatabaseError EmbeddedErrors::invalidDatabaseName(const QString& name) {
    return make(QStringLiteral("42000"), 102,
                QStringLiteral("Incorrect syntax near '%1'. A database name holds letters, "
                               "digits, '_', '$' and '#' and does not begin with a digit.")
                    .arg(name));
}

DatabaseError EmbeddedErrors::procedureNotFound(const QString& name) {
    return make(QStringLiteral("42000"), 2812,
                QStringLiteral("Could not find stored procedure '%1'.").arg(name));
}

DatabaseError EmbeddedErrors::objectAlreadyExists(const QString& name) {
    return make(QStringLiteral("42S01"), 2714,
                QStringLiteral("There is already an object named '%1' in the database.").arg(name));
}

DatabaseError EmbeddedErrors::variableNotDeclared(const QString& name) {
    return make(QStringLiteral("42000"), 137,
                QStringLiteral("Must declare the scalar variable \"%1\".").arg(name));
}

DatabaseError EmbeddedErrors::syntaxError(const QString& near) {
    return make(QStringLiteral("42000"), 102,
                QStringLiteral("Incorrect syntax near '%1'.").arg(near));
}

DatabaseError EmbeddedErrors::unsupported(const QString& what) {
    return make(QStringLiteral("42000"), 0,
                QStringLiteral("The embedded engine does not support %1.").arg(what));
}

QString EmbeddedErrors::conversionFailedText(const QString& value, const QString& type) {
    return QStringLiteral("Conversion failed when converting the varchar value '%1' to data type "
                          "%2.")
        .arg(value, type);
}

QString EmbeddedErrors::numericConversionText(const QString& type) {
    return QStringLiteral("Error converting data type varchar to %1.").arg(type);
}

QString EmbeddedErrors::moneyConversionText() {
    return QStringLiteral("Cannot convert a char value to money. The char value has incorrect "
                          "syntax.");
}

QString EmbeddedErrors::dateConversionText() {
    return QStringLiteral("Conversion failed when converting date and/or time from character "
                          "string.");
}

QString EmbeddedErrors::overflowText(const QString& type) {
    return QStringLiteral("Arithmetic overflow error converting expression to data type %1.")
        .arg(type);
}

} // namespace db
