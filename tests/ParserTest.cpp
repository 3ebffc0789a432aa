// What the T-SQL parser refuses, and how: SQL Server's wording for a text it cannot read, and
// for a construct the embedded engine does not run a message that names it and its line, so
// that a procedure using it fails when it is created, not when it runs.
#include "db/embedded/tsql/Parser.h"
#include "db/embedded/tsql/TsqlError.h"

#include <gtest/gtest.h>

using db::tsql::Parser;
using db::tsql::TsqlError;

namespace {

// The error parsing the text raises; a failure when there is none.
TsqlError refusalOf(const QString& text) {
    try {
        Parser::parseBatch(text);
    } catch (const TsqlError& error) {
        return error;
    }
    ADD_FAILURE() << "no refusal of " << text.toStdString();
    return TsqlError(0, QString());
}

} // namespace

TEST(ParserTest, ConstructsTheEngineDoesNotRunAreNamedWithTheirLine) {
    struct Case {
        const char* text;
        const char* construct;
        int line;
    };
    const Case cases[] = {
        {"Create Procedure P As\nBegin\n  Goto Done\nEnd", "Goto", 3},
        {"Create Procedure P As\nBegin\nDone:\n  Select 1\nEnd", "labels and Goto", 3},
        {"Merge Into T Using S On T.a = S.a\nWhen Matched Then Delete;", "Merge", 1},
        {"WaitFor Delay '00:00:01'", "WaitFor", 1},
        {"Delete From T\nOutput deleted.a\nWhere a = 1", "the Output clause", 2},
        {"Update T Set a = 1 Output inserted.a", "the Output clause", 1},
        {"Declare @c Cursor", "cursor variables", 1},
        {"Declare C Cursor For Select a From T\nUpdate T Set a = 1 Where Current Of C",
         "Where Current Of", 2},
        {"Create Procedure P\n  @Lines LineTable ReadOnly\nAs Select 1", "table-valued parameters",
         2},
        {"Create Function F() Returns Int As Begin Return 1 End", "user-defined functions", 1},
        {"Create Trigger T_I On T After Insert As Select 1", "triggers", 1},
        {"Select a From T\nOption (Recompile)", "query hints (Option)", 2},
        {"Select a From T For Xml Auto", "For Xml and For Json", 1},
        {"Create Table T (a Int,\n  b As a + 1)", "computed columns", 2},
        {"Create Type LineTable As Table (a Int)", "table types", 1},
    };
    for (const Case& c : cases) {
        const TsqlError error = refusalOf(QString::fromLatin1(c.text));
        EXPECT_EQ(error.number(), 40000) << c.text;
        EXPECT_EQ(error.message(), QStringLiteral("The embedded engine does not run %1 (line %2).")
                                       .arg(QLatin1String(c.construct))
                                       .arg(c.line))
            << c.text;
        EXPECT_EQ(error.line(), c.line) << c.text;
    }
}

TEST(ParserTest, TextThatIsNotTsqlGetsSqlServersSyntaxError) {
    auto error = refusalOf("Select 1 +");
    EXPECT_EQ(error.number(), 102);
    EXPECT_EQ(error.message(), "Incorrect syntax near '+'.");
    error = refusalOf("Create Procedure P As\nBegin\n  If 1 = 1\nEnd");
    EXPECT_EQ(error.number(), 156);
    EXPECT_EQ(error.message(), "Incorrect syntax near the keyword 'end'.");
    EXPECT_EQ(error.line(), 4);
    // An expression where Exec takes only a value or a variable.
    error = refusalOf("Declare @n Int = 1\nExec P @n - 1");
    EXPECT_EQ(error.message(), "Incorrect syntax near '-'.");
    EXPECT_EQ(error.line(), 2);
    // The fault is found wherever it is, also in a branch that would never run.
    EXPECT_EQ(refusalOf("If 1 = 0\n  Select From T").line(), 2);
}

TEST(ParserTest, AProcedureKeepsTheWholeTextOfItsBatch) {
    const QString text = "-- costs one product\n\nCreate Procedure P @a Int\nAs\n  Return @a\n\n";
    const auto batch = Parser::parseBatch(text);
    ASSERT_EQ(batch.statements.size(), 1u);
    const auto& procedure =
        static_cast<const db::tsql::CreateProcedureStatement&>(*batch.statements.front());
    EXPECT_EQ(procedure.text, text.trimmed());
    EXPECT_EQ(procedure.body.front()->line, 5);
    EXPECT_EQ(procedure.parameters.size(), 1u);
}
