#include "admin/DemoCompany.h"

#include "db/ConnectionParams.h"
#include "db/DatabaseError.h"
#include "db/TDatabase.h"
#include "db/TQuery.h"
#include "db/schema/CostingMethod.h"

#include <QDateTime>
#include <QStringList>

#include <algorithm>
#include <limits>
#include <stdexcept>

// Amounts are worked out in whole satang (or ten-thousandths of a baht for the values that
// carry four decimals), so every total is exact and the same on every machine.

namespace {

constexpr qint64 mainWarehouse = 1;
constexpr qint64 branchWarehouse = 2;
constexpr qint64 factoryWarehouse = 3;
constexpr int taxRate = 7;

// Expense kinds of the bills; the last id a bill names was removed from MfgExpense, so its
// lines do not count.
constexpr qint64 labourExpense = 1;
constexpr qint64 powerExpense = 2;
constexpr qint64 setupExpense = 3;
constexpr qint64 removedExpense = 5;

double baht(qint64 satang) {
    return static_cast<double>(satang) / 100.0;
}

double bahtFromTenThousandths(qint64 value) {
    return static_cast<double>(value) / 10000.0;
}

QString flag(bool yes) {
    return yes ? QStringLiteral("Y") : QStringLiteral("N");
}

QVariant nullValue() {
    return QVariant();
}

} // namespace

// One insert statement of a table, prepared once and executed for every row.
class DemoCompany::Table {
public:
    Table(const QString& alias, const QString& name, const std::vector<Column>& columns)
        : name_(name), query_(QStringLiteral("QDemo") + name, alias, insertText(name, columns)) {
        for (const auto& column : columns) {
            auto& param = query_.paramByName(QLatin1String(column.name));
            param.setDataType(dataTypeOf(column.type));
            params_.emplace_back(&param, column.type);
        }
    }

    const QString& name() const { return name_; }
    qint64 rows() const { return rows_; }

    // One value per column, in the order of the columns; an invalid QVariant writes null.
    void insert(const QVariantList& values) {
        if (static_cast<size_t>(values.size()) != params_.size())
            throw std::logic_error("demo row for " + name_.toStdString() +
                                   " has the wrong number of values");
        for (size_t i = 0; i < params_.size(); ++i)
            set(*params_[i].first, params_[i].second, values[static_cast<qsizetype>(i)]);
        query_.execSql();
        ++rows_;
    }

private:
    static QString insertText(const QString& name, const std::vector<Column>& columns) {
        QStringList names;
        QStringList markers;
        for (const auto& column : columns) {
            names << QLatin1String(column.name);
            markers << QLatin1Char(':') + QLatin1String(column.name);
        }
        return QStringLiteral("Insert Into %1 (%2) Values (%3)")
            .arg(name, names.join(QStringLiteral(", ")), markers.join(QStringLiteral(", ")));
    }

    static db::DataType dataTypeOf(Type type) {
        switch (type) {
        case Type::Integer:
            return db::DataType::Integer;
        case Type::Float:
            return db::DataType::Float;
        case Type::Date:
            return db::DataType::DateTime;
        case Type::Text:
            break;
        }
        return db::DataType::String;
    }

    static void set(db::TParam& param, Type type, const QVariant& value) {
        if (!value.isValid()) {
            param.clear();
            return;
        }
        switch (type) {
        case Type::Integer:
            param.setAsInteger(value.toLongLong());
            break;
        case Type::Float:
            param.setAsFloat(value.toDouble());
            break;
        case Type::Text:
            param.setAsString(value.toString());
            break;
        case Type::Date:
            // Document dates are whole days; UTC keeps midnight valid in every time zone.
            param.setAsDateTime(value.typeId() == QMetaType::QDateTime
                                    ? value.toDateTime()
                                    : QDateTime(value.toDate(), QTime(0, 0), Qt::UTC));
            break;
        }
    }

    QString name_;
    db::TQuery query_;
    std::vector<std::pair<db::TParam*, Type>> params_;
    qint64 rows_ = 0;
};

struct DemoCompany::Product {
    qint64 id = 0;
    Role role = Role::Trading;
    std::vector<Unit> units; // the base unit (fraction 1) first
    qint64 cost = 0;         // satang per base unit
    int lot = 1;             // a usual line quantity in base units
    int weight = 1;          // how often the product appears on documents
    qint64 bill = 0;
    Unit billUnit;
    std::vector<std::pair<int, int>> materials; // product index, base units per output unit
    std::vector<int> outputs;                   // products of an 'N' bill, the maker first
    qint64 componentList = 0;
    std::vector<std::pair<int, int>> components; // product index, base units per set
};

// A purchase-type document family: header with discounts and VAT mode, lines with totals.
struct DemoCompany::PurchaseKind {
    QString header;
    QString lines;
    const char* dateColumn;
    const char* lineDateColumn; // the line's copy of the date, nullptr when it has none
    const char* prefix;
    double linesPerProduct;
    int linesPerDocument;
    const Pool* pool;
    Flow flow;
    Pricing pricing;
    int inclusivePercent; // share of documents whose prices include VAT
    int lots;
    bool linkedToReturns; // credit notes that may belong to a purchase return
    bool freeGoods;       // an occasional document of goods received free
    bool keepIds;         // remembers the header ids (purchase returns)
};

// What a work order made, for its master work order to take as material.
struct DemoCompany::Output {
    int product = 0;
    Unit unit;
    qint64 quantity = 0;
    int finishDay = 1;
};

struct DemoCompany::WorkOrderPlan {
    qint64 id = 0;
    qint64 master = 0; // 0: a root
    int maker = 0;     // the product whose bill the order follows
    int month = 1;
    int startDay = 1;
    std::vector<Output> fromChildren;
    bool cleared = true;
    bool deleted = false;
    bool closedLater = false;
};

qint64 DemoCompany::between(qint64 low, qint64 high) {
    const auto range = static_cast<std::uint64_t>(high - low) + 1;
    constexpr auto top = std::numeric_limits<std::uint64_t>::max();
    const std::uint64_t limit = top - top % range;
    std::uint64_t value = engine_();
    while (value >= limit)
        value = engine_();
    return low + static_cast<qint64>(value % range);
}

DemoCompany::DemoCompany(db::TDatabase& database, Options options)
    : database_(database), options_(options), engine_(options.seed) {
    if (options_.products < minimumProducts || options_.products > maximumProducts)
        throw std::invalid_argument("demo company: product count out of range");
    if (options_.year < minimumYear || options_.year > maximumYear)
        throw std::invalid_argument("demo company: year out of range");
}

DemoCompany::~DemoCompany() = default;

std::vector<std::pair<QString, qint64>> DemoCompany::rowCounts() const {
    std::vector<std::pair<QString, qint64>> counts;
    for (const auto& table : tables_)
        counts.emplace_back(table->name(), table->rows());
    return counts;
}

qint64 DemoCompany::totalRows() const {
    qint64 total = 0;
    for (const auto& table : tables_)
        total += table->rows();
    return total;
}

qint64 DemoCompany::documentLines() const {
    static const QStringList lineTables{"imdt",          "MRDT",         "PCDT",
                                        "PRDT",          "VCNDT",        "VDNDT",
                                        "POSRDT",        "TranBranchDT", "ProductAssemblyDt",
                                        "SRDT",          "Isdt",         "Ridt",
                                        "AdjuststockDt", "IvDt",         "PosDt",
                                        "WorkOrderDt",   "MFGISDT",      "MFGRIDT",
                                        "MFGFinishDt"};
    qint64 total = 0;
    for (const auto& table : tables_) {
        if (lineTables.contains(table->name()))
            total += table->rows();
    }
    return total;
}

