#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

// A stand-in for SQL Server on 127.0.0.1, for tests of what the ODBC driver (FreeTDS) really
// sends and of how the layer copes with a server that stops answering. It speaks just enough
// TDS: it answers the pre-login, records the login packet and refuses or accepts it, answers
// each SQL batch with "done" (or, for a SELECT, with the result it was given) and keeps quiet
// on a batch holding the hang text, as a statement that runs on. It runs on a thread of its
// own, takes a bounded number of connections, and stops by itself after its lifetime or when
// the object goes.
class LoopbackTdsServer {
public:
    enum class Login { Refuse, Accept };

    // One column of the result a SELECT gets: decimal(precision, scale), or money when
    // precision is 0. Values are decimal texts; an empty text is null.
    struct Column {
        QString name;
        int precision = 0;
        int scale = 4;
    };

    struct Options {
        Login login = Login::Refuse;
        // A batch holding this text is never answered.
        QString hangOn = QStringLiteral("WAITFOR");
        // Whether a cancel (attention) is acknowledged.
        bool acknowledgeAttention = true;
        std::vector<Column> columns;
        std::vector<QStringList> rows;
        int maxConnections = 4;
        std::chrono::seconds lifetime{30};
    };

    // What the client sent when it logged in.
    struct LoginRecord {
        QByteArray preLogin;
        QString preLoginInstance;
        quint32 tdsVersion = 0;
        QString hostName;
        QString userName;
        QString password;
        QString appName;
        QString serverName;
        QString database;
    };

    explicit LoopbackTdsServer(Options options);
    ~LoopbackTdsServer();

    LoopbackTdsServer(const LoopbackTdsServer&) = delete;
    LoopbackTdsServer& operator=(const LoopbackTdsServer&) = delete;

    // The TCP port it listens on; 0 when it could not listen.
    quint16 port() const { return port_; }

    std::vector<LoginRecord> logins() const;
    QStringList batches() const;
    int attentions() const;

private:
    struct Client;

    void serve();
    void handle(Client& client, quint8 type, const QByteArray& payload);
    void answer(Client& client, const QByteArray& tokens) const;
    QByteArray resultTokens() const;

    Options options_;
    quint16 port_ = 0;
    std::atomic<bool> stop_{false};

    mutable std::mutex mutex_;
    std::condition_variable listening_;
    bool started_ = false;
    std::vector<LoginRecord> logins_;
    QStringList batches_;
    int attentions_ = 0;

    std::thread thread_;
};
