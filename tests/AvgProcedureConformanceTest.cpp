// The server procedures of both costing methods held to the cases of tests/conformance/*.json: the
// rows a case starts from, the procedure calls, and the rows the calls must leave. Every case
// runs on the embedded engine, and on SQL Server when STOCKCOST_TEST_MSSQL holds an ODBC
// connection string (in a database made for the run and dropped after it).
//
// A case file:
//   {"setup": {TABLE: [[COLUMN, ...], [VALUE, ...], ...], ...},   the rows every case starts with
//    "cases": [{"name": "...",
//               "rows": {TABLE: [...], ...},      replace the setup's rows of those tables
//               "calls": [[PROCEDURE, ARGUMENT, ...], ...],
//               "outputs": [VALUE, ...],          the output parameter after each call
//               "error": "TEXT",                  the last call fails with a message holding it
//               "errorNumber": N,                 on SQL Server: the native error number instead,
//                                                 as servers word their errors differently
//               "expect": {TABLE: [[COLUMN, ...], [VALUE, ...], ...], ...}}, ...]}
// Each expected table is compared whole, on the columns listed, in any row order and exactly:
// the procedures round amounts to cents or four decimals, so every digit must match. Texts such
// as "2024-01-15" are dates. The table NegativeProbe records, for each material issue ("I") or
// return ("R") line, the Negative flag of its product when its cost was first written.
#include "MssqlTestDatabase.h"
#include "TempServer.h"

#include "costing/avg/procedures/AvgProcedures.h"
#include "costing/fifo/procedures/FifoProcedures.h"
#include "db/DatabaseError.h"
#include "db/SqlBatches.h"
#include "db/TDatabase.h"
#include "db/embedded/EmbeddedConnection.h"
#include "db/embedded/EmbeddedServer.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <memory>
#include <stdexcept>

namespace {

struct Table {
    QString name;
    QStringList columns;
    QList<QJsonArray> rows;
};

struct ConformanceCase {
    QString name;
    QString loadError;
    std::vector<Table> rows;
    QJsonArray calls;
    QJsonArray outputs;
    QString error;
    int errorNumber = 0;
    std::vector<Table> expected;
};

struct ConformanceParam {
    QString engine;
    std::shared_ptr<const ConformanceCase> test;
};

void PrintTo(const ConformanceParam& param, std::ostream* out) {
    *out << param.engine.toStdString() << ":" << param.test->name.toStdString();
}

const QString embeddedEngine = QStringLiteral("embedded");
const QString sqlServerEngine = QStringLiteral("mssql");

// ---- reading the case files ----------------------------------------------------------------

Table readTable(const QString& name, const QJsonValue& value) {
    const QJsonArray array = value.toArray();
    if (array.isEmpty())
        throw std::runtime_error("table " + name.toStdString() + " has no column list");
    Table table{name, {}, {}};
    for (const auto& column : array.first().toArray())
        table.columns << column.toString();
    for (qsizetype i = 1; i < array.size(); ++i) {
        const QJsonArray row = array[i].toArray();
        if (row.size() != table.columns.size())
            throw std::runtime_error("a row of " + name.toStdString() + " has " +
                                     std::to_string(row.size()) + " values for " +
                                     std::to_string(table.columns.size()) + " columns");
        table.rows << row;
    }
    return table;
}

std::vector<Table> readTables(const QJsonObject& object) {
    std::vector<Table> tables;
    for (auto it = object.begin(); it != object.end(); ++it)
        tables.push_back(readTable(it.key(), it.value()));
    return tables;
}

ConformanceCase readCase(const QString& file, const std::vector<Table>& setup,
                         const QJsonObject& object) {
    ConformanceCase test;
    test.name = file + '_' + object.value("name").toString();
    test.rows = setup;
    for (auto& table : readTables(object.value("rows").toObject())) {
        const auto same = std::find_if(test.rows.begin(), test.rows.end(), [&](const Table& t) {
            return t.name.compare(table.name, Qt::CaseInsensitive) == 0;
        });
        if (same != test.rows.end())
            *same = std::move(table);
        else
            test.rows.push_back(std::move(table));
    }
    test.calls = object.value("calls").toArray();
    test.outputs = object.value("outputs").toArray();
    test.error = object.value("error").toString();
    test.errorNumber = object.value("errorNumber").toInt();
    test.expected = readTables(object.value("expect").toObject());
    if (test.calls.isEmpty())
        throw std::runtime_error("case " + test.name.toStdString() + " calls nothing");
    return test;
}

std::vector<std::shared_ptr<const ConformanceCase>> loadCases() {
    std::vector<std::shared_ptr<const ConformanceCase>> cases;
    const QDir dir(QStringLiteral(STOCKCOST_CONFORMANCE_DIR));
    for (const auto& fileName : dir.entryList({QStringLiteral("*.json")}, QDir::Files)) {
        const QString file = QFileInfo(fileName).completeBaseName();
        try {
            QFile input(dir.filePath(fileName));
            if (!input.open(QIODevice::ReadOnly))
                throw std::runtime_error("cannot be read");
            QJsonParseError parseError;
            const auto document = QJsonDocument::fromJson(input.readAll(), &parseError);
            if (document.isNull())
                throw std::runtime_error(parseError.errorString().toStdString() + " at " +
                                         std::to_string(parseError.offset));
            const auto setup = readTables(document.object().value("setup").toObject());
            for (const auto& value : document.object().value("cases").toArray())
                cases.push_back(std::make_shared<const ConformanceCase>(
                    readCase(file, setup, value.toObject())));
        } catch (const std::exception& error) {
            auto broken = std::make_shared<ConformanceCase>();
            broken->name = file;
            broken->loadError = QString::fromStdString(error.what());
            cases.push_back(broken);
        }
    }
    return cases;
}

std::vector<ConformanceParam> casesFor(const QString& engine) {
    static const auto cases = loadCases();
    std::vector<ConformanceParam> params;
    for (const auto& test : cases)
        params.push_back({engine, test});
    return params;
}

std::string caseName(const ::testing::TestParamInfo<ConformanceParam>& info) {
    QString name = info.param.test->name;
    name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_]")), QStringLiteral("_"));
    return name.toStdString();
}

