#include "db/embedded/tsql/Decimal.h"
#include "db/embedded/tsql/TsqlError.h"
#include "db/embedded/tsql/UInt256.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <random>
#include <stdexcept>

using db::tsql::Decimal;
using db::tsql::Rounding;
using db::tsql::TsqlError;

namespace {

Decimal dec(const char* text) {
    const auto value = Decimal::parse(QString::fromLatin1(text));
    if (!value)
        throw std::runtime_error(std::string("not a decimal: ") + text);
    return *value;
}

std::string text(const Decimal& value) {
    return value.toString().toStdString();
}

int errorNumber(const std::function<void()>& action) {
    try {
        action();
    } catch (const TsqlError& error) {
        return error.number();
    }
    return 0;
}

} // namespace

TEST(Decimal, ReadsAndWritesItsDigitsAndScale) {
    struct Case {
        const char* input;
        const char* written;
        int scale;
    };
    const Case cases[] = {
        {" -12.3400 ", "-12.3400", 4},
        {".5", "0.5", 1},
        {"+7", "7", 0},
        {"1.", "1", 0},
        {"0.001", "0.001", 3},
        {"-0.50", "-0.50", 2},
        {"000000000000000000000000000000000000000000012.5", "12.5", 1},
        {"12345678901234567890123456789012345678", "12345678901234567890123456789012345678", 0},
        {"0.12345678901234567890123456789012345678", "0.12345678901234567890123456789012345678",
         38},
    };
    for (const auto& c : cases) {
        const Decimal value = dec(c.input);
        EXPECT_EQ(text(value), c.written) << c.input;
        EXPECT_EQ(value.scale(), c.scale) << c.input;
    }
    for (const char* bad : {"", " ", ".", "-", "1e3", "12a", "1.2.3", "1 2", "$5",
                            "123456789012345678901234567890123456789"})
        EXPECT_FALSE(Decimal::parse(QString::fromLatin1(bad))) << bad;
    EXPECT_EQ(dec("123.45").digits(), 5);
    EXPECT_EQ(dec("123.45").integralDigits(), 3);
    EXPECT_EQ(dec("0.05").integralDigits(), 0);
}

TEST(Decimal, ComparesByValueWhateverTheScales) {
    EXPECT_EQ(dec("10").compare(dec("10.0000")), 0);
    EXPECT_EQ(dec("0.1").compare(dec("0.09999")), 1);
    EXPECT_EQ(dec("-2.5").compare(dec("-2.49")), -1);
    // 10^37 against 0.1 at scale 38: the aligned mantissas need more than 128 bits.
    EXPECT_EQ(dec("10000000000000000000000000000000000000")
                  .compare(dec("0.10000000000000000000000000000000000000")),
              1);
    EXPECT_EQ(dec("-10000000000000000000000000000000000000")
                  .compare(dec("0.10000000000000000000000000000000000000")),
              -1);
    EXPECT_EQ(Decimal::add(dec("0.1"), dec("0.2"), 1), dec("0.3"));
}

TEST(Decimal, ConversionsRoundHalfAwayFromZeroAndIntegersTruncate) {
    // CAST(10.6496 AS NUMERIC) is 11, CAST(-10.6496 AS NUMERIC) is -11, CAST(... AS INT) -10.
    EXPECT_EQ(text(dec("10.6496").rescaled(0)), "11");
    EXPECT_EQ(text(dec("-10.6496").rescaled(0)), "-11");
    EXPECT_EQ(text(dec("10.6496").rescaled(0, Rounding::Truncate)), "10");
    EXPECT_EQ(dec("-10.6496").toInteger(), -10);
    // CAST(10.3496847 AS money) is 10.3497.
    EXPECT_EQ(text(dec("10.3496847").rescaled(4)), "10.3497");
    EXPECT_EQ(text(dec("2.5").rescaled(3)), "2.500");
    EXPECT_TRUE(dec("999.994").fits(5, 2));
    EXPECT_FALSE(dec("999.995").fits(5, 2)); // rounds to 1000.00
    EXPECT_FALSE(dec("12345678901234567890123456789012345678").toInteger());
    EXPECT_EQ(errorNumber([] { dec("12345678901234567890123456789012345678").rescaled(1); }), 8115);
}

