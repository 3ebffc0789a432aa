// The interpreter of procedural T-SQL, construct by construct, on a throw-away embedded
// database: procedures created from their text and called as a batch or a client calls them.
// What one expression or statement gives is held to SQL Server in tests/tsql/*.json; these cases
// are about what runs across statements, calls and transactions.
#include "TempServer.h"

#include "db/DatabaseError.h"
#include "db/embedded/EmbeddedConnection.h"
#include "db/embedded/EmbeddedServer.h"

#include <gtest/gtest.h>

using db::DatabaseError;
using db::DatabaseErrorEntry;
using db::DataType;
using db::ParamKind;
using db::ProcedureParam;

namespace {

class InterpreterTest : public ::testing::Test {
protected:
    void SetUp() override {
        db::EmbeddedServer::createDatabase(server.directory(), "Work");
        connection = std::make_unique<db::EmbeddedConnection>(server.directory(), "Work");
        // The suite's types, as its databases have them.
        run("Create Type IdNo From Int Null");
        run("Create Type CharFlag From Char(1) Null");
        run("Create Table Item (Id Int Not Null Primary Key, Code VarChar(10))");
        run("Insert Into Item Values (1, 'A'), (2, 'B'), (3, 'C')");
        // What a procedure has done, in order.
        run("Create Table Note (Id Int Identity(1,1), Text VarChar(100))");
    }

    db::ResultSet run(const QString& sql) { return connection->execute(sql, {}); }

    // The one row the batch's result has.
    QVariantList row(const QString& sql) {
        const auto result = run(sql);
        EXPECT_EQ(result.rows.size(), 1u) << sql.toStdString();
        return result.rows.empty() ? QVariantList() : result.rows.front();
    }

    QVariantList column(const QString& sql) {
        QVariantList values;
        for (const auto& each : run(sql).rows)
            values << each.value(0);
        return values;
    }

    // Every entry of the error the batch ends with; none when it succeeds.
    std::vector<DatabaseErrorEntry> errorsOf(const QString& sql) {
        try {
            run(sql);
        } catch (const DatabaseError& error) {
            return error.entries();
        }
        ADD_FAILURE() << "no error from " << sql.toStdString();
        return {};
    }

    DatabaseErrorEntry errorOf(const QString& sql) {
        const auto entries = errorsOf(sql);
        return entries.empty() ? DatabaseErrorEntry{} : entries.front();
    }

    QVariantList notes() { return column("Select Text From Note Order By Id"); }

    TempServer server;
    std::unique_ptr<db::EmbeddedConnection> connection;
};

const QString nestingLimitText = QStringLiteral(
    "Maximum stored procedure, function, trigger, or view nesting level exceeded (limit 32).");

} // namespace

// ---- variables and types ------------------------------------------------------------------

TEST_F(InterpreterTest, UserTypesFollowTheRulesOfTheirBaseType) {
    EXPECT_EQ(row("Declare @Year IdNo = 2024.9, @Flag CharFlag = 'YES' Select @Year, @Flag"),
              QVariantList({2024, "Y"}));
    run("Create Procedure Typed @Year IdNo, @Flag CharFlag, @Year2 IdNo Output As "
        "Set @Year2 = @Year + 1 Select @Flag, @Year2");
    EXPECT_EQ(row("Exec Typed 2024.9, 'NO', Null"), QVariantList({"N", 2025}));
}

TEST_F(InterpreterTest, ParametersTakeTheTypesTheyAreDeclaredWith) {
    run("Create Procedure Params @Code VarChar(3), @Cost Decimal(10,2), @Qty Int As "
        "Select @Code, @Cost, @Qty");
    // Parameters cut and round silently, as variables do.
    EXPECT_EQ(row("Exec Params 'abcdef', 1.005, 7.9"), QVariantList({"abc", "1.01", 7}));
    const auto notANumber = errorOf("Exec Params 'a', 1, 'seven'");
    EXPECT_EQ(notANumber.nativeCode, 8114);
    EXPECT_EQ(notANumber.text, "Error converting data type varchar to int.");
    EXPECT_EQ(errorOf("Exec Params 'a', 'x', 1").text,
              "Error converting data type varchar to numeric.");
}

