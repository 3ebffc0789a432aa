#include "MssqlTestDatabase.h"

#include "db/DatabaseError.h"
#include "db/odbc/OdbcConnection.h"
#include "db/odbc/OdbcHandle.h"

#include <gtest/gtest.h>

#include <memory>

using namespace db;

namespace {

// Sets an environment variable for one test and puts back what was there.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value) : name_(name), saved_(qgetenv(name)) {
        wasSet_ = qEnvironmentVariableIsSet(name);
        qputenv(name, value);
    }
    ~ScopedEnv() { wasSet_ ? qputenv(name_, saved_) : qunsetenv(name_); }

private:
    const char* name_;
    QByteArray saved_;
    bool wasSet_ = false;
};

ConnectionParams suiteParams(const QString& server) {
    return ConnectionParams({"DATABASE NAME=master", "SERVER NAME=" + server, "USER NAME=trq",
                             "SQLPASSTHRU MODE=SHARED AUTOCOMMIT", "MAX QUERY TIME=1200",
                             "PASSWORD=quartzen"});
}

// Whether an entry has that SQLSTATE (any when empty) and native error (any when 0).
bool hasEntry(const DatabaseError& error, const QString& code, int nativeCode) {
    for (const auto& entry : error.entries()) {
        if ((code.isEmpty() || entry.code == code) &&
            (nativeCode == 0 || entry.nativeCode == nativeCode))
            return true;
    }
    return false;
}

QString describe(const DatabaseError& error) {
    QString text = error.message();
    for (const auto& entry : error.entries())
        text +=
            QStringLiteral("\n  %1 %2 %3").arg(entry.code).arg(entry.nativeCode).arg(entry.text);
    return text;
}

} // namespace

// Failures that need no server: they come from the driver manager and the driver.

TEST(OdbcConnectionOffline, UnknownDriverFailsWithTheDriverManagersDiagnostics) {
    ScopedEnv driver("STOCKCOST_ODBC_DRIVER", "NoSuchDriver");
    try {
        OdbcConnection connection(suiteParams("DBSRV"));
        FAIL() << "connected through a driver that does not exist";
    } catch (const DatabaseError& error) {
        ASSERT_TRUE(error.hasEntries()) << error.message().toStdString();
        const auto& entry = error.entries().front();
        EXPECT_EQ(entry.code.size(), 5) << entry.code.toStdString();
        EXPECT_TRUE(entry.text.contains("NoSuchDriver")) << entry.text.toStdString();
        EXPECT_TRUE(error.message().contains(entry.text));
    }
}

TEST(OdbcConnectionOffline, RefusedConnectionCarriesEveryDiagnosticRecord) {
    // Port 1 on the loopback address refuses at once: FreeTDS reports the socket error and then
    // its own failure to connect, as two records.
    ScopedEnv driver("STOCKCOST_ODBC_DRIVER", "FreeTDS");
    try {
        OdbcConnection connection(suiteParams("127.0.0.1,1"));
        FAIL() << "connected to a closed port";
    } catch (const DatabaseError& error) {
        EXPECT_GE(error.entries().size(), 2u) << describe(error).toStdString();
        EXPECT_TRUE(hasEntry(error, "08S01", 0)) << describe(error).toStdString();
        EXPECT_TRUE(hasEntry(error, "08001", 0)) << describe(error).toStdString();
        EXPECT_EQ(error.message().split('\n').size(), qsizetype(error.entries().size()));
    }
}

TEST(OdbcConnectionOffline, EntryTextDropsTheOdbcPrefixesOfServerMessages) {
    EXPECT_EQ(OdbcHandle::entryText("[FreeTDS][SQL Server]Cannot insert the value NULL"),
              "Cannot insert the value NULL");
    EXPECT_EQ(OdbcHandle::entryText(
                  "[Microsoft][ODBC Driver 18 for SQL Server][SQL Server]Could not find stored "
                  "procedure 'X'."),
              "Could not find stored procedure 'X'.");
    // The driver manager's own messages say who speaks; they keep their prefixes.
    EXPECT_EQ(OdbcHandle::entryText("[unixODBC][Driver Manager]Data source name not found"),
              "[unixODBC][Driver Manager]Data source name not found");
    EXPECT_EQ(OdbcHandle::entryText("Text with [SQL Server] inside"),
              "Text with [SQL Server] inside");
}

