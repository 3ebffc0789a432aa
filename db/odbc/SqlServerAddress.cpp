#include "db/odbc/SqlServerAddress.h"

#include "db/DatabaseError.h"

namespace db {

namespace {

DatabaseError invalidName(const QString& serverName, const QString& reason) {
    return DatabaseError::fromComponent(
        QStringLiteral("ODBC"),
        QStringLiteral("Invalid SQL Server name '%1': %2").arg(serverName, reason));
}

} // namespace

SqlServerAddress SqlServerAddress::parse(const QString& serverName) {
    QString rest = serverName.trimmed();
    // Microsoft's drivers take a protocol in front: tcp, np (named pipes) or lpc (shared
    // memory). Only TCP reaches a server from here.
    const auto colon = rest.indexOf(':');
    if (colon > 0 && !rest.left(colon).contains('\\') && !rest.left(colon).contains(',')) {
        const auto protocol = rest.left(colon).trimmed();
        if (protocol.compare(QLatin1String("tcp"), Qt::CaseInsensitive) == 0)
            rest = rest.mid(colon + 1).trimmed();
        else if (protocol.compare(QLatin1String("np"), Qt::CaseInsensitive) == 0 ||
                 protocol.compare(QLatin1String("lpc"), Qt::CaseInsensitive) == 0)
            throw invalidName(serverName, QStringLiteral("only TCP connections are possible"));
        // Anything else is part of the host, as in an IPv6 address.
    }

    SqlServerAddress address;
    const auto comma = rest.lastIndexOf(',');
    if (comma >= 0) {
        const auto portText = rest.mid(comma + 1).trimmed();
        bool ok = false;
        const int port = portText.toInt(&ok);
        if (!ok || port < 1 || port > 65535 || portText.startsWith('+'))
            throw invalidName(
                serverName, QStringLiteral("'%1' is not a port number (1 to 65535)").arg(portText));
        address.port_ = port;
        rest = rest.left(comma);
    }

    const auto backslash = rest.indexOf('\\');
    if (backslash >= 0) {
        address.instance_ = rest.mid(backslash + 1).trimmed();
        if (address.instance_.isEmpty())
            throw invalidName(serverName, QStringLiteral("no instance name after '\\'"));
        rest = rest.left(backslash);
    } else if (address.port_ == 0) {
        address.port_ = defaultPort;
    }

    address.host_ = rest.trimmed();
    if (address.host_.isEmpty())
        throw invalidName(serverName, QStringLiteral("no host name"));
    if (address.host_ == QLatin1String(".") ||
        address.host_.compare(QLatin1String("(local)"), Qt::CaseInsensitive) == 0)
        address.host_ = QStringLiteral("localhost");
    return address;
}

} // namespace db