TEST_F(InterpreterTest, AnAssignmentThatDoesNotFitChangesNothing) {
    EXPECT_EQ(row("Declare @t TinyInt = 7, @e Int "
                  "Begin Try Set @t = @t + 250 End Try Begin Catch Set @e = Error_Number() End "
                  "Catch Select @t, @e"),
              QVariantList({7, 220}));
    EXPECT_EQ(row("Declare @i Int = 2147483647, @e Int "
                  "Begin Try Set @i += 1 End Try Begin Catch Set @e = Error_Number() End Catch "
                  "Select @i, @e"),
              QVariantList({2147483647, 8115}));
    // Outside Try the error ends its statement only: the batch goes on with the value kept.
    EXPECT_THROW(
        run("Declare @t TinyInt = 7 Set @t = 300 Insert Into Note (Text) Select Concat('t=', @t)"),
        DatabaseError);
    EXPECT_EQ(notes(), QVariantList({"t=7"}));
}

TEST_F(InterpreterTest, ADeclareThatDoesNotRunStillDeclaresItsVariable) {
    // Declarations belong to the text: a branch not taken, a Catch block without an error and a
    // loop not entered leave the variable declared, NULL.
    EXPECT_EQ(row("If 1 = 0 Begin Declare @a Int = 5 End Select @a"), QVariantList({QVariant()}));
    EXPECT_EQ(row("If 1 = 0 Begin Declare @v VarChar(3) End Else Set @v = 'abcdef' Select @v"),
              QVariantList({"abc"}));
    EXPECT_EQ(row("Begin Try Declare @x Int = 1 End Try Begin Catch Declare @m VarChar(50) = "
                  "Error_Message() End Catch Select IsNull(@m, 'no error')"),
              QVariantList({"no error"}));
    EXPECT_EQ(row("While 1 = 0 Begin Declare @n Int = 1 End Select @n"),
              QVariantList({QVariant()}));
    // A Declare that runs again sets its initial value again; one without a value keeps it.
    EXPECT_EQ(row("Declare @i Int = 0, @sum Int = 0 While @i < 3 Begin Set @i += 1 "
                  "Declare @kept Int Declare @reset Int = 10 Set @kept = IsNull(@kept, 0) + 1 "
                  "Set @reset += 1 Set @sum += @reset End Select @kept, @sum"),
              QVariantList({3, 33}));
    run("Create Procedure Branch @Take Int As If @Take = 1 Begin Declare @r Int = 1 End "
        "Select IsNull(@r, 0)");
    EXPECT_EQ(row("Exec Branch 0"), QVariantList({0}));
    EXPECT_EQ(row("Exec Branch 1"), QVariantList({1}));
}

// ---- table variables ----------------------------------------------------------------------

TEST_F(InterpreterTest, ATableVariableBelongsToItsCall) {
    // Each level of a recursion has its own rows; a call that failed leaves none for the next.
    run("Create Procedure Levels @n Int As "
        "Declare @T Table (n Int) Insert Into @T Values (@n) "
        "If @n > 0 Begin Declare @m Int = @n - 1 Exec Levels @m End "
        "Insert Into Note (Text) Select Concat(@@NestLevel, ':', Count(*), ':', Max(n)) From @T "
        "If @n = 9 Select 1 / 0");
    run("Exec Levels 2");
    EXPECT_EQ(notes(), QVariantList({"3:1:0", "2:1:1", "1:1:2"}));
    run("Delete Note");
    EXPECT_THROW(run("Exec Levels 9"), DatabaseError);
    run("Exec Levels 0");
    EXPECT_EQ(notes().last(), "1:1:0");
    EXPECT_EQ(errorOf("Select Count(*) From @T").nativeCode, 1087);
}

