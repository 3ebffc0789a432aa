#pragma once

#include "db/ConnectionParams.h"

#include <QString>

#include <functional>

namespace db {

// The ODBC connection string of a connection's parameter list. Every value is quoted, so a
// name from the command line or Server.Dat cannot add attributes.
class OdbcConnectionString {
public:
    // The TCP port of a named instance on a host.
    using InstancePortLookup = std::function<int(const QString& host, const QString& instance)>;

    // "DRIVER={..};SERVER={..};...;DATABASE={..};UID={..};PWD={..};" from the list's SERVER NAME,
    // DATABASE NAME, USER NAME and PASSWORD (the login overridden by STOCKCOST_DB_USER and
    // STOCKCOST_DB_PASSWORD when set), the driver from STOCKCOST_ODBC_DRIVER. FreeTDS is given
    // the host and the port as attributes of their own ("SERVER={host};PORT={1433};"), a
    // named instance's port asked from the SQL Server Browser (on the list's BROWSER PORT,
    // 1434 when there is none) and its protocol version and character set; other drivers take
    // the server name as written, which they read themselves. With an ODBC CONNECTION STRING
    // line, that string as it stands plus the DATABASE NAME.
    static QString build(const ConnectionParams& params);
    // The same with the instance's port found by lookup.
    static QString build(const ConnectionParams& params, const InstancePortLookup& lookup);

    // "{value}" with every "}" doubled. A value holding "};" is refused with a DatabaseError:
    // FreeTDS ends a quoted value at the first "};" and does not undo the doubling, so such a
    // value could still add attributes there.
    static QString quote(const QString& value);

    // The ODBC driver to use: STOCKCOST_ODBC_DRIVER, or the platform's default.
    static QString driverName();
    // Whether the driver is FreeTDS, which needs the host and the port apart.
    static bool isFreeTds(const QString& driver);

    // The protocol version given to FreeTDS: 7.3, spoken by SQL Server 2008 and later.
    static inline const QString freeTdsVersion = QStringLiteral("7.3");
};

} // namespace db