// ---- values --------------------------------------------------------------------------------

db::SqlValue sqlValue(const QJsonValue& value) {
    static const QRegularExpression date(
        QStringLiteral(R"(^\d{4}-\d{2}-\d{2}( \d{2}:\d{2}(:\d{2})?)?$)"));
    switch (value.type()) {
    case QJsonValue::Bool:
        return {db::DataType::Integer, value.toBool() ? 1 : 0};
    case QJsonValue::Double: {
        const double number = value.toDouble();
        if (number == std::floor(number) && std::fabs(number) < 1e15)
            return {db::DataType::Integer, qint64(number)};
        return {db::DataType::Float, number};
    }
    case QJsonValue::String: {
        const QString text = value.toString();
        if (date.match(text).hasMatch())
            return {db::DataType::DateTime, db::parseSqlDateTime(text)};
        return {db::DataType::String, text};
    }
    default:
        return {db::DataType::Unknown, {}};
    }
}

QString numberText(double number) {
    if (number == 0.0)
        number = 0.0; // no "-0"
    return QString::number(number, 'g', QLocale::FloatingPointShortest);
}

// A value as the comparison sees it: the shortest text of a number (equal texts, equal
// doubles), a text quoted and without the trailing blanks of a Char column.
QString shown(const QJsonValue& value) {
    switch (value.type()) {
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        return QStringLiteral("null");
    case QJsonValue::Bool:
        return numberText(value.toBool() ? 1 : 0);
    case QJsonValue::Double:
        return numberText(value.toDouble());
    default: {
        QString text = value.toString();
        while (text.endsWith(' '))
            text.chop(1);
        return '\'' + text + '\'';
    }
    }
}

