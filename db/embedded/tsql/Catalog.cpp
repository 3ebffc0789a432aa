#include "db/embedded/tsql/Catalog.h"

#include "db/embedded/tsql/Parser.h"
#include "db/embedded/tsql/TsqlError.h"

#include <sqlite3.h>

#include <memory>

namespace db::tsql {

namespace {

// A one-off statement of the catalog, finalized when it goes.
class CatalogQuery {
public:
    CatalogQuery(sqlite3* database, const char* sql) : database_(database) {
        if (sqlite3_prepare_v2(database, sql, -1, &statement_, nullptr) != SQLITE_OK) {
            const QString message = QString::fromUtf8(sqlite3_errmsg(database));
            sqlite3_finalize(statement_);
            statement_ = nullptr;
            throw TsqlError(0, message);
        }
    }
    ~CatalogQuery() { sqlite3_finalize(statement_); }
    CatalogQuery(const CatalogQuery&) = delete;
    CatalogQuery& operator=(const CatalogQuery&) = delete;

    CatalogQuery& bind(int index, const QString& text) {
        const QByteArray utf8 = text.toUtf8();
        sqlite3_bind_text(statement_, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        return *this;
    }
    CatalogQuery& bind(int index, qint64 number) {
        sqlite3_bind_int64(statement_, index, number);
        return *this;
    }
    bool next() {
        const int code = sqlite3_step(statement_);
        if (code == SQLITE_ROW)
            return true;
        if (code != SQLITE_DONE)
            throw TsqlError(0, QString::fromUtf8(sqlite3_errmsg(database_)));
        return false;
    }
    QString text(int column) const {
        return QString::fromUtf8(
            reinterpret_cast<const char*>(sqlite3_column_text(statement_, column)),
            sqlite3_column_bytes(statement_, column));
    }
    qint64 number(int column) const { return sqlite3_column_int64(statement_, column); }
    bool isNull(int column) const { return sqlite3_column_type(statement_, column) == SQLITE_NULL; }

private:
    sqlite3* database_;
    sqlite3_stmt* statement_ = nullptr;
};

void execute(sqlite3* database, const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(database, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        const QString text = QString::fromUtf8(message ? message : sqlite3_errmsg(database));
        sqlite3_free(message);
        throw TsqlError(0, text);
    }
}

// The catalog views SysObjects and SysColumns are SQLite views whose columns SQLite does not
// type: SQL Server's types for them.
std::optional<SqlType> catalogViewColumn(const QString& view, const QString& column) {
    const QString v = view.toLower();
    const QString c = column.toLower();
    if (v != QLatin1String("sysobjects") && v != QLatin1String("syscolumns"))
        return std::nullopt;
    if (c == QLatin1String("id"))
        return SqlType::integer();
    if (c == QLatin1String("name"))
        return SqlType::nVarChar(128);
    if (c == QLatin1String("xtype") || c == QLatin1String("type"))
        return SqlType::charType(2);
    if (c == QLatin1String("colid"))
        return SqlType::smallInt();
    return std::nullopt;
}

QString quoted(const QString& name) {
    QString text = name;
    return '"' + text.replace('"', QStringLiteral("\"\"")) + '"';
}

} // namespace

const ColumnInfo* TableInfo::column(const QString& columnName) const {
    for (const ColumnInfo& candidate : columns) {
        if (candidate.name.compare(columnName, Qt::CaseInsensitive) == 0)
            return &candidate;
    }
    return nullptr;
}

int TableInfo::identityColumn() const {
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].identity)
            return int(i);
    }
    return -1;
}

QString TableInfo::catalogName() const {
    // sqlName is schema."name" with quotes in the name doubled.
    const qsizetype dot = sqlName.indexOf(QLatin1String(".\""));
    if (dot < 0 || !sqlName.endsWith('"'))
        return name;
    return sqlName.mid(dot + 2).chopped(1).replace(QLatin1String("\"\""), QLatin1String("\""));
}

Catalog::Catalog(sqlite3* database) : database_(database) {}

