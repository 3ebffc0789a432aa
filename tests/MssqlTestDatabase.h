#pragma once

#include "db/ConnectionParams.h"

#include <QString>

// A database of its own on the T-SQL server that STOCKCOST_TEST_MSSQL names (an ODBC connection
// string whose login may create databases), made for one test program and dropped after it.
// Under ctest -j the test programs run side by side: each database gets a name of its own, and
// creating one is tried again, a bounded number of times, while the server is busy creating
// another.
class MssqlTestDatabase {
public:
    static QString serverString() { return qEnvironmentVariable("STOCKCOST_TEST_MSSQL"); }
    static bool configured() { return !serverString().isEmpty(); }
    // A connection to a database of that server.
    static db::ConnectionParams paramsFor(const QString& database, int maxQueryTime = 600);

    // Creates "<prefix>_<random>"; throws the last DatabaseError when it cannot.
    explicit MssqlTestDatabase(const QString& prefix);
    // Drops it unless drop() did; a failure then is a test failure.
    ~MssqlTestDatabase();

    MssqlTestDatabase(const MssqlTestDatabase&) = delete;
    MssqlTestDatabase& operator=(const MssqlTestDatabase&) = delete;

    const QString& name() const { return name_; }
    db::ConnectionParams params(int maxQueryTime = 600) const {
        return paramsFor(name_, maxQueryTime);
    }

    // Drops the database once every connection to it is closed; throws when it stays. Servers
    // that know it end other sessions first (SINGLE_USER); the others get a plain DROP.
    void drop();

private:
    QString name_;
    bool dropped_ = false;
};
