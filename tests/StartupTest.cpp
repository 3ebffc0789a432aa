// Start-up in the test process: the data modules against a throw-away embedded server, the
// attempts, the dispatch to the calculation windows and the error log.
#include "app/Startup.h"
#include "TempServer.h"
#include "costing/avg/Fr_Calculate_AVG.h"
#include "costing/fifo/Fr_Calculate_FIFO.h"
#include "data/Dm_Config.h"
#include "data/U_DM.h"
#include "db/TQuery.h"
#include "db/schema/SchemaInstaller.h"
#include "errors/ErrorHandler.h"
#include "errors/TFrShowError.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

namespace {

CommandLine commandLine(const QStringList& args) {
    return CommandLine::parse(args);
}

} // namespace

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        db::schema::SchemaInstaller installer(server.serverName());
        installer.createConfigDatabase();
        installer.createCompanyDatabase(QStringLiteral("Avg1"), 1);
        installer.createCompanyDatabase(QStringLiteral("Fifo3"), 3);
        previousDir = QDir::currentPath();
        QFile file(QDir(work.path()).filePath("Server.Dat"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(server.serverName().toUtf8() + "\n");
        file.close();
        QDir::setCurrent(work.path());
    }
    void TearDown() override { QDir::setCurrent(previousDir); }

    // Runs one statement on a database of the server.
    void execute(const QString& database, const QString& sql) {
        db::TDatabase connection("TestHelper");
        connection.params() = server.connectionParams(database);
        db::TQuery query("QHelper", "TestHelper", sql);
        query.execSql();
    }

    TempServer server;
    QTemporaryDir work;
    QString previousDir;
};

TEST_F(StartupTest, MethodsOneAndThreeOpenTheirWindowWithArgumentSeven) {
    struct Case {
        QStringList args;
        bool fifo;
        QString autoRunTime;
        QString productFilter;
    };
    const std::vector<Case> cases{
        {{"1", "1", "Avg1", "-", "1", "-", "22:30"}, false, "22:30", ""},
        {{"1", "1", "Avg1", "-", "1", "-", " P001 "}, false, "", " P001 "},
        {{"1", "1", "avg1", "-", "1"}, false, "", ""},
        {{"1", "1", "Fifo3", "-", "1", "-", "02:30"}, true, "02:30", ""},
        {{"1", "1", "FIFO3", "-", "1", "-", "A-100"}, true, "", "A-100"},
    };
    for (const auto& c : cases) {
        TDM dm;
        TDMConfig dmConfig;
        Startup startup(dm, dmConfig);
        const auto line = commandLine(c.args);
        ASSERT_TRUE(startup.connect(line)) << startup.lastError().toStdString();
        EXPECT_EQ(startup.attempts(), 1);
        auto window = startup.dispatch(line);
        ASSERT_NE(window, nullptr) << c.args.join(' ').toStdString();
        if (c.fifo) {
            auto* fifo = dynamic_cast<TFrCalculate_FIFO*>(window.get());
            ASSERT_NE(fifo, nullptr);
            EXPECT_EQ(fifo->AutoRunTime, c.autoRunTime);
            EXPECT_EQ(fifo->ProductFilter, c.productFilter);
        } else {
            auto* avg = dynamic_cast<TFrCalculate_AVG*>(window.get());
            ASSERT_NE(avg, nullptr);
            EXPECT_EQ(avg->AutoRunTime, c.autoRunTime);
            EXPECT_EQ(avg->ProductFilter, c.productFilter);
        }
    }
}

TEST_F(StartupTest, AccessIsOnlyAnExactCapitalY) {
    execute("TRQ_CONFIG", "Update UserRight Set Access_R = 'y'");
    TDM dm;
    TDMConfig dmConfig;
    Startup startup(dm, dmConfig);
    const auto line = commandLine({"1", "1", "Avg1", "-", "1"});
    EXPECT_TRUE(startup.connect(line));
    EXPECT_FALSE(dmConfig.AccessRight);
    EXPECT_EQ(startup.dispatch(line), nullptr);
}

TEST_F(StartupTest, AccessGrantedThenDataConnectionFailingKeepsTheRight) {
    // Registered, but the data database itself is gone.
    execute("master", "Drop Database Avg1");
    TDM dm;
    TDMConfig dmConfig;
    Startup startup(dm, dmConfig);
    const auto line = commandLine({"1", "1", "Avg1", "-", "1"});
    EXPECT_FALSE(startup.connect(line));
    EXPECT_EQ(startup.attempts(), Startup::maxAttempts);
    EXPECT_TRUE(startup.lastError().contains("Cannot open database"))
        << startup.lastError().toStdString();
    EXPECT_TRUE(dmConfig.AccessRight);
    EXPECT_EQ(startup.dispatch(line), nullptr);
}

TEST_F(StartupTest, DataConnectionTrimsTheNameAndReloadsItsConfiguration) {
    TDM dm;
    TDMConfig dmConfig;
    Startup startup(dm, dmConfig);
    // Trailing blanks do not matter to the look-up; the connection drops them.
    ASSERT_TRUE(startup.connect(commandLine({"1", "1", "Avg1  ", "-", "0"})));
    EXPECT_EQ(dm.CompanyDatabaseName, "Avg1");
    EXPECT_EQ(dm.QConfig.fieldByName("CalStockMethod").asInteger(), 1);
    EXPECT_EQ(dm.QConfig.fieldByName("MainCurrencyCode").asString(), "THB");

    execute("Avg1", "Update Config Set CalStockMethod = 3");
    dm.DMdata.close();
    dm.DMdata.open();
    EXPECT_EQ(dm.QConfig.fieldByName("CalStockMethod").asInteger(), 3);

    const auto serverTime = dm.GetServerTime();
    EXPECT_LT(std::abs(serverTime.secsTo(QDateTime::currentDateTime())), 60);
}

TEST_F(StartupTest, HandledErrorIsLoggedInTheConfigurationDatabase) {
    TDMConfig dmConfig;
    dmConfig.MenuId = 1;
    dmConfig.UserId = 2;
    QString shown;
    errors::ErrorHandler handler([&](const QString& message) { dmConfig.WriteErrorLog(message); },
                                 [&](errors::TFrShowError& dialog) { shown = dialog.ErrorText; });
    const QString message = "Cannot insert duplicate key row in object 'dbo.Product'.";
    handler.ApplicationEvents1Exception(message);
    EXPECT_TRUE(shown.startsWith("ข้อมูลที่เพิ่มซ้ำกับข้อมูลที่มีอยู่แล้ว\r")) << shown.toStdString();

    db::TQuery log("QLog", "DmCfg",
                   "Select username, menu, errormsg, logname, compname, errordate From errorlog");
    log.open();
    ASSERT_EQ(log.recordCount(), 1);
    EXPECT_EQ(log.fieldByName("username").asInteger(), 2);
    EXPECT_EQ(log.fieldByName("menu").asInteger(), 1);
    EXPECT_EQ(log.fieldByName("errormsg").asString(), message);
    const auto logName = log.fieldByName("logname").asString();
    EXPECT_FALSE(logName.isEmpty());
    EXPECT_EQ(logName, logName.toUpper());
    EXPECT_FALSE(log.fieldByName("errordate").isNull());
}
