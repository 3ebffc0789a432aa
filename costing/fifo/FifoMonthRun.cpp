#include "costing/fifo/FifoMonthRun.h"

#include "costing/CostingSql.h"
#include "costing/MonthRunProgress.h"
#include "db/DatabaseError.h"
#include "db/Session.h"
#include "db/TDatabase.h"
#include "db/TransactionGroup.h"

#include <QDebug>

#include <chrono>
#include <exception>
#include <optional>

namespace {

const QString dateFormat = QStringLiteral("dd/MM/yyyy");

// Calls are committed in transactions of about this long, holding whole calls, as the
// average-cost run commits its products: a commit after every call made the run a third
// slower.
constexpr std::chrono::milliseconds transactionSpan{500};

// "counter / total : ", in front of each item of a phase.
QString count(int counter, int total) {
    return QStringLiteral("%1 / %2 : ").arg(counter).arg(total);
}

} // namespace

FifoMonthRun::FifoMonthRun(MonthRunProgress& progress, const QString& databaseName)
    : progress_(progress), databaseName_(databaseName),
      QProduct(QStringLiteral("QProduct"), databaseName),
      SpCalculate_FIFO1(QStringLiteral("SpCalculate_FIFO1"), databaseName,
                        QStringLiteral("Calculate_FIFO1")),
      SpCalculate_FIFO2(QStringLiteral("SpCalculate_FIFO2"), databaseName,
                        QStringLiteral("Calculate_FIFO2")),
      QWorkOrderMaster(QStringLiteral("QWorkOrderMaster"), databaseName),
      SpCALCULATE_WorkOrderFIFO(QStringLiteral("SpCALCULATE_WorkOrderFIFO"), databaseName,
                                QStringLiteral("CALCULATE_WorkOrderFIFO")) {}

// The texts are read once the connection is open.
void FifoMonthRun::loadSql() {
    if (sqlLoaded_)
        return;
    QProduct.setSql(
        costing::costingSql(QStringLiteral("fifo/sql"), QProduct.name(), databaseName_));
    QWorkOrderMaster.setSql(
        costing::costingSql(QStringLiteral("fifo/sql"), QWorkOrderMaster.name(), databaseName_));
    sqlLoaded_ = true;
}

void FifoMonthRun::beginRun() {
    failures_.clear();
    stopped_ = false;
}

void FifoMonthRun::CalculateProdFIFOMonth(int year, int month) {
    if (stopped_)
        return;
    loadSql();
    year_ = year;
    month_ = month;

    // Read once; phases 1, 2 and 4 walk the same rows, also when the procedures add products.
    QProduct.close();
    QProduct.paramByName(QStringLiteral("Year")).setAsInteger(year);
    QProduct.paramByName(QStringLiteral("Month")).setAsInteger(month);
    QProduct.paramByName(QStringLiteral("ProdCode")).setAsString(productFilter_);
    QProduct.open();
    productCount_ = QProduct.recordCount();
    workOrderCount_ = 0;

    // Phase 1, the cost of the goods received in the month; phase 2, the costs into the
    // month's goods-issue lines; phase 3, the work orders, each tree from its root, at the
    // costs of phase 2; phase 4, the issue lines again, now with the work orders' finished
    // goods. A stopped run calls nothing more.
    if (productPhase(QStringLiteral("สถานะ : กำลังคำนวณต้นทุน ในการรับสินค้าเข้า (1/4)"),
                     SpCalculate_FIFO1) &&
        productPhase(QStringLiteral("สถานะ : กำลังคำนวณต้นทุน ใส่รายการจ่ายสินค้าออก (2/4)"),
                     SpCalculate_FIFO2) &&
        workOrderPhase())
        productPhase(QStringLiteral("สถานะ : กำลังคำนวณต้นทุน ใส่รายการจ่ายสินค้าออก (4/4)"),
                     SpCalculate_FIFO2);
    QProduct.close();
}

bool FifoMonthRun::productPhase(const QString& status, db::TStoredProc& procedure) {
    progress_.setProgressMaximum(productCount_);
    position_ = 0;
    progress_.setProgressPosition(position_);
    progress_.setStatus(status);
    progress_.refresh();
    int counter = 0;
    db::TransactionGroup group(database(), transactionSpan);
    pending_.clear();
    for (QProduct.first(); !QProduct.eof(); QProduct.next()) {
        ++counter;
        advance();
        const auto prodId = QProduct.fieldByName(QStringLiteral("ProdId")).asInteger();
        const auto prodCode = QProduct.fieldByName(QStringLiteral("ProdCode")).asString();
        progress_.setMonth(QStringLiteral("เดือน : ") + QString::number(month_));
        progress_.setProduct(QStringLiteral("สินค้า : ") + count(counter, productCount_) + prodCode +
                             QStringLiteral(" - ") +
                             QProduct.fieldByName(QStringLiteral("ProdName")).asString());
        // A stop comes while the window's messages are let through.
        progress_.refresh();
        if (stopped_) {
            // What the calls before the stop wrote stays.
            group.commit();
            return false;
        }
        callGrouped(group, {&procedure, prodId, QString(),
                            QStringLiteral("%1 @Year=%2, @Month=%3, @PId=%4 (%5)")
                                .arg(procedure.storedProcName())
                                .arg(year_)
                                .arg(month_)
                                .arg(prodId)
                                .arg(prodCode)});
    }
    group.commit();
    return true;
}

