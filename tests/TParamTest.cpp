// Reading values as the drivers deliver them: decimals and money come as their exact text.
#include "db/TParam.h"
#include "db/TField.h"

#include <gtest/gtest.h>

using namespace db;

TEST(TParam, DecimalTextReadsAsEveryKindOfValue) {
    const TField cost(QStringLiteral("Cost"), QStringLiteral("100.0000"));
    EXPECT_EQ(cost.asInteger(), 100);
    EXPECT_EQ(cost.asFloat(), 100.0);
    EXPECT_EQ(cost.asString(), "100.0000");
    EXPECT_EQ(cost.asDateTime(), zeroDateTime());

    EXPECT_EQ(variantToFloat(QStringLiteral("3.333333")), 3.333333);
    EXPECT_EQ(variantToFloat(QStringLiteral("-0.0001")), -0.0001);
    EXPECT_EQ(variantToString(QStringLiteral("-0.0001")), "-0.0001");
}

TEST(TParam, DecimalTextRoundsToAWholeNumberHalfAwayFromZero) {
    const std::vector<std::pair<QString, qint64>> cases{
        {"2.5000", 3},
        {"-2.5000", -3},
        {"2.4999", 2},
        {"-0.4999", 0},
        {"0.5", 1},
        {".5", 1},
        {"7.", 7},
        {" 42.0000 ", 42},
        // Beyond a double's 53 bits, where rounding through a double would change the number.
        {"9007199254740993.0000", Q_INT64_C(9007199254740993)},
        {"12345678901234567.5000", Q_INT64_C(12345678901234568)},
        {"-9223372036854775807.4", -Q_INT64_C(9223372036854775807)},
        {"7", 7},
        {"not a number", 0},
        {".", 0},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(variantToInteger(text), expected) << text.toStdString();
    EXPECT_EQ(variantToInteger(QVariant()), 0);
}