// numeric: the expected values of the column are numbers, so a decimal that arrives as its
// text ("12.3400") is a number too.
QString shown(const QVariant& value, bool numeric) {
    if (!value.isValid() || value.isNull())
        return QStringLiteral("null");
    if (numeric && value.typeId() == QMetaType::QString) {
        bool ok = false;
        const double number = value.toString().toDouble(&ok);
        if (ok)
            return numberText(number);
    }
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Bool:
        return numberText(value.toDouble());
    default:
        return shown(QJsonValue(value.toString()));
    }
}

QString tableText(QStringList rows) {
    rows.sort();
    return rows.join('\n');
}

// ---- the databases the cases run in --------------------------------------------------------

// A company database on one engine: the company tables, the procedures and tables of both
// costing methods as the installer puts them there, and the NegativeProbe table with its
// triggers.
class CaseDatabase {
public:
    explicit CaseDatabase(const QString& alias) : database_(alias) {}
    virtual ~CaseDatabase() = default;

    db::Connection& connection() { return database_.connection(); }

    // Empties every table except the company's settings.
    void clear() {
        for (const auto& table : tables_)
            connection().execute(QStringLiteral("Delete From ") + table, {});
    }

protected:
    void createCompanyTables() {
        db::executeBatches(database_.databaseName(),
                           db::sqlResource(QStringLiteral(":/schema/CompanyDatabase.sql")));
        costing::installAvgProcedures(database_);
        costing::installFifoProcedures(database_);
        connection().execute(
            QStringLiteral("Create Table NegativeProbe (Kind Char(1) Not Null, Line Int Not Null, "
                           "Negative Char(1) Null, Primary Key (Kind, Line))"),
            {});
        createProbeTriggers();
        const auto tables = connection().execute(
            QStringLiteral("Select Name From SysObjects Where xtype = 'U'"), {});
        for (const auto& row : tables.rows) {
            const QString name = row.front().toString().trimmed();
            if (name.compare(QLatin1String("Config"), Qt::CaseInsensitive) != 0 &&
                name.compare(QLatin1String("Misc"), Qt::CaseInsensitive) != 0)
                tables_ << name;
        }
    }

    virtual void createProbeTriggers() = 0;

    db::TDatabase database_;
    QStringList tables_;
};

class EmbeddedCaseDatabase : public CaseDatabase {
public:
    EmbeddedCaseDatabase() : CaseDatabase(QStringLiteral("CONFORMANCE_EMBEDDED")) {
        db::EmbeddedServer::createDatabase(server_.directory(), QStringLiteral("Conformance"));
        database_.params() = server_.connectionParams(QStringLiteral("Conformance"));
        createCompanyTables();
    }
    ~EmbeddedCaseDatabase() override { database_.close(); }

private:
    void createProbeTriggers() override {
        auto& embedded = dynamic_cast<db::EmbeddedConnection&>(connection());
        for (const auto& [table, kind] : {std::pair{"MFGISDT", "I"}, std::pair{"MFGRIDT", "R"}})
            embedded.executeSqlite(
                QStringLiteral("CREATE TRIGGER NegativeProbe_%1 AFTER UPDATE OF CostAVG ON %1 "
                               "BEGIN INSERT OR IGNORE INTO NegativeProbe (Kind, Line, Negative) "
                               "SELECT '%2', new.Id, (SELECT Negative FROM Product "
                               "WHERE Id = new.Product); END")
                    .arg(QLatin1String(table), QLatin1String(kind)));
    }

    TempServer server_;
};

class SqlServerCaseDatabase : public CaseDatabase {
public:
    SqlServerCaseDatabase()
        : CaseDatabase(QStringLiteral("CONFORMANCE_MSSQL")),
          testDatabase_(QStringLiteral("stockcost_conformance")) {
        database_.params() = testDatabase_.params().lines();
        createCompanyTables();
    }