// Against a real T-SQL server: STOCKCOST_TEST_MSSQL holds an ODBC connection string whose
// login may create databases (for FreeTDS with ClientCharset=UTF-8). Each test program works
// in a database of its own, created through master and dropped at the end.
class OdbcLiveTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!MssqlTestDatabase::configured())
            return;
        try {
            database_ = std::make_unique<MssqlTestDatabase>(QStringLiteral("stockcost_odbc"));
        } catch (const DatabaseError& error) {
            setUpError_ = describe(error);
        }
    }

    static void TearDownTestSuite() { database_.reset(); }

    void SetUp() override {
        if (!MssqlTestDatabase::configured())
            GTEST_SKIP() << "STOCKCOST_TEST_MSSQL is not set";
        ASSERT_TRUE(setUpError_.isEmpty()) << setUpError_.toStdString();
        connection_ = std::make_unique<OdbcConnection>(database_->params());
    }

    void TearDown() override { connection_.reset(); }

    static inline std::unique_ptr<MssqlTestDatabase> database_;
    static inline QString setUpError_;
    std::unique_ptr<OdbcConnection> connection_;
};

TEST_F(OdbcLiveTest, TypedValuesRoundTripThroughBoundParameters) {
    EXPECT_EQ(connection_->dialect(), "mssql");
    connection_->executeDirect(
        "CREATE TABLE RoundTrip (Id int NOT NULL, Big bigint NULL, Wide nvarchar(50) NULL, "
        "Narrow varchar(50) COLLATE Thai_CI_AS NULL, Amount decimal(18,4) NULL, Cost money NULL, "
        "Ratio float NULL, DocDate datetime NULL, Day date NULL, Notes nvarchar(max) NULL)");
    const auto thai = QString::fromUtf8("สินค้าคงคลัง ทดสอบ");
    const QDateTime when(QDate(2024, 2, 29), QTime(13, 45, 7, 250));
    const QString longText(5000, QChar(0x0E01));
    const auto insert = QStringLiteral(
        "INSERT INTO RoundTrip (Id, Big, Wide, Narrow, Amount, Cost, Ratio, DocDate, Day, Notes) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    connection_->execute(insert, {{DataType::Integer, 1},
                                  {DataType::Integer, Q_INT64_C(9000000000)},
                                  {DataType::String, thai},
                                  {DataType::String, thai},
                                  {DataType::Float, 1234.5678},
                                  {DataType::Float, -0.0001},
                                  {DataType::Float, 0.1},
                                  {DataType::DateTime, when},
                                  {DataType::String, "2024-03-01"},
                                  {DataType::String, longText}});
    // Nulls of every type, and a parameter never given a type.
    connection_->execute(insert, {{DataType::Integer, 2},
                                  {DataType::Integer, {}},
                                  {DataType::String, {}},
                                  {DataType::String, {}},
                                  {DataType::Float, {}},
                                  {DataType::Float, {}},
                                  {DataType::Float, {}},
                                  {DataType::DateTime, {}},
                                  {DataType::Unknown, {}},
                                  {DataType::String, {}}});

    const auto result = connection_->execute(
        "SELECT Id, Big, Wide, Narrow, Amount, Cost, Ratio, DocDate, Day, Notes, "
        "CASE WHEN Wide = ? AND Narrow = ? THEN 1 ELSE 0 END AS Matched "
        "FROM RoundTrip WHERE Id >= ? ORDER BY Id",
        {{DataType::String, thai}, {DataType::String, thai}, {DataType::Integer, 1}});
    ASSERT_EQ(result.rows.size(), 2u);
    EXPECT_EQ(result.columns.first(), "Id");
    EXPECT_EQ(result.columns.last(), "Matched");

    const auto& row = result.rows[0];
    EXPECT_EQ(row[0].metaType().id(), QMetaType::LongLong);
    EXPECT_EQ(row[1].toLongLong(), Q_INT64_C(9000000000));
    EXPECT_EQ(row[2].toString(), thai);
    EXPECT_EQ(row[3].toString(), thai); // through the single-byte Thai code page and back
    // Decimals and money as their exact text, every digit of the scale kept.
    EXPECT_EQ(row[4].metaType().id(), QMetaType::QString);
    EXPECT_EQ(row[4].toString(), "1234.5678");
    EXPECT_EQ(row[5].toString(), "-0.0001");
    EXPECT_DOUBLE_EQ(row[6].toDouble(), 0.1);
    EXPECT_EQ(row[7].toDateTime(), when);
    EXPECT_EQ(row[8].toDateTime(), QDateTime(QDate(2024, 3, 1), QTime(0, 0)));
    EXPECT_EQ(row[9].toString(), longText);
    EXPECT_EQ(row[10].toLongLong(), 1);

    const auto& nulls = result.rows[1];
    for (qsizetype column = 1; column < 10; ++column)
        EXPECT_FALSE(nulls[column].isValid()) << result.columns[column].toStdString();
}

