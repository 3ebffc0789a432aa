// T-SQL held to SQL Server's documented results: the cases of tests/tsql/*.json, one file per
// topic, run on the embedded engine and, when STOCKCOST_TEST_MSSQL holds an ODBC connection
// string, on SQL Server (in a database made for the run and dropped after it). Each case is a
// test named <file>_<case> in the suite TsqlEmbedded or TsqlSqlServer.
//
// A case file:
//   {"setup": ["Create Table w1 (qty decimal(28,4), cost money)", "Insert Into w1 Values (10,
//   100)"],
//    "cases": [{"name": "qty_divided_by_int",          letters, digits and '_'
//               "rule": "...",                          the documented rule and its page title
//               "setup": ["...", ...],                  optional, run after the file's setup
//               "sql": "Select qty / n From w1",        one batch; it returns at most one
//                                                       result, from its last statement
//               "expect": [["3.33333333333333"]],       the rows, in order
//          or   "error": 8134 or [8152, 2628],          SQL Server's native error number(s)
//               "message": "Divide by zero",            optional: part of the error's text
//               "after": {"sql": "Select a From f1",    optional: a query run after "sql"
//                         "expect": [["10.0000"]]}}]}
// Every statement of a setup is a batch of its own, and every case starts on a new connection to
// a database holding only its setup. Cells compare exactly by type: a JSON string is text (decimal
// and money values arrive as text with all their scale digits, "100.0000"), a JSON number an
// integer or a float (floats within a relative 1e-12), {"datetime": "yyyy-MM-dd HH:mm:ss.zzz"} a
// date-time, null NULL.
#include "TempServer.h"

#include "db/DatabaseError.h"
#include "db/TDatabase.h"
#include "db/embedded/EmbeddedServer.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cmath>
#include <memory>
#include <optional>
#include <stdexcept>

