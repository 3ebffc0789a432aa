#pragma once

#include <QString>
#include <QStringList>

namespace data {

// The suite's connection parameter list: "DATABASE NAME=" line first, then the server, the
// fixed login and the client settings, with the given statement time-out in seconds.
QStringList suiteConnectionParams(const QString& databaseName, const QString& serverName,
                                  int maxQueryTime);

} // namespace data
