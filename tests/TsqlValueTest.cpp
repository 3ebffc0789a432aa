#include "TsqlTestValues.h"

#include "db/embedded/tsql/BuiltinFunctions.h"

#include <gtest/gtest.h>

using namespace tsqltest;

namespace {

struct Expected {
    const char* value;   // as shown(), or nullptr when an error is expected
    const char* type;    // the result type's name; nullptr to leave it unchecked
    int error = 0;       // SQL Server's error number
    const char* message; // its text; nullptr to leave it unchecked
};

void check(const std::function<TsqlValue()>& action, const Expected& expected,
           const std::string& what) {
    TsqlValue result;
    const RaisedError error = raised([&] { result = action(); });
    if (expected.error != 0) {
        EXPECT_EQ(error.number, expected.error) << what;
        if (expected.message) {
            EXPECT_EQ(error.message, expected.message) << what;
        }
        return;
    }
    ASSERT_EQ(error.number, 0) << what << ": " << error.message;
    EXPECT_EQ(shown(result), expected.value) << what;
    if (expected.type) {
        EXPECT_EQ(result.type().name().toStdString(), expected.type) << what;
    }
}

Expected is(const char* value, const char* type = nullptr) {
    return {value, type, 0, nullptr};
}

Expected fails(int error, const char* message = nullptr) {
    return {nullptr, nullptr, error, message};
}

} // namespace

TEST(TsqlValue, TheIssuesProbesComputeAsSqlServerDoes) {
    const TsqlValue qty = number("10", 28, 4);
    const TsqlValue cost = money("100");
    // select qty / 3, the constant 3 taking the decimal of its digits
    check([&] { return arithmetic('/', qty, number("3", 1, 0)); }, is("3.333333", "decimal(30,6)"),
          "qty / 3");
    check([&] { return arithmetic('/', cost, integer(3)); }, is("33.3333", "money"), "cost / 3");
    // update f1 set a = a / 4
    check(
        [&] {
            return convertImplicitly(arithmetic('/', qty, number("4", 1, 0)),
                                     SqlType::decimal(28, 4), Assignment::Column);
        },
        is("2.5000", "decimal(28,4)"), "a / 4 stored");
    // select sum(qty * cost) / sum(qty) over the rows (10, 100) and (20, 80)
    Accumulator amounts(Accumulator::Kind::Sum, SqlType::decimal(38, 6));
    Accumulator quantities(Accumulator::Kind::Sum, SqlType::decimal(28, 4));
    for (const auto& [q, c] : {std::pair{"10", "100"}, std::pair{"20", "80"}}) {
        amounts.add(arithmetic('*', number(q, 28, 4), money(c)));
        quantities.add(number(q, 28, 4));
    }
    check([&] { return arithmetic('/', amounts.result(), quantities.result()); },
          is("86.666666", "decimal(38,6)"), "average cost");
    check([&] { return arithmetic('*', arithmetic('/', money("10"), integer(3)), integer(3)); },
          is("9.9999", "money"), "cast(10 as money) / 3 * 3");
    EXPECT_EQ(
        compare(arithmetic('+', number("0.1", 1, 1), number("0.2", 1, 1)), number("0.3", 1, 1)), 0);
    check([&] { return arithmetic('/', qty, integer(0)); },
          fails(8134, "Divide by zero error encountered."), "a / 0");
    check([&] { return arithmetic('+', integer(2147483647), integer(1)); },
          fails(8115, "Arithmetic overflow error converting expression to data type int."),
          "2147483647 + 1");
    check(
        [&] {
            return convertImplicitly(floating(1.2e25), SqlType::decimal(28, 4), Assignment::Column);
        },
        fails(8115, "Arithmetic overflow error converting float to data type numeric."),
        "1.2E25 into decimal(28,4)");
    check(
        [&] {
            return convertImplicitly(varchar("abcdefg"), SqlType::charType(5), Assignment::Column);
        },
        fails(8152, "String or binary data would be truncated."), "'abcdefg' into char(5)");
    check(
        [&] { return arithmetic('+', arithmetic('+', varchar("P1"), varchar("-")), varchar("x")); },
        is("P1-x"), "prod + '-' + 'x'");
    check([&] { return convert(money("1234.5"), SqlType::varChar(20)); }, is("1234.50"),
          "convert(varchar(20), cast(1234.5 as money))");
    check(
        [&] {
            return arithmetic('+', convert(varchar("2024-03-05"), SqlType::dateTime()), integer(1));
        },
        is("2024-03-06 00:00:00", "datetime"), "cast('2024-03-05' as datetime) + 1");
    EXPECT_EQ(compare(varchar("A"), varchar("A  ")), 0);
}

