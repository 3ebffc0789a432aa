#include "db/odbc/OdbcConnectionString.h"

#include "db/DatabaseError.h"

namespace db {

namespace {

QString attribute(const QString& key, const QString& value) {
    return key + '=' + OdbcConnectionString::quote(value) + ';';
}

// An environment variable that overrides a line of the list when it is set, even to "".
QString overridden(const char* variable, const ConnectionParams& params, const QString& key) {
    if (qEnvironmentVariableIsSet(variable))
        return qEnvironmentVariable(variable);
    return params.value(key);
}

// FreeTDS needs the protocol version for SQL Server 2008 and later, and UTF-8 as the client
// character set so that text outside Latin-1 survives its narrow conversions.
bool isFreeTds(const QString& driver) {
    return driver.contains(QLatin1String("tds"), Qt::CaseInsensitive);
}

} // namespace

QString OdbcConnectionString::build(const ConnectionParams& params) {
    const auto database = params.value(QStringLiteral("DATABASE NAME"));
    const auto base = params.value(QStringLiteral("ODBC CONNECTION STRING"));
    if (!base.isEmpty()) {
        QString result = base;
        if (!result.endsWith(';'))
            result += ';';
        if (!database.isEmpty())
            result += attribute(QStringLiteral("DATABASE"), database);
        return result;
    }

    const auto driver = driverName();
    QString result = attribute(QStringLiteral("DRIVER"), driver);
    result += attribute(QStringLiteral("SERVER"), params.value(QStringLiteral("SERVER NAME")));
    if (!database.isEmpty())
        result += attribute(QStringLiteral("DATABASE"), database);
    const auto user = overridden("STOCKCOST_DB_USER", params, QStringLiteral("USER NAME"));
    if (!user.isEmpty()) {
        result += attribute(QStringLiteral("UID"), user);
        result += attribute(QStringLiteral("PWD"), overridden("STOCKCOST_DB_PASSWORD", params,
                                                              QStringLiteral("PASSWORD")));
    }
    if (isFreeTds(driver)) {
        result += attribute(QStringLiteral("TDS_Version"), QStringLiteral("7.3"));
        result += attribute(QStringLiteral("ClientCharset"), QStringLiteral("UTF-8"));
    }
    return result;
}

QString OdbcConnectionString::quote(const QString& value) {
    if (value.contains(QLatin1String("};")) || value.contains(QChar(0)))
        throw DatabaseError::fromComponent(
            QStringLiteral("ODBC"),
            QStringLiteral("A connection value may not contain \"};\" or a null character"));
    QString escaped = value;
    escaped.replace('}', QLatin1String("}}"));
    return '{' + escaped + '}';
}

QString OdbcConnectionString::driverName() {
    auto driver = qEnvironmentVariable("STOCKCOST_ODBC_DRIVER");
    if (!driver.isEmpty())
        return driver;
#ifdef Q_OS_WIN
    return QStringLiteral("SQL Server");
#else
    return QStringLiteral("FreeTDS");
#endif
}

} // namespace db