void Catalog::prepare() {
    execute(database_, "CREATE TABLE IF NOT EXISTS main.embedded_procedures ("
                       "Name TEXT NOT NULL PRIMARY KEY COLLATE NOCASE, Definition TEXT)");
    // Databases of the engine's first version kept only the names of built-in procedures.
    bool hasDefinition = false;
    CatalogQuery columns(database_,
                         "SELECT name FROM pragma_table_info('embedded_procedures', 'main')");
    while (columns.next()) {
        if (columns.text(0).compare(QLatin1String("Definition"), Qt::CaseInsensitive) == 0)
            hasDefinition = true;
    }
    if (!hasDefinition)
        execute(database_, "ALTER TABLE main.embedded_procedures ADD COLUMN Definition TEXT");
    execute(database_,
            "CREATE TABLE IF NOT EXISTS main.embedded_identity ("
            "TableName TEXT NOT NULL PRIMARY KEY COLLATE NOCASE, ColumnName TEXT NOT NULL, "
            "Seed INTEGER NOT NULL, Increment INTEGER NOT NULL, Current INTEGER)");
    execute(database_, "CREATE TABLE IF NOT EXISTS main.embedded_types ("
                       "Name TEXT NOT NULL PRIMARY KEY COLLATE NOCASE, BaseType TEXT NOT NULL, "
                       "Nullable INTEGER NOT NULL DEFAULT 1)");
}

void Catalog::prepareConnection() {
    execute(database_,
            "CREATE TEMP TABLE IF NOT EXISTS embedded_identity ("
            "TableName TEXT NOT NULL PRIMARY KEY COLLATE NOCASE, ColumnName TEXT NOT NULL, "
            "Seed INTEGER NOT NULL, Increment INTEGER NOT NULL, Current INTEGER)");
}

std::optional<Catalog::Identity> Catalog::identity(const QString& table, bool temporary) {
    CatalogQuery query(database_, temporary ? "SELECT ColumnName, Seed, Increment, Current FROM "
                                              "temp.embedded_identity WHERE TableName = ?1"
                                            : "SELECT ColumnName, Seed, Increment, Current FROM "
                                              "main.embedded_identity WHERE TableName = ?1");
    query.bind(1, table);
    if (!query.next())
        return std::nullopt;
    Identity identity;
    identity.column = query.text(0);
    identity.seed = query.number(1);
    identity.increment = query.number(2);
    if (!query.isNull(3))
        identity.current = query.number(3);
    return identity;
}

void Catalog::addIdentity(const QString& table, bool temporary, const Identity& identity) {
    CatalogQuery insert(database_, temporary
                                       ? "INSERT OR REPLACE INTO temp.embedded_identity "
                                         "(TableName, ColumnName, Seed, Increment) VALUES (?1, ?2, "
                                         "?3, ?4)"
                                       : "INSERT OR REPLACE INTO main.embedded_identity "
                                         "(TableName, ColumnName, Seed, Increment) VALUES (?1, ?2, "
                                         "?3, ?4)");
    insert.bind(1, table)
        .bind(2, identity.column)
        .bind(3, identity.seed)
        .bind(4, identity.increment);
    insert.next();
    invalidate();
}

void Catalog::setIdentityCurrent(const QString& table, bool temporary,
                                 std::optional<qint64> current) {
    CatalogQuery update(database_, temporary ? "UPDATE temp.embedded_identity SET Current = ?2 "
                                               "WHERE TableName = ?1"
                                             : "UPDATE main.embedded_identity SET Current = ?2 "
                                               "WHERE TableName = ?1");
    update.bind(1, table);
    if (current)
        update.bind(2, *current);
    update.next();
}

void Catalog::dropIdentity(const QString& table, bool temporary) {
    CatalogQuery remove(database_, temporary
                                       ? "DELETE FROM temp.embedded_identity WHERE TableName = ?1"
                                       : "DELETE FROM main.embedded_identity WHERE TableName = ?1");
    remove.bind(1, table);
    remove.next();
}

void Catalog::renameIdentity(const QString& table, const QString& newName, bool temporary) {
    CatalogQuery rename(database_, temporary ? "UPDATE temp.embedded_identity SET TableName = ?2 "
                                               "WHERE TableName = ?1"
                                             : "UPDATE main.embedded_identity SET TableName = ?2 "
                                               "WHERE TableName = ?1");
    rename.bind(1, table).bind(2, newName);
    rename.next();
}

std::optional<qint64> Catalog::highestValue(const TableInfo& table, const QString& column) {
    const QByteArray sql =
        QStringLiteral("SELECT max(%1) FROM %2").arg(quoted(column), table.sqlName).toUtf8();
    CatalogQuery query(database_, sql.constData());
    if (!query.next() || query.isNull(0))
        return std::nullopt;
    return query.number(0);
}

