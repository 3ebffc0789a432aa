#include "db/odbc/SqlServerBrowser.h"

#include "db/DatabaseError.h"

#include <QDeadlineTimer>
#include <QHostInfo>
#include <QUdpSocket>

namespace db {

namespace {

constexpr char requestOneInstance = 0x04;
constexpr char serverResponse = 0x05;

DatabaseError connectionFailure(const QString& text) {
    return DatabaseError(std::vector<DatabaseErrorEntry>{{QStringLiteral("08001"), 0, text}});
}

} // namespace

SqlServerBrowser::SqlServerBrowser(quint16 browserPort, int attempts,
                                   std::chrono::milliseconds waitPerAttempt)
    : browserPort_(browserPort), attempts_(attempts), waitPerAttempt_(waitPerAttempt) {}

QByteArray SqlServerBrowser::request(const QString& instance) {
    return requestOneInstance + instance.toUtf8() + '\0';
}

int SqlServerBrowser::tcpPortIn(const QByteArray& answer, const QString& instance) {
    // 0x05, the length of the text (two bytes, low byte first), then the text:
    // "ServerName;HOST;InstanceName;NAME;IsClustered;No;Version;16.0.1000.6;tcp;1433;;"
    // with one such record for each instance the answer describes.
    if (answer.size() < 3 || answer[0] != serverResponse)
        return -1;
    const int length =
        static_cast<unsigned char>(answer[1]) | (static_cast<unsigned char>(answer[2]) << 8);
    const auto text = QString::fromUtf8(answer.mid(3, length));
    const auto fields = text.split(';');
    bool inInstance = false;
    int port = -1;
    for (qsizetype i = 0; i + 1 < fields.size(); i += 2) {
        const auto& key = fields[i];
        const auto& value = fields[i + 1];
        if (key.isEmpty()) {
            // ";;" ends a record; the next one starts one field later.
            if (inInstance)
                return port;
            --i;
            continue;
        }
        if (key.compare(QLatin1String("InstanceName"), Qt::CaseInsensitive) == 0) {
            if (inInstance)
                return port;
            inInstance = value.compare(instance, Qt::CaseInsensitive) == 0;
            if (inInstance)
                port = 0;
        } else if (inInstance && key.compare(QLatin1String("tcp"), Qt::CaseInsensitive) == 0) {
            bool ok = false;
            const int tcp = value.toInt(&ok);
            port = ok && tcp > 0 && tcp <= 65535 ? tcp : 0;
        }
    }
    return inInstance ? port : -1;
}

int SqlServerBrowser::instancePort(const QString& host, const QString& instance) const {
    const auto addresses = QHostInfo::fromName(host).addresses();
    if (addresses.isEmpty())
        throw connectionFailure(QStringLiteral("SQL Server host '%1' not found").arg(host));

    QUdpSocket socket;
    const auto datagram = request(instance);
    for (int attempt = 0; attempt < attempts_; ++attempt) {
        // UDP may lose the request or the answer: ask every address of the host again.
        for (const auto& address : addresses)
            socket.writeDatagram(datagram, address, browserPort_);
        QDeadlineTimer deadline(waitPerAttempt_);
        while (!deadline.hasExpired() &&
               socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
            while (socket.hasPendingDatagrams()) {
                QByteArray answer(static_cast<qsizetype>(socket.pendingDatagramSize()), '\0');
                socket.readDatagram(answer.data(), answer.size());
                const int port = tcpPortIn(answer, instance);
                if (port > 0)
                    return port;
                if (port == 0)
                    throw connectionFailure(
                        QStringLiteral("The SQL Server instance %1 on %2 does not accept TCP/IP "
                                       "connections")
                            .arg(instance, host));
            }
        }
    }
    throw connectionFailure(
        QStringLiteral("The SQL Server Browser on %1 did not answer for the instance %2 (UDP port "
                       "%3): is the Browser service running and the port open?")
            .arg(host, instance)
            .arg(browserPort_));
}

} // namespace db
