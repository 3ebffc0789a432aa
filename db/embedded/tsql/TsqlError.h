#pragma once

#include "db/DatabaseError.h"

#include <QString>

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

    // SQL Server's errors of the value layer, worded as SQL Server words them.
    static TsqlError divideByZero();                          // 8134
    static TsqlError arithmeticOverflow(const QString& type); // 8115 (220 for smallint and
                                                              // tinyint, 232 for int ... as
                                                              // SQL Server numbers them)
    static TsqlError conversionFailed(const QString& value, const QString& fromType,
                                      const QString& toType); // 245, 241 for dates
    static TsqlError stringTruncated();                       // 8152
    static TsqlError incompatibleTypes(const QString& left, const QString& right,
                                       const QString& operation); // 402

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
