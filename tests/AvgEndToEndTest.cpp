// The real programs on a generated demo company: stockcost-admin calculate as cron runs it, and
// stockcost's window calculating by itself at its daily time.
#include "TempServer.h"
#include "db/TDatabase.h"
#include "db/embedded/EmbeddedConnection.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

namespace {

struct Finished {
    int exitCode = -1;
    QString out;
    QString err;
};

QProcessEnvironment unattendedEnvironment(const QString& workingDir) {
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("STOCKCOST_UNATTENDED"), QStringLiteral("1"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), workingDir);
    return env;
}

// Year-to-date average times the line's fraction, to four decimals, in every issue line of the
// year whose product was calculated in the line's month (it has ledger rows for that month).
const QString wronglyPricedIssues =
    QStringLiteral("Select Count(*) From Isdt D "
                   "Where Year(D.IsDate) = %1 "
                   "And Exists (Select * From ProductCostAVG L Where L.Product = D.Product "
                   "            And L.BalanceYear = %1 And L.PeriodNo = Month(D.IsDate)) "
                   "And Abs(IsNull(D.Price, -1) - Round(D.Fraction * "
                   "    (Select Case When Sum(A.PurcQnty) = 0 Then 0 "
                   "            Else Round(Sum(IsNull(A.PurcAmount, 0)) / Sum(A.PurcQnty), 4) End "
                   "     From ProductCostAVG A Where A.Product = D.Product And A.BalanceYear = %1 "
                   "     And A.PeriodNo <= Month(D.IsDate)), 4)) > 0.00005");
const QString checkedIssues =
    QStringLiteral("Select Count(*) From Isdt D Where Year(D.IsDate) = %1 "
                   "And Exists (Select * From ProductCostAVG L Where L.Product = D.Product "
                   "            And L.BalanceYear = %1 And L.PeriodNo = Month(D.IsDate))");

} // namespace

class AvgEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(admin({"init", server.directory()}).exitCode, 0);
        ASSERT_EQ(admin({"create-company", "DEMO"}).exitCode, 0);
        const auto demo =
            admin({"demo", "DEMO", "--year", QString::number(year), "--products", "20"});
        ASSERT_EQ(demo.exitCode, 0) << demo.err.toStdString();
    }

    Finished admin(const QStringList& args) {
        QProcess process;
        process.setProcessEnvironment(unattendedEnvironment(work.path()));
        process.setWorkingDirectory(work.path());
        process.start(QStringLiteral(STOCKCOST_ADMIN_PATH),
                      QStringList{"--server", server.serverName()} + args);
        Finished run;
        if (!process.waitForFinished(120000)) {
            process.kill();
            process.waitForFinished();
        }
        run.exitCode = process.exitCode();
        run.out = QString::fromUtf8(process.readAllStandardOutput());
        run.err = QString::fromUtf8(process.readAllStandardError());
        return run;
    }
    // The single value "stockcost-admin sql" prints under its header.
    QString value(const QString& sql) {
        const auto run = admin({"sql", "DEMO", sql});
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        return run.out.section('\n', 1, 1);
    }
    // Every cost a run writes, line by line, as stockcost-admin prints them.
    QString lineCosts() {
        QString all;
        for (const char* sql :
             {"Select Id, Price From Isdt Order By Id", "Select Id, Price From Ridt Order By Id",
              "Select Id, Price From AdjuststockDt Order By Id",
              "Select Id, Price, CostAVG From MFGISDT Order By Id",
              "Select Id, Price, CostAVG From MFGRIDT Order By Id",
              "Select Id, Price From MFGFinishDt Order By Id",
              "Select Id, CostAVG From WorkOrderHd Order By Id",
              "Select Id, CostAVG From WorkOrderDt Order By Id",
              "Select Product, ProductUnits, PeriodNo, BalanceYear, PurcQnty, PurcAmount, CostAvg "
              "From ProductCostAVG Order By Product, ProductUnits, BalanceYear, PeriodNo"}) {
            const auto run = admin({"sql", "DEMO", sql});
            EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
            all += run.out;
        }
        return all;
    }
    QString wrongAndChecked() {
        return value(wronglyPricedIssues.arg(year)) + "/" +
               (value(checkedIssues.arg(year)).toInt() > 0 ? "some" : "none");
    }

    TempServer server;
    QTemporaryDir work;
    int year = 2024;
};

