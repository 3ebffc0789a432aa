#include "db/ConnectionFactory.h"

#include "db/embedded/EmbeddedConnection.h"
#include "db/odbc/OdbcConnection.h"

namespace db {

std::unique_ptr<Connection> openConnection(const ConnectionParams& params) {
    const auto server = params.value(QStringLiteral("SERVER NAME"));
    const auto database = params.value(QStringLiteral("DATABASE NAME"));
    if (isEmbeddedServerName(server))
        return std::make_unique<EmbeddedConnection>(embeddedServerDirectory(server), database);
    return std::make_unique<OdbcConnection>(params);
}

} // namespace db
