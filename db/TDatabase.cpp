#include "db/TDatabase.h"

#include "db/ConnectionFactory.h"
#include "db/Session.h"
#include "db/embedded/EmbeddedConnection.h"

namespace db {

TDatabase::TDatabase(QString databaseName, Session* session)
    : databaseName_(std::move(databaseName)),
      session_(session ? session : &Session::defaultSession()) {
    session_->addDatabase(this);
}

TDatabase::~TDatabase() {
    close();
    session_->removeDatabase(this);
}

void TDatabase::open() {
    if (connection_)
        return;
    if (beforeConnect_)
        beforeConnect_(*this);
    connection_ = openConnection(ConnectionParams(params_));
    if (afterConnect_)
        afterConnect_(*this);
}

void TDatabase::close() noexcept {
    if (!connection_)
        return;
    session_->closeQueriesOf(databaseName_);
    connection_.reset();
    inTransaction_ = false;
}

Connection& TDatabase::connection() {
    open();
    return *connection_;
}

void TDatabase::startTransaction() {
    auto& open = connection();
    // SQLite cannot wait for another connection's lock in a transaction that has read already:
    // the first write would fail at once. The embedded engine's transaction therefore takes the
    // write lock when it begins, waiting for it as a single statement does.
    if (auto* embedded = dynamic_cast<EmbeddedConnection*>(&open))
        embedded->executeSqlite(QStringLiteral("BEGIN IMMEDIATE"));
    else
        open.executeDirect(QStringLiteral("BEGIN TRANSACTION"));
    inTransaction_ = true;
}

void TDatabase::commit() {
    if (!inTransaction_)
        return;
    connection().executeDirect(QStringLiteral("COMMIT TRANSACTION"));
    inTransaction_ = false;
}

void TDatabase::rollback() noexcept {
    if (!inTransaction_ || !connection_)
        return;
    inTransaction_ = false;
    try {
        connection_->executeDirect(QStringLiteral("ROLLBACK TRANSACTION"));
    } catch (...) {
        // The server has already ended the transaction when its connection broke.
    }
}

} // namespace db
