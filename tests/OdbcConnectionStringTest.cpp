#include "db/odbc/OdbcConnectionString.h"
#include "db/DatabaseError.h"

#include <gtest/gtest.h>

#include <optional>

using db::ConnectionParams;
using db::DatabaseError;
using db::OdbcConnectionString;

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

// The variables that change the string, cleared so the machine's settings do not leak in.
struct CleanEnvironment {
    ScopedEnv driver{"STOCKCOST_ODBC_DRIVER", std::nullopt};
    ScopedEnv user{"STOCKCOST_DB_USER", std::nullopt};
    ScopedEnv password{"STOCKCOST_DB_PASSWORD", std::nullopt};
};

// The suite's parameter list for the configuration database.
ConnectionParams suiteParams(const QString& server, const QString& database) {
    return ConnectionParams({"DATABASE NAME=" + database, "SERVER NAME=" + server, "USER NAME=trq",
                             "OPEN MODE=READ/WRITE",
                             "LANGDRIVER=", "SQLPASSTHRU MODE=SHARED AUTOCOMMIT",
                             "MAX QUERY TIME=600", "ENABLE BCD=True", "PASSWORD=quartzen"});
}

// Where the ODBC rules end a quoted value: at the first "}" that is not part of a "}}".
qsizetype odbcValueEnd(const QString& quoted) {
    for (qsizetype at = 1; at < quoted.size(); ++at) {
        if (quoted[at] == '}' && quoted.mid(at, 2) != "}}")
            return at;
        if (quoted[at] == '}')
            ++at;
    }
    return -1;
}

} // namespace

TEST(OdbcConnectionString, BuildsFreeTdsStringFromTheSuiteParameterList) {
    CleanEnvironment clean;
    EXPECT_EQ(OdbcConnectionString::build(suiteParams("DBSRV", "TRQ_CONFIG")),
              "DRIVER={FreeTDS};SERVER={DBSRV};PORT={1433};DATABASE={TRQ_CONFIG};UID={trq};"
              "PWD={quartzen};TDS_Version={7.3};ClientCharset={UTF-8};");

    // Without a database name the login's default database is used.
    EXPECT_FALSE(OdbcConnectionString::build(suiteParams("DBSRV", "")).contains("DATABASE"));
}

TEST(OdbcConnectionString, FreeTdsGetsHostAndPortApartForEveryServerNameForm) {
    CleanEnvironment clean;
    QStringList asked;
    const auto lookup = [&asked](const QString& host, const QString& instance) {
        asked << host + '|' + instance;
        return 50123;
    };
    const auto serverPart = [&](const QString& serverName) {
        const auto text = OdbcConnectionString::build(suiteParams(serverName, "X"), lookup);
        const auto start = text.indexOf(";SERVER=") + 1;
        return text.mid(start, text.indexOf(";DATABASE=") - start + 1);
    };

    EXPECT_EQ(serverPart("DBSRV"), "SERVER={DBSRV};PORT={1433};");
    EXPECT_EQ(serverPart("10.0.0.5,1500"), "SERVER={10.0.0.5};PORT={1500};");
    EXPECT_EQ(serverPart("tcp:db.example.com,1501"), "SERVER={db.example.com};PORT={1501};");
    EXPECT_EQ(serverPart("TCP:DBSRV"), "SERVER={DBSRV};PORT={1433};");
    // Blanks a Server.Dat line may carry around its parts are no part of a host name.
    EXPECT_EQ(serverPart("DBSRV  "), "SERVER={DBSRV};PORT={1433};");
    EXPECT_EQ(serverPart(" DBSRV , 1502 "), "SERVER={DBSRV};PORT={1502};");
    EXPECT_EQ(serverPart("::1,1503"), "SERVER={::1};PORT={1503};");
    EXPECT_TRUE(asked.isEmpty()) << asked.join(' ').toStdString();

    // A named instance: its port comes from the Browser of its host.
    EXPECT_EQ(serverPart("DBSRV\\SQLEXPRESS"), "SERVER={DBSRV};PORT={50123};");
    EXPECT_EQ(serverPart(".\\SQLEXPRESS"), "SERVER={localhost};PORT={50123};");
    EXPECT_EQ(serverPart("tcp:(local)\\TRQ"), "SERVER={localhost};PORT={50123};");
    EXPECT_EQ(asked, QStringList({"DBSRV|SQLEXPRESS", "localhost|SQLEXPRESS", "localhost|TRQ"}));
    // With a port as well, the port wins and the Browser is not asked.
    EXPECT_EQ(serverPart("DBSRV\\SQLEXPRESS,1504"), "SERVER={DBSRV};PORT={1504};");
    EXPECT_EQ(asked.size(), 3);

    // A host that needs quoting stays one value.
    EXPECT_EQ(serverPart("db;UID=sa,1505"), "SERVER={db;UID=sa};PORT={1505};");
}

TEST(OdbcConnectionString, MalformedServerNamesAreRefusedBeforeConnecting) {
    CleanEnvironment clean;
    const auto never = [](const QString&, const QString&) -> int {
        ADD_FAILURE() << "the Browser was asked";
        return 1;
    };
    for (const QString server :
         {"", "  ", ",1433", "DBSRV,", "DBSRV,port", "DBSRV,0", "DBSRV,65536", "DBSRV,-1",
          "DBSRV,+1433", "DBSRV\\", "\\INST", "np:\\\\DBSRV\\pipe\\sql\\query", "lpc:DBSRV"}) {
        try {
            OdbcConnectionString::build(suiteParams(server, "X"), never);
            ADD_FAILURE() << "accepted '" << server.toStdString() << "'";
        } catch (const DatabaseError& error) {
            EXPECT_TRUE(error.message().contains("Invalid SQL Server name '" + server.trimmed()))
                << error.message().toStdString();
        }
    }
}

