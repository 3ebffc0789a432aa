#include "db/embedded/tsql/TsqlValue.h"

#include "db/embedded/tsql/CollatedText.h"
#include "db/embedded/tsql/DateTimeStyle.h"
#include "db/embedded/tsql/TsqlError.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace db::tsql {

namespace {

using Mantissa = Decimal::Mantissa;

// Who asks for a conversion: Cast and Convert, or SQL Server itself in one of the places
// Assignment names.
enum class Mode : std::uint8_t { Explicit, Expression, Variable, Column };

constexpr std::int64_t ticksPerDay = DateTimeValue::ticksPerDay;

// The type a value has, worked out from its payload when its declared type is Variant.
SqlType typeOf(const TsqlValue& value) {
    const SqlType& type = value.type();
    if (type.kind != TypeKind::Variant)
        return type;
    switch (value.payload().index()) {
    case 1:
        return SqlType::bigInt();
    case 2:
        return SqlType::floatType();
    case 3: {
        const Decimal& d = value.asDecimal();
        return SqlType::decimal(std::max(d.digits(), std::max(d.scale(), 1)), d.scale());
    }
    case 4:
        return SqlType::nVarChar(std::max<int>(1, int(value.asText().size())));
    case 5: {
        SqlType binary;
        binary.kind = TypeKind::VarBinary;
        binary.length = std::max<int>(1, int(value.asBinary().size()));
        return binary;
    }
    case 6:
        return SqlType::dateTime();
    default:
        return SqlType::null();
    }
}

// ---- integers

bool fitsInteger(std::int64_t value, TypeKind kind) {
    switch (kind) {
    case TypeKind::Bit:
        return value == 0 || value == 1;
    case TypeKind::TinyInt:
        return value >= 0 && value <= 255;
    case TypeKind::SmallInt:
        return value >= -32768 && value <= 32767;
    case TypeKind::Int:
        return value >= std::numeric_limits<std::int32_t>::min() &&
               value <= std::numeric_limits<std::int32_t>::max();
    default:
        return true;
    }
}

TsqlError integerOverflowOf(std::int64_t value, const SqlType& type) {
    if (type.kind == TypeKind::TinyInt || type.kind == TypeKind::SmallInt)
        return TsqlError::integerOverflow(type.baseName(), value);
    return TsqlError::arithmeticOverflow(type.baseName());
}

// The value of an operation of integers, checked against the result type.
TsqlValue integerResult(std::int64_t value, const SqlType& type) {
    if (!fitsInteger(value, type.kind))
        throw integerOverflowOf(value, type);
    return TsqlValue::integer(value, type);
}

int integerSize(TypeKind kind) {
    switch (kind) {
    case TypeKind::Bit:
    case TypeKind::TinyInt:
        return 1;
    case TypeKind::SmallInt:
        return 2;
    case TypeKind::Int:
        return 4;
    default:
        return 8;
    }
}

// ---- money

// The mantissa range of money (8 bytes) and smallmoney (4 bytes) at scale 4.
bool fitsMoney(const Decimal& value, TypeKind kind) {
    const Mantissa limit = kind == TypeKind::SmallMoney
                               ? Mantissa(2147483647)
                               : Mantissa(std::numeric_limits<std::int64_t>::max());
    return value.mantissa() <= limit && value.mantissa() >= -limit - 1;
}

// ---- text of numbers

QString withThousands(const QString& text) {
    const qsizetype point = text.indexOf(u'.');
    const qsizetype integralEnd = point < 0 ? text.size() : point;
    const qsizetype integralStart = text.startsWith(u'-') ? 1 : 0;
    QString result = text;
    for (qsizetype i = integralEnd - 3; i > integralStart; i -= 3)
        result.insert(i, u',');
    return result;
}

// Money as Convert writes it: style 0 two decimals, 1 with thousands separators, 2 four.
QString moneyText(const Decimal& value, int style) {
    if (style == 2 || style == 126)
        return value.rescaled(4).toString();
    const QString text = value.rescaled(2).toString();
    return style == 1 ? withThousands(text) : text;
}

// A float as Convert writes it: style 0 at most 6 significant digits, in scientific notation
// when the exponent is below -4 or from 6; style 1 always 8 digits and style 2 always 16 in
// scientific notation; style 3 17 digits. The exponent has at least three digits ("1e+006").
QString floatText(double value, int style) {
    if (value == 0)
        value = 0; // no "-0"
    char text[48];
    std::to_chars_result written{};
    switch (style) {
    case 1:
        written = std::to_chars(text, text + sizeof text, value, std::chars_format::scientific, 7);
        break;
    case 2:
        written = std::to_chars(text, text + sizeof text, value, std::chars_format::scientific, 15);
        break;
    case 3:
        written = std::to_chars(text, text + sizeof text, value, std::chars_format::scientific, 16);
        break;
    default:
        written = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6);
        break;
    }
    QString result = QString::fromLatin1(text, written.ptr - text);
    const qsizetype mark = result.indexOf(u'e');
    if (mark >= 0) {
        const qsizetype digits = result.size() - mark - 2;
        if (digits < 3)
            result.insert(mark + 2, QString(3 - digits, u'0'));
    }
    return result;
}

// ---- reading numbers from text

QStringView trimmedBlanks(QStringView text) {
    qsizetype start = 0, end = text.size();
    while (start < end && text[start] == u' ')
        ++start;
    while (end > start && text[end - 1] == u' ')
        --end;
    return text.mid(start, end - start);
}

