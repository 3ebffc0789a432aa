// The FIFO costing held to a small reference FIFO written here, over drawn movements: purchases
// (some by the dozen), stock issues, sales, customer returns, purchase returns and supplier
// notes of three products over four months, several on the same day. The reference walks the
// movements one by one, keeping each layer's quantity, value and note shares, and values every
// issue and return by the rules the procedures document; its arithmetic is exact, rounding where
// the T-SQL types round (six decimals inside a division, then cents or four decimals). Then
// stockcost-admin check must find nothing wrong.
#include "FifoTestCompany.h"
#include "FifoYearRun.h"

#include <gtest/gtest.h>

#include <QProcess>

#include <algorithm>
#include <map>
#include <optional>
#include <random>

namespace {

// Exact integers wide enough for the products of a few quantities and amounts.
__extension__ typedef __int128 Int;
constexpr int year = 2024;
constexpr int months = 4;
constexpr int products = 3;

// Half away from zero, as T-SQL rounds.
Int divideRounded(Int numerator, Int denominator) {
    if (denominator < 0) {
        numerator = -numerator;
        denominator = -denominator;
    }
    if (numerator >= 0)
        return (2 * numerator + denominator) / (2 * denominator);
    return -((2 * -numerator + denominator) / (2 * denominator));
}

// Money and costs in ten-thousandths, values inside a layer in millionths.
Int centsOf(Int millionths) {
    return divideRounded(millionths, 10000) * 100;
}

struct Share {
    qint64 at; // where, inside the layer, the units the note changed begin
    Int amount;
};

struct Layer {
    Layer(qint64 layerQuantity, Int layerValue) : quantity(layerQuantity), value(layerValue) {}

    qint64 quantity;
    Int value; // ten-thousandths
    std::vector<Share> shares;
    qint64 consumed = 0;
    Int taken = 0;

    Int shareTotal() const {
        Int total = 0;
        for (const auto& share : shares)
            total += share.amount;
        return total;
    }
    // The layer's value up to x units into it, in millionths, each part to six decimals.
    Int valueUpTo(qint64 x) const {
        Int upTo = divideRounded(value * 100 * x, quantity);
        for (const auto& share : shares) {
            if (share.at < x)
                upTo += divideRounded(share.amount * 100 * (x - share.at), quantity - share.at);
        }
        return upTo;
    }
    // Takes x units: the last unit takes what is left.
    Int take(qint64 x) {
        const qint64 to = consumed + x;
        const Int upTo = to == quantity ? value + shareTotal() : centsOf(valueUpTo(to));
        const Int piece = upTo - centsOf(valueUpTo(consumed));
        consumed = to;
        taken += piece;
        return piece;
    }
    // The value of a unit at x units into the layer, in ten-thousandths.
    Int unitCostAt(qint64 x, std::optional<size_t> sharesBefore = std::nullopt) const {
        // value / quantity + the sum of share / (quantity - at), all exactly, then four decimals.
        Int numerator = value;
        Int denominator = quantity;
        for (size_t i = 0; i < shares.size(); ++i) {
            if (sharesBefore ? i >= *sharesBefore : shares[i].at >= x)
                continue;
            const Int d = quantity - shares[i].at;
            numerator = numerator * d + shares[i].amount * denominator;
            denominator *= d;
        }
        return divideRounded(numerator, denominator);
    }
};

struct Movement {
    int month = 1;
    int day = 1;
    char kind = 'R'; // R receipt, V value change, I issue
    int tableOrder = 0;
    QString table;
    int id = 0;
    int product = 0;
    int unit = 0;
    int fraction = 1;
    qint64 quantity = 0; // base units
    Int amount = 0;      // a purchase's value or a note's amount, ten-thousandths

    bool operator<(const Movement& other) const {
        const auto rank = [](char k) { return k == 'R' ? 0 : k == 'V' ? 1 : 2; };
        return std::tuple(month, day, rank(kind), tableOrder, id) <
               std::tuple(other.month, other.day, rank(other.kind), other.tableOrder, other.id);
    }
};

// What the reference expects of a movement.
struct Expected {
    Int amount = 0;
    Int unitCost = 0;
    qint64 shortQuantity = 0;
};

// The reference FIFO of one product: months in order, movements in order.
class ReferenceFifo {
public:
    std::map<std::pair<QString, int>, Expected> movements;
    std::map<int, std::pair<qint64, Int>> closing; // month: quantity, value