TEST(OdbcConnectionString, OtherDriversReadTheServerNameThemselves) {
    CleanEnvironment clean;
    ScopedEnv driver("STOCKCOST_ODBC_DRIVER", "ODBC Driver 18 for SQL Server");
    for (const QString server : {"DBSRV\\SQLEXPRESS", "10.0.0.5,1433", "tcp:DBSRV,1433"}) {
        const auto text = OdbcConnectionString::build(suiteParams(server, "X"));
        EXPECT_TRUE(text.contains(";SERVER={" + server + "};DATABASE=")) << text.toStdString();
        EXPECT_FALSE(text.contains("PORT=")) << text.toStdString();
    }
}

TEST(OdbcConnectionString, DriverAndLoginComeFromTheEnvironmentWhenSet) {
    CleanEnvironment clean;
    {
        ScopedEnv driver("STOCKCOST_ODBC_DRIVER", "ODBC Driver 18 for SQL Server");
        const auto text = OdbcConnectionString::build(suiteParams("DBSRV", "DATA01"));
        EXPECT_TRUE(text.startsWith("DRIVER={ODBC Driver 18 for SQL Server};"));
        // FreeTDS's own attributes are not given to another driver.
        EXPECT_FALSE(text.contains("TDS_Version"));
        EXPECT_FALSE(text.contains("ClientCharset"));
    }
    {
        ScopedEnv user("STOCKCOST_DB_USER", "stock");
        ScopedEnv password("STOCKCOST_DB_PASSWORD", "");
        EXPECT_TRUE(OdbcConnectionString::build(suiteParams("DBSRV", "DATA01"))
                        .contains(";UID={stock};PWD={};"));
    }
    {
        ScopedEnv password("STOCKCOST_DB_PASSWORD", "n3w;pa{ss}");
        EXPECT_TRUE(OdbcConnectionString::build(suiteParams("DBSRV", "DATA01"))
                        .contains(";UID={trq};PWD={n3w;pa{ss}}};"));
    }
}

TEST(OdbcConnectionString, QuotingKeepsEveryValueOneAttribute) {
    EXPECT_EQ(OdbcConnectionString::quote(""), "{}");
    EXPECT_EQ(OdbcConnectionString::quote("a;b=c"), "{a;b=c}");
    EXPECT_EQ(OdbcConnectionString::quote("{x}y}"), "{{x}}y}}}");

    for (const QString value : {"x;UID=sa", "x}y;UID=sa", "x}", "{x", "a}};PWD={b", "x};"}) {
        if (value.contains("};")) {
            // FreeTDS would end the value there whatever the quoting: refused, not sent.
            EXPECT_THROW(OdbcConnectionString::quote(value), DatabaseError) << value.toStdString();
            continue;
        }
        // FreeTDS ends a quoted value at its first "};", the ODBC rules at a single "}": both
        // must end it at the closing brace, and undoing the doubling gives the value back.
        const auto attribute = OdbcConnectionString::quote(value) + ';';
        EXPECT_EQ(attribute.indexOf("};"), attribute.size() - 2) << value.toStdString();
        EXPECT_EQ(odbcValueEnd(attribute), attribute.size() - 2) << value.toStdString();
        EXPECT_EQ(attribute.mid(1, attribute.size() - 3).replace("}}", "}"), value);
    }

    CleanEnvironment clean;
    EXPECT_THROW(OdbcConnectionString::build(suiteParams("DBSRV", "x};UID={sa")), DatabaseError);
    EXPECT_TRUE(OdbcConnectionString::build(suiteParams("DBSRV", "x}y;UID=sa"))
                    .contains(";DATABASE={x}}y;UID=sa};UID={trq};"));
}

TEST(OdbcConnectionString, RefusedValueIsNotRepeatedInTheMessage) {
    CleanEnvironment clean;
    ScopedEnv password("STOCKCOST_DB_PASSWORD", "secret};Trusted_Connection={yes");
    try {
        OdbcConnectionString::build(suiteParams("DBSRV", "DATA01"));
        FAIL() << "a password holding \"};\" was accepted";
    } catch (const DatabaseError& error) {
        EXPECT_FALSE(error.message().contains("secret"));
    }
}

TEST(OdbcConnectionString, GivenConnectionStringIsTheBaseForTheDatabase) {
    CleanEnvironment clean;
    // The test servers' strings: used as they stand, login included, plus the database.
    ScopedEnv user("STOCKCOST_DB_USER", "ignored");
    EXPECT_EQ(OdbcConnectionString::build(
                  ConnectionParams({"ODBC CONNECTION STRING=DRIVER={FreeTDS};SERVER=h,1433;UID=sa",
                                    "DATABASE NAME=stock}test", "SERVER NAME=other"})),
              "DRIVER={FreeTDS};SERVER=h,1433;UID=sa;DATABASE={stock}}test};");
    EXPECT_EQ(OdbcConnectionString::build(
                  ConnectionParams({"ODBC CONNECTION STRING=DSN=mssql;", "DATABASE NAME="})),
              "DSN=mssql;");
}
