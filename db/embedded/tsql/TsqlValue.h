#pragma once

#include "db/embedded/tsql/DateTimeValue.h"
#include "db/embedded/tsql/Decimal.h"
#include "db/embedded/tsql/SqlType.h"

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <variant>

namespace db::tsql {

// One T-SQL value with its type: NULL or a payload that fits the type. Integers (bit to
// bigint) hold an int64, real and float a double, decimal and money a Decimal at the type's
// scale, strings a QString (char(n) padded to n by conversion), binaries a QByteArray and the
// date types a DateTimeValue.
class TsqlValue {
public:
    using Payload = std::variant<std::monostate, std::int64_t, double, Decimal, QString, QByteArray,
                                 DateTimeValue>;

    TsqlValue() = default; // NULL of type Null
    static TsqlValue null(const SqlType& type);
    static TsqlValue integer(std::int64_t value, const SqlType& type = SqlType::integer());
    static TsqlValue floating(double value, const SqlType& type = SqlType::floatType());
    // The decimal at the type's scale: the value is rescaled (rounding half away from zero).
    static TsqlValue decimal(const Decimal& value, const SqlType& type);
    static TsqlValue text(const QString& value, const SqlType& type);
    static TsqlValue binary(const QByteArray& value, const SqlType& type);
    static TsqlValue dateTime(const DateTimeValue& value,
                              const SqlType& type = SqlType::dateTime());

    const SqlType& type() const { return type_; }
    bool isNull() const { return std::holds_alternative<std::monostate>(payload_); }
    const Payload& payload() const { return payload_; }

    // The payload; only for a value whose type holds that payload.
    std::int64_t asInteger() const { return std::get<std::int64_t>(payload_); }
    double asDouble() const { return std::get<double>(payload_); }
    const Decimal& asDecimal() const { return std::get<Decimal>(payload_); }
    const QString& asText() const { return std::get<QString>(payload_); }
    const QByteArray& asBinary() const { return std::get<QByteArray>(payload_); }
    const DateTimeValue& asDateTime() const { return std::get<DateTimeValue>(payload_); }

    // For the access layer: NULL invalid, integers qint64, real and float double, decimal and
    // money double (the nearest), text QString, binary QByteArray, dates QDateTime.
    QVariant toVariant() const;

private:
    SqlType type_ = SqlType::null();
    Payload payload_;
};

// Convert(type, value[, style]) and Cast(value As type) with SQL Server's rules: numbers to
// strings and back (money text styles 0, 1, 2; float styles 0, 1, 2; decimal with its scale),
// between the numeric types (rounding half away from zero to a decimal's scale, truncation to
// an integer, overflow refused), dates to and from text (styles 0, 100, 101, 103, 112, 120, 121
// and the plain forms SQL Server reads), numbers to dates as days since 1900, strings cut or
// padded to their length (an explicit conversion cuts silently). NULL converts to a NULL of the
// target type. Throws TsqlError 245/241/8114/8115/... as SQL Server does.
TsqlValue convert(const TsqlValue& value, const SqlType& target, int style = 0);

// The conversion SQL Server makes by itself (assignment to a variable or column, a comparison,
// a mixed operation): as convert() with style 0, but a string that does not fit its target is
// refused with TsqlError 8152 ("String or binary data would be truncated.") where SQL Server
// refuses it (storing into a column; trailing blanks alone are cut without an error); a
// conversion SQL Server makes only when asked throws TsqlError 257 ("Implicit conversion from
// data type %s to %s is not allowed. Use the CONVERT function to run this query."), one it never
// makes TsqlError 206 ("Operand type clash: int is incompatible with date").
enum class Assignment : std::uint8_t {
    Expression, // inside an expression: strings cut silently
    Variable,   // Set @v = ...: strings cut silently
    Column,     // Insert and Update: a string too long fails with 8152
};
TsqlValue convertImplicitly(const TsqlValue& value, const SqlType& target, Assignment assignment);

// left op right for op one of + - * / % & | ^, the result of the type arithmeticResultType()
// gives; both operands are converted to it first (for + on strings: concatenation). NULL when
// either is NULL. Integer overflow (8115, 220 for tinyint and smallint), decimal, money, float
// and datetime overflow (8115), division and modulo by zero (8134) throw TsqlError. Money
// products round to four places and money quotients are cut there, as decimals are.
TsqlValue arithmetic(char op, const TsqlValue& left, const TsqlValue& right);
TsqlValue unary(char op, const TsqlValue& operand);

// The comparison of SQL Server: both values converted to commonType() first; strings compare
// by the collation of the type (case-insensitive: a to z without regard to case, trailing
// blanks ignored). Nothing when either is NULL; otherwise -1, 0 or 1.
std::optional<int> compare(const TsqlValue& left, const TsqlValue& right);

} // namespace db::tsql