enum class IntegerText : std::uint8_t { Valid, Invalid, TooLarge };

IntegerText readInteger(QStringView text, std::int64_t& value) {
    text = trimmedBlanks(text);
    value = 0;
    if (text.isEmpty())
        return IntegerText::Valid; // '' converts to 0
    qsizetype i = 0;
    const bool negative = text[0] == u'-';
    if (text[0] == u'-' || text[0] == u'+')
        ++i;
    if (i == text.size())
        return IntegerText::Invalid;
    __extension__ unsigned __int128 magnitude = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return IntegerText::Invalid;
        if (magnitude <= (__extension__(unsigned __int128)(1) << 64))
            magnitude = magnitude * 10 + (c - u'0');
    }
    const auto limit = __extension__(unsigned __int128)(std::numeric_limits<std::int64_t>::max());
    if (magnitude > limit + (negative ? 1 : 0))
        return IntegerText::TooLarge;
    value = negative ? std::int64_t(0 - std::uint64_t(magnitude)) : std::int64_t(magnitude);
    return IntegerText::Valid;
}

std::optional<double> readFloat(QStringView text) {
    text = trimmedBlanks(text);
    if (text.isEmpty())
        return 0.0;
    char buffer[64];
    qsizetype length = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        const bool allowed = (c >= u'0' && c <= u'9') || c == u'.' || c == u'e' || c == u'E' ||
                             c == u'-' || c == u'+';
        if (!allowed || length >= qsizetype(sizeof buffer))
            return std::nullopt;
        if (c == u'+' && (length == 0 || buffer[length - 1] == 'e' || buffer[length - 1] == 'E'))
            continue; // from_chars takes no plus sign
        buffer[length++] = char(c);
    }
    double value = 0;
    const auto [end, error] = std::from_chars(buffer, buffer + length, value);
    if (end != buffer + length || (error != std::errc() && error != std::errc::result_out_of_range))
        return std::nullopt;
    if (error == std::errc::result_out_of_range && std::fabs(value) > 1)
        return std::numeric_limits<double>::infinity();
    return value;
}

// Money text: blanks, a currency sign, a sign, digits with thousands separators and a point.
// SQL Server reads "$", "-" and "" as 0.
std::optional<Decimal> readMoney(QStringView text) {
    text = trimmedBlanks(text);
    QString digits;
    bool negative = false, sign = false, currency = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if ((c == u'$' || c == QChar(0x0e3f)) && !currency && digits.isEmpty()) {
            currency = true;
        } else if ((c == u'-' || c == u'+') && !sign && digits.isEmpty()) {
            sign = true;
            negative = c == u'-';
        } else if (c == u',' && !digits.contains(u'.')) {
            continue;
        } else if (c == u' ' && digits.isEmpty()) {
            continue;
        } else if (c.isDigit() || c == u'.') {
            digits += c;
        } else {
            return std::nullopt;
        }
    }
    if (digits.isEmpty() || digits == QLatin1String("."))
        return Decimal(0, 4);
    auto value = Decimal::parse(digits);
    if (!value)
        return std::nullopt;
    return negative ? value->negated() : *value;
}

// ---- text results

// Where the text of a conversion comes from: it decides what happens when it is too long.
enum class TextSource : std::uint8_t { Text, Integer, Number, Date };

TsqlValue textResult(QString text, const SqlType& source, const SqlType& target, Mode mode,
                     TextSource from) {
    if (!target.isUnicode())
        text = CollatedText::toCodePage(text);
    if (target.length != SqlType::maxLength && text.size() > target.length) {
        switch (from) {
        case TextSource::Integer:
            if (!target.isUnicode()) {
                text = QStringLiteral("*"); // "too short to display"
                break;
            }
            throw TsqlError::arithmeticOverflow(target.baseName());
        case TextSource::Number:
            if (source.isApproximate() || source.isMoney())
                throw TsqlError::arithmeticOverflow(target.baseName());
            throw TsqlError::conversionOverflow(source.baseName(), target.baseName());
        case TextSource::Text:
            if (mode == Mode::Column && CollatedText::trimmedLength(text) > target.length)
                throw TsqlError::stringTruncated();
            text.truncate(target.length);
            break;
        case TextSource::Date:
            text.truncate(target.length);
            break;
        }
    }
    if (target.isFixedLength() && target.length != SqlType::maxLength &&
        text.size() < target.length)
        text.append(QString(target.length - text.size(), u' '));
    return TsqlValue::text(text, target);
}

TsqlValue binaryResult(QByteArray bytes, const SqlType& target, Mode mode) {
    if (target.length != SqlType::maxLength && bytes.size() > target.length) {
        if (mode == Mode::Column)
            throw TsqlError::stringTruncated();
        bytes.truncate(target.length);
    }
    if (target.kind == TypeKind::Binary && bytes.size() < target.length)
        bytes.append(QByteArray(target.length - bytes.size(), '\0'));
    return TsqlValue::binary(bytes, target);
}

// ---- date-times

bool inDateRange(std::int64_t days, TypeKind kind) {
    if (kind == TypeKind::SmallDateTime)
        return days >= 0 && days <= 65380; // 1900-01-01 to 2079-06-06
    return days >= DateTimeValue::minDays && days <= DateTimeValue::maxDays;
}

DateTimeValue fromTotalTicks(std::int64_t total) {
    std::int64_t days = total / ticksPerDay;
    std::int64_t ticks = total % ticksPerDay;
    if (ticks < 0) {
        ticks += ticksPerDay;
        --days;
    }
    return DateTimeValue{std::int32_t(days), std::int32_t(ticks)};
}

