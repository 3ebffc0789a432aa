#pragma once

#include <QDateTime>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>

namespace db::tsql {

// A date-time as SQL Server's datetime holds it: days since 1 January 1900 (negative before)
// and the time of day in ticks of 1/300 second. Valid from 1 January 1753 to 31 December 9999.
struct DateTimeValue {
    static constexpr std::int32_t ticksPerDay = 300 * 60 * 60 * 24;
    static constexpr std::int32_t minDays = -53690;  // 1753-01-01
    static constexpr std::int32_t maxDays = 2958463; // 9999-12-31

    std::int32_t days = 0;
    std::int32_t ticks = 0;

    // From calendar fields; milliseconds round to the nearest tick as SQL Server rounds them
    // (.999 becomes the next second, so 23:59:59.999 is the next day). Nothing for a date that
    // does not exist or lies outside the range.
    static std::optional<DateTimeValue> fromParts(int year, int month, int day, int hour = 0,
                                                  int minute = 0, int second = 0,
                                                  int millisecond = 0);
    static std::optional<DateTimeValue> fromQDateTime(const QDateTime& value);
    // The text forms SQL Server reads without a style under "Set DateFormat ymd":
    // "YYYY-MM-DD", "YYYYMMDD", "YYYY/MM/DD" and a year alone ("2024"), each optionally
    // followed by " HH:MM[:SS[.fff]]" (or "T" instead of the blank), a time alone ("14:30" is
    // 1 January 1900), and month names ("Mar 5 2024", "5 March 2024"). Blanks around are
    // allowed. Nothing for any other text. A time may end in AM or PM and its milliseconds
    // follow a colon ("14:30:20:997"), so the texts of Convert styles 0, 9, 13, 20 and 21 read
    // back.
    static std::optional<DateTimeValue> parse(QStringView text);

    // Why a text is no date-time: not written as one (SQL Server's error 241), or written as one
    // with a field out of range such as 30 February or the year 1700 (error 242).
    enum class ParseError : std::uint8_t { Syntax, OutOfRange };
    // The order of day, month and year in a date of three numbers ("05/03/2024"): "Set
    // DateFormat" or the style of Convert (101 month first, 103 day first). A four-digit year
    // written first is read year, month, day whatever the order.
    enum class DateOrder : std::uint8_t { YearMonthDay, MonthDayYear, DayMonthYear };
    static std::optional<DateTimeValue> parse(QStringView text, DateOrder order,
                                              ParseError* error = nullptr);
    // A number of days since 1 January 1900 with the time as its fraction (datetime + 1.5).
    static std::optional<DateTimeValue> fromDays(double days);

    int year() const;
    int month() const;
    int day() const;
    int hour() const;
    int minute() const;
    int second() const;
    // The milliseconds the ticks show: 0, 3, 7, 10, ... 997.
    int millisecond() const;
    // 1 Sunday ... 7 Saturday (SQL Server's default first day of the week, Sunday).
    int weekday() const;
    int dayOfYear() const;

    QDateTime toQDateTime() const;
    // The days with the time as their fraction, as Convert(float, datetime) gives them.
    double toDays() const;
    // How the embedded engine stores it: "YYYY-MM-DD HH:MM:SS", with ".fff" only when the
    // milliseconds are not 0.
    QString toStorageText() const;

    // Rounded to the minute as smalldatetime holds it (29.998 seconds down, 29.999 up), or to
    // the day for date.
    DateTimeValue toSmallDateTime() const;
    DateTimeValue toDate() const;

    auto operator<=>(const DateTimeValue&) const = default;
};

} // namespace db::tsql