TEST_F(OdbcLiveTest, RowsAfterRowCountsAreTheResult) {
    connection_->executeDirect("CREATE TABLE Counted (Id int NOT NULL, Qty int NULL)");
    const auto result = connection_->execute("SET NOCOUNT OFF;"
                                             "INSERT INTO Counted (Id, Qty) VALUES (?, ?), (?, ?);"
                                             "UPDATE Counted SET Qty = 0 WHERE Id = -1;"
                                             "SELECT Id, Qty FROM Counted ORDER BY Id;"
                                             "SELECT 'second' AS Ignored;",
                                             {{DataType::Integer, 1},
                                              {DataType::Integer, 10},
                                              {DataType::Integer, 2},
                                              {DataType::Integer, 20}});
    ASSERT_EQ(result.columns, QStringList({"Id", "Qty"}));
    ASSERT_EQ(result.rows.size(), 2u);
    EXPECT_EQ(result.rows[1][1].toLongLong(), 20);

    // A statement that touches no row is not an error and has no result.
    const auto none =
        connection_->execute("UPDATE Counted SET Qty = 1 WHERE Id = ?", {{DataType::Integer, 99}});
    EXPECT_TRUE(none.columns.isEmpty());
    EXPECT_TRUE(none.rows.empty());
}

TEST_F(OdbcLiveTest, ServerErrorsCarryEveryEntry) {
    connection_->executeDirect(
        "CREATE TABLE Required (Code nvarchar(10) NOT NULL PRIMARY KEY, Qty int NULL)");
    // Servers word their errors differently; the native numbers are the same.
    const auto expectError = [&](const QString& sql, int nativeCode) {
        try {
            connection_->execute(sql, {});
            ADD_FAILURE() << sql.toStdString() << " did not fail";
        } catch (const DatabaseError& error) {
            EXPECT_TRUE(hasEntry(error, {}, nativeCode))
                << nativeCode << ": " << describe(error).toStdString();
            for (const auto& entry : error.entries())
                EXPECT_TRUE(error.message().contains(entry.text)) << describe(error).toStdString();
            EXPECT_FALSE(error.message().contains("[SQL Server]"));
        }
    };
    expectError("INSERT INTO Required (Code) VALUES (NULL)", 515);
    connection_->execute("INSERT INTO Required (Code) VALUES (?)", {{DataType::String, "A"}});
    expectError("INSERT INTO Required (Code) VALUES ('A')", 2627);
    expectError("SELECT COUNT(*) / 0 AS Ratio FROM Required", 8134);
    expectError("EXEC NoSuchProcedure", 2812);

    // An error after the result that is returned still fails the call.
    EXPECT_THROW(
        connection_->execute("SELECT 1 AS Ok; INSERT INTO Required (Code) VALUES (NULL);", {}),
        DatabaseError);
    EXPECT_THROW(connection_->executeDirect("SELECT 1 AS Ok; SELECT * FROM NoSuchTable;"),
                 DatabaseError);

    // The connection stays usable after errors.
    EXPECT_EQ(
        connection_->execute("SELECT COUNT(*) AS N FROM Required", {}).rows[0][0].toLongLong(), 1);
    EXPECT_EQ(connection_->reconnects(), 0);
}