namespace {

const QString embeddedEngine = QStringLiteral("embedded");
const QString sqlServerEngine = QStringLiteral("mssql");

struct TsqlCase {
    QString file;
    QString name;
    QString loadError;
    QString rule;
    QStringList setup;
    QString sql;
    std::optional<QJsonArray> expect;
    QList<int> errors;
    QString message;
    QString afterSql;
    std::optional<QJsonArray> afterExpect;
};

// ---- reading the case files ----------------------------------------------------------------

QStringList statements(const QJsonValue& value, const QString& where) {
    if (value.isUndefined())
        return {};
    if (!value.isArray())
        throw std::runtime_error(where.toStdString() + ": setup is not a list of statements");
    QStringList list;
    for (const auto& statement : value.toArray()) {
        if (!statement.isString())
            throw std::runtime_error(where.toStdString() + ": a setup statement is not a text");
        list << statement.toString();
    }
    return list;
}

QJsonArray rows(const QJsonValue& value, const QString& where) {
    if (!value.isArray())
        throw std::runtime_error(where.toStdString() + ": expect is not a list of rows");
    for (const auto& row : value.toArray()) {
        if (!row.isArray())
            throw std::runtime_error(where.toStdString() + ": a row is not a list of values");
        for (const auto& cell : row.toArray()) {
            if (cell.isObject() &&
                (cell.toObject().size() != 1 || !cell.toObject().value("datetime").isString()))
                throw std::runtime_error(where.toStdString() +
                                         ": an object cell must be {\"datetime\": TEXT}");
            if (cell.isBool())
                throw std::runtime_error(where.toStdString() + ": true and false are no values");
        }
    }
    return value.toArray();
}

TsqlCase readCase(const QString& file, const QStringList& setup, const QJsonObject& object) {
    static const QStringList keys = {"name",   "rule",  "setup",   "sql",
                                     "expect", "error", "message", "after"};
    static const QRegularExpression validName(QStringLiteral("^[A-Za-z0-9_]+$"));
    TsqlCase test;
    test.file = file;
    test.name = object.value("name").toString();
    const QString where = file + ": case '" + test.name + "'";
    if (!validName.match(test.name).hasMatch())
        throw std::runtime_error(where.toStdString() + ": the name must be letters, digits, _");
    for (const auto& key : object.keys()) {
        if (!keys.contains(key))
            throw std::runtime_error(where.toStdString() + ": unknown key " + key.toStdString());
    }
    test.rule = object.value("rule").toString();
    test.sql = object.value("sql").toString();
    if (test.rule.isEmpty() || test.sql.isEmpty())
        throw std::runtime_error(where.toStdString() + ": a case needs a rule and sql");
    test.setup = setup + statements(object.value("setup"), where);
    if (object.contains("expect") == object.contains("error"))
        throw std::runtime_error(where.toStdString() + ": give either expect or error");
    if (object.contains("expect"))
        test.expect = rows(object.value("expect"), where);
    const QJsonValue error = object.value("error");
    if (error.isDouble())
        test.errors << error.toInt();
    for (const auto& number : error.toArray())
        test.errors << number.toInt();
    if (object.contains("error") && test.errors.isEmpty())
        throw std::runtime_error(where.toStdString() + ": error is a number or a list of them");
    test.message = object.value("message").toString();
    if (object.contains("after")) {
        const QJsonObject after = object.value("after").toObject();
        test.afterSql = after.value("sql").toString();
        if (test.afterSql.isEmpty() || !after.contains("expect"))
            throw std::runtime_error(where.toStdString() + ": after needs sql and expect");
        test.afterExpect = rows(after.value("expect"), where);
    }
    return test;
}

std::vector<std::shared_ptr<const TsqlCase>> readFile(const QString& path) {
    const QString file = QFileInfo(path).completeBaseName();
    QFile input(path);
    if (!input.open(QIODevice::ReadOnly))
        throw std::runtime_error(file.toStdString() + ": cannot be read");
    QJsonParseError parseError;
    const auto document = QJsonDocument::fromJson(input.readAll(), &parseError);
    if (document.isNull())
        throw std::runtime_error(file.toStdString() + ": " +
                                 parseError.errorString().toStdString() + " at offset " +
                                 std::to_string(parseError.offset));
    const QStringList setup = statements(document.object().value("setup"), file);
    std::vector<std::shared_ptr<const TsqlCase>> cases;
    QStringList names;
    for (const auto& value : document.object().value("cases").toArray()) {
        auto test = std::make_shared<const TsqlCase>(readCase(file, setup, value.toObject()));
        if (names.contains(test->name))
            throw std::runtime_error(file.toStdString() + ": two cases are named " +
                                     test->name.toStdString());
        names << test->name;
        cases.push_back(std::move(test));
    }
    if (cases.empty())
        throw std::runtime_error(file.toStdString() + ": no cases");
    return cases;
}

// Every case of every file; a file that cannot be read becomes one case that fails with why.
std::vector<std::shared_ptr<const TsqlCase>> loadCases() {
    std::vector<std::shared_ptr<const TsqlCase>> cases;
    const QDir dir(QStringLiteral(STOCKCOST_TSQL_CASES_DIR));
    for (const auto& fileName : dir.entryList({QStringLiteral("*.json")}, QDir::Files)) {
        try {
            auto fileCases = readFile(dir.filePath(fileName));
            cases.insert(cases.end(), fileCases.begin(), fileCases.end());
        } catch (const std::exception& error) {
            auto broken = std::make_shared<TsqlCase>();
            broken->file = QFileInfo(fileName).completeBaseName();
            broken->name = QStringLiteral("file");
            broken->loadError = QString::fromStdString(error.what());
            cases.push_back(broken);
        }
    }
    return cases;
}

// ---- comparing values ----------------------------------------------------------------------

QString numberText(double number) {
    if (number == 0.0)
        number = 0.0; // no "-0"
    return QString::number(number, 'g', QLocale::FloatingPointShortest);
}

QString dateTimeText(const QDateTime& value) {
    return value.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

bool isNumber(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return true;
    default:
        return false;
    }
}

// A value as the failure message shows it: text quoted, so that a decimal's text and a number
// read differently.
QString shown(const QJsonValue& value) {
    if (value.isNull())
        return QStringLiteral("NULL");
    if (value.isDouble())
        return numberText(value.toDouble());
    if (value.isObject())
        return QStringLiteral("datetime ") + value.toObject().value("datetime").toString();
    return '\'' + value.toString() + '\'';
}

QString shown(const QVariant& value) {
    if (!value.isValid() || value.isNull())
        return QStringLiteral("NULL");
    if (isNumber(value))
        return value.typeId() == QMetaType::Double ? numberText(value.toDouble())
                                                   : value.toString();
    if (value.typeId() == QMetaType::QDateTime)
        return QStringLiteral("datetime ") + dateTimeText(value.toDateTime());
    if (value.typeId() == QMetaType::QByteArray)
        return QStringLiteral("0x") + QString::fromLatin1(value.toByteArray().toHex().toUpper());
    return '\'' + value.toString() + '\'';
}

bool matches(const QJsonValue& expected, const QVariant& actual) {
    const bool actualNull = !actual.isValid() || actual.isNull();
    if (expected.isNull())
        return actualNull;
    if (actualNull)
        return false;
    if (expected.isDouble()) {
        if (!isNumber(actual))
            return false;
        const double want = expected.toDouble();
        if (actual.typeId() != QMetaType::Double)
            return want == std::floor(want) && actual.toLongLong() == qint64(want);
        const double got = actual.toDouble();
        return std::fabs(got - want) <= 1e-12 * std::max(std::fabs(got), std::fabs(want));
    }
    if (expected.isObject())
        return actual.typeId() == QMetaType::QDateTime &&
               dateTimeText(actual.toDateTime()) ==
                   expected.toObject().value("datetime").toString();
    return actual.typeId() == QMetaType::QString && actual.toString() == expected.toString();
}

QString shownRows(const QJsonArray& expected) {
    QStringList lines;
    for (const auto& row : expected) {
        QStringList cells;
        for (const auto& cell : row.toArray())
            cells << shown(cell);
        lines << '[' + cells.join(QStringLiteral(", ")) + ']';
    }
    return '[' + lines.join(QStringLiteral(", ")) + ']';
}

QString shownRows(const db::ResultSet& actual) {
    QStringList lines;
    for (const auto& row : actual.rows) {
        QStringList cells;
        for (const auto& cell : row)
            cells << shown(cell);
        lines << '[' + cells.join(QStringLiteral(", ")) + ']';
    }
    return '[' + lines.join(QStringLiteral(", ")) + ']';
}

bool rowsMatch(const QJsonArray& expected, const db::ResultSet& actual) {
    if (actual.rows.size() != size_t(expected.size()))
        return false;
    for (qsizetype r = 0; r < expected.size(); ++r) {
        const QJsonArray row = expected[r].toArray();
        const QVariantList& got = actual.rows[size_t(r)];
        if (got.size() != row.size())
            return false;
        for (qsizetype c = 0; c < row.size(); ++c) {
            if (!matches(row[c], got[c]))
                return false;
        }
    }
    return true;
}

QString shownError(const db::DatabaseError& error) {
    QStringList entries;
    for (const auto& entry : error.entries())
        entries << QStringLiteral("%1 (native %2): %3")
                       .arg(entry.code)
                       .arg(entry.nativeCode)
                       .arg(entry.text);
    return entries.isEmpty() ? error.message() : entries.join(QStringLiteral("; "));
}

bool errorMatches(const TsqlCase& test, const db::DatabaseError& error) {
    for (const auto& entry : error.entries()) {
        if (test.errors.contains(entry.nativeCode) &&
            (test.message.isEmpty() || entry.text.contains(test.message)))
            return true;
    }
    return false;
}

// ---- running a case ------------------------------------------------------------------------

QString expectedError(const TsqlCase& test) {
    QStringList numbers;
    for (const int number : test.errors)
        numbers << QString::number(number);
    QString text = QStringLiteral("error ") + numbers.join(QStringLiteral(" or "));
    if (!test.message.isEmpty())
        text += QStringLiteral(" with \"") + test.message + '"';
    return text;
}

QString failure(const TsqlCase& test, const QString& sql, const QString& expected,
                const QString& actual) {
    return QStringLiteral("sql:      %1\nrule:     %2\nexpected: %3\nactual:   %4")
        .arg(sql, test.rule, expected, actual);
}

// Runs the case on an open connection whose database holds the case's setup. Returns why the
// engine's result differs from the expected one; nothing when they agree.
std::optional<QString> checkCase(db::Connection& connection, const TsqlCase& test) {
    try {
        const db::ResultSet result = connection.execute(test.sql, {});
        if (!test.expect)
            return failure(test, test.sql, expectedError(test),
                           QStringLiteral("no error, rows ") + shownRows(result));
        if (!rowsMatch(*test.expect, result))
            return failure(test, test.sql, shownRows(*test.expect), shownRows(result));
    } catch (const db::DatabaseError& error) {
        if (test.expect)
            return failure(test, test.sql, shownRows(*test.expect),
                           QStringLiteral("error ") + shownError(error));
        if (!errorMatches(test, error))
            return failure(test, test.sql, expectedError(test),
                           QStringLiteral("error ") + shownError(error));
    }
    if (test.afterExpect) {
        try {
            const db::ResultSet after = connection.execute(test.afterSql, {});
            if (!rowsMatch(*test.afterExpect, after))
                return failure(test, test.sql + QStringLiteral("\nthen:     ") + test.afterSql,
                               shownRows(*test.afterExpect), shownRows(after));
        } catch (const db::DatabaseError& error) {
            return failure(test, test.afterSql, shownRows(*test.afterExpect),
                           QStringLiteral("error ") + shownError(error));
        }
    }
    return std::nullopt;
}

// ---- the databases the cases run in --------------------------------------------------------

QString sqlServerString() {
    return qEnvironmentVariable("STOCKCOST_TEST_MSSQL");
}

// A fresh embedded database for every case: a new file on one server for the whole run.
class EmbeddedDatabases {
public:
    std::unique_ptr<db::TDatabase> fresh() {
        const QString name = QStringLiteral("Case%1").arg(++count_);
        db::EmbeddedServer::createDatabase(server_.directory(), name);
        auto database = std::make_unique<db::TDatabase>(QStringLiteral("TSQL_CASE"));
        database->params() = server_.connectionParams(name);
        database->open();
        return database;
    }

private:
    TempServer server_;
    int count_ = 0;
};

// One SQL Server database for the run, emptied of every object before each case; every case
// gets a new connection, so no session setting or open transaction outlives it.
class SqlServerDatabase {
public:
    SqlServerDatabase() {
        name_ = QStringLiteral("stockcost_tsql_%1")
                    .arg(QRandomGenerator::global()->generate(), 8, 16, QChar('0'));
        // The suite's databases compare text as Thai, case-insensitively.
        onMaster(QStringLiteral("DECLARE @sql nvarchar(max) = N'CREATE DATABASE ' + "
                                "QUOTENAME(@name) + N' COLLATE Thai_CI_AS'; EXEC (@sql);"));
    }

