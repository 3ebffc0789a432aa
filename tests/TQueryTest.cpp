#include "db/TQuery.h"
#include "TempServer.h"
#include "db/DatabaseError.h"
#include "db/TDatabase.h"

#include <gtest/gtest.h>

using db::DatabaseError;
using db::TDatabase;
using db::TQuery;

namespace {

QString messageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const DatabaseError& error) {
        return error.message();
    }
    return {};
}

// Creates a database on a fresh embedded server through master, as an administrator would.
void createDatabase(const TempServer& server, const QString& name) {
    TDatabase master("CreateMaster");
    master.params() = server.connectionParams("master");
    TQuery create("QCreate", "CreateMaster", "Create Database " + name);
    create.execSql();
}

} // namespace

class TDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override {
        createDatabase(server, "Company");
        TDatabase company("Setup");
        company.params() = server.connectionParams("Company");
        TQuery create("QCreate", "Setup", "Create Table Seen (A Integer)");
        create.execSql();
    }
    TempServer server;
};

TEST_F(TDatabaseTest, HooksRunAroundTheFirstUse) {
    TDatabase database("DMDATA");
    QStringList calls;
    database.setBeforeConnect([&](TDatabase& self) {
        calls << "before";
        self.params().clear();
        self.params() << server.connectionParams("company");
    });
    database.setAfterConnect([&](TDatabase& self) {
        calls << "after";
        // The hook may already use the connection it belongs to.
        TQuery inside("QInside", self.databaseName(), "Select Count(*) N From Seen");
        inside.open();
    });
    EXPECT_FALSE(database.connected());

    TQuery query("QUse", "dmdata", "Select Count(*) N From Seen");
    query.open();
    EXPECT_TRUE(database.connected());
    EXPECT_EQ(query.fieldByName("N").asInteger(), 0);
    query.close();
    query.open();
    EXPECT_EQ(calls, (QStringList{"before", "after"}));

    // Closing the connection closes the queries bound to it; the next use reconnects.
    database.close();
    EXPECT_FALSE(query.isOpen());
    query.open();
    EXPECT_EQ(calls, (QStringList{"before", "after", "before", "after"}));
}

TEST_F(TDatabaseTest, FailingAfterConnectLeavesTheConnectionOpen) {
    TDatabase database("DmCfg");
    database.params() = server.connectionParams("Company");
    database.setAfterConnect([](TDatabase&) { throw DatabaseError("upgrade failed"); });
    EXPECT_EQ(messageOf([&] { database.open(); }), "upgrade failed");
    EXPECT_TRUE(database.connected());
}

TEST_F(TDatabaseTest, MissingDatabaseOrServerFailsAndCanBeRetried) {
    TDatabase database("DMDATA");
    database.params() = server.connectionParams("Nowhere");
    EXPECT_TRUE(messageOf([&] { database.open(); }).contains("Cannot open database"));
    EXPECT_FALSE(database.connected());
    database.params() = server.connectionParams("Company");
    database.open();
    EXPECT_TRUE(database.connected());
}

class TQueryTest : public TDatabaseTest {
protected:
    void SetUp() override {
        TDatabaseTest::SetUp();
        database.params() = server.connectionParams("Company");
        TQuery setup("QSetup", "DMDATA");
        for (const auto* sql :
             {"Create Table Product (Id Integer, Code VarChar(20), ThaiName VarChar(60), "
              "Price Float, Made DateTime)",
              "Insert Into Product Values (1, 'A01', 'น้ำปลา', 12.5, '2024-01-31')",
              "Insert Into Product Values (2, 'B02', Null, Null, Null)",
              "Insert Into Product Values (3, 'C03', 'ข้าว', 3, '2024-02-01 08:30:00')"}) {
            setup.setSql(sql);
            setup.execSql();
        }
    }
    TDatabase database{"DMDATA"};
};

TEST_F(TQueryTest, RowsCountAndNavigation) {
    TQuery query("QProduct", "DMDATA", "Select * From Product Order By Code");
    query.open();
    EXPECT_TRUE(query.isOpen());
    EXPECT_EQ(query.recordCount(), 3);
    QStringList codes;
    for (query.first(); !query.eof(); query.next())
        codes << query.fieldByName("code").asString();
    EXPECT_EQ(codes, (QStringList{"A01", "B02", "C03"}));
    query.first();
    EXPECT_EQ(query.fieldByName("ThaiName").asString(), QString::fromUtf8("น้ำปลา"));
    EXPECT_EQ(query.fieldByName("Made").asDateTime(), QDateTime(QDate(2024, 1, 31), QTime(0, 0)));
}

TEST_F(TQueryTest, NullsReadAsZeroEmptyOrTheZeroDate) {
    TQuery query("QProduct", "DMDATA", "Select * From Product Where Id = 2");
    query.open();
    EXPECT_TRUE(query.fieldByName("Price").isNull());
    EXPECT_EQ(query.fieldByName("Price").asInteger(), 0);
    EXPECT_EQ(query.fieldByName("Price").asFloat(), 0.0);
    EXPECT_EQ(query.fieldByName("ThaiName").asString(), "");
    EXPECT_EQ(query.fieldByName("Made").asDateTime(), QDateTime(QDate(1899, 12, 30), QTime(0, 0)));
}

TEST_F(TQueryTest, ParametersByNameKeepTheirValues) {
    TQuery query("QProduct", "DMDATA",
                 "Select Count(*) N From Product Where (:Code = '') Or (Code = :CODE)");
    ASSERT_EQ(query.params().size(), 1);
    EXPECT_EQ(messageOf([&] { query.open(); }), "QProduct: No value for parameter 'Code'");
    query.paramByName("code").setAsString("");
    query.open();
    EXPECT_EQ(query.fieldByName("N").asInteger(), 3);
    query.close();
    query.paramByName("Code").setAsString("B02");
    query.open();
    EXPECT_EQ(query.fieldByName("N").asInteger(), 1);
    // The value stays set for the next opening.
    query.close();
    query.open();
    EXPECT_EQ(query.fieldByName("N").asInteger(), 1);
    EXPECT_TRUE(query.isEmpty() == false);

    query.close();
    query.setSql("Select Id From Product Where Made >= :From And Code <> :Code");
    query.paramByName("From").setAsDateTime(QDateTime(QDate(2024, 2, 1), QTime(0, 0)));
    query.open();
    ASSERT_EQ(query.recordCount(), 1);
    EXPECT_EQ(query.fieldByName("Id").asInteger(), 3);
}

TEST_F(TQueryTest, LayerErrorsNameTheQuery) {
    TQuery query("QProduct", "DMDATA", "Select Id From Product");
    query.open();
    EXPECT_EQ(messageOf([&] { query.fieldByName("Nope"); }), "QProduct: Field 'Nope' not found");
    EXPECT_EQ(messageOf([&] { query.paramByName("Nope"); }),
              "QProduct: Parameter 'Nope' not found");
    TQuery bad("QBad", "DMDATA", "Select Nope From Product");
    EXPECT_FALSE(messageOf([&] { bad.open(); }).isEmpty());
    EXPECT_FALSE(bad.isOpen());
}