TEST(TsqlValue, NumbersConvertAsCastAndConvertConvertThem) {
    struct Case {
        const char* what;
        TsqlValue value;
        SqlType target;
        int style;
        Expected expected;
    };
    const Case cases[] = {
        // Money text: style 0 two decimals, 1 thousands separators, 2 four decimals.
        {"money 0", money("4235.98"), SqlType::varChar(30), 0, is("4235.98")},
        {"money 1", money("3510.92"), SqlType::varChar(30), 1, is("3,510.92")},
        {"money 2", money("4235.9819"), SqlType::varChar(30), 2, is("4235.9819")},
        {"money 0 rounds", money("1234.565"), SqlType::varChar(30), 0, is("1234.57")},
        {"money 1 negative", money("-1234567.891"), SqlType::varChar(30), 1, is("-1,234,567.89")},
        {"money small", money("0.5"), SqlType::varChar(30), 0, is("0.50")},
        {"decimal keeps its scale", number("12.5", 10, 4), SqlType::varChar(30), 0, is("12.5000")},
        {"decimal below one", number("0.5", 3, 2), SqlType::nVarChar(30), 0, is("0.50")},
        // Float text: 6 digits at most in style 0, 8 and 16 in scientific notation in 1 and 2.
        {"float 0 large", floating(1234567.0), SqlType::varChar(30), 0, is("1.23457e+006")},
        {"float 0 whole", floating(123456.0), SqlType::varChar(30), 0, is("123456")},
        {"float 0 small", floating(0.0001), SqlType::varChar(30), 0, is("0.0001")},
        {"float 0 smaller", floating(0.00001), SqlType::varChar(30), 0, is("1e-005")},
        {"float 0 sum", floating(0.1 + 0.2), SqlType::varChar(30), 0, is("0.3")},
        {"float 1", floating(1234.5678), SqlType::varChar(30), 1, is("1.2345678e+003")},
        {"float 2", floating(1234.5678), SqlType::varChar(30), 2, is("1.234567800000000e+003")},
        // Too short for the text: * for an int to char, an error otherwise.
        {"int too long", integer(12345), SqlType::varChar(3), 0, is("*")},
        {"int too long unicode", integer(12345), SqlType::nVarChar(3), 0, fails(8115)},
        {"decimal too long", number("123.45", 5, 2), SqlType::varChar(3), 0,
         fails(8115, "Arithmetic overflow error converting numeric to data type varchar.")},
        // Between numbers: a decimal truncates to an integer, money rounds.
        {"decimal to int", number("10.6496", 6, 4), SqlType::integer(), 0, is("10")},
        {"negative decimal to int", number("-10.6496", 6, 4), SqlType::integer(), 0, is("-10")},
        {"decimal to numeric", number("10.6496", 6, 4), SqlType::decimal(18, 0), 0, is("11")},
        {"negative to numeric", number("-10.6496", 6, 4), SqlType::decimal(18, 0), 0, is("-11")},
        {"decimal to money", number("10.3496847", 9, 7), SqlType::money(), 0, is("10.3497")},
        {"money to int", money("4.50"), SqlType::integer(), 0, is("5")},
        {"float to decimal", floating(2.675), SqlType::decimal(10, 2), 0, is("2.68")},
        {"float to int", floating(-10.9), SqlType::integer(), 0, is("-10")},
        {"float too large", floating(3e9), SqlType::integer(), 0,
         fails(232, "Arithmetic overflow error for type int, value = 3000000000.000000.")},
        {"int to tinyint", integer(300), SqlType::tinyInt(), 0,
         fails(220, "Arithmetic overflow error for data type tinyint, value = 300.")},
        {"bigint to int", integer(3000000000, SqlType::bigInt()), SqlType::integer(), 0,
         fails(8115, "Arithmetic overflow error converting expression to data type int.")},
        {"decimal overflow", number("12345.678", 8, 3), SqlType::decimal(5, 2), 0,
         fails(8115, "Arithmetic overflow error converting numeric to data type numeric.")},
        {"rounding overflow", number("999.995", 6, 3), SqlType::decimal(5, 2), 0, fails(8115)},
        {"int to bit", integer(-5), SqlType::bit(), 0, is("1")},
        {"money overflow", number("1000000000000000", 16, 0), SqlType::money(), 0, fails(8115)},
        {"int to binary", integer(258), SqlType{TypeKind::VarBinary, 0, 0, 8}, 0, is("00000102")},
    };
    for (const auto& c : cases)
        check([&] { return convert(c.value, c.target, c.style); }, c.expected, c.what);
}

