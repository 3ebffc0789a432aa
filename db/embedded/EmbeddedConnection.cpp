#include "db/embedded/EmbeddedConnection.h"

#include "db/embedded/EmbeddedCatalog.h"
#include "db/embedded/EmbeddedErrors.h"
#include "db/embedded/EmbeddedProcedureContext.h"
#include "db/embedded/EmbeddedProcedures.h"
#include "db/embedded/EmbeddedServer.h"
#include "db/embedded/SqliteBusyWait.h"
#include "db/embedded/TsqlCollations.h"
#include "db/embedded/TsqlFunctions.h"

#include <sqlite3.h>

namespace db {

namespace {

constexpr qsizetype translationCacheSize = 256;

// "dbo.Name", "[Name]" and "Name;1" (a procedure group number) all name procedure Name.
QString procedureName(QString name) {
    name = name.trimmed();
    const int group = int(name.lastIndexOf(';'));
    if (group > 0)
        name.truncate(group);
    name = name.section('.', -1);
    if (name.startsWith('[') && name.endsWith(']'))
        name = name.mid(1, name.size() - 2);
    return name;
}

QVariant convertedOutput(const QVariant& value, DataType type) {
    if (!value.isValid() || value.isNull())
        return {};
    switch (type) {
    case DataType::DateTime:
        if (value.metaType().id() == QMetaType::QString) {
            const QDateTime parsed = parseSqlDateTime(value.toString());
            return parsed.isValid() ? QVariant(parsed) : value;
        }
        return value;
    case DataType::Integer:
        return value.canConvert<qlonglong>() ? QVariant(value.toLongLong()) : value;
    case DataType::Float:
        return value.canConvert<double>() ? QVariant(value.toDouble()) : value;
    case DataType::String:
        return value.metaType().id() == QMetaType::QDateTime
                   ? QVariant(formatSqlDateTime(value.toDateTime()))
                   : QVariant(value.toString());
    default:
        return value;
    }
}

} // namespace

EmbeddedConnection::EmbeddedConnection(const QString& serverDirectory, const QString& databaseName)
    : serverDirectory_(serverDirectory), master_(EmbeddedServer::isMaster(databaseName)) {
    if (!EmbeddedServer::exists(serverDirectory))
        throw EmbeddedErrors::serverNotFound();
    if (!master_ && !EmbeddedServer::databaseExists(serverDirectory, databaseName))
        throw EmbeddedErrors::databaseNotFound(databaseName);
    databaseName_ = EmbeddedServer::storedName(serverDirectory, databaseName);

    database_.open(
        master_ ? QString() : EmbeddedServer::databaseFile(serverDirectory, databaseName), false);
    SqliteBusyWait::install(database_.handle());
    TsqlCollations::registerOn(database_.handle());
    TsqlFunctions::registerOn(database_.handle());
    // WAL with synchronous NORMAL: each statement is its own durable commit without waiting
    // for the disk on every one of them. Pages are read through a memory map, so that a
    // company larger than the page cache is not copied page by page out of the file.
    database_.executeScript("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; "
                            "PRAGMA foreign_keys=OFF; PRAGMA temp_store=MEMORY; "
                            "PRAGMA cache_size=-16000; PRAGMA mmap_size=1073741824");
    EmbeddedCatalog::createInternalTables(database_);
    EmbeddedCatalog::createCatalogViews(database_);
    if (master_)
        EmbeddedCatalog::createDatabaseList(database_);
}

EmbeddedConnection::~EmbeddedConnection() = default;

ResultSet EmbeddedConnection::execute(const QString& sql, const std::vector<SqlValue>& params) {
    const auto batch = translation(sql);
    return runBatch(*batch, params, true);
}

void EmbeddedConnection::executeDirect(const QString& sql) {
    runBatch(TsqlTranslator::translate(sql), {}, false);
}

ResultSet EmbeddedConnection::executeSqlite(const QString& sql,
                                            const std::vector<SqlValue>& params) {
    return runSql(sql.toUtf8(), params, true);
}

void EmbeddedConnection::installProcedure(const QString& name) {
    EmbeddedProcedures::install(*this, name);
}

int EmbeddedConnection::callProcedure(const QString& name, std::vector<ProcedureParam>& params) {
    const QString procedure = procedureName(name);
    if (!EmbeddedProcedures::isInstalled(*this, procedure))
        throw EmbeddedErrors::procedureNotFound(name);
    const EmbeddedProcedure implementation = EmbeddedProcedures::implementation(procedure);
    if (!implementation)
        throw EmbeddedErrors::make(QStringLiteral("42000"), 2812,
                                   QStringLiteral("Could not find stored procedure '%1'. It is "
                                                  "installed, but this program has no "
                                                  "implementation of it.")
                                       .arg(name));

    EmbeddedProcedureContext context(*this, params);
    runSql("SAVEPOINT embedded_procedure", {}, true);
    int result = 0;
    try {
        result = implementation(context);
        runSql("RELEASE embedded_procedure", {}, true);
    } catch (...) {
        rollbackProcedure();
        throw;
    }

    for (auto& param : params) {
        if (param.kind == ParamKind::Result) {
            param.value = result;
        } else if (param.kind == ParamKind::Output || param.kind == ParamKind::InputOutput) {
            if (const auto value = context.output(param.name))
                param.value = convertedOutput(*value, param.type);
        }
    }
    return result;
}

std::vector<ProcedureParameter> EmbeddedConnection::procedureParameters(const QString& name) {
    const QString procedure = procedureName(name);
    if (!EmbeddedProcedures::isInstalled(*this, procedure))
        throw EmbeddedErrors::procedureNotFound(name);
    std::vector<ProcedureParameter> parameters;
    for (const QString& parameter : EmbeddedProcedures::parameterNames(procedure))
        parameters.push_back({parameter, QString(), false});
    return parameters;
}

void EmbeddedConnection::rollbackProcedure() noexcept {
    // SQLite may already have rolled the whole transaction back (a full disk, for one); then
    // the savepoint is gone and there is nothing left to undo.
    try {
        runSql("ROLLBACK TO embedded_procedure", {}, true);
        runSql("RELEASE embedded_procedure", {}, true);
    } catch (...) {
    }
}

std::shared_ptr<const TranslatedBatch> EmbeddedConnection::translation(const QString& sql) {
    const auto found = translations_.constFind(sql);
    if (found != translations_.cend())
        return found.value();
    auto batch = std::make_shared<const TranslatedBatch>(TsqlTranslator::translate(sql));
    if (translations_.size() >= translationCacheSize)
        translations_.clear();
    translations_.insert(sql, batch);
    return batch;
}

ResultSet EmbeddedConnection::runBatch(const TranslatedBatch& batch,
                                       std::span<const SqlValue> params, bool cached) {
    std::size_t markers = 0;
    for (const auto& statement : batch)
        markers += std::size_t(statement.totalMarkerCount());
    if (markers != params.size())
        throw DatabaseError(QStringLiteral("The statement has %1 parameter marker(s) but %2 "
                                           "value(s) were given.")
                                .arg(markers)
                                .arg(params.size()));
    if (master_)
        refreshDatabaseList();
    return runStatements(batch, params, cached);
}

ResultSet EmbeddedConnection::runStatements(const std::vector<TranslatedStatement>& statements,
                                            std::span<const SqlValue> params, bool cached) {
    ResultSet first;
    bool found = false;
    std::size_t offset = 0;
    for (const auto& statement : statements) {
        const auto count = std::size_t(statement.totalMarkerCount());
        ResultSet result = runStatement(statement, params.subspan(offset, count), cached);
        offset += count;
        if (!found && !result.columns.isEmpty()) {
            first = std::move(result);
            found = true;
        }
    }
    return first;
}

ResultSet EmbeddedConnection::runStatement(const TranslatedStatement& statement,
                                           std::span<const SqlValue> params, bool cached) {
    using Kind = TranslatedStatement::Kind;
    switch (statement.kind) {
    case Kind::Sql: {
        ResultSet result = runSql(statement.sql, params, cached);
        if (!statement.changedTable.isEmpty())
            EmbeddedCatalog::createRoundingTriggers(database_, statement.changedTable);
        return result;
    }
    case Kind::If: {
        const auto markers = std::size_t(statement.markerCount);
        const ResultSet condition = runSql(statement.sql, params.first(markers), cached);
        const bool holds = !condition.rows.empty() && condition.rows.front().value(0).toInt() != 0;
        if (!holds)
            return {};
        return runStatements(statement.body, params.subspan(markers), cached);
    }
    case Kind::Exec:
        callFromText(statement, params);
        return {};
    case Kind::CreateDatabase:
        EmbeddedServer::createDatabase(serverDirectory_, statement.name);
        return {};
    case Kind::DropDatabase:
        if (!master_ && statement.name.compare(databaseName_, Qt::CaseInsensitive) == 0)
            throw EmbeddedErrors::databaseInUse(statement.name);
        EmbeddedServer::dropDatabase(serverDirectory_, statement.name);
        return {};
    case Kind::Nothing:
        return {};
    }
    return {};
}

ResultSet EmbeddedConnection::runSql(const QByteArray& sql, std::span<const SqlValue> params,
                                     bool cached) {
    const std::shared_ptr<SqliteStatement> statement =
        cached ? statements_.statement(database_.handle(), sql)
               : std::make_shared<SqliteStatement>(database_.handle(), sql, false);
    return statement->run(params);
}

void EmbeddedConnection::callFromText(const TranslatedStatement& statement,
                                      std::span<const SqlValue> params) {
    const QStringList declared = EmbeddedProcedures::parameterNames(procedureName(statement.name));
    std::vector<ProcedureParam> procedureParams;
    int position = 0;
    for (const auto& argument : statement.arguments) {
        ProcedureParam param;
        param.name = argument.name;
        if (param.name.isEmpty()) {
            if (position >= declared.size())
                throw EmbeddedErrors::make(QStringLiteral("42000"), 8144,
                                           QStringLiteral("Procedure or function %1 has too many "
                                                          "arguments specified.")
                                               .arg(statement.name));
            param.name = declared[position];
        }
        ++position;
        param.kind = argument.output ? ParamKind::InputOutput : ParamKind::Input;
        if (argument.marker >= 0) {
            param.type = params[std::size_t(argument.marker)].type;
            param.value = params[std::size_t(argument.marker)].value;
        } else {
            param.value = argument.value;
        }
        procedureParams.push_back(std::move(param));
    }
    callProcedure(statement.name, procedureParams);
}

void EmbeddedConnection::refreshDatabaseList() {
    runSql("DELETE FROM main.SysDatabases", {}, true);
    const QByteArray insert = "INSERT INTO main.SysDatabases (Name, DbId) VALUES (?1, ?2)";
    runSql(insert,
           std::vector<SqlValue>{{DataType::String, EmbeddedServer::masterName},
                                 {DataType::Integer, 1}},
           true);
    // User databases are numbered from 5 on SQL Server, after its four system databases.
    int id = 5;
    for (const QString& name : EmbeddedServer::databaseNames(serverDirectory_))
        runSql(insert, std::vector<SqlValue>{{DataType::String, name}, {DataType::Integer, id++}},
               true);
}

} // namespace db