// A date-time of the target type, rounded to its precision and checked against its range.
TsqlValue dateResult(DateTimeValue value, std::int64_t days, const SqlType& target) {
    if (target.kind == TypeKind::SmallDateTime)
        value = value.toSmallDateTime();
    else if (target.kind == TypeKind::Date)
        value = value.toDate();
    if (!inDateRange(days, target.kind) || !inDateRange(value.days, target.kind))
        throw TsqlError::arithmeticOverflow(target.baseName());
    return TsqlValue::dateTime(value, target);
}

// Days since 1900 with their fraction as 1/300 seconds, exact for decimals.
std::int64_t totalTicksOf(const Decimal& days) {
    const Decimal ticks = Decimal::multiply(days, Decimal::fromInteger(ticksPerDay), 0);
    return std::int64_t(ticks.mantissa()); // at most 38 digits of which a date uses 11
}

std::optional<std::int64_t> totalTicksOf(double days) {
    if (!std::isfinite(days) || std::fabs(days) > 1e7)
        return std::nullopt;
    const auto value = DateTimeValue::fromDays(days);
    if (value)
        return std::int64_t(value->days) * ticksPerDay + value->ticks;
    const double whole = std::floor(days);
    return std::int64_t(whole) * ticksPerDay +
           std::int64_t(std::lround((days - whole) * ticksPerDay));
}

TsqlValue convertValue(const TsqlValue& value, const SqlType& target, int style, Mode mode);

// ---- conversions by the kind of the source

TsqlValue fromInteger(std::int64_t value, const SqlType& source, const SqlType& target, Mode mode) {
    switch (target.kind) {
    case TypeKind::Bit:
        return TsqlValue::integer(value != 0 ? 1 : 0, target);
    case TypeKind::TinyInt:
    case TypeKind::SmallInt:
    case TypeKind::Int:
    case TypeKind::BigInt:
        if (!fitsInteger(value, target.kind))
            throw integerOverflowOf(value, target);
        return TsqlValue::integer(value, target);
    case TypeKind::Decimal: {
        const Decimal d = Decimal::fromInteger(value);
        if (!d.fits(target.precision, target.scale))
            throw TsqlError::conversionOverflow(source.baseName(), QStringLiteral("numeric"));
        return TsqlValue::decimal(d, target);
    }
    case TypeKind::SmallMoney:
    case TypeKind::Money: {
        if (value > std::numeric_limits<std::int64_t>::max() / 10000 ||
            value < std::numeric_limits<std::int64_t>::min() / 10000)
            throw TsqlError::arithmeticOverflow(target.baseName());
        const Decimal d(Mantissa(value) * 10000, 4);
        if (!fitsMoney(d, target.kind))
            throw TsqlError::arithmeticOverflow(target.baseName());
        return TsqlValue::decimal(d, target);
    }
    case TypeKind::Real:
        return TsqlValue::floating(double(float(value)), target);
    case TypeKind::Float:
        return TsqlValue::floating(double(value), target);
    case TypeKind::Char:
    case TypeKind::VarChar:
    case TypeKind::NChar:
    case TypeKind::NVarChar:
    case TypeKind::Text:
    case TypeKind::NText:
        return textResult(QString::number(value), source, target, mode, TextSource::Integer);
    case TypeKind::Binary:
    case TypeKind::VarBinary: {
        const int size = integerSize(source.kind);
        QByteArray bytes(size, '\0');
        for (int i = 0; i < size; ++i)
            bytes[size - 1 - i] = char((std::uint64_t(value) >> (8 * i)) & 0xff);
        return binaryResult(bytes, target, mode);
    }
    case TypeKind::SmallDateTime:
    case TypeKind::DateTime:
        return dateResult(DateTimeValue{std::int32_t(value), 0}, value, target);
    default:
        throw TsqlError::explicitConversionNotAllowed(source.baseName(), target.baseName());
    }
}

TsqlValue fromFloat(double value, const SqlType& source, const SqlType& target, int style,
                    Mode mode) {
    switch (target.kind) {
    case TypeKind::Bit:
        return TsqlValue::integer(value != 0 ? 1 : 0, target);
    case TypeKind::TinyInt:
    case TypeKind::SmallInt:
    case TypeKind::Int:
    case TypeKind::BigInt: {
        const double whole = std::trunc(value);
        if (!(whole >= -9223372036854775808.0 && whole < 9223372036854775808.0) ||
            !fitsInteger(std::int64_t(whole), target.kind))
            throw TsqlError::floatOverflow(target.baseName(), value);
        return TsqlValue::integer(std::int64_t(whole), target);
    }
    case TypeKind::Decimal: {
        const auto d = Decimal::fromDouble(value, target.scale);
        if (!d || d->digits() > target.precision)
            throw TsqlError::conversionOverflow(source.baseName(), QStringLiteral("numeric"));
        return TsqlValue::decimal(*d, target);
    }
    case TypeKind::SmallMoney:
    case TypeKind::Money: {
        const auto d = Decimal::fromDouble(value, 4);
        if (!d || !fitsMoney(*d, target.kind))
            throw TsqlError::conversionOverflow(source.baseName(), target.baseName());
        return TsqlValue::decimal(*d, target);
    }
    case TypeKind::Real: {
        const float narrowed = float(value);
        if (std::isinf(narrowed))
            throw TsqlError::arithmeticOverflow(target.baseName());
        return TsqlValue::floating(double(narrowed), target);
    }
    case TypeKind::Float:
        return TsqlValue::floating(value, target);
    case TypeKind::Char:
    case TypeKind::VarChar:
    case TypeKind::NChar:
    case TypeKind::NVarChar:
    case TypeKind::Text:
    case TypeKind::NText:
        return textResult(floatText(value, style), source, target, mode, TextSource::Number);
    case TypeKind::SmallDateTime:
    case TypeKind::DateTime: {
        const auto total = totalTicksOf(value);
        if (!total)
            throw TsqlError::arithmeticOverflow(target.baseName());
        const DateTimeValue date = fromTotalTicks(*total);
        return dateResult(date, date.days, target);
    }
    default:
        throw TsqlError::explicitConversionNotAllowed(source.baseName(), target.baseName());
    }
}

