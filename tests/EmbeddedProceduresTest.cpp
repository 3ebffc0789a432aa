#include "TempServer.h"

#include "db/DatabaseError.h"
#include "db/embedded/EmbeddedConnection.h"
#include "db/embedded/EmbeddedProcedureContext.h"
#include "db/embedded/EmbeddedProcedures.h"
#include "db/embedded/EmbeddedServer.h"

#include <gtest/gtest.h>

#include <stdexcept>

using db::DatabaseError;
using db::DataType;
using db::EmbeddedConnection;
using db::EmbeddedProcedureContext;
using db::EmbeddedProcedures;
using db::ParamKind;
using db::ProcedureParam;

namespace {

// Procedures registered for these tests only; removed again so no other test sees them.
class EmbeddedProceduresTest : public ::testing::Test {
protected:
    void SetUp() override {
        db::EmbeddedServer::createDatabase(server.directory(), "Acme");
        connection = std::make_unique<EmbeddedConnection>(server.directory(), "Acme");
        connection->execute("Create Table Ledger (Product Int Not Null, Amount Money)", {});

        // Adds @Amount for @Product; returns how many ledger rows there are.
        EmbeddedProcedures::registerProcedure(
            "Test_AddToLedger",
            [](EmbeddedProcedureContext& c) {
                c.execute("Insert Into Ledger (Product, Amount) Values (?, ?)",
                          {c.parameter("@Product"), c.parameter("@amount")});
                const auto count = c.execute("Select Count(*), Sum(Amount) From Ledger", {});
                c.setOutput("Total", count.rows[0][1]);
                c.setOutput("@Database", c.databaseName());
                return count.rows[0][0].toInt();
            },
            {"@Product", "@Amount"});
        // Writes a row, then fails: nothing of it may stay.
        EmbeddedProcedures::registerProcedure(
            "Test_FailAfterWrite", [](EmbeddedProcedureContext& c) {
                c.execute("Insert Into Ledger (Product, Amount) Values (99, 1)", {});
                if (c.input("@How").toString() == "constraint")
                    c.execute("Insert Into Ledger (Product, Amount) Values (Null, 1)", {});
                throw std::runtime_error("failed on purpose");
                return 0;
            });
        EmbeddedProcedures::registerProcedure("Test_ServerTime", [](EmbeddedProcedureContext& c) {
            c.setOutput("@ServerTime", c.execute("Select GetDate()", {}).rows[0][0].toString());
            return 0;
        });
    }

    void TearDown() override {
        for (const char* name : {"Test_AddToLedger", "Test_FailAfterWrite", "Test_ServerTime"})
            EmbeddedProcedures::unregisterProcedure(name);
    }

    std::vector<ProcedureParam> addParams(int product, double amount) {
        return {{"Result", DataType::Integer, ParamKind::Result, {}},
                {"@PRODUCT", DataType::Integer, ParamKind::Input, product},
                {"@Amount", DataType::Float, ParamKind::Input, amount},
                {"@Total", DataType::Float, ParamKind::Output, {}},
                {"@Database", DataType::String, ParamKind::Output, {}}};
    }

    int ledgerRows() {
        return connection->execute("Select Count(*) From Ledger", {}).rows[0][0].toInt();
    }

    TempServer server;
    std::unique_ptr<EmbeddedConnection> connection;
};

db::DatabaseErrorEntry entryOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const DatabaseError& error) {
        return error.entries().empty() ? db::DatabaseErrorEntry{"", 0, error.message()}
                                       : error.entries().front();
    }
    ADD_FAILURE() << "no DatabaseError was thrown";
    return {};
}

} // namespace

TEST_F(EmbeddedProceduresTest, ARegisteredProcedureExistsOnlyOnceInstalled) {
    auto params = addParams(1, 2.5);
    const auto missing = entryOf([&] { connection->callProcedure("Test_AddToLedger", params); });
    EXPECT_EQ(missing.text, "Could not find stored procedure 'Test_AddToLedger'.");
    EXPECT_EQ(missing.nativeCode, 2812);
    const QString listed = "Select xtype From SysObjects Where Name = 'TEST_ADDTOLEDGER'";
    EXPECT_TRUE(connection->execute(listed, {}).rows.empty());

    EmbeddedProcedures::install(*connection, "test_addtoledger");
    EXPECT_EQ(connection->execute(listed, {}).rows.at(0).at(0).toString(), "P");
    EXPECT_EQ(connection->execute("Select Name From SysObjects Where xtype = 'P'", {})
                  .rows.at(0)
                  .at(0)
                  .toString(),
              "Test_AddToLedger");

    // Installed in one database is not installed in another.
    db::EmbeddedServer::createDatabase(server.directory(), "Other");
    EmbeddedConnection other(server.directory(), "Other");
    EXPECT_EQ(entryOf([&] { other.callProcedure("Test_AddToLedger", params); }).nativeCode, 2812);

    EmbeddedProcedures::uninstall(*connection, "TEST_AddToLedger");
    EXPECT_EQ(entryOf([&] { connection->callProcedure("Test_AddToLedger", params); }).nativeCode,
              2812);
}