    ~SqlServerDatabase() {
        try {
            onMaster(QStringLiteral(
                "DECLARE @sql nvarchar(max) = N'ALTER DATABASE ' + QUOTENAME(@name) + N' SET "
                "SINGLE_USER WITH ROLLBACK IMMEDIATE; DROP DATABASE ' + QUOTENAME(@name); "
                "IF DB_ID(@name) IS NOT NULL EXEC (@sql);"));
        } catch (const db::DatabaseError& error) {
            ADD_FAILURE() << "could not drop " << name_.toStdString() << ": "
                          << error.message().toStdString();
        }
    }

    std::unique_ptr<db::TDatabase> fresh() {
        auto database = std::make_unique<db::TDatabase>(QStringLiteral("TSQL_CASE"));
        database->params() = {QStringLiteral("ODBC CONNECTION STRING=") + sqlServerString(),
                              QStringLiteral("DATABASE NAME=") + name_};
        auto& connection = database->connection();
        connection.executeDirect(QStringLiteral(
            "DECLARE @sql nvarchar(max) = N''; "
            "SELECT @sql += N'ALTER TABLE ' + QUOTENAME(SCHEMA_NAME(t.schema_id)) + N'.' + "
            "QUOTENAME(t.name) + N' DROP CONSTRAINT ' + QUOTENAME(f.name) + N';' "
            "FROM sys.foreign_keys f JOIN sys.tables t ON t.object_id = f.parent_object_id; "
            "SELECT @sql += N'DROP ' + CASE o.type WHEN 'V' THEN N'VIEW ' ELSE N'PROCEDURE ' "
            "END + QUOTENAME(SCHEMA_NAME(o.schema_id)) + N'.' + QUOTENAME(o.name) + N';' "
            "FROM sys.objects o WHERE o.type IN ('V', 'P') AND o.is_ms_shipped = 0; "
            "SELECT @sql += N'DROP TABLE ' + QUOTENAME(SCHEMA_NAME(o.schema_id)) + N'.' + "
            "QUOTENAME(o.name) + N';' FROM sys.objects o "
            "WHERE o.type = 'U' AND o.is_ms_shipped = 0; "
            "EXEC (@sql);"));
        // The documented month and day names and DATEFIRST 7 are those of us_english; the
        // program's sessions read dates as ymd.
        connection.executeDirect(QStringLiteral("SET LANGUAGE us_english; SET DATEFORMAT ymd;"));
        return database;
    }

private:
    void onMaster(const QString& batch) {
        db::TDatabase master(QStringLiteral("TSQL_MASTER"));
        master.params() = {QStringLiteral("ODBC CONNECTION STRING=") + sqlServerString(),
                           QStringLiteral("DATABASE NAME=master")};
        master.connection().execute(QStringLiteral("DECLARE @name sysname = ?; ") + batch,
                                    {{db::DataType::String, name_}});
    }

