#include "TsqlTestValues.h"

#include "db/embedded/tsql/SqlType.h"

#include <gtest/gtest.h>

using namespace tsqltest;

namespace {

std::string nameOf(const SqlType& type) {
    return type.name().toStdString();
}

} // namespace

TEST(SqlType, DeclarationsAreReadWithSqlServersNamesAndDefaults) {
    struct Case {
        const char* declaration;
        const char* type;
    };
    const Case cases[] = {
        {"decimal", "decimal(18,0)"},
        {"numeric(28,4)", "decimal(28,4)"},
        {"DEC(10)", "decimal(10,0)"},
        {"Integer", "int"},
        {"character(5)", "char(5)"},
        {"char", "char(1)"},
        {"VarChar(20)", "varchar(20)"},
        {"varchar(max)", "varchar(max)"},
        {"national character varying(40)", "nvarchar(40)"},
        {"sysname", "nvarchar(128)"},
        {"float", "float"},
        {"float(24)", "real"},
        {"float(25)", "float"},
        {"double precision", "float"},
        {"money", "money"},
        {"smallmoney", "smallmoney"},
        {"DateTime", "datetime"},
        {"[int]", "int"},
        {"varbinary(max)", "varbinary(max)"},
    };
    for (const auto& c : cases) {
        const auto type = SqlType::fromText(QString::fromLatin1(c.declaration));
        ASSERT_TRUE(type) << c.declaration;
        EXPECT_EQ(nameOf(*type), c.type) << c.declaration;
    }
    EXPECT_FALSE(SqlType::fromText("CostType"));
    EXPECT_FALSE(SqlType::fromText("uniqueidentifier"));
    EXPECT_EQ(SqlType::fromText("money")->scale, 4);
}

TEST(SqlType, DeclarationsOutOfRangeAreSqlServersErrors) {
    struct Case {
        const char* declaration;
        int number;
        const char* message;
    };
    const Case cases[] = {
        {"decimal(39,2)", 2750,
         "Column or parameter #1: Specified column precision 39 is greater than the maximum "
         "precision of 38."},
        {"decimal(5,6)", 2751,
         "Column or parameter #1: Specified column scale 6 is greater than the specified "
         "precision of 5."},
        {"varchar(9000)", 131,
         "The size (9000) given to the type 'varchar' exceeds the maximum allowed for any data "
         "type (8000)."},
        {"nvarchar(4001)", 131,
         "The size (4001) given to the type 'nvarchar' exceeds the maximum allowed for any data "
         "type (4000)."},
        {"int(4)", 2716,
         "Column, parameter, or variable #1: Cannot specify a column width on data type int."},
        {"char(0)", 1001, "Line 1: Length or precision specification 0 is invalid."},
    };
    for (const auto& c : cases) {
        const RaisedError error =
            raised([&] { SqlType::fromText(QString::fromLatin1(c.declaration)); });
        EXPECT_EQ(error.number, c.number) << c.declaration;
        EXPECT_EQ(error.message, c.message) << c.declaration;
    }
}

TEST(SqlType, PacksIntoOneIntegerAndBack) {
    SqlType binaryText = SqlType::varChar(20);
    binaryText.collation = Collation::Binary;
    for (const SqlType& type :
         {SqlType::decimal(38, 6), SqlType::varChar(SqlType::maxLength), SqlType::nChar(4000),
          binaryText, SqlType::money(), SqlType::dateTime(), SqlType::null()})
        EXPECT_EQ(SqlType::fromCode(type.code()), type) << nameOf(type);
}

TEST(SqlType, PrecedenceFollowsSqlServersList) {
    // From the highest to the lowest, as SQL Server lists the types this engine holds.
    const TypeKind order[] = {
        TypeKind::Variant,    TypeKind::DateTime, TypeKind::SmallDateTime, TypeKind::Date,
        TypeKind::Float,      TypeKind::Real,     TypeKind::Decimal,       TypeKind::Money,
        TypeKind::SmallMoney, TypeKind::BigInt,   TypeKind::Int,           TypeKind::SmallInt,
        TypeKind::TinyInt,    TypeKind::Bit,      TypeKind::NText,         TypeKind::Text,
        TypeKind::NVarChar,   TypeKind::NChar,    TypeKind::VarChar,       TypeKind::Char,
        TypeKind::VarBinary,  TypeKind::Binary,
    };
    for (std::size_t i = 1; i < std::size(order); ++i)
        EXPECT_GT(precedence(order[i - 1]), precedence(order[i])) << i;
}

