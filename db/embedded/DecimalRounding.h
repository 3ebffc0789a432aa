#pragma once

#include <QString>

#include <optional>

namespace db {

// Rounding as SQL Server rounds decimals: on the decimal digits of a value, half away from
// zero. A double is first read as its 15 significant digits, so binary noise such as
// 2.67499999999999982 for 2.675 does not decide the result.
class DecimalRounding {
public:
    // decimals may be negative (Round(1250, -2) is 1300). truncate drops the digits instead.
    static double round(double value, int decimals, bool truncate = false);
    // Rounds an integer at a negative number of decimals; an integer with decimals >= 0 is
    // returned unchanged.
    static qint64 roundInteger(qint64 value, int decimals, bool truncate = false);
    // Reads a plain decimal text: optional blanks, sign, digits with an optional decimal point;
    // with allowExponent an exponent too. Nothing when it is not such a number.
    static std::optional<double> parse(const QString& text, bool allowExponent);
    // Reads an integer text: optional blanks, sign and digits.
    static std::optional<qint64> parseInteger(const QString& text);
    // The shortest text that reads back as the same double, as SQL Server shows a float.
    static QString toText(double value);
};

} // namespace db
