#include "db/TSQLScript.h"
#include "TempServer.h"
#include "db/TDatabase.h"
#include "db/TQuery.h"

#include <gtest/gtest.h>

#include <QTextStream>

using db::DatabaseError;
using db::DataType;
using db::ScriptErrorAction;
using db::TSQLScript;

namespace {

struct Sent {
    int statementNo;
    int lineNo;
    QString text;
    bool operator==(const Sent&) const = default;
};

void PrintTo(const Sent& sent, std::ostream* os) {
    *os << "{" << sent.statementNo << ", " << sent.lineNo << ", \"" << sent.text.toStdString()
        << "\"}";
}

// Splits the text as a run would, without a database.
std::vector<Sent> split(TSQLScript& script, int wanted = -1) {
    std::vector<Sent> sent;
    script.setDryRun([&](int n, int line, const QString& text) {
        sent.push_back({n, line, text});
    });
    if (wanted < 0)
        script.execute();
    else
        script.executeStatement(wanted);
    return sent;
}

std::vector<Sent> split(const QString& text, bool semicolonTerm = true) {
    TSQLScript script;
    script.setSemicolonTerm(semicolonTerm);
    script.setSql(text);
    return split(script);
}

QString messageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const DatabaseError& error) {
        return error.message();
    }
    return {};
}

} // namespace

TEST(TSQLScriptSplit, TerminatorLinesTrimmedLinesAndTheFinalStatement) {
    const auto sent = split("  Update T\n\tSet A = 1  \n /  \n\n/\r\n// not a terminator\n"
                            "Go\n/x\nSelect 2\n\n");
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0], (Sent{0, 2, "Update T\nSet A = 1\n"}));
    // "//", a comment starting with a slash and "Go" are ordinary text; blank lines vanish. The
    // final statement ends on the script's last line, a blank one here.
    EXPECT_EQ(sent[1], (Sent{1, 9, "// not a terminator\nGo\n/x\nSelect 2\n"}));

    // A line feed stored after the slash inside the same line still makes a terminator.
    TSQLScript script;
    script.setSql(QStringList{"A", "/\n", "B"});
    EXPECT_EQ(split(script).size(), 2u);
}

TEST(TSQLScriptSplit, EmptyStatementsDoNotShiftNumbers) {
    const auto sent = split("/\n/\nA\n/\n\n/\nB\n/\n\n\n");
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0], (Sent{0, 3, "A\n"}));
    EXPECT_EQ(sent[1], (Sent{1, 7, "B\n"}));
}

TEST(TSQLScriptSplit, SemicolonEndsAStatementAndCarriesTheRest) {
    auto sent = split("Select 1; Select 2\nFrom T\n/");
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0], (Sent{0, 0, "Select 1\n"}));
    EXPECT_EQ(sent[1], (Sent{1, 2, "Select 2\nFrom T\n"}));

    // Only the first semicolon counts; the rest travels unchanged, its semicolon included.
    sent = split("A; B; C\nD\n");
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1], (Sent{1, 1, "B; C\nD\n"}));

    // Text after a semicolon on the last line is one more statement.
    sent = split("A\nB; C");
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0], (Sent{0, 1, "A\nB\n"}));
    EXPECT_EQ(sent[1], (Sent{1, 1, "C\n"}));

    // A semicolon at the start of a line ends the statement before it.
    sent = split("A\n;B\nC");
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0], (Sent{0, 1, "A\n"}));
    EXPECT_EQ(sent[1], (Sent{1, 2, "B\nC\n"}));

    // With SemicolonTerm off a semicolon is ordinary text.
    sent = split("A; B\n/", false);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].text, "A; B\n");
}

TEST(TSQLScriptSplit, OtherTerminatorCharacter) {
    TSQLScript script;
    script.setTerm('!');
    script.setSql("A\n!\nB\n/\nC");
    const auto sent = split(script);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1].text, "B\n/\nC\n");
}

TEST(TSQLScriptSplit, ExecuteStatementRunsOnlyTheWantedOne) {
    TSQLScript script;
    script.setSql("/\nA\n/\nB\n/\nC; D");
    auto sent = split(script, 1);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], (Sent{1, 4, "B\n"}));
    sent = split(script, 3);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], (Sent{3, 5, "D\n"}));
    EXPECT_EQ(messageOf([&] { split(script, 4); }), "List index out of bounds (4)");
}

