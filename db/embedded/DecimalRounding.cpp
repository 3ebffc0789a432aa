#include "db/embedded/DecimalRounding.h"

#include <QRegularExpression>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace db {

double DecimalRounding::round(double value, int decimals, bool truncate) {
    if (!std::isfinite(value) || value == 0.0)
        return value;
    // "d.dddddddddddddde+XX": the 15 significant digits of the magnitude and its exponent,
    // as printf's "%.14e" writes them.
    char text[40];
    const auto written = std::to_chars(text, text + sizeof text, std::fabs(value),
                                       std::chars_format::scientific, 14);
    char digits[15];
    digits[0] = text[0];
    for (int i = 1; i < 15; ++i)
        digits[i] = text[i + 1];
    int exponent = 0;
    const char* exponentText = text + 17;
    if (*exponentText == '+')
        ++exponentText;
    std::from_chars(exponentText, written.ptr, exponent);

    // The value is 0.d1d2...d15 times 10^(exponent + 1); keep as many digits as the decimals
    // leave.
    const int keep = exponent + 1 + decimals;
    if (keep >= 15)
        return value;
    if (keep < 0)
        return 0.0;
    long long mantissa = 0;
    for (int i = 0; i < keep; ++i)
        mantissa = mantissa * 10 + (digits[i] - '0');
    if (!truncate && digits[keep] >= '5')
        ++mantissa;
    if (mantissa == 0)
        return 0.0;
    // The double nearest to the exact decimal mantissa * 10^-decimals, as strtod reads it.
    char result[48];
    // A mantissa of at most 15 digits fits in the first half.
    auto end = std::to_chars(result, result + 24, mantissa).ptr;
    *end++ = 'e';
    end = std::to_chars(end, result + sizeof result, -decimals).ptr;
    double magnitude = 0;
    std::from_chars(result, end, magnitude);
    return value < 0 ? -magnitude : magnitude;
}

qint64 DecimalRounding::roundInteger(qint64 value, int decimals, bool truncate) {
    if (decimals >= 0)
        return value;
    if (decimals < -18)
        return 0;
    qint64 unit = 1;
    for (int i = 0; i < -decimals; ++i)
        unit *= 10;
    const qint64 remainder = value % unit;
    qint64 result = value - remainder;
    if (!truncate && std::llabs(remainder) * 2 >= unit)
        result += value < 0 ? -unit : unit;
    return result;
}

std::optional<double> DecimalRounding::parse(const QString& text, bool allowExponent) {
    static const QRegularExpression plain(QStringLiteral(R"(^\s*[+-]?(\d+\.?\d*|\.\d+)\s*$)"));
    static const QRegularExpression withExponent(
        QStringLiteral(R"(^\s*[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?\s*$)"));
    if (!(allowExponent ? withExponent : plain).match(text).hasMatch())
        return std::nullopt;
    return std::strtod(text.trimmed().toLatin1().constData(), nullptr);
}

std::optional<qint64> DecimalRounding::parseInteger(const QString& text) {
    static const QRegularExpression integer(QStringLiteral(R"(^\s*[+-]?\d+\s*$)"));
    if (!integer.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const qint64 value = text.trimmed().toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return value;
}

QString DecimalRounding::toText(double value) {
    char text[40];
    for (int precision = 15; precision <= 17; ++precision) {
        std::snprintf(text, sizeof text, "%.*g", precision, value);
        if (std::strtod(text, nullptr) == value)
            break;
    }
    return QString::fromLatin1(text);
}

} // namespace db