TEST_F(EmbeddedProceduresTest, InstallingRefusesUnknownNamesAndTakenOnes) {
    EXPECT_THROW(EmbeddedProcedures::install(*connection, "Test_NotRegistered"), DatabaseError);
    EmbeddedProcedures::registerProcedure("Ledger", [](EmbeddedProcedureContext&) { return 0; });
    const auto taken = entryOf([&] { EmbeddedProcedures::install(*connection, "Ledger"); });
    EmbeddedProcedures::unregisterProcedure("Ledger");
    EXPECT_EQ(taken.text, "There is already an object named 'Ledger' in the database.");
    EXPECT_TRUE(EmbeddedProcedures::installedNames(*connection).isEmpty());
}

TEST_F(EmbeddedProceduresTest, CallsPassInputsAndReturnOutputs) {
    EmbeddedProcedures::install(server.directory(), "ACME", "Test_AddToLedger");
    auto params = addParams(7, 2.25);
    EXPECT_EQ(connection->callProcedure("dbo.Test_AddToLedger;1", params), 1);
    params = addParams(7, 0.1);
    EXPECT_EQ(connection->callProcedure("Test_AddToLedger", params), 2);
    EXPECT_EQ(params[0].value.toInt(), 2);
    EXPECT_EQ(params[3].value.toDouble(), 2.35);
    EXPECT_EQ(params[4].value.toString(), "Acme");
    EXPECT_EQ(params[1].value.toInt(), 7);

    // A date-time output set as text reaches the caller as a date-time.
    EmbeddedProcedures::install(*connection, "Test_ServerTime");
    std::vector<ProcedureParam> time{{"@ServerTime", DataType::DateTime, ParamKind::Output, {}}};
    connection->callProcedure("Test_ServerTime", time);
    EXPECT_EQ(time[0].value.metaType().id(), QMetaType::QDateTime);
    EXPECT_LT(std::abs(time[0].value.toDateTime().secsTo(QDateTime::currentDateTime())), 60);
}

TEST_F(EmbeddedProceduresTest, AFailedCallLeavesNothingHalfDone) {
    EmbeddedProcedures::install(*connection, "Test_FailAfterWrite");
    EmbeddedProcedures::install(*connection, "Test_AddToLedger");
    auto add = addParams(1, 5);
    connection->callProcedure("Test_AddToLedger", add);

    std::vector<ProcedureParam> params{{"@How", DataType::String, ParamKind::Input, "throw"}};
    EXPECT_THROW(connection->callProcedure("Test_FailAfterWrite", params), std::runtime_error);
    params[0].value = "constraint";
    const auto entry = entryOf([&] { connection->callProcedure("Test_FailAfterWrite", params); });
    EXPECT_EQ(entry.nativeCode, 515);
    EXPECT_EQ(ledgerRows(), 1);

    // The connection goes on committing statement by statement afterwards.
    connection->execute("Insert Into Ledger Values (2, 1)", {});
    EmbeddedConnection reader(server.directory(), "Acme");
    EXPECT_EQ(reader.execute("Select Count(*) From Ledger", {}).rows[0][0].toInt(), 2);
}

TEST_F(EmbeddedProceduresTest, ExecTextCallsAnInstalledProcedure) {
    EmbeddedProcedures::install(*connection, "Test_AddToLedger");
    connection->execute("Exec Test_AddToLedger @Product = 1, @Amount = -1.5", {});
    connection->execute("EXECUTE dbo.Test_AddToLedger @Amount = ?, @Product = ?",
                        {{DataType::Float, 4.0}, {DataType::Integer, 2}});
    connection->executeDirect("Exec Test_AddToLedger 3, '2.5'");
    const auto rows =
        connection->execute("Select Product, Amount From Ledger Order By Product", {}).rows;
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][1].toDouble(), -1.5);
    EXPECT_EQ(rows[1][1].toDouble(), 4.0);
    EXPECT_EQ(rows[2][1].toDouble(), 2.5);

    EXPECT_EQ(entryOf([&] { connection->execute("Exec Test_ServerTime", {}); }).text,
              "Could not find stored procedure 'Test_ServerTime'.");
    EXPECT_EQ(entryOf([&] { connection->execute("Exec Test_AddToLedger 1, 2, 3", {}); }).nativeCode,
              8144);
}