DemoCompany::Table& DemoCompany::table(const QString& name, const std::vector<Column>& columns) {
    for (const auto& existing : tables_) {
        if (existing->name() == name)
            return *existing;
    }
    tables_.push_back(std::make_unique<Table>(database_.databaseName(), name, columns));
    return *tables_.back();
}

void DemoCompany::generate() {
    requireEmptyCompany();
    database_.startTransaction();
    try {
        writeCompany();
        database_.commit();
    } catch (...) {
        database_.rollback();
        throw;
    }
}

void DemoCompany::requireEmptyCompany() {
    db::TQuery products(QStringLiteral("QDemoProducts"), database_.databaseName(),
                        QStringLiteral("Select Count(*) Products From Product"));
    products.open();
    // Named as the connection names the company, not by the connection's alias.
    if (products.fieldByName(QStringLiteral("Products")).asInteger() != 0)
        throw db::DatabaseError(
            QStringLiteral("%1 already has products: the demo fills an empty company database")
                .arg(db::ConnectionParams(database_.params())
                         .value(QStringLiteral("DATABASE NAME"), database_.databaseName())));
    // The accounting year and its closing history are kept when the company already has them.
    db::TQuery year(QStringLiteral("QDemoYear"), database_.databaseName(),
                    QStringLiteral("Select (Select Count(*) From AccountPeriod Where AccountYear "
                                   "= :Year) Periods, (Select Count(*) From CloseGlHistory "
                                   "Where Year = :Year) Closings"));
    year.paramByName(QStringLiteral("Year")).setAsInteger(options_.year);
    year.open();
    hasAccountPeriod_ = year.fieldByName(QStringLiteral("Periods")).asInteger() != 0;
    hasCloseGlHistory_ = year.fieldByName(QStringLiteral("Closings")).asInteger() != 0;
    fifo_ =
        db::schema::CostingMethod::of(database_.databaseName()) == db::schema::CostingMethod::fifo;
}

void DemoCompany::writeCompany() {
    writeMasterData();
    writeProducts();
    writeComponentLists();
    writeBills();
    writeOpeningBalances();

    writePurchaseDocuments({"MRHD", "MRDT", "MRDATE", "MrDate", "MR", 12.0, 5, &purchased_,
                            Flow::In, Pricing::Cost, 40, 5, false, true, false});
    writePurchaseDocuments({"PCHD", "PCDT", "PCDATE", "PcDate", "PC", 5.0, 3, &purchased_, Flow::In,
                            Pricing::Cost, 50, 3, false, false, false});
    writeImports();
    writeBranchTransfers();
    writePurchaseDocuments({"PRHD", "PRDT", "PRDATE", nullptr, "PR", 1.5, 2, &purchased_, Flow::Out,
                            Pricing::Cost, 40, 1, false, false, true});
    writePurchaseDocuments({"VCNHD", "VCNDT", "CDDATE", nullptr, "CN", 0.6, 2, &purchased_,
                            Flow::None, Pricing::Correction, 40, 2, true, false, false});
    writePurchaseDocuments({"VDNHD", "VDNDT", "CDDATE", nullptr, "DN", 0.5, 2, &purchased_,
                            Flow::None, Pricing::Correction, 40, 2, false, false, false});
    writePurchaseDocuments({"POSRHD", "POSRDT", "SRDATE", "SrDate", "RP", 1.5, 1, &sold_, Flow::In,
                            Pricing::Retail, 80, 1, false, false, false});
    writeAssemblies();
    writeCustomerReturns();
    writeStockIssues(false);
    writeStockIssues(true);
    writeStockAdjustments();
    writeSales(false);
    writeSales(true);
    writeProduction();
    if (fifo_)
        writeFifoReplenishment();
    writeMonthlyOnhand();
}

// ---------------------------------------------------------------------------------------------
// Helpers

int DemoCompany::monthShare(double perYear, int month) {
    const auto upTo = [perYear](int m) { return static_cast<int>(perYear * m / 12.0); };
    return upTo(month) - upTo(month - 1);
}

void DemoCompany::forEachDocument(int perYear,
                                  const std::function<void(int month, qint64 serial)>& write) {
    qint64 serial = 0;
    for (int month = 1; month <= 12; ++month) {
        for (int d = monthShare(perYear, month); d > 0; --d)
            write(month, serial++);
    }
}

int DemoCompany::documentsPerYear(double linesPerProduct, int linesPerDocument) const {
    return static_cast<int>(options_.products * linesPerProduct / linesPerDocument + 0.5);
}

int DemoCompany::linesOnDocument(int average) {
    return static_cast<int>(between(1, 2 * average - 1));
}

QDate DemoCompany::dayIn(int month, int firstDay, int lastDay) {
    const QDate first(options_.year, month, 1);
    const int last = std::min(lastDay, first.daysInMonth());
    return QDate(options_.year, month, static_cast<int>(between(std::min(firstDay, last), last)));
}

QString DemoCompany::documentNo(const char* prefix, int month, qint64 serial) const {
    return QStringLiteral("%1%2%3-%4")
        .arg(QLatin1String(prefix))
        .arg(options_.year % 100, 2, 10, QLatin1Char('0'))
        .arg(month, 2, 10, QLatin1Char('0'))
        .arg(serial + 1, 5, 10, QLatin1Char('0'));
}

DemoCompany::Pool DemoCompany::makePool(std::initializer_list<Role> roles,
                                        int tradingFactor) const {
    Pool pool;
    qint64 total = 0;
    for (size_t i = 0; i < products_.size(); ++i) {
        if (std::find(roles.begin(), roles.end(), products_[i].role) == roles.end())
            continue;
        total += products_[i].weight * (products_[i].role == Role::Trading ? tradingFactor : 1);
        pool.items.push_back(static_cast<int>(i));
        pool.cumulativeWeight.push_back(total);
    }
    return pool;
}

int DemoCompany::pick(const Pool& pool) {
    const qint64 ticket = between(0, pool.cumulativeWeight.back() - 1);
    const auto at =
        std::upper_bound(pool.cumulativeWeight.begin(), pool.cumulativeWeight.end(), ticket);
    return pool.items[static_cast<size_t>(at - pool.cumulativeWeight.begin())];
}

const DemoCompany::Unit& DemoCompany::unitOf(const Product& product, int largePercent) {
    if (product.units.size() > 1 && percent(largePercent))
        return product
            .units[static_cast<size_t>(between(1, static_cast<qint64>(product.units.size()) - 1))];
    return product.units.front();
}

qint64 DemoCompany::lineQuantity(const Product& product, const Unit& unit, int lots) {
    const qint64 base = product.lot * lots * between(50, 150) / 100;
    return std::max<qint64>(1, (base + unit.fraction / 2) / unit.fraction);
}

void DemoCompany::move(const Product& product, int month, qint64 baseQuantity, Flow flow) {
    if (flow == Flow::None)
        return;
    const auto index = static_cast<size_t>(product.id - 1);
    movement_[index][static_cast<size_t>(month)] += flow == Flow::In ? baseQuantity : -baseQuantity;
    if (flow == Flow::Out)
        outflow_[index][static_cast<size_t>(month)] += baseQuantity;
    moved_[index][static_cast<size_t>(month)] = true;
}

// ---------------------------------------------------------------------------------------------
// Master data

