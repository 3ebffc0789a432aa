#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>

class MonthRunProgress;

// The months of one calculation, from the start month through December, run so that one run
// gives final costs. A work order's finished goods enter stock in the month they were finished,
// at the work order's cost, but the work order is costed in the month it was closed, which can
// be later: the earlier month then took the cost an earlier run left (or none, on a company
// never calculated). So each month notes the costs its finished goods took; a cost taken as it
// stood before the pass (not worked out by the pass first) that the pass then changed sends the
// run back to that month, and it runs again from there until no month took such a cost. Where
// no work order is closed after the month its goods were finished, that is one pass, as before.
// A work order costed by the pass before its goods were taken, and again later (as the root of
// a child closed earlier, then when closed itself), keeps what the month took: that cost was
// worked out from the documents in this run.
class YearRun {
public:
    // Passes of the months at most, the first included; a run whose work-order costs still
    // change then ends unsettled, and says which work orders.
    static constexpr int maxPasses = 5;

    using MonthStep = std::function<void(int month)>;

    // Reads on the connection with that alias; a repeated pass is announced in the status.
    YearRun(const QString& databaseName, MonthRunProgress& progress);

    // Runs runMonth for each month from fromMonth through 12, then again from each month to
    // go back to.
    void run(int year, int fromMonth, const MonthStep& runMonth);

    // The passes the last run took (1 when nothing had to be repeated).
    int passes() const { return passes_; }
    // The months each repeated pass started from, in order.
    const QList<int>& repeatedFrom() const { return repeatedFrom_; }
    // The work orders whose cost was still changing when the last pass allowed had run; empty
    // when the run settled.
    const QStringList& unsettledWorkOrders() const { return unsettled_; }

private:
    // The costs of a month's finished work orders as they stand now, by work order and line.
    struct FinishedCost {
        QString workOrder;
        QString cost;
    };
    using FinishedCosts = QMap<QString, FinishedCost>;
    struct TakenCost {
        QString workOrder;
        QString cost;
        bool asBefore = false;
    };
    FinishedCosts finishedCosts(int year, int month) const;

    QString databaseName_;
    MonthRunProgress& progress_;
    int passes_ = 0;
    QList<int> repeatedFrom_;
    QStringList unsettled_;
};