TEST_F(OdbcLiveTest, ProcedureFillsOutputsAndReturnsItsValue) {
    connection_->executeDirect(
        "CREATE PROCEDURE OdbcProbe @In int, @Name nvarchar(50), @Doubled int OUTPUT, "
        "@Half float OUTPUT, @Echo nvarchar(60) OUTPUT, @Counter int OUTPUT, "
        "@When datetime OUTPUT, @Nothing int OUTPUT AS\n"
        "BEGIN\n"
        "  SELECT 'rows of its own' AS Noise;\n"
        "  SET @Doubled = @In * 2;\n"
        "  SET @Half = @In / 2.0;\n"
        "  SET @Echo = @Name + N'!';\n"
        "  SET @Counter = @Counter + 1;\n"
        "  SET @When = '2024-02-29T13:45:07';\n"
        "  SET @Nothing = NULL;\n"
        "  RETURN 7;\n"
        "END");
    const auto thai = QString::fromUtf8("ต้นทุน");
    std::vector<ProcedureParam> params{{"@Result", DataType::Integer, ParamKind::Result, {}},
                                       {"@In", DataType::Integer, ParamKind::Input, 21},
                                       {"@Name", DataType::String, ParamKind::Input, thai},
                                       {"@Doubled", DataType::Integer, ParamKind::Output, {}},
                                       {"@Half", DataType::Float, ParamKind::Output, {}},
                                       {"@Echo", DataType::String, ParamKind::Output, {}},
                                       {"@Counter", DataType::Integer, ParamKind::InputOutput, 41},
                                       {"@When", DataType::DateTime, ParamKind::Output, {}},
                                       {"@Nothing", DataType::Integer, ParamKind::InputOutput, 5}};

    EXPECT_EQ(connection_->callProcedure("OdbcProbe", params), 7);
    EXPECT_EQ(params[0].value.toInt(), 7);
    EXPECT_EQ(params[3].value.toLongLong(), 42);
    EXPECT_DOUBLE_EQ(params[4].value.toDouble(), 10.5);
    EXPECT_EQ(params[5].value.toString(), thai + "!");
    EXPECT_EQ(params[6].value.toLongLong(), 42);
    EXPECT_EQ(params[7].value.toDateTime(), QDateTime(QDate(2024, 2, 29), QTime(13, 45, 7)));
    EXPECT_FALSE(params[8].value.isValid());

    try {
        std::vector<ProcedureParam> none;
        connection_->callProcedure("NoSuchProcedure", none);
        FAIL() << "called a procedure that is not installed";
    } catch (const DatabaseError& error) {
        EXPECT_TRUE(hasEntry(error, {}, 2812)) << describe(error).toStdString();
    }
}

