#pragma once

#include "db/TQuery.h"
#include "db/TSQLScript.h"
#include "db/TStoredProc.h"

#include <QString>

class MonthRunProgress;

namespace db {
class TDatabase;
}

// The average-cost calculation of one month. It clears the month's cost ledger rows, then in
// three phases has the server procedures rebuild them: the purchase-side receipts of every
// product, the costs of the month's work orders tree by tree from their roots, and the
// receipts including finished goods, the month averages and the customer returns. Each
// product ends with the year-to-date average cost written into its issue-type lines of the
// month. Nothing is caught here: an error ends the run where it happened.
class AvgMonthRun {
public:
    // The connection every statement runs on (by alias) and where progress is shown.
    explicit AvgMonthRun(MonthRunProgress& progress,
                         const QString& databaseName = QStringLiteral("DMDATA"));

    AvgMonthRun(const AvgMonthRun&) = delete;
    AvgMonthRun& operator=(const AvgMonthRun&) = delete;

    // Argument 3 of the command line as given: the company database QWD_A keeps the prices
    // of its finished-goods lines.
    void setCompanyDatabase(const QString& name) { companyDatabase_ = name; }
    // One product code, or empty for every product of the month.
    void setProductFilter(const QString& code) { productFilter_ = code; }
    const QString& productFilter() const { return productFilter_; }

    void CalculateProdAVGMonth(int year, int month);

    // Products and root work orders of the last month run.
    int productCount() const { return productCount_; }
    int workOrderCount() const { return workOrderCount_; }

private:
    void loadSql();
    db::TDatabase& database();
    void advance();
    void showProduct(int month);
    void executeForProduct(db::TStoredProc& procedure, int year, int month,
                           const QString& prodCode);
    void runForProduct(db::TSQLScript& script, int year, int month, const QString& prodCode);
    bool keepsFinishedGoodsPrices() const;

    MonthRunProgress& progress_;
    QString databaseName_;
    QString companyDatabase_;
    QString productFilter_;
    bool sqlLoaded_ = false;
    int position_ = 0;
    int productCount_ = 0;
    int workOrderCount_ = 0;

    db::TSQLScript SQLClearProductCostAVG;
    db::TQuery QProduct;
    db::TStoredProc SpCALCULATE_AVG1ByProdAndMonth;
    db::TQuery QWorkOrderMaster;
    db::TStoredProc SpCALCULATE_WorkOrderAVG;
    db::TStoredProc SpCALCULATE_AVG4ByProdAndWorkAndMonth;
    db::TStoredProc SpCALCULATE_AVG2ByProdAndMonth;
    db::TSQLScript SQLUpdateCostToPrice;
    db::TSQLScript SQLUpdateCostToMFGFinish;
};
