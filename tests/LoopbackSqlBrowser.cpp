#include "LoopbackSqlBrowser.h"

#include <QDeadlineTimer>
#include <QUdpSocket>

LoopbackSqlBrowser::LoopbackSqlBrowser(QString instance, quint16 tcpPort,
                                       std::chrono::seconds lifetime)
    : instance_(std::move(instance)), tcpPort_(tcpPort), lifetime_(lifetime) {
    thread_ = std::thread([this] { serve(); });
    std::unique_lock lock(mutex_);
    bound_.wait_for(lock, std::chrono::seconds(10), [this] { return started_; });
}

LoopbackSqlBrowser::~LoopbackSqlBrowser() {
    stop_ = true;
    thread_.join();
}

QStringList LoopbackSqlBrowser::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void LoopbackSqlBrowser::serve() {
    QUdpSocket socket;
    const bool bound = socket.bind(QHostAddress::LocalHost, 0);
    {
        std::lock_guard lock(mutex_);
        port_ = bound ? socket.localPort() : 0;
        started_ = true;
    }
    bound_.notify_all();
    if (!bound)
        return;

    const QDeadlineTimer end(lifetime_);
    while (!stop_ && !end.hasExpired()) {
        if (!socket.waitForReadyRead(50))
            continue;
        while (socket.hasPendingDatagrams()) {
            QByteArray request(qsizetype(socket.pendingDatagramSize()), '\0');
            QHostAddress sender;
            quint16 senderPort = 0;
            socket.readDatagram(request.data(), request.size(), &sender, &senderPort);
            if (request.isEmpty() || request[0] != 0x04)
                continue;
            const auto asked = QString::fromUtf8(request.mid(1)).remove(QChar(0));
            {
                std::lock_guard lock(mutex_);
                requests_ << asked;
            }
            if (asked.compare(instance_, Qt::CaseInsensitive) != 0)
                continue;
            const auto text = QStringLiteral("ServerName;LOOPBACK;InstanceName;%1;IsClustered;No;"
                                             "Version;16.0.1000.6;tcp;%2;;")
                                  .arg(instance_.toUpper())
                                  .arg(tcpPort_)
                                  .toUtf8();
            QByteArray answer;
            answer.append(char(0x05));
            answer.append(char(text.size() & 0xFF)).append(char(text.size() >> 8));
            socket.writeDatagram(answer + text, sender, senderPort);
        }
    }
}
