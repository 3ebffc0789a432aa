#pragma once

// Runs the FIFO costing's three procedures on a company the way the FIFO month run calls them:
// months in ascending order; in each, Calculate_FIFO1 for every product of the month,
// Calculate_FIFO2 for every one, CALCULATE_WorkOrderFIFO for every root work order of the
// month, Calculate_FIFO2 again. The month's products are those the FIFO window lists (stock on
// hand, or a line of one of its eleven line tables, with a positive quantity), the roots those
// of the work orders closed (else finished) in the month. As in the month run, a failing call
// is set aside and the run goes on; the calls are committed in groups of about half a second,
// as the average-cost month run commits them. Used by the tests and the FIFO benchmark.
#include "costing/avg/AvgSql.h"
#include "db/DatabaseError.h"
#include "db/Session.h"
#include "db/TDatabase.h"
#include "db/TQuery.h"
#include "db/TStoredProc.h"
#include "db/TransactionGroup.h"

#include <QElapsedTimer>
#include <QMap>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <vector>

class FifoProcedureRun {
public:
    struct Failure {
        QString procedure;
        QString argument;
        int month = 0;
        QString message;
    };

    explicit FifoProcedureRun(QString alias)
        : alias_(std::move(alias)),
          fifo1_(QStringLiteral("SpCalculate_FIFO1"), alias_, QStringLiteral("Calculate_FIFO1")),
          fifo2_(QStringLiteral("SpCalculate_FIFO2"), alias_, QStringLiteral("Calculate_FIFO2")),
          workOrder_(QStringLiteral("SpCALCULATE_WorkOrderFIFO"), alias_,
                     QStringLiteral("CALCULATE_WorkOrderFIFO")) {
        for (auto* procedure : {&fifo1_, &fifo2_}) {
            procedure->addParam(QStringLiteral("@Year"), db::DataType::Integer,
                                db::ParamKind::Input);
            procedure->addParam(QStringLiteral("@Month"), db::DataType::Integer,
                                db::ParamKind::Input);
            procedure->addParam(QStringLiteral("@PId"), db::DataType::Integer,
                                db::ParamKind::Input);
        }
        workOrder_.addParam(QStringLiteral("@WorkNo"), db::DataType::String, db::ParamKind::Input);
    }

    void runYear(int year, int fromMonth = 1) {
        for (int month = fromMonth; month <= 12; ++month)
            runMonth(year, month);
    }

    void runMonth(int year, int month) {
        db::TransactionGroup group(db::Session::defaultSession().openDatabase(alias_),
                                   std::chrono::milliseconds(500));
        const auto products = monthProducts(year, month);
        for (const int product : products)
            callForProduct(group, fifo1_, year, month, product);
        for (const int product : products)
            callForProduct(group, fifo2_, year, month, product);
        for (const auto& root : rootWorkOrders(year, month)) {
            ++calls_;
            workOrder_.paramByName(QStringLiteral("@WorkNo")).setAsString(root);
            guarded(group, workOrder_.storedProcName(), root, month,
                    [&] { workOrder_.execProc(); });
        }
        for (const int product : products)
            callForProduct(group, fifo2_, year, month, product);
        group.commit();
    }

    std::vector<int> monthProducts(int year, int month) const {
        db::TQuery query(QStringLiteral("QFifoProducts"), alias_, productListSql());
        query.paramByName(QStringLiteral("Year")).setAsInteger(year);
        query.paramByName(QStringLiteral("Month")).setAsInteger(month);
        std::vector<int> products;
        for (query.open(); !query.eof(); query.next())
            products.push_back(int(query.fieldByName(QStringLiteral("ProdId")).asInteger()));
        return products;
    }

    QStringList rootWorkOrders(int year, int month) const {
        db::TQuery query(QStringLiteral("QWorkOrderMaster"), alias_,
                         costing::avgSql(QStringLiteral("QWorkOrderMaster"), alias_));
        query.paramByName(QStringLiteral("Year")).setAsInteger(year);
        query.paramByName(QStringLiteral("Month")).setAsInteger(month);
        QStringList roots;
        for (query.open(); !query.eof(); query.next())
            roots << query.fieldByName(QStringLiteral("WorkOrderNo")).asString().trimmed();
        return roots;
    }

    const std::vector<Failure>& failures() const { return failures_; }
    int calls() const { return calls_; }
    // Milliseconds spent in each procedure.
    const QMap<QString, double>& milliseconds() const { return milliseconds_; }

private:
    static QString productListSql() {
        QStringList sources;
        const std::pair<const char*, const char*> tables[] = {{"MrDt", "MrDate"},
                                                              {"PcDt", "PcDate"},
                                                              {"PoSrDt", "SrDate"},
                                                              {"SrDt", "SrDate"},
                                                              {"RiDt", "RiDate"},
                                                              {"MfgRiDt", "MfgRiDate"},
                                                              {"MFGFinishDt", "FinishDate"},
                                                              {"IvDt", "IvDate"},
                                                              {"PosDt", "PosDate"},
                                                              {"IsDt", "IsDate"},
                                                              {"MFGISDt", "MFGISDate"}};
        for (const auto& [table, date] : tables)
            sources << QStringLiteral("Exists (Select * From %1 D Where D.Product = P.Id And "
                                      "Year(D.%2) = :Year And Month(D.%2) = :Month And "
                                      "D.Quantity > 0)")
                           .arg(QLatin1String(table), QLatin1String(date));
        return QStringLiteral("Select P.Id As ProdId From Product P Where Exists (Select * From "
                              "ProductOnhand O Where O.Product = P.Id And O.BalanceYear = :Year "
                              "And O.PeriodNo = :Month And O.Quantity > 0) Or ") +
               sources.join(QStringLiteral(" Or ")) + QStringLiteral(" Order By P.Code");
    }

    void callForProduct(db::TransactionGroup& group, db::TStoredProc& procedure, int year,
                        int month, int product) {
        ++calls_;
        procedure.paramByName(QStringLiteral("@Year")).setAsInteger(year);
        procedure.paramByName(QStringLiteral("@Month")).setAsInteger(month);
        procedure.paramByName(QStringLiteral("@PId")).setAsInteger(product);
        guarded(group, procedure.storedProcName(), QString::number(product), month,
                [&] { procedure.execProc(); });
    }

    void guarded(db::TransactionGroup& group, const QString& procedure, const QString& argument,
                 int month, const std::function<void()>& call) {
        group.begin();
        QElapsedTimer timer;
        timer.start();
        try {
            call();
        } catch (const db::DatabaseError& error) {
            failures_.push_back({procedure, argument, month, error.message()});
        }
        milliseconds_[procedure] += double(timer.nsecsElapsed()) / 1e6;
        group.end();
    }

    QString alias_;
    db::TStoredProc fifo1_;
    db::TStoredProc fifo2_;
    db::TStoredProc workOrder_;
    std::vector<Failure> failures_;
    QMap<QString, double> milliseconds_;
    int calls_ = 0;
};
