#include "db/odbc/OdbcConnectionString.h"

#include "db/DatabaseError.h"
#include "db/odbc/SqlServerAddress.h"
#include "db/odbc/SqlServerBrowser.h"

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

// FreeTDS reads "host,port" and "host\instance" in SERVER= too, but then sends the server
// name with a zero byte in place of the comma or backslash in its login, and without a port
// it refuses at once when freetds.conf says "tds version = auto". So it gets the two apart.
QString freeTdsServer(const QString& serverName,
                      const OdbcConnectionString::InstancePortLookup& lookup) {
    const auto address = SqlServerAddress::parse(serverName);
    const int port =
        address.needsBrowser() ? lookup(address.host(), address.instance()) : address.port();
    return attribute(QStringLiteral("SERVER"), address.host()) +
           attribute(QStringLiteral("PORT"), QString::number(port));
}

quint16 browserPort(const ConnectionParams& params) {
    bool ok = false;
    const auto port = params.value(QStringLiteral("BROWSER PORT")).trimmed().toUShort(&ok);
    return ok && port > 0 ? port : SqlServerBrowser::defaultPort;
}

} // namespace

QString OdbcConnectionString::build(const ConnectionParams& params) {
    const SqlServerBrowser browser(browserPort(params));
    return build(params, [&browser](const QString& host, const QString& instance) {
        return browser.instancePort(host, instance);
    });
}

QString OdbcConnectionString::build(const ConnectionParams& params,
                                    const InstancePortLookup& lookup) {
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
    const auto serverName = params.value(QStringLiteral("SERVER NAME"));
    QString result = attribute(QStringLiteral("DRIVER"), driver);
    result += isFreeTds(driver) ? freeTdsServer(serverName, lookup)
                                : attribute(QStringLiteral("SERVER"), serverName);
    if (!database.isEmpty())
        result += attribute(QStringLiteral("DATABASE"), database);
    const auto user = overridden("STOCKCOST_DB_USER", params, QStringLiteral("USER NAME"));
    if (!user.isEmpty()) {
        result += attribute(QStringLiteral("UID"), user);
        result += attribute(QStringLiteral("PWD"), overridden("STOCKCOST_DB_PASSWORD", params,
                                                              QStringLiteral("PASSWORD")));
    }
    if (isFreeTds(driver)) {
        // UTF-8 as the client character set, so that text outside Latin-1 survives FreeTDS's
        // narrow conversions.
        result += attribute(QStringLiteral("TDS_Version"), freeTdsVersion);
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

bool OdbcConnectionString::isFreeTds(const QString& driver) {
    return driver.contains(QLatin1String("tds"), Qt::CaseInsensitive);
}

} // namespace db