TEST(TsqlValue, TextConvertsToNumbersOrFailsAsSqlServerFails) {
    struct Case {
        const char* text;
        SqlType target;
        Expected expected;
    };
    const Case cases[] = {
        {"12", SqlType::integer(), is("12", "int")},
        {" -12 ", SqlType::integer(), is("-12")},
        {"", SqlType::integer(), is("0")},
        {"a", SqlType::integer(),
         fails(245, "Conversion failed when converting the varchar value 'a' to data type int.")},
        {"12.5", SqlType::integer(),
         fails(245,
               "Conversion failed when converting the varchar value '12.5' to data type int.")},
        {"3000000000", SqlType::integer(),
         fails(248, "The conversion of the varchar value '3000000000' overflowed an int column.")},
        {"true", SqlType::bit(), is("1")},
        {"12.5", SqlType::decimal(5, 2), is("12.50")},
        {"1e3", SqlType::decimal(10, 2),
         fails(8114, "Error converting data type varchar to numeric.")},
        {"", SqlType::decimal(10, 2), fails(8114)},
        {"123456", SqlType::decimal(5, 2),
         fails(8115, "Arithmetic overflow error converting varchar to data type numeric.")},
        {"$1,234.56", SqlType::money(), is("1234.5600")},
        {"-12.345678", SqlType::money(), is("-12.3457")},
        {"abc", SqlType::money(),
         fails(235, "Cannot convert a char value to money. The char value has incorrect syntax.")},
        {"1e3", SqlType::floatType(), is("1000")},
        {" -2.5E-1 ", SqlType::floatType(), is("-0.25")},
        {"abc", SqlType::floatType(), fails(8114, "Error converting data type varchar to float.")},
        {"inf", SqlType::floatType(), fails(8114)},
    };
    for (const auto& c : cases) {
        check([&] { return convert(varchar(QString::fromLatin1(c.text)), c.target); }, c.expected,
              c.text);
        // The conversion SQL Server makes by itself reads text the same way.
        check(
            [&] {
                return convertImplicitly(varchar(QString::fromLatin1(c.text)), c.target,
                                         Assignment::Variable);
            },
            c.expected, std::string("implicitly ") + c.text);
    }
    EXPECT_EQ(raised([] { convert(nvarchar("x"), SqlType::integer()); }).message,
              "Conversion failed when converting the nvarchar value 'x' to data type int.");
}