void DemoCompany::writeMasterData() {
    auto& warehouses = table(
        "Warehouse", {{"Id", Type::Integer}, {"Code", Type::Text}, {"Description", Type::Text}});
    warehouses.insert({mainWarehouse, "WH01", QStringLiteral("คลังสินค้าหลัก")});
    warehouses.insert({branchWarehouse, "WH02", QStringLiteral("คลังสาขาเชียงใหม่")});
    warehouses.insert({factoryWarehouse, "WH03", QStringLiteral("คลังโรงงาน")});

    auto& expenses = table(
        "MfgExpense", {{"Id", Type::Integer}, {"Code", Type::Text}, {"Description", Type::Text}});
    expenses.insert({labourExpense, "LAB", QStringLiteral("ค่าแรงงานทางตรง")});
    expenses.insert({powerExpense, "PWR", QStringLiteral("ค่าไฟฟ้าโรงงาน")});
    expenses.insert({setupExpense, "SET", QStringLiteral("ค่าตั้งเครื่องจักร")});
    expenses.insert({4, "OVH", QStringLiteral("ค่าโสหุ้ยการผลิต")});

    if (!hasAccountPeriod_) {
        std::vector<Column> columns{{"AccountYear", Type::Integer}};
        static const char* const starts[] = {"Start1", "Start2",  "Start3",  "Start4",
                                             "Start5", "Start6",  "Start7",  "Start8",
                                             "Start9", "Start10", "Start11", "Start12"};
        static const char* const stops[] = {"Stop1", "Stop2",  "Stop3",  "Stop4",
                                            "Stop5", "Stop6",  "Stop7",  "Stop8",
                                            "Stop9", "Stop10", "Stop11", "Stop12"};
        for (const auto* name : starts)
            columns.push_back({name, Type::Date});
        for (const auto* name : stops)
            columns.push_back({name, Type::Date});
        QVariantList values{options_.year};
        for (int month = 1; month <= 12; ++month)
            values << QDate(options_.year, month, 1);
        for (int month = 1; month <= 12; ++month) {
            const QDate first(options_.year, month, 1);
            values << QDateTime(first.addDays(first.daysInMonth() - 1), QTime(23, 59, 59), Qt::UTC);
        }
        table("AccountPeriod", columns).insert(values);
    }
    if (!hasCloseGlHistory_) {
        table("CloseGlHistory", {{"Year", Type::Integer},
                                 {"LastPost", Type::Integer},
                                 {"LastCloseCost", Type::Integer}})
            .insert({options_.year, 0, 1});
    }
}

void DemoCompany::writeProducts() {
    struct Kind {
        Role role;
        QString baseUnit;
        QStringList names;
    };
    static const Kind kinds[] = {
        {Role::Trading,
         QStringLiteral("ชิ้น"),
         {QStringLiteral("น้ำปลา"), QStringLiteral("ซีอิ๊วขาว"), QStringLiteral("น้ำมันพืช"),
          QStringLiteral("ข้าวหอมมะลิ"), QStringLiteral("น้ำตาลทราย"), QStringLiteral("นมข้นหวาน"),
          QStringLiteral("กาแฟผง"), QStringLiteral("ปลากระป๋อง"), QStringLiteral("น้ำดื่ม"),
          QStringLiteral("สบู่"), QStringLiteral("ยาสีฟัน"), QStringLiteral("ผงซักฟอก")}},
        {Role::Material,
         QStringLiteral("กก."),
         {QStringLiteral("แป้งสาลี"), QStringLiteral("เกลือ"), QStringLiteral("พริกแห้ง"),
          QStringLiteral("กระเทียม"), QStringLiteral("มะพร้าว"), QStringLiteral("ขวดแก้ว"),
          QStringLiteral("ฝาขวด"), QStringLiteral("ฉลาก"), QStringLiteral("กล่องกระดาษ")}},
        {Role::Finished,
         QStringLiteral("ขวด"),
         {QStringLiteral("น้ำพริกเผา"), QStringLiteral("ซอสพริก"), QStringLiteral("ซอสมะเขือเทศ"),
          QStringLiteral("น้ำจิ้มสุกี้"), QStringLiteral("เครื่องแกงเขียวหวาน")}},
        {Role::SemiFinished,
         QStringLiteral("กก."),
         {QStringLiteral("น้ำซุปเข้มข้น"), QStringLiteral("พริกบด"), QStringLiteral("กระเทียมเจียว"),
          QStringLiteral("น้ำเชื่อม")}},
        {Role::CoProduct,
         QStringLiteral("กก."),
         {QStringLiteral("กะทิ"), QStringLiteral("น้ำมันมะพร้าว"), QStringLiteral("กากมะพร้าว")}},
        {Role::Set,
         QStringLiteral("ชุด"),
         {QStringLiteral("ชุดของขวัญ"), QStringLiteral("กระเช้าปีใหม่"), QStringLiteral("ชุดเครื่องปรุง")}},
    };
    // Every twenty products: nine bought and sold, five materials, two finished goods, two
    // semi-finished goods, a co-product and a set.
    static const Role cycle[20] = {
        Role::Trading,  Role::Trading,      Role::Trading,      Role::Trading,   Role::Trading,
        Role::Trading,  Role::Trading,      Role::Trading,      Role::Trading,   Role::Material,
        Role::Material, Role::Material,     Role::Material,     Role::Material,  Role::Finished,
        Role::Finished, Role::SemiFinished, Role::SemiFinished, Role::CoProduct, Role::Set};

    auto& products = table("Product", {{"Id", Type::Integer},
                                       {"Code", Type::Text},
                                       {"ThaiName", Type::Text},
                                       {"EngName", Type::Text},
                                       {"Negative", Type::Text}});
    auto& units = table("ProductUnits", {{"Id", Type::Integer},
                                         {"Product", Type::Integer},
                                         {"Code", Type::Text},
                                         {"Fraction", Type::Float}});
    qint64 unitId = 0;
    products_.resize(static_cast<size_t>(options_.products));
    for (int i = 0; i < options_.products; ++i) {
        auto& product = products_[static_cast<size_t>(i)];
        product.id = i + 1;
        product.role = cycle[i % 20];
        const Kind& kind = *std::find_if(std::begin(kinds), std::end(kinds),
                                         [&](const Kind& k) { return k.role == product.role; });
        product.cost = between(500, 30000);
        product.lot = static_cast<int>(product.role == Role::Set ? between(1, 3) : between(2, 40));
        // A few best sellers; co-products and sets sell slowly.
        product.weight = i % 25 == 3 ? 20 : static_cast<int>(between(1, 5));
        if (product.role == Role::CoProduct || product.role == Role::Set)
            product.weight = 1;
        const auto& name = kind.names[static_cast<qsizetype>(i) % kind.names.size()];
        products.insert({product.id, QStringLiteral("P%1").arg(product.id, 5, 10, QLatin1Char('0')),
                         QStringLiteral("%1 แบบที่ %2").arg(name).arg(product.id),
                         QStringLiteral("Product %1").arg(product.id), "N"});

        product.units.push_back({++unitId, 1});
        units.insert({unitId, product.id, kind.baseUnit, 1});
        if (product.role == Role::Set)
            continue;
        if (percent(60)) {
            const int fraction = percent(50) ? 6 : 12;
            product.units.push_back({++unitId, fraction});
            units.insert({unitId, product.id,
                          fraction == 12 ? QStringLiteral("โหล") : QStringLiteral("แพ็ค 6"),
                          fraction});
        }
        if (percent(50)) {
            const int fraction = percent(50) ? 24 : 48;
            product.units.push_back({++unitId, fraction});
            units.insert({unitId, product.id, QStringLiteral("ลัง %1").arg(fraction), fraction});
        }
    }
    movement_.assign(products_.size(), {});
    outflow_.assign(products_.size(), {});
    moved_.assign(products_.size(), {});

    purchased_ = makePool({Role::Trading, Role::Material});
    // Goods the company makes sell less than the goods it trades in.
    sold_ = makePool({Role::Trading, Role::Finished, Role::CoProduct, Role::Set}, 4);
    trading_ = makePool({Role::Trading});
    materials_ = makePool({Role::Material});
    finished_ = makePool({Role::Finished});
    semiFinished_ = makePool({Role::SemiFinished});
    coProducts_ = makePool({Role::CoProduct});
    sets_ = makePool({Role::Set});
    everything_ = makePool({Role::Trading, Role::Material, Role::Finished, Role::SemiFinished,
                            Role::CoProduct, Role::Set});
}