TEST(TSQLScriptSplit, RefusalsOfTheRunner) {
    TSQLScript empty;
    EXPECT_EQ(messageOf([&] { split(empty); }), "No SQL statement available");

    TSQLScript blank;
    blank.setSql(QStringList{"", "  /", "", "/"});
    EXPECT_EQ(messageOf([&] { split(blank); }), "List index out of bounds (-1)");

    TSQLScript script;
    script.setSql("Delete From T\nWhere Y = :Year\n/\nDelete From U Where M = :Month");
    script.param("Year").setAsInteger(2024);
    EXPECT_EQ(messageOf([&] { split(script); }), "No value for parameter 'Month'. Error on line 3");
    EXPECT_EQ(messageOf([&] { script.param("Nothing"); }), "Parameter 'Nothing' not found");

    script.setParamData({{"Year", DataType::Integer}});
    EXPECT_EQ(messageOf([&] { split(script); }), "Parameter 'Month' not found. Error on line 3");
}

TEST(TSQLScriptParams, ListFollowsTheTextAndKeepsValues) {
    TSQLScript script;
    script.setSql("Select :Year, :month, :YEAR");
    ASSERT_EQ(script.params().size(), 2);
    script.param("year").setAsInteger(2024);
    script.setSql("Select :Year, :Code");
    ASSERT_EQ(script.params().size(), 2);
    EXPECT_EQ(script.param("YEAR").asInteger(), 2024);
    EXPECT_EQ(script.param("Code").dataType(), DataType::Unknown);
    // IgnoreParams sends the text as it stands, so no value is needed.
    script.setIgnoreParams(true);
    EXPECT_EQ(split(script).size(), 1u);
}

TEST(TSQLScriptParams, HooksAroundTheRun) {
    TSQLScript script;
    script.setSql("A\n/\nB");
    QStringList calls;
    script.setBeforeExec([&](TSQLScript&) { calls << "before"; });
    script.setAfterExec([&](TSQLScript&) { calls << "after"; });
    script.setDryRun([&](int n, int, const QString&) { calls << QString::number(n); });
    script.execute();
    EXPECT_EQ(calls, (QStringList{"before", "0", "1", "after"}));
}

// Runs on a real embedded database.
class TSQLScriptRun : public ::testing::Test {
protected:
    void SetUp() override {
        database.params() = server.connectionParams("master");
        db::TSQLScript create;
        create.setDatabaseName("SCRIPTDB");
        create.setSql("Create Database Work");
        create.execute();
        database.close();
        database.params() = server.connectionParams("Work");
    }

    qint64 count(const QString& sql) {
        db::TQuery query("QCount", "ScriptDb", sql);
        query.open();
        return query.fieldByName("N").asInteger();
    }

    TempServer server;
    db::TDatabase database{"ScriptDb"};
};

TEST_F(TSQLScriptRun, StatementsBeforeAFailureStayDone) {
    TSQLScript script("SQLTest");
    script.setDatabaseName("scriptdb");
    script.setSql("Create Table T (A Integer Not Null)\n/\nInsert Into T (A) Values (:V)\n/\n"
                  "Insert Into T (A)\nValues (Null)\n/\nInsert Into T (A) Values (3)");
    script.param("v").setAsInteger(1);
    try {
        script.execute();
        FAIL() << "the Null insert should fail";
    } catch (const DatabaseError& error) {
        ASSERT_TRUE(error.hasEntries());
        const auto& last = error.entries().back();
        EXPECT_EQ(last.code, "0");
        EXPECT_EQ(last.nativeCode, 6);
        EXPECT_EQ(last.text, "Error on line 6");
        EXPECT_FALSE(error.message().contains("Error on line"));
    }
    EXPECT_EQ(count("Select Count(*) N From T"), 1);
}

