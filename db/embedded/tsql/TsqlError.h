#pragma once

#include "db/DatabaseError.h"

#include <QString>

#include <cstdint>
#include <exception>
#include <string>

namespace db::tsql {

// What an error does to the batch that raised it, as on SQL Server: most errors end the
// statement and the batch goes on with the next one; some (conversion failures, the nesting
// limit, compile errors) end the whole batch.
enum class ErrorScope : std::uint8_t { Statement, Batch };

// An error of the T-SQL engine with SQL Server's number, severity, state and text, so that
// Try/Catch, Error_Number() and the error handler see what they would on SQL Server.
class TsqlError : public std::exception {
public:
    TsqlError(int number, QString message, int severity = 16, int state = 1,
              ErrorScope scope = ErrorScope::Statement);

    int number() const { return number_; }
    int severity() const { return severity_; }
    int state() const { return state_; }
    ErrorScope scope() const { return scope_; }
    const QString& message() const { return message_; }

    // Where it happened: the procedure (empty in a batch) and the line in its text.
    const QString& procedure() const { return procedure_; }
    int line() const { return line_; }
    void setPlace(const QString& procedure, int line);

    // The access layer's error: one entry with an SQLSTATE that fits the number, the number as
    // the native code and the text.
    DatabaseError toDatabaseError() const;

    const char* what() const noexcept override { return utf8_.c_str(); }

    // SQL Server's errors of the value layer, worded as SQL Server words them. Type names are
    // the base names of SqlType::baseName() ("int", "numeric", "varchar").
    static TsqlError divideByZero(); // 8134
    // 8115 "Arithmetic overflow error converting expression to data type int.": the result of
    // an operation that does not fit its type (int, bigint, numeric, money, float, datetime).
    static TsqlError arithmeticOverflow(const QString& type);
    // 8115 "Arithmetic overflow error converting numeric to data type int.": a value of one
    // type that does not fit another.
    static TsqlError conversionOverflow(const QString& fromType, const QString& toType);
    // 220 "Arithmetic overflow error for data type tinyint, value = 300.": an integer that does
    // not fit tinyint or smallint.
    static TsqlError integerOverflow(const QString& type, std::int64_t value);
    // 232 "Arithmetic overflow error for type int, value = 3000000000.000000.": a float that
    // does not fit an integer type.
    static TsqlError floatOverflow(const QString& type, double value);
    // 245 "Conversion failed when converting the varchar value 'a' to data type int.", or 241
    // when the target is a date type.
    static TsqlError conversionFailed(const QString& value, const QString& fromType,
                                      const QString& toType);
    // 8114 "Error converting data type varchar to numeric." (numeric and float targets).
    static TsqlError conversionError(const QString& fromType, const QString& toType);
    static TsqlError stringTruncated(); // 8152
    static TsqlError incompatibleTypes(const QString& left, const QString& right,
                                       const QString& operation); // 402
    // 8117 "Operand data type bit is invalid for add operator."
    static TsqlError invalidOperand(const QString& type, const QString& operation);
    // 206 "Operand type clash: int is incompatible with date"
    static TsqlError typeClash(const QString& left, const QString& right);
    // 257 "Implicit conversion from data type datetime to int is not allowed. Use the CONVERT
    // function to run this query."
    static TsqlError implicitConversionNotAllowed(const QString& fromType, const QString& toType);
    // 529 "Explicit conversion from data type int to date is not allowed."
    static TsqlError explicitConversionNotAllowed(const QString& fromType, const QString& toType);
    // 8116 "Argument data type varchar is invalid for argument 1 of abs function."
    static TsqlError invalidArgument(const QString& type, int argument, const QString& function);

private:
    int number_;
    QString message_;
    int severity_;
    int state_;
    ErrorScope scope_;
    QString procedure_;
    int line_ = 0;
    std::string utf8_;
};

} // namespace db::tsql