TEST(TsqlValue, DatesConvertToTextInEachStyle) {
    const TsqlValue moment = dateTime("2019-08-23 13:39:17.090");
    struct Case {
        int style;
        const char* text;
    };
    // SQL Server's examples of every style, on 23 August 2019 at 13:39:17.090.
    const Case cases[] = {
        {0, "Aug 23 2019  1:39PM"},
        {100, "Aug 23 2019  1:39PM"},
        {1, "08/23/19"},
        {101, "08/23/2019"},
        {2, "19.08.23"},
        {102, "2019.08.23"},
        {3, "23/08/19"},
        {103, "23/08/2019"},
        {4, "23.08.19"},
        {104, "23.08.2019"},
        {5, "23-08-19"},
        {105, "23-08-2019"},
        {6, "23 Aug 19"},
        {106, "23 Aug 2019"},
        {7, "Aug 23, 19"},
        {107, "Aug 23, 2019"},
        {8, "13:39:17"},
        {108, "13:39:17"},
        {9, "Aug 23 2019  1:39:17:090PM"},
        {109, "Aug 23 2019  1:39:17:090PM"},
        {10, "08-23-19"},
        {110, "08-23-2019"},
        {11, "19/08/23"},
        {111, "2019/08/23"},
        {12, "190823"},
        {112, "20190823"},
        {13, "23 Aug 2019 13:39:17:090"},
        {14, "13:39:17:090"},
        {20, "2019-08-23 13:39:17"},
        {120, "2019-08-23 13:39:17"},
        {21, "2019-08-23 13:39:17.090"},
        {121, "2019-08-23 13:39:17.090"},
        {22, "08/23/19  1:39:17 PM"},
        {23, "2019-08-23"},
        {126, "2019-08-23T13:39:17.090"},
    };
    for (const auto& c : cases)
        check([&] { return convert(moment, SqlType::nVarChar(30), c.style); }, is(c.text),
              "style " + std::to_string(c.style));
    check([&] { return convert(dateTime("2024-03-05"), SqlType::varChar(30)); },
          is("Mar  5 2024 12:00AM"), "midnight");
    check([&] { return convert(dateTime("2024-03-05 12:05"), SqlType::varChar(30)); },
          is("Mar  5 2024 12:05PM"), "noon");
    check([&] { return convert(dateTime("2024-03-05", SqlType::date()), SqlType::varChar(30)); },
          is("2024-03-05"), "a date as Cast gives it");
    check(
        [&] { return convert(dateTime("2024-03-05", SqlType::date()), SqlType::varChar(30), 101); },
        is("03/05/2024"), "a date in style 101");
    check([&] { return convert(moment, SqlType::varChar(10), 120); }, is("2019-08-23"),
          "cut to the length");
}