    ~SqlServerCaseDatabase() override {
        database_.close();
        try {
            testDatabase_.drop();
        } catch (const db::DatabaseError& error) {
            ADD_FAILURE() << "could not drop " << testDatabase_.name().toStdString() << ": "
                          << error.message().toStdString();
        }
    }

private:
    void createProbeTriggers() override {
        for (const auto& [table, kind] : {std::pair{"MFGISDT", "I"}, std::pair{"MFGRIDT", "R"}})
            connection().executeDirect(
                QStringLiteral("Create Trigger NegativeProbe_%1 On %1 After Update As "
                               "Set NoCount On "
                               "Insert Into NegativeProbe (Kind, Line, Negative) "
                               "Select '%2', i.Id, p.Negative From inserted i "
                               "Left Join Product p On p.Id = i.Product "
                               "Where Not Exists (Select * From NegativeProbe n "
                               "Where n.Kind = '%2' And n.Line = i.Id)")
                    .arg(QLatin1String(table), QLatin1String(kind)));
    }

    MssqlTestDatabase testDatabase_;
};

// Made on first use, dropped after the last test.
class CaseDatabases : public ::testing::Environment {
public:
    static CaseDatabase& of(const QString& engine) {
        auto& database = engine == embeddedEngine ? embedded_ : sqlServer_;
        if (!database) {
            if (engine == embeddedEngine)
                database = std::make_unique<EmbeddedCaseDatabase>();
            else
                database = std::make_unique<SqlServerCaseDatabase>();
        }
        return *database;
    }

    void TearDown() override {
        embedded_.reset();
        sqlServer_.reset();
    }

private:
    static inline std::unique_ptr<CaseDatabase> embedded_;
    static inline std::unique_ptr<CaseDatabase> sqlServer_;
};

[[maybe_unused]] ::testing::Environment* const caseDatabases =
    ::testing::AddGlobalTestEnvironment(new CaseDatabases);

// ---- running a case ------------------------------------------------------------------------

void insertRows(db::Connection& connection, const Table& table) {
    QStringList markers;
    for (qsizetype i = 0; i < table.columns.size(); ++i)
        markers << QStringLiteral("?");
    const QString sql = QStringLiteral("Insert Into %1 (%2) Values (%3)")
                            .arg(table.name, table.columns.join(QStringLiteral(", ")),
                                 markers.join(QStringLiteral(", ")));
    for (const auto& row : table.rows) {
        std::vector<db::SqlValue> values;
        for (const auto& value : row)
            values.push_back(sqlValue(value));
        connection.execute(sql, values);
    }
}

// The procedure's parameters in the order a case gives its arguments; SeekMasterWorkOrder also
// has its output.
QVariant callProcedure(db::Connection& connection, const QJsonArray& call) {
    static const QHash<QString, QStringList> parameters = {
        {QStringLiteral("CALCULATE_AVG1ByProdAndMonth"), {"@Year", "@ProdCode", "@Month"}},
        {QStringLiteral("CALCULATE_AVG4ByProdAndWorkAndMonth"), {"@Year", "@ProdCode", "@Month"}},
        {QStringLiteral("CALCULATE_AVG2ByProdAndMonth"), {"@Year", "@ProdCode", "@Month"}},
        {QStringLiteral("CALCULATE_WorkOrderAVG"), {"@WorkNo"}},
        {QStringLiteral("SeekMasterWorkOrder"), {"@WorkOrderNo"}},
        {QStringLiteral("Calculate_FIFO1"), {"@Year", "@Month", "@PId"}},
        {QStringLiteral("Calculate_FIFO2"), {"@Year", "@Month", "@PId"}},
        {QStringLiteral("CALCULATE_WorkOrderFIFO"), {"@WorkNo"}},
    };
    const QString procedure = call.first().toString();
    const QStringList names = parameters.value(procedure);
    if (names.size() != call.size() - 1)
        throw std::runtime_error("wrong arguments for " + procedure.toStdString());
    std::vector<db::ProcedureParam> params{
        {QStringLiteral("Result"), db::DataType::Integer, db::ParamKind::Result, {}}};
    for (qsizetype i = 0; i < names.size(); ++i) {
        const db::SqlValue value = sqlValue(call[i + 1]);
        params.push_back({names[i], value.type, db::ParamKind::Input, value.value});
    }
    const bool seek = procedure == QLatin1String("SeekMasterWorkOrder");
    if (seek)
        params.push_back({QStringLiteral("@MasterWorkOrderNo"),
                          db::DataType::String,
                          db::ParamKind::Output,
                          {}});
    connection.callProcedure(procedure, params);
    return seek ? params.back().value : QVariant();
}

