#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

// A stand-in for the SQL Server Browser on 127.0.0.1 (a UDP port of its own instead of 1434):
// it answers a request for its one instance with that instance's TCP port and stays silent on
// any other, as the Browser does. It records every instance asked for and stops by itself
// after its lifetime or when the object goes.
class LoopbackSqlBrowser {
public:
    LoopbackSqlBrowser(QString instance, quint16 tcpPort,
                       std::chrono::seconds lifetime = std::chrono::seconds(30));
    ~LoopbackSqlBrowser();

    LoopbackSqlBrowser(const LoopbackSqlBrowser&) = delete;
    LoopbackSqlBrowser& operator=(const LoopbackSqlBrowser&) = delete;

    // The UDP port it answers on; 0 when it could not bind one.
    quint16 port() const { return port_; }
    QStringList requests() const;

private:
    void serve();

    QString instance_;
    quint16 tcpPort_;
    std::chrono::seconds lifetime_;
    quint16 port_ = 0;
    std::atomic<bool> stop_{false};

    mutable std::mutex mutex_;
    std::condition_variable bound_;
    bool started_ = false;
    QStringList requests_;

    std::thread thread_;
};