TEST(TsqlValue, TextAndNumbersConvertToDates) {
    struct Case {
        const char* what;
        TsqlValue value;
        SqlType target;
        int style;
        Expected expected;
    };
    const Case cases[] = {
        {"ISO with T", varchar("2006-04-25T15:50:59.997"), SqlType::dateTime(), 0,
         is("2006-04-25 15:50:59.997")},
        {"style 103", varchar("05/03/2024"), SqlType::dateTime(), 103, is("2024-03-05 00:00:00")},
        {"style 101", varchar("05/03/2024"), SqlType::dateTime(), 101, is("2024-05-03 00:00:00")},
        {"style 112", varchar("20240305"), SqlType::dateTime(), 112, is("2024-03-05 00:00:00")},
        {"empty text", varchar(""), SqlType::dateTime(), 0, is("1900-01-01 00:00:00")},
        {"no date", varchar("abc"), SqlType::dateTime(), 0,
         fails(241, "Conversion failed when converting date and/or time from character string.")},
        {"30 February", varchar("2024-02-30"), SqlType::dateTime(), 0,
         fails(242, "The conversion of a varchar data type to a datetime data type resulted in "
                    "an out-of-range value.")},
        {"to smalldatetime", varchar("2024-03-05 10:00:29.998"), SqlType::smallDateTime(), 0,
         is("2024-03-05 10:00:00", "smalldatetime")},
        {"to date", varchar("2024-03-05 10:00"), SqlType::date(), 0,
         is("2024-03-05 00:00:00", "date")},
        {"int days", integer(1), SqlType::dateTime(), 0, is("1900-01-02 00:00:00")},
        {"float days", floating(1.5), SqlType::dateTime(), 0, is("1900-01-02 12:00:00")},
        {"negative days", number("-0.25", 3, 2), SqlType::dateTime(), 0, is("1899-12-31 18:00:00")},
        {"out of range", integer(3000000), SqlType::dateTime(), 0, fails(8115)},
        // datetime to int rounds to the nearest day.
        {"before noon", dateTime("1900-01-02 11:59"), SqlType::integer(), 0, is("1")},
        {"at noon", dateTime("1900-01-02 12:00"), SqlType::integer(), 0, is("2")},
        {"to float", dateTime("1900-01-02 18:00"), SqlType::floatType(), 0, is("1.75")},
        {"to decimal", dateTime("1900-01-02 08:00"), SqlType::decimal(10, 4), 0, is("1.3333")},
        {"smalldatetime", dateTime("2024-03-05 23:59:30"), SqlType::smallDateTime(), 0,
         is("2024-03-06 00:00:00")},
        {"int to date", integer(1), SqlType::date(), 0,
         fails(529, "Explicit conversion from data type int to date is not allowed.")},
    };
    for (const auto& c : cases)
        check([&] { return convert(c.value, c.target, c.style); }, c.expected, c.what);
    check(
        [&] {
            return convertImplicitly(dateTime("2024-03-05"), SqlType::integer(),
                                     Assignment::Variable);
        },
        fails(257, "Implicit conversion from data type datetime to int is not allowed. Use the "
                   "CONVERT function to run this query."),
        "datetime to int by itself");
    check([&] { return convertImplicitly(integer(1), SqlType::date(), Assignment::Column); },
          fails(206, "Operand type clash: int is incompatible with date"), "int to a date column");
}

TEST(TsqlValue, StringsAreCutPaddedAndTruncatedOnlyIntoColumns) {
    check([&] { return convert(varchar("abc"), SqlType::charType(5)); }, is("abc  ", "char(5)"),
          "char pads");
    check([&] { return convert(varchar("abcdefg"), SqlType::varChar(3)); }, is("abc"), "Cast cuts");
    check(
        [&] {
            return convertImplicitly(varchar("abcdefg"), SqlType::varChar(3), Assignment::Variable);
        },
        is("abc"), "a variable cuts");
    check(
        [&] {
            return convertImplicitly(varchar("abc   "), SqlType::varChar(3), Assignment::Column);
        },
        is("abc"), "blanks cut from a column value");
    check(
        [&] { return convertImplicitly(varchar("abcd"), SqlType::varChar(3), Assignment::Column); },
        fails(8152), "a column refuses");
    check([&] { return convert(nvarchar(QStringLiteral("กข中")), SqlType::varChar(10)); },
          is("กข?"), "varchar holds the Thai code page");
    check([&] { return convert(integer(42), SqlType::charType(4)); }, is("42  "), "int to char(4)");
}