    QString name_;
};

// Made on first use, dropped after the last test.
class CaseDatabases : public ::testing::Environment {
public:
    static std::unique_ptr<db::TDatabase> fresh(const QString& engine) {
        if (engine == embeddedEngine) {
            if (!embedded_)
                embedded_ = std::make_unique<EmbeddedDatabases>();
            return embedded_->fresh();
        }
        if (!sqlServer_)
            sqlServer_ = std::make_unique<SqlServerDatabase>();
        return sqlServer_->fresh();
    }

    void TearDown() override {
        embedded_.reset();
        sqlServer_.reset();
    }

private:
    static inline std::unique_ptr<EmbeddedDatabases> embedded_;
    static inline std::unique_ptr<SqlServerDatabase> sqlServer_;
};

[[maybe_unused]] ::testing::Environment* const caseDatabases =
    ::testing::AddGlobalTestEnvironment(new CaseDatabases);

class TsqlCaseTest : public ::testing::Test {
public:
    TsqlCaseTest(QString engine, std::shared_ptr<const TsqlCase> test)
        : engine_(std::move(engine)), test_(std::move(test)) {}

    void TestBody() override {
        ASSERT_TRUE(test_->loadError.isEmpty()) << test_->loadError.toStdString();
        if (engine_ == sqlServerEngine && sqlServerString().isEmpty())
            GTEST_SKIP() << "STOCKCOST_TEST_MSSQL is not set";
        std::unique_ptr<db::TDatabase> database;
        try {
            database = CaseDatabases::fresh(engine_);
            for (const auto& statement : test_->setup)
                database->connection().execute(statement, {});
        } catch (const db::DatabaseError& error) {
            FAIL() << "setting up: " << shownError(error).toStdString();
        }
        if (const auto difference = checkCase(database->connection(), *test_))
            ADD_FAILURE() << difference->toStdString();
    }

private:
    QString engine_;
    std::shared_ptr<const TsqlCase> test_;
};

bool registerCases() {
    static const auto cases = loadCases();
    for (const auto& test : cases) {
        const std::string name = (test->file + '_' + test->name).toStdString();
        for (const auto& [engine, suite] :
             {std::pair{embeddedEngine, std::string("TsqlEmbedded")},
              std::pair{sqlServerEngine, std::string("TsqlSqlServer")}}) {
            ::testing::RegisterTest(
                suite.c_str(), name.c_str(), nullptr, nullptr, __FILE__, __LINE__,
                [engine, test]() -> ::testing::Test* { return new TsqlCaseTest(engine, test); });
        }
    }
    return true;
}

[[maybe_unused]] const bool casesRegistered = registerCases();

// ---- the harness itself, on the embedded engine --------------------------------------------

TsqlCase harnessCase(const QString& sql, const QJsonValue& expect) {
    TsqlCase test;
    test.rule = QStringLiteral("harness check");
    test.sql = sql;
    test.expect = expect.toArray();
    return test;
}

class TsqlHarnessTest : public ::testing::Test {
protected:
    void SetUp() override { database = databases.fresh(); }

