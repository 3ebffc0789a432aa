#pragma once

#include "db/ConnectionParams.h"

#include <QString>

namespace db {

// The ODBC connection string of a connection's parameter list. Every value is quoted, so a
// name from the command line or Server.Dat cannot add attributes.
class OdbcConnectionString {
public:
    // "DRIVER={..};SERVER={..};DATABASE={..};UID={..};PWD={..};" from the list's SERVER NAME,
    // DATABASE NAME, USER NAME and PASSWORD (the login overridden by STOCKCOST_DB_USER and
    // STOCKCOST_DB_PASSWORD when set), the driver from STOCKCOST_ODBC_DRIVER. With an
    // ODBC CONNECTION STRING line, that string as it stands plus the DATABASE NAME.
    static QString build(const ConnectionParams& params);

    // "{value}" with every "}" doubled. A value holding "};" is refused with a DatabaseError:
    // FreeTDS ends a quoted value at the first "};" and does not undo the doubling, so such a
    // value could still add attributes there.
    static QString quote(const QString& value);

    // The ODBC driver to use: STOCKCOST_ODBC_DRIVER, or the platform's default.
    static QString driverName();
};

} // namespace db