void DemoCompany::writeComponentLists() {
    auto& headers =
        table("ProductComponentHd",
              {{"Id", Type::Integer}, {"Product", Type::Integer}, {"Description", Type::Text}});
    auto& lines = table("ProductComponentDt", {{"Id", Type::Integer},
                                               {"ProductComponentHd", Type::Integer},
                                               {"Product", Type::Integer},
                                               {"ProductUnits", Type::Integer},
                                               {"Quantity", Type::Float},
                                               {"Cost", Type::Float}});
    qint64 headerId = 0;
    qint64 lineId = 0;
    for (const int index : sets_.items) {
        auto& set = products_[static_cast<size_t>(index)];
        set.componentList = ++headerId;
        headers.insert({headerId, set.id, QStringLiteral("ส่วนประกอบของชุด %1").arg(set.id)});
        set.cost = 0;
        const int count = static_cast<int>(between(2, 4));
        for (int c = 0; c < count; ++c) {
            const int component = pick(trading_);
            const auto& part = products_[static_cast<size_t>(component)];
            const int quantity = static_cast<int>(between(1, 3));
            set.components.emplace_back(component, quantity);
            set.cost += part.cost * quantity;
            lines.insert(
                {++lineId, headerId, part.id, part.units.front().id, quantity, baht(part.cost)});
        }
    }
}

void DemoCompany::writeBills() {
    auto& headers = table("BomHd", {{"Id", Type::Integer},
                                    {"Code", Type::Text},
                                    {"Product", Type::Integer},
                                    {"BomAssembly", Type::Text},
                                    {"ProductUnits", Type::Integer}});
    auto& lines = table("BomDt", {{"Id", Type::Integer},
                                  {"BomHd", Type::Integer},
                                  {"RmType", Type::Text},
                                  {"Product", Type::Integer},
                                  {"Quantity", Type::Float},
                                  {"StdCost", Type::Float},
                                  {"MfgExpense", Type::Integer}});
    qint64 billId = 0;
    qint64 lineId = 0;
    for (auto& product : products_) {
        if (product.role != Role::Finished && product.role != Role::SemiFinished &&
            product.role != Role::CoProduct)
            continue;
        const bool assembly = product.role != Role::CoProduct;
        product.bill = ++billId;
        // Some finished goods are made and counted in packs.
        product.billUnit = assembly && product.units.size() > 1 && percent(30)
                               ? product.units[1]
                               : product.units.front();
        headers.insert({billId, QStringLiteral("BOM%1").arg(billId, 5, 10, QLatin1Char('0')),
                        product.id, flag(assembly), product.billUnit.id});

        qint64 cost = 0;
        const int count = static_cast<int>(between(2, 3));
        for (int m = 0; m < count; ++m) {
            const int material = pick(materials_);
            const auto& part = products_[static_cast<size_t>(material)];
            const int perUnit = static_cast<int>(between(1, 2));
            product.materials.emplace_back(material, perUnit);
            cost += part.cost * perUnit;
            lines.insert({++lineId, billId, "R", part.id, perUnit, baht(part.cost), nullValue()});
        }
        const qint64 perUnitExpense = between(50, 500);
        lines.insert({++lineId, billId, "E", nullValue(), 1,
                      baht(perUnitExpense * product.billUnit.fraction),
                      percent(50) ? labourExpense : powerExpense});
        if (billId % 4 != 2)
            lines.insert({++lineId, billId, "F", nullValue(), 1, baht(between(50, 500) * 100),
                          setupExpense});
        if (billId % 8 == 5)
            lines.insert(
                {++lineId, billId, "E", nullValue(), 1, baht(between(10, 100)), removedExpense});
        product.cost = cost + perUnitExpense;

        if (!assembly) {
            product.outputs.push_back(static_cast<int>(product.id - 1));
            if (coProducts_.items.size() > 1 && percent(60)) {
                int other = pick(coProducts_);
                if (other != product.outputs.front())
                    product.outputs.push_back(other);
            }
        }
    }
}