TEST_F(InterpreterTest, TableVariableIdentitiesStartAtTheSeedInEveryCall) {
    run("Create Procedure Numbered @Last Int Output As "
        "Declare @T Table (n Int Identity(10, 5), Code VarChar(10)) "
        "Insert Into @T (Code) Select Code From Item "
        "Begin Transaction Insert Into @T (Code) Values ('rolled') Rollback "
        "Insert Into @T (Code) Values ('last') "
        "Select @Last = Max(n) From @T "
        "Insert Into Note (Text) Select Concat(n, Code) From @T Order By n");
    for (int call = 0; call < 2; ++call) {
        run("Delete Note");
        // A rollback neither takes the table variable's rows nor gives its numbers again.
        EXPECT_EQ(row("Declare @l Int Exec Numbered @l Output Select @l"), QVariantList({30}));
        EXPECT_EQ(notes(), QVariantList({"10A", "15B", "20C", "25rolled", "30last"}));
    }
    EXPECT_EQ(errorOf("Declare @T Table (n Int Identity(1,1), Code VarChar(10)) "
                      "Insert Into @T (n, Code) Values (1, 'x')")
                  .nativeCode,
              544);
}

TEST_F(InterpreterTest, ConstraintErrorsNameTheTableVariableAsWritten) {
    const auto key = errorOf("Declare @Lines Table (k Int Primary Key, v Int Not Null) "
                             "Insert Into @Lines Values (1, 1), (1, 2)");
    EXPECT_EQ(key.nativeCode, 2627);
    EXPECT_TRUE(key.text.endsWith("Cannot insert duplicate key in object 'dbo.@Lines'."))
        << key.text.toStdString();
    EXPECT_FALSE(key.text.contains('#')) << key.text.toStdString();
    EXPECT_EQ(errorOf("Declare @Lines Table (k Int Primary Key, v Int Not Null) "
                      "Insert Into @Lines Values (1, Null)")
                  .text,
              "Cannot insert the value NULL into column 'v', table '@Lines'; column does not "
              "allow nulls. INSERT fails.");
}

TEST_F(InterpreterTest, AProcedureAlteredToAnotherTableVariableUsesItsNewColumns) {
    run("Create Procedure Shape As Declare @T Table (a Int) Insert Into @T Values (1) "
        "Select Count(*) From @T");
    EXPECT_EQ(row("Exec Shape"), QVariantList({1}));
    run("Alter Procedure Shape As Declare @T Table (a VarChar(5), b Int Not Null) "
        "Insert Into @T Values ('abc', 2) Select a, b From @T");
    EXPECT_EQ(row("Exec Shape"), QVariantList({"abc", 2}));
}

// ---- cursors ------------------------------------------------------------------------------

TEST_F(InterpreterTest, ACursorReadsItsRowsWhenItIsOpened) {
    // Rows deleted, changed or added after Open do not change what the cursor gives.
    EXPECT_EQ(row("Declare @id Int, @code VarChar(10), @seen VarChar(50) = '' "
                  "Declare Walk Cursor Local Fast_Forward For "
                  "Select Id, Code From Item Order By Id "
                  "Open Walk "
                  "Delete From Item Where Id = 3 Update Item Set Code = 'x' "
                  "Insert Into Item Values (4, 'D') "
                  "Fetch Next From Walk Into @id, @code "
                  "While @@Fetch_Status = 0 Begin "
                  "  Set @seen += Concat(@id, @code) "
                  "  Fetch Next From Walk Into @id, @code "
                  "End Close Walk Deallocate Walk Select @seen"),
              QVariantList({"1A2B3C"}));
    EXPECT_EQ(column("Select Code From Item Order By Id"), QVariantList({"x", "x", "D"}));
}

TEST_F(InterpreterTest, EveryCallHasItsOwnCursors) {
    // A local cursor of the same name at each level of a recursion, never deallocated: the
    // call ends it, so calling again declares it again.
    run("Create Procedure Walk @Depth Int As "
        "Declare @id Int, @count Int = 0 "
        "Declare Items Cursor Local For Select Id From Item Order By Id "
        "Open Items Fetch Next From Items Into @id "
        "While @@Fetch_Status = 0 Begin "
        "  Set @count += 1 "
        "  If @Depth > 0 And @id = 1 Begin Declare @d Int = @Depth - 1 Exec Walk @d End "
        "  Fetch Next From Items Into @id "
        "End "
        "Insert Into Note (Text) Values (Concat(@Depth, ':', @count))");
    run("Exec Walk 1");
    run("Exec Walk 0");
    EXPECT_EQ(notes(), QVariantList({"0:3", "1:3", "0:3"}));
}

