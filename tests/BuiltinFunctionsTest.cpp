#include "TsqlTestValues.h"

#include "db/embedded/tsql/BuiltinFunctions.h"

#include <gtest/gtest.h>

#include <vector>

using namespace tsqltest;

namespace {

// The function typed for its arguments and run on them, as compiled SQL runs it.
TsqlValue call(const char* name, const std::vector<TsqlValue>& arguments) {
    const BuiltinFunction* function = findBuiltinFunction(QString::fromLatin1(name));
    if (!function)
        throw std::runtime_error(std::string("no function ") + name);
    std::vector<SqlType> types;
    for (const TsqlValue& argument : arguments)
        types.push_back(argument.type());
    const SqlType type = function->resultType(types);
    return function->evaluate(arguments, type);
}

struct Case {
    const char* what;
    const char* function;
    std::vector<TsqlValue> arguments;
    const char* value; // as shown(); nullptr when an error is expected
    int error = 0;
    const char* type = nullptr;
};

void run(const std::vector<Case>& cases) {
    for (const auto& c : cases) {
        TsqlValue result;
        const RaisedError error = raised([&] { result = call(c.function, c.arguments); });
        if (c.error != 0) {
            EXPECT_EQ(error.number, c.error) << c.what << ": " << error.message;
            continue;
        }
        ASSERT_EQ(error.number, 0) << c.what << ": " << error.message;
        EXPECT_EQ(shown(result), c.value) << c.what;
        if (c.type) {
            EXPECT_EQ(result.type().name().toStdString(), c.type) << c.what;
        }
    }
}

TsqlValue part(const char* keyword) {
    return varchar(QString::fromLatin1(keyword));
}

const TsqlValue null = TsqlValue::null(SqlType::null());

} // namespace

TEST(BuiltinFunction, RoundingAndTheOtherNumberFunctions) {
    run({
        // The examples of Round: the type is kept, rounding happens on its digits.
        {"round -1", "round", {number("748.58", 5, 2), integer(-1)}, "750.00", 0, "decimal(5,2)"},
        {"round -2", "round", {number("748.58", 5, 2), integer(-2)}, "700.00"},
        {"round -3 overflows", "round", {number("748.58", 5, 2), integer(-3)}, nullptr, 8115},
        {"round -3 with room", "round", {number("748.58", 6, 2), integer(-3)}, "1000.00"},
        {"round -4", "round", {number("748.58", 5, 2), integer(-4)}, "0.00"},
        {"round 3 down", "round", {number("123.9994", 7, 4), integer(3)}, "123.9990"},
        {"round 3 up", "round", {number("123.9995", 7, 4), integer(3)}, "124.0000"},
        {"round 2", "round", {number("123.4545", 7, 4), integer(2)}, "123.4500"},
        {"round 0", "round", {number("150.75", 5, 2), integer(0)}, "151.00"},
        {"round truncating", "round", {number("150.75", 5, 2), integer(0), integer(1)}, "150.00"},
        {"round 0.5", "round", {number("0.5", 1, 1), integer(0)}, nullptr, 8115},
        {"round int", "round", {integer(1250), integer(-2)}, "1300", 0, "int"},
        {"round tinyint", "round", {integer(7, SqlType::tinyInt()), integer(0)}, "7", 0, "int"},
        {"round money", "round", {money("2.675"), integer(2)}, "2.6800", 0, "money"},
        {"round float", "round", {floating(2.675), integer(2)}, "2.6800000000000002", 0, "float"},
        // Ceiling and Floor: decimal(p,s) gives decimal(p,0), money stays money.
        {"ceiling money", "ceiling", {money("123.45")}, "124.0000", 0, "money"},
        {"ceiling negative money", "ceiling", {money("-123.45")}, "-123.0000"},
        {"ceiling zero", "ceiling", {money("0.0")}, "0.0000"},
        {"ceiling decimal", "ceiling", {number("123.45", 5, 2)}, "124", 0, "decimal(5,0)"},
        {"floor decimal", "floor", {number("-123.45", 5, 2)}, "-124"},
        {"floor int", "floor", {integer(5, SqlType::smallInt())}, "5", 0, "int"},
        {"ceiling float", "ceiling", {floating(1.2)}, "2", 0, "float"},
        {"abs decimal", "abs", {number("-1.0", 2, 1)}, "1.0", 0, "decimal(2,1)"},
        {"abs int minimum", "abs", {integer(-2147483648)}, nullptr, 8115},
        {"sign negative", "sign", {integer(-125)}, "-1", 0, "int"},
        {"sign zero", "sign", {integer(0)}, "0"},
        {"sign real", "sign", {TsqlValue::floating(-1, SqlType::real())}, "-1", 0, "float"},
        {"sign decimal", "sign", {number("-2.50", 5, 2)}, "-1.00", 0, "decimal(5,2)"},
        {"power int", "power", {integer(2), integer(10)}, "1024", 0, "int"},
        {"power decimal", "power", {number("2.0", 2, 1), integer(3)}, "8.0", 0, "decimal(38,1)"},
        {"power overflow", "power", {integer(2), integer(31)}, nullptr, 8115},
        {"sqrt", "sqrt", {integer(16)}, "4", 0, "float"},
        {"sqrt of negative", "sqrt", {integer(-1)}, nullptr, 3623},
        {"log of zero", "log", {integer(0)}, nullptr, 3623},
        {"log base", "log", {integer(8), integer(2)}, "3"},
        {"square", "square", {integer(3)}, "9", 0, "float"},
        {"abs of a date", "abs", {dateTime("2024-03-05")}, nullptr, 8116},
        {"null", "abs", {TsqlValue::null(SqlType::integer())}, "NULL", 0, "int"},
    });
    EXPECT_DOUBLE_EQ(call("pi", {}).asDouble(), 3.14159265358979323846);
}

