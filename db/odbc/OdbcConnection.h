#pragma once

#include "db/Connection.h"
#include "db/ConnectionParams.h"
#include "db/odbc/OdbcHandle.h"
#include "db/odbc/OdbcStatement.h"

#include <QHash>

#include <optional>

namespace db {

// A connection to SQL Server through ODBC, built from the connection's parameter list. Uses
// the wide ODBC functions throughout, so text travels as UTF-16 like QString. Each statement
// commits by itself; MAX QUERY TIME (seconds) bounds every statement. A statement that runs
// out of that time fails with "SQL Server connection timed out", and, as after a
// communication link failure, the next statement first connects again: a server that does not
// acknowledge the cancel leaves the old session unusable.
class OdbcConnection : public Connection {
public:
    explicit OdbcConnection(const ConnectionParams& params);
    ~OdbcConnection() override;

    OdbcConnection(const OdbcConnection&) = delete;
    OdbcConnection& operator=(const OdbcConnection&) = delete;

    QString dialect() const override { return QStringLiteral("mssql"); }
    ResultSet execute(const QString& sql, const std::vector<SqlValue>& params) override;
    void executeDirect(const QString& sql) override;
    int callProcedure(const QString& name, std::vector<ProcedureParam>& params) override;
    std::vector<ProcedureParameter> procedureParameters(const QString& name) override;

    // How often the connection was made again after a lost session.
    int reconnects() const { return reconnects_; }

private:
    void connect();
    ResultSet run(const QString& sql, const std::vector<SqlValue>& values,
                  OdbcStatement::Keep keep);
    // The procedure's parameters from the catalog, read once per procedure; none when the
    // database has no such procedure.
    std::optional<std::vector<ProcedureParameter>> declaredParameters(const QString& name);

    ConnectionParams params_;
    // Declared in this order so the connection is closed and freed before its environment.
    OdbcHandle environment_;
    OdbcHandle connection_;
    int queryTimeout_ = 0;
    bool sessionLost_ = false;
    int reconnects_ = 0;
    QHash<QString, std::vector<ProcedureParameter>> parameters_;
};

} // namespace db
