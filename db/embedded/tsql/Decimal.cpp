#include "db/embedded/tsql/Decimal.h"

#include "db/embedded/tsql/TsqlError.h"
#include "db/embedded/tsql/UInt256.h"

#include <bit>
#include <charconv>
#include <cmath>

namespace db::tsql {

namespace {

using Mantissa = Decimal::Mantissa;

constexpr auto makePowersOf10() {
    struct Table {
        UInt128 values[39];
    } table{};
    UInt128 value = 1;
    for (int i = 0; i <= 38; ++i) {
        table.values[i] = value;
        value *= 10;
    }
    return table;
}
constexpr auto powersOf10 = makePowersOf10();

constexpr UInt128 pow10(int exponent) {
    return powersOf10.values[exponent];
}

// The powers of 10 a double holds exactly.
constexpr double exactPowersOf10[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// 10^38: no mantissa reaches it.
constexpr UInt128 mantissaLimit = pow10(38);

UInt128 magnitude(Mantissa value) {
    return value < 0 ? UInt128(0) - UInt128(value) : UInt128(value);
}

TsqlError overflow() {
    return TsqlError::arithmeticOverflow(QStringLiteral("numeric"));
}

// The magnitude and sign back as a mantissa; more than 38 digits is an overflow.
Mantissa toMantissa(UInt128 value, bool negative) {
    if (value >= mantissaLimit)
        throw overflow();
    return negative ? -Mantissa(value) : Mantissa(value);
}

Mantissa toMantissa(const UInt256& value, bool negative) {
    if (!value.fitsUInt128())
        throw overflow();
    return toMantissa(value.toUInt128(), negative);
}

// Drops `count` digits of a magnitude, rounding or truncating.
UInt128 dropDigits(UInt128 value, int count, Rounding rounding) {
    if (count <= 0)
        return value;
    if (count > 39)
        return 0;
    const UInt128 kept = count == 39 ? 0 : value / pow10(count);
    if (rounding == Rounding::Truncate)
        return kept;
    // Half away from zero depends on the first dropped digit alone.
    const int firstDropped = int((value / pow10(count - 1)) % 10);
    return firstDropped >= 5 ? kept + 1 : kept;
}

UInt256 dropDigits(UInt256 value, int count, Rounding rounding) {
    const int firstDropped = value.divideByPowerOf10(count);
    if (rounding == Rounding::HalfAwayFromZero && firstDropped >= 5)
        value.add(UInt256(1));
    return value;
}

// A magnitude of scale `from` brought to scale `to`.
Mantissa scaleTo(UInt128 value, bool negative, int from, int to, Rounding rounding) {
    if (to >= from) {
        const int up = to - from;
        if (value != 0 && (up > 38 || value >= mantissaLimit / pow10(up)))
            throw overflow();
        return toMantissa(value * pow10(up), negative);
    }
    return toMantissa(dropDigits(value, from - to, rounding), negative);
}

Mantissa scaleTo(UInt256 value, bool negative, int from, int to, Rounding rounding) {
    if (value.fitsUInt128())
        return scaleTo(value.toUInt128(), negative, from, to, rounding);
    if (to >= from)
        throw overflow();
    return toMantissa(dropDigits(value, from - to, rounding), negative);
}

void checkScale(int scale) {
    if (scale < 0 || scale > Decimal::maxDigits)
        throw overflow();
}

// The sum of two signed magnitudes of 256 bits: magnitude and sign of the result.
void addSigned(UInt256 left, bool leftNegative, const UInt256& right, bool rightNegative,
               UInt256& result, bool& negative) {
    if (leftNegative == rightNegative) {
        if (!left.add(right))
            throw overflow();
        result = left;
        negative = leftNegative;
    } else if (left.compare(right) >= 0) {
        left.subtract(right);
        result = left;
        negative = leftNegative;
    } else {
        UInt256 larger = right;
        larger.subtract(left);
        result = larger;
        negative = rightNegative;
    }
}

// Both magnitudes at the larger scale; false when one of them no longer fits 128 bits.
bool alignNarrow(Mantissa left, int leftScale, Mantissa right, int rightScale, Mantissa& a,
                 Mantissa& b) {
    a = left;
    b = right;
    if (leftScale < rightScale)
        return !__builtin_mul_overflow(left, Mantissa(pow10(rightScale - leftScale)), &a);
    if (rightScale < leftScale)
        return !__builtin_mul_overflow(right, Mantissa(pow10(leftScale - rightScale)), &b);
    return true;
}

UInt256 alignedWide(Mantissa value, int scale, int targetScale) {
    UInt256 wide(magnitude(value));
    wide.multiplyByPowerOf10(targetScale - scale); // 38 digits times 10^38 fit 256 bits
    return wide;
}

} // namespace

Decimal::Decimal(Mantissa mantissa, int scale) : mantissa_(mantissa), scale_(std::uint8_t(scale)) {
    checkScale(scale);
    if (magnitude(mantissa) >= mantissaLimit)
        throw overflow();
}

Decimal Decimal::fromInteger(std::int64_t value) {
    return Decimal(Mantissa(value), 0);
}

std::optional<std::int64_t> Decimal::shortMantissa(double value, int scale) {
    if (scale < 0 || scale > 22)
        return std::nullopt;
    const double power = exactPowersOf10[scale];
    const double scaled = value * power;
    if (!(std::fabs(scaled) < 1e15))
        return std::nullopt;
    const double candidate = std::nearbyint(scaled);
    if (candidate / power != value)
        return std::nullopt;
    return std::int64_t(candidate);
}

std::optional<Decimal> Decimal::fromDouble(double value, int scale) {
    checkScale(scale);
    if (!std::isfinite(value))
        return std::nullopt;
    if (value == 0)
        return Decimal(0, scale);
    // Whole numbers of at most 15 digits read as they are, without a detour through text.
    if (value == std::trunc(value) && std::fabs(value) < 1e15) {
        const Mantissa whole = Mantissa(std::int64_t(value));
        if (magnitude(whole) >= mantissaLimit / pow10(scale))
            return std::nullopt;
        return Decimal(whole * Mantissa(pow10(scale)), scale);
    }
    // A value that a decimal of this scale stored as its nearest double: when m / 10^scale
    // gives the double back, m (fewer than 16 digits) is the decimal the 15 digits name, as a
    // decimal of at most 15 digits is the only one of them with that nearest double.
    if (const auto mantissa = shortMantissa(value, scale))
        return Decimal(Mantissa(*mantissa), scale);
    // The 15 significant digits as "d.dddddddddddddde+x", correctly rounded.
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, std::fabs(value),
                                       std::chars_format::scientific, 14);
    std::uint64_t digits = 0;
    const char* cursor = text;
    for (; cursor < written.ptr && *cursor != 'e'; ++cursor) {
        if (*cursor != '.')
            digits = digits * 10 + std::uint64_t(*cursor - '0');
    }
    int exponent = 0;
    std::from_chars(cursor + (cursor[1] == '+' ? 2 : 1), written.ptr, exponent);
    // value = digits * 10^(exponent - 14); at the target scale the mantissa is
    // digits * 10^(exponent - 14 + scale).
    const int shift = exponent - 14 + scale;
    UInt128 result;
    if (shift >= 0) {
        if (shift > 38 || digits >= mantissaLimit / pow10(shift))
            return std::nullopt;
        result = UInt128(digits) * pow10(shift);
    } else {
        result = dropDigits(UInt128(digits), -shift, Rounding::HalfAwayFromZero);
    }
    if (result >= mantissaLimit)
        return std::nullopt;
    return Decimal(value < 0 ? -Mantissa(result) : Mantissa(result), scale);
}

std::optional<Decimal> Decimal::fromDouble(double value) {
    if (!std::isfinite(value))
        return std::nullopt;
    if (value == 0)
        return Decimal();
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, std::fabs(value),
                                       std::chars_format::scientific, 14);
    const char* mark = text;
    while (*mark != 'e')
        ++mark;
    int exponent = 0;
    std::from_chars(mark + (mark[1] == '+' ? 2 : 1), written.ptr, exponent);
    int trailingZeros = 0;
    for (const char* digit = mark - 1; digit > text && (*digit == '0' || *digit == '.'); --digit) {
        if (*digit == '0')
            ++trailingZeros;
    }
    int scale = 14 - exponent - trailingZeros;
    if (scale < 0)
        scale = 0;
    if (scale > maxDigits)
        scale = maxDigits;
    return fromDouble(value, scale);
}

