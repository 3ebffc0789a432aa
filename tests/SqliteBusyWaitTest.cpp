// Two connections to one embedded database, one holding the write lock: the other's statement
// waits and says so, goes on once the lock is gone, and gives up with the lock named as the
// cause.
#include "db/embedded/SqliteBusyWait.h"
#include "TempServer.h"
#include "db/DatabaseError.h"
#include "db/LockWaitListener.h"
#include "db/TDatabase.h"
#include "db/TQuery.h"
#include "db/embedded/EmbeddedConnection.h"
#include "db/embedded/EmbeddedServer.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <memory>
#include <vector>

using namespace std::chrono_literals;
using std::chrono::milliseconds;

class SqliteBusyWaitTest : public ::testing::Test {
protected:
    void SetUp() override {
        db::EmbeddedServer::createDatabase(server.directory(), "Shop");
        holder = std::make_unique<db::EmbeddedConnection>(server.directory(), "Shop");
        holder->execute("Create Table T (A Int)", {});
        waiter.params() = server.connectionParams("Shop");
    }
    void TearDown() override { db::SqliteBusyWait::setLimit(30s); }

    void lock() {
        holder->executeSqlite("BEGIN IMMEDIATE");
        holder->executeSqlite("INSERT INTO T VALUES (1)");
    }
    // Ends the holder's transaction once the waiting statement has waited that long.
    db::LockWaitListener releasingAfter(milliseconds wait) {
        return db::LockWaitListener(
            [this, wait](const QString& database, milliseconds waited, milliseconds limit) {
                reports.push_back({database, waited, limit});
                if (waited >= wait && !committed) {
                    holder->executeSqlite("COMMIT");
                    committed = true;
                }
            });
    }
    int rows() {
        db::TQuery count("QCount", waiter.databaseName(), "Select Count(*) N From T");
        count.open();
        return int(count.fieldByName("N").asInteger());
    }

    struct Report {
        QString database;
        milliseconds waited;
        milliseconds limit;
    };

    TempServer server;
    std::unique_ptr<db::EmbeddedConnection> holder;
    db::TDatabase waiter{"WAITER"};
    std::vector<Report> reports;
    bool committed = false;
};

TEST_F(SqliteBusyWaitTest, AStatementWaitsForTheLockAndSaysHowLong) {
    lock();
    {
        const auto listener = releasingAfter(800ms);
        db::TQuery insert("QInsert", waiter.databaseName(), "Insert Into T Values (2)");
        EXPECT_NO_THROW(insert.execSql());
    }
    EXPECT_EQ(rows(), 2) << "both writes are in";
    ASSERT_FALSE(reports.empty());
    // Short waits go unreported; the reports then grow until the lock went.
    EXPECT_GE(reports.front().waited, 500ms);
    EXPECT_GE(reports.back().waited, 800ms);
    for (std::size_t i = 1; i < reports.size(); ++i)
        EXPECT_GE(reports[i].waited, reports[i - 1].waited);
    EXPECT_EQ(reports.front().database, "Shop");
    EXPECT_EQ(reports.front().limit, 30s);
}

TEST_F(SqliteBusyWaitTest, ATransactionThatHasReadWaitsToo) {
    // Read first, as the costing procedures do, then write.
    db::TQuery insert("QInsert", waiter.databaseName(), "Insert Into T Values (2)");
    waiter.open();
    lock();
    const auto listener = releasingAfter(600ms);
    waiter.startTransaction();
    EXPECT_EQ(rows(), 1);
    EXPECT_NO_THROW(insert.execSql());
    waiter.commit();
    EXPECT_TRUE(committed) << "the transaction waited for the lock";
    EXPECT_EQ(rows(), 2);
}

TEST_F(SqliteBusyWaitTest, GivingUpNamesTheLock) {
    db::SqliteBusyWait::setLimit(700ms);
    lock();
    std::vector<QString> outer;
    const db::LockWaitListener outerListener(
        [&](const QString& database, milliseconds, milliseconds) { outer.push_back(database); });
    QElapsedTimer elapsed;
    elapsed.start();
    {
        int inner = 0;
        const db::LockWaitListener innerListener(
            [&](const QString&, milliseconds, milliseconds limit) {
                EXPECT_EQ(limit, 700ms);
                ++inner;
            });
        db::TQuery insert("QInsert", waiter.databaseName(), "Insert Into T Values (2)");
        try {
            insert.execSql();
            ADD_FAILURE() << "the insert went through a lock";
        } catch (const db::DatabaseError& error) {
            ASSERT_EQ(error.entries().size(), 1u);
            EXPECT_EQ(error.entries().front().nativeCode, 1222);
            EXPECT_EQ(error.message(), "Lock request time out period exceeded. The database "
                                       "'Shop' is locked by another connection; try again once "
                                       "the other program has finished writing to it.");
        }
        EXPECT_GE(elapsed.elapsed(), 700);
        EXPECT_GT(inner, 0);
    }
    EXPECT_TRUE(outer.empty()) << "only the innermost listener hears";

    // With the inner listener gone, the outer one hears the next wait.
    db::TQuery again("QInsert", waiter.databaseName(), "Insert Into T Values (3)");
    EXPECT_THROW(again.execSql(), db::DatabaseError);
    ASSERT_FALSE(outer.empty());
    EXPECT_EQ(outer.front(), "Shop");
    holder->executeSqlite("ROLLBACK");
    EXPECT_EQ(rows(), 0);
}