TsqlValue fromDecimal(const Decimal& value, const SqlType& source, const SqlType& target, int style,
                      Mode mode) {
    const QString sourceName = source.baseName();
    switch (target.kind) {
    case TypeKind::Bit:
        return TsqlValue::integer(value.isZero() ? 0 : 1, target);
    case TypeKind::TinyInt:
    case TypeKind::SmallInt:
    case TypeKind::Int:
    case TypeKind::BigInt: {
        // Money rounds to a whole number, a decimal drops its fraction.
        const Decimal whole =
            value.rescaled(0, source.isMoney() ? Rounding::HalfAwayFromZero : Rounding::Truncate);
        const auto integer = whole.toInteger();
        if (!integer || !fitsInteger(*integer, target.kind))
            throw TsqlError::conversionOverflow(sourceName, target.baseName());
        return TsqlValue::integer(*integer, target);
    }
    case TypeKind::Decimal:
        if (!value.fits(target.precision, target.scale))
            throw TsqlError::conversionOverflow(sourceName, QStringLiteral("numeric"));
        return TsqlValue::decimal(value, target);
    case TypeKind::SmallMoney:
    case TypeKind::Money: {
        const Decimal money = value.rescaled(4);
        if (!fitsMoney(money, target.kind))
            throw TsqlError::conversionOverflow(sourceName, target.baseName());
        return TsqlValue::decimal(money, target);
    }
    case TypeKind::Real:
    case TypeKind::Float:
        return fromFloat(value.toDouble(), SqlType::floatType(), target, style, mode);
    case TypeKind::Char:
    case TypeKind::VarChar:
    case TypeKind::NChar:
    case TypeKind::NVarChar:
    case TypeKind::Text:
    case TypeKind::NText:
        return textResult(source.isMoney() ? moneyText(value, style) : value.toString(), source,
                          target, mode, TextSource::Number);
    case TypeKind::SmallDateTime:
    case TypeKind::DateTime: {
        if (value.integralDigits() > 7)
            throw TsqlError::arithmeticOverflow(target.baseName());
        const DateTimeValue date = fromTotalTicks(totalTicksOf(value));
        return dateResult(date, date.days, target);
    }
    default:
        throw TsqlError::explicitConversionNotAllowed(sourceName, target.baseName());
    }
}

TsqlValue fromDateTime(const DateTimeValue& value, const SqlType& source, const SqlType& target,
                       int style, Mode mode) {
    const std::int64_t total = std::int64_t(value.days) * ticksPerDay + value.ticks;
    switch (target.kind) {
    case TypeKind::SmallDateTime:
    case TypeKind::DateTime:
    case TypeKind::Date: {
        if (target.kind == TypeKind::SmallDateTime &&
            !inDateRange(value.toSmallDateTime().days, TypeKind::SmallDateTime))
            throw TsqlError(242, QStringLiteral("The conversion of a %1 data type to a "
                                                "smalldatetime data type resulted in an "
                                                "out-of-range value.")
                                     .arg(source.baseName()));
        return dateResult(value, value.days, target);
    }
    case TypeKind::Char:
    case TypeKind::VarChar:
    case TypeKind::NChar:
    case TypeKind::NVarChar:
    case TypeKind::Text:
    case TypeKind::NText:
        return textResult(DateTimeStyle::format(value, source.kind, style), source, target, mode,
                          TextSource::Date);
    case TypeKind::Bit:
    case TypeKind::TinyInt:
    case TypeKind::SmallInt:
    case TypeKind::Int:
    case TypeKind::BigInt: {
        // Whole days, rounded: noon or later counts as the next day.
        std::int64_t days = total / ticksPerDay;
        const std::int64_t rest = total % ticksPerDay;
        if (2 * std::abs(rest) >= ticksPerDay)
            days += rest < 0 ? -1 : 1;
        return fromInteger(days, SqlType::integer(), target, mode);
    }
    case TypeKind::Real:
    case TypeKind::Float:
        return fromFloat(value.toDays(), SqlType::floatType(), target, style, mode);
    case TypeKind::Decimal:
    case TypeKind::SmallMoney:
    case TypeKind::Money: {
        const int scale = target.kind == TypeKind::Decimal ? target.scale : 4;
        // Cut one place further, then round: half away from zero needs the first dropped digit.
        const Decimal days = Decimal::divide(Decimal(total, 0), Decimal::fromInteger(ticksPerDay),
                                             std::min(scale + 1, Decimal::maxDigits))
                                 .rescaled(scale);
        return fromDecimal(days, SqlType::decimal(Decimal::maxDigits, scale), target, style, mode);
    }
    default:
        throw TsqlError::explicitConversionNotAllowed(source.baseName(), target.baseName());
    }
}

