// stockcost-admin as an administrator uses it: the real binary on a throw-away embedded server.
#include "TempServer.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>

namespace {

struct AdminRun {
    int exitCode = -1;
    QString out;
    QString err;
};

} // namespace

class AdminTool : public ::testing::Test {
protected:
    AdminRun admin(const QStringList& args) {
        QProcess process;
        process.setWorkingDirectory(work.path());
        process.start(QStringLiteral(STOCKCOST_ADMIN_PATH), args);
        process.waitForFinished(60000);
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }
    AdminRun onServer(const QStringList& args) {
        return admin(QStringList{"--server", server.serverName()} + args);
    }
    QString writeFile(const QString& name, const QString& text) {
        const auto path = QDir(work.path()).filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(text.toUtf8());
        return path;
    }

    TempServer server;
    QTemporaryDir work;
};

TEST_F(AdminTool, InitPrintsTheServerNameAndServerDatIsTheDefault) {
    const auto run = admin({"init", "srv"});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, "embedded:srv\n");
    writeFile("Server.Dat", "embedded:srv\r\n");
    const auto query =
        admin({"sql", "master", "Select Name From SysDatabases Where Name = 'trq_config'"});
    EXPECT_EQ(query.exitCode, 0) << query.err.toStdString();
    EXPECT_EQ(query.out, "Name\nTRQ_CONFIG\n");
}