TEST(TsqlValue, ArithmeticFollowsTheResultTypes) {
    struct Case {
        const char* what;
        char op;
        TsqlValue left;
        TsqlValue right;
        Expected expected;
    };
    const Case cases[] = {
        {"int division", '/', integer(7), integer(2), is("3", "int")},
        {"negative division", '/', integer(-7), integer(2), is("-3")},
        {"remainder", '%', integer(-7), integer(2), is("-1")},
        {"remainder of negative divisor", '%', integer(7), integer(-2), is("1")},
        {"int by zero", '%', integer(5), integer(0), fails(8134)},
        {"float by zero", '/', floating(1), floating(0), fails(8134)},
        {"money by zero", '/', money("1"), integer(0), fails(8134)},
        {"bigint overflow", '+', integer(9223372036854775807, SqlType::bigInt()), integer(1),
         fails(8115, "Arithmetic overflow error converting expression to data type bigint.")},
        {"tinyint overflow", '+', integer(200, SqlType::tinyInt()),
         integer(100, SqlType::tinyInt()),
         fails(220, "Arithmetic overflow error for data type tinyint, value = 300.")},
        {"tinyint at its limit", '+', integer(255, SqlType::tinyInt()),
         integer(1, SqlType::tinyInt()), fails(220)},
        {"smallint overflow", '*', integer(300, SqlType::smallInt()),
         integer(300, SqlType::smallInt()), fails(220)},
        {"int minimum by -1", '/', integer(-2147483648), integer(-1), fails(8115)},
        {"decimal product", '*', number("1.5", 28, 4), number("2", 28, 4),
         is("3.000000", "decimal(38,6)")},
        {"decimal sum", '+', number("1.25", 5, 2), integer(1), is("2.25", "decimal(13,2)")},
        {"decimal overflow", '+', number("99999999999999999999999999999999999999", 38, 0),
         integer(1),
         fails(8115, "Arithmetic overflow error converting expression to data type numeric.")},
        {"money product rounds", '*', money("18.4172"), money("1.1562"), is("21.2940", "money")},
        {"money quotient truncates", '/', money("1.00"), money("18.4172"), is("0.0542")},
        {"money with decimal", '+', money("1.5"), number("1.25", 5, 2),
         is("2.7500", "decimal(20,4)")},
        {"money overflow", '*', money("922337203685477"), integer(10), fails(8115)},
        {"int and float", '+', integer(1), floating(0.5), is("1.5", "float")},
        {"text meets int", '+', integer(1), varchar("1"), is("2", "int")},
        {"text that is no int", '+', integer(1), varchar(" is not a string."),
         fails(245, "Conversion failed when converting the varchar value ' is not a string.' to "
                    "data type int.")},
        {"concatenation", '+', varchar("1"), varchar(" is a string."),
         is("1 is a string.", "varchar(60)")},
        {"char keeps its blanks", '+', TsqlValue::text("ab ", SqlType::charType(3)), varchar("c"),
         is("ab c")},
        {"date plus days", '+', dateTime("2024-03-05"), integer(1), is("2024-03-06 00:00:00")},
        {"date minus fraction", '-', dateTime("2024-03-05"), number("1.5", 2, 1),
         is("2024-03-03 12:00:00", "datetime")},
        {"date plus text", '+', dateTime("2024-03-05"), varchar("1900-01-02"),
         is("2024-03-06 00:00:00")},
        {"date minus date", '-', dateTime("2024-03-06 06:00"), dateTime("2024-03-05"),
         is("1900-01-02 06:00:00")},
        {"past the last day", '+', dateTime("9999-12-31"), integer(1), fails(8115)},
        {"bit and", '&', integer(12), integer(10), is("8")},
        {"bit or", '|', integer(12), integer(10), is("14")},
        {"bit exclusive or", '^', integer(12), integer(10), is("6")},
        {"null", '+', TsqlValue::null(SqlType::integer()), integer(1), is("NULL", "int")},
    };
    for (const auto& c : cases)
        check([&] { return arithmetic(c.op, c.left, c.right); }, c.expected, c.what);
    // 100 / 339 * 10000 in money: the quotient keeps four places.
    check(
        [&] {
            return arithmetic('*', arithmetic('/', money("100"), money("339")), money("10000"));
        },
        is("2949.0000"), "money chain");
}