    void run(std::vector<Movement> all) {
        std::sort(all.begin(), all.end());
        for (int month = 1; month <= months; ++month) {
            std::vector<Movement> ofMonth;
            for (const auto& movement : all) {
                if (movement.month == month)
                    ofMonth.push_back(movement);
            }
            runMonth(month, ofMonth);
        }
    }

private:
    void runMonth(int month, const std::vector<Movement>& ofMonth) {
        std::vector<Layer> layers;
        for (const auto& layer : opening_)
            layers.emplace_back(layer.quantity - layer.consumed,
                                layer.value + layer.shareTotal() - layer.taken);
        // The month's latest purchase, for a shortage with nothing consumed before it.
        std::optional<Int> latestPurchaseCost;
        for (const auto& movement : ofMonth) {
            if (movement.table == QLatin1String("MRDT"))
                latestPurchaseCost = divideRounded(movement.amount, movement.quantity);
        }
        qint64 consumed = 0;
        std::optional<Int> issueCostThisMonth;
        for (const auto& movement : ofMonth) {
            Expected expected;
            if (movement.kind == 'R') {
                Int value = movement.amount;
                if (movement.table == QLatin1String("SRDT")) {
                    std::optional<Int> cost =
                        issueCostThisMonth ? issueCostThisMonth : latestIssueCost_;
                    if (!cost) {
                        for (const auto& layer : layers) {
                            if (layer.consumed < layer.quantity) {
                                cost = layer.unitCostAt(0, layer.shares.size());
                                break;
                            }
                        }
                    }
                    value = centsOf(Int(movement.quantity) * cost.value_or(0) * 100);
                }
                layers.emplace_back(movement.quantity, value);
                expected.amount = value;
                expected.unitCost = divideRounded(value, movement.quantity);
            } else if (movement.kind == 'V') {
                qint64 all = 0;
                for (const auto& layer : layers)
                    all += layer.quantity - layer.consumed;
                qint64 upTo = 0;
                for (auto& layer : layers) {
                    const qint64 left = layer.quantity - layer.consumed;
                    if (left == 0)
                        continue;
                    const Int before = centsOf(divideRounded(movement.amount * 100 * upTo, all));
                    upTo += left;
                    const Int after = centsOf(divideRounded(movement.amount * 100 * upTo, all));
                    layer.shares.push_back({layer.consumed, after - before});
                }
                expected.amount = movement.amount;
            } else {
                qint64 need = movement.quantity;
                Int amount = 0;
                for (auto& layer : layers) {
                    const qint64 x = std::min(need, layer.quantity - layer.consumed);
                    if (x <= 0)
                        continue;
                    amount += layer.take(x);
                    need -= x;
                    consumed += x;
                }
                if (need > 0) {
                    Int lastCost = 0;
                    if (consumed == 0)
                        lastCost = lastUnitCost_.value_or(latestPurchaseCost.value_or(0));
                    else
                        lastCost = costAt(layers, consumed);
                    amount += centsOf(Int(need) * lastCost * 100);
                }
                expected.amount = amount;
                expected.unitCost = divideRounded(amount, movement.quantity);
                expected.shortQuantity = need;
                issueCostThisMonth = expected.unitCost;
            }
            movements[{movement.table, movement.id}] = expected;
        }
        if (issueCostThisMonth)
            latestIssueCost_ = issueCostThisMonth;
        if (consumed > 0)
            lastUnitCost_ = costAt(layers, consumed);
        opening_.clear();
        qint64 quantity = 0;
        Int value = 0;
        for (const auto& layer : layers) {
            if (layer.consumed == layer.quantity)
                continue;
            opening_.push_back(layer);
            quantity += layer.quantity - layer.consumed;
            value += layer.value + layer.shareTotal() - layer.taken;
        }
        closing[month] = {quantity, value};
    }

    // The unit cost where the consumption stands: in the layer holding its last unit.
    static Int costAt(const std::vector<Layer>& layers, qint64 position) {
        qint64 start = 0;
        for (const auto& layer : layers) {
            if (start < position && position <= start + layer.quantity)
                return layer.unitCostAt(position - start);
            start += layer.quantity;
        }
        return 0;
    }

