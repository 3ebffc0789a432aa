#include "db/odbc/OdbcConnection.h"

#include "db/odbc/OdbcConnectionString.h"
#include "db/odbc/OdbcProcedureBatch.h"

#include <sql.h>
#include <sqlext.h>

namespace db {

namespace {

// How long a connect waits for the server before giving up.
constexpr SQLULEN loginTimeoutSeconds = 30;

// MAX QUERY TIME in seconds; none (0) when missing, not a number or not positive.
int queryTimeout(const ConnectionParams& params) {
    bool ok = false;
    const int seconds = params.value(QStringLiteral("MAX QUERY TIME")).trimmed().toInt(&ok);
    return ok && seconds > 0 ? seconds : 0;
}

bool hasState(const DatabaseError& error, const QLatin1String& state) {
    for (const auto& entry : error.entries()) {
        if (entry.code == state)
            return true;
    }
    return false;
}

// The time-out as the suite's error handler knows it, in front of the driver's own entries.
DatabaseError timedOut(const DatabaseError& error, int seconds) {
    std::vector<DatabaseErrorEntry> entries{
        {QStringLiteral("HYT00"), 0,
         QStringLiteral("SQL Server connection timed out: the statement ran longer than MAX "
                        "QUERY TIME (%1 seconds)")
             .arg(seconds)}};
    entries.insert(entries.end(), error.entries().begin(), error.entries().end());
    return DatabaseError(std::move(entries));
}

// A type as a variable declaration takes it: "char(20)", "nvarchar(max)", "decimal(28,4)".
// The catalog gives the length of n-types in bytes and -1 for max.
QString declaredType(const QString& type, int maxLength, int precision, int scale) {
    const auto name = type.toLower();
    const auto length = [&](int bytesPerCharacter) {
        return maxLength < 0 ? QStringLiteral("(max)")
                             : QStringLiteral("(%1)").arg(maxLength / bytesPerCharacter);
    };
    if (name == QLatin1String("char") || name == QLatin1String("varchar") ||
        name == QLatin1String("binary") || name == QLatin1String("varbinary"))
        return name + length(1);
    if (name == QLatin1String("nchar") || name == QLatin1String("nvarchar"))
        return name + length(2);
    if (name == QLatin1String("decimal") || name == QLatin1String("numeric"))
        return QStringLiteral("%1(%2,%3)").arg(name).arg(precision).arg(scale);
    if (name == QLatin1String("datetime2") || name == QLatin1String("time") ||
        name == QLatin1String("datetimeoffset"))
        return QStringLiteral("%1(%2)").arg(name).arg(scale);
    return name;
}

DatabaseError procedureNotFound(const QString& name) {
    return DatabaseError(std::vector<DatabaseErrorEntry>{
        {QStringLiteral("42000"), 2812,
         QStringLiteral("Could not find stored procedure '%1'.").arg(name)}});
}

} // namespace

OdbcConnection::OdbcConnection(const ConnectionParams& params)
    : params_(params), environment_(SQL_HANDLE_ENV, nullptr), queryTimeout_(queryTimeout(params)) {
    environment_.check(SQLSetEnvAttr(environment_.get(), SQL_ATTR_ODBC_VERSION,
                                     reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
                       "SQLSetEnvAttr");
    connect();
}

OdbcConnection::~OdbcConnection() = default;

void OdbcConnection::connect() {
    // Built at every connect: a named instance may listen on another port after a restart.
    const auto text = OdbcConnectionString::build(params_);
    // The old session goes first, so its socket is closed before a new one opens.
    connection_ = OdbcHandle();
    OdbcHandle connection(SQL_HANDLE_DBC, &environment_);
    connection.check(SQLSetConnectAttrW(connection.get(), SQL_ATTR_LOGIN_TIMEOUT,
                                        reinterpret_cast<SQLPOINTER>(loginTimeoutSeconds), 0),
                     "SQLSetConnectAttrW");
    const auto rc = SQLDriverConnectW(
        connection.get(), nullptr,
        const_cast<SQLWCHAR*>(reinterpret_cast<const SQLWCHAR*>(text.utf16())),
        static_cast<SQLSMALLINT>(text.size()), nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
    connection.check(rc, "SQLDriverConnectW");
    connection.check(SQLSetConnectAttrW(connection.get(), SQL_ATTR_AUTOCOMMIT,
                                        reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0),
                     "SQLSetConnectAttrW");
    // Date literals written 'YYYY-MM-DD' then mean the same whatever the login's language.
    OdbcStatement(connection, queryTimeout_)
        .run(QStringLiteral("SET DATEFORMAT ymd"), {}, OdbcStatement::Keep::None);
    connection_ = std::move(connection);
}

ResultSet OdbcConnection::run(const QString& sql, const std::vector<SqlValue>& values,
                              OdbcStatement::Keep keep) {
    if (sessionLost_) {
        connect();
        sessionLost_ = false;
        ++reconnects_;
    }
    try {
        OdbcStatement statement(connection_, queryTimeout_);
        return statement.run(sql, values, keep);
    } catch (const DatabaseError& error) {
        if (hasState(error, QLatin1String("HYT00"))) {
            sessionLost_ = true;
            throw timedOut(error, queryTimeout_);
        }
        if (hasState(error, QLatin1String("08S01")))
            sessionLost_ = true;
        throw;
    }
}

ResultSet OdbcConnection::execute(const QString& sql, const std::vector<SqlValue>& params) {
    return run(sql, params, OdbcStatement::Keep::FirstRows);
}

void OdbcConnection::executeDirect(const QString& sql) {
    run(sql, {}, OdbcStatement::Keep::None);
}

int OdbcConnection::callProcedure(const QString& name, std::vector<ProcedureParam>& params) {
    // A procedure the catalog does not know is still called: the server's own error says so.
    const auto declared = declaredParameters(name);
    const OdbcProcedureBatch batch(name, params,
                                   declared ? *declared : std::vector<ProcedureParameter>());
    const auto result = run(batch.sql(), batch.values(), OdbcStatement::Keep::LastRows);
    return batch.readOutputs(result, params);
}

std::vector<ProcedureParameter> OdbcConnection::procedureParameters(const QString& name) {
    auto declared = declaredParameters(name);
    if (!declared)
        throw procedureNotFound(name);
    return *declared;
}

std::optional<std::vector<ProcedureParameter>>
OdbcConnection::declaredParameters(const QString& name) {
    const auto key = name.toLower();
    const auto cached = parameters_.constFind(key);
    if (cached != parameters_.constEnd())
        return *cached;

    // One row for a procedure without parameters (its name null), none for no procedure.
    const auto result =
        run(QStringLiteral("Select P.name, Type_Name(P.system_type_id), P.max_length, P.precision, "
                           "P.scale, P.is_output From sys.objects O "
                           "Left Join sys.parameters P On P.object_id = O.object_id "
                           "And P.parameter_id > 0 "
                           "Where O.object_id = Object_Id(?) And O.type In ('P', 'PC', 'X') "
                           "Order By P.parameter_id"),
            {SqlValue{DataType::String, name}}, OdbcStatement::Keep::FirstRows);
    if (result.rows.empty())
        return std::nullopt;
    std::vector<ProcedureParameter> parameters;
    for (const auto& row : result.rows) {
        if (row.value(0).isNull())
            continue;
        parameters.push_back({row.value(0).toString(),
                              declaredType(row.value(1).toString(), row.value(2).toInt(),
                                           row.value(3).toInt(), row.value(4).toInt()),
                              row.value(5).toInt() != 0});
    }
    parameters_.insert(key, parameters);
    return parameters;
}

} // namespace db
