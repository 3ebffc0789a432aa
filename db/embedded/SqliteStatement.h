#pragma once

#include "db/Connection.h"
#include "db/SqlValue.h"

#include <QByteArray>

#include <span>

struct sqlite3;
struct sqlite3_stmt;

namespace db {

// One prepared SQLite statement, finalized with the object. Running it binds the values to its
// '?' markers in order and reads every row; afterwards the statement is reset with its
// bindings cleared, ready for the next run, whether the run succeeded or not.
class SqliteStatement {
public:
    // persistent tells SQLite the statement will be kept and reused.
    SqliteStatement(sqlite3* database, const QByteArray& sql, bool persistent);
    ~SqliteStatement();

    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    const QByteArray& sql() const { return sql_; }
    int parameterCount() const;
    // The prepared statement itself, for callers that bind and read values of their own.
    sqlite3_stmt* handle() const { return handle_; }

    // Columns declared with a date or time type come back as QDateTime, declared decimals and
    // money as double; otherwise the value's own storage class decides.
    ResultSet run(std::span<const SqlValue> values);

private:
    enum class ColumnKind { Stored, DateTime, Decimal, Expression };

    void bind(int index, const SqlValue& value);
    ColumnKind columnKind(int column) const;
    QVariant columnValue(int column, ColumnKind kind) const;
    [[noreturn]] void fail(int code);

    sqlite3* database_ = nullptr;
    sqlite3_stmt* handle_ = nullptr;
    QByteArray sql_;
};

} // namespace db