    std::vector<Layer> opening_;
    std::optional<Int> latestIssueCost_;
    std::optional<Int> lastUnitCost_;
};

// A decimal as the database gives it, in units of 10^-scale.
Int scaled(const QVariant& value, int scale) {
    const QString text = value.toString();
    const auto point = text.indexOf('.');
    QString digits = point < 0 ? text : text.left(point);
    QString decimals = point < 0 ? QString() : text.mid(point + 1);
    decimals = decimals.leftJustified(scale, '0').left(scale);
    const bool negative = digits.startsWith('-');
    Int number = 0;
    for (const QChar c : digits + decimals) {
        if (c.isDigit())
            number = number * 10 + c.digitValue();
    }
    return negative ? -number : number;
}

std::string text(Int value) {
    return std::to_string(static_cast<long long>(value));
}

class FifoRandomisedTest : public ::testing::TestWithParam<unsigned> {
protected:
    FifoRandomisedTest() : company(QStringLiteral("FifoRandom")) {
        company.exec("Insert Into Warehouse (Id, Code) Values (1, 'MAIN')");
        company.exec("Insert Into Product (Id, Code, Negative) Values (1, 'R1', 'N'), "
                     "(2, 'R2', 'N'), (3, 'R3', 'N')");
        company.exec("Insert Into ProductUnits (Id, Product, Fraction) Values (11, 1, 1), "
                     "(12, 1, 12), (21, 2, 1), (31, 3, 1)");
    }

    // Draws the movements and writes them as documents of one line each.
    std::vector<Movement> draw(unsigned seed) {
        std::mt19937 random(seed);
        const auto between = [&random](int low, int high) {
            return std::uniform_int_distribution<int>(low, high)(random);
        };
        std::vector<Movement> drawn;
        int nextId = 1;
        for (int product = 1; product <= products; ++product) {
            for (int month = 1; month <= months; ++month) {
                // The last month always has a purchase, so that the month run lists the
                // product and catches up a month that only had notes or purchase returns.
                const int count = between(month == months ? 1 : 0, 9);
                for (int m = 0; m < count; ++m) {
                    Movement movement;
                    movement.month = month;
                    movement.day = between(1, 6) * 4;
                    movement.product = product;
                    movement.id = nextId++;
                    movement.unit = product * 10 + 1;
                    const int pick = (month == months && m == 0) ? 0 : between(0, 9);
                    if (pick <= 2) {
                        movement.kind = 'R';
                        movement.table = QStringLiteral("MRDT");
                        movement.tableOrder = 2;
                        if (product == 1 && between(0, 2) == 0) {
                            movement.unit = 12;
                            movement.fraction = 12;
                        }
                        movement.quantity = between(1, 8) * movement.fraction;
                        movement.amount = Int(between(100, 90000)) * 100;
                    } else if (pick <= 5) {
                        movement.kind = 'I';
                        movement.table =
                            pick == 5 ? QStringLiteral("IvDt") : QStringLiteral("Isdt");
                        movement.tableOrder = pick == 5 ? 16 : 15;
                        if (product == 1 && pick != 5 && between(0, 2) == 0) {
                            movement.unit = 12;
                            movement.fraction = 12;
                        }
                        movement.quantity = between(1, 6) * movement.fraction;
                    } else if (pick == 6) {
                        movement.kind = 'R';
                        movement.table = QStringLiteral("SRDT");
                        movement.tableOrder = 9;
                        movement.quantity = between(1, 4);
                    } else if (pick == 7) {
                        movement.kind = 'I';
                        movement.table = QStringLiteral("PRDT");
                        movement.tableOrder = 19;
                        movement.quantity = between(1, 4);
                    } else {
                        movement.kind = 'V';
                        const bool credit = pick == 8;
                        movement.table = credit ? QStringLiteral("VCNDT") : QStringLiteral("VDNDT");
                        movement.tableOrder = credit ? 13 : 14;
                        movement.amount = Int(between(1, 5000)) * 100 * (credit ? -1 : 1);
                    }
                    write(movement);
                    drawn.push_back(movement);
                }
            }
        }
        return drawn;
    }