std::optional<Decimal> Decimal::parse(QStringView text) {
    qsizetype i = 0;
    const qsizetype length = text.size();
    while (i < length && text[i] == u' ')
        ++i;
    bool negative = false;
    if (i < length && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    UInt128 value = 0;
    int significant = 0;
    int scale = 0;
    bool anyDigit = false;
    bool point = false;
    for (; i < length; ++i) {
        const char16_t c = text[i].unicode();
        if (c >= u'0' && c <= u'9') {
            anyDigit = true;
            if (point)
                ++scale;
            // Leading zeros count towards the scale, not the digits.
            if (value == 0 && c == u'0')
                continue;
            if (++significant > maxDigits)
                return std::nullopt;
            value = value * 10 + (c - u'0');
        } else if (c == u'.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    while (i < length && text[i] == u' ')
        ++i;
    if (!anyDigit || i != length || scale > maxDigits)
        return std::nullopt;
    return Decimal(negative ? -Mantissa(value) : Mantissa(value), scale);
}

int Decimal::digits() const {
    const UInt128 value = magnitude(mantissa_);
    if (value == 0)
        return 1;
    // floor(bits * log10(2)) is the number of digits or one less; one comparison decides.
    const auto high = std::uint64_t(value >> 64);
    const int bits =
        high != 0 ? 128 - std::countl_zero(high) : 64 - std::countl_zero(std::uint64_t(value));
    const int estimate = (bits * 1233) >> 12;
    return value >= pow10(estimate) ? estimate + 1 : estimate;
}

int Decimal::integralDigits() const {
    const int all = digits();
    return isZero() || all <= scale_ ? 0 : all - scale_;
}

Decimal Decimal::rescaled(int scale, Rounding rounding) const {
    checkScale(scale);
    if (scale == scale_)
        return *this;
    Decimal result;
    result.mantissa_ = scaleTo(magnitude(mantissa_), mantissa_ < 0, scale_, scale, rounding);
    result.scale_ = std::uint8_t(scale);
    return result;
}

bool Decimal::fits(int precision, int scale) const {
    try {
        return rescaled(scale).digits() <= precision;
    } catch (const TsqlError&) {
        return false;
    }
}

Decimal Decimal::roundedAt(int places, Rounding rounding) const {
    const int dropped = scale_ - places;
    if (dropped <= 0)
        return *this;
    UInt128 kept = dropDigits(magnitude(mantissa_), dropped, rounding);
    if (dropped > 38) {
        if (kept != 0)
            throw overflow();
        return Decimal(0, scale_);
    }
    if (kept != 0 && kept >= mantissaLimit / pow10(dropped))
        throw overflow();
    Decimal result;
    result.mantissa_ = toMantissa(kept * pow10(dropped), mantissa_ < 0);
    result.scale_ = scale_;
    return result;
}

double Decimal::toDouble() const {
    // Both exact in a double: the one division rounds correctly.
    if (magnitude(mantissa_) < (UInt128(1) << 53) && scale_ <= 22)
        return double(std::int64_t(mantissa_)) / exactPowersOf10[scale_];
    const QByteArray text = toString().toLatin1();
    double value = 0;
    std::from_chars(text.constData(), text.constData() + text.size(), value);
    return value;
}

std::optional<std::int64_t> Decimal::toInteger() const {
    const Mantissa whole = mantissa_ / Mantissa(pow10(scale_));
    if (whole < Mantissa(INT64_MIN) || whole > Mantissa(INT64_MAX))
        return std::nullopt;
    return std::int64_t(whole);
}

QString Decimal::toString() const {
    // The digits from the last one up, 19 at a time through 64-bit division.
    char digits[40];
    int count = 0;
    UInt128 value = magnitude(mantissa_);
    while (value >> 64 != 0) {
        std::uint64_t chunk = std::uint64_t(value % pow10(19));
        value /= pow10(19);
        for (int i = 0; i < 19; ++i, chunk /= 10)
            digits[count++] = char('0' + chunk % 10);
    }
    std::uint64_t rest = std::uint64_t(value);
    do {
        digits[count++] = char('0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    while (count < scale_ + 1)
        digits[count++] = '0';

    char text[42];
    int length = 0;
    if (mantissa_ < 0)
        text[length++] = '-';
    for (int i = count - 1; i >= 0; --i) {
        text[length++] = digits[i];
        if (i == scale_ && i > 0)
            text[length++] = '.';
    }
    return QString::fromLatin1(text, length);
}

int Decimal::compare(const Decimal& other) const {
    if (scale_ == other.scale_)
        return mantissa_ < other.mantissa_ ? -1 : mantissa_ > other.mantissa_ ? 1 : 0;
    Mantissa a, b;
    if (alignNarrow(mantissa_, scale_, other.mantissa_, other.scale_, a, b))
        return a < b ? -1 : a > b ? 1 : 0;
    if ((mantissa_ < 0) != (other.mantissa_ < 0))
        return mantissa_ < 0 ? -1 : 1;
    const int scale = scale_ > other.scale_ ? scale_ : other.scale_;
    const int order = alignedWide(mantissa_, scale_, scale)
                          .compare(alignedWide(other.mantissa_, other.scale_, scale));
    return mantissa_ < 0 ? -order : order;
}

Decimal Decimal::add(const Decimal& left, const Decimal& right, int resultScale) {
    checkScale(resultScale);
    const int scale = left.scale_ > right.scale_ ? left.scale_ : right.scale_;
    Mantissa a, b, sum;
    Decimal result;
    result.scale_ = std::uint8_t(resultScale);
    if (alignNarrow(left.mantissa_, left.scale_, right.mantissa_, right.scale_, a, b) &&
        !__builtin_add_overflow(a, b, &sum)) {
        result.mantissa_ =
            scaleTo(magnitude(sum), sum < 0, scale, resultScale, Rounding::HalfAwayFromZero);
        return result;
    }
    UInt256 wide;
    bool negative = false;
    addSigned(alignedWide(left.mantissa_, left.scale_, scale), left.mantissa_ < 0,
              alignedWide(right.mantissa_, right.scale_, scale), right.mantissa_ < 0, wide,
              negative);
    result.mantissa_ = scaleTo(wide, negative, scale, resultScale, Rounding::HalfAwayFromZero);
    return result;
}

Decimal Decimal::subtract(const Decimal& left, const Decimal& right, int resultScale) {
    return add(left, right.negated(), resultScale);
}

Decimal Decimal::multiply(const Decimal& left, const Decimal& right, int resultScale) {
    checkScale(resultScale);
    const int scale = left.scale_ + right.scale_;
    const bool negative = (left.mantissa_ < 0) != (right.mantissa_ < 0);
    Decimal result;
    result.scale_ = std::uint8_t(resultScale);
    Mantissa product;
    if (!__builtin_mul_overflow(left.mantissa_, right.mantissa_, &product)) {
        result.mantissa_ =
            scaleTo(magnitude(product), negative, scale, resultScale, Rounding::HalfAwayFromZero);
        return result;
    }
    result.mantissa_ =
        scaleTo(UInt256::product(magnitude(left.mantissa_), magnitude(right.mantissa_)), negative,
                scale, resultScale, Rounding::HalfAwayFromZero);
    return result;
}

Decimal Decimal::divide(const Decimal& left, const Decimal& right, int resultScale) {
    checkScale(resultScale);
    if (right.mantissa_ == 0)
        throw TsqlError::divideByZero();
    const bool negative = (left.mantissa_ < 0) != (right.mantissa_ < 0);
    // quotient = left * 10^shift / right, truncated, where the shift brings it to resultScale.
    const int shift = resultScale - left.scale_ + right.scale_;
    UInt128 dividend = magnitude(left.mantissa_);
    const UInt128 divisor = magnitude(right.mantissa_);
    Decimal result;
    result.scale_ = std::uint8_t(resultScale);
    if (shift <= 0) {
        // Truncating twice is truncating once: (a / 10^k) / b == a / (10^k * b) in integers.
        dividend = dropDigits(dividend, -shift, Rounding::Truncate);
        result.mantissa_ = toMantissa(dividend / divisor, negative);
        return result;
    }
    if (shift <= 38 && dividend < (UInt128(1) << 127) / pow10(shift)) {
        result.mantissa_ = toMantissa(dividend * pow10(shift) / divisor, negative);
        return result;
    }
    UInt256 wideDividend(dividend);
    // A dividend past 256 bits gives a quotient far past 38 digits.
    if (!wideDividend.multiplyByPowerOf10(shift))
        throw overflow();
    UInt256 quotient, remainder;
    UInt256::divide(wideDividend, UInt256(divisor), quotient, remainder);
    result.mantissa_ = toMantissa(quotient, negative);
    return result;
}

Decimal Decimal::modulo(const Decimal& left, const Decimal& right, int resultScale) {
    checkScale(resultScale);
    if (right.mantissa_ == 0)
        throw TsqlError::divideByZero();
    const int scale = left.scale_ > right.scale_ ? left.scale_ : right.scale_;
    const bool negative = left.mantissa_ < 0;
    Decimal result;
    result.scale_ = std::uint8_t(resultScale);
    Mantissa a, b;
    if (alignNarrow(left.mantissa_, left.scale_, right.mantissa_, right.scale_, a, b)) {
        const Mantissa remainder = a % b;
        result.mantissa_ =
            scaleTo(magnitude(remainder), negative, scale, resultScale, Rounding::HalfAwayFromZero);
        return result;
    }
    UInt256 quotient, remainder;
    UInt256::divide(alignedWide(left.mantissa_, left.scale_, scale),
                    alignedWide(right.mantissa_, right.scale_, scale), quotient, remainder);
    result.mantissa_ = scaleTo(remainder, negative, scale, resultScale, Rounding::HalfAwayFromZero);
    return result;
}

} // namespace db::tsql