TEST_F(InterpreterTest, ScrollCursorsMoveEveryWay) {
    EXPECT_EQ(row("Declare @id Int, @s VarChar(50) = '' "
                  "Declare C Cursor Local Scroll For Select Id From Item Order By Id Open C "
                  "Fetch Last From C Into @id Set @s += Concat(@id, ',') "
                  "Fetch Prior From C Into @id Set @s += Concat(@id, ',') "
                  "Fetch First From C Into @id Set @s += Concat(@id, ',') "
                  "Fetch Absolute 3 From C Into @id Set @s += Concat(@id, ',') "
                  "Fetch Relative -2 From C Into @id Set @s += Concat(@id, ',') "
                  "Fetch Prior From C Into @id Set @s += Concat(@@Fetch_Status, ',', @id) "
                  "Select @s"),
              QVariantList({"3,2,1,3,1,-1,1"}));
}

TEST_F(InterpreterTest, CursorMisuseFailsWithSqlServersErrors) {
    const QString declare =
        "Declare @id Int, @code VarChar(10) Declare C Cursor Local For Select Id From Item ";
    EXPECT_EQ(errorOf(declare + "Open C Open C").nativeCode, 16905);
    EXPECT_EQ(errorOf(declare + "Fetch Next From C Into @id").nativeCode, 16917);
    EXPECT_EQ(errorOf(declare + "Open C Fetch Next From C Into @id, @code").nativeCode, 16924);
    EXPECT_EQ(errorOf(declare + "Declare C Cursor Local For Select 1").nativeCode, 16915);
    EXPECT_EQ(errorOf(declare + "Deallocate C Open C").nativeCode, 16916);
}

// ---- transactions -------------------------------------------------------------------------

TEST_F(InterpreterTest, ACommitInsideAProcedureOnlyCountsDown) {
    run("Create Procedure Nested @Note VarChar(20) As Begin Transaction "
        "Insert Into Note (Text) Values (Concat(@Note, ' at ', @@TranCount)) Commit");
    run("Begin Transaction Exec Nested 'inner' "
        "Insert Into Note (Text) Values (Concat('after at ', @@TranCount)) Rollback");
    EXPECT_TRUE(notes().isEmpty());
    run("Exec Nested 'alone'");
    EXPECT_EQ(notes(), QVariantList({"alone at 1"}));
}

TEST_F(InterpreterTest, AProcedureThatChangesTheTransactionCountIsReported) {
    run("Create Procedure LeavesOpen As Begin Transaction Insert Into Note (Text) Values ('open')");
    run("Create Procedure RollsBack As Rollback");
    const auto open = errorOf("Exec LeavesOpen Rollback");
    EXPECT_EQ(open.nativeCode, 266);
    EXPECT_EQ(open.text, "Transaction count after EXECUTE indicates a mismatching number of "
                         "BEGIN and COMMIT statements. Previous count = 0, current count = 1.");
    const auto rolledBack = errorOf("Begin Transaction Insert Into Note (Text) Values ('gone') "
                                    "Exec RollsBack Insert Into Note (Text) Values ('kept')");
    EXPECT_EQ(rolledBack.nativeCode, 266);
    EXPECT_TRUE(rolledBack.text.endsWith("Previous count = 1, current count = 0."));
    // The batch went on after the report, outside any transaction.
    EXPECT_EQ(notes(), QVariantList({"kept"}));
}

TEST_F(InterpreterTest, XactAbortInAProcedureRollsBackAndEndsTheBatch) {
    run("Create Procedure Abort As Set XAct_Abort On Begin Transaction "
        "Insert Into Note (Text) Values ('in transaction') Insert Into Item Values (1, 'dup') "
        "Insert Into Note (Text) Values ('after the error') Commit");
    const auto entries = errorsOf("Exec Abort Insert Into Note (Text) Values ('caller')");
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.front().nativeCode, 2627);
    EXPECT_TRUE(notes().isEmpty());
    EXPECT_EQ(row("Select @@TranCount"), QVariantList({0}));

    // The setting ends with the procedure that made it: the caller's error ends one statement.
    run("Create Procedure SetsIt As Set XAct_Abort On");
    EXPECT_THROW(run("Exec SetsIt Begin Transaction Insert Into Item Values (1, 'dup') "
                     "Insert Into Note (Text) Values ('still here') Commit"),
                 DatabaseError);
    EXPECT_EQ(notes(), QVariantList({"still here"}));
}

