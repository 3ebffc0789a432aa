#pragma once

#include "db/Connection.h"
#include "db/embedded/SqliteDatabase.h"
#include "db/embedded/StatementCache.h"

#include <QString>

#include <memory>

namespace db {

namespace tsql {
class Catalog;
class Interpreter;
class SqlFunctions;
} // namespace tsql

// A connection to one database of an embedded server: a directory whose databases are SQLite
// files, standing in for SQL Server. "master" is virtual: its SysDatabases lists the server's
// databases, and it takes Create Database and Drop Database.
//
// Every text it is sent is T-SQL, run by the engine's interpreter (tsql::Interpreter): batches
// as SQL Server runs them, procedures from the text installed in the database. Each statement
// commits by itself unless the batch opens a transaction; prepared statements are kept for
// reuse.
class EmbeddedConnection : public Connection {
public:
    EmbeddedConnection(const QString& serverDirectory, const QString& databaseName);
    ~EmbeddedConnection() override;

    EmbeddedConnection(const EmbeddedConnection&) = delete;
    EmbeddedConnection& operator=(const EmbeddedConnection&) = delete;

    QString dialect() const override { return QStringLiteral("embedded"); }
    ResultSet execute(const QString& sql, const std::vector<SqlValue>& params) override;
    void executeDirect(const QString& sql) override;
    int callProcedure(const QString& name, std::vector<ProcedureParam>& params) override;
    std::vector<ProcedureParameter> procedureParameters(const QString& name) override;

    // Runs SQLite's own dialect as it stands, '?' markers bound in order: for tests and tools
    // that look at the file itself.
    ResultSet executeSqlite(const QString& sql, const std::vector<SqlValue>& params = {});

    const QString& serverDirectory() const { return serverDirectory_; }
    // The database's name as it was created.
    const QString& databaseName() const { return databaseName_; }
    bool isMaster() const { return master_; }
    // How many statements this connection has had to prepare; reused ones do not count.
    std::size_t preparedStatementCount() const { return statements_.preparedCount(); }

private:
    void refreshDatabaseList();

    QString serverDirectory_;
    QString databaseName_;
    bool master_ = false;
    // Declared before what uses it, so it is closed after them.
    SqliteDatabase database_;
    std::unique_ptr<tsql::SqlFunctions> functions_;
    StatementCache statements_;
    std::unique_ptr<tsql::Catalog> catalog_;
    std::unique_ptr<tsql::Interpreter> interpreter_;
};

} // namespace db
