#include "db/embedded/DateTimeText.h"
#include "db/embedded/DecimalRounding.h"
#include "db/embedded/EmbeddedCatalog.h"
#include "db/embedded/TsqlCollations.h"

#include <gtest/gtest.h>

#include <cstring>

using db::DateTimeText;
using db::DecimalRounding;

namespace {

int compareTexts(const char* left, const char* right) {
    return db::TsqlCollations::compareText(left, int(std::strlen(left)), right,
                                           int(std::strlen(right)));
}

int compareDates(const char* left, const char* right) {
    return db::TsqlCollations::compareDateTime(left, int(std::strlen(left)), right,
                                               int(std::strlen(right)));
}

} // namespace

TEST(EmbeddedRounding, HalfAwayFromZeroOnTheDecimalDigits) {
    struct Case {
        double value;
        int decimals;
        double expected;
    };
    // Each value sits on a half in decimal, most of them just below it in binary.
    const Case cases[] = {
        {2.675, 2, 2.68},
        {-2.675, 2, -2.68},
        {1.005, 2, 1.01},
        {-2.5, 0, -3.0},
        {2.5, 0, 3.0},
        {0.5, 0, 1.0},
        {1.00005, 4, 1.0001},
        {0.285, 2, 0.29},
        {1234.5, -2, 1200.0},
        {1250.0, -2, 1300.0},
        {-1250.0, -2, -1300.0},
        {0.0049, 2, 0.0},
        {0.005, 2, 0.01},
        {9.995, 2, 10.0},
        {123456789.125, 2, 123456789.13},
        {1e20, 2, 1e20},
        {0.1 + 0.2, 1, 0.3},
        {4.35 * 100, 0, 435.0},
        {99.99999999999997, 2, 100.0},
        {0.0, 2, 0.0},
        {5.0, -3, 0.0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecimalRounding::round(c.value, c.decimals), c.expected)
            << c.value << " at " << c.decimals;

    EXPECT_EQ(DecimalRounding::round(2.679, 2, true), 2.67);
    EXPECT_EQ(DecimalRounding::round(-2.679, 2, true), -2.67);
    EXPECT_EQ(DecimalRounding::roundInteger(15, -1), 20);
    EXPECT_EQ(DecimalRounding::roundInteger(-15, -1), -20);
    EXPECT_EQ(DecimalRounding::roundInteger(14, -1), 10);
    EXPECT_EQ(DecimalRounding::roundInteger(19, -1, true), 10);
    EXPECT_EQ(DecimalRounding::roundInteger(7, 2), 7);
}

TEST(EmbeddedRounding, NumbersAreReadAsSqlServerReadsThem) {
    EXPECT_EQ(DecimalRounding::parse(" -12.50 ", false), -12.5);
    EXPECT_EQ(DecimalRounding::parse(".5", false), 0.5);
    EXPECT_FALSE(DecimalRounding::parse("1e3", false));
    EXPECT_EQ(DecimalRounding::parse("1e3", true), 1000.0);
    EXPECT_FALSE(DecimalRounding::parse("12a", true));
    EXPECT_FALSE(DecimalRounding::parse("", true));
    EXPECT_EQ(DecimalRounding::parseInteger("+42"), 42);
    EXPECT_FALSE(DecimalRounding::parseInteger("4.0"));
    EXPECT_EQ(DecimalRounding::toText(0.1), "0.1");
    EXPECT_EQ(DecimalRounding::toText(0.1 + 0.2), "0.30000000000000004");

    EXPECT_EQ(db::EmbeddedCatalog::decimalScale("Money"), 4);
    EXPECT_EQ(db::EmbeddedCatalog::decimalScale("decimal(28, 4)"), 4);
    EXPECT_EQ(db::EmbeddedCatalog::decimalScale("[numeric](18,2)"), 2);
    EXPECT_EQ(db::EmbeddedCatalog::decimalScale("Decimal(9)"), 0);
    EXPECT_EQ(db::EmbeddedCatalog::decimalScale("Float"), -1);
    EXPECT_EQ(db::EmbeddedCatalog::decimalScale("MoneyText"), -1);
}

TEST(EmbeddedRounding, DateTimeTextsOfEveryForm) {
    const auto full = DateTimeText::parse(" 2024-02-29 07:05:09.5 ");
    ASSERT_TRUE(full);
    EXPECT_EQ(full->toDateTime(), QDateTime(QDate(2024, 2, 29), QTime(7, 5, 9, 500)));
    EXPECT_EQ(DateTimeText::parse("20240131")->toDateTime(),
              QDateTime(QDate(2024, 1, 31), QTime(0, 0)));
    EXPECT_EQ(DateTimeText::parse("2024-01-31T9:30")->toDateTime(),
              QDateTime(QDate(2024, 1, 31), QTime(9, 30)));
    for (const char* wrong : {"2023-02-29", "2024-13-01", "2024-01-31 24:00", "2024-1-31",
                              "31/01/2024", "2024-01-31 10", "2024-01-31x", ""})
        EXPECT_FALSE(DateTimeText::parse(QString::fromLatin1(wrong))) << wrong;
    EXPECT_EQ(DateTimeText::format(*DateTimeText::parse("2024-01-31")), "2024-01-31 00:00:00");
    EXPECT_EQ(DateTimeText::format(*full), "2024-02-29 07:05:09.500");
}

TEST(EmbeddedRounding, CollationsOrderAsSqlServer) {
    EXPECT_EQ(compareTexts("abc", "ABC  "), 0);
    EXPECT_LT(compareTexts(" abc", "abc"), 0);
    EXPECT_LT(compareTexts("A", "b"), 0);
    EXPECT_GT(compareTexts("สินค้า", "สินคา"), 0);
    EXPECT_NE(compareTexts("ก", "ข"), 0);

    EXPECT_EQ(compareDates("2024-01-31", "2024-01-31 00:00:00.000"), 0);
    EXPECT_LT(compareDates("2024-01-05 13:00", "2024-01-31"), 0);
    EXPECT_GT(compareDates("2024-01-31 00:00:00.001", "20240131"), 0);
    // Texts that are no date-time sort after all date-times, consistently.
    EXPECT_LT(compareDates("2999-12-31", "soon"), 0);
    EXPECT_GT(compareDates("soon", "2000-01-01"), 0);
    EXPECT_LT(compareDates("later", "soon"), 0);
}
