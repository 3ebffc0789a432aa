#pragma once

#include "db/Connection.h"
#include "db/ConnectionParams.h"

namespace db {

// A connection to SQL Server through ODBC, built from the connection's parameter list.
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
};

} // namespace db
