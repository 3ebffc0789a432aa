#pragma once

#include <QElapsedTimer>

#include <chrono>

namespace db {

class TDatabase;

// Items of work (a product's statements, say) run in transactions that each hold whole items:
// begin() before an item opens one unless one is open, end() after it commits once the
// transaction has been open for the group's span, so that a long run commits every so often
// instead of after every item. Whatever is open when the group ends without commit(), for
// instance because an error passes through, is rolled back. Inside a transaction the caller
// opened, the group leaves beginning and ending to the caller.
class TransactionGroup {
public:
    TransactionGroup(TDatabase& database, std::chrono::milliseconds span);
    ~TransactionGroup();

    TransactionGroup(const TransactionGroup&) = delete;
    TransactionGroup& operator=(const TransactionGroup&) = delete;

    void begin();
    void end();
    void commit();
    // Undoes what the group holds open now; the next begin() opens a new transaction.
    void rollback() noexcept;
    // The group has a transaction of its own open.
    bool isOpen() const { return owns_; }

private:
    TDatabase& database_;
    std::chrono::milliseconds span_;
    QElapsedTimer open_;
    bool owns_ = false;
};

} // namespace db
