#pragma once

#include "db/embedded/SqliteStatement.h"

#include <QByteArray>
#include <QHash>

#include <list>
#include <memory>

struct sqlite3;

namespace db {

// The prepared statements of one connection, keyed by their SQL text, so a statement sent again
// and again is prepared once. Holds at most capacity statements and drops the one used least
// recently when full.
class StatementCache {
public:
    explicit StatementCache(std::size_t capacity = 64) : capacity_(capacity) {}

    // The statement for sql, prepared on first use. Preparation errors are thrown and nothing
    // is kept.
    std::shared_ptr<SqliteStatement> statement(sqlite3* database, const QByteArray& sql);

    std::size_t size() const { return entries_.size(); }
    // How many statements had to be prepared so far; a hit does not count.
    std::size_t preparedCount() const { return prepared_; }
    void clear();

private:
    using Entry = std::shared_ptr<SqliteStatement>;

    std::size_t capacity_;
    std::size_t prepared_ = 0;
    std::list<Entry> entries_; // most recently used first
    QHash<QByteArray, std::list<Entry>::iterator> index_;
};

} // namespace db