TEST(BuiltinFunction, TextFunctions) {
    run({
        {"len trailing", "len", {varchar("abc  ")}, "3", 0, "int"},
        {"len leading", "len", {varchar("  abc")}, "5"},
        {"len empty", "len", {varchar("")}, "0"},
        {"len thai", "len", {nvarchar(QStringLiteral("กข"))}, "2"},
        {"len number", "len", {integer(-123)}, "4"},
        {"len money", "len", {money("2.5")}, "4"},
        {"len max", "len", {varchar("a", SqlType::maxLength)}, "1", 0, "bigint"},
        {"len text", "len", {TsqlValue::text("a", SqlType::text())}, nullptr, 8116},
        {"len null", "len", {TsqlValue::null(SqlType::varChar(5))}, "NULL"},
        {"datalength varchar", "datalength", {varchar("abc  ")}, "5"},
        {"datalength nvarchar", "datalength", {nvarchar("ab")}, "4"},
        {"datalength int", "datalength", {integer(7)}, "4"},
        {"datalength decimal", "datalength", {number("1", 28, 4)}, "13"},
        {"substring",
         "substring",
         {varchar("abcdef"), integer(2), integer(3)},
         "bcd",
         0,
         "varchar(30)"},
        {"substring from 0", "substring", {varchar("abcdef"), integer(0), integer(3)}, "ab"},
        {"substring from -1", "substring", {varchar("abcdef"), integer(-1), integer(3)}, "a"},
        {"substring past the end", "substring", {varchar("abc"), integer(5), integer(2)}, ""},
        {"substring long", "substring", {varchar("abc"), integer(2), integer(10)}, "bc"},
        {"substring negative",
         "substring",
         {varchar("abc"), integer(1), integer(-1)},
         nullptr,
         537},
        {"substring of char",
         "substring",
         {TsqlValue::text("ab   ", SqlType::charType(5)), integer(1), integer(3)},
         "ab ",
         0,
         "varchar(5)"},
        {"left", "left", {varchar("abc"), integer(2)}, "ab"},
        {"left long", "left", {varchar("abc"), integer(10)}, "abc"},
        {"left negative", "left", {varchar("abc"), integer(-1)}, nullptr, 537},
        {"right", "right", {varchar("abc"), integer(2)}, "bc"},
        {"right negative", "right", {varchar("abc"), integer(-1)}, nullptr, 536},
        {"ltrim", "ltrim", {varchar("  a  ")}, "a  "},
        {"rtrim", "rtrim", {varchar("  a  ")}, "  a"},
        {"trim", "trim", {varchar("  a  ")}, "a"},
        {"upper", "upper", {varchar("abc")}, "ABC"},
        {"lower", "lower", {TsqlValue::text("ABC", SqlType::charType(3))}, "abc", 0, "char(3)"},
        {"replace ignores case",
         "replace",
         {varchar("ABCabc"), varchar("b"), varchar("x")},
         "AxCaxc"},
        {"replace empty", "replace", {varchar("abc"), varchar(""), varchar("x")}, "abc"},
        {"replicate", "replicate", {varchar("ab"), integer(3)}, "ababab"},
        {"replicate none", "replicate", {varchar("ab"), integer(0)}, ""},
        {"replicate negative", "replicate", {varchar("ab"), integer(-1)}, "NULL"},
        {"space", "space", {integer(3)}, "   "},
        {"space negative", "space", {integer(-1)}, "NULL"},
        {"stuff",
         "stuff",
         {varchar("abcdef"), integer(2), integer(3), varchar("ijklmn")},
         "aijklmnef"},
        {"stuff at 0", "stuff", {varchar("abc"), integer(0), integer(1), varchar("x")}, "NULL"},
        {"stuff past the end",
         "stuff",
         {varchar("abc"), integer(4), integer(1), varchar("x")},
         "NULL"},
        {"stuff negative",
         "stuff",
         {varchar("abc"), integer(1), integer(-1), varchar("x")},
         "NULL"},
        {"stuff long", "stuff", {varchar("abc"), integer(2), integer(10), varchar("x")}, "ax"},
        {"stuff null", "stuff", {varchar("abc"), integer(2), integer(1), null}, "ac"},
        {"charindex", "charindex", {varchar("b"), varchar("abcb")}, "2", 0, "int"},
        {"charindex ignores case", "charindex", {varchar("B"), varchar("abcb")}, "2"},
        {"charindex from", "charindex", {varchar("b"), varchar("abcb"), integer(3)}, "4"},
        {"charindex from 0", "charindex", {varchar("b"), varchar("abcb"), integer(0)}, "2"},
        {"charindex missing", "charindex", {varchar("z"), varchar("abc")}, "0"},
        {"charindex null", "charindex", {null, varchar("abc")}, "NULL"},
        {"patindex", "patindex", {varchar("%ter%"), varchar("interesting data")}, "3", 0, "int"},
        {"patindex one of",
         "patindex",
         {varchar("%en_ure%"), varchar("Please ensure the door is locked!")},
         "8"},
        {"patindex not one of",
         "patindex",
         {varchar("%[^ 0-9A-z]%"), varchar("Please ensure the door is locked!")},
         "33"},
        {"patindex first", "patindex", {varchar("a%"), varchar("abc")}, "1"},
        {"patindex last", "patindex", {varchar("%a"), varchar("cba")}, "3"},
        {"patindex start only", "patindex", {varchar("b%"), varchar("abc")}, "0"},
        {"patindex digits", "patindex", {varchar("%[0-9]%"), varchar("ab12")}, "3"},
        {"reverse", "reverse", {varchar("abc")}, "cba"},
        {"ascii", "ascii", {varchar("A")}, "65"},
        {"ascii thai", "ascii", {varchar(QStringLiteral("ก"))}, "161"},
        {"ascii empty", "ascii", {varchar("")}, "NULL"},
        {"char", "char", {integer(65)}, "A", 0, "char(1)"},
        {"char thai", "char", {integer(161)}, "ก"},
        {"char out of range", "char", {integer(256)}, "NULL"},
        {"unicode", "unicode", {nvarchar(QStringLiteral("ก"))}, "3585"},
        {"nchar", "nchar", {integer(3585)}, "ก"},
        {"str rounds", "str", {floating(123.45), integer(6), integer(1)}, " 123.5"},
        {"str too long", "str", {floating(123.45), integer(2), integer(2)}, "**"},
        {"str pads decimals", "str", {floating(123), integer(8), integer(3)}, " 123.000"},
        {"str default", "str", {integer(12)}, "        12"},
        {"str whole part too long", "str", {integer(1223), integer(2)}, "**"},
        {"str fewer decimals", "str", {floating(123.456), integer(5), integer(2)}, "123.5"},
        {"concat", "concat", {varchar("a"), null, integer(1), money("2.5")}, "a12.50"},
        {"quotename", "quotename", {varchar("abc]d")}, "[abc]]d]", 0, "nvarchar(258)"},
        {"quotename quote", "quotename", {varchar("x"), varchar("'")}, "'x'"},
    });
    SqlType binaryText = SqlType::varChar(10);
    binaryText.collation = Collation::Binary;
    EXPECT_EQ(
        shown(call("replace", {TsqlValue::text("ABCabc", binaryText), varchar("b"), varchar("x")})),
        "ABCaxc");
    EXPECT_EQ(shown(call("patindex",
                         {varchar("%ein%"), TsqlValue::text("Das ist ein Test", binaryText)})),
              "9");
}

