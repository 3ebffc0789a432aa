#include "db/odbc/OdbcConnection.h"

#include "db/odbc/OdbcConnectionString.h"
#include "db/odbc/OdbcProcedureBatch.h"
#include "db/odbc/OdbcStatement.h"

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

} // namespace

OdbcConnection::OdbcConnection(const ConnectionParams& params)
    : environment_(SQL_HANDLE_ENV, nullptr), queryTimeout_(queryTimeout(params)) {
    environment_.check(SQLSetEnvAttr(environment_.get(), SQL_ATTR_ODBC_VERSION,
                                     reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
                       "SQLSetEnvAttr");
    connection_ = OdbcHandle(SQL_HANDLE_DBC, &environment_);
    connection_.check(SQLSetConnectAttrW(connection_.get(), SQL_ATTR_LOGIN_TIMEOUT,
                                         reinterpret_cast<SQLPOINTER>(loginTimeoutSeconds), 0),
                      "SQLSetConnectAttrW");

    const auto text = OdbcConnectionString::build(params);
    const auto rc = SQLDriverConnectW(
        connection_.get(), nullptr,
        const_cast<SQLWCHAR*>(reinterpret_cast<const SQLWCHAR*>(text.utf16())),
        static_cast<SQLSMALLINT>(text.size()), nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
    connection_.check(rc, "SQLDriverConnectW");

    connection_.check(SQLSetConnectAttrW(connection_.get(), SQL_ATTR_AUTOCOMMIT,
                                         reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0),
                      "SQLSetConnectAttrW");
    // Date literals written 'YYYY-MM-DD' then mean the same whatever the login's language.
    executeDirect(QStringLiteral("SET DATEFORMAT ymd"));
}

OdbcConnection::~OdbcConnection() = default;

ResultSet OdbcConnection::execute(const QString& sql, const std::vector<SqlValue>& params) {
    OdbcStatement statement(connection_, queryTimeout_);
    return statement.run(sql, params, OdbcStatement::Keep::FirstRows);
}

void OdbcConnection::executeDirect(const QString& sql) {
    OdbcStatement statement(connection_, queryTimeout_);
    statement.run(sql, {}, OdbcStatement::Keep::None);
}

int OdbcConnection::callProcedure(const QString& name, std::vector<ProcedureParam>& params) {
    const OdbcProcedureBatch batch(name, params);
    OdbcStatement statement(connection_, queryTimeout_);
    const auto result = statement.run(batch.sql(), batch.values(), OdbcStatement::Keep::LastRows);
    return batch.readOutputs(result, params);
}

std::vector<ProcedureParameter> OdbcConnection::procedureParameters(const QString& name) {
    const auto result = execute(
        QStringLiteral("Select P.name, Type_Name(P.user_type_id), P.max_length, P.precision, "
                       "P.scale, P.is_output From sys.parameters P "
                       "Where P.object_id = Object_Id(?) And P.parameter_id > 0 "
                       "Order By P.parameter_id"),
        {SqlValue{DataType::String, name}});
    std::vector<ProcedureParameter> parameters;
    for (const auto& row : result.rows)
        parameters.push_back(
            {row.value(0).toString(), row.value(1).toString(), row.value(5).toInt() != 0});
    return parameters;
}

} // namespace db
