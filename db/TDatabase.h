#pragma once

#include "db/Connection.h"
#include "db/ConnectionParams.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace db {

class Session;

// A connection looked up by its alias. Before each connect the before-connect hook fills the
// parameter list ("KEY=value" lines); once open, the after-connect hook runs. Anything bound
// to the alias opens it on first use. Closing it closes the queries bound to it.
class TDatabase {
public:
    using Hook = std::function<void(TDatabase&)>;

    explicit TDatabase(QString databaseName, Session* session = nullptr);
    ~TDatabase();

    TDatabase(const TDatabase&) = delete;
    TDatabase& operator=(const TDatabase&) = delete;

    const QString& databaseName() const { return databaseName_; }
    QStringList& params() { return params_; }
    const QStringList& params() const { return params_; }

    void setBeforeConnect(Hook hook) { beforeConnect_ = std::move(hook); }
    void setAfterConnect(Hook hook) { afterConnect_ = std::move(hook); }

    // Connects unless already connected. When the after-connect hook fails the connection
    // stays open and its error goes on to the caller.
    void open();
    void close() noexcept;
    bool connected() const { return connection_ != nullptr; }

    // The open connection, opened first when needed.
    Connection& connection();

    // An explicit transaction around several statements; the system itself runs in autocommit.
    void startTransaction();
    void commit();
    void rollback() noexcept;
    bool inTransaction() const { return inTransaction_; }

private:
    QString databaseName_;
    Session* session_;
    QStringList params_;
    Hook beforeConnect_;
    Hook afterConnect_;
    std::unique_ptr<Connection> connection_;
    bool inTransaction_ = false;
};

} // namespace db