TEST(BuiltinFunction, DateFunctions) {
    const TsqlValue start = dateTime("2007-01-01 01:01:01.110");
    const TsqlValue saturday = dateTime("2005-12-31 23:59:59.997");
    const TsqlValue sunday = dateTime("2006-01-01 00:00:00.000");
    std::vector<Case> cases = {
        // A day the month does not have becomes its last day.
        {"month end",
         "dateadd",
         {part("month"), integer(1), varchar("20060831")},
         "2006-09-30 00:00:00",
         0,
         "datetime"},
        {"month",
         "dateadd",
         {part("month"), integer(1), varchar("20060830")},
         "2006-09-30 00:00:00"},
        {"quarter", "dateadd", {part("quarter"), integer(4), start}, "2008-01-01 01:01:01.110"},
        {"mm", "dateadd", {part("mm"), integer(13), start}, "2008-02-01 01:01:01.110"},
        {"dayofyear",
         "dateadd",
         {part("dayofyear"), integer(365), start},
         "2008-01-01 01:01:01.110"},
        {"dd", "dateadd", {part("dd"), integer(365), start}, "2008-01-01 01:01:01.110"},
        {"week", "dateadd", {part("week"), integer(5), start}, "2007-02-05 01:01:01.110"},
        {"weekday", "dateadd", {part("weekday"), integer(31), start}, "2007-02-01 01:01:01.110"},
        {"hour", "dateadd", {part("hour"), integer(23), start}, "2007-01-02 00:01:01.110"},
        {"minute", "dateadd", {part("mi"), integer(59), start}, "2007-01-01 02:00:01.110"},
        {"second", "dateadd", {part("ss"), integer(59), start}, "2007-01-01 01:02:00.110"},
        {"leap year",
         "dateadd",
         {part("day"), integer(365), dateTime("2000-01-01 01:01:01.111")},
         "2000-12-31 01:01:01.110"},
        {"fraction truncated",
         "dateadd",
         {part("day"), number("1.9", 2, 1), varchar("2024-03-05")},
         "2024-03-06 00:00:00"},
        {"one millisecond",
         "dateadd",
         {part("ms"), integer(1), dateTime("2024-03-05")},
         "2024-03-05 00:00:00"},
        {"two milliseconds",
         "dateadd",
         {part("ms"), integer(2), dateTime("2024-03-05")},
         "2024-03-05 00:00:00.003"},
        {"year overflow",
         "dateadd",
         {part("year"), integer(2147483647), varchar("20060731")},
         nullptr,
         517},
        {"number past int",
         "dateadd",
         {part("year"), integer(2147483648, SqlType::bigInt()), varchar("20060731")},
         nullptr,
         8115},
        {"microsecond", "dateadd", {part("mcs"), integer(1), start}, nullptr, 9810},
        {"unknown part", "dateadd", {part("fortnight"), integer(1), start}, nullptr, 155},
        {"date stays a date",
         "dateadd",
         {part("day"), integer(1), dateTime("2024-02-28", SqlType::date())},
         "2024-02-29 00:00:00",
         0,
         "date"},
        {"hour of a date",
         "dateadd",
         {part("hour"), integer(1), dateTime("2024-02-28", SqlType::date())},
         nullptr,
         9810},
        {"smalldatetime 29 s",
         "dateadd",
         {part("second"), integer(29), dateTime("2024-03-05 10:00", SqlType::smallDateTime())},
         "2024-03-05 10:00:00",
         0,
         "smalldatetime"},
        {"smalldatetime 30 s",
         "dateadd",
         {part("second"), integer(30), dateTime("2024-03-05 10:00", SqlType::smallDateTime())},
         "2024-03-05 10:01:00"},
        {"smalldatetime -30 s",
         "dateadd",
         {part("second"), integer(-30), dateTime("2024-03-05 10:00", SqlType::smallDateTime())},
         "2024-03-05 10:00:00"},
        {"days back",
         "datediff",
         {part("day"), varchar("2036-03-01"), varchar("2036-02-28")},
         "-2",
         0,
         "int"},
        {"milliseconds", "datediff", {part("millisecond"), saturday, sunday}, "3"},
        {"millisecond overflow",
         "datediff",
         {part("ms"), varchar("1900-01-01"), varchar("2024-01-01")},
         nullptr,
         535},
        {"same week",
         "datediff",
         {part("week"), varchar("2024-03-03"), varchar("2024-03-09")},
         "0"},
        {"weekday", "datediff", {part("dw"), saturday, sunday}, nullptr, 9810},
        {"datepart week 1", "datepart", {part("week"), varchar("2024-01-06")}, "1", 0, "int"},
        {"datepart week 2", "datepart", {part("wk"), varchar("2024-01-07")}, "2"},
        {"datepart weekday", "datepart", {part("dw"), varchar("2024-03-05")}, "3"},
        {"datepart dayofyear", "datepart", {part("dy"), varchar("2024-03-05")}, "65"},
        {"datepart quarter", "datepart", {part("q"), varchar("2024-03-05")}, "1"},
        {"datepart millisecond",
         "datepart",
         {part("ms"), dateTime("2024-03-05 10:00:00.997")},
         "997"},
        {"datepart iso week", "datepart", {part("iso_week"), varchar("2024-12-30")}, "1"},
        {"datepart iso week 53", "datepart", {part("isowk"), varchar("2021-01-03")}, "53"},
        {"datepart hour of a date",
         "datepart",
         {part("hour"), dateTime("2024-03-05", SqlType::date())},
         nullptr,
         9810},
        {"datepart unknown", "datepart", {part("iso"), varchar("2024-03-05")}, nullptr, 155},
        {"datename month",
         "datename",
         {part("month"), varchar("2024-03-05")},
         "March",
         0,
         "nvarchar(30)"},
        {"datename weekday", "datename", {part("weekday"), varchar("2024-03-05")}, "Tuesday"},
        {"datename year", "datename", {part("yyyy"), varchar("2024-03-05")}, "2024"},
        {"year", "year", {varchar("2024-03-05")}, "2024", 0, "int"},
        {"month", "month", {dateTime("2024-03-05")}, "3"},
        {"day", "day", {dateTime("2024-03-05")}, "5"},
        {"year of 0", "year", {integer(0)}, "1900"},
        {"day of 0", "day", {integer(0)}, "1"},
        {"eomonth", "eomonth", {varchar("2024-02-10")}, "2024-02-29 00:00:00", 0, "date"},
        {"eomonth ahead", "eomonth", {varchar("2024-01-31"), integer(1)}, "2024-02-29 00:00:00"},
        {"datefromparts",
         "datefromparts",
         {integer(2024), integer(3), integer(5)},
         "2024-03-05 00:00:00",
         0,
         "date"},
        {"datefromparts invalid",
         "datefromparts",
         {integer(2024), integer(2), integer(30)},
         nullptr,
         289},
    };
    // Each of these crosses exactly one boundary between the last moment of 2005 and 2006.
    for (const char* keyword :
         {"year", "quarter", "month", "dayofyear", "day", "week", "hour", "minute", "second"})
        cases.push_back({keyword, "datediff", {part(keyword), saturday, sunday}, "1"});
    run(cases);
}

