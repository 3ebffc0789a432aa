// Transactions that group items of work: what a second connection sees, and what is left when
// an error ends the work.
#include "db/TransactionGroup.h"
#include "TempServer.h"
#include "db/TDatabase.h"
#include "db/TQuery.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>

using namespace std::chrono_literals;

class TransactionGroupTest : public ::testing::Test {
protected:
    void SetUp() override {
        pointAt(master, "master");
        db::TQuery("QCreate", "GroupMaster", "Create Database Grouped").execSql();
        pointAt(work, "Grouped");
        pointAt(reader, "Grouped");
        execute("GroupWork", "Create Table Item (Id Int)");
    }

    void pointAt(db::TDatabase& database, const QString& name) {
        database.params() = server.connectionParams(name);
    }
    void execute(const QString& alias, const QString& sql) {
        db::TQuery(QStringLiteral("QExec"), alias, sql).execSql();
    }
    void addItem(int id) {
        execute("GroupWork", QStringLiteral("Insert Into Item (Id) Values (%1)").arg(id));
    }
    // The items another connection sees.
    int committedItems() {
        db::TQuery query(QStringLiteral("QCount"), QStringLiteral("GroupReader"),
                         QStringLiteral("Select Count(*) As N From Item"));
        query.open();
        return int(query.fieldByName(QStringLiteral("N")).asInteger());
    }

    TempServer server;
    db::TDatabase master{QStringLiteral("GroupMaster")};
    db::TDatabase work{QStringLiteral("GroupWork")};
    db::TDatabase reader{QStringLiteral("GroupReader")};
};

TEST_F(TransactionGroupTest, ItemsCollectUntilTheSpanHasPassed) {
    db::TransactionGroup group(work, 1h);
    for (int id = 1; id <= 3; ++id) {
        group.begin();
        addItem(id);
        group.end();
    }
    EXPECT_TRUE(work.inTransaction());
    EXPECT_EQ(committedItems(), 0);
    group.commit();
    EXPECT_FALSE(work.inTransaction());
    EXPECT_EQ(committedItems(), 3);
}

TEST_F(TransactionGroupTest, AnItemEndingAfterTheSpanIsCommittedWithTheOnesBefore) {
    db::TransactionGroup group(work, 0ms);
    group.begin();
    addItem(1);
    group.end();
    EXPECT_FALSE(work.inTransaction());
    EXPECT_EQ(committedItems(), 1);
}

TEST_F(TransactionGroupTest, AnErrorRollsBackTheOpenGroupOnly) {
    {
        db::TransactionGroup group(work, 0ms);
        group.begin();
        addItem(1);
        group.end();
    }
    try {
        db::TransactionGroup group(work, 1h);
        group.begin();
        addItem(2);
        group.end();
        group.begin();
        addItem(3);
        throw std::runtime_error("the item failed");
    } catch (const std::runtime_error&) {
    }
    EXPECT_FALSE(work.inTransaction());
    EXPECT_EQ(committedItems(), 1);
}

TEST_F(TransactionGroupTest, InsideTheCallersTransactionTheCallerDecides) {
    work.startTransaction();
    {
        db::TransactionGroup group(work, 0ms);
        group.begin();
        addItem(1);
        group.end();
        group.commit();
        EXPECT_TRUE(work.inTransaction());
    }
    EXPECT_TRUE(work.inTransaction());
    work.rollback();
    EXPECT_EQ(committedItems(), 0);
}
