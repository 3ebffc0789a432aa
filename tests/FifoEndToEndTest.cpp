// The real programs on a FIFO demo company with the FIFO costing procedures create-company
// installs: stockcost-admin calculate as cron runs it and check after it, the refusal of a
// company that lacks a procedure, and stockcost's FIFO window calculating by itself at its
// daily time. Failed calls and their exit status come from the stand-ins that fail on request.
#include "FifoRunTestCompany.h"
#include "TempServer.h"
#include "db/TDatabase.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

class FifoEndToEnd : public ::testing::Test {
protected:
    struct Finished {
        int exitCode = -1;
        QString out;
        QString err;
    };

    void SetUp() override {
        ASSERT_EQ(admin({"init", server.directory()}).exitCode, 0);
        ASSERT_EQ(admin({"create-company", "DEMO", "--method", "3"}).exitCode, 0);
        const auto demo =
            admin({"demo", "DEMO", "--year", QString::number(year), "--products", "20"});
        ASSERT_EQ(demo.exitCode, 0) << demo.err.toStdString();
    }

    QProcessEnvironment environment() {
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("STOCKCOST_UNATTENDED", "1");
        env.insert("XDG_RUNTIME_DIR", work.path());
        return env;
    }
    Finished admin(const QStringList& args) {
        QProcess process;
        process.setProcessEnvironment(environment());
        process.setWorkingDirectory(work.path());
        process.start(STOCKCOST_ADMIN_PATH, QStringList{"--server", server.serverName()} + args);
        if (!process.waitForFinished(120000)) {
            process.kill();
            process.waitForFinished();
        }
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }
    // The single value "stockcost-admin sql" prints under its header.
    QString value(const QString& sql, const QString& database = "DEMO") {
        const auto run = admin({"sql", database, sql});
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        return run.out.section('\n', 1, 1);
    }
    // The months of the year the FIFO costing has balances for, in order ("5 6 7").
    QString calculatedMonths() {
        const auto run = admin({"sql", "DEMO",
                                QString("Select Distinct PeriodNo From FifoMonthBalance Where "
                                        "BalanceYear = %1 And PeriodNo > 0 Order By PeriodNo")
                                    .arg(year)});
        return run.out.split('\n', Qt::SkipEmptyParts).mid(1).join(' ');
    }
    void installRecordingProcedures() {
        db::TDatabase connection("FIFOENDTOEND");
        connection.params() = server.connectionParams("DEMO");
        FifoRunTestCompany::installFifoProcedures("FIFOENDTOEND");
    }

    TempServer server;
    QTemporaryDir work;
    int year = 2024;
};

TEST_F(FifoEndToEnd, CalculateCostsAFifoCompanyAndRecordsIt) {
    const auto run = admin({"calculate", "DEMO", "--year=2024"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    // Not a terminal: a line for each of the four phases of each month, then the summary.
    const auto lines = run.out.split('\n', Qt::SkipEmptyParts);
    // Months gone through again, when a work order was costed after its goods were taken into
    // stock, add their lines before the summary.
    ASSERT_GE(lines.size(), 49) << run.out.toStdString();
    EXPECT_TRUE(lines[0].startsWith("2024-01  phase 1/4  ")) << lines[0].toStdString();
    EXPECT_TRUE(lines[2].startsWith("2024-01  phase 3/4  ")) << lines[2].toStdString();
    EXPECT_TRUE(lines[47].startsWith("2024-12  phase 4/4  ")) << lines[47].toStdString();
    const auto summary = lines.filter("DEMO: calculated 2024, months 1 to 12, in ");
    ASSERT_EQ(summary.size(), 1) << run.out.toStdString();
    EXPECT_FALSE(summary[0].contains("failed"));

    EXPECT_EQ(calculatedMonths(), "1 2 3 4 5 6 7 8 9 10 11 12");
    EXPECT_EQ(value("Select CalculateCostLastYear From Config"), "2024");
    // What the run left holds to the rules of FIFO costing.
    const auto check = admin({"check", "DEMO", "--year", "2024"});
    EXPECT_EQ(check.exitCode, 0) << check.out.toStdString();
}

TEST_F(FifoEndToEnd, MissingProceduresAndFailedCallsExitWithOne) {
    ASSERT_EQ(admin({"sql", "DEMO", "Drop Procedure Calculate_FIFO2"}).exitCode, 0);
    const auto missing = admin({"calculate", "DEMO", "--year", "2024"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, "DEMO lacks the procedures Calculate_FIFO2 (stockcost-admin install)\n");
    EXPECT_EQ(value("Select IsNull(CalculateCostLastYear, 0) From Config"), "0");

    installRecordingProcedures();
    const auto failing = value("Select Id From Product Where Code = 'P00001'");
    ASSERT_EQ(admin({"sql", "DEMO",
                     "Insert Into FifoTestFailures (Name, PId) Values ('Calculate_FIFO2', " +
                         failing + ")"})
                  .exitCode,
              0);
    const auto run = admin({"calculate", "DEMO", "--year", "2024", "--from-month", "10"});
    EXPECT_EQ(run.exitCode, 1);
    // Each failed call on a line of its own after the count; the others were all made.
    const auto failures = run.err.split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(failures.size(), 3) << run.err.toStdString();
    const int failed = int(failures.size()) - 1;
    EXPECT_EQ(
        failures[0],
        QString("DEMO: %1 procedure calls failed (also written to the error log):").arg(failed));
    EXPECT_EQ(failures[1], "  Calculate_FIFO2 @Year=2024, @Month=10, @PId=" + failing +
                               " (P00001): Calculate_FIFO2 cannot cost product " + failing);
    EXPECT_TRUE(run.out.trimmed().endsWith(QString("; %1 procedure calls failed").arg(failed)))
        << run.out.toStdString();
    EXPECT_EQ(value("Select Count(*) From errorlog", "TRQ_CONFIG"), QString::number(failed));
    EXPECT_EQ(value("Select Count(*) From FifoTestCalls Where Name = 'Calculate_FIFO1' And PId = " +
                    failing),
              QString::number(failed / 2));
    // Every month was gone through: the run is recorded.
    EXPECT_EQ(value("Select CalculateCostLastYear From Config"), "2024");
}

class FifoEndToEndThisYear : public FifoEndToEnd {
protected:
    void SetUp() override {
        // The window calculates the year of the workstation's clock.
        year = QDate::currentDate().year();
        FifoEndToEnd::SetUp();
    }
};

TEST_F(FifoEndToEndThisYear, TheWindowCalculatesAtItsDailyTime) {
    QFile serverDat(QDir(work.path()).filePath("Server.Dat"));
    ASSERT_TRUE(serverDat.open(QIODevice::WriteOnly));
    serverDat.write(server.serverName().toUtf8() + "\n");
    serverDat.close();

    // Seconds ahead, written with its seconds so it cannot round to a minute already begun.
    const auto at = QTime::currentTime().addSecs(6).toString("HH:mm:ss");
    if (at < QTime::currentTime().toString("HH:mm:ss"))
        GTEST_SKIP() << "too close to midnight";
    QProcess program;
    program.setProcessEnvironment(environment());
    program.setWorkingDirectory(work.path());
    program.start(STOCKCOST_PROGRAM_PATH, {"1", "1", "DEMO", "-", "1", "-", at});
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
    EXPECT_EQ(calculatedMonths(), "1 2 3 4 5 6 7 8 9 10 11 12");
}