TEST(TsqlValue, UnaryOperators) {
    check([&] { return unary('-', integer(-2147483648)); }, fails(8115), "-int minimum");
    check([&] { return unary('-', integer(5, SqlType::tinyInt())); }, is("-5", "smallint"),
          "-tinyint");
    check([&] { return unary('~', integer(0, SqlType::tinyInt())); }, is("255", "tinyint"),
          "~tinyint");
    check([&] { return unary('~', integer(0)); }, is("-1", "int"), "~int");
    check([&] { return unary('-', money("2.5")); }, is("-2.5000", "money"), "-money");
    check([&] { return unary('-', number("0.10", 3, 2)); }, is("-0.10"), "-decimal");
}

TEST(TsqlValue, ComparisonsConvertFirstAndFollowTheCollation) {
    SqlType binaryText = SqlType::varChar(10);
    binaryText.collation = Collation::Binary;
    const auto binary = [&](const char* text) { return TsqlValue::text(text, binaryText); };
    struct Case {
        const char* what;
        TsqlValue left;
        TsqlValue right;
        int order;
    };
    const Case cases[] = {
        {"letter case", varchar("A"), varchar("a"), 0},
        {"trailing blanks", varchar("A"), varchar("A  "), 0},
        {"letters before case", varchar("a"), varchar("B"), -1},
        {"capitals fold", varchar("_"), varchar("a"), 1},
        {"binary case", binary("a"), varchar("A"), 1},
        {"binary blanks", binary("abc"), binary("abc  "), 0},
        {"leading blanks count", varchar(" a"), varchar("a"), -1},
        {"int and decimal", integer(1), number("1.0", 2, 1), 0},
        {"exact sums", arithmetic('+', number("0.1", 1, 1), number("0.2", 1, 1)),
         number("0.3", 1, 1), 0},
        {"int and float", integer(1), floating(1.0), 0},
        {"text meets a number as a number", integer(2), varchar("10"), -1},
        {"two texts as texts", varchar("2"), varchar("10"), 1},
        {"date and text", dateTime("2024-03-05"), varchar("2024-03-05"), 0},
        {"date and datetime", dateTime("2024-03-05", SqlType::date()),
         dateTime("2024-03-05 00:00:00.003"), -1},
        {"money and decimal", money("1"), number("1.0000", 5, 4), 0},
        {"wide decimals", number("10000000000000000000000000000000000000", 38, 0),
         number("0.99999999999999999999999999999999999999", 38, 38), 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(compare(c.left, c.right), c.order) << c.what;
    EXPECT_FALSE(compare(TsqlValue::null(SqlType::integer()), integer(1)));
    EXPECT_EQ(raised([] { compare(integer(1), dateTime("2024-03-05", SqlType::date())); }).number,
              206);
    EXPECT_EQ(raised([] { compare(integer(1), varchar("x")); }).number, 245);
}

TEST(TsqlValue, ErrorsReachTheAccessLayerWithTheirSqlState) {
    struct Case {
        TsqlError error;
        const char* sqlState;
    };
    const Case cases[] = {
        {TsqlError::divideByZero(), "22012"},
        {TsqlError::arithmeticOverflow("int"), "22003"},
        {TsqlError::conversionFailed("a", "varchar", "int"), "22018"},
        {TsqlError::conversionFailed("a", "varchar", "datetime"), "22007"},
        {TsqlError::stringTruncated(), "22001"},
        {TsqlError::incompatibleTypes("text", "int", "add"), "42000"},
    };
    for (const auto& c : cases) {
        const db::DatabaseError error = c.error.toDatabaseError();
        ASSERT_EQ(error.entries().size(), 1u);
        EXPECT_EQ(error.entries()[0].code.toStdString(), c.sqlState) << c.error.what();
        EXPECT_EQ(error.entries()[0].nativeCode, c.error.number());
        EXPECT_EQ(error.entries()[0].text, c.error.message());
        EXPECT_EQ(error.message(), c.error.message());
    }
    EXPECT_EQ(TsqlError::conversionFailed("a", "varchar", "int").scope(), ErrorScope::Batch);
    EXPECT_EQ(TsqlError::divideByZero().scope(), ErrorScope::Statement);
}
