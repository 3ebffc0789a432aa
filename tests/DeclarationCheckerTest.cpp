// What is checked when a batch is compiled or a procedure created, before anything runs: the
// variables a text uses and declares, the Set options, and the constructs the embedded engine
// cannot run, each refused with SQL Server's number and wording and the line.
#include "db/embedded/tsql/DeclarationChecker.h"
#include "db/embedded/tsql/Parser.h"
#include "db/embedded/tsql/TsqlError.h"

#include <gtest/gtest.h>

using db::tsql::DeclarationChecker;
using db::tsql::Parser;
using db::tsql::TsqlError;

namespace {

// The checker's refusal of the batch; a failure when it takes the batch.
TsqlError refusalOf(const QString& text) {
    try {
        DeclarationChecker::check(Parser::parseBatch(text).statements, {});
    } catch (const TsqlError& error) {
        return error;
    }
    ADD_FAILURE() << "no refusal of " << text.toStdString();
    return TsqlError(0, QString());
}

void expectTaken(const QString& text) {
    try {
        DeclarationChecker::check(Parser::parseBatch(text).statements, {});
    } catch (const TsqlError& error) {
        ADD_FAILURE() << text.toStdString() << ": " << error.message().toStdString();
    }
}

} // namespace

TEST(DeclarationCheckerTest, EveryVariableIsDeclaredBeforeTheTextUsesIt) {
    struct Case {
        const char* text;
        int number;
        const char* message;
        int line;
    };
    const Case cases[] = {
        {"Declare @a Int\nSelect @b", 137, "Must declare the scalar variable \"@b\".", 2},
        // Order of the text, not of the run: a later Declare does not count.
        {"Select @a\nDeclare @a Int", 137, "Must declare the scalar variable \"@a\".", 1},
        {"If 1 = 0\n  Set @never = 1", 137, "Must declare the scalar variable \"@never\".", 2},
        {"Declare @r Int\nExec @r = P @missing Output", 137,
         "Must declare the scalar variable \"@missing\".", 2},
        {"Declare C Cursor For Select 1\nOpen C\nFetch Next From C Into @x", 137,
         "Must declare the scalar variable \"@x\".", 3},
        {"Declare @T Table (a Int)\nSelect a From @U", 1087,
         "Must declare the table variable \"@U\".", 2},
        {"Create Procedure P @a Int As\nSelect a From @Lines", 1087,
         "Must declare the table variable \"@Lines\".", 2},
        {"Declare @a Int\nDeclare @A VarChar(5)", 134,
         "The variable name '@A' has already been declared. Variable names must be unique "
         "within a query batch or stored procedure.",
         2},
        {"Create Procedure P @a Int As\nDeclare @a Int", 134,
         "The variable name '@a' has already been declared. Variable names must be unique "
         "within a query batch or stored procedure.",
         2},
    };
    for (const Case& c : cases) {
        const TsqlError error = refusalOf(QString::fromLatin1(c.text));
        EXPECT_EQ(error.number(), c.number) << c.text;
        EXPECT_EQ(error.message(), QString::fromLatin1(c.message)) << c.text;
        EXPECT_EQ(error.line(), c.line) << c.text;
    }
    // A procedure's parameters and the variables of its blocks are its own.
    expectTaken("Create Procedure P @a Int, @b Int Output As\nIf @a = 1 Begin Declare @c Int "
                "End\nSet @b = @c + @a");
    expectTaken("Select @@RowCount, @@TranCount, @@Fetch_Status");
}

TEST(DeclarationCheckerTest, SetOptionsAreCheckedWhenTheTextIsCreated) {
    auto error = refusalOf("Create Procedure P As\nSet NoCount On\nSet Frobnicate On");
    EXPECT_EQ(error.number(), 195);
    EXPECT_EQ(error.message(), "'FROBNICATE' is not a recognized SET option.");
    EXPECT_EQ(error.line(), 3);
    error = refusalOf("Create Procedure P As\nIf 1 = 0\n  Set RowCount 10");
    EXPECT_EQ(error.number(), 40000);
    EXPECT_EQ(error.message(), "The embedded engine does not run Set RowCount (line 3).");
    error = refusalOf("Set DateFormat dmy");
    EXPECT_EQ(error.message(), "The embedded engine reads dates as year, month, day only (Set "
                               "DateFormat ymd, line 1).");
    EXPECT_EQ(refusalOf("Set Implicit_Transactions On").number(), 40000);
    expectTaken("Set NoCount On Set XAct_Abort On Set DateFormat ymd Set RowCount 0 "
                "Set Ansi_Nulls, Quoted_Identifier On Set Implicit_Transactions Off "
                "Set Transaction Isolation Level Read Committed");
}

TEST(DeclarationCheckerTest, ConstructsTheEngineCannotRunAreRefusedWithTheirLine) {
    struct Case {
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {"Select 1\nSelect a From T Cross Apply (Select b From U) x",
         "The embedded engine does not run Cross Apply and Outer Apply (line 2)."},
        {"Select Top 10 Percent a From T",
         "The embedded engine does not run Top ... Percent or With Ties (line 1)."},
        {"Declare @T Table (a Int,\n  b Int Default 0)",
         "The embedded engine does not run defaults and checks in table variables (line 2)."},
        {"Declare @v Int\nUpdate T Set @v = T.a From T Join U On U.a = T.a",
         "The embedded engine sets a variable inside Update ... From only as Set @v = column = "
         "value (line 2)."},
        {"Declare @v Int\nUpdate T Set @v = a",
         "The embedded engine does not run an Update that sets only variables (line 2)."},
        {"Alter Table T Add\n  Id Int Identity(1,1)",
         "The embedded engine does not add identity, key, unique, check or reference columns "
         "to an existing table (line 2)."},
        {"Alter Table T Add Constraint CK_T Check (a > 0)",
         "The embedded engine adds keys and unique constraints to an existing table, not checks "
         "or foreign keys (line 1)."},
    };
    for (const Case& c : cases) {
        const TsqlError error = refusalOf(QString::fromLatin1(c.text));
        EXPECT_EQ(error.number(), 40000) << c.text;
        EXPECT_EQ(error.message(), QString::fromLatin1(c.message)) << c.text;
    }
    expectTaken("Declare @v Int Update T Set @v = a = a + 1 From T Join U On U.a = T.a");
    expectTaken("Declare @v Int Update T Set a = 1, @v = a");
    expectTaken("Alter Table T Add Note VarChar(20) Null");
}
