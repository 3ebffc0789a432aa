// The SQL Server driver as FreeTDS really drives it, against a stand-in server on the loopback
// address: what the login packet carries for each form of server name, what a statement that
// outlives MAX QUERY TIME leaves behind, and how decimals arrive.
#include "LoopbackSqlBrowser.h"
#include "LoopbackTdsServer.h"

#include "db/DatabaseError.h"
#include "db/odbc/OdbcConnection.h"
#include "errors/MessageTranslation.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

using namespace db;

namespace {

// Sets or clears an environment variable for one test and puts back what was there.
class ScopedEnv {
public:
    ScopedEnv(const char* name, std::optional<QByteArray> value) : name_(name) {
        if (qEnvironmentVariableIsSet(name))
            saved_ = qgetenv(name);
        value ? qputenv(name, *value) : qunsetenv(name);
    }
    ~ScopedEnv() { saved_ ? qputenv(name_, *saved_) : qunsetenv(name_); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<QByteArray> saved_;
};

// FreeTDS with the suite's login, whatever the machine's settings say.
struct FreeTdsEnvironment {
    ScopedEnv driver{"STOCKCOST_ODBC_DRIVER", "FreeTDS"};
    ScopedEnv user{"STOCKCOST_DB_USER", std::nullopt};
    ScopedEnv password{"STOCKCOST_DB_PASSWORD", std::nullopt};
};

ConnectionParams suiteParams(const QString& server, int maxQueryTime = 600) {
    return ConnectionParams({"DATABASE NAME=TRQ_CONFIG", "SERVER NAME=" + server, "USER NAME=trq",
                             "SQLPASSTHRU MODE=SHARED AUTOCOMMIT",
                             QStringLiteral("MAX QUERY TIME=%1").arg(maxQueryTime),
                             "PASSWORD=quartzen"});
}

QString describe(const DatabaseError& error) {
    QString text = error.message();
    for (const auto& entry : error.entries())
        text +=
            QStringLiteral("\n  %1 %2 %3").arg(entry.code).arg(entry.nativeCode).arg(entry.text);
    return text;
}

// Connects to a server that refuses the login, and returns what the login carried.
LoopbackTdsServer::LoginRecord refusedLogin(const LoopbackTdsServer& server,
                                            const ConnectionParams& params) {
    try {
        OdbcConnection connection(params);
        ADD_FAILURE() << "the stand-in server accepted no login, yet the connection opened";
    } catch (const DatabaseError& error) {
        const bool refused =
            std::any_of(error.entries().begin(), error.entries().end(),
                        [](const auto& entry) { return entry.nativeCode == 18456; });
        EXPECT_TRUE(refused) << describe(error).toStdString();
        EXPECT_TRUE(error.message().contains("Login failed for user 'trq'."))
            << describe(error).toStdString();
    }
    const auto logins = server.logins();
    if (logins.size() != 1) {
        ADD_FAILURE() << logins.size() << " logins reached the server";
        return {};
    }
    return logins.front();
}

} // namespace

TEST(OdbcConnectionOnTheWire, HostAndPortArriveApartForEveryServerNameForm) {
    FreeTdsEnvironment environment;
    for (const QString form : {"127.0.0.1,%1", "tcp:127.0.0.1,%1", " 127.0.0.1 , %1 "}) {
        LoopbackTdsServer server({});
        ASSERT_NE(server.port(), 0);
        const auto name = form.arg(server.port());
        SCOPED_TRACE(name.toStdString());
        const auto login = refusedLogin(server, suiteParams(name));
        // The host alone: no zero byte and no port in the server's name.
        EXPECT_EQ(login.serverName, "127.0.0.1");
        EXPECT_EQ(login.userName, "trq");
        EXPECT_EQ(login.password, "quartzen");
        EXPECT_EQ(login.database, "TRQ_CONFIG");
        EXPECT_EQ(login.tdsVersion, 0x730B0003u); // TDS 7.3
        // No instance named, so the pre-login asks for the default one.
        EXPECT_EQ(login.preLoginInstance, "MSSQLServer");
    }
}

TEST(OdbcConnectionOnTheWire, PlainHostNameGoesToPort1433) {
    // Port 1433 cannot be taken for a stand-in here; FreeTDS's own log shows where it went.
    FreeTdsEnvironment environment;
    QTemporaryDir dir;
    const auto log = dir.filePath(QStringLiteral("freetds.log"));
    {
        ScopedEnv dump("TDSDUMP", log.toLocal8Bit());
        try {
            OdbcConnection connection(suiteParams(QStringLiteral("127.0.0.1")));
        } catch (const DatabaseError&) {
            // Nothing listens there, or it is no server of ours: only the attempt matters.
        }
    }
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << "FreeTDS wrote no log";
    const auto text = QString::fromLocal8Bit(file.readAll());
    EXPECT_TRUE(text.contains("Connecting to 127.0.0.1 port 1433")) << text.toStdString();
    EXPECT_FALSE(text.contains("invalid port number")) << text.toStdString();
}

TEST(OdbcConnectionOnTheWire, NamedInstanceIsReachedOnThePortItsBrowserGives) {
    FreeTdsEnvironment environment;
    LoopbackTdsServer server({});
    LoopbackSqlBrowser browser(QStringLiteral("TRQ"), server.port());
    ASSERT_NE(server.port(), 0);
    ASSERT_NE(browser.port(), 0);

    auto params = suiteParams(QStringLiteral("127.0.0.1\\trq"));
    params.setValue(QStringLiteral("BROWSER PORT"), QString::number(browser.port()));
    const auto login = refusedLogin(server, params);
    EXPECT_EQ(browser.requests(), QStringList({"trq"}));
    EXPECT_EQ(login.serverName, "127.0.0.1");
    EXPECT_EQ(login.database, "TRQ_CONFIG");

    // An instance the Browser does not know fails before any server is tried.
    params.setValue(QStringLiteral("SERVER NAME"), QStringLiteral("127.0.0.1\\OTHER"));
    try {
        OdbcConnection connection(params);
        FAIL() << "connected to an instance nobody knows";
    } catch (const DatabaseError& error) {
        EXPECT_TRUE(error.message().contains("did not answer for the instance OTHER"))
            << describe(error).toStdString();
    }
    EXPECT_EQ(server.logins().size(), 1u);
}

TEST(OdbcConnectionOnTheWire, TimedOutStatementIsReportedAndTheNextOneReconnects) {
    FreeTdsEnvironment environment;
    const auto timedOutThai =
        errors::thaiMessageFor(QStringLiteral("SQL Server connection timed out"));
    ASSERT_FALSE(timedOutThai.isEmpty());

    // A server that never acknowledges the cancel leaves the session broken; one that does
    // leaves it usable. Either way the layer reports the time-out and goes on.
    for (const bool acknowledges : {false, true}) {
        SCOPED_TRACE(acknowledges ? "cancel acknowledged" : "cancel ignored");
        LoopbackTdsServer::Options options;
        options.login = LoopbackTdsServer::Login::Accept;
        options.acknowledgeAttention = acknowledges;
        LoopbackTdsServer server(options);
        ASSERT_NE(server.port(), 0);

        OdbcConnection connection(
            suiteParams(QStringLiteral("127.0.0.1,%1").arg(server.port()), 1));
        EXPECT_EQ(server.batches(), QStringList({"SET DATEFORMAT ymd"}));

        QElapsedTimer timer;
        timer.start();
        try {
            connection.executeDirect(QStringLiteral("WAITFOR DELAY '00:00:30'"));
            FAIL() << "a statement the server never answered succeeded";
        } catch (const DatabaseError& error) {
            EXPECT_TRUE(error.message().startsWith("SQL Server connection timed out"))
                << describe(error).toStdString();
            EXPECT_EQ(errors::thaiMessageFor(error.message()), timedOutThai)
                << describe(error).toStdString();
            EXPECT_EQ(error.entries().front().code, "HYT00");
            EXPECT_GT(error.entries().size(), 1u) << "the driver's own entries are kept";
        }
        EXPECT_LT(timer.elapsed(), 15000);
        EXPECT_GE(server.attentions(), 1);
        EXPECT_EQ(server.logins().size(), 1u);

        EXPECT_NO_THROW(connection.executeDirect(QStringLiteral("UPDATE Menu SET Version = 3")));
        EXPECT_EQ(connection.reconnects(), 1);
        EXPECT_EQ(server.logins().size(), 2u);
        const auto batches = server.batches();
        ASSERT_FALSE(batches.isEmpty());
        EXPECT_EQ(batches.back(), "UPDATE Menu SET Version = 3");
        // The new session is set up as the first was.
        EXPECT_EQ(batches.count("SET DATEFORMAT ymd"), 2);
    }
}

TEST(OdbcConnectionOnTheWire, DecimalsAndMoneyArriveAsTheirExactText) {
    FreeTdsEnvironment environment;
    LoopbackTdsServer::Options options;
    options.login = LoopbackTdsServer::Login::Accept;
    options.columns = {{"Ratio", 18, 6}, {"Cost", 0, 4}, {"Big", 38, 4}, {"Whole", 10, 0}};
    options.rows = {{"3.333333", "100", "1234567890123456789012345678901234.5678", "7"},
                    {"-0.000001", "-0.0001", "0.5", "-42"},
                    {"0", "922337203685477.5807", "", ""}};
    LoopbackTdsServer server(options);
    ASSERT_NE(server.port(), 0);

    OdbcConnection connection(suiteParams(QStringLiteral("127.0.0.1,%1").arg(server.port())));
    const auto result =
        connection.execute(QStringLiteral("SELECT Ratio, Cost, Big, Whole FROM Amounts"), {});
    ASSERT_EQ(result.columns, QStringList({"Ratio", "Cost", "Big", "Whole"}));
    ASSERT_EQ(result.rows.size(), 3u);
    const auto texts = [&](size_t row) {
        QStringList values;
        for (const auto& value : result.rows[row]) {
            EXPECT_TRUE(!value.isValid() || value.typeId() == QMetaType::QString)
                << value.typeName();
            values << (value.isValid() ? value.toString() : QStringLiteral("null"));
        }
        return values;
    };
    // Every digit of the scale, a zero before the point, and more digits than a double holds.
    EXPECT_EQ(texts(0), QStringList({"3.333333", "100.0000",
                                     "1234567890123456789012345678901234.5678", "7"}));
    EXPECT_EQ(texts(1), QStringList({"-0.000001", "-0.0001", "0.5000", "-42"}));
    EXPECT_EQ(texts(2), QStringList({"0.000000", "922337203685477.5807", "null", "null"}));
}
