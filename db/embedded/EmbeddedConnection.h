#pragma once

#include "db/Connection.h"

#include <QString>

namespace db {

// A connection to one database of an embedded server: a directory whose databases are SQLite
// files, standing in for SQL Server. "master" is virtual: its SysDatabases lists the server's
// databases, and it takes CREATE DATABASE and DROP DATABASE.
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
};

} // namespace db
