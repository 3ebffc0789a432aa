#pragma once

#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

namespace db::tsql {

// The data types of T-SQL that the embedded engine runs.
enum class TypeKind : std::uint8_t {
    Variant, // known only at run time: the value's own type decides (columns of unknown type)
    Null,    // the type of the literal NULL: gives way to any other type, is int on its own
    Bit,
    TinyInt,
    SmallInt,
    Int,
    BigInt,
    Decimal, // decimal(p,s) and numeric(p,s)
    SmallMoney,
    Money,
    Real,
    Float,
    Char,
    VarChar,
    NChar,
    NVarChar,
    Text,
    NText,
    Binary,
    VarBinary,
    SmallDateTime,
    DateTime,
    Date,
};

// How text of a type compares: as the database's case-insensitive collation does (letters a
// to z without regard to case, trailing blanks ignored), or byte for byte (a _BIN or _CS
// collation).
enum class Collation : std::uint8_t { CaseInsensitive, Binary };

// One T-SQL data type with its precision, scale or length.
struct SqlType {
    static constexpr int maxPrecision = 38;
    static constexpr std::int32_t maxLength = -1; // varchar(max) and the like

    TypeKind kind = TypeKind::Variant;
    std::uint8_t precision = 0; // Decimal 1..38; Money 19 and SmallMoney 10, fixed
    std::uint8_t scale = 0;     // Decimal 0..precision; Money and SmallMoney 4
    std::int32_t length = 0;    // Char, VarChar, NChar, NVarChar, Binary, VarBinary: 1..8000
                                // (4000 for the N types) or maxLength
    Collation collation = Collation::CaseInsensitive;

    static SqlType variant() { return {}; }
    static SqlType null();
    static SqlType bit();
    static SqlType tinyInt();
    static SqlType smallInt();
    static SqlType integer();
    static SqlType bigInt();
    static SqlType decimal(int precision, int scale);
    static SqlType smallMoney();
    static SqlType money();
    static SqlType real();
    static SqlType floatType();
    static SqlType charType(int length);
    static SqlType varChar(int length);
    static SqlType nChar(int length);
    static SqlType nVarChar(int length);
    static SqlType text();
    static SqlType dateTime();
    static SqlType smallDateTime();
    static SqlType date();

    // A type as a declaration writes it: the name and its arguments ("decimal", {28, 4};
    // "varchar", {SqlType::maxLength} for varchar(max)). Names are read without regard to case
    // and include the synonyms (integer, dec, numeric, character, double precision, float(n),
    // sysname). SQL Server's defaults apply to missing arguments: decimal(18,0), char(1),
    // float(53). Nothing when the name is no system type (a user type, resolved elsewhere);
    // an argument out of range throws TsqlError 1001/2716/131 as SQL Server words it.
    static std::optional<SqlType> fromDeclaration(const QString& name, const QList<int>& arguments);
    // Reads a whole declaration text as the catalog stores it ("decimal(28,4)", "VarChar(20)",
    // "int", "varchar(max)"); nothing when it is not a system type.
    static std::optional<SqlType> fromText(const QString& declaration);

    // As SQL Server names it: "int", "decimal(28,4)", "varchar(20)", "varchar(max)", "money".
    QString name() const;
    // The name without arguments as SQL Server's error messages write it: "int", "varchar",
    // "numeric" for decimal(p,s) ("Error converting data type varchar to numeric.").
    QString baseName() const;

    // The type packed into one integer, and back: how compiled SQL passes a type to the
    // engine's SQL functions.
    std::int64_t code() const;
    static SqlType fromCode(std::int64_t code);

    bool isInteger() const;      // Bit, TinyInt, SmallInt, Int, BigInt
    bool isExactNumeric() const; // the integers, Decimal, SmallMoney, Money
    bool isApproximate() const;  // Real, Float
    bool isNumeric() const;      // exact or approximate
    bool isMoney() const;        // SmallMoney, Money
    bool isString() const;       // Char ... NText
    bool isUnicode() const;      // NChar, NVarChar, NText
    bool isFixedLength() const;  // Char, NChar, Binary
    bool isBinary() const;       // Binary, VarBinary
    bool isDateTime() const;     // SmallDateTime, DateTime, Date

