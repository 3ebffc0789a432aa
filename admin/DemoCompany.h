#pragma once

#include <QDate>
#include <QString>
#include <QVariant>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <utility>
#include <vector>

namespace db {
class TDatabase;
}

// Fills an empty company data database with one reproducible year of a small trading and
// manufacturing company: products in several units, opening stock and opening cost rows, every
// kind of receipt and issue document the costing reads, sales, and production with work-order
// trees. About 100 document lines per product; the same options always give the same rows.
// A company that costs by FIFO (method 3) also gets, at the start of each month, purchases that
// keep every product in stock but a few, which run short now and then; an average-cost company
// gets none of them. Everything is written in one transaction, so a failure leaves the database
// as it was.
class DemoCompany {
public:
    struct Options {
        int year = 0;
        int products = 200;
        std::uint64_t seed = 1;
    };

    // Fewer products cannot hold every kind of work-order tree.
    static constexpr int minimumProducts = 20;
    static constexpr int maximumProducts = 100000;
    static constexpr int minimumYear = 1901;
    static constexpr int maximumYear = 9999;

    DemoCompany(db::TDatabase& database, Options options);
    ~DemoCompany();

    DemoCompany(const DemoCompany&) = delete;
    DemoCompany& operator=(const DemoCompany&) = delete;

    // Writes the company. Refuses a database that already has products; on any error rolls
    // the transaction back and rethrows.
    void generate();

    // Rows written per table, in the order the tables were first written.
    std::vector<std::pair<QString, qint64>> rowCounts() const;
    qint64 totalRows() const;
    // Rows of the document line tables.
    qint64 documentLines() const;

private:
    enum class Role { Trading, Material, Finished, SemiFinished, CoProduct, Set };
    enum class Flow { None, In, Out };
    enum class Pricing { Cost, Retail, Correction };
    enum class Type { Integer, Float, Text, Date };

    struct Column {
        const char* name;
        Type type;
    };
    struct Unit {
        qint64 id = 0;
        int fraction = 1;
    };
    // Products to pick from, the popular ones more often.
    struct Pool {
        std::vector<int> items;
        std::vector<qint64> cumulativeWeight;
    };
    struct Product;
    struct PurchaseKind;
    struct Output;
    struct WorkOrderPlan;
    class Table;

    // The seeded numbers with distributions of our own: the standard distributions give
    // different numbers with different standard libraries.
    qint64 between(qint64 low, qint64 high);
    bool percent(int chance) { return between(1, 100) <= chance; }

    Table& table(const QString& name, const std::vector<Column>& columns);
    void requireEmptyCompany();
    void writeCompany();

    void writeMasterData();
    void writeProducts();
    void writeComponentLists();
    void writeBills();
    void writeOpeningBalances();
    void writePurchaseDocuments(const PurchaseKind& kind);
    void writeImports();
    void writeBranchTransfers();
    void writeAssemblies();
    void writeCustomerReturns();
    void writeStockIssues(bool returns);
    void writeStockAdjustments();
    void writeSales(bool pointOfSale);
    void writeProduction();
    void writeSingleOrder(int month, bool assembly);
    void writeTree(int month, int levels, bool first);
    Output writeWorkOrder(const WorkOrderPlan& plan);
    void writeMonthlyOnhand();
    void writeFifoReplenishment();

    // How many of perYear documents fall in the month, so that the twelve months add up.
    static int monthShare(double perYear, int month);
    // Calls write(month, serial) for each of perYear documents, month by month as monthShare
    // spreads them; serial counts the documents of the year from 0.
    void forEachDocument(int perYear, const std::function<void(int month, qint64 serial)>& write);
    int documentsPerYear(double linesPerProduct, int linesPerDocument) const;
    int linesOnDocument(int average);
    QDate dayIn(int month, int firstDay = 1, int lastDay = 31);
    QString documentNo(const char* prefix, int month, qint64 serial) const;
    // Trading goods weigh tradingFactor times their own weight.
    Pool makePool(std::initializer_list<Role> roles, int tradingFactor = 1) const;
    int pick(const Pool& pool);
    const Unit& unitOf(const Product& product, int largePercent);
    qint64 lineQuantity(const Product& product, const Unit& unit, int lots);
    // Keeps the stock movement of valid documents for the monthly stock rows.
    void move(const Product& product, int month, qint64 baseQuantity, Flow flow);

    db::TDatabase& database_;
    Options options_;
    std::mt19937_64 engine_;
    bool hasAccountPeriod_ = false;
    bool hasCloseGlHistory_ = false;
    bool fifo_ = false;
    std::vector<std::unique_ptr<Table>> tables_;
    std::vector<Product> products_;
    Pool purchased_;
    Pool sold_;
    Pool trading_;
    Pool materials_;
    Pool finished_;
    Pool semiFinished_;
    Pool coProducts_;
    Pool sets_;
    Pool everything_;
    std::vector<qint64> purchaseReturnIds_;
    // Base quantities per product and month, month 0 being the opening stock, and what left
    // the stock in each month.
    std::vector<std::array<qint64, 13>> movement_;
    std::vector<std::array<qint64, 13>> outflow_;
    std::vector<std::array<bool, 13>> moved_;
    qint64 nextWorkOrderId_ = 1;
    int workOrderSerial_ = 0;
    int singleOrders_ = 0;
    qint64 outputLineId_ = 0;
    qint64 issueHeaderId_ = 0;
    qint64 issueLineId_ = 0;
    qint64 returnHeaderId_ = 0;
    qint64 returnLineId_ = 0;
    qint64 finishLineId_ = 0;
};
