#include "db/embedded/SqliteBusyWait.h"

#include "db/LockWaitListener.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QString>

#include <sqlite3.h>

#include <algorithm>
#include <atomic>

namespace db {

namespace {

using std::chrono::milliseconds;

std::atomic<long long> limitMilliseconds{30000};
// Waits this short are an ordinary part of sharing a database and are not reported.
constexpr milliseconds reportAfter{500};
constexpr int longestSleepMilliseconds = 20;

// A connection waits on its own thread, one statement at a time: this is the wait in hand.
thread_local QElapsedTimer waitStarted;

QString databaseName(sqlite3* database) {
    const char* file = sqlite3_db_filename(database, "main");
    return file == nullptr || *file == '\0' ? QStringLiteral("master")
                                            : QFileInfo(QString::fromUtf8(file)).completeBaseName();
}

} // namespace

void SqliteBusyWait::install(sqlite3* database) {
    sqlite3_busy_handler(database, &SqliteBusyWait::retry, database);
}

milliseconds SqliteBusyWait::limit() {
    return milliseconds(limitMilliseconds.load());
}

void SqliteBusyWait::setLimit(milliseconds limit) {
    limitMilliseconds.store(limit.count());
}

int SqliteBusyWait::retry(void* database, int attempt) noexcept {
    if (attempt == 0)
        waitStarted.start();
    const milliseconds waited(waitStarted.elapsed());
    const auto wholeWait = limit();
    if (waited >= wholeWait)
        return 0;
    if (waited >= reportAfter) {
        try {
            LockWaitListener::report(databaseName(static_cast<sqlite3*>(database)), waited,
                                     wholeWait);
        } catch (...) {
            // Out of memory for the name: the wait goes on unreported.
        }
    }
    // Short sleeps first, for the locks that are about to go.
    const auto sleep = std::min<long long>(
        {1LL << std::min(attempt, 5), longestSleepMilliseconds, (wholeWait - waited).count()});
    sqlite3_sleep(int(sleep));
    return 1;
}

} // namespace db
