#pragma once

#include "db/embedded/tsql/SqlType.h"
#include "db/embedded/tsql/TsqlValue.h"

#include <QString>

#include <optional>
#include <span>

namespace db::tsql {

// A scalar function of T-SQL that depends on its arguments alone: mathematics (Abs, Ceiling,
// Floor, Round, Power, Sqrt, Square, Sign, Exp, Log, Log10, Pi), text (Len, DataLength, Left,
// Right, Substring, LTrim, RTrim, Trim, Upper, Lower, Replace, Replicate, Space, Stuff,
// CharIndex, PatIndex, Reverse, Ascii, Char, NChar, Unicode, Str, Concat, QuoteName), dates
// (Year, Month, Day, DatePart, DateName, DateAdd, DateDiff, EOMonth, DateFromParts) and tests
// (IsNumeric, IsDate, NullIf, IIf, Choose).
//
// The date part of DatePart, DateName, DateAdd and DateDiff is its first argument, given as a
// text value holding the keyword as written ('day', 'dd', 'd', 'month', 'mm', 'm', 'year',
// 'yy', 'yyyy', 'quarter', 'qq', 'q', 'dayofyear', 'dy', 'y', 'week', 'wk', 'ww', 'weekday',
// 'dw', 'hour', 'hh', 'minute', 'mi', 'n', 'second', 'ss', 's', 'millisecond', 'ms'; any letter
// case); its type in the argument types is varchar. The condition of IIf is a bit (1 true, 0
// or NULL false).
struct BuiltinFunction {
    const char* name; // as SQL Server spells it in its documentation
    int minArguments;
    int maxArguments;
    // The result type for these argument types, as SQL Server types it; throws TsqlError 8116
    // ("Argument data type %s is invalid for argument %d of %s function.") for a type the
    // function does not take.
    SqlType (*resultType)(std::span<const SqlType> arguments);
    // The value for these arguments (each already of the type it was given as), of the type
    // resultType() gave. SQL Server's errors throw TsqlError.
    TsqlValue (*evaluate)(std::span<const TsqlValue> arguments, const SqlType& resultType);
};

// The function of that name (any letter case), or nullptr when it is not one of these.
const BuiltinFunction* findBuiltinFunction(const QString& name);

// text Like pattern [Escape escape]: SQL Server's wildcards (% _ [a-f] [^a-f]), the collation of
// the two (case-insensitive unless either is binary), trailing blanks of the text ignored.
// Nothing when either is NULL. A number or date is matched by its text.
std::optional<bool> like(const TsqlValue& text, const TsqlValue& pattern, QChar escape = QChar());

// Sum and Avg as SQL Server types them: Sum of tinyint, smallint and int is int, of bigint
// bigint, of decimal(p,s) decimal(38,s), of money money, of float float; Avg of tinyint, smallint
// and int is int and of bigint bigint (the sum divided by the count and truncated), of
// decimal(p,s) decimal(38, max(s,6)), of money money, of float float. Throws TsqlError 8117 for
// other types.
SqlType sumResultType(const SqlType& argument);
SqlType avgResultType(const SqlType& argument);

// An exact running Sum or Avg: values added (and, for a window frame that moves, removed) one
// by one, NULLs ignored. The result is NULL when no value was added; an int or bigint sum that
// overflows throws TsqlError 8115.
class Accumulator {
public:
    enum class Kind : std::uint8_t { Sum, Avg };
    Accumulator(Kind kind, const SqlType& argument);

    void add(const TsqlValue& value);
    void remove(const TsqlValue& value);
    TsqlValue result() const;
    std::int64_t count() const { return count_; }

private:
    Kind kind_;
    SqlType argument_;
    SqlType result_;
    std::int64_t count_ = 0;
    // Integers add up in an int128, decimals and money as a Decimal at the argument's scale,
    // floats as a double.
    Decimal::Mantissa integer_ = 0;
    Decimal decimal_;
    double real_ = 0;
};

} // namespace db::tsql