TEST_F(AdminTool, SqlPrintsAHeaderAndTabSeparatedRows) {
    ASSERT_EQ(onServer({"sql", "master", "Create Database Work"}).exitCode, 0);
    ASSERT_EQ(
        onServer({"sql", "Work", "Create Table T (A Int, B VarChar(10), C DateTime)"}).exitCode, 0);
    ASSERT_EQ(onServer({"sql", "Work", "Insert Into T Values (1, 'ข้าว', '2024-03-05 07:08:09')"})
                  .exitCode,
              0);
    ASSERT_EQ(onServer({"sql", "Work", "Insert Into T Values (2, Null, Null)"}).exitCode, 0);
    const auto run = onServer({"sql", "Work", "Select A, B, C From T Order By A"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "A\tB\tC\n1\tข้าว\t2024-03-05 07:08:09\n2\tNULL\tNULL\n");
}

TEST_F(AdminTool, ExitStatusTellsDatabaseErrorsFromUsageErrors) {
    auto run = onServer({"sql", "Nowhere", "Select 1"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("Cannot open database")) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty());

    run = admin({"frobnicate"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains("usage:"));
    run = admin({"--server"});
    EXPECT_EQ(run.exitCode, 2);
    run = onServer({"script", "-", "x.sql", "--param", "Year=number:1", "--dry-run"});
    EXPECT_EQ(run.exitCode, 2);
}

TEST_F(AdminTool, ScriptDryRunShowsEveryStatementWithItsNumberAndLine) {
    const auto file = writeFile("upgrade.sql", "Delete From T\n  Where Y = :Year\n/\n\n/\n"
                                               "Update T Set A = 1; Update T Set A = 2\n");
    const auto run = admin({"script", "-", file, "--param", "Year=integer:2024", "--dry-run"});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    // Statements and lines counted from 1; a statement's line is the one that ends it.
    EXPECT_EQ(run.out, "-- statement 1 line 3\nDelete From T\nWhere Y = :Year\n"
                       "-- statement 2 line 6\nUpdate T Set A = 1\n"
                       "-- statement 3 line 6\nUpdate T Set A = 2\n");

    // The runner's refusals come out as they are, with status 1.
    const auto refused = admin({"script", "-", file, "--dry-run"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err, "No value for parameter 'Year'. Error on line 3\n");
    EXPECT_TRUE(refused.out.isEmpty());
    const auto blank = admin({"script", "-", writeFile("blank.sql", "\n/\n/\n"), "--dry-run"});
    EXPECT_EQ(blank.exitCode, 1);
    EXPECT_EQ(blank.err, "List index out of bounds (-1)\n");
}

TEST_F(AdminTool, ScriptRunsWithTypedParameters) {
    ASSERT_EQ(onServer({"sql", "master", "Create Database Work"}).exitCode, 0);
    const auto file = writeFile("s.sql", "Create Table T (Y Int, N VarChar(20), D DateTime)\n/\n"
                                         "Insert Into T Values (:Year, :Name, :At)\n");
    const auto run = onServer({"script", "Work", file, "--param", "year=integer:2025", "--param",
                               "Name=string:a b", "--param", "At=datetime:2025-01-31"});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(onServer({"sql", "Work", "Select Y, N, D From T"}).out,
              "Y\tN\tD\n2025\ta b\t2025-01-31 00:00:00\n");
}

TEST_F(AdminTool, ScriptWithGoRunsEachBatchAsSqlcmdDoes) {
    ASSERT_EQ(onServer({"sql", "master", "Create Database Work"}).exitCode, 0);
    const auto file = writeFile("batches.sql", "-- the table first\r\n"
                                               "Create Table T (A Int, B VarChar(10))\r\n"
                                               "Go\r\n"
                                               "\r\n"
                                               "Insert Into T Values (1, 'a;b')\r\n"
                                               "  go  \r\n"
                                               "-- nothing but a comment\r\n"
                                               "GO\r\n"
                                               "Select A, B From T\r\n");
    // Run as one script the Go lines are text of the statements, and the server refuses them.
    EXPECT_EQ(onServer({"script", "Work", file}).exitCode, 1);

    const auto shown = admin({"script", "-", file, "--go", "--dry-run"});
    EXPECT_EQ(shown.exitCode, 0) << shown.err.toStdString();
    EXPECT_EQ(shown.out.toStdString(),
              "-- batch 1 line 2\n-- the table first\nCreate Table T (A Int, B "
              "VarChar(10))\n-- batch 2 line 5\n\nInsert Into T Values (1, 'a;b')\n"
              "-- batch 3 line 9\nSelect A, B From T\n");

    const auto run = onServer({"script", "Work", file, "--go"});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.toStdString(), "A\tB\n1\ta;b\n");

    // The first failing batch stops the run and is named; the batches before it stay done.
    const auto failing = writeFile("failing.sql", "Insert Into T Values (2, 'x')\nGo\n"
                                                  "Insert Into Nowhere Values (3)\nGo\n"
                                                  "Insert Into T Values (4, 'y')\n");
    const auto failed = onServer({"script", "Work", failing, "--go"});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_TRUE(failed.err.contains("Nowhere")) << failed.err.toStdString();
    EXPECT_TRUE(failed.err.contains("Error in batch 2 on line 3")) << failed.err.toStdString();
    EXPECT_EQ(onServer({"sql", "Work", "Select A From T Order By A"}).out.toStdString(),
              "A\n1\n2\n");

    EXPECT_EQ(onServer({"script", "Work", file, "--go", "--param", "Year=integer:1"}).exitCode, 2);
    EXPECT_EQ(
        onServer({"script", "Work", writeFile("empty.sql", "-- only\nGo\n"), "--go"}).exitCode, 1);
}

TEST_F(AdminTool, CallPrintsOutputsAndTheResult) {
    ASSERT_EQ(admin({"init", server.directory()}).exitCode, 0);
    const auto run = onServer({"call", "TRQ_CONFIG", "MENUCAPTION", "@MENUID=1", "@USERID=1",
                               "@ACCESS_R", "@USERCODE", "@SALESID:integer"});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, "@ACCESS_R=Y\n@USERCODE=ADMIN\n@SALESID=NULL\nResult=0\n");
    const auto missing = onServer({"call", "TRQ_CONFIG", "NoSuchProcedure"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, "Could not find stored procedure 'NoSuchProcedure'.\n");
}

TEST_F(AdminTool, CallPrintsEveryOutputWithoutNamingThem) {
    ASSERT_EQ(admin({"init", server.directory()}).exitCode, 0);
    const auto run = onServer({"call", "TRQ_CONFIG", "MENUCAPTION", "@MENUID=1", "@USERID=2"});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.toStdString(), "@CAPTION=คำนวณต้นทุนสินค้า\n@ACCESS_R=N\n@ADD_R=N\n"
                                     "@MODIFY_R=N\n@DELETE_R=N\n@USERCODE=CLERK\n@SALESID=NULL\n"
                                     "Result=0\n");

    // What the procedure does not have, or lacks, the server refuses in its own words.
    const auto unknown =
        onServer({"call", "TRQ_CONFIG", "MENUCAPTION", "@MENUID=1", "@USERID=1", "@MENU=1"});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_EQ(unknown.err, "@MENU is not a parameter for procedure MENUCAPTION.\n");
    EXPECT_TRUE(unknown.out.isEmpty());
    const auto missing = onServer({"call", "TRQ_CONFIG", "MENUCAPTION", "@MENUID=1"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, "Procedure or function 'MENUCAPTION' expects parameter '@USERID', "
                           "which was not supplied.\n");
    const auto twice =
        onServer({"call", "TRQ_CONFIG", "MENUCAPTION", "@MENUID=1", "@menuid=2", "@USERID=1"});
    EXPECT_EQ(twice.exitCode, 2);
    EXPECT_TRUE(twice.err.startsWith("stockcost-admin: call: @menuid is given twice"));
}

TEST_F(AdminTool, CallPassesValuesAsTheProcedureDeclaresThem) {
    ASSERT_EQ(onServer({"sql", "master", "Create Database Work"}).exitCode, 0);
    const auto file = writeFile(
        "echo.sql", "Create Procedure Echo @Code VarChar(10), @Qty Decimal(10,3), @At DateTime,\n"
                    "  @Copy VarChar(40) Output, @Total Money = 1 Output\n"
                    "As\n"
                    "  Set @Copy = Concat(@Code, '/', @Qty, '/', Convert(VarChar(10), @At, 120))\n"
                    "  Set @Total = @Total + @Qty\n"
                    "  Return Len(@Code)\n");
    ASSERT_EQ(onServer({"script", "Work", file, "--go"}).exitCode, 0);
    // A code keeps its leading zeros, a quantity its decimals; a value given to an output goes
    // in and comes back.
    const auto run = onServer(
        {"call", "Work", "Echo", "@Code=00123", "@Qty=2.5", "@At=2024-03-05", "@Total=10"});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.toStdString(), "@Copy=00123/2.500/2024-03-05\n@Total=12.5000\nResult=5\n");
    const auto named =
        onServer({"call", "Work", "Echo", "@Code=7", "@Qty=1", "@At=2024-01-01", "@total:string"});
    EXPECT_EQ(named.out, "@Total=NULL\nResult=1\n");
}

// A procedure a site writes itself, with what a DBA puts into one, created from a file of
// batches and called from the command line as it would be on SQL Server.
TEST_F(AdminTool, ASitesOwnProcedureRunsFromItsText) {
    ASSERT_EQ(onServer({"sql", "master", "Create Database Shop"}).exitCode, 0);
    const auto file =
        writeFile("reprice.sql", R"(-- Repricing of a shelf category, written for SQL Server.
If Object_Id('Shelf') Is Null
  Create Table Shelf (Code VarChar(10) Not Null Primary Key, Category Char(1) Not Null,
    Price Money Not Null Constraint CK_Shelf_Price Check (Price >= 0))
If Object_Id('PriceLog') Is Null
  Create Table PriceLog (Id Int Identity(1,1) Primary Key, Code VarChar(10),
    OldPrice Money, NewPrice Money)
Go
Insert Into Shelf Values ('P1', 'A', 10), ('P2', 'A', 19.99), ('P3', 'B', 5)
Go
If Object_Id('NewPrice') Is Not Null Drop Procedure NewPrice
Go
Create Procedure NewPrice
  @Price Money,
  @Percent Decimal(5,2),
  @Result Money Output
As
  Set @Result = Round(@Price * (100 + @Percent) / 100, 2)
Go
If Object_Id('Reprice') Is Not Null Drop Procedure Reprice
Go
Create Procedure Reprice
  @Category Char(1),
  @Percent Decimal(5,2),
  @Changed Int Output,
  @Total Money Output,
  @Message VarChar(200) Output
As
Begin
  Set NoCount On
  Declare @Changes Table (Code VarChar(10) Primary Key, OldPrice Money, NewPrice Money)
  Declare @Code VarChar(10), @Price Money, @New Money

  Declare Items Cursor Local Fast_Forward For
    Select Code, Price From Shelf Where Category = @Category Order By Code
  Open Items
  Fetch Next From Items Into @Code, @Price
  While @@Fetch_Status = 0
  Begin
    Exec NewPrice @Price, @Percent, @New Output
    Insert Into @Changes (Code, OldPrice, NewPrice) Values (@Code, @Price, @New)
    Fetch Next From Items Into @Code, @Price
  End
  Close Items
  Deallocate Items

  Begin Try
    Begin Transaction
    Insert Into PriceLog (Code, OldPrice, NewPrice)
      Select Code, OldPrice, NewPrice From @Changes Order By Code
    Update S Set Price = C.NewPrice From Shelf S Join @Changes C On C.Code = S.Code
    Commit
    Select @Changed = Count(*), @Total = Sum(NewPrice) From @Changes
    Set @Message = 'repriced'
    Return 0
  End Try
  Begin Catch
    If @@TranCount > 0 Rollback
    Select @Changed = 0, @Total = Null, @Message = Error_Message()
    Return -1
  End Catch
End
Go
)");
    const auto created = onServer({"script", "Shop", file, "--go"});
    ASSERT_EQ(created.exitCode, 0) << created.err.toStdString();
    EXPECT_EQ(onServer({"sql", "Shop",
                        "Select Name From SysObjects Where xtype = 'P' "
                        "Order By Name"})
                  .out,
              "Name\nNewPrice\nReprice\n");

    const auto raised = onServer({"call", "Shop", "Reprice", "@Category=A", "@Percent=10"});
    EXPECT_EQ(raised.exitCode, 0) << raised.err.toStdString();
    EXPECT_EQ(raised.out, "@Changed=2\n@Total=32.9900\n@Message=repriced\nResult=0\n");

    // A price that would go below zero: the whole change is rolled back and reported.
    const auto refused = onServer({"call", "Shop", "Reprice", "@Category=A", "@Percent=-150"});
    EXPECT_EQ(refused.exitCode, 0) << refused.err.toStdString();
    EXPECT_TRUE(refused.out.startsWith("@Changed=0\n@Total=NULL\n@Message=The UPDATE statement "
                                       "conflicted with the CHECK constraint \"CK_Shelf_Price\"."))
        << refused.out.toStdString();
    EXPECT_TRUE(refused.out.endsWith("\nResult=-1\n")) << refused.out.toStdString();

    EXPECT_EQ(onServer({"sql", "Shop", "Select Code, Price From Shelf Order By Code"}).out,
              "Code\tPrice\nP1\t11.0000\nP2\t21.9900\nP3\t5.0000\n");
    EXPECT_EQ(onServer({"sql", "Shop",
                        "Select Id, Code, OldPrice, NewPrice From PriceLog "
                        "Order By Id"})
                  .out,
              "Id\tCode\tOldPrice\tNewPrice\n1\tP1\t10.0000\t11.0000\n2\tP2\t19.9900\t21.9900\n");
}

TEST_F(AdminTool, AProcedureTheEngineRefusesNamesTheLineOfTheFile) {
    ASSERT_EQ(onServer({"sql", "master", "Create Database Work"}).exitCode, 0);
    const auto file = writeFile("refused.sql", "Select 1\nGo\n-- the procedure\n"
                                               "Create Procedure Refused @a Int\nAs\n"
                                               "  Set @b = @a\n");
    const auto run = onServer({"script", "Work", file, "--go"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "Must declare the scalar variable \"@b\".\nError in batch 2 on line 6\n");
    EXPECT_EQ(onServer({"sql", "Work", "Select Object_Id('Refused') Id"}).out, "Id\nNULL\n");
}

TEST_F(AdminTool, UsageErrorsNameTheActualFault) {
    const auto file = writeFile("s.sql", "Select 1\n");
    const std::vector<std::pair<QStringList, QString>> bad = {
        {{"calculate", "DB", "--year", "2025", "--frob"}, "calculate: unknown option '--frob'"},
        {{"calculate", "DB", "--frob", "1", "--year", "2025"},
         "calculate: unknown option '--frob'"},
        {{"calculate", "DB", "--year"}, "calculate: --year needs a value"},
        {{"calculate", "DB", "--year=1752"},
         "--year expects a whole number from 1753 to 9999, not '1752'"},
        // The year given with "=" is taken: the next fault is the month's.
        {{"calculate", "DB", "--year=2025", "--from-month=13"},
         "--from-month expects a whole number from 1 to 12, not '13'"},
        {{"calculate", "DB", "--year=2025", "--product="},
         "calculate: --product expects a product code"},
        {{"calculate", "DB", "--year", "2025", "extra"}, "calculate: unexpected argument 'extra'"},
        {{"create-company", "X", "--method"}, "create-company: --method needs a value"},
        {{"create-company", "X", "--method=5"}, "--method expects 1, 2, 3 or 4, not '5'"},
        {{"script", "-", file, "--dry-run=yes"}, "script: --dry-run takes no value"},
        {{"script", "-", file, "--param"}, "script: --param needs a value"},
        {{"--server="}, "--server needs a name"},
        {{"install", "trq_config"}, "install: trq_config is the configuration database"},
        {{"install", "TRQ_CONFIG_PMX"}, "install: TRQ_CONFIG_PMX is the configuration database"},
    };
    for (const auto& [args, message] : bad) {
        const auto run = admin(args);
        EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(run.err.startsWith("stockcost-admin: " + message)) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("usage:"));
    }

    // "=" works for the server too; a dry run's "=" value is taken as a parameter.
    const auto dry = admin({"--server=" + server.serverName(), "script", "-",
                            writeFile("p.sql", "Select :N\n"), "--param=N=integer:5", "--dry-run"});
    EXPECT_EQ(dry.exitCode, 0) << dry.err.toStdString();
    EXPECT_EQ(dry.out, "-- statement 1 line 1\nSelect :N\n");
}

TEST_F(AdminTool, InstallGoesIntoACompanyDatabaseOnly) {
    ASSERT_EQ(admin({"init", server.directory()}).exitCode, 0);
    ASSERT_EQ(onServer({"sql", "master", "Create Database Work"}).exitCode, 0);
    const auto run = onServer({"install", "Work"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "install: Work is not a company database (it has no tables Product and "
                       "ProductCostAVG)\n");
    EXPECT_EQ(onServer({"sql", "Work", "Select Count(*) N From SysObjects Where xtype = 'P'"}).out,
              "N\n0\n");
}

TEST_F(AdminTool, AScriptsServerErrorNamesItsLineCountedFromOne) {
    ASSERT_EQ(onServer({"sql", "master", "Create Database Work"}).exitCode, 0);
    const auto file =
        writeFile("s.sql", "Create Table T (A Int)\n/\nInsert Into Missing\nValues (1)\n/\n");
    const auto run = onServer({"script", "Work", file});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "Invalid object name 'Missing'.\nError on line 5\n");
}

TEST_F(AdminTool, AServerNameThatDoesNotWorkIsNamed) {
    const auto run = admin({"--server", "embedded:nowhere ", "sql", "master", "Select 1"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "SQL Server does not exist or access denied. Embedded server: the "
                       "directory 'nowhere ' (" +
                           QDir(work.path()).filePath("nowhere ") +
                           ") does not exist; the name "
                           "ends in a blank or a tab.\n");
}