TEST_F(OdbcLiveTest, OutputsHaveTheTypesTheProcedureDeclares) {
    connection_->executeDirect(
        "CREATE PROCEDURE OdbcTyped @Code char(20), @Caption varchar(100) OUTPUT, "
        "@Flag char(1) OUTPUT, @Padded char(8) OUTPUT, @Amount decimal(28,4) OUTPUT, "
        "@Cost money OUTPUT, @Note nvarchar(max) OUTPUT, @Counter int OUTPUT AS\n"
        "BEGIN\n"
        "  SET @Caption = RTRIM(@Code) + 'caption';\n"
        "  SET @Flag = 'Y';\n"
        "  SET @Padded = 'WO-1';\n"
        "  SET @Amount = 10.0 / 3;\n"
        "  SET @Cost = 100;\n"
        "  SET @Note = REPLICATE(N'x', 5000);\n"
        "  SET @Counter = @Counter + 1;\n"
        "END");
    connection_->executeDirect("CREATE PROCEDURE OdbcBare AS RETURN 3");

    const auto declared = connection_->procedureParameters("OdbcTyped");
    QStringList shown;
    for (const auto& parameter : declared)
        shown << parameter.name + ' ' + parameter.typeName + (parameter.output ? " out" : "");
    EXPECT_EQ(shown.join(", ").toStdString(),
              "@Code char(20), @Caption varchar(100) out, @Flag char(1) out, @Padded char(8) out, "
              "@Amount decimal(28,4) out, @Cost money out, @Note nvarchar(max) out, "
              "@Counter int out");
    EXPECT_TRUE(connection_->procedureParameters("odbcbare").empty());
    try {
        connection_->procedureParameters("NoSuchProcedure");
        FAIL() << "parameters of a procedure that is not installed";
    } catch (const DatabaseError& error) {
        EXPECT_TRUE(hasEntry(error, {}, 2812)) << describe(error).toStdString();
    }

    std::vector<ProcedureParam> params{{"@Result", DataType::Integer, ParamKind::Result, {}},
                                       {"@Code", DataType::String, ParamKind::Input, "P01"},
                                       {"@Caption", DataType::String, ParamKind::Output, {}},
                                       {"@Flag", DataType::String, ParamKind::Output, {}},
                                       {"@Padded", DataType::String, ParamKind::Output, {}},
                                       {"@Amount", DataType::Float, ParamKind::Output, {}},
                                       {"@Cost", DataType::Float, ParamKind::Output, {}},
                                       {"@Note", DataType::String, ParamKind::Output, {}},
                                       {"@Counter", DataType::Integer, ParamKind::InputOutput, 41}};
    // Twice: the second call takes the types from what the first one read.
    for (int call = 0; call < 2; ++call) {
        EXPECT_EQ(connection_->callProcedure("OdbcTyped", params), 0);
        EXPECT_EQ(params[2].value.toString(), "P01caption");
        EXPECT_EQ(params[3].value.toString(), "Y");
        EXPECT_EQ(params[4].value.toString(), "WO-1    "); // a char keeps its blanks
        EXPECT_EQ(params[5].value.toString(), "3.3333");
        EXPECT_EQ(params[6].value.toString(), "100.0000");
        EXPECT_EQ(params[7].value.toString().size(), 5000);
        EXPECT_EQ(params[8].value.toLongLong(), 42 + call);
        params[8].value = 41 + call + 1;
    }
    std::vector<ProcedureParam> none{{"@Result", DataType::Integer, ParamKind::Result, {}}};
    EXPECT_EQ(connection_->callProcedure("OdbcBare", none), 3);
}

TEST_F(OdbcLiveTest, MaxQueryTimeEndsALongStatement) {
    OdbcConnection impatient(database_->params(1));
    try {
        impatient.executeDirect("WAITFOR DELAY '00:00:05'");
        FAIL() << "a 5 second statement outlived a 1 second MAX QUERY TIME";
    } catch (const DatabaseError& error) {
        EXPECT_TRUE(hasEntry(error, "HYT00", 0)) << describe(error).toStdString();
        EXPECT_TRUE(error.message().startsWith("SQL Server connection timed out"))
            << describe(error).toStdString();
    }
    EXPECT_EQ(impatient.execute("SELECT 1 AS One", {}).rows.size(), 1u);
    EXPECT_EQ(impatient.reconnects(), 1);
}
