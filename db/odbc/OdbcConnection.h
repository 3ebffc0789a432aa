#pragma once

#include "db/Connection.h"
#include "db/ConnectionParams.h"
#include "db/odbc/OdbcHandle.h"

namespace db {

// A connection to SQL Server through ODBC, built from the connection's parameter list. Uses
// the wide ODBC functions throughout, so text travels as UTF-16 like QString. Each statement
// commits by itself; MAX QUERY TIME (seconds) bounds every statement.
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

private:
    // Declared in this order so the connection is closed and freed before its environment.
    OdbcHandle environment_;
    OdbcHandle connection_;
    int queryTimeout_ = 0;
};

} // namespace db