TEST(BuiltinFunction, TestsAndChoices) {
    run({
        {"isnumeric int", "isnumeric", {varchar("12")}, "1", 0, "int"},
        {"isnumeric currency", "isnumeric", {varchar("$")}, "1"},
        {"isnumeric plus", "isnumeric", {varchar("+")}, "1"},
        {"isnumeric minus", "isnumeric", {varchar("-")}, "1"},
        {"isnumeric exponent", "isnumeric", {varchar("1e5")}, "1"},
        {"isnumeric letters", "isnumeric", {varchar("abc")}, "0"},
        {"isnumeric empty", "isnumeric", {varchar("")}, "0"},
        {"isnumeric null", "isnumeric", {TsqlValue::null(SqlType::varChar(5))}, "0"},
        {"isnumeric number", "isnumeric", {money("1")}, "1"},
        {"isdate", "isdate", {varchar("2024-02-29")}, "1"},
        {"isdate invalid", "isdate", {varchar("2023-02-29")}, "0"},
        {"isdate number", "isdate", {integer(1)}, nullptr, 8116},
        {"nullif equal", "nullif", {integer(1), integer(1)}, "NULL", 0, "int"},
        {"nullif different", "nullif", {integer(1), integer(2)}, "1"},
        {"nullif texts", "nullif", {varchar("a"), varchar("A ")}, "NULL"},
        {"iif", "iif", {integer(1, SqlType::bit()), varchar("a"), varchar("b")}, "a"},
        {"iif false",
         "iif",
         {integer(0, SqlType::bit()), integer(1), number("2.5", 2, 1)},
         "2.5",
         0,
         "decimal(11,1)"},
        {"choose", "choose", {integer(2), varchar("a"), varchar("b"), varchar("c")}, "b"},
        {"choose out of range", "choose", {integer(4), varchar("a"), varchar("b")}, "NULL"},
    });
    EXPECT_TRUE(findBuiltinFunction("DateAdd"));
    EXPECT_FALSE(findBuiltinFunction("Object_Id"));
}