TEST_F(InterpreterTest, AnUncommittableTransactionIsRolledBackAtTheEndOfTheBatch) {
    run("Create Procedure Doomed As Set XAct_Abort On Begin Transaction "
        "Insert Into Note (Text) Values ('doomed') Insert Into Item Values (1, 'dup') Commit");
    const auto entries = errorsOf("Declare @state Int Begin Try Exec Doomed End Try Begin Catch "
                                  "Set @state = Xact_State() End Catch "
                                  "Insert Into Item Values (9, Concat('state ', @state))");
    ASSERT_EQ(entries.size(), 2u);
    // Writing in a doomed transaction fails; at the end of the batch it is rolled back.
    EXPECT_EQ(entries[0].nativeCode, 3930);
    EXPECT_EQ(entries[1].nativeCode, 3998);
    EXPECT_TRUE(notes().isEmpty());
    EXPECT_EQ(row("Select Count(*), @@TranCount From Item"), QVariantList({3, 0}));
}

// ---- Try/Catch, Throw and RaisError -------------------------------------------------------

TEST_F(InterpreterTest, ACatchSeesWhereTheErrorOfACalledProcedureHappened) {
    run("-- divides by its argument\nCreate Procedure Divide @By Int\nAs\n  Declare @x Int\n"
        "  Set @x = 10 / @By\n"
        "  Select @x");
    run("Create Procedure Report As Insert Into Note (Text) "
        "Select Concat(Error_Number(), ' ', Error_Procedure(), ' ', Error_Line())");
    EXPECT_EQ(row("Begin Try Exec Divide 0 End Try Begin Catch "
                  "Exec Report Select Error_Message(), Error_Severity(), @@Error End Catch"),
              QVariantList({"Divide by zero error encountered.", 16, 0}));
    // Error functions answer in a procedure the Catch block calls.
    // Lines count from the first line of the text that created the procedure, comments included.
    EXPECT_EQ(notes(), QVariantList({"8134 Divide 5"}));
}

TEST_F(InterpreterTest, ThrowWithoutArgumentsPassesTheErrorOnUnchanged) {
    run("Create Procedure Rethrows As Begin Try Insert Into Item Values (1, 'dup') End Try "
        "Begin Catch Insert Into Note (Text) Values ('seen') ; Throw End Catch "
        "Insert Into Note (Text) Values ('not reached')");
    EXPECT_EQ(row("Begin Try Exec Rethrows End Try Begin Catch "
                  "Select Error_Number(), Error_Procedure() End Catch"),
              QVariantList({2627, "Rethrows"}));
    // Without a Catch around the call the client gets the error as the insert raised it.
    const auto rethrown = errorOf("Exec Rethrows");
    EXPECT_EQ(rethrown.nativeCode, 2627);
    EXPECT_EQ(rethrown.text, errorOf("Insert Into Item Values (1, 'dup')").text);
    EXPECT_EQ(notes(), QVariantList({"seen", "seen"}));
}

TEST_F(InterpreterTest, AnErrorOutsideTryEndsItsStatementOrItsBatch) {
    // RaisError and most errors end their statement: the procedure goes on, and the client
    // gets the error at the end.
    run("Create Procedure Goes As Insert Into Note (Text) Values ('before') "
        "RaisError('Stock below zero for %s', 16, 1, 'P1') "
        "Insert Into Note (Text) Values ('after')");
    const auto raised = errorOf("Exec Goes");
    EXPECT_EQ(raised.nativeCode, 50000);
    EXPECT_EQ(raised.text, "Stock below zero for P1");
    EXPECT_EQ(notes(), QVariantList({"before", "after"}));
    // A conversion failure ends the whole batch, in the procedure and in its caller.
    run("Delete Note");
    run("Create Procedure Stops As Declare @i Int Insert Into Note (Text) Values ('before') "
        "Set @i = 'x' Insert Into Note (Text) Values ('after')");
    EXPECT_EQ(errorOf("Exec Stops Insert Into Note (Text) Values ('caller')").nativeCode, 245);
    EXPECT_EQ(notes(), QVariantList({"before"}));
}

// ---- nested calls -------------------------------------------------------------------------

