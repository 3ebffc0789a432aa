#pragma once

// Values of the T-SQL value layer written the way the tests need them, and the SQL Server error
// an action raises.
#include "db/embedded/tsql/TsqlError.h"
#include "db/embedded/tsql/TsqlValue.h"

#include <functional>
#include <stdexcept>
#include <string>

namespace tsqltest {

using namespace db::tsql;

inline TsqlValue integer(std::int64_t value, SqlType type = SqlType::integer()) {
    return TsqlValue::integer(value, type);
}

inline TsqlValue number(const char* text, int precision, int scale) {
    const auto value = Decimal::parse(QString::fromLatin1(text));
    if (!value)
        throw std::runtime_error(std::string("not a decimal: ") + text);
    return TsqlValue::decimal(*value, SqlType::decimal(precision, scale));
}

inline TsqlValue money(const char* text) {
    const auto value = Decimal::parse(QString::fromLatin1(text));
    if (!value)
        throw std::runtime_error(std::string("not a decimal: ") + text);
    return TsqlValue::decimal(*value, SqlType::money());
}

inline TsqlValue floating(double value) {
    return TsqlValue::floating(value);
}

inline TsqlValue varchar(const QString& text, int length = 30) {
    return TsqlValue::text(text, SqlType::varChar(length));
}

inline TsqlValue nvarchar(const QString& text, int length = 30) {
    return TsqlValue::text(text, SqlType::nVarChar(length));
}

inline TsqlValue dateTime(const char* text, SqlType type = SqlType::dateTime()) {
    const auto value = DateTimeValue::parse(QString::fromLatin1(text));
    if (!value)
        throw std::runtime_error(std::string("not a date-time: ") + text);
    return TsqlValue::dateTime(type.kind == TypeKind::Date ? value->toDate() : *value, type);
}

// The value as the tests compare it: the digits of numbers, the text of strings, the storage
// text of date-times, NULL.
inline std::string shown(const TsqlValue& value) {
    switch (value.payload().index()) {
    case 1:
        return std::to_string(value.asInteger());
    case 2:
        return QString::number(value.asDouble(), 'g', 17).toStdString();
    case 3:
        return value.asDecimal().toString().toStdString();
    case 4:
        return value.asText().toStdString();
    case 5:
        return value.asBinary().toHex().toStdString();
    case 6:
        return value.asDateTime().toStorageText().toStdString();
    default:
        return "NULL";
    }
}

// The number and text of the TsqlError the action throws; 0 and nothing when it throws none.
struct RaisedError {
    int number = 0;
    std::string message;
};

inline RaisedError raised(const std::function<void()>& action) {
    try {
        action();
    } catch (const TsqlError& error) {
        return {error.number(), error.message().toStdString()};
    }
    return {};
}

} // namespace tsqltest