TEST(BuiltinFunction, LikePatterns) {
    struct Case {
        const char* text;
        const char* pattern;
        bool matches;
    };
    const Case cases[] = {
        {"abc  ", "abc", true}, // blanks after the text are ignored
        {"abc", "abc ", false}, // those of the pattern are not
        {"ABC", "a%", true},    {"abc", "a_c", true},   {"abbc", "a_c", false},
        {"b", "[a-c]", true},   {"d", "[^a-c]", true},  {"a", "[^a-c]", false},
        {"a[c", "a[[]c", true}, {"xyz", "%y%", true},   {"", "%", true},
        {"a%c", "a!%c", true},  {"abc", "a!%c", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(like(varchar(c.text), varchar(c.pattern), QChar(u'!')), c.matches)
            << c.text << " like " << c.pattern;
    EXPECT_FALSE(like(TsqlValue::null(SqlType::varChar(1)), varchar("%")));
    EXPECT_EQ(like(integer(123), varchar("1%")), true);
}

TEST(BuiltinFunction, SumAndAverageAreTypedAndExact) {
    struct TypeCase {
        SqlType argument;
        const char* sum;
        const char* average;
    };
    const TypeCase types[] = {
        {SqlType::tinyInt(), "int", "int"},
        {SqlType::integer(), "int", "int"},
        {SqlType::bigInt(), "bigint", "bigint"},
        {SqlType::decimal(28, 4), "decimal(38,4)", "decimal(38,6)"},
        {SqlType::decimal(10, 8), "decimal(38,8)", "decimal(38,8)"},
        {SqlType::smallMoney(), "money", "money"},
        {SqlType::real(), "float", "float"},
    };
    for (const auto& c : types) {
        EXPECT_EQ(sumResultType(c.argument).name().toStdString(), c.sum);
        EXPECT_EQ(avgResultType(c.argument).name().toStdString(), c.average);
    }
    EXPECT_EQ(raised([] { sumResultType(SqlType::bit()); }).message,
              "Operand data type bit is invalid for sum operator.");
    EXPECT_EQ(raised([] { avgResultType(SqlType::varChar(5)); }).message,
              "Operand data type varchar is invalid for avg operator.");

    const auto total = [](Accumulator::Kind kind, const SqlType& type,
                          const std::vector<TsqlValue>& values) {
        Accumulator accumulator(kind, type);
        for (const TsqlValue& value : values)
            accumulator.add(value);
        return accumulator.result();
    };
    using Kind = Accumulator::Kind;
    // Avg of an int column is an int: the quotient truncated.
    EXPECT_EQ(shown(total(Kind::Avg, SqlType::integer(), {integer(1), integer(2), integer(2)})),
              "1");
    EXPECT_EQ(shown(total(Kind::Avg, SqlType::integer(), {integer(-1), integer(-2), integer(-2)})),
              "-1");
    std::vector<TsqlValue> tenths(10, number("0.1", 5, 1));
    EXPECT_EQ(shown(total(Kind::Sum, SqlType::decimal(5, 1), tenths)), "1.0");
    EXPECT_EQ(shown(total(Kind::Avg, SqlType::decimal(28, 4),
                          {number("1", 28, 4), number("1", 28, 4), number("2", 28, 4)})),
              "1.333333");
    EXPECT_EQ(shown(total(Kind::Avg, SqlType::money(), {money("1"), money("1"), money("2")})),
              "1.3333");
    EXPECT_EQ(shown(total(Kind::Sum, SqlType::floatType(), {floating(0.5), null, floating(1.5)})),
              "2");
    EXPECT_EQ(shown(total(Kind::Sum, SqlType::integer(), {null})), "NULL");
    EXPECT_EQ(raised([&] {
                  total(Kind::Sum, SqlType::integer(), {integer(2147483647), integer(1)});
              }).message,
              "Arithmetic overflow error converting expression to data type int.");
    EXPECT_EQ(shown(total(Kind::Sum, SqlType::bigInt(),
                          {integer(2147483647, SqlType::bigInt()), integer(1, SqlType::bigInt())})),
              "2147483648");

    // A frame that moves: values leave as they came.
    Accumulator moving(Kind::Sum, SqlType::decimal(10, 2));
    for (const char* value : {"1.10", "2.20", "3.30"})
        moving.add(number(value, 10, 2));
    moving.remove(number("1.10", 10, 2));
    EXPECT_EQ(shown(moving.result()), "5.50");
    EXPECT_EQ(moving.count(), 2);
}