    void write(const Movement& m) {
        const QString date = QStringLiteral("'%1-%2-%3'")
                                 .arg(year)
                                 .arg(m.month, 2, 10, QLatin1Char('0'))
                                 .arg(m.day, 2, 10, QLatin1Char('0'));
        // The amount in cents, written as baht.
        const QString money =
            QString::fromStdString(text((m.amount < 0 ? -m.amount : m.amount) / 100)) +
            QStringLiteral("/100.0");
        const qint64 lineQuantity = m.quantity / m.fraction;
        const auto purchaseHeader = [&](const char* header, const char* dateColumn) {
            company.exec(QStringLiteral("Insert Into %1 (Id, %2, Delflag, DiscAmt1, DiscAmt2, "
                                        "DiscAmt3, TaxRate, Price_IE) Values (%3, %4, 'N', 0, 0, "
                                        "0, 7, 'E')")
                             .arg(QLatin1String(header), QLatin1String(dateColumn))
                             .arg(m.id)
                             .arg(date));
        };
        if (m.table == QLatin1String("MRDT")) {
            purchaseHeader("MRHD", "MRDATE");
            company.exec(QStringLiteral("Insert Into MRDT (Id, MRHD, Product, ProductUnits, "
                                        "Warehouse, Quantity, Total, MrDate) Values (%1, %1, %2, "
                                        "%3, 1, %4, %5, %6)")
                             .arg(m.id)
                             .arg(m.product)
                             .arg(m.unit)
                             .arg(lineQuantity)
                             .arg(money, date));
        } else if (m.table == QLatin1String("PRDT")) {
            purchaseHeader("PRHD", "PRDATE");
            company.exec(QStringLiteral("Insert Into PRDT (Id, PRHD, Product, ProductUnits, "
                                        "Warehouse, Quantity, Total) Values (%1, %1, %2, %3, 1, "
                                        "%4, 10)")
                             .arg(m.id)
                             .arg(m.product)
                             .arg(m.unit)
                             .arg(lineQuantity));
        } else if (m.kind == 'V') {
            const bool credit = m.table == QLatin1String("VCNDT");
            const char* header = credit ? "VCNHD" : "VDNHD";
            purchaseHeader(header, "CDDATE");
            company.exec(QStringLiteral("Insert Into %1 (Id, %2, Product, ProductUnits, Warehouse, "
                                        "Quantity, Total) Values (%3, %3, %4, %5, 1, 1, %6)")
                             .arg(m.table, QLatin1String(header))
                             .arg(m.id)
                             .arg(m.product)
                             .arg(m.unit)
                             .arg(money));
        } else if (m.table == QLatin1String("SRDT")) {
            company.exec(QStringLiteral("Insert Into SRHD (Id, SRDATE, Delflag, SrType) Values "
                                        "(%1, %2, 'N', 'A')")
                             .arg(m.id)
                             .arg(date));
            company.exec(QStringLiteral("Insert Into SRDT (Id, SRHD, Product, ProductUnits, "
                                        "Warehouse, Quantity, SrDate) Values (%1, %1, %2, %3, 1, "
                                        "%4, %5)")
                             .arg(m.id)
                             .arg(m.product)
                             .arg(m.unit)
                             .arg(lineQuantity)
                             .arg(date));
        } else if (m.table == QLatin1String("Isdt")) {
            company.exec(QStringLiteral("Insert Into IsHd (Id, IsDate, Delflag) Values (%1, %2, "
                                        "'N')")
                             .arg(m.id)
                             .arg(date));
            company.exec(QStringLiteral("Insert Into Isdt (Id, IsHd, Product, ProductUnits, "
                                        "Warehouse, Quantity, IsDate, Fraction) Values (%1, %1, "
                                        "%2, %3, 1, %4, %5, %6)")
                             .arg(m.id)
                             .arg(m.product)
                             .arg(m.unit)
                             .arg(lineQuantity)
                             .arg(date)
                             .arg(m.fraction));
        } else {
            company.exec(QStringLiteral("Insert Into IvHd (Id, IvDate, Delflag) Values (%1, %2, "
                                        "'N')")
                             .arg(m.id)
                             .arg(date));
            company.exec(QStringLiteral("Insert Into IvDt (Id, IvHd, Product, ProductUnits, "
                                        "Warehouse, Quantity, IvDate) Values (%1, %1, %2, %3, 1, "
                                        "%4, %5)")
                             .arg(m.id)
                             .arg(m.product)
                             .arg(m.unit)
                             .arg(lineQuantity)
                             .arg(date));
        }
    }

