#include "db/LockWaitListener.h"

#include <QDebug>

namespace db {

namespace {

thread_local LockWaitListener* current = nullptr;

} // namespace

LockWaitListener::LockWaitListener(Callback callback)
    : callback_(std::move(callback)), previous_(current) {
    current = this;
}

LockWaitListener::~LockWaitListener() {
    // Listeners live in nested scopes, so the one going is the one installed last.
    current = previous_;
}

void LockWaitListener::report(const QString& database, std::chrono::milliseconds waited,
                              std::chrono::milliseconds limit) noexcept {
    if (current == nullptr || !current->callback_)
        return;
    try {
        current->callback_(database, waited, limit);
    } catch (...) {
        // Showing the wait must not break the statement that waits.
        qWarning("A lock wait could not be shown");
    }
}

} // namespace db
