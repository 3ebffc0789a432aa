#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>

namespace db {

// Asks the SQL Server Browser of a host which TCP port a named instance listens on, as
// Microsoft's drivers and FreeTDS do before they connect to "host\instance": one UDP request
// for that instance, sent again when no answer comes, for a bounded time.
class SqlServerBrowser {
public:
    static constexpr quint16 defaultPort = 1434;

    explicit SqlServerBrowser(quint16 browserPort = defaultPort, int attempts = 3,
                              std::chrono::milliseconds waitPerAttempt = std::chrono::seconds(1));

    // The instance's TCP port. Throws a DatabaseError (SQLSTATE 08001) when the host is not
    // found, the Browser does not answer, or the instance does not listen on TCP.
    int instancePort(const QString& host, const QString& instance) const;

    // The request for one instance: 0x04 and the instance name ending in a zero byte.
    static QByteArray request(const QString& instance);
    // The TCP port the Browser's answer gives for the instance: 0 when the answer describes
    // the instance without a TCP port, -1 when it is no answer about that instance.
    static int tcpPortIn(const QByteArray& answer, const QString& instance);

private:
    quint16 browserPort_;
    int attempts_;
    std::chrono::milliseconds waitPerAttempt_;
};

} // namespace db
