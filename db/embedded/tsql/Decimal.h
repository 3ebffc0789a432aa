#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>

namespace db::tsql {

// How a decimal loses digits it cannot keep.
enum class Rounding : std::uint8_t {
    HalfAwayFromZero, // SQL Server's conversions, Round() and the multiplication's scale cut
    Truncate,         // the division's last digit, Round(x, n, 1), conversion to an integer
};

// An exact decimal number: an integer mantissa of at most 38 digits and a scale of 0 to 38
// places, the value being mantissa / 10^scale. Money is a Decimal of scale 4. Arithmetic is
// exact: each operation states the scale of its result and how the digits beyond it are dropped,
// and refuses a result of more than 38 digits.
class Decimal {
public:
    __extension__ typedef __int128 Mantissa;
    static constexpr int maxDigits = 38;

    constexpr Decimal() = default;
    // A mantissa of more than 38 digits or a scale outside 0..38 throws TsqlError 8115.
    Decimal(Mantissa mantissa, int scale);

    static Decimal fromInteger(std::int64_t value);
    // The decimal of the given scale nearest to the double, the double read as its 15
    // significant digits first (so 2.675 is 2.675, not 2.67499999999999982), half away from
    // zero. Nothing for an infinity, a NaN or a value of more than 38 digits at that scale.
    static std::optional<Decimal> fromDouble(double value, int scale);
    // The mantissa m at the scale when the double is the nearest one to m / 10^scale and m has
    // at most 15 digits: then that decimal is the one the double's 15 digits name, and it is
    // found without them. Nothing otherwise.
    static std::optional<std::int64_t> shortMantissa(double value, int scale);
    // The double's 15 significant digits as they stand, at the smallest scale that holds them
    // (at most 38). Nothing where fromDouble gives nothing.
    static std::optional<Decimal> fromDouble(double value);
    // Reads "[blanks][+|-]digits[.digits][blanks]" or "[+|-].digits"; the scale is the number of
    // digits after the point. Nothing for any other text or more than 38 digits.
    static std::optional<Decimal> parse(QStringView text);

    Mantissa mantissa() const { return mantissa_; }
    int scale() const { return scale_; }
    // The digits of the mantissa (1 for zero): the precision the value needs as it stands.
    int digits() const;
    // The digits before the point (0 for a value below 1).
    int integralDigits() const;
    bool isZero() const { return mantissa_ == 0; }
    bool isNegative() const { return mantissa_ < 0; }

    // The same value at another scale: more places add zeros, fewer drop digits as rounding
    // says. A result of more than 38 digits throws TsqlError 8115.
    Decimal rescaled(int scale, Rounding rounding = Rounding::HalfAwayFromZero) const;
    // Whether the value fits decimal(precision, scale) once rescaled to that scale.
    bool fits(int precision, int scale) const;
    // The same scale with the digits after `places` decimals dropped as rounding says; a negative
    // number of places rounds left of the point (Round(748.58, -1) is 750.00). A result of more
    // than 38 digits throws TsqlError 8115.
    Decimal roundedAt(int places, Rounding rounding) const;

    // The nearest double.
    double toDouble() const;
    // The integral part, digits after the point dropped (SQL Server's conversion to an integer);
    // nothing when it does not fit 64 bits.
    std::optional<std::int64_t> toInteger() const;
    // All scale digits, a leading zero before the point: "-12.3400", "0.50", "7".
    QString toString() const;

    // By value, whatever the two scales: -1, 0 or 1.
    int compare(const Decimal& other) const;
    bool operator==(const Decimal& other) const { return compare(other) == 0; }
    bool operator<(const Decimal& other) const { return compare(other) < 0; }

    Decimal negated() const { return Decimal(-mantissa_, scale_); }
    Decimal abs() const { return mantissa_ < 0 ? negated() : *this; }

    // Each returns the exact result at resultScale: sums and products are exact before the cut
    // to the scale, which rounds half away from zero; the quotient is cut by truncation, as SQL
    // Server's division is. A zero divisor throws TsqlError 8134; a result of more than 38
    // digits throws TsqlError 8115.
    static Decimal add(const Decimal& left, const Decimal& right, int resultScale);
    static Decimal subtract(const Decimal& left, const Decimal& right, int resultScale);
    static Decimal multiply(const Decimal& left, const Decimal& right, int resultScale);
    static Decimal divide(const Decimal& left, const Decimal& right, int resultScale);
    // The remainder of the division truncated to an integer, sign of the dividend.
    static Decimal modulo(const Decimal& left, const Decimal& right, int resultScale);

private:
    Mantissa mantissa_ = 0;
    std::uint8_t scale_ = 0;
};

} // namespace db::tsql