TEST_F(AvgEndToEnd, CalculateCostsTheYearAndRecordsIt) {
    const auto run = admin({"calculate", "DEMO", "--year=2024"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    // Not a terminal: a line for each finished phase of each month, then the summary. On a
    // company never calculated, the months from the first one whose finished goods took a work
    // order's cost before it was worked out run again, and the summary says from where.
    const auto lines = run.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 37) << run.out.toStdString();
    EXPECT_TRUE(lines[0].startsWith("2024-01  phase 1/3  ")) << lines[0].toStdString();
    EXPECT_TRUE(lines[35].startsWith("2024-12  phase 3/3  ")) << lines[35].toStdString();
    EXPECT_FALSE(run.out.contains('\r'));
    qsizetype summary = 0;
    while (summary < lines.size() && !lines[summary].startsWith("DEMO: calculated"))
        ++summary;
    ASSERT_LT(summary, lines.size()) << run.out.toStdString();
    EXPECT_TRUE(lines[summary].startsWith("DEMO: calculated 2024, months 1 to 12, in "));
    qsizetype repeatedPhases = 0;
    for (qsizetype i = summary + 1; i < lines.size(); ++i) {
        const QRegularExpression again(
            QStringLiteral("^  months (\\d+) to 12 again: a work order's cost changed"));
        const auto match = again.match(lines[i]);
        ASSERT_TRUE(match.hasMatch()) << lines[i].toStdString();
        repeatedPhases += 3 * (13 - match.captured(1).toInt());
    }
    EXPECT_EQ(summary, 36 + repeatedPhases) << run.out.toStdString();

    // The costs were final: a second run repeats nothing and changes no line.
    const auto costsBefore = lineCosts();
    const auto rerun = admin({"calculate", "DEMO", "--year=2024"});
    ASSERT_EQ(rerun.exitCode, 0) << rerun.err.toStdString();
    EXPECT_EQ(rerun.out.split('\n', Qt::SkipEmptyParts).size(), 37) << rerun.out.toStdString();
    EXPECT_EQ(lineCosts(), costsBefore);

    EXPECT_EQ(wrongAndChecked(), "0/some");
    EXPECT_EQ(value("Select CalculateCostLastYear From Config"), "2024");
    const auto recorded =
        QDateTime::fromString(value("Select CalculateCostDate From Config"), "yyyy-MM-dd HH:mm:ss");
    EXPECT_LT(std::abs(recorded.secsTo(QDateTime::currentDateTime())), 120);
}

TEST_F(AvgEndToEnd, RefusalsAndFailuresExitWithTheirError) {
    // A run for one product on a year never calculated for all products would cost every
    // work order from an almost empty ledger.
    const QString code = value("Select Min(Code) From Product");
    const QString ledgerBefore = value("Select Count(*) From ProductCostAVG");
    const auto uncalculated = admin({"calculate", "DEMO", "--year", "2024", "--product", code});
    EXPECT_EQ(uncalculated.exitCode, 1);
    EXPECT_TRUE(uncalculated.err.contains("months 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12 of 2024 "
                                          "have never been calculated for all products"))
        << uncalculated.err.toStdString();
    EXPECT_EQ(value("Select Count(*) From ProductCostAVG"), ledgerBefore);
    EXPECT_EQ(value("Select Count(*) From WorkOrderHd Where CostAVG Is Not Null"), "0");

    const auto usage = admin({"calculate", "DEMO", "--from-month", "13"});
    EXPECT_EQ(usage.exitCode, 2);
    EXPECT_EQ(admin({"calculate", "DEMO"}).exitCode, 2) << "the year is required";

    ASSERT_EQ(admin({"create-company", "MOVING2", "--method", "2"}).exitCode, 0);
    const auto moving = admin({"calculate", "MOVING2", "--year", "2024"});
    EXPECT_EQ(moving.exitCode, 1);
    EXPECT_TRUE(moving.err.contains("costing method 2 (moving average)"))
        << moving.err.toStdString();

    // A table the write-back needs has gone: the run stops with the server's error.
    ASSERT_EQ(admin({"sql", "DEMO", "Exec sp_rename 'Ridt', 'RidtAway'"}).exitCode, 0);
    const auto failed = admin({"calculate", "DEMO", "--year", "2024"});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_TRUE(failed.err.contains("Ridt")) << failed.err.toStdString();
    EXPECT_TRUE(failed.out.startsWith("2024-01  phase 1/3")) << failed.out.toStdString();
    EXPECT_EQ(value("Select IsNull(CalculateCostLastYear, 0) From Config"), "0");
    ASSERT_EQ(admin({"sql", "DEMO", "Exec sp_rename 'RidtAway', 'Ridt'"}).exitCode, 0);

    {
        db::TDatabase connection(QStringLiteral("AVGENDTOEND"));
        connection.params() = server.connectionParams(QStringLiteral("DEMO"));
        connection.connection().executeDirect(
            QStringLiteral("Drop Procedure CALCULATE_WorkOrderAVG"));
    }
    const auto ledgerRows = value("Select Count(*) From ProductCostAVG");
    const auto unknownProduct =
        admin({"calculate", "DEMO", "--year", "2024", "--product", "NOSUCH"});
    EXPECT_EQ(unknownProduct.exitCode, 1);
    EXPECT_EQ(unknownProduct.err,
              "DEMO has no product with the code 'NOSUCH'; nothing was calculated\n");
    EXPECT_TRUE(unknownProduct.out.isEmpty()) << unknownProduct.out.toStdString();
    EXPECT_EQ(value("Select Count(*) From ProductCostAVG"), ledgerRows);
    EXPECT_EQ(value("Select IsNull(CalculateCostLastYear, 0) From Config"), "0");

    const auto missing = admin({"calculate", "DEMO", "--year", "2024"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains("lacks the procedures CALCULATE_WorkOrderAVG"))
        << missing.err.toStdString();
    EXPECT_TRUE(missing.out.isEmpty());
    EXPECT_EQ(value("Select IsNull(CalculateCostLastYear, 0) From Config"), "0");
}

class AvgEndToEndThisYear : public AvgEndToEnd {
protected:
    void SetUp() override {
        // The window calculates the year of the workstation's clock.
        year = QDate::currentDate().year();
        AvgEndToEnd::SetUp();
    }
};

TEST_F(AvgEndToEndThisYear, TheWindowCalculatesAtItsDailyTime) {
    QFile serverDat(QDir(work.path()).filePath("Server.Dat"));
    ASSERT_TRUE(serverDat.open(QIODevice::WriteOnly));
    serverDat.write(server.serverName().toUtf8() + "\n");
    serverDat.close();

    // Seconds ahead, written with its seconds so it cannot round to a minute already begun.
    const auto at = QTime::currentTime().addSecs(6).toString("HH:mm:ss");
    if (at < QTime::currentTime().toString("HH:mm:ss"))
        GTEST_SKIP() << "too close to midnight";
    QProcess program;
    program.setProcessEnvironment(unattendedEnvironment(work.path()));
    program.setWorkingDirectory(work.path());
    program.start(QStringLiteral(STOCKCOST_PROGRAM_PATH), {"1", "1", "DEMO", "-", "1", "-", at});
    ASSERT_TRUE(program.waitForStarted());

    QElapsedTimer waited;
    waited.start();
    QString recordedYear;
    while (waited.elapsed() < 90000 && program.state() == QProcess::Running) {
        QThread::msleep(500);
        recordedYear = value("Select IsNull(CalculateCostLastYear, 0) From Config");
        if (recordedYear != "0")
            break;
    }
    // The window stays open after its run, waiting for the next day.
    EXPECT_EQ(program.state(), QProcess::Running) << program.readAllStandardError().toStdString();
    program.kill();
    program.waitForFinished();
    EXPECT_EQ(recordedYear, QString::number(year));
    EXPECT_EQ(wrongAndChecked(), "0/some");
}

TEST_F(AvgEndToEnd, CalculateShowsThatItWaitsForAnotherUsersLock) {
    db::EmbeddedConnection other(server.directory(), QStringLiteral("DEMO"));
    other.executeSqlite("BEGIN IMMEDIATE");
    other.executeSqlite("UPDATE Warehouse SET Code = Code");

    QProcess calculate;
    calculate.setProcessEnvironment(unattendedEnvironment(work.path()));
    calculate.start(QStringLiteral(STOCKCOST_ADMIN_PATH),
                    {"--server", server.serverName(), "calculate", "DEMO", "--year", "2024"});
    ASSERT_TRUE(calculate.waitForStarted());
    QString out;
    QElapsedTimer waited;
    waited.start();
    while (!out.contains("waiting:") && waited.elapsed() < 20000 &&
           calculate.state() == QProcess::Running) {
        calculate.waitForReadyRead(200);
        out += QString::fromUtf8(calculate.readAllStandardOutput());
    }
    // The other user finishes: the run goes on by itself.
    other.executeSqlite("COMMIT");
    ASSERT_TRUE(calculate.waitForFinished(120000));
    out += QString::fromUtf8(calculate.readAllStandardOutput());
    EXPECT_EQ(calculate.exitCode(), 0) << calculate.readAllStandardError().toStdString();
    EXPECT_TRUE(out.contains(QRegularExpression(
        "^(2024-01  )?waiting: DEMO is locked by another connection \\(\\d+ s\\)  [0-9.]+ s$",
        QRegularExpression::MultilineOption)))
        << out.toStdString();
    EXPECT_TRUE(out.contains("DEMO: calculated 2024, months 1 to 12")) << out.toStdString();
    EXPECT_EQ(wrongAndChecked(), "0/some");
}