    bool operator==(const SqlType&) const = default;
};

inline SqlType SqlType::null() {
    return {TypeKind::Null};
}
inline SqlType SqlType::bit() {
    return {TypeKind::Bit};
}
inline SqlType SqlType::tinyInt() {
    return {TypeKind::TinyInt};
}
inline SqlType SqlType::smallInt() {
    return {TypeKind::SmallInt};
}
inline SqlType SqlType::integer() {
    return {TypeKind::Int};
}
inline SqlType SqlType::bigInt() {
    return {TypeKind::BigInt};
}
inline SqlType SqlType::smallMoney() {
    return {TypeKind::SmallMoney, 10, 4};
}
inline SqlType SqlType::money() {
    return {TypeKind::Money, 19, 4};
}
inline SqlType SqlType::real() {
    return {TypeKind::Real};
}
inline SqlType SqlType::floatType() {
    return {TypeKind::Float};
}
inline SqlType SqlType::dateTime() {
    return {TypeKind::DateTime};
}
inline SqlType SqlType::smallDateTime() {
    return {TypeKind::SmallDateTime};
}
inline SqlType SqlType::date() {
    return {TypeKind::Date};
}

inline std::int64_t SqlType::code() const {
    return std::int64_t(std::uint8_t(kind)) | std::int64_t(precision) << 8 |
           std::int64_t(scale) << 16 | std::int64_t(std::uint8_t(collation)) << 24 |
           std::int64_t(std::uint32_t(length)) << 32;
}

inline SqlType SqlType::fromCode(std::int64_t code) {
    SqlType type;
    type.kind = TypeKind(code & 0xff);
    type.precision = std::uint8_t(code >> 8);
    type.scale = std::uint8_t(code >> 16);
    type.collation = Collation((code >> 24) & 0xff);
    type.length = std::int32_t(std::uint32_t(std::uint64_t(code) >> 32));
    return type;
}

// SQL Server's data type precedence: a value of lower precedence converts to the type of
// higher precedence when two meet. Higher number, higher precedence.
int precedence(TypeKind kind);

// The decimal(p,0) or decimal(p,4) a value of an exact type takes when it meets a decimal:
// bit 1, tinyint 3, smallint 5, int 10, bigint 19, smallmoney (10,4), money (19,4); a decimal
// stays as it is.
SqlType asDecimal(const SqlType& type);

// The type of `left op right` for op one of + - * / % & | ^, with SQL Server's rules: the
// operand of lower precedence converts to the other's type; two decimals give the precision and
// scale of SQL Server's table for the operator, reduced as SQL Server reduces them when the
// precision passes 38; + on two strings concatenates (length the sum, at most 8000 or max);
// datetime + number and datetime - number are a datetime. Throws TsqlError 402 ("The data types
// %s and %s are incompatible in the %s operator."), 8117 ("Operand data type %s is invalid
// for %s operator.") or 206 (date + int) when no rule applies.
SqlType arithmeticResultType(char op, const SqlType& left, const SqlType& right);

// The type of unary minus, plus or ~ on a value of the type.
SqlType unaryResultType(char op, const SqlType& operand);

// The type two values meet in: both sides of a comparison, the branches of a Case, the
// arguments of Coalesce, the rows of a Union. The type of higher precedence; two decimals
// widen to hold both (scale the larger, integral digits the larger, at most 38, the scale
// giving way to the integral digits beyond that); two strings the longer length, Unicode when
// either is. Throws TsqlError 206 ("Operand type clash: %s is incompatible with %s") for types
// that do not convert implicitly, such as date and int.
SqlType commonType(const SqlType& left, const SqlType& right);

// Whether a value of type from converts implicitly to type to (SQL Server's conversion table).
bool convertsImplicitly(const SqlType& from, const SqlType& to);
// Whether Cast and Convert take a value of type from to type to at all.
bool convertsExplicitly(const SqlType& from, const SqlType& to);

// The decimal an integer constant written in the text takes when it meets a decimal: as many
// digits as it has (3 is decimal(1,0), -250 decimal(3,0)), where an int column or variable takes
// decimal(10,0). SQL Server types constants so; it is why 1.0 / 3 is 0.333333 and not
// 0.333333333333. The constant stays an int against integers (2147483647 + 1 overflows).
SqlType literalAsDecimal(std::int64_t value);

} // namespace db::tsql
