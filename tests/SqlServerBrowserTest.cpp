#include "LoopbackSqlBrowser.h"

#include "db/DatabaseError.h"
#include "db/odbc/SqlServerBrowser.h"

#include <gtest/gtest.h>

using db::DatabaseError;
using db::SqlServerBrowser;

namespace {

QByteArray answer(const QByteArray& text) {
    QByteArray out;
    out.append(char(0x05)).append(char(text.size() & 0xFF)).append(char(text.size() >> 8));
    return out + text;
}

} // namespace

TEST(SqlServerBrowser, ReadsTheTcpPortOfTheInstanceAskedFor) {
    EXPECT_EQ(SqlServerBrowser::request("SQLEXPRESS"), QByteArray("\x04SQLEXPRESS\0", 12));

    const auto one = answer("ServerName;DBSRV;InstanceName;SQLEXPRESS;IsClustered;No;"
                            "Version;16.0.1000.6;tcp;50123;;");
    EXPECT_EQ(SqlServerBrowser::tcpPortIn(one, "sqlexpress"), 50123);
    EXPECT_EQ(SqlServerBrowser::tcpPortIn(one, "OTHER"), -1);

    // An answer describing several instances, named pipes before TCP in one of them.
    const auto two = answer("ServerName;DBSRV;InstanceName;FIRST;IsClustered;No;Version;15.0;"
                            "tcp;1500;;ServerName;DBSRV;InstanceName;TRQ;IsClustered;No;"
                            "Version;15.0;np;\\\\DBSRV\\pipe\\MSSQL$TRQ\\sql\\query;tcp;1501;;");
    EXPECT_EQ(SqlServerBrowser::tcpPortIn(two, "FIRST"), 1500);
    EXPECT_EQ(SqlServerBrowser::tcpPortIn(two, "TRQ"), 1501);

    // An instance without TCP, and answers that are none.
    EXPECT_EQ(SqlServerBrowser::tcpPortIn(
                  answer("ServerName;DBSRV;InstanceName;PIPES;IsClustered;No;np;\\\\x;;"), "PIPES"),
              0);
    EXPECT_EQ(SqlServerBrowser::tcpPortIn(QByteArray("\x05\x00", 2), "TRQ"), -1);
    EXPECT_EQ(SqlServerBrowser::tcpPortIn("garbage;InstanceName;TRQ;tcp;1;;", "TRQ"), -1);
    // A length shorter than the text: what lies beyond it is not read.
    auto cut = answer("ServerName;DBSRV;InstanceName;TRQ;tcp;1501;;");
    cut[1] = char(cut.indexOf("tcp") - 3);
    EXPECT_EQ(SqlServerBrowser::tcpPortIn(cut, "TRQ"), 0);
}

TEST(SqlServerBrowser, AsksAgainForABoundedTimeAndNamesTheInstanceItCouldNotFind) {
    LoopbackSqlBrowser browser(QStringLiteral("TRQ"), 50124);
    ASSERT_NE(browser.port(), 0);
    const SqlServerBrowser client(browser.port(), 3, std::chrono::milliseconds(200));
    EXPECT_EQ(client.instancePort("127.0.0.1", "trq"), 50124);
    EXPECT_EQ(client.instancePort("localhost", "TRQ"), 50124);

    try {
        client.instancePort("127.0.0.1", "MISSING");
        FAIL() << "an instance the Browser keeps quiet about was found";
    } catch (const DatabaseError& error) {
        ASSERT_TRUE(error.hasEntries());
        EXPECT_EQ(error.entries().front().code, "08001");
        EXPECT_TRUE(error.message().contains("127.0.0.1"));
        EXPECT_TRUE(error.message().contains("instance MISSING"));
    }
    EXPECT_EQ(browser.requests().count("MISSING"), 3);
}
