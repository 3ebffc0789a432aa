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