QByteArray textBytes(const QString& text, bool unicode) {
    if (unicode) {
        QByteArray bytes;
        bytes.reserve(text.size() * 2);
        for (const QChar c : text) {
            bytes.append(char(c.unicode() & 0xff));
            bytes.append(char(c.unicode() >> 8));
        }
        return bytes;
    }
    QByteArray bytes;
    bytes.reserve(text.size());
    for (const QChar c : text) {
        const int byte = CollatedText::codePageByte(c);
        bytes.append(char(byte < 0 ? '?' : byte));
    }
    return bytes;
}

std::optional<QByteArray> hexBytes(QStringView text) {
    if (text.size() % 2 != 0)
        return std::nullopt;
    const QByteArray bytes = QByteArray::fromHex(text.toLatin1());
    if (bytes.size() * 2 != text.size())
        return std::nullopt;
    return bytes;
}

TsqlValue fromText(const QString& value, const SqlType& source, const SqlType& target, int style,
                   Mode mode) {
    const QString sourceName = source.baseName();
    switch (target.kind) {
    case TypeKind::Bit: {
        const QStringView text = trimmedBlanks(value);
        if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            return TsqlValue::integer(1, target);
        if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
            return TsqlValue::integer(0, target);
        std::int64_t number = 0;
        if (readInteger(value, number) == IntegerText::Invalid)
            throw TsqlError::conversionFailed(value, sourceName, target.baseName());
        return TsqlValue::integer(number != 0 ? 1 : 0, target);
    }
    case TypeKind::TinyInt:
    case TypeKind::SmallInt:
    case TypeKind::Int:
    case TypeKind::BigInt: {
        std::int64_t number = 0;
        const IntegerText read = readInteger(value, number);
        if (read == IntegerText::Invalid)
            throw TsqlError::conversionFailed(value, sourceName, target.baseName());
        if (read == IntegerText::TooLarge || !fitsInteger(number, target.kind)) {
            switch (target.kind) {
            case TypeKind::TinyInt:
            case TypeKind::SmallInt:
                throw TsqlError(244,
                                QStringLiteral("The conversion of the %1 value '%2' "
                                               "overflowed an %3 column. Use a larger "
                                               "integer column.")
                                    .arg(sourceName, value,
                                         target.kind == TypeKind::TinyInt ? QStringLiteral("INT1")
                                                                          : QStringLiteral("INT2")),
                                16, 1, ErrorScope::Batch);
            case TypeKind::Int:
                throw TsqlError(248,
                                QStringLiteral("The conversion of the %1 value '%2' "
                                               "overflowed an int column.")
                                    .arg(sourceName, value),
                                16, 1, ErrorScope::Batch);
            default:
                throw TsqlError::arithmeticOverflow(target.baseName());
            }
        }
        return TsqlValue::integer(number, target);
    }
    case TypeKind::Decimal: {
        const auto d = Decimal::parse(value);
        if (!d)
            throw TsqlError::conversionError(sourceName, QStringLiteral("numeric"));
        if (!d->fits(target.precision, target.scale))
            throw TsqlError::conversionOverflow(sourceName, QStringLiteral("numeric"));
        return TsqlValue::decimal(*d, target);
    }
    case TypeKind::SmallMoney:
    case TypeKind::Money: {
        const auto d = readMoney(value);
        if (!d)
            throw TsqlError(235,
                            QStringLiteral("Cannot convert a char value to money. The char value "
                                           "has incorrect syntax."),
                            16, 1, ErrorScope::Batch);
        if (d->integralDigits() > 15 || !fitsMoney(d->rescaled(4), target.kind))
            throw TsqlError::arithmeticOverflow(target.baseName());
        return TsqlValue::decimal(d->rescaled(4), target);
    }
    case TypeKind::Real:
    case TypeKind::Float: {
        const auto number = readFloat(value);
        if (!number)
            throw TsqlError::conversionError(sourceName, QStringLiteral("float"));
        if (std::isinf(*number))
            throw TsqlError::conversionOverflow(sourceName, target.baseName());
        return fromFloat(*number, SqlType::floatType(), target, 0, mode);
    }
    case TypeKind::Char:
    case TypeKind::VarChar:
    case TypeKind::NChar:
    case TypeKind::NVarChar:
    case TypeKind::Text:
    case TypeKind::NText:
        return textResult(value, source, target, mode, TextSource::Text);
    case TypeKind::SmallDateTime:
    case TypeKind::DateTime:
    case TypeKind::Date: {
        if (trimmedBlanks(value).isEmpty())
            return TsqlValue::dateTime(DateTimeValue{0, 0}, target); // '' is 1 January 1900
        DateTimeValue::ParseError error = DateTimeValue::ParseError::Syntax;
        const auto date = DateTimeValue::parse(value, DateTimeStyle::orderOf(style), &error);
        const auto outOfRange = [&] {
            return TsqlError(242,
                             QStringLiteral("The conversion of a %1 data type to a %2 data type "
                                            "resulted in an out-of-range value.")
                                 .arg(sourceName, target.baseName()),
                             16, 1, ErrorScope::Batch);
        };
        if (!date) {
            if (error == DateTimeValue::ParseError::OutOfRange)
                throw outOfRange();
            throw TsqlError::conversionFailed(value, sourceName, target.baseName());
        }
        if (target.kind == TypeKind::SmallDateTime &&
            !inDateRange(date->toSmallDateTime().days, TypeKind::SmallDateTime))
            throw outOfRange();
        return dateResult(*date, date->days, target);
    }
    case TypeKind::Binary:
    case TypeKind::VarBinary: {
        if (style == 1 || style == 2) {
            QStringView text = value;
            if (style == 1) {
                if (!text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
                    throw TsqlError::conversionError(sourceName, target.baseName());
                text = text.mid(2);
            }
            const auto bytes = hexBytes(text);
            if (!bytes)
                throw TsqlError::conversionError(sourceName, target.baseName());
            return binaryResult(*bytes, target, mode);
        }
        return binaryResult(textBytes(value, source.isUnicode()), target, mode);
    }
    default:
        throw TsqlError::explicitConversionNotAllowed(sourceName, target.baseName());
    }
}

TsqlValue fromBinary(const QByteArray& value, const SqlType& source, const SqlType& target,
                     int style, Mode mode) {
    switch (target.kind) {
    case TypeKind::Binary:
    case TypeKind::VarBinary:
        return binaryResult(value, target, mode);
    case TypeKind::Char:
    case TypeKind::VarChar:
    case TypeKind::NChar:
    case TypeKind::NVarChar:
    case TypeKind::Text:
    case TypeKind::NText: {
        if (style == 1 || style == 2) {
            const QString hex = QString::fromLatin1(value.toHex().toUpper());
            return textResult(style == 1 ? QStringLiteral("0x") + hex : hex, source, target, mode,
                              TextSource::Text);
        }
        QString text;
        if (target.isUnicode()) {
            for (qsizetype i = 0; i + 1 < value.size(); i += 2)
                text += QChar(char16_t(std::uint8_t(value[i]) | std::uint8_t(value[i + 1]) << 8));
        } else {
            for (const char byte : value)
                text += CollatedText::fromCodePageByte(std::uint8_t(byte));
        }
        return textResult(text, source, target, mode, TextSource::Text);
    }
    case TypeKind::Bit:
    case TypeKind::TinyInt:
    case TypeKind::SmallInt:
    case TypeKind::Int:
    case TypeKind::BigInt: {
        // The last bytes, most significant first, as wide as the integer type.
        const int size = integerSize(target.kind);
        std::uint64_t bits = 0;
        const qsizetype first = value.size() > size ? value.size() - size : 0;
        for (qsizetype i = first; i < value.size(); ++i)
            bits = bits << 8 | std::uint8_t(value[i]);
        std::int64_t number = std::int64_t(bits);
        if (size == 2)
            number = std::int16_t(bits);
        else if (size == 4)
            number = std::int32_t(bits);
        if (target.kind == TypeKind::Bit)
            number = number != 0 ? 1 : 0;
        return TsqlValue::integer(number, target);
    }
    default:
        throw TsqlError::explicitConversionNotAllowed(source.baseName(), target.baseName());
    }
}

TsqlValue convertValue(const TsqlValue& value, const SqlType& target, int style, Mode mode) {
    if (target.kind == TypeKind::Variant || target.kind == TypeKind::Null)
        return value;
    const SqlType source = typeOf(value);
    if (source == target)
        return value;
    if (mode == Mode::Explicit) {
        if (!convertsExplicitly(source, target))
            throw TsqlError::explicitConversionNotAllowed(source.baseName(), target.baseName());
    } else if (!convertsImplicitly(source, target)) {
        if (convertsExplicitly(source, target))
            throw TsqlError::implicitConversionNotAllowed(source.baseName(), target.baseName());
        throw TsqlError::typeClash(source.baseName(), target.baseName());
    }
    if (value.isNull())
        return TsqlValue::null(target);
    if (mode != Mode::Explicit)
        style = 0;
    switch (value.payload().index()) {
    case 1:
        return fromInteger(value.asInteger(), source, target, mode);
    case 2:
        return fromFloat(value.asDouble(), source, target, style, mode);
    case 3:
        return fromDecimal(value.asDecimal(), source, target, style, mode);
    case 4:
        return fromText(value.asText(), source, target, style, mode);
    case 5:
        return fromBinary(value.asBinary(), source, target, style, mode);
    case 6:
        return fromDateTime(value.asDateTime(), source, target, style, mode);
    default:
        return TsqlValue::null(target);
    }
}

// ---- arithmetic

// A numeric operand as it meets the other one: a string or binary takes the other's type.
TsqlValue numericOperand(const TsqlValue& value, const SqlType& type, const SqlType& other) {
    if (type.isNumeric())
        return value;
    return convertValue(value, other, 0, Mode::Expression);
}

Decimal decimalOf(const TsqlValue& value) {
    if (value.payload().index() == 1)
        return Decimal::fromInteger(value.asInteger());
    return value.asDecimal();
}

double doubleOf(const TsqlValue& value) {
    switch (value.payload().index()) {
    case 1:
        return double(value.asInteger());
    case 3:
        return value.asDecimal().toDouble();
    default:
        return value.asDouble();
    }
}

TsqlValue integerArithmetic(char op, std::int64_t a, std::int64_t b, const SqlType& type) {
    std::int64_t result = 0;
    bool overflow = false;
    switch (op) {
    case '+':
        overflow = __builtin_add_overflow(a, b, &result);
        break;
    case '-':
        overflow = __builtin_sub_overflow(a, b, &result);
        break;
    case '*':
        overflow = __builtin_mul_overflow(a, b, &result);
        break;
    case '/':
        if (b == 0)
            throw TsqlError::divideByZero();
        overflow = b == -1 && a == std::numeric_limits<std::int64_t>::min();
        result = overflow ? 0 : a / b;
        break;
    case '%':
        if (b == 0)
            throw TsqlError::divideByZero();
        result = b == -1 ? 0 : a % b;
        break;
    case '&':
        result = a & b;
        break;
    case '|':
        result = a | b;
        break;
    default:
        result = a ^ b;
        break;
    }
    if (overflow)
        throw TsqlError::arithmeticOverflow(type.baseName());
    return integerResult(result, type);
}

TsqlValue decimalArithmetic(char op, const Decimal& a, const Decimal& b, const SqlType& type) {
    Decimal result;
    switch (op) {
    case '+':
        result = Decimal::add(a, b, type.scale);
        break;
    case '-':
        result = Decimal::subtract(a, b, type.scale);
        break;
    case '*':
        result = Decimal::multiply(a, b, type.scale);
        break;
    case '/':
        result = Decimal::divide(a, b, type.scale);
        break;
    default:
        result = Decimal::modulo(a, b, type.scale);
        break;
    }
    if (result.digits() > type.precision && !result.isZero())
        throw TsqlError::arithmeticOverflow(type.baseName());
    return TsqlValue::decimal(result, type);
}

TsqlValue moneyArithmetic(char op, const Decimal& a, const Decimal& b, const SqlType& type) {
    Decimal result;
    try {
        switch (op) {
        case '+':
            result = Decimal::add(a, b, 4);
            break;
        case '-':
            result = Decimal::subtract(a, b, 4);
            break;
        case '*':
            result = Decimal::multiply(a, b, 4);
            break;
        case '/':
            result = Decimal::divide(a, b, 4);
            break;
        default:
            result = Decimal::modulo(a, b, 4);
            break;
        }
    } catch (const TsqlError& error) {
        if (error.number() == 8115)
            throw TsqlError::arithmeticOverflow(type.baseName());
        throw;
    }
    if (!fitsMoney(result, type.kind))
        throw TsqlError::arithmeticOverflow(type.baseName());
    return TsqlValue::decimal(result, type);
}

TsqlValue floatArithmetic(char op, double a, double b, const SqlType& type) {
    double result = 0;
    switch (op) {
    case '+':
        result = a + b;
        break;
    case '-':
        result = a - b;
        break;
    case '*':
        result = a * b;
        break;
    default:
        if (b == 0)
            throw TsqlError::divideByZero();
        result = a / b;
        break;
    }
    if (type.kind == TypeKind::Real)
        result = double(float(result));
    if (!std::isfinite(result))
        throw TsqlError::arithmeticOverflow(type.baseName());
    return TsqlValue::floating(result, type);
}

// A date-time operand as a count of 1/300 seconds since 1900: numbers count days.
std::int64_t dateOperand(const TsqlValue& value) {
    switch (value.payload().index()) {
    case 1:
        return value.asInteger() * ticksPerDay;
    case 2: {
        const auto total = totalTicksOf(value.asDouble());
        if (!total)
            throw TsqlError::arithmeticOverflow(QStringLiteral("datetime"));
        return *total;
    }
    case 3:
        if (value.asDecimal().integralDigits() > 7)
            throw TsqlError::arithmeticOverflow(QStringLiteral("datetime"));
        return totalTicksOf(value.asDecimal());
    case 6:
        return std::int64_t(value.asDateTime().days) * ticksPerDay + value.asDateTime().ticks;
    default: {
        const TsqlValue date = convertValue(value, SqlType::dateTime(), 0, Mode::Expression);
        return std::int64_t(date.asDateTime().days) * ticksPerDay + date.asDateTime().ticks;
    }
    }
}

int ordered(auto a, auto b) {
    return a < b ? -1 : a > b ? 1 : 0;
}

} // namespace

