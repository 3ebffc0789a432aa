#include "db/TransactionGroup.h"

#include "db/TDatabase.h"

namespace db {

TransactionGroup::TransactionGroup(TDatabase& database, std::chrono::milliseconds span)
    : database_(database), span_(span) {}

TransactionGroup::~TransactionGroup() {
    if (owns_)
        database_.rollback();
}

void TransactionGroup::begin() {
    if (owns_ || database_.inTransaction())
        return;
    database_.startTransaction();
    owns_ = true;
    open_.start();
}

void TransactionGroup::end() {
    if (owns_ && open_.elapsed() >= span_.count())
        commit();
}

void TransactionGroup::commit() {
    if (!owns_)
        return;
    database_.commit();
    owns_ = false;
}

void TransactionGroup::rollback() noexcept {
    if (!owns_)
        return;
    database_.rollback();
    owns_ = false;
}

} // namespace db