std::optional<SqlType> Catalog::columnType(const QString& declared) {
    if (declared.isEmpty())
        return std::nullopt;
    QString text = declared;
    text.replace(QLatin1String("(-1)"), QLatin1String("(max)"));
    if (const auto system = SqlType::fromText(text))
        return system;
    // An identity column is SQLite's INTEGER PRIMARY KEY.
    if (declared.compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0)
        return SqlType::integer();
    if (const auto user = userType(declared))
        return user;
    return std::nullopt;
}

const TableInfo* Catalog::table(const QString& name, bool temporary) {
    const QString key = (temporary ? QStringLiteral("temp:") : QString()) + name.toLower();
    const auto found = tables_.constFind(key);
    if (found != tables_.cend())
        return found.value().get();

    const char* schemas[] = {"main", "temp"};
    for (const char* schema : schemas) {
        if (temporary && qstrcmp(schema, "main") == 0)
            continue;
        CatalogQuery object(database_, qstrcmp(schema, "main") == 0
                                           ? "SELECT name, type FROM main.sqlite_schema WHERE "
                                             "type IN ('table', 'view') AND name = ?1 COLLATE "
                                             "NOCASE"
                                           : "SELECT name, type FROM temp.sqlite_schema WHERE "
                                             "type IN ('table', 'view') AND name = ?1 COLLATE "
                                             "NOCASE");
        object.bind(1, name);
        if (!object.next())
            continue;
        auto info = std::make_shared<TableInfo>();
        info->name = object.text(0);
        info->view = object.text(1) == QLatin1String("view");
        info->hasRowid = !info->view;
        info->temporary = qstrcmp(schema, "temp") == 0;
        info->sqlName = (info->temporary ? QStringLiteral("temp.") : QStringLiteral("main.")) +
                        quoted(info->name);
        const std::optional<Identity> numbered =
            info->view ? std::nullopt : identity(info->name, info->temporary);
        CatalogQuery columns(database_, "SELECT name, type, \"notnull\" FROM "
                                        "pragma_table_info(?1, ?2)");
        columns.bind(1, info->name).bind(2, QString::fromLatin1(schema));
        const QByteArray tableName = info->name.toUtf8();
        while (columns.next()) {
            ColumnInfo column;
            column.name = columns.text(0);
            column.notNull = columns.number(2) != 0;
            column.type =
                columnType(columns.text(1))
                    .value_or(
                        catalogViewColumn(info->name, column.name).value_or(SqlType::variant()));
            if (!info->view) {
                const char* collation = nullptr;
                int autoIncrement = 0;
                const QByteArray columnName = column.name.toUtf8();
                if (sqlite3_table_column_metadata(database_, schema, tableName.constData(),
                                                  columnName.constData(), nullptr, &collation,
                                                  nullptr, nullptr, &autoIncrement) == SQLITE_OK) {
                    column.identity =
                        numbered && numbered->column.compare(column.name, Qt::CaseInsensitive) == 0;
                    if (collation != nullptr && column.type.isString() &&
                        (qstricmp(collation, "RTRIM") == 0 || qstricmp(collation, "BINARY") == 0))
                        column.type.collation = Collation::Binary;
                }
            }
            info->columns.push_back(std::move(column));
        }
        const TableInfo* result = info.get();
        tables_.insert(key, std::move(info));
        return result;
    }
    return nullptr;
}

std::optional<SqlType> Catalog::userType(const QString& name) {
    if (!userTypesRead_) {
        CatalogQuery types(database_, "SELECT Name, BaseType FROM main.embedded_types");
        while (types.next()) {
            if (const auto base = SqlType::fromText(types.text(1)))
                userTypes_.insert(types.text(0).toLower(), *base);
        }
        userTypesRead_ = true;
    }
    const auto found = userTypes_.constFind(name.toLower());
    if (found == userTypes_.cend())
        return std::nullopt;
    return found.value();
}

void Catalog::createType(const QString& name, const SqlType& base, bool nullable) {
    if (userType(name) || SqlType::fromText(name))
        throw TsqlError(219, QStringLiteral("The type '%1' already exists, or you do not have "
                                            "permission to create it.")
                                 .arg(name));
    CatalogQuery insert(database_,
                        "INSERT INTO main.embedded_types (Name, BaseType, Nullable) VALUES (?1, "
                        "?2, ?3)");
    insert.bind(1, name).bind(2, base.name()).bind(3, nullable ? 1 : 0);
    insert.next();
    invalidate();
}

