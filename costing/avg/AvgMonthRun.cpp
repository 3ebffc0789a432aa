#include "costing/avg/AvgMonthRun.h"

#include "costing/MonthRunProgress.h"
#include "costing/avg/AvgSql.h"
#include "db/Session.h"
#include "db/TDatabase.h"
#include "db/Text.h"
#include "db/TransactionGroup.h"

#include <chrono>

namespace {

const QString dateTimeFormat = QStringLiteral("dd/MM/yyyy HH:mm");
const QString dateFormat = QStringLiteral("dd/MM/yyyy");
// How long the products' work may collect in one transaction before it is committed: long
// enough that a commit is rare, short enough that other users of the company never wait long.
constexpr std::chrono::milliseconds transactionSpan{500};

} // namespace

AvgMonthRun::AvgMonthRun(MonthRunProgress& progress, const QString& databaseName)
    : progress_(progress), databaseName_(databaseName),
      SQLClearProductCostAVG(QStringLiteral("SQLClearProductCostAVG")),
      QProduct(QStringLiteral("QProduct"), databaseName),
      SpCALCULATE_AVG1ByProdAndMonth(QStringLiteral("SpCALCULATE_AVG1ByProdAndMonth"), databaseName,
                                     QStringLiteral("CALCULATE_AVG1ByProdAndMonth")),
      QWorkOrderMaster(QStringLiteral("QWorkOrderMaster"), databaseName),
      SpCALCULATE_WorkOrderAVG(QStringLiteral("SpCALCULATE_WorkOrderAVG"), databaseName,
                               QStringLiteral("CALCULATE_WorkOrderAVG")),
      SpCALCULATE_AVG4ByProdAndWorkAndMonth(QStringLiteral("SpCALCULATE_AVG4ByProdAndWorkAndMonth"),
                                            databaseName,
                                            QStringLiteral("CALCULATE_AVG4ByProdAndWorkAndMonth")),
      SpCALCULATE_AVG2ByProdAndMonth(QStringLiteral("SpCALCULATE_AVG2ByProdAndMonth"), databaseName,
                                     QStringLiteral("CALCULATE_AVG2ByProdAndMonth")),
      SQLUpdateCostToPrice(QStringLiteral("SQLUpdateCostToPrice")),
      SQLUpdateCostToMFGFinish(QStringLiteral("SQLUpdateCostToMFGFinish")) {
    for (auto* script : {&SQLClearProductCostAVG, &SQLUpdateCostToPrice, &SQLUpdateCostToMFGFinish})
        script->setDatabaseName(databaseName);
}

// The texts depend on the server's dialect, so they are read once the connection is open.
void AvgMonthRun::loadSql() {
    if (sqlLoaded_)
        return;
    const auto text = [this](const QString& component) {
        return costing::avgSql(component, databaseName_);
    };
    SQLClearProductCostAVG.setSql(text(SQLClearProductCostAVG.name()));
    SQLClearProductCostAVG.setParamData({{QStringLiteral("Year"), db::DataType::Integer},
                                         {QStringLiteral("Month"), db::DataType::Integer},
                                         {QStringLiteral("ProdCode"), db::DataType::String}});
    QProduct.setSql(text(QProduct.name()));
    QWorkOrderMaster.setSql(text(QWorkOrderMaster.name()));
    for (auto* script : {&SQLUpdateCostToPrice, &SQLUpdateCostToMFGFinish}) {
        script->setSql(text(script->name()));
        script->setParamData({{QStringLiteral("ProdCode"), db::DataType::String},
                              {QStringLiteral("Year"), db::DataType::Integer},
                              {QStringLiteral("Month"), db::DataType::Integer}});
    }
    sqlLoaded_ = true;
}

