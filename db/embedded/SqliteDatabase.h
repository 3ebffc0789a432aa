#pragma once

#include <QString>

struct sqlite3;

namespace db {

// An open SQLite database handle, closed with the object.
class SqliteDatabase {
public:
    SqliteDatabase() = default;
    ~SqliteDatabase();

    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;

    // Opens a database file (an empty path: a private in-memory database). With create the
    // file is made when it is missing. Extended result codes are switched on.
    void open(const QString& path, bool create);
    void close() noexcept;

    sqlite3* handle() const { return handle_; }

    // Runs fixed set-up texts that take no values (pragmas, catalog views).
    void executeScript(const char* sql);

private:
    sqlite3* handle_ = nullptr;
};

} // namespace db