    int check() {
        QProcess admin;
        admin.start(QStringLiteral(STOCKCOST_ADMIN_PATH),
                    {QStringLiteral("--server"), company.server().serverName(),
                     QStringLiteral("check"), FifoTestCompany::database, QStringLiteral("--year"),
                     QString::number(year)});
        admin.waitForFinished(60000);
        checkOutput = QString::fromUtf8(admin.readAllStandardOutput());
        return admin.exitCode();
    }

    FifoTestCompany company;
    QString checkOutput;
};

TEST_P(FifoRandomisedTest, ProceduresCostAsTheReferenceFifoDoes) {
    const std::vector<Movement> drawn = draw(GetParam());
    FifoYearRun run(company.alias());
    run.runYear(year);
    ASSERT_TRUE(run.failures().empty()) << run.failures().front().message.toStdString();

    for (int product = 1; product <= products; ++product) {
        std::vector<Movement> own;
        for (const auto& movement : drawn) {
            if (movement.product == product)
                own.push_back(movement);
        }
        ReferenceFifo reference;
        reference.run(own);
        for (const auto& movement : own) {
            const auto& expected = reference.movements.at({movement.table, movement.id});
            db::TQuery query(QStringLiteral("QTest"), company.alias(),
                             QStringLiteral("Select Kind, Quantity, Amount, UnitCost, "
                                            "ShortQuantity From FifoMovement Where SourceTable = "
                                            "'%1' And SourceId = %2")
                                 .arg(movement.table)
                                 .arg(movement.id));
            query.open();
            ASSERT_FALSE(query.isEmpty()) << movement.table.toStdString() << " " << movement.id;
            const std::string where =
                movement.table.toStdString() + " " + std::to_string(movement.id) + " of product " +
                std::to_string(product) + ", month " + std::to_string(movement.month);
            EXPECT_EQ(query.fieldByName(QStringLiteral("Kind")).asString(),
                      QString(QLatin1Char(movement.kind)))
                << where;
            EXPECT_EQ(text(scaled(query.fieldByName(QStringLiteral("Quantity")).value(), 0)),
                      std::to_string(movement.quantity))
                << where;
            EXPECT_EQ(text(scaled(query.fieldByName(QStringLiteral("Amount")).value(), 4)),
                      text(expected.amount))
                << where;
            if (movement.kind != 'V') {
                EXPECT_EQ(text(scaled(query.fieldByName(QStringLiteral("UnitCost")).value(), 4)),
                          text(expected.unitCost))
                    << where;
            }
            if (movement.kind == 'I') {
                EXPECT_EQ(
                    text(scaled(query.fieldByName(QStringLiteral("ShortQuantity")).value(), 0)),
                    std::to_string(expected.shortQuantity))
                    << where;
            }
        }
        for (const auto& [month, expected] : reference.closing) {
            const QString balance = QStringLiteral("From FifoMonthBalance Where Product = %1 And "
                                                   "BalanceYear = %2 And PeriodNo = %3")
                                        .arg(product)
                                        .arg(year)
                                        .arg(month);
            const QVariant quantity =
                company.value(QStringLiteral("Select ClosingQuantity ") + balance);
            if (!quantity.isValid()) // a month without movements: the stock stays as it was
                continue;
            EXPECT_EQ(text(scaled(quantity, 0)), std::to_string(expected.first))
                << "product " << product << ", month " << month;
            EXPECT_EQ(
                text(scaled(company.value(QStringLiteral("Select ClosingAmount ") + balance), 4)),
                text(expected.second))
                << "product " << product << ", month " << month;
        }
    }
    EXPECT_EQ(check(), 0) << checkOutput.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Seeds, FifoRandomisedTest, ::testing::Values(1u, 2u, 3u, 5u, 8u, 13u));

} // namespace