void AvgMonthRun::CalculateProdAVGMonth(int year, int month) {
    loadSql();
    const QString monthText = QString::number(month);

    SQLClearProductCostAVG.param(QStringLiteral("Year")).setAsInteger(year);
    SQLClearProductCostAVG.param(QStringLiteral("Month")).setAsInteger(month);
    SQLClearProductCostAVG.param(QStringLiteral("ProdCode")).setAsString(productFilter_);
    SQLClearProductCostAVG.execute();

    QProduct.close();
    QProduct.paramByName(QStringLiteral("Year")).setAsInteger(year);
    QProduct.paramByName(QStringLiteral("Month")).setAsInteger(month);
    QProduct.paramByName(QStringLiteral("ProdCode")).setAsString(productFilter_);
    QProduct.open();
    QProduct.first();
    productCount_ = QProduct.recordCount();
    workOrderCount_ = 0;
    progress_.setProgressMaximum(productCount_);
    position_ = 0;
    progress_.setProgressPosition(position_);
    progress_.setStatus(QStringLiteral("สถานะ : กำลังคำนวณต้นทุน และ รับคืน (1/3)"));
    progress_.refresh();

    // Phase 1: the purchase-side receipts of each product, without production output.
    db::TransactionGroup receipts(database(), transactionSpan);
    for (; !QProduct.eof(); QProduct.next()) {
        showProduct(month);
        receipts.begin();
        executeForProduct(SpCALCULATE_AVG1ByProdAndMonth, year, month,
                          QProduct.fieldByName(QStringLiteral("ProdCode")).asString());
        receipts.end();
    }
    receipts.commit();

    // Phase 2: the work orders, each tree from its root, at the averages of phase 1.
    progress_.setStatus(
        QStringLiteral("สถานะ : กำลังคำนวณต้นทุนในใบสั่งผลิต และใส่ใน ProductCostAVG (2/3)"));
    progress_.setMonth(QStringLiteral("เลขที่ใบสั่งผลิตเดือน : ") + monthText);
    progress_.refresh();
    QWorkOrderMaster.close();
    QWorkOrderMaster.paramByName(QStringLiteral("Year")).setAsInteger(year);
    QWorkOrderMaster.paramByName(QStringLiteral("Month")).setAsInteger(month);
    QWorkOrderMaster.open();
    QWorkOrderMaster.first();
    workOrderCount_ = QWorkOrderMaster.recordCount();
    progress_.setProgressMaximum(workOrderCount_);
    position_ = 0;
    progress_.setProgressPosition(position_);
    // Grouped as the products are, so that a work order, too, waits for another user's lock
    // when its group begins instead of failing in the middle of its procedure.
    db::TransactionGroup workOrders(database(), transactionSpan);
    for (; !QWorkOrderMaster.eof(); QWorkOrderMaster.next()) {
        advance();
        const auto workOrderNo = QWorkOrderMaster.fieldByName(QStringLiteral("WorkOrderNo"));
        progress_.setProduct(QStringLiteral("เลขที่ใบสั่งผลิต : ") + workOrderNo.asString() +
                             QStringLiteral(" (") +
                             QWorkOrderMaster.fieldByName(QStringLiteral("WorkDate"))
                                 .asDateTime()
                                 .toString(dateTimeFormat) +
                             QStringLiteral(" => ") +
                             QWorkOrderMaster.fieldByName(QStringLiteral("FinishDate"))
                                 .asDateTime()
                                 .toString(dateFormat) +
                             QStringLiteral(")"));
        progress_.refresh();
        SpCALCULATE_WorkOrderAVG.paramByName(QStringLiteral("@WorkNo"))
            .setAsString(workOrderNo.asString());
        workOrders.begin();
        SpCALCULATE_WorkOrderAVG.execProc();
        workOrders.end();
    }
    workOrders.commit();
    QWorkOrderMaster.close();

    // Phase 3: the receipts again with the finished goods, the averages and the customer
    // returns, then the costs into the month's lines.
    QProduct.first();
    progress_.setProgressMaximum(productCount_);
    position_ = 0;
    progress_.setProgressPosition(position_);
    progress_.setStatus(QStringLiteral("สถานะ : กำลังคำนวณรับคืน (3/3)"));
    progress_.refresh();
    // A product's ledger rows and its lines' costs change together or not at all.
    db::TransactionGroup costs(database(), transactionSpan);
    for (; !QProduct.eof(); QProduct.next()) {
        showProduct(month);
        const auto prodCode = QProduct.fieldByName(QStringLiteral("ProdCode")).asString();
        costs.begin();
        executeForProduct(SpCALCULATE_AVG4ByProdAndWorkAndMonth, year, month, prodCode);
        executeForProduct(SpCALCULATE_AVG2ByProdAndMonth, year, month, prodCode);
        progress_.setStatus(QStringLiteral("สถานะ : กำลังคำนวณรับคืน (3/3) Set Cost In transaction"));
        progress_.refresh();
        runForProduct(SQLUpdateCostToPrice, year, month, prodCode);
        if (!keepsFinishedGoodsPrices()) {
            progress_.setStatus(
                QStringLiteral("สถานะ : กำลังคำนวณรับคืน (3/3) Set Cost In transaction MFGFinish"));
            progress_.refresh();
            runForProduct(SQLUpdateCostToMFGFinish, year, month, prodCode);
        }
        costs.end();
    }
    costs.commit();
    QProduct.close();
}

db::TDatabase& AvgMonthRun::database() {
    return db::Session::defaultSession().openDatabase(databaseName_);
}

void AvgMonthRun::advance() {
    progress_.setProgressPosition(++position_);
}

void AvgMonthRun::showProduct(int month) {
    advance();
    progress_.setMonth(QStringLiteral("เดือน : ") + QString::number(month));
    progress_.setProduct(
        QStringLiteral("สินค้า : ") + QProduct.fieldByName(QStringLiteral("ProdCode")).asString() +
        QStringLiteral(" - ") + QProduct.fieldByName(QStringLiteral("ProdName")).asString());
    progress_.refresh();
}

void AvgMonthRun::executeForProduct(db::TStoredProc& procedure, int year, int month,
                                    const QString& prodCode) {
    procedure.paramByName(QStringLiteral("@Year")).setAsInteger(year);
    procedure.paramByName(QStringLiteral("@Month")).setAsInteger(month);
    procedure.paramByName(QStringLiteral("@ProdCode")).setAsString(prodCode);
    procedure.execProc();
}

void AvgMonthRun::runForProduct(db::TSQLScript& script, int year, int month,
                                const QString& prodCode) {
    script.param(QStringLiteral("Year")).setAsInteger(year);
    script.param(QStringLiteral("Month")).setAsInteger(month);
    script.param(QStringLiteral("ProdCode")).setAsString(prodCode);
    script.execute();
}

// The company database QWD_A, written exactly so once surrounding blanks are dropped.
bool AvgMonthRun::keepsFinishedGoodsPrices() const {
    return db::trimControls(companyDatabase_) == QLatin1String("QWD_A");
}