    EmbeddedDatabases databases;
    std::unique_ptr<db::TDatabase> database;
};

TEST_F(TsqlHarnessTest, AgreeingResultPasses) {
    const auto test = harnessCase("Select 7 / 2, 'ab'", QJsonArray{QJsonArray{3, "ab"}});
    const auto difference = checkCase(database->connection(), test);
    EXPECT_FALSE(difference) << difference.value_or(QString()).toStdString();
}

TEST_F(TsqlHarnessTest, WrongExpectationFailsShowingSqlRuleAndBothResults) {
    const auto test = harnessCase("Select 7 / 2, 'ab'", QJsonArray{QJsonArray{4, "ab"}});
    const auto difference = checkCase(database->connection(), test);
    ASSERT_TRUE(difference);
    EXPECT_TRUE(difference->contains("sql:      Select 7 / 2, 'ab'"));
    EXPECT_TRUE(difference->contains("rule:     harness check"));
    EXPECT_TRUE(difference->contains("expected: [[4, 'ab']]"));
    EXPECT_TRUE(difference->contains("actual:   [[3, 'ab']]")) << difference->toStdString();
}

TEST_F(TsqlHarnessTest, MissingErrorAndMissingRowsFail) {
    auto test = harnessCase("Select 1", QJsonValue());
    test.expect.reset();
    test.errors = {8134};
    const auto noError = checkCase(database->connection(), test);
    ASSERT_TRUE(noError);
    EXPECT_TRUE(noError->contains("expected: error 8134")) << noError->toStdString();

    const auto extraRow =
        checkCase(database->connection(),
                  harnessCase("Select 1 Union All Select 2", QJsonArray{QJsonArray{1}}));
    EXPECT_TRUE(extraRow);
}

TEST(TsqlCellTest, TextNumbersAndDateTimesDoNotStandInForEachOther) {
    // A decimal arrives as its text with every scale digit; a number or a shorter text is wrong.
    EXPECT_TRUE(matches(QJsonValue("100.0000"), QVariant(QStringLiteral("100.0000"))));
    EXPECT_FALSE(matches(QJsonValue("100.0000"), QVariant(100.0)));
    EXPECT_FALSE(matches(QJsonValue("100.0000"), QVariant(QStringLiteral("100"))));
    EXPECT_FALSE(matches(QJsonValue(100), QVariant(QStringLiteral("100"))));
    // Trailing blanks of a char value are part of it.
    EXPECT_FALSE(matches(QJsonValue("ab   "), QVariant(QStringLiteral("ab"))));

    EXPECT_TRUE(matches(QJsonValue(3), QVariant(qint64(3))));
    EXPECT_FALSE(matches(QJsonValue(3.5), QVariant(qint64(3))));
    EXPECT_TRUE(matches(QJsonValue(1.0 / 3), QVariant(0.33333333333333331)));
    EXPECT_FALSE(matches(QJsonValue(0.333333), QVariant(1.0 / 3)));

    const QJsonObject day{{"datetime", "2024-03-06 00:00:00.000"}};
    EXPECT_TRUE(matches(day, QVariant(QDateTime(QDate(2024, 3, 6), QTime(0, 0)))));
    EXPECT_FALSE(matches(day, QVariant(QStringLiteral("2024-03-06 00:00:00.000"))));
    EXPECT_FALSE(matches(QJsonValue("2024-03-06 00:00:00.000"),
                         QVariant(QDateTime(QDate(2024, 3, 6), QTime(0, 0)))));

    EXPECT_TRUE(matches(QJsonValue(QJsonValue::Null), QVariant()));
    EXPECT_FALSE(matches(QJsonValue(QJsonValue::Null), QVariant(qint64(0))));
    EXPECT_FALSE(matches(QJsonValue(0), QVariant()));
}

} // namespace
