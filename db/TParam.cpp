#include "db/TParam.h"

#include <QRegularExpression>

#include <cmath>
#include <limits>
#include <optional>

namespace db {

TParam::TParam(QString name, DataType dataType, ParamKind paramType)
    : name_(std::move(name)), dataType_(dataType), paramType_(paramType) {}

void TParam::setAsInteger(qint64 value) {
    dataType_ = DataType::Integer;
    value_ = value;
}

void TParam::setAsFloat(double value) {
    dataType_ = DataType::Float;
    value_ = value;
}

void TParam::setAsString(const QString& value) {
    dataType_ = DataType::String;
    value_ = value;
}

void TParam::setAsDateTime(const QDateTime& value) {
    dataType_ = DataType::DateTime;
    value_ = value;
}

qint64 TParam::asInteger() const {
    return variantToInteger(value_);
}
double TParam::asFloat() const {
    return variantToFloat(value_);
}
QString TParam::asString() const {
    return variantToString(value_);
}
QDateTime TParam::asDateTime() const {
    return variantToDateTime(value_);
}

namespace {

bool isNullVariant(const QVariant& value) {
    return !value.isValid() || value.isNull();
}

// A decimal text ("1234.5000", as decimals and money arrive) rounded half away from zero to a
// whole number, digit by digit, so that no amount beyond a double's precision is changed.
std::optional<qint64> roundedDecimalText(const QString& text) {
    static const QRegularExpression decimal(QStringLiteral(R"(^([+-]?)(\d*)\.(\d*)$)"));
    const auto match = decimal.match(text);
    if (!match.hasMatch() || (match.capturedLength(2) == 0 && match.capturedLength(3) == 0))
        return std::nullopt;
    bool ok = true;
    qint64 whole = match.capturedLength(2) == 0 ? 0 : match.captured(2).toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    const auto fraction = match.captured(3);
    if (!fraction.isEmpty() && fraction[0] >= '5') {
        if (whole == std::numeric_limits<qint64>::max())
            return std::nullopt;
        ++whole;
    }
    return match.captured(1) == QLatin1String("-") ? -whole : whole;
}

} // namespace

qint64 variantToInteger(const QVariant& value) {
    if (isNullVariant(value))
        return 0;
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        return std::llround(value.toDouble());
    case QMetaType::QString: {
        const auto text = value.toString().trimmed();
        bool ok = false;
        const auto integer = text.toLongLong(&ok);
        if (ok)
            return integer;
        const auto exact = roundedDecimalText(text);
        return exact ? *exact : std::llround(text.toDouble());
    }
    default:
        return value.toLongLong();
    }
}

double variantToFloat(const QVariant& value) {
    if (isNullVariant(value))
        return 0.0;
    if (value.typeId() == QMetaType::QString)
        return value.toString().trimmed().toDouble();
    return value.toDouble();
}

QString variantToString(const QVariant& value) {
    if (isNullVariant(value))
        return {};
    switch (value.typeId()) {
    case QMetaType::QDateTime:
        return formatSqlDateTime(value.toDateTime());
    case QMetaType::Double:
        return QString::number(value.toDouble(), 'g', 15);
    default:
        return value.toString();
    }
}

QDateTime variantToDateTime(const QVariant& value) {
    if (isNullVariant(value))
        return zeroDateTime();
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime();
    if (value.typeId() == QMetaType::QString) {
        const auto parsed = parseSqlDateTime(value.toString());
        return parsed.isValid() ? parsed : zeroDateTime();
    }
    return zeroDateTime();
}

} // namespace db