TsqlValue TsqlValue::null(const SqlType& type) {
    TsqlValue value;
    value.type_ = type;
    return value;
}

TsqlValue TsqlValue::integer(std::int64_t value, const SqlType& type) {
    TsqlValue result;
    result.type_ = type;
    result.payload_ = value;
    return result;
}

TsqlValue TsqlValue::floating(double value, const SqlType& type) {
    TsqlValue result;
    result.type_ = type;
    result.payload_ = value;
    return result;
}

TsqlValue TsqlValue::decimal(const Decimal& value, const SqlType& type) {
    TsqlValue result;
    result.type_ = type;
    result.payload_ = value.scale() == type.scale ? value : value.rescaled(type.scale);
    return result;
}

TsqlValue TsqlValue::text(const QString& value, const SqlType& type) {
    TsqlValue result;
    result.type_ = type;
    result.payload_ = value;
    return result;
}

TsqlValue TsqlValue::binary(const QByteArray& value, const SqlType& type) {
    TsqlValue result;
    result.type_ = type;
    result.payload_ = value;
    return result;
}

TsqlValue TsqlValue::dateTime(const DateTimeValue& value, const SqlType& type) {
    TsqlValue result;
    result.type_ = type;
    result.payload_ = value;
    return result;
}

QVariant TsqlValue::toVariant() const {
    switch (payload_.index()) {
    case 1:
        return QVariant(qint64(asInteger()));
    case 2:
        return QVariant(asDouble());
    case 3:
        return QVariant(asDecimal().toDouble());
    case 4:
        return QVariant(asText());
    case 5:
        return QVariant(asBinary());
    case 6:
        return QVariant(asDateTime().toQDateTime());
    default:
        return QVariant();
    }
}

