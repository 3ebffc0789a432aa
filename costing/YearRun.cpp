#include "costing/YearRun.h"

#include "costing/MonthRunProgress.h"
#include "db/SqlBatches.h"
#include "db/TQuery.h"

YearRun::YearRun(const QString& databaseName, MonthRunProgress& progress)
    : databaseName_(databaseName), progress_(progress) {}

void YearRun::run(int year, int fromMonth, const MonthStep& runMonth) {
    passes_ = 0;
    repeatedFrom_.clear();
    unsettled_.clear();
    // What each month's finished goods took when the month last ran, and whether each cost was
    // taken as it stood before that pass (not worked out by the pass before the month used it).
    QMap<int, QMap<QString, TakenCost>> taken;
    int start = fromMonth;
    for (;;) {
        ++passes_;
        QMap<int, FinishedCosts> before;
        for (int month = start; month <= 12; ++month)
            before.insert(month, finishedCosts(year, month));
        for (int month = start; month <= 12; ++month) {
            runMonth(month);
            QMap<QString, TakenCost>& costs = taken[month];
            costs.clear();
            const FinishedCosts now = finishedCosts(year, month);
            for (auto row = now.cbegin(); row != now.cend(); ++row)
                costs.insert(row.key(), {row->workOrder, row->cost,
                                         row->cost == before[month].value(row.key()).cost});
        }
        // The first month that took a cost as it stood before its pass, which has changed since.
        // Months before this pass's start count too: this pass may have costed again a work
        // order whose goods they took.
        int goBackTo = 0;
        QStringList changed;
        for (int month = fromMonth; month <= 12 && goBackTo == 0; ++month) {
            const FinishedCosts now = finishedCosts(year, month);
            for (auto row = taken[month].cbegin(); row != taken[month].cend(); ++row) {
                if (row->asBefore && row->cost != now.value(row.key()).cost &&
                    !changed.contains(row->workOrder))
                    changed << row->workOrder;
            }
            if (!changed.isEmpty())
                goBackTo = month;
        }
        if (goBackTo == 0)
            return;
        if (passes_ == maxPasses) {
            unsettled_ = changed;
            progress_.setStatus(QStringLiteral("สถานะ : ต้นทุนใบสั่งผลิต %1 ยังเปลี่ยนหลังคำนวณ %2 รอบ")
                                    .arg(changed.join(QStringLiteral(", ")))
                                    .arg(maxPasses));
            progress_.refresh();
            return;
        }
        repeatedFrom_ << goBackTo;
        progress_.setStatus(
            QStringLiteral("สถานะ : ต้นทุนใบสั่งผลิต %1 เปลี่ยน คำนวณใหม่ตั้งแต่เดือน %2 (รอบที่ %3)")
                .arg(changed.join(QStringLiteral(", ")))
                .arg(goBackTo)
                .arg(passes_ + 1));
        progress_.refresh();
        start = goBackTo;
    }
}

YearRun::FinishedCosts YearRun::finishedCosts(int year, int month) const {
    db::TQuery query(QStringLiteral("QFinishedWorkOrderCosts"), databaseName_,
                     db::sqlResource(QStringLiteral(":/costing/sql/QFinishedWorkOrderCosts.sql")));
    query.paramByName(QStringLiteral("Year")).setAsInteger(year);
    query.paramByName(QStringLiteral("Month")).setAsInteger(month);
    query.open();
    const auto text = [&](const char* field) {
        const auto& value = query.fieldByName(QLatin1String(field));
        return value.isNull() ? QStringLiteral("NULL") : value.asString();
    };
    FinishedCosts costs;
    for (query.first(); !query.eof(); query.next())
        costs.insert(
            text("Id") + QLatin1Char('/') + text("LineId"),
            {text("WorkOrderNo").trimmed(), text("CostAVG") + QLatin1Char('/') + text("LineCost")});
    return costs;
}