void expectTable(db::Connection& connection, const Table& expected) {
    const auto result =
        connection.execute(QStringLiteral("Select %1 From %2")
                               .arg(expected.columns.join(QStringLiteral(", ")), expected.name),
                           {});
    std::vector<bool> numeric(size_t(expected.columns.size()), false);
    for (const auto& row : expected.rows) {
        for (qsizetype i = 0; i < row.size(); ++i)
            numeric[size_t(i)] = numeric[size_t(i)] || row[i].isDouble();
    }
    QStringList actualRows;
    for (const auto& row : result.rows) {
        QStringList cells;
        for (qsizetype i = 0; i < row.size(); ++i)
            cells << shown(row[i], i < qsizetype(numeric.size()) && numeric[size_t(i)]);
        actualRows << cells.join(QStringLiteral(" | "));
    }
    QStringList expectedRows;
    for (const auto& row : expected.rows) {
        QStringList cells;
        for (const auto& value : row)
            cells << shown(value);
        expectedRows << cells.join(QStringLiteral(" | "));
    }
    EXPECT_EQ(tableText(actualRows).toStdString(), tableText(expectedRows).toStdString())
        << expected.name.toStdString() << " (" << expected.columns.join(", ").toStdString() << ")";
}

class AvgProcedureConformanceTest : public ::testing::TestWithParam<ConformanceParam> {
protected:
    void SetUp() override {
        if (GetParam().engine == sqlServerEngine && !MssqlTestDatabase::configured())
            GTEST_SKIP() << "STOCKCOST_TEST_MSSQL is not set";
    }
};

TEST_P(AvgProcedureConformanceTest, LeavesTheExpectedRows) {
    const ConformanceCase& test = *GetParam().test;
    ASSERT_TRUE(test.loadError.isEmpty()) << test.loadError.toStdString();
    db::Connection* connection = nullptr;
    try {
        auto& database = CaseDatabases::of(GetParam().engine);
        database.clear();
        connection = &database.connection();
        for (const auto& table : test.rows)
            insertRows(*connection, table);
    } catch (const db::DatabaseError& error) {
        FAIL() << "setting up: " << error.message().toStdString();
    }

    for (qsizetype i = 0; i < test.calls.size(); ++i) {
        const bool failureExpected = !test.error.isEmpty() && i == test.calls.size() - 1;
        const QJsonArray call = test.calls[i].toArray();
        try {
            const QVariant output = callProcedure(*connection, call);
            EXPECT_FALSE(failureExpected)
                << "the call did not fail with " << test.error.toStdString();
            if (i < test.outputs.size()) {
                EXPECT_EQ(shown(output, test.outputs[i].isDouble()).toStdString(),
                          shown(test.outputs[i]).toStdString())
                    << "output of call " << i + 1;
            }
        } catch (const db::DatabaseError& error) {
            if (!failureExpected)
                FAIL() << "call " << i + 1 << " failed: " << error.message().toStdString();
            if (GetParam().engine == sqlServerEngine && test.errorNumber != 0) {
                const auto& entries = error.entries();
                EXPECT_TRUE(std::any_of(
                    entries.begin(), entries.end(),
                    [&](const auto& entry) { return entry.nativeCode == test.errorNumber; }))
                    << test.errorNumber << ": " << error.message().toStdString();
            } else {
                EXPECT_TRUE(error.message().contains(test.error)) << error.message().toStdString();
            }
        }
    }

    for (const auto& table : test.expected)
        expectTable(*connection, table);
}

INSTANTIATE_TEST_SUITE_P(Embedded, AvgProcedureConformanceTest,
                         ::testing::ValuesIn(casesFor(embeddedEngine)), caseName);
INSTANTIATE_TEST_SUITE_P(SqlServer, AvgProcedureConformanceTest,
                         ::testing::ValuesIn(casesFor(sqlServerEngine)), caseName);

} // namespace
