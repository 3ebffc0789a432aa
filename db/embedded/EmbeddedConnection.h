#pragma once

#include "db/Connection.h"
#include "db/embedded/SqliteDatabase.h"
#include "db/embedded/StatementCache.h"
#include "db/embedded/TsqlTranslator.h"

#include <QHash>
#include <QString>

#include <memory>
#include <span>

namespace db {

// A connection to one database of an embedded server: a directory whose databases are SQLite
// files, standing in for SQL Server. "master" is virtual: its SysDatabases lists the server's
// databases, and it takes CREATE DATABASE and DROP DATABASE.
//
// The T-SQL it is sent is rewritten by TsqlTranslator (the rewrite of a text is kept, so a
// statement sent again costs a lookup) and the prepared statements are kept for reuse. Every
// statement commits by itself; a procedure call runs in one transaction of its own.
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

    // Runs SQLite's own dialect as it stands, '?' markers bound in order.
    ResultSet executeSqlite(const QString& sql, const std::vector<SqlValue>& params = {});

    // Installs a registered built-in procedure in this database (EmbeddedProcedures::install).
    void installProcedure(const QString& name);

    const QString& serverDirectory() const { return serverDirectory_; }
    // The database's name as it was created.
    const QString& databaseName() const { return databaseName_; }
    bool isMaster() const { return master_; }
    // How many statements this connection has had to prepare; reused ones do not count.
    std::size_t preparedStatementCount() const { return statements_.preparedCount(); }

private:
    std::shared_ptr<const TranslatedBatch> translation(const QString& sql);
    ResultSet runBatch(const TranslatedBatch& batch, std::span<const SqlValue> params, bool cached);
    ResultSet runStatements(const std::vector<TranslatedStatement>& statements,
                            std::span<const SqlValue> params, bool cached);
    ResultSet runStatement(const TranslatedStatement& statement, std::span<const SqlValue> params,
                           bool cached);
    ResultSet runSql(const QByteArray& sql, std::span<const SqlValue> params, bool cached);
    void callFromText(const TranslatedStatement& statement, std::span<const SqlValue> params);
    void rollbackProcedure() noexcept;
    void refreshDatabaseList();

    QString serverDirectory_;
    QString databaseName_;
    bool master_ = false;
    // Declared before the statements so it is closed after them.
    SqliteDatabase database_;
    StatementCache statements_;
    QHash<QString, std::shared_ptr<const TranslatedBatch>> translations_;
};

} // namespace db
