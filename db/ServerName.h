#pragma once

#include <QString>

namespace db {

// The server the suite's programs use when Server.Dat names none.
inline const QString defaultServerName = QStringLiteral("TRQSERVER");

// The first line of the file (without its line end, otherwise exactly as written), or the
// empty text when the file cannot be opened. A read error after a successful open raises
// std::runtime_error.
QString readFirstLine(const QString& path);

// The server named by Server.Dat in the working directory, or the default server name.
QString configuredServerName();

} // namespace db