TsqlValue convert(const TsqlValue& value, const SqlType& target, int style) {
    return convertValue(value, target, style, Mode::Explicit);
}

TsqlValue convertImplicitly(const TsqlValue& value, const SqlType& target, Assignment assignment) {
    const Mode mode = assignment == Assignment::Column     ? Mode::Column
                      : assignment == Assignment::Variable ? Mode::Variable
                                                           : Mode::Expression;
    return convertValue(value, target, 0, mode);
}

TsqlValue arithmetic(char op, const TsqlValue& left, const TsqlValue& right) {
    const SqlType leftType = typeOf(left), rightType = typeOf(right);
    const SqlType type = arithmeticResultType(op, leftType, rightType);
    if (left.isNull() || right.isNull())
        return TsqlValue::null(type);
    switch (type.kind) {
    case TypeKind::Char:
    case TypeKind::VarChar:
    case TypeKind::NChar:
    case TypeKind::NVarChar: {
        QString text = left.asText() + right.asText();
        if (type.length != SqlType::maxLength && text.size() > type.length)
            text.truncate(type.length);
        return TsqlValue::text(text, type);
    }
    case TypeKind::Binary:
    case TypeKind::VarBinary: {
        QByteArray bytes = left.asBinary() + right.asBinary();
        if (type.length != SqlType::maxLength && bytes.size() > type.length)
            bytes.truncate(type.length);
        return TsqlValue::binary(bytes, type);
    }
    case TypeKind::SmallDateTime:
    case TypeKind::DateTime: {
        const std::int64_t a = dateOperand(left), b = dateOperand(right);
        const DateTimeValue date = fromTotalTicks(op == '+' ? a + b : a - b);
        return dateResult(date, date.days, type);
    }
    default:
        break;
    }
    const TsqlValue a = numericOperand(left, leftType, rightType);
    const TsqlValue b = numericOperand(right, rightType, leftType);
    if (type.isInteger()) {
        const TsqlValue x = convertValue(a, type, 0, Mode::Expression);
        const TsqlValue y = convertValue(b, type, 0, Mode::Expression);
        return integerArithmetic(op, x.asInteger(), y.asInteger(), type);
    }
    if (type.kind == TypeKind::Decimal)
        return decimalArithmetic(op, decimalOf(a), decimalOf(b), type);
    if (type.isMoney()) {
        const TsqlValue x = convertValue(a, type, 0, Mode::Expression);
        const TsqlValue y = convertValue(b, type, 0, Mode::Expression);
        return moneyArithmetic(op, x.asDecimal(), y.asDecimal(), type);
    }
    return floatArithmetic(op, doubleOf(a), doubleOf(b), type);
}

