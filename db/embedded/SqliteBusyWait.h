#pragma once

#include <chrono>

struct sqlite3;

namespace db {

// What an embedded connection does when another connection has locked its database: the
// statement tries again every few milliseconds for up to the wait limit (30 seconds unless
// changed), and once it has waited half a second it tells the thread's LockWaitListener how
// long, again at every retry, so a run shows that it is waiting. After the limit SQLite gives
// up with SQLITE_BUSY, which EmbeddedErrors words as a lock time-out.
class SqliteBusyWait {
public:
    // Makes this the busy handler of the connection.
    static void install(sqlite3* database);

    // For every connection of the process, from its next wait on.
    static std::chrono::milliseconds limit();
    static void setLimit(std::chrono::milliseconds limit);

private:
    // SQLite's busy handler: attempt counts from 0 for each new wait; 0 gives up.
    static int retry(void* database, int attempt) noexcept;
};

} // namespace db
