#pragma once

#include <QString>

#include <chrono>
#include <functional>

namespace db {

// Told while a statement waits for a lock that another connection holds on its database, so
// that a long run can show it is held up rather than stalled. A listener hears the waits of
// its own thread while it lives; the one installed last is told, and the one before it again
// once that is gone. Any driver that waits for locks reports here.
class LockWaitListener {
public:
    // The database locked, how long the statement has waited so far and how long it waits
    // in all before it gives up.
    using Callback = std::function<void(const QString& database, std::chrono::milliseconds waited,
                                        std::chrono::milliseconds limit)>;

    explicit LockWaitListener(Callback callback);
    ~LockWaitListener();

    LockWaitListener(const LockWaitListener&) = delete;
    LockWaitListener& operator=(const LockWaitListener&) = delete;

    // Tells the thread's current listener, if any. Never throws: it is called from inside the
    // database driver.
    static void report(const QString& database, std::chrono::milliseconds waited,
                       std::chrono::milliseconds limit) noexcept;

private:
    Callback callback_;
    LockWaitListener* previous_;
};

} // namespace db
