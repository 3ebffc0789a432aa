#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>

namespace db {

// Field and parameter types the system uses. Unknown means "never given a value".
enum class DataType { Unknown, String, Integer, Float, DateTime };

// How a parameter travels: queries and scripts only use Input; procedures also Output,
// InputOutput and the integer return value Result.
enum class ParamKind { Unknown, Input, Output, InputOutput, Result };

// A typed value on its way to or from the server. A null value is an invalid QVariant, so the
// type survives a null.
struct SqlValue {
    DataType type = DataType::Unknown;
    QVariant value;

    bool isNull() const { return !value.isValid() || value.isNull(); }
};

// A procedure parameter as the drivers see it: the name with its "@".
struct ProcedureParam {
    QString name;
    DataType type = DataType::Unknown;
    ParamKind kind = ParamKind::Input;
    QVariant value;
};

// The type a value of that declared T-SQL type travels as ("int", "char(20)", "datetime"):
// decimals and money as their exact text, and a user type, which names no base type, as text.
DataType dataTypeOf(const QString& declaredType);

// The zero date-time that a null date reads as: 30 December 1899, midnight.
QDateTime zeroDateTime();

// Text forms of date-times as the engines take them: "YYYY-MM-DD HH:MM:SS[.fff]" (the
// fraction only when it is not zero) and the date alone "YYYY-MM-DD".
QString formatSqlDateTime(const QDateTime& value);
// Reads "YYYY-MM-DD", "YYYY-MM-DD HH:MM[:SS[.fff]]" or the ISO form with a "T"; an invalid
// QDateTime when the text is none of these.
QDateTime parseSqlDateTime(const QString& text);

} // namespace db
