#include "MssqlTestDatabase.h"

#include "db/DatabaseError.h"
#include "db/odbc/OdbcConnection.h"

#include <QRandomGenerator>
#include <QThread>

#include <gtest/gtest.h>

namespace {

constexpr int createAttempts = 8;
constexpr int dropAttempts = 5;

QString randomName(const QString& prefix) {
    return QStringLiteral("%1_%2").arg(prefix).arg(QRandomGenerator::global()->generate(), 8, 16,
                                                   QChar('0'));
}

// Runs a batch on master with the database's name bound to @name.
void onMaster(const QString& name, const QString& batch) {
    db::OdbcConnection master(MssqlTestDatabase::paramsFor(QStringLiteral("master")));
    master.execute(QStringLiteral("DECLARE @name sysname = ?; ") + batch,
                   {{db::DataType::String, name}});
}

void pause(int attempt) {
    QThread::msleep(200 * attempt + QRandomGenerator::global()->bounded(300));
}

} // namespace

db::ConnectionParams MssqlTestDatabase::paramsFor(const QString& database, int maxQueryTime) {
    return db::ConnectionParams({"ODBC CONNECTION STRING=" + serverString(),
                                 "DATABASE NAME=" + database,
                                 QStringLiteral("MAX QUERY TIME=%1").arg(maxQueryTime)});
}

MssqlTestDatabase::MssqlTestDatabase(const QString& prefix) {
    // Creating a database copies model, which the server lets one session do at a time (error
    // 1807 for the others); a name already taken (1801) gets another.
    for (int attempt = 1;; ++attempt) {
        name_ = randomName(prefix);
        try {
            onMaster(name_, QStringLiteral("DECLARE @sql nvarchar(max) = N'CREATE DATABASE ' + "
                                           "QUOTENAME(@name); EXEC (@sql);"));
            return;
        } catch (const db::DatabaseError&) {
            if (attempt == createAttempts)
                throw;
        }
        pause(attempt);
    }
}

MssqlTestDatabase::~MssqlTestDatabase() {
    if (dropped_)
        return;
    try {
        drop();
    } catch (const db::DatabaseError& error) {
        ADD_FAILURE() << "test database " << name_.toStdString()
                      << " left behind: " << error.message().toStdString();
    }
}

void MssqlTestDatabase::drop() {
    try {
        onMaster(name_, QStringLiteral("DECLARE @sql nvarchar(max) = N'ALTER DATABASE ' + "
                                       "QUOTENAME(@name) + N' SET SINGLE_USER WITH ROLLBACK "
                                       "IMMEDIATE'; IF DB_ID(@name) IS NOT NULL EXEC (@sql);"));
    } catch (const db::DatabaseError&) {
        // Not every T-SQL server has SINGLE_USER; the plain drop below still works once the
        // test's own connections are closed.
    }
    for (int attempt = 1;; ++attempt) {
        try {
            onMaster(name_, QStringLiteral("DECLARE @sql nvarchar(max) = N'DROP DATABASE ' + "
                                           "QUOTENAME(@name); IF DB_ID(@name) IS NOT NULL "
                                           "EXEC (@sql);"));
            dropped_ = true;
            return;
        } catch (const db::DatabaseError&) {
            if (attempt == dropAttempts)
                throw;
        }
        pause(attempt);
    }
}