void DemoCompany::writeOpeningBalances() {
    auto& onhand = table("ProductOnhand", {{"Product", Type::Integer},
                                           {"Warehouse", Type::Integer},
                                           {"BalanceYear", Type::Integer},
                                           {"PeriodNo", Type::Integer},
                                           {"Quantity", Type::Float}});
    auto& ledger = table("ProductCostAVG", {{"Product", Type::Integer},
                                            {"ProductUnits", Type::Integer},
                                            {"PeriodNo", Type::Integer},
                                            {"BalanceYear", Type::Integer},
                                            {"PurcQnty", Type::Float},
                                            {"PurcAmount", Type::Float},
                                            {"CostAvg", Type::Float}});
    for (size_t i = 0; i < products_.size(); ++i) {
        auto& product = products_[i];
        // A tenth of the products are new this year; a few have stock but no opening cost
        // row, or an opening cost row but no stock.
        const bool stock = i % 10 != 9;
        const bool openingRow = stock ? i % 31 != 30 : i % 20 == 19;
        if (stock) {
            const qint64 quantity = product.lot * between(4, 10);
            if (i % 7 == 2) {
                const qint64 branch = quantity / 3;
                onhand.insert({product.id, mainWarehouse, options_.year, 0, quantity - branch});
                onhand.insert({product.id, branchWarehouse, options_.year, 0, branch});
            } else {
                onhand.insert({product.id, mainWarehouse, options_.year, 0, quantity});
            }
            movement_[i][0] = quantity;
        }
        if (openingRow) {
            // The opening cost is per unit of the row's unit, often the largest one.
            const Unit& unit = percent(50) ? product.units.back() : product.units.front();
            const qint64 cost = product.cost * 100 * unit.fraction * between(95, 105) / 100;
            ledger.insert(
                {product.id, unit.id, 0, options_.year, 0, 0, bahtFromTenThousandths(cost)});
        }
        // Some units last had a cost in the year before.
        if (product.role == Role::Trading && i % 10 == 3) {
            const Unit& unit = product.units.back();
            const qint64 quantity = product.lot * between(5, 20);
            const qint64 cost = product.cost * 100 * between(90, 100) / 100;
            const qint64 amount = (quantity * cost + 50) / 100;
            ledger.insert({product.id, unit.id, 12, options_.year - 1, quantity, baht(amount),
                           bahtFromTenThousandths(cost)});
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Receipts and returns

void DemoCompany::writePurchaseDocuments(const PurchaseKind& kind) {
    std::vector<Column> headerColumns{
        {"Id", Type::Integer},     {kind.dateColumn, Type::Date}, {"DocNo", Type::Text},
        {"Delflag", Type::Text},   {"DiscAmt1", Type::Float},     {"DiscAmt2", Type::Float},
        {"DiscAmt3", Type::Float}, {"TaxRate", Type::Float},      {"Price_IE", Type::Text}};
    if (kind.linkedToReturns)
        headerColumns.push_back({"PrHd", Type::Integer});
    const QByteArray headerLink = kind.header.toLatin1();
    std::vector<Column> lineColumns{
        {"Id", Type::Integer},        {headerLink.constData(), Type::Integer},
        {"Product", Type::Integer},   {"ProductUnits", Type::Integer},
        {"Warehouse", Type::Integer}, {"Quantity", Type::Float},
        {"Price", Type::Float},       {"Total", Type::Float}};
    if (kind.lineDateColumn)
        lineColumns.push_back({kind.lineDateColumn, Type::Date});
    auto& headers = table(kind.header, headerColumns);
    auto& lines = table(kind.lines, lineColumns);

    struct Line {
        const Product* product;
        Unit unit;
        qint64 quantity;
        qint64 price;
    };
    const int perYear = documentsPerYear(kind.linesPerProduct, kind.linesPerDocument);
    qint64 headerId = 0;
    qint64 lineId = 0;
    std::vector<Line> pending;
    forEachDocument(perYear, [&](int month, qint64 serial) {
        const QDate date = dayIn(month);
        const bool deleted = serial % 25 == 12;
        const bool inclusive = serial < 2 ? serial == 0 : percent(kind.inclusivePercent);
        const bool free = kind.freeGoods && serial % 50 == 20;
        pending.clear();
        qint64 sum = 0;
        for (int l = linesOnDocument(kind.linesPerDocument); l > 0; --l) {
            const auto& product = products_[static_cast<size_t>(pick(*kind.pool))];
            const Unit unit = unitOf(product, kind.pricing == Pricing::Retail ? 20 : 60);
            const qint64 quantity = lineQuantity(product, unit, kind.lots);
            qint64 price = product.cost * unit.fraction;
            switch (kind.pricing) {
            case Pricing::Cost:
                price = price * between(92, 108) / 100;
                break;
            case Pricing::Retail:
                price = price * between(125, 140) / 100;
                break;
            case Pricing::Correction:
                price = std::max<qint64>(1, price * between(2, 10) / 100);
                break;
            }
            if (inclusive)
                price = (price * (100 + taxRate) + 50) / 100;
            if (free)
                price = 0;
            pending.push_back({&product, unit, quantity, price});
            sum += quantity * price;
        }
        // Document discounts: a percentage, a round amount, and a third that older
        // documents left empty.
        static const int discountPercents[] = {0, 0, 0, 1, 2, 3, 5};
        const qint64 discount1 = sum * discountPercents[between(0, 6)] / 100;
        const qint64 discount2 = percent(30) ? std::min(between(10, 200) * 100, sum / 10) : 0;
        const QVariant discount3 =
            serial % 4 == 1
                ? nullValue()
                : QVariant(baht(percent(10) ? std::min(between(5, 50) * 100, sum / 20) : 0));
        QVariantList header{++headerId,
                            date,
                            documentNo(kind.prefix, month, serial),
                            flag(deleted),
                            baht(discount1),
                            baht(discount2),
                            discount3,
                            taxRate,
                            inclusive ? "I" : "E"};
        if (kind.linkedToReturns) {
            header << (serial % 3 == 0 && !purchaseReturnIds_.empty()
                           ? QVariant(purchaseReturnIds_[static_cast<size_t>(
                                 between(0, static_cast<qint64>(purchaseReturnIds_.size()) - 1))])
                           : nullValue());
        }
        headers.insert(header);
        if (kind.keepIds)
            purchaseReturnIds_.push_back(headerId);
        for (const auto& line : pending) {
            QVariantList values{
                ++lineId,      headerId,      line.product->id, line.unit.id,
                mainWarehouse, line.quantity, baht(line.price), baht(line.price * line.quantity)};
            if (kind.lineDateColumn)
                values << date;
            lines.insert(values);
            if (!deleted)
                move(*line.product, month, line.quantity * line.unit.fraction, kind.flow);
        }
    });
}

void DemoCompany::writeImports() {
    auto& headers = table("imhd", {{"Id", Type::Integer},
                                   {"imdate", Type::Date},
                                   {"DocNo", Type::Text},
                                   {"delflag", Type::Text}});
    auto& lines = table("imdt", {{"Id", Type::Integer},
                                 {"imhd", Type::Integer},
                                 {"Product", Type::Integer},
                                 {"ProductUnits", Type::Integer},
                                 {"Warehouse", Type::Integer},
                                 {"Quantity", Type::Float},
                                 {"Cost", Type::Float}});
    qint64 lineId = 0;
    forEachDocument(documentsPerYear(2.0, 4), [&](int month, qint64 serial) {
        const bool deleted = serial % 25 == 12;
        const QDate date = dayIn(month);
        const qint64 headerId = serial + 1;
        headers.insert({headerId, date, documentNo("IM", month, serial), flag(deleted)});
        for (int l = linesOnDocument(4); l > 0; --l) {
            const auto& product = products_[static_cast<size_t>(pick(purchased_))];
            const Unit& unit = unitOf(product, 80);
            const qint64 quantity = lineQuantity(product, unit, 4);
            // Converted from a foreign currency with freight: four decimals.
            const qint64 cost =
                product.cost * 100 * quantity * unit.fraction * between(9500, 11500) / 10000;
            lines.insert({++lineId, headerId, product.id, unit.id, mainWarehouse, quantity,
                          bahtFromTenThousandths(cost)});
            if (!deleted)
                move(product, month, quantity * unit.fraction, Flow::In);
        }
    });
}

void DemoCompany::writeBranchTransfers() {
    auto& headers = table("TranBranchHD", {{"Id", Type::Integer},
                                           {"TranDATE", Type::Date},
                                           {"DocNo", Type::Text},
                                           {"Delflag", Type::Text},
                                           {"TranType", Type::Text}});
    auto& lines = table("TranBranchDT", {{"Id", Type::Integer},
                                         {"TranBranchHD", Type::Integer},
                                         {"Product", Type::Integer},
                                         {"ProductUnits", Type::Integer},
                                         {"Warehouse", Type::Integer},
                                         {"Quantity", Type::Float},
                                         {"Total", Type::Float}});
    qint64 lineId = 0;
    forEachDocument(documentsPerYear(5.0, 4), [&](int month, qint64 serial) {
        const bool deleted = serial % 25 == 12;
        const bool in = serial % 5 < 3;
        const QDate date = dayIn(month);
        const qint64 headerId = serial + 1;
        headers.insert({headerId, date, documentNo(in ? "TI" : "TO", month, serial), flag(deleted),
                        in ? "I" : "O"});
        for (int l = linesOnDocument(4); l > 0; --l) {
            const auto& product = products_[static_cast<size_t>(pick(in ? purchased_ : trading_))];
            const Unit& unit = unitOf(product, 50);
            const qint64 quantity = lineQuantity(product, unit, 2);
            lines.insert({++lineId, headerId, product.id, unit.id,
                          in ? mainWarehouse : branchWarehouse, quantity,
                          baht(product.cost * unit.fraction * quantity)});
            if (!deleted)
                move(product, month, quantity * unit.fraction, in ? Flow::In : Flow::Out);
        }
    });
}

void DemoCompany::writeAssemblies() {
    auto& headers = table("ProductAssemblyHd", {{"Id", Type::Integer},
                                                {"Product", Type::Integer},
                                                {"ProductUnits", Type::Integer},
                                                {"Warehouse", Type::Integer},
                                                {"PaDate", Type::Date},
                                                {"Quantity", Type::Float},
                                                {"PaType", Type::Text},
                                                {"Delflag", Type::Text},
                                                {"ProductComponentHd", Type::Integer}});
    auto& lines = table("ProductAssemblyDt", {{"Id", Type::Integer},
                                              {"ProductAssemblyHd", Type::Integer},
                                              {"Product", Type::Integer},
                                              {"ProductUnits", Type::Integer},
                                              {"Warehouse", Type::Integer},
                                              {"PaDate", Type::Date},
                                              {"Quantity", Type::Float},
                                              {"PaType", Type::Text}});
    qint64 headerId = 0;
    qint64 lineId = 0;
    forEachDocument(documentsPerYear(0.6, 1), [&](int month, qint64 serial) {
        const auto& set = products_[static_cast<size_t>(pick(sets_))];
        const bool assembly = serial % 5 != 2;
        const QDate date = dayIn(month);
        const qint64 sets = between(2, 12);
        // Now and then the same set is assembled twice on a day in the same quantity.
        const int copies = serial % 15 == 4 ? 2 : 1;
        for (int copy = 0; copy < copies; ++copy) {
            const bool deleted = serial % 25 == 12 && copy == 0;
            const QString type = assembly ? QStringLiteral("A") : QStringLiteral("D");
            headers.insert({++headerId, set.id, set.units.front().id, mainWarehouse, date, sets,
                            type, flag(deleted), set.componentList});
            if (!deleted)
                move(set, month, sets, assembly ? Flow::In : Flow::Out);
            for (const auto& [component, perSet] : set.components) {
                const auto& part = products_[static_cast<size_t>(component)];
                lines.insert({++lineId, headerId, part.id, part.units.front().id, mainWarehouse,
                              date, perSet * sets, type});
                if (!deleted)
                    move(part, month, perSet * sets, assembly ? Flow::Out : Flow::In);
            }
        }
    });
}

void DemoCompany::writeCustomerReturns() {
    auto& headers = table("SRHD", {{"Id", Type::Integer},
                                   {"SRDATE", Type::Date},
                                   {"DocNo", Type::Text},
                                   {"Delflag", Type::Text},
                                   {"SrType", Type::Text}});
    auto& lines = table("SRDT", {{"Id", Type::Integer},
                                 {"SRHD", Type::Integer},
                                 {"Product", Type::Integer},
                                 {"ProductUnits", Type::Integer},
                                 {"Warehouse", Type::Integer},
                                 {"Quantity", Type::Float},
                                 {"SrDate", Type::Date},
                                 {"Price", Type::Float},
                                 {"Total", Type::Float}});
    qint64 lineId = 0;
    forEachDocument(documentsPerYear(3.0, 2), [&](int month, qint64 serial) {
        const bool deleted = serial % 20 == 9;
        // Type 'B' returns are not taken back at cost.
        const bool notCosted = serial % 7 == 3;
        const QDate date = dayIn(month);
        const qint64 headerId = serial + 1;
        headers.insert({headerId, date, documentNo("SR", month, serial), flag(deleted),
                        notCosted ? "B" : "A"});
        for (int l = linesOnDocument(2); l > 0; --l) {
            const auto& product = products_[static_cast<size_t>(pick(sold_))];
            const Unit& unit = unitOf(product, 15);
            const qint64 quantity = lineQuantity(product, unit, 1);
            const qint64 price = product.cost * unit.fraction * 13 / 10;
            lines.insert({++lineId, headerId, product.id, unit.id, mainWarehouse, quantity, date,
                          baht(price), baht(price * quantity)});
            if (!deleted)
                move(product, month, quantity * unit.fraction, Flow::In);
        }
    });
}

// ---------------------------------------------------------------------------------------------
// Issues

void DemoCompany::writeStockIssues(bool returns) {
    const QString header = returns ? QStringLiteral("RiHd") : QStringLiteral("IsHd");
    const char* date = returns ? "RiDate" : "IsDate";
    auto& headers = table(header, {{"Id", Type::Integer},
                                   {date, Type::Date},
                                   {"DocNo", Type::Text},
                                   {"Delflag", Type::Text}});
    const QByteArray link = header.toLatin1();
    auto& lines = table(returns ? QStringLiteral("Ridt") : QStringLiteral("Isdt"),
                        {{"Id", Type::Integer},
                         {link.constData(), Type::Integer},
                         {"Product", Type::Integer},
                         {"ProductUnits", Type::Integer},
                         {"Warehouse", Type::Integer},
                         {"Quantity", Type::Float},
                         {date, Type::Date},
                         {"Fraction", Type::Float}});
    const int perYear = returns ? documentsPerYear(1.0, 2) : documentsPerYear(5.0, 3);
    qint64 lineId = 0;
    forEachDocument(perYear, [&](int month, qint64 serial) {
        const bool deleted = serial % 25 == 12;
        const QDate day = dayIn(month);
        const qint64 headerId = serial + 1;
        headers.insert(
            {headerId, day, documentNo(returns ? "RI" : "IS", month, serial), flag(deleted)});
        for (int l = linesOnDocument(returns ? 2 : 3); l > 0; --l) {
            const auto& product = products_[static_cast<size_t>(pick(purchased_))];
            const Unit& unit = unitOf(product, 30);
            const qint64 quantity = lineQuantity(product, unit, 1);
            lines.insert({++lineId, headerId, product.id, unit.id, mainWarehouse, quantity, day,
                          unit.fraction});
            if (!deleted)
                move(product, month, quantity * unit.fraction, returns ? Flow::In : Flow::Out);
        }
    });
}

void DemoCompany::writeStockAdjustments() {
    auto& headers = table("AdjuststockHd", {{"Id", Type::Integer},
                                            {"AdjDate", Type::Date},
                                            {"DocNo", Type::Text},
                                            {"Delflag", Type::Text}});
    auto& lines = table("AdjuststockDt", {{"Id", Type::Integer},
                                          {"AdjuststockHd", Type::Integer},
                                          {"Product", Type::Integer},
                                          {"ProductUnits", Type::Integer},
                                          {"Warehouse", Type::Integer},
                                          {"Quantity", Type::Float},
                                          {"Fraction", Type::Float},
                                          {"Price", Type::Float}});
    qint64 lineId = 0;
    forEachDocument(documentsPerYear(2.0, 5), [&](int month, qint64 serial) {
        const bool deleted = serial % 25 == 12;
        const QDate date = dayIn(month);
        const qint64 headerId = serial + 1;
        headers.insert({headerId, date, documentNo("AJ", month, serial), flag(deleted)});
        for (int l = linesOnDocument(5); l > 0; --l) {
            const auto& product = products_[static_cast<size_t>(pick(everything_))];
            const Unit& unit = unitOf(product, 10);
            const qint64 quantity = std::max<qint64>(1, lineQuantity(product, unit, 1) / 3);
            // Stock found is valued by the counter; stock lost gets its cost from the run.
            const bool decrease = (lineId + l) % 2 == 0;
            lines.insert({++lineId, headerId, product.id, unit.id, mainWarehouse,
                          decrease ? -quantity : quantity, unit.fraction,
                          decrease ? nullValue() : QVariant(baht(product.cost * unit.fraction))});
            if (!deleted)
                move(product, month, quantity * unit.fraction, decrease ? Flow::Out : Flow::In);
        }
    });
}

void DemoCompany::writeSales(bool pointOfSale) {
    const QString header = pointOfSale ? QStringLiteral("PosHd") : QStringLiteral("IvHd");
    const char* date = pointOfSale ? "PosDate" : "IvDate";
    auto& headers = table(header, {{"Id", Type::Integer},
                                   {date, Type::Date},
                                   {"DocNo", Type::Text},
                                   {"Delflag", Type::Text}});
    const QByteArray link = header.toLatin1();
    auto& lines = table(pointOfSale ? QStringLiteral("PosDt") : QStringLiteral("IvDt"),
                        {{"Id", Type::Integer},
                         {link.constData(), Type::Integer},
                         {"Product", Type::Integer},
                         {"ProductUnits", Type::Integer},
                         {"Warehouse", Type::Integer},
                         {"Quantity", Type::Float},
                         {date, Type::Date},
                         {"Price", Type::Float}});
    const int perDocument = pointOfSale ? 3 : 6;
    const int perYear = documentsPerYear(pointOfSale ? 21.0 : 30.0, perDocument);
    qint64 lineId = 0;
    forEachDocument(perYear, [&](int month, qint64 serial) {
        const bool deleted = serial % 40 == 21;
        const QDate day = dayIn(month);
        const qint64 headerId = serial + 1;
        headers.insert(
            {headerId, day, documentNo(pointOfSale ? "PS" : "IV", month, serial), flag(deleted)});
        for (int l = linesOnDocument(perDocument); l > 0; --l) {
            const auto& product = products_[static_cast<size_t>(pick(sold_))];
            const Unit& unit = unitOf(product, pointOfSale ? 5 : 30);
            const qint64 quantity = lineQuantity(product, unit, 1);
            lines.insert({++lineId, headerId, product.id, unit.id,
                          pointOfSale ? branchWarehouse : mainWarehouse, quantity, day,
                          baht(product.cost * unit.fraction * 13 / 10)});
            if (!deleted)
                move(product, month, quantity * unit.fraction, Flow::Out);
        }
    });
}

// ---------------------------------------------------------------------------------------------
// Production

void DemoCompany::writeProduction() {
    // Work-order trees: single orders of either bill kind, two-level trees, and three-level
    // trees whose root also takes the output of an 'N' order. The first tree of every month
    // is a three-level one.
    const int perYear = std::max(24, static_cast<int>(options_.products * 0.5));
    for (int month = 1; month <= 12; ++month) {
        const int trees = std::max(1, monthShare(perYear, month));
        for (int t = 0; t < trees; ++t) {
            const qint64 shape = t == 0 ? 99 : between(0, 99);
            if (shape < 45)
                writeSingleOrder(month, true);
            else if (shape < 60)
                writeSingleOrder(month, false);
            else
                writeTree(month, shape < 80 ? 2 : 3, t == 0);
        }
    }
}

void DemoCompany::writeSingleOrder(int month, bool assembly) {
    WorkOrderPlan plan;
    plan.id = nextWorkOrderId_++;
    plan.maker = pick(assembly ? finished_ : coProducts_);
    plan.month = month;
    plan.startDay = static_cast<int>(between(1, 18));
    plan.cleared = percent(85);
    // Now and then an order is deleted after its material went out.
    plan.deleted = singleOrders_++ % 20 == 3;
    plan.closedLater = month < 12 && percent(8);
    writeWorkOrder(plan);
}

void DemoCompany::writeTree(int month, int levels, bool first) {
    const qint64 rootId = nextWorkOrderId_++;
    const qint64 childId = nextWorkOrderId_++;
    std::vector<Output> rootMaterials;

    // The middle order makes a semi-finished good; in a three-level tree from another one.
    WorkOrderPlan child;
    child.id = childId;
    child.master = rootId;
    child.maker = pick(semiFinished_);
    child.month = month;
    child.startDay = static_cast<int>(between(1, 6));
    child.cleared = percent(90);
    if (levels == 3) {
        WorkOrderPlan grandchild;
        grandchild.id = nextWorkOrderId_++;
        grandchild.master = childId;
        grandchild.maker = pick(semiFinished_);
        for (int attempt = 0; attempt < 8 && grandchild.maker == child.maker; ++attempt)
            grandchild.maker = pick(semiFinished_);
        grandchild.month = month;
        grandchild.startDay = child.startDay;
        grandchild.cleared = percent(90);
        const Output made = writeWorkOrder(grandchild);
        child.fromChildren.push_back(made);
        child.startDay = made.finishDay;
    }
    const Output semi = writeWorkOrder(child);
    rootMaterials.push_back(semi);

    int rootStart = semi.finishDay;
    if (levels == 3 || percent(40)) {
        // An 'N' order beside it; the first tree of an even month leaves it uncleared.
        WorkOrderPlan byProducts;
        byProducts.id = nextWorkOrderId_++;
        byProducts.master = rootId;
        byProducts.maker = pick(coProducts_);
        byProducts.month = month;
        byProducts.startDay = static_cast<int>(between(1, 6));
        byProducts.cleared = !(first && month % 2 == 0) && percent(90);
        const Output made = writeWorkOrder(byProducts);
        rootMaterials.push_back(made);
        rootStart = std::max(rootStart, made.finishDay);
    }

    WorkOrderPlan root;
    root.id = rootId;
    root.maker = pick(finished_);
    root.month = month;
    root.startDay = rootStart;
    root.fromChildren = rootMaterials;
    root.cleared = (first && month % 4 == 3) ? false : percent(90);
    // Closed a month after it finished: on odd months the first tree's root, else now and then.
    root.closedLater = month < 12 && ((first && month % 2 == 1) || percent(8));
    writeWorkOrder(root);
}

DemoCompany::Output DemoCompany::writeWorkOrder(const WorkOrderPlan& plan) {
    auto& orders = table("WorkOrderHd", {{"Id", Type::Integer},
                                         {"WorkOrderNo", Type::Text},
                                         {"MasterWorkOrder", Type::Integer},
                                         {"BomHd", Type::Integer},
                                         {"FinishedGoods", Type::Integer},
                                         {"ProductUnits", Type::Integer},
                                         {"Warehouse", Type::Integer},
                                         {"QUANTITY1", Type::Float},
                                         {"WorkDate", Type::Date},
                                         {"FinishDate", Type::Date},
                                         {"Closedate", Type::Date},
                                         {"Delflag", Type::Text},
                                         {"Clear", Type::Text}});
    auto& outputLines = table("WorkOrderDt", {{"Id", Type::Integer},
                                              {"WorkOrderHd", Type::Integer},
                                              {"Product", Type::Integer},
                                              {"ProductUnits", Type::Integer},
                                              {"Warehouse", Type::Integer},
                                              {"QUANTITY1", Type::Float}});
    auto& issueHeaders = table("MFGISHD", {{"Id", Type::Integer},
                                           {"WorkOrderHd", Type::Integer},
                                           {"MfgIsDate", Type::Date},
                                           {"DocNo", Type::Text},
                                           {"Delflag", Type::Text}});
    auto& issueLines = table("MFGISDT", {{"Id", Type::Integer},
                                         {"MFGISHD", Type::Integer},
                                         {"Product", Type::Integer},
                                         {"ProductUnits", Type::Integer},
                                         {"Warehouse", Type::Integer},
                                         {"Quantity", Type::Float},
                                         {"Fraction", Type::Float},
                                         {"MfgIsDate", Type::Date}});
    auto& returnHeaders = table("MFGRIHD", {{"Id", Type::Integer},
                                            {"WorkOrderHd", Type::Integer},
                                            {"MfgRiDate", Type::Date},
                                            {"DocNo", Type::Text},
                                            {"Delflag", Type::Text}});
    auto& returnLines = table("MFGRIDT", {{"Id", Type::Integer},
                                          {"MFGRIHD", Type::Integer},
                                          {"Product", Type::Integer},
                                          {"ProductUnits", Type::Integer},
                                          {"Warehouse", Type::Integer},
                                          {"Quantity", Type::Float},
                                          {"Fraction", Type::Float},
                                          {"MfgRiDate", Type::Date}});
    auto& finishLines = table("MFGFinishDt", {{"Id", Type::Integer},
                                              {"WorkOrderHd", Type::Integer},
                                              {"WorkOrderDt", Type::Integer},
                                              {"Product", Type::Integer},
                                              {"ProductUnits", Type::Integer},
                                              {"Warehouse", Type::Integer},
                                              {"Quantity", Type::Float},
                                              {"Fraction", Type::Float},
                                              {"Cost", Type::Float},
                                              {"BomAssembly", Type::Text},
                                              {"FinishDate", Type::Date}});

    const auto& maker = products_[static_cast<size_t>(plan.maker)];
    const bool assembly = maker.outputs.empty();
    const int month = plan.month;
    const int workDay = std::min(plan.startDay + static_cast<int>(between(0, 1)), 24);
    const int finishDay = workDay + static_cast<int>(between(1, 3));
    const QDate workDate(options_.year, month, workDay);
    const QDate finishDate(options_.year, month, finishDay);
    QVariant closeDate;
    const int serial = workOrderSerial_++;
    if (plan.closedLater)
        closeDate = dayIn(month + 1, 1, 10);
    else if (!percent(20))
        closeDate = dayIn(month, finishDay, finishDay + 2);
    const qint64 quantity =
        std::max<qint64>(1, maker.lot * between(3, 12) / maker.billUnit.fraction);
    // In-progress orders that are not cleared may have nothing finished yet.
    const bool finished = plan.cleared || percent(50);

    orders.insert(
        {plan.id,
         QStringLiteral("WO%1-%2").arg(options_.year).arg(plan.id, 6, 10, QLatin1Char('0')),
         plan.master ? QVariant(plan.master) : nullValue(), maker.bill,
         assembly ? QVariant(maker.id) : nullValue(), maker.billUnit.id, factoryWarehouse, quantity,
         workDate, finishDate, closeDate, flag(plan.deleted), flag(plan.cleared)});

    // Output lines: one per product of an 'N' bill; an 'Y' order usually carries its one
    // product as a line too, but not always.
    struct Made {
        qint64 line;
        const Product* product;
        Unit unit;
        qint64 quantity;
    };
    std::vector<Made> made;
    if (assembly) {
        const bool withLine = serial % 23 != 11;
        made.push_back({withLine ? ++outputLineId_ : 0, &maker, maker.billUnit, quantity});
        if (withLine)
            outputLines.insert(
                {outputLineId_, plan.id, maker.id, maker.billUnit.id, factoryWarehouse, quantity});
    } else {
        for (size_t o = 0; o < maker.outputs.size(); ++o) {
            const auto& product = products_[static_cast<size_t>(maker.outputs[o])];
            const qint64 share = o == 0 ? quantity : std::max<qint64>(1, quantity / 4);
            made.push_back({++outputLineId_, &product, product.units.front(), share});
            outputLines.insert({outputLineId_, plan.id, product.id, product.units.front().id,
                                factoryWarehouse, share});
        }
    }

    // Material issued, in one or two documents; the sub-orders' output goes with the first.
    struct Issued {
        const Product* product;
        Unit unit;
        qint64 quantity;
    };
    std::vector<Issued> issued;
    for (const auto& [material, perUnit] : maker.materials) {
        const auto& product = products_[static_cast<size_t>(material)];
        const Unit& unit = unitOf(product, 30);
        const qint64 base = perUnit * quantity * maker.billUnit.fraction;
        issued.push_back(
            {&product, unit, std::max<qint64>(1, (base + unit.fraction / 2) / unit.fraction)});
    }
    const int documents = percent(40) ? 2 : 1;
    size_t next = 0;
    for (int document = 0; document < documents; ++document) {
        const qint64 headerId = ++issueHeaderId_;
        const bool deleted = headerId % 30 == 11;
        const QDate date(options_.year, month, static_cast<int>(between(workDay, finishDay)));
        issueHeaders.insert(
            {headerId, plan.id, date, documentNo("MI", month, headerId - 1), flag(deleted)});
        if (document == 0) {
            for (const auto& child : plan.fromChildren) {
                const auto& product = products_[static_cast<size_t>(child.product)];
                issueLines.insert({++issueLineId_, headerId, product.id, child.unit.id,
                                   factoryWarehouse, child.quantity, child.unit.fraction, date});
                if (!deleted)
                    move(product, month, child.quantity * child.unit.fraction, Flow::Out);
            }
        }
        const size_t last = document + 1 == documents ? issued.size() : issued.size() / 2;
        for (; next < last; ++next) {
            const auto& line = issued[next];
            issueLines.insert({++issueLineId_, headerId, line.product->id, line.unit.id,
                               factoryWarehouse, line.quantity, line.unit.fraction, date});
            if (!deleted)
                move(*line.product, month, line.quantity * line.unit.fraction, Flow::Out);
        }
    }

    // Some material comes back.
    if (percent(30) && !issued.empty()) {
        const qint64 headerId = ++returnHeaderId_;
        const QDate date(options_.year, month, finishDay);
        returnHeaders.insert({headerId, plan.id, date, documentNo("RM", month, headerId - 1),
                              flag(headerId % 30 == 17)});
        const int count =
            std::min<int>(static_cast<int>(issued.size()), static_cast<int>(between(1, 2)));
        for (int r = 0; r < count; ++r) {
            const auto& line = issued[static_cast<size_t>(r)];
            const qint64 back = std::max<qint64>(1, line.quantity / 10);
            returnLines.insert({++returnLineId_, headerId, line.product->id, line.unit.id,
                                factoryWarehouse, back, line.unit.fraction, date});
            if (headerId % 30 != 17)
                move(*line.product, month, back * line.unit.fraction, Flow::In);
        }
    }

    Output output;
    output.product = static_cast<int>(made.front().product->id - 1);
    output.unit = made.front().unit;
    output.finishDay = finishDay;
    output.quantity = 0;
    if (finished) {
        for (const auto& line : made) {
            const qint64 done =
                percent(20) ? std::max<qint64>(1, line.quantity * 9 / 10) : line.quantity;
            finishLines.insert(
                {++finishLineId_, plan.id, line.line ? QVariant(line.line) : nullValue(),
                 line.product->id, line.unit.id, factoryWarehouse, done, line.unit.fraction,
                 baht(line.product->cost * line.unit.fraction), flag(assembly), finishDate});
            if (!plan.deleted)
                move(*line.product, month, done * line.unit.fraction, Flow::In);
            if (output.quantity == 0)
                output.quantity = done;
        }
    }
    if (output.quantity == 0)
        output.quantity = made.front().quantity;
    return output;
}

// A purchase on the first day of each month of whatever the month's issues would take beyond
// the stock it starts with, and a few days' more; products whose index is 5 past a multiple of
// 37 get none, so that a few products run short.
void DemoCompany::writeFifoReplenishment() {
    auto& headers = table("MRHD", {});
    auto& lines = table("MRDT", {});
    qint64 headerId = headers.rows();
    qint64 lineId = lines.rows();
    for (int month = 1; month <= 12; ++month) {
        const QDate date(options_.year, month, 1);
        bool documentWritten = false;
        for (size_t i = 0; i < products_.size(); ++i) {
            if (i % 37 == 5)
                continue;
            qint64 stock = 0;
            for (int m = 0; m < month; ++m)
                stock += movement_[i][static_cast<size_t>(m)];
            const qint64 need =
                outflow_[i][static_cast<size_t>(month)] - std::max<qint64>(0, stock);
            if (need <= 0)
                continue;
            if (!documentWritten) {
                headers.insert({++headerId, date, documentNo("MS", month, headerId - 1), "N", 0, 0,
                                0, taxRate, "E"});
                documentWritten = true;
            }
            const auto& product = products_[i];
            const qint64 quantity = need + product.lot * 2;
            const qint64 price = product.cost * between(95, 105) / 100;
            lines.insert({++lineId, headerId, product.id, product.units.front().id, mainWarehouse,
                          quantity, baht(price), baht(price * quantity), date});
            move(product, month, quantity, Flow::In);
        }
    }
}

void DemoCompany::writeMonthlyOnhand() {
    auto& onhand = table("ProductOnhand", {});
    for (size_t i = 0; i < products_.size(); ++i) {
        qint64 balance = movement_[i][0];
        for (int month = 1; month <= 12; ++month) {
            balance += movement_[i][static_cast<size_t>(month)];
            // As the suite keeps it: a row for every month the product has stock or moved in,
            // so that a month with only a supplier note still lists the product.
            if (moved_[i][static_cast<size_t>(month)] || balance != 0)
                onhand.insert({products_[i].id, mainWarehouse, options_.year, month, balance});
        }
    }
}