void Catalog::dropType(const QString& name) {
    if (!userType(name))
        throw TsqlError(218, QStringLiteral("Could not find the type '%1' because it does not "
                                            "exist or you do not have permission.")
                                 .arg(name));
    CatalogQuery remove(database_, "DELETE FROM main.embedded_types WHERE Name = ?1");
    remove.bind(1, name);
    remove.next();
    invalidate();
}

std::shared_ptr<const StoredProcedure> Catalog::procedure(const QString& name) {
    const QString key = name.toLower();
    const auto found = procedures_.constFind(key);
    if (found != procedures_.cend())
        return found.value();
    CatalogQuery query(database_,
                       "SELECT Name, Definition FROM main.embedded_procedures WHERE Name = ?1");
    query.bind(1, name);
    if (!query.next() || query.isNull(1))
        return nullptr;
    auto procedure = std::make_shared<StoredProcedure>();
    procedure->name = query.text(0);
    procedure->text = query.text(1);
    Batch batch = Parser::parseBatch(procedure->text);
    if (batch.statements.size() != 1 ||
        batch.statements.front()->kind != StatementKind::CreateProcedure)
        throw TsqlError(0, QStringLiteral("The stored text of procedure '%1' is not a procedure.")
                               .arg(procedure->name));
    procedure->definition.reset(
        static_cast<CreateProcedureStatement*>(batch.statements.front().release()));
    procedures_.insert(key, procedure);
    return procedure;
}

bool Catalog::hasProcedure(const QString& name) {
    CatalogQuery query(database_, "SELECT 1 FROM main.embedded_procedures WHERE Name = ?1");
    query.bind(1, name);
    return query.next();
}

void Catalog::storeProcedure(const QString& name, const QString& text, bool replace) {
    CatalogQuery object(database_, "SELECT 1 FROM main.sqlite_schema WHERE type IN ('table', "
                                   "'view') AND name = ?1 COLLATE NOCASE");
    object.bind(1, name);
    if (object.next() || (!replace && hasProcedure(name)))
        throw TsqlError(
            2714,
            QStringLiteral("There is already an object named '%1' in the database.").arg(name));
    CatalogQuery store(database_, "INSERT OR REPLACE INTO main.embedded_procedures (Name, "
                                  "Definition) VALUES (?1, ?2)");
    store.bind(1, name).bind(2, text);
    store.next();
    procedures_.remove(name.toLower());
    ++generation_;
}

void Catalog::dropProcedure(const QString& name) {
    if (!hasProcedure(name))
        throw TsqlError(3701,
                        QStringLiteral("Cannot drop the procedure '%1', because it does not exist "
                                       "or you do not have permission.")
                            .arg(name));
    CatalogQuery remove(database_, "DELETE FROM main.embedded_procedures WHERE Name = ?1");
    remove.bind(1, name);
    remove.next();
    procedures_.remove(name.toLower());
    ++generation_;
}

QStringList Catalog::procedureNames() {
    QStringList names;
    CatalogQuery query(database_, "SELECT Name FROM main.embedded_procedures ORDER BY Name");
    while (query.next())
        names << query.text(0);
    return names;
}

void Catalog::invalidate() {
    tables_.clear();
    userTypes_.clear();
    userTypesRead_ = false;
    procedures_.clear();
    ++generation_;
}

void Catalog::StatementFinalizer::operator()(sqlite3_stmt* statement) const {
    sqlite3_finalize(statement);
}

void Catalog::refreshIfChanged() {
    if (!dataVersionQuery_) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v3(database_, "PRAGMA data_version", -1, SQLITE_PREPARE_PERSISTENT,
                               &statement, nullptr) != SQLITE_OK) {
            sqlite3_finalize(statement);
            throw TsqlError(0, QString::fromUtf8(sqlite3_errmsg(database_)));
        }
        dataVersionQuery_.reset(statement);
    }
    sqlite3_stmt* query = dataVersionQuery_.get();
    const int code = sqlite3_step(query);
    const qint64 current = code == SQLITE_ROW ? sqlite3_column_int64(query, 0) : 0;
    sqlite3_reset(query);
    if (code != SQLITE_ROW && code != SQLITE_DONE)
        throw TsqlError(0, QString::fromUtf8(sqlite3_errmsg(database_)));
    if (dataVersion_ >= 0 && current != dataVersion_)
        invalidate();
    dataVersion_ = current;
}

} // namespace db::tsql
