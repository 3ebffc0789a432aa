#pragma once

#include "db/TQuery.h"
#include "db/TStoredProc.h"

#include <QString>

#include <functional>
#include <vector>

class MonthRunProgress;

namespace db {
class TDatabase;
class TransactionGroup;
} // namespace db

// The FIFO calculation of one month. It lists the products with stock or movements in the
// month and the root work orders that ended in it, and has the server's FIFO procedures cost
// them in four phases: the receipts of each product, the costs of each product's issue lines,
// the work orders tree by tree from their roots, and the issue lines again with the costs of
// the work orders. The costing itself is the procedures' work; this class only calls them, in
// an order they can rely on: every call of a month after all calls of the months before it,
// and each phase of a month after the phases before it.
//
// A procedure call that fails is rolled back whole, recorded, written to the error log, and the
// run goes on with the next product or work order. Any other error (a list that cannot be
// read, a connection lost) ends the run where it happened.
class FifoMonthRun {
public:
    // A procedure call that failed.
    struct Failure {
        // The procedure with the values it was given, and the product's code.
        QString call;
        // The server's error.
        QString message;

        // "call: message", as the error log and the lists of failures show it.
        QString text() const { return call + QStringLiteral(": ") + message; }
    };
    // Writes one message into the central error log; may throw when the log cannot be reached.
    using ErrorLog = std::function<void(const QString& message)>;

    // The connection every statement runs on (by alias) and where progress is shown.
    explicit FifoMonthRun(MonthRunProgress& progress,
                          const QString& databaseName = QStringLiteral("DMDATA"));

    FifoMonthRun(const FifoMonthRun&) = delete;
    FifoMonthRun& operator=(const FifoMonthRun&) = delete;

    // One product code, or empty for every product of the month. Work orders are never
    // filtered: each is costed as a whole tree.
    void setProductFilter(const QString& code) { productFilter_ = code; }
    void setErrorLog(ErrorLog log) { errorLog_ = std::move(log); }

    void CalculateProdFIFOMonth(int year, int month);

    // Called while a run lets messages through (the window being closed): the call in hand
    // finishes, no further procedure is called, and the month run returns.
    void stop() { stopped_ = true; }
    bool stopped() const { return stopped_; }

    // Begins a run of several months: forgets the failures and a stop of the last one.
    void beginRun();
    // The calls that failed since the run began, in the order they were made.
    const std::vector<Failure>& failures() const { return failures_; }

    // Products and root work orders of the last month run.
    int productCount() const { return productCount_; }
    int workOrderCount() const { return workOrderCount_; }

private:
    void loadSql();
    db::TDatabase& database();
    // One of phases 1, 2 and 4 over the product list; false when the run was stopped.
    bool productPhase(const QString& status, db::TStoredProc& procedure);
    // Phase 3, the root work orders; false when the run was stopped.
    bool workOrderPhase();
    void advance();

    // A call made in the transaction open now: the procedure and what it was given.
    struct Call {
        db::TStoredProc* procedure = nullptr;
        qint64 productId = 0;
        QString workOrderNo;
        // As the list of failures shows it.
        QString text;
    };
    // Makes the call in the group's transaction. A failing call is rolled back with the calls
    // of the transaction before it, which are then made again, each in a transaction of its
    // own, and the failure is recorded: what every other call wrote stays.
    void callGrouped(db::TransactionGroup& group, Call call);
    // Makes the call in a transaction of its own; a failure is rolled back and recorded.
    void callTrapped(const Call& call);
    void execute(const Call& call);
    void recordFailure(const QString& call, const QString& message);

    MonthRunProgress& progress_;
    QString databaseName_;
    QString productFilter_;
    ErrorLog errorLog_;
    bool sqlLoaded_ = false;
    bool stopped_ = false;
    int year_ = 0;
    int month_ = 0;
    int position_ = 0;
    int productCount_ = 0;
    int workOrderCount_ = 0;
    std::vector<Failure> failures_;
    // The calls of the group's open transaction, in order.
    std::vector<Call> pending_;

    db::TQuery QProduct;
    db::TStoredProc SpCalculate_FIFO1;
    db::TStoredProc SpCalculate_FIFO2;
    db::TQuery QWorkOrderMaster;
    db::TStoredProc SpCALCULATE_WorkOrderFIFO;
};