TEST_F(InterpreterTest, CallsNestUpTo32Levels) {
    run("Create Procedure Deep @n Int, @Level Int Output As Set @Level = @@NestLevel "
        "If @n > 0 Begin Declare @m Int = @n - 1 Exec Deep @m, @Level Output End");
    EXPECT_EQ(row("Declare @l Int Exec Deep 31, @l Output Select @l"), QVariantList({32}));
    const auto tooDeep = errorOf("Declare @l Int Exec Deep 32, @l Output");
    EXPECT_EQ(tooDeep.nativeCode, 217);
    EXPECT_EQ(tooDeep.text, nestingLimitText);
    EXPECT_EQ(row("Declare @l Int Begin Try Exec Deep 40, @l Output End Try Begin Catch "
                  "Select Error_Number(), @@NestLevel End Catch"),
              QVariantList({217, 0}));
    // Dynamic SQL is a level too.
    run("Create Procedure Dynamic @n Int As If @n > 0 Begin Declare @m Int = @n - 1 "
        "Declare @sql NVarChar(100) = N'Exec Dynamic ' + Cast(@m As NVarChar(10)) "
        "Exec (@sql) End");
    EXPECT_NO_THROW(run("Exec Dynamic 15"));
    EXPECT_EQ(errorOf("Exec Dynamic 16").text, nestingLimitText);
}

TEST_F(InterpreterTest, ArgumentsGoByPositionOrByName) {
    run("Create Procedure Args @a Int, @b VarChar(5) = 'dflt', @c Int = 3 As "
        "Select Concat(@a, ',', @b, ',', @c)");
    EXPECT_EQ(row("Exec Args 1"), QVariantList({"1,dflt,3"}));
    EXPECT_EQ(row("Exec Args 1, Default, 5"), QVariantList({"1,dflt,5"}));
    EXPECT_EQ(row("Exec Args @c = 7, @A = 2"), QVariantList({"2,dflt,7"}));
    EXPECT_EQ(row("Exec Args 4, @c = 8"), QVariantList({"4,dflt,8"}));
    EXPECT_EQ(row("Declare @name VarChar(20) = 'dbo.Args' Exec @name 6"),
              QVariantList({"6,dflt,3"}));

    EXPECT_EQ(errorOf("Exec Args 1, 'x', 3, 4").text,
              "Procedure or function Args has too many arguments specified.");
    EXPECT_EQ(errorOf("Exec Args @a = 1, @d = 4").text,
              "@d is not a parameter for procedure Args.");
    EXPECT_EQ(errorOf("Exec Args @a = 1, 'x'").nativeCode, 119);
    EXPECT_EQ(errorOf("Exec Args @b = 'x'").text,
              "Procedure or function 'Args' expects parameter '@a', which was not supplied.");
    EXPECT_EQ(errorOf("Exec Missing 1").text, "Could not find stored procedure 'Missing'.");
}

// ---- output parameters and return values --------------------------------------------------

TEST_F(InterpreterTest, OutputsComeBackOnlyWhereTheCallAsksForThem) {
    run("Create Procedure Twice @a Int, @Double Int Output, @Note VarChar(10) = 'n' Output As "
        "Set @Double = @a * 2 Set @Note = 'set'");
    EXPECT_EQ(row("Declare @d Int = 0, @n VarChar(10) Exec Twice 5, @d Output, @n Output "
                  "Select @d, @n"),
              QVariantList({10, "set"}));
    // Without Output the variable goes in as a value and stays as it was.
    EXPECT_EQ(row("Declare @d Int = 0 Exec Twice 5, @d Select @d"), QVariantList({0}));
    // An output with a default may be left out; one without may not.
    EXPECT_EQ(row("Declare @d Int Exec Twice @a = 4, @Double = @d Output Select @d"),
              QVariantList({8}));
    EXPECT_EQ(errorOf("Exec Twice 5").text, "Procedure or function 'Twice' expects parameter "
                                            "'@Double', which was not supplied.");
    EXPECT_EQ(errorOf("Declare @d Int, @x Int = 5 Exec Twice @x Output, @d Output").nativeCode,
              8162);
    // The caller's variable takes the value in its own type.
    EXPECT_EQ(row("Declare @short VarChar(1), @d Int Exec Twice 6, @short Output Select @short"),
              QVariantList({"*"}));
}

