#include "db/ConnectionFactory.h"

#include "db/embedded/EmbeddedConnection.h"
#include "db/embedded/EmbeddedServer.h"
#include "db/odbc/OdbcConnection.h"

namespace db {

std::unique_ptr<Connection> openConnection(const ConnectionParams& params) {
    const auto server = params.value(QStringLiteral("SERVER NAME"));
    const auto database = params.value(QStringLiteral("DATABASE NAME"));
    if (isEmbeddedServerName(server)) {
        // What is wrong with the directory, rather than only that there is no server.
        const auto directory = embeddedServerDirectory(server);
        EmbeddedServer::requireUsable(directory);
        return std::make_unique<EmbeddedConnection>(directory, database);
    }
    return std::make_unique<OdbcConnection>(params);
}

} // namespace db