TEST_F(TSQLScriptRun, AColumnAddedByOneStatementIsUsedByTheNext) {
    TSQLScript script;
    script.setDatabaseName("SCRIPTDB");
    script.setSql("Create Table Menu (Id Integer, Command VarChar(20))\n/\n"
                  "Insert Into Menu (Id, Command) Values (1, 'run')\n/\n"
                  "Alter Table Menu Add Version Integer\n/\n"
                  "Update Menu Set Version = 3 Where Version Is Null And Command Is Not Null");
    script.execute();
    EXPECT_EQ(count("Select Version N From Menu"), 3);
}

TEST_F(TSQLScriptRun, ErrorHookActions) {
    TSQLScript script;
    script.setDatabaseName("ScriptDb");
    script.setSql("Create Table T (A Integer)\n/\nInsert Into Nowhere Values (1)\n/\n"
                  "Insert Into T Values (2)");
    std::vector<int> seen;
    auto action = ScriptErrorAction::Ignore;
    script.setOnScriptError(
        [&](TSQLScript&, DatabaseError&, int line, int n, ScriptErrorAction& chosen) {
            EXPECT_EQ(chosen, ScriptErrorAction::Fail);
            seen.push_back(line);
            seen.push_back(n);
            chosen = action;
        });
    script.execute();
    EXPECT_EQ(seen, (std::vector<int>{3, 1}));
    EXPECT_EQ(count("Select Count(*) N From T"), 1);

    action = ScriptErrorAction::Abort;
    script.setSql("Insert Into Nowhere Values (1)\n/\nInsert Into T Values (2)");
    EXPECT_THROW(script.execute(), db::SilentAbort);
    EXPECT_EQ(count("Select Count(*) N From T"), 1);

    // Retry runs the statement again; here the hook mends the cause first.
    int tries = 0;
    script.setSql("Insert Into Later Values (5)");
    script.setOnScriptError([&](TSQLScript&, DatabaseError&, int, int, ScriptErrorAction& chosen) {
        ++tries;
        TSQLScript mend;
        mend.setDatabaseName("ScriptDb");
        mend.setSql("Create Table Later (A Integer)");
        mend.execute();
        chosen = ScriptErrorAction::Retry;
    });
    script.execute();
    EXPECT_EQ(tries, 1);
    EXPECT_EQ(count("Select Count(*) N From Later"), 1);
}

TEST_F(TSQLScriptRun, TransactionRollsBackTheWholeScript) {
    TSQLScript setup;
    setup.setDatabaseName("ScriptDb");
    setup.setSql("Create Table T (A Integer Not Null)");
    setup.execute();

    TSQLScript script;
    script.setDatabaseName("ScriptDb");
    script.setTransaction(true);
    script.setSql("Insert Into T Values (1)\n/\nInsert Into T Values (Null)");
    EXPECT_THROW(script.execute(), DatabaseError);
    EXPECT_FALSE(database.inTransaction());
    EXPECT_EQ(count("Select Count(*) N From T"), 0);

    script.setSql("Insert Into T Values (1)\n/\nInsert Into T Values (2)");
    script.execute();
    EXPECT_EQ(count("Select Count(*) N From T"), 2);
}

TEST_F(TSQLScriptRun, UnknownConnectionAndBindingTypes) {
    TSQLScript script("SQLX");
    script.setDatabaseName("NoSuchAlias");
    script.setSql("Select 1");
    EXPECT_EQ(messageOf([&] { script.execute(); }), "SQLX: Unknown database: NoSuchAlias");

    // A date-time and a text parameter travel as their types.
    TSQLScript typed;
    typed.setDatabaseName("ScriptDb");
    typed.setSql("Create Table D (At DateTime, Name VarChar(20))\n/\n"
                 "Insert Into D Values (:At, :Name)");
    typed.param("At").setAsDateTime(QDateTime(QDate(2024, 2, 29), QTime(13, 5, 7)));
    typed.param("Name").setAsString(QString::fromUtf8("สินค้า"));
    typed.execute();
    db::TQuery query("QD", "ScriptDb", "Select At, Name From D");
    query.open();
    EXPECT_EQ(query.fieldByName("At").asDateTime(), QDateTime(QDate(2024, 2, 29), QTime(13, 5, 7)));
    EXPECT_EQ(query.fieldByName("name").asString(), QString::fromUtf8("สินค้า"));
}