bool FifoMonthRun::workOrderPhase() {
    progress_.setStatus(QStringLiteral("สถานะ : กำลังคำนวณต้นทุนในใบสั่งผลิต (3/4)"));
    progress_.setMonth(QStringLiteral("เลขที่ใบสั่งผลิตเดือน : ") + QString::number(month_));
    progress_.refresh();
    QWorkOrderMaster.close();
    QWorkOrderMaster.paramByName(QStringLiteral("Year")).setAsInteger(year_);
    QWorkOrderMaster.paramByName(QStringLiteral("Month")).setAsInteger(month_);
    QWorkOrderMaster.open();
    workOrderCount_ = QWorkOrderMaster.recordCount();
    progress_.setProgressMaximum(workOrderCount_);
    position_ = 0;
    progress_.setProgressPosition(position_);
    int counter = 0;
    db::TransactionGroup group(database(), transactionSpan);
    pending_.clear();
    for (QWorkOrderMaster.first(); !QWorkOrderMaster.eof(); QWorkOrderMaster.next()) {
        ++counter;
        advance();
        const auto workOrderNo =
            QWorkOrderMaster.fieldByName(QStringLiteral("WorkOrderNo")).asString();
        progress_.setProduct(QStringLiteral("ใบสั่งผลิต : ") + count(counter, workOrderCount_) +
                             workOrderNo + QStringLiteral(" (") +
                             QWorkOrderMaster.fieldByName(QStringLiteral("WorkDate"))
                                 .asDateTime()
                                 .toString(dateFormat) +
                             QStringLiteral(" => ") +
                             QWorkOrderMaster.fieldByName(QStringLiteral("FinishDate"))
                                 .asDateTime()
                                 .toString(dateFormat) +
                             QStringLiteral(")"));
        progress_.refresh();
        if (stopped_) {
            group.commit();
            QWorkOrderMaster.close();
            return false;
        }
        callGrouped(group, {&SpCALCULATE_WorkOrderFIFO, 0, workOrderNo,
                            SpCALCULATE_WorkOrderFIFO.storedProcName() +
                                QStringLiteral(" @WorkNo=") + workOrderNo});
    }
    group.commit();
    QWorkOrderMaster.close();
    return true;
}

db::TDatabase& FifoMonthRun::database() {
    return db::Session::defaultSession().openDatabase(databaseName_);
}

void FifoMonthRun::advance() {
    progress_.setProgressPosition(++position_);
}

void FifoMonthRun::execute(const Call& call) {
    auto& procedure = *call.procedure;
    procedure.close();
    if (&procedure == &SpCALCULATE_WorkOrderFIFO) {
        procedure.paramByName(QStringLiteral("@WorkNo")).setAsString(call.workOrderNo);
    } else {
        procedure.paramByName(QStringLiteral("@Year")).setAsInteger(year_);
        procedure.paramByName(QStringLiteral("@Month")).setAsInteger(month_);
        procedure.paramByName(QStringLiteral("@PId")).setAsInteger(call.productId);
    }
    procedure.execProc();
}

void FifoMonthRun::callGrouped(db::TransactionGroup& group, Call call) {
    // On the embedded engine the wait for another user's lock comes as the transaction
    // begins, outside the trap: a lock that is not given up ends the run, as in the
    // average-cost run.
    group.begin();
    const bool ownTransaction = group.isOpen();
    std::optional<QString> error;
    try {
        execute(call);
    } catch (const db::DatabaseError& failure) {
        error = failure.message();
    }
    if (!error) {
        pending_.push_back(std::move(call));
        group.end();
        if (!group.isOpen())
            pending_.clear();
        return;
    }
    if (ownTransaction) {
        // The server may have ended the transaction with the error; rolling it back is the
        // one way out that works on both engines.
        group.rollback();
        const auto earlier = std::move(pending_);
        pending_.clear();
        for (const auto& again : earlier)
            callTrapped(again);
    }
    recordFailure(call.text, *error);
}

void FifoMonthRun::callTrapped(const Call& call) {
    std::optional<QString> error;
    {
        db::TransactionGroup transaction(database(), std::chrono::milliseconds::zero());
        transaction.begin();
        try {
            execute(call);
            transaction.commit();
        } catch (const db::DatabaseError& failure) {
            error = failure.message();
        }
    }
    if (error)
        recordFailure(call.text, *error);
}

void FifoMonthRun::recordFailure(const QString& call, const QString& message) {
    failures_.push_back({call, message});
    if (!errorLog_)
        return;
    // A log that cannot be written must not stop the run; the failure is still counted.
    try {
        errorLog_(failures_.back().text());
    } catch (const db::DatabaseError& failure) {
        qWarning().noquote() << "Error log not written:" << failure.message();
    } catch (const std::exception& failure) {
        qWarning().noquote() << "Error log not written:" << QString::fromUtf8(failure.what());
    }
}