TEST_F(InterpreterTest, ReturnEndsTheProcedureWithItsValue) {
    run("Create Procedure Returns @n Int As "
        "While 1 = 1 Begin If @n > 2 Return @n * 10 Set @n += 1 End "
        "Insert Into Note (Text) Values ('not reached')");
    run("Create Procedure Plain As Insert Into Note (Text) Values ('plain') Return "
        "Insert Into Note (Text) Values ('not reached')");
    run("Create Procedure ReturnsNull As Return Null");
    EXPECT_EQ(row("Declare @r Int, @p Int = 9, @z Int = 9 Exec @r = Returns 1 Exec @p = Plain "
                  "Exec @z = ReturnsNull Select @r, @p, @z"),
              QVariantList({30, 0, 0}));
    EXPECT_EQ(notes(), QVariantList({"plain"}));
}

TEST_F(InterpreterTest, AClientCallGetsItsOutputsAndTheReturnValue) {
    run("Create Procedure Costs @Code VarChar(10), @Qty Decimal(28,4) = 2, "
        "@Cost Money Output, @Found IdNo Output, @At DateTime Output As "
        "Select @Found = Count(*) From Item Where Code = @Code "
        "Set @Cost = 10.0 / 3 * @Qty Set @At = '2024-03-05 10:30' Return 7");
    std::vector<ProcedureParam> params{
        {"@code", DataType::String, ParamKind::Input, "b"},
        {"@Cost", DataType::String, ParamKind::Output, {}},
        {"@Found", DataType::Integer, ParamKind::Output, {}},
        {"@At", DataType::DateTime, ParamKind::Output, {}},
        {"Result", DataType::Integer, ParamKind::Result, {}},
    };
    EXPECT_EQ(connection->callProcedure("dbo.Costs", params), 7);
    EXPECT_EQ(params[1].value, QVariant("6.6667"));
    EXPECT_EQ(params[2].value.toLongLong(), 1);
    EXPECT_EQ(params[3].value.toDateTime(), QDateTime(QDate(2024, 3, 5), QTime(10, 30)));
    EXPECT_EQ(params[4].value.toInt(), 7);

    // The catalog gives the parameters in order, user types by their base type.
    const auto declared = connection->procedureParameters("COSTS");
    ASSERT_EQ(declared.size(), 5u);
    QStringList shown;
    for (const auto& parameter : declared)
        shown << parameter.name + ' ' + parameter.typeName + (parameter.output ? " out" : "");
    EXPECT_EQ(shown, QStringList({"@Code varchar(10)", "@Qty decimal(28,4)", "@Cost money out",
                                  "@Found int out", "@At datetime out"}));
    try {
        connection->procedureParameters("Missing");
        ADD_FAILURE() << "no error for a missing procedure";
    } catch (const DatabaseError& error) {
        EXPECT_EQ(error.message(), "Could not find stored procedure 'Missing'.");
    }
}

// ---- procedures as objects of the database ------------------------------------------------

TEST_F(InterpreterTest, AProcedureRefusedAtCreateLeavesWhatWasThere) {
    run("Create Procedure Kept As Select 'old'");
    EXPECT_EQ(errorOf("Alter Procedure Kept As Select @undeclared").nativeCode, 137);
    EXPECT_EQ(errorOf("Create Procedure Fresh As Goto Done").nativeCode, 40000);
    EXPECT_EQ(row("Exec Kept"), QVariantList({"old"}));
    EXPECT_EQ(row("Select Object_Id('Fresh'), (Select Count(*) From SysObjects Where xtype = 'P')"),
              QVariantList({QVariant(), 1}));
    // Another connection runs the text this one created; a change reaches it too.
    db::EmbeddedConnection other(server.directory(), "Work");
    EXPECT_EQ(other.execute("Exec Kept", {}).rows.front().value(0), "old");
    run("Alter Procedure Kept As Select 'new'");
    EXPECT_EQ(other.execute("Exec Kept", {}).rows.front().value(0), "new");
    run("Drop Procedure Kept");
    EXPECT_THROW(other.execute("Exec Kept", {}), DatabaseError);
}
