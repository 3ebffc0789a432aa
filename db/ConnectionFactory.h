#pragma once

#include "db/Connection.h"
#include "db/ConnectionParams.h"

#include <memory>

namespace db {

// Opens a driver connection for a parameter list. "SERVER NAME" chooses the driver: an
// embedded server name ("embedded:<directory>") opens the embedded engine, anything else
// SQL Server over ODBC. "DATABASE NAME" names the database.
std::unique_ptr<Connection> openConnection(const ConnectionParams& params);

} // namespace db
