#include "db/embedded/SqliteDatabase.h"

#include "db/embedded/EmbeddedErrors.h"

#include <sqlite3.h>

namespace db {

SqliteDatabase::~SqliteDatabase() {
    close();
}

void SqliteDatabase::open(const QString& path, bool create) {
    close();
    // Each connection is used by one thread at a time, so SQLite need not lock it per call.
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
    if (create || path.isEmpty())
        flags |= SQLITE_OPEN_CREATE;
    const QByteArray name = path.isEmpty() ? QByteArray(":memory:") : path.toUtf8();
    const int code = sqlite3_open_v2(name.constData(), &handle_, flags, nullptr);
    if (code != SQLITE_OK) {
        const QString message = handle_ != nullptr ? QString::fromUtf8(sqlite3_errmsg(handle_))
                                                   : QString::fromUtf8(sqlite3_errstr(code));
        close();
        throw EmbeddedErrors::make(QString::number(code), code, message);
    }
    sqlite3_extended_result_codes(handle_, 1);
}

void SqliteDatabase::close() noexcept {
    if (handle_ != nullptr) {
        // close_v2 waits for statements someone still holds instead of failing.
        sqlite3_close_v2(handle_);
        handle_ = nullptr;
    }
}

void SqliteDatabase::executeScript(const char* sql) {
    char* error = nullptr;
    const int code = sqlite3_exec(handle_, sql, nullptr, nullptr, &error);
    if (code != SQLITE_OK) {
        const QString message = QString::fromUtf8(error != nullptr ? error : sqlite3_errstr(code));
        sqlite3_free(error);
        throw EmbeddedErrors::fromSqlite(handle_, sqlite3_extended_errcode(handle_), message,
                                         QByteArray(sql));
    }
}

} // namespace db
