#include "db/embedded/EmbeddedConnection.h"

#include "db/embedded/EmbeddedCatalog.h"
#include "db/embedded/EmbeddedErrors.h"
#include "db/embedded/EmbeddedServer.h"
#include "db/embedded/SqliteBusyWait.h"
#include "db/embedded/TsqlCollations.h"
#include "db/embedded/tsql/Catalog.h"
#include "db/embedded/tsql/Interpreter.h"
#include "db/embedded/tsql/SqlFunctions.h"

#include <sqlite3.h>

namespace db {

EmbeddedConnection::EmbeddedConnection(const QString& serverDirectory, const QString& databaseName)
    : serverDirectory_(serverDirectory), master_(EmbeddedServer::isMaster(databaseName)),
      statements_(512) {
    if (!EmbeddedServer::exists(serverDirectory))
        throw EmbeddedErrors::serverNotFound();
    if (!master_ && !EmbeddedServer::databaseExists(serverDirectory, databaseName))
        throw EmbeddedErrors::databaseNotFound(databaseName);
    databaseName_ = EmbeddedServer::storedName(serverDirectory, databaseName);

    database_.open(
        master_ ? QString() : EmbeddedServer::databaseFile(serverDirectory, databaseName), false);
    SqliteBusyWait::install(database_.handle());
    TsqlCollations::registerOn(database_.handle());
    // SQLite's Bloom filters hash a join's key bytes, not the key as the collation compares it:
    // 'B' and 'B  ' would not meet, though the case-insensitive collation makes them equal.
    constexpr int bloomFilter = 0x00080000;
    sqlite3_test_control(SQLITE_TESTCTRL_OPTIMIZATIONS, database_.handle(), bloomFilter);
    functions_ = std::make_unique<tsql::SqlFunctions>(database_.handle());
    // WAL with synchronous NORMAL: each statement is its own durable commit without waiting
    // for the disk on every one of them. Pages are read through a memory map, so that a
    // company larger than the page cache is not copied page by page out of the file.
    database_.executeScript("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; "
                            "PRAGMA foreign_keys=ON; PRAGMA temp_store=MEMORY; "
                            "PRAGMA cache_size=-16000; PRAGMA mmap_size=1073741824");
    catalog_ = std::make_unique<tsql::Catalog>(database_.handle());
    try {
        catalog_->prepare();
        catalog_->prepareConnection();
    } catch (const tsql::TsqlError& error) {
        throw error.toDatabaseError();
    }
    EmbeddedCatalog::createCatalogViews(database_);
    if (master_)
        EmbeddedCatalog::createDatabaseList(database_);
    interpreter_ = std::make_unique<tsql::Interpreter>(database_.handle(), *catalog_, *functions_,
                                                       statements_, databaseName_);
    if (master_) {
        interpreter_->createDatabase = [this](const QString& name) {
            EmbeddedServer::createDatabase(serverDirectory_, name);
        };
        interpreter_->dropDatabase = [this](const QString& name) {
            EmbeddedServer::dropDatabase(serverDirectory_, name);
        };
    } else {
        const auto refused = [this](const QString& name) {
            if (name.compare(databaseName_, Qt::CaseInsensitive) == 0)
                throw EmbeddedErrors::databaseInUse(name);
            throw EmbeddedErrors::make(QStringLiteral("42000"), 40000,
                                       QStringLiteral("Create Database and Drop Database run on "
                                                      "master."));
        };
        interpreter_->createDatabase = refused;
        interpreter_->dropDatabase = refused;
    }
}

EmbeddedConnection::~EmbeddedConnection() {
    // The interpreter's statements go before the database they belong to.
    interpreter_.reset();
    statements_.clear();
    catalog_.reset();
}

ResultSet EmbeddedConnection::execute(const QString& sql, const std::vector<SqlValue>& params) {
    if (master_)
        refreshDatabaseList();
    return interpreter_->runBatch(sql, params);
}

void EmbeddedConnection::executeDirect(const QString& sql) {
    if (master_)
        refreshDatabaseList();
    interpreter_->runBatch(sql, {});
}

int EmbeddedConnection::callProcedure(const QString& name, std::vector<ProcedureParam>& params) {
    return interpreter_->callProcedure(name, params);
}

std::vector<ProcedureParameter> EmbeddedConnection::procedureParameters(const QString& name) {
    return interpreter_->procedureParameters(name);
}

ResultSet EmbeddedConnection::executeSqlite(const QString& sql,
                                            const std::vector<SqlValue>& params) {
    return statements_.statement(database_.handle(), sql.toUtf8())->run(params);
}

void EmbeddedConnection::refreshDatabaseList() {
    auto run = [this](const QByteArray& sql, const std::vector<SqlValue>& values) {
        statements_.statement(database_.handle(), sql)->run(values);
    };
    run("DELETE FROM main.SysDatabases", {});
    const QByteArray insert = "INSERT INTO main.SysDatabases (Name, DbId) VALUES (?1, ?2)";
    run(insert, {{DataType::String, EmbeddedServer::masterName}, {DataType::Integer, 1}});
    // User databases are numbered from 5 on SQL Server, after its four system databases.
    int id = 5;
    for (const QString& name : EmbeddedServer::databaseNames(serverDirectory_))
        run(insert, {{DataType::String, name}, {DataType::Integer, id++}});
}

} // namespace db