TEST(Decimal, RoundsAtAPlaceKeepingItsScale) {
    struct Case {
        const char* value;
        int places;
        Rounding rounding;
        const char* expected;
    };
    // The examples of Round().
    const Case cases[] = {
        {"748.58", -1, Rounding::HalfAwayFromZero, "750.00"},
        {"748.58", -2, Rounding::HalfAwayFromZero, "700.00"},
        {"748.58", -4, Rounding::HalfAwayFromZero, "0.00"},
        {"123.9994", 3, Rounding::HalfAwayFromZero, "123.9990"},
        {"123.9995", 3, Rounding::HalfAwayFromZero, "124.0000"},
        {"123.4545", 2, Rounding::HalfAwayFromZero, "123.4500"},
        {"150.75", 0, Rounding::HalfAwayFromZero, "151.00"},
        {"150.75", 0, Rounding::Truncate, "150.00"},
        {"-2.5", 0, Rounding::HalfAwayFromZero, "-3.0"},
        {"1.25", 5, Rounding::HalfAwayFromZero, "1.25"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(text(dec(c.value).roundedAt(c.places, c.rounding)), c.expected)
            << c.value << " at " << c.places;
}

TEST(Decimal, ArithmeticIsExactUpToTheResultScale) {
    struct Case {
        char op;
        const char* left;
        const char* right;
        int scale;
        const char* expected;
    };
    const Case cases[] = {
        {'+', "0.1", "0.2", 1, "0.3"},
        {'-', "10.00", "0.005", 3, "9.995"},
        {'+', "1.25", "1.25", 1, "2.5"},
        // Division truncates: 2.0 / 3 is 0.666666, and the quotient of the issue 0.000167.
        {'/', "2.0", "3", 6, "0.666666"},
        {'/', "-2.0", "3", 6, "-0.666666"},
        {'/', "1.6757400000", "10000.0000000000", 6, "0.000167"},
        {'/', "10.0000", "4", 6, "2.500000"},
        // Multiplication rounds when its scale is cut: 0.0000009 * 1 at 6 places is 0.000001.
        {'*', "0.00000090000000000000", "1.00000000000000000000", 17, "0.00000090000000000"},
        {'*', "0.0000009000000000", "1.0000000000", 6, "0.000001"},
        {'*', "18.4172", "1.1562", 4, "21.2940"},
        {'*', "-1.5", "1.5", 1, "-2.3"},
        // Remainders keep the sign of the dividend.
        {'%', "5.5", "2", 1, "1.5"},
        {'%', "-5.5", "2", 1, "-1.5"},
        {'%', "7", "-3", 0, "1"},
    };
    for (const auto& c : cases) {
        const Decimal l = dec(c.left), r = dec(c.right);
        const Decimal result = c.op == '+'   ? Decimal::add(l, r, c.scale)
                               : c.op == '-' ? Decimal::subtract(l, r, c.scale)
                               : c.op == '*' ? Decimal::multiply(l, r, c.scale)
                               : c.op == '/' ? Decimal::divide(l, r, c.scale)
                                             : Decimal::modulo(l, r, c.scale);
        EXPECT_EQ(text(result), c.expected) << c.left << ' ' << c.op << ' ' << c.right;
    }
}

TEST(Decimal, IntermediatesPastOneHundredTwentyEightBitsStayExact) {
    const Decimal nines = dec("0.99999999999999999999999999999999999999");
    // 0.99..9 * 0.5 = 0.4999..95, which rounds at 38 places to 0.5.
    EXPECT_EQ(text(Decimal::multiply(nines, dec("0.5"), 38)),
              "0.50000000000000000000000000000000000000");
    // 0.1 / 0.3 at 38 places: the dividend is 10^75 before the division.
    EXPECT_EQ(text(Decimal::divide(dec("0.10000000000000000000000000000000000000"),
                                   dec("0.30000000000000000000000000000000000000"), 38)),
              "0.33333333333333333333333333333333333333");
    // 10^37 + 0.5 rounded to whole numbers.
    EXPECT_EQ(text(Decimal::add(dec("10000000000000000000000000000000000000"),
                                dec("0.50000000000000000000000000000000000000"), 0)),
              "10000000000000000000000000000000000001");
    // 10^37 = 0.3 * 33333333333333333333333333333333333333 + 0.1
    EXPECT_EQ(text(Decimal::modulo(dec("10000000000000000000000000000000000000"),
                                   dec("0.30000000000000000000000000000000000000"), 38)),
              "0.10000000000000000000000000000000000000");
    EXPECT_EQ(text(Decimal::multiply(dec("9999999999999999999"), dec("9999999999999999999"), 0)),
              "99999999999999999980000000000000000001");
}

TEST(Decimal, ResultsPastThirtyEightDigitsAndZeroDivisorsAreErrors) {
    EXPECT_EQ(errorNumber([] {
                  Decimal::multiply(dec("10000000000000000000"), dec("10000000000000000000"), 0);
              }),
              8115);
    EXPECT_EQ(errorNumber(
                  [] { Decimal::add(dec("99999999999999999999999999999999999999"), dec("1"), 0); }),
              8115);
    EXPECT_EQ(errorNumber([] { Decimal::divide(dec("10"), dec("3"), 38); }), 8115);
    EXPECT_EQ(errorNumber([] { Decimal::divide(dec("1"), dec("0.00"), 6); }), 8134);
    EXPECT_EQ(errorNumber([] { Decimal::modulo(dec("1"), dec("0"), 0); }), 8134);
}

TEST(Decimal, DoublesAreReadAsTheirFifteenSignificantDigits) {
    struct Case {
        double value;
        int scale;
        const char* expected;
    };
    const Case cases[] = {
        {2.675, 2, "2.68"},
        {-2.675, 2, "-2.68"},
        {1.005, 2, "1.01"},
        {0.1 + 0.2, 2, "0.30"},
        {12.5, 4, "12.5000"},
        {1e20, 0, "100000000000000000000"},
        {1.2e25, 4, "12000000000000000000000000.0000"},
        {0.0001234, 2, "0.00"},
        {123456789.125, 2, "123456789.13"},
        {4.35 * 100, 0, "435"},
    };
    for (const auto& c : cases) {
        const auto value = Decimal::fromDouble(c.value, c.scale);
        ASSERT_TRUE(value) << c.value;
        EXPECT_EQ(text(*value), c.expected) << c.value;
    }
    EXPECT_FALSE(Decimal::fromDouble(1e40, 0));
    EXPECT_FALSE(Decimal::fromDouble(std::numeric_limits<double>::quiet_NaN(), 2));
    EXPECT_FALSE(Decimal::fromDouble(std::numeric_limits<double>::infinity(), 2));

    EXPECT_EQ(text(*Decimal::fromDouble(0.1 + 0.2)), "0.3");
    EXPECT_EQ(text(*Decimal::fromDouble(-1234.5)), "-1234.5");
    EXPECT_EQ(text(*Decimal::fromDouble(1e20)), "100000000000000000000");
    EXPECT_EQ(text(*Decimal::fromDouble(1.5e-10)), "0.00000000015");
    // Any decimal of at most 15 digits comes back from its nearest double, at its own scale and
    // rounded to a smaller one, whichever way the reading goes.
    std::mt19937_64 random(15);
    for (int i = 0; i < 20000; ++i) {
        const int digits = int(random() % 15) + 1;
        std::int64_t mantissa = std::int64_t(random() % 1000000000000000ULL);
        for (int d = digits; d < 15; ++d)
            mantissa /= 10;
        if (random() % 2)
            mantissa = -mantissa;
        const int scale = int(random() % 12);
        const Decimal original(mantissa, scale);
        const double stored = original.toDouble();
        EXPECT_EQ(text(*Decimal::fromDouble(stored, scale)), text(original)) << stored;
        const int smaller = int(random() % (scale + 1));
        EXPECT_EQ(text(*Decimal::fromDouble(stored, smaller)), text(original.rescaled(smaller)))
            << stored << " at " << smaller;
    }
    EXPECT_EQ(dec("0.1").toDouble(), 0.1);
    EXPECT_EQ(dec("-1234.5678").toDouble(), -1234.5678);
    EXPECT_EQ(dec("0.12345678901234567890123456789012345678").toDouble(),
              0.12345678901234567890123456789012345678);
}

TEST(Decimal, WideDivisionGivesBackWhatWasMultiplied) {
    // u = q * v + r with r < v: the long division must find q and r again, for divisors of one to
    // four 32-bit digits and quotients of any size.
    using db::tsql::UInt128;
    using db::tsql::UInt256;
    std::mt19937_64 random(15);
    const auto bits = [&](int count) {
        const UInt128 value = (UInt128(random()) << 64) | random();
        return count >= 128 ? value : value & ((UInt128(1) << count) - 1);
    };
    for (int round = 0; round < 2000; ++round) {
        const int divisorBits = 1 + int(random() % 128);
        UInt128 divisor = bits(divisorBits);
        if (divisor == 0)
            divisor = 1;
        const UInt128 quotient = bits(1 + int(random() % 128));
        const UInt128 rest = bits(128) % divisor;
        UInt256 dividend = UInt256::product(quotient, divisor);
        ASSERT_TRUE(dividend.add(UInt256(rest)));

        UInt256 q, r;
        UInt256::divide(dividend, UInt256(divisor), q, r);
        ASSERT_TRUE(q.fitsUInt128() && r.fitsUInt128());
        EXPECT_TRUE(q.toUInt128() == quotient && r.toUInt128() == rest)
            << "divisor bits " << divisorBits << " round " << round;
    }
    // Digit patterns whose first estimate survives the two-digit test yet is one too large,
    // so the divisor has to be added back.
    const UInt128 addBack[][2] = {
        {(UInt128(0x80000000u) << 64) | 3, (UInt128(0x20000000u) << 64) | 1},
        {(UInt128(0x7fff80000000u) << 64), (UInt128(0x8000u) << 64) | 1},
    };
    for (const auto& pair : addBack) {
        UInt256 q, r;
        UInt256::divide(UInt256(pair[0]), UInt256(pair[1]), q, r);
        ASSERT_TRUE(q.fitsUInt128() && r.fitsUInt128());
        EXPECT_TRUE(r.toUInt128() < pair[1]);
        EXPECT_TRUE(q.toUInt128() * pair[1] + r.toUInt128() == pair[0]);
    }
}
