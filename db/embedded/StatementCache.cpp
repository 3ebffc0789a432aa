#include "db/embedded/StatementCache.h"

namespace db {

std::shared_ptr<SqliteStatement> StatementCache::statement(sqlite3* database,
                                                           const QByteArray& sql) {
    const auto found = index_.constFind(sql);
    if (found != index_.cend()) {
        entries_.splice(entries_.begin(), entries_, found.value());
        return entries_.front();
    }
    auto statement = std::make_shared<SqliteStatement>(database, sql, true);
    ++prepared_;
    if (entries_.size() >= capacity_) {
        index_.remove(entries_.back()->sql());
        entries_.pop_back();
    }
    entries_.push_front(statement);
    index_.insert(sql, entries_.begin());
    return statement;
}

void StatementCache::clear() {
    index_.clear();
    entries_.clear();
}

} // namespace db
