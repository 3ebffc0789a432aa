// Runs the real stockcost program, offscreen and unattended, against throw-away embedded servers
// made by stockcost-admin.
#include "TempServer.h"
#include "db/schema/SchemaInstaller.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>

namespace {

struct ProcessRun {
    int exitCode = -1;
    bool finished = false;
    QString err;
};

ProcessRun runProcess(const QString& program, const QStringList& args, const QString& workingDir,
                      int timeoutMs = 30000) {
    QProcess process;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("STOCKCOST_UNATTENDED"), QStringLiteral("1"));
    // Keeps Qt's note about a missing runtime directory off standard error.
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), workingDir);
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(workingDir);
    process.start(program, args);
    ProcessRun run;
    run.finished = process.waitForFinished(timeoutMs);
    if (!run.finished) {
        process.kill();
        process.waitForFinished();
    }
    run.exitCode = process.exitCode();
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

} // namespace

class StockcostProgram : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(admin({"init", server.directory()}).exitCode, 0);
        ASSERT_EQ(admin({"create-company", "Avg1"}).exitCode, 0);
        writeServerDat(server.serverName());
    }

    ProcessRun admin(const QStringList& args) {
        return runProcess(QStringLiteral(STOCKCOST_ADMIN_PATH),
                          QStringList{"--server", server.serverName()} + args, work.path());
    }
    ProcessRun program(const QStringList& args) {
        return runProcess(QStringLiteral(STOCKCOST_PROGRAM_PATH), args, work.path());
    }
    // The output of "stockcost-admin sql", header line included.
    QString query(const QString& database, const QString& text) {
        QProcess process;
        process.setWorkingDirectory(work.path());
        process.start(QStringLiteral(STOCKCOST_ADMIN_PATH),
                      {"--server", server.serverName(), "sql", database, text});
        process.waitForFinished();
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        return QString::fromUtf8(process.readAllStandardOutput());
    }
    void writeServerDat(const QString& line) {
        QFile file(QDir(work.path()).filePath("Server.Dat"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(line.toUtf8() + "\r\nsecond line is ignored\r\n");
    }

    TempServer server;
    QTemporaryDir work;
};

TEST_F(StockcostProgram, NoArgumentsEndsAtOnce) {
    writeServerDat("embedded:/nonexistent/server");
    const auto run = program({});
    EXPECT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
}

TEST_F(StockcostProgram, MalformedCommandLineIsRefusedBeforeAnyDatabaseWork) {
    writeServerDat("embedded:/nonexistent/server");
    for (const auto& args : {QStringList{"1", "x", "Avg1", "0", "1"}, QStringList{"1", "1", "Avg1"},
                             QStringList{"1", "1", "Avg1", "0", "one"}}) {
        const auto run = program(args);
        EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains("argument")) << run.err.toStdString();
        EXPECT_FALSE(run.err.contains("attempts"));
    }
    // A daily time that is no time of day would never come: refused, naming the argument.
    for (const QString time : {"25:00", "22:61", "ab:cd", ":", "22:30:60", "-1:30"}) {
        const auto run = program({"1", "1", "Avg1", "-", "1", "-", time});
        EXPECT_EQ(run.exitCode, 2) << time.toStdString();
        EXPECT_TRUE(run.err.contains("argument 7 (daily time) is not a time of day"))
            << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("'" + time + "'")) << run.err.toStdString();
        EXPECT_FALSE(run.err.contains("attempts"));
    }
}

TEST_F(StockcostProgram, StartModeZeroConnectsAndUpgradesTheConfiguration) {
    query("TRQ_CONFIG", "Insert Into Menu (Id, Caption) Values (7, 'no command')");
    const auto run = program({"1", "1", "avg1", "0", "0"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    EXPECT_EQ(query("TRQ_CONFIG", "Select Id, Version From Menu Order By Id"),
              "Id\tVersion\n1\t3\n7\tNULL\n");
    EXPECT_EQ(query("TRQ_CONFIG", "Select Count(*) N From SysColumns C Inner Join SysObjects O "
                                  "On (O.Id = C.Id) Where O.Name = 'UserName' And C.Name In "
                                  "('UserSeeImport', 'UserSeeCost')"),
              "N\n2\n");
    // A second start changes nothing already upgraded.
    EXPECT_EQ(program({"1", "1", "avg1", "0", "0"}).exitCode, 0);
    EXPECT_EQ(query("TRQ_CONFIG", "Select Count(*) N From Menu Where Version = 3"), "N\n1\n");
}

TEST_F(StockcostProgram, UserWithoutAccessGetsNoWindow) {
    const auto run = program({"1", "2", "Avg1", "0", "1"});
    EXPECT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_FALSE(run.err.contains("message"));
}

TEST_F(StockcostProgram, UnregisteredCompanyShowsTheMessageAndEnds) {
    const auto run = program({"1", "1", " nowhere ", "0", "1"});
    EXPECT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err.count("Not Found Database :  NOWHERE "), 1) << run.err.toStdString();
}

TEST_F(StockcostProgram, MethodsWithoutAWindow) {
    const QString methodTwo = "ติดต่อ TRQ เกี่ยวกับวิธีการคำนวณต้นทุน Moving Average";
    const QString methodFour = "ติดต่อ TRQ เกี่ยวกับวิธีการคำนวณต้นทุน LIFO";
    for (const auto& [method, expected] : std::vector<std::pair<QString, QString>>{
             {"2", methodTwo}, {"4", methodFour}, {"5", ""}, {"Null", ""}, {"0", ""}}) {
        query("Avg1", "Update Config Set CalStockMethod = " + method);
        const auto run = program({"1", "1", "Avg1", "0", "1"});
        EXPECT_TRUE(run.finished) << method.toStdString();
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.err.count("message:"), expected.isEmpty() ? 0 : 1)
            << method.toStdString() << run.err.toStdString();
        if (!expected.isEmpty()) {
            EXPECT_TRUE(run.err.contains(expected)) << run.err.toStdString();
        }
    }
}

TEST_F(StockcostProgram, PmxConfigurationDatabaseIsPreferred) {
    db::schema::SchemaInstaller(server.serverName())
        .createConfigDatabase(QStringLiteral("TRQ_Config_PMX"));
    EXPECT_EQ(program({"1", "1", "Avg1", "0", "0"}).exitCode, 0);
    EXPECT_EQ(query("TRQ_Config_PMX", "Select Version From Menu"), "Version\n3\n");
    EXPECT_EQ(query("TRQ_CONFIG", "Select Count(*) N From SysColumns Where Name = 'Version'"),
              "N\n0\n");
}

TEST_F(StockcostProgram, UnreachableServerEndsAfterElevenQuickAttempts) {
    writeServerDat("embedded:" + server.directory() + "/missing");
    const auto run = program({"1", "1", "Avg1", "0", "1"});
    EXPECT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.err.contains("start-up failed after 11 attempts")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("SQL Server does not exist or access denied."))
        << run.err.toStdString();
}