TsqlValue unary(char op, const TsqlValue& operand) {
    const SqlType source = typeOf(operand);
    const SqlType type = unaryResultType(op, source);
    if (operand.isNull())
        return TsqlValue::null(type);
    if (op == '+')
        return operand;
    switch (operand.payload().index()) {
    case 1: {
        const std::int64_t value = operand.asInteger();
        if (op == '~') {
            switch (type.kind) {
            case TypeKind::Bit:
                return TsqlValue::integer(value ^ 1, type);
            case TypeKind::TinyInt:
                return TsqlValue::integer(~value & 0xff, type);
            default:
                return TsqlValue::integer(~value, type);
            }
        }
        if (value == std::numeric_limits<std::int64_t>::min())
            throw TsqlError::arithmeticOverflow(type.baseName());
        return integerResult(-value, type);
    }
    case 2:
        return TsqlValue::floating(-operand.asDouble(), type);
    case 3:
        return TsqlValue::decimal(operand.asDecimal().negated(), type);
    default:
        throw TsqlError::invalidOperand(source.baseName(), QStringLiteral("minus"));
    }
}

std::optional<int> compare(const TsqlValue& left, const TsqlValue& right) {
    if (left.isNull() || right.isNull())
        return std::nullopt;
    const auto& a = left.payload();
    const auto& b = right.payload();
    const std::size_t ak = a.index(), bk = b.index();
    if (ak == bk) {
        switch (ak) {
        case 1:
            return ordered(left.asInteger(), right.asInteger());
        case 2:
            return ordered(left.asDouble(), right.asDouble());
        case 3:
            return left.asDecimal().compare(right.asDecimal());
        case 4: {
            const Collation collation = left.type().collation == Collation::Binary ||
                                                right.type().collation == Collation::Binary
                                            ? Collation::Binary
                                            : Collation::CaseInsensitive;
            return CollatedText::compare(left.asText(), right.asText(), collation);
        }
        case 5: {
            const QByteArray& x = left.asBinary();
            const QByteArray& y = right.asBinary();
            const int order = std::memcmp(x.constData(), y.constData(),
                                          std::size_t(std::min(x.size(), y.size())));
            return order != 0 ? (order < 0 ? -1 : 1) : ordered(x.size(), y.size());
        }
        case 6: {
            const DateTimeValue& x = left.asDateTime();
            const DateTimeValue& y = right.asDateTime();
            return x < y ? -1 : x > y ? 1 : 0;
        }
        default:
            return 0;
        }
    }
    // Numbers of different kinds: exact against exact, anything against a float as floats.
    const bool exactA = ak == 1 || ak == 3, exactB = bk == 1 || bk == 3;
    if (exactA && exactB)
        return decimalOf(left).compare(decimalOf(right));
    if ((exactA || ak == 2) && (exactB || bk == 2))
        return ordered(doubleOf(left), doubleOf(right));
    const SqlType common = commonType(typeOf(left), typeOf(right));
    return compare(convertValue(left, common, 0, Mode::Expression),
                   convertValue(right, common, 0, Mode::Expression));
}

} // namespace db::tsql