TEST(SqlType, DecimalResultsFollowThePrecisionAndScaleTable) {
    struct Case {
        char op;
        SqlType left;
        SqlType right;
        const char* result;
    };
    const auto d = SqlType::decimal;
    const Case cases[] = {
        {'+', d(28, 4), d(28, 4), "decimal(29,4)"},
        {'-', d(10, 2), d(5, 4), "decimal(13,4)"},
        // Past 38 digits the scale of a sum gives way to the integral digits.
        {'+', d(38, 10), d(38, 10), "decimal(38,10)"},
        {'+', d(38, 4), d(28, 4), "decimal(38,4)"},
        {'*', d(10, 2), d(5, 3), "decimal(16,5)"},
        // The two examples of the table: integral part 21 keeps scale 17, 41 takes scale 6.
        {'*', d(30, 20), d(30, 20), "decimal(38,17)"},
        {'*', d(30, 10), d(30, 10), "decimal(38,6)"},
        {'/', d(38, 10), d(38, 10), "decimal(38,6)"},
        {'/', d(2, 1), d(1, 0), "decimal(7,6)"},
        {'/', d(28, 4), d(1, 0), "decimal(30,6)"},
        // An int column meets a decimal as decimal(10,0).
        {'/', d(28, 4), SqlType::integer(), "decimal(38,14)"},
        {'%', d(5, 2), d(3, 1), "decimal(4,2)"},
        {'*', d(28, 4), SqlType::money(), "decimal(38,6)"},
        {'+', SqlType::money(), d(10, 2), "decimal(20,4)"},
        {'/', d(38, 6), d(38, 4), "decimal(38,6)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(nameOf(arithmeticResultType(c.op, c.left, c.right)), c.result)
            << nameOf(c.left) << ' ' << c.op << ' ' << nameOf(c.right);
    EXPECT_EQ(nameOf(literalAsDecimal(3)), "decimal(1,0)");
    EXPECT_EQ(nameOf(literalAsDecimal(-250)), "decimal(3,0)");
    EXPECT_EQ(nameOf(literalAsDecimal(0)), "decimal(1,0)");
}

TEST(SqlType, OtherResultsFollowPrecedence) {
    struct Case {
        char op;
        SqlType left;
        SqlType right;
        const char* result;
    };
    const Case cases[] = {
        {'+', SqlType::integer(), SqlType::integer(), "int"},
        {'/', SqlType::integer(), SqlType::bigInt(), "bigint"},
        {'+', SqlType::tinyInt(), SqlType::tinyInt(), "tinyint"},
        {'+', SqlType::integer(), SqlType::money(), "money"},
        {'/', SqlType::money(), SqlType::integer(), "money"},
        {'*', SqlType::smallMoney(), SqlType::money(), "money"},
        {'*', SqlType::integer(), SqlType::floatType(), "float"},
        {'+', SqlType::decimal(10, 2), SqlType::real(), "real"},
        {'+', SqlType::varChar(10), SqlType::integer(), "int"},
        {'+', SqlType::varChar(10), SqlType::varChar(20), "varchar(30)"},
        {'+', SqlType::nVarChar(3000), SqlType::varChar(3000), "nvarchar(4000)"},
        {'+', SqlType::varChar(SqlType::maxLength), SqlType::varChar(5), "varchar(max)"},
        {'+', SqlType::dateTime(), SqlType::integer(), "datetime"},
        {'+', SqlType::integer(), SqlType::dateTime(), "datetime"},
        {'-', SqlType::dateTime(), SqlType::dateTime(), "datetime"},
        {'-', SqlType::smallDateTime(), SqlType::decimal(5, 2), "smalldatetime"},
        {'&', SqlType::integer(), SqlType::bit(), "int"},
        {'+', SqlType::null(), SqlType::varChar(5), "varchar(10)"},
        {'+', SqlType::null(), SqlType::null(), "int"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(nameOf(arithmeticResultType(c.op, c.left, c.right)), c.result)
            << nameOf(c.left) << ' ' << c.op << ' ' << nameOf(c.right);
}

TEST(SqlType, OperatorsWithoutARuleAreSqlServersErrors) {
    struct Case {
        char op;
        SqlType left;
        SqlType right;
        int number;
        const char* message;
    };
    const Case cases[] = {
        {'-', SqlType::varChar(5), SqlType::varChar(5), 8117,
         "Operand data type varchar is invalid for subtract operator."},
        {'+', SqlType::bit(), SqlType::bit(), 8117,
         "Operand data type bit is invalid for add operator."},
        {'*', SqlType::dateTime(), SqlType::integer(), 8117,
         "Operand data type datetime is invalid for multiply operator."},
        {'+', SqlType::date(), SqlType::integer(), 206,
         "Operand type clash: date is incompatible with int"},
        {'+', SqlType::text(), SqlType::varChar(5), 402,
         "The data types text and varchar are incompatible in the add operator."},
        {'%', SqlType::floatType(), SqlType::integer(), 402,
         "The data types float and int are incompatible in the modulo operator."},
    };
    for (const auto& c : cases) {
        const RaisedError error = raised([&] { arithmeticResultType(c.op, c.left, c.right); });
        EXPECT_EQ(error.number, c.number) << c.message;
        EXPECT_EQ(error.message, c.message);
    }
    EXPECT_EQ(raised([] {
                  arithmeticResultType('&', SqlType::decimal(5, 0), SqlType::integer());
              }).number,
              402);
}

TEST(SqlType, UnaryOperators) {
    EXPECT_EQ(nameOf(unaryResultType('-', SqlType::tinyInt())), "smallint");
    EXPECT_EQ(nameOf(unaryResultType('-', SqlType::decimal(5, 2))), "decimal(5,2)");
    EXPECT_EQ(nameOf(unaryResultType('~', SqlType::tinyInt())), "tinyint");
    EXPECT_EQ(raised([] { unaryResultType('-', SqlType::varChar(1)); }).message,
              "Operand data type varchar is invalid for minus operator.");
    EXPECT_EQ(raised([] { unaryResultType('~', SqlType::decimal(5, 0)); }).number, 8117);
    EXPECT_EQ(raised([] { unaryResultType('-', SqlType::bit()); }).number, 8117);
}

TEST(SqlType, ValuesMeetInTheTypeOfHigherPrecedence) {
    struct Case {
        SqlType left;
        SqlType right;
        const char* common;
    };
    const Case cases[] = {
        {SqlType::integer(), SqlType::decimal(28, 4), "decimal(28,4)"},
        {SqlType::decimal(10, 2), SqlType::decimal(5, 4), "decimal(12,4)"},
        {SqlType::decimal(38, 0), SqlType::decimal(38, 38), "decimal(38,0)"},
        {SqlType::money(), SqlType::decimal(10, 2), "decimal(19,4)"},
        {SqlType::varChar(5), SqlType::nVarChar(3), "nvarchar(5)"},
        {SqlType::charType(5), SqlType::varChar(10), "varchar(10)"},
        {SqlType::null(), SqlType::money(), "money"},
        {SqlType::null(), SqlType::null(), "int"},
        {SqlType::varChar(10), SqlType::dateTime(), "datetime"},
        {SqlType::date(), SqlType::dateTime(), "datetime"},
        {SqlType::integer(), SqlType::floatType(), "float"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(nameOf(commonType(c.left, c.right)), c.common)
            << nameOf(c.left) << " and " << nameOf(c.right);
    EXPECT_EQ(raised([] { commonType(SqlType::integer(), SqlType::date()); }).message,
              "Operand type clash: int is incompatible with date");
}

TEST(SqlType, ConversionTable) {
    struct Case {
        SqlType from;
        SqlType to;
        bool implicit;
        bool explicitly;
    };
    const Case cases[] = {
        {SqlType::varChar(5), SqlType::integer(), true, true},
        {SqlType::money(), SqlType::varChar(5), true, true},
        {SqlType::floatType(), SqlType::decimal(10, 2), true, true},
        {SqlType::integer(), SqlType::dateTime(), true, true},
        {SqlType::dateTime(), SqlType::integer(), false, true},
        {SqlType::integer(), SqlType::date(), false, false},
        {SqlType::varChar(5), SqlType::date(), true, true},
        {SqlType::text(), SqlType::integer(), false, false},
        {SqlType::text(), SqlType::varChar(5), true, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(convertsImplicitly(c.from, c.to), c.implicit)
            << nameOf(c.from) << " to " << nameOf(c.to);
        EXPECT_EQ(convertsExplicitly(c.from, c.to), c.explicitly)
            << nameOf(c.from) << " to " << nameOf(c.to);
    }
}
