#pragma once

#include <QString>

// Where a month run shows how far it is: a status line, the month and the product or work
// order in hand, and a progress count. The window shows them in its labels and progress bar,
// stockcost-admin on a terminal line. refresh() comes after each group of changes, before the
// run talks to the database again.
class MonthRunProgress {
public:
    virtual ~MonthRunProgress() = default;

    virtual void setStatus(const QString& text) = 0;
    virtual void setMonth(const QString& text) = 0;
    virtual void setProduct(const QString& text) = 0;
    // A new count starts at 0 with each maximum.
    virtual void setProgressMaximum(int maximum) = 0;
    virtual void setProgressPosition(int position) = 0;
    virtual void refresh() = 0;
    // The run is held up: another connection has locked the database, and the statement in
    // hand has waited that many seconds for it so far. The next change of the progress means
    // the wait is over.
    virtual void showLockWait(const QString& database, int seconds) = 0;
};
