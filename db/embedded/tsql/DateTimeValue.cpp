#include "db/embedded/tsql/DateTimeValue.h"

#include <cmath>

namespace db::tsql {

namespace {

constexpr std::int32_t ticksPerSecond = 300;
constexpr std::int32_t ticksPerMinute = ticksPerSecond * 60;
constexpr std::int32_t ticksPerHour = ticksPerMinute * 60;
// Days from 1 January 1970 back to 1 January 1900.
constexpr std::int32_t daysBefore1970 = 25567;

// Days since 1 January 1970 of a date of the proleptic Gregorian calendar, and back (the
// well-known era arithmetic: 400-year cycles of 146,097 days, years starting in March).
std::int32_t daysFromCivil(int year, int month, int day) {
    year -= month <= 2;
    const int era = (year >= 0 ? year : year - 399) / 400;
    const int yearOfEra = year - era * 400;
    const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

struct Civil {
    int year;
    int month;
    int day;
};

Civil civilFromDays(std::int32_t days) {
    days += 719468;
    const int era = (days >= 0 ? days : days - 146096) / 146097;
    const int dayOfEra = days - era * 146097;
    const int yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int shiftedMonth = (5 * dayOfYear + 2) / 153;
    const int day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
    const int month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
    return {yearOfEra + era * 400 + (month <= 2), month, day};
}

bool isLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
    static constexpr int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : lengths[month - 1];
}

constexpr const char* monthNames[] = {"january",   "february", "march",    "april",
                                      "may",       "june",     "july",     "august",
                                      "september", "october",  "november", "december"};

// Reads the text of a date-time one piece at a time.
class DateTimeReader {
public:
    DateTimeReader(QStringView text, DateTimeValue::DateOrder order) : text_(text), order_(order) {}

    std::optional<DateTimeValue> read(DateTimeValue::ParseError* error) {
        error_ = DateTimeValue::ParseError::Syntax;
        const auto result = readAll();
        if (!result && error)
            *error = error_;
        return result;
    }

private:
    std::optional<DateTimeValue> readAll() {
        skipBlanks();
        int year = 1900, month = 1, day = 1;
        bool dateRead = false;
        if (atLetter()) {
            if (!readAlphabeticDate(year, month, day, -1))
                return std::nullopt;
            dateRead = true;
        } else if (atDigit()) {
            const qsizetype start = position_;
            int digitCount = 0;
            const int first = readNumber(digitCount);
            if (at(u':') || atMeridiem()) {
                position_ = start; // a time alone
            } else if (at(u'-') || at(u'/') || at(u'.')) {
                if (!readNumericDate(first, digitCount, year, month, day))
                    return std::nullopt;
                dateRead = true;
            } else if (digitCount == 4 && (atEnd() || at(u' '))) {
                year = first; // a year alone is its first day
                dateRead = true;
            } else if (digitCount == 8 || digitCount == 6) {
                const int yearDigits = digitCount == 8 ? 4 : 2;
                const QStringView digits = text_.mid(start, digitCount);
                year = digits.left(yearDigits).toInt();
                if (yearDigits == 2)
                    year = fullYear(year);
                month = digits.mid(yearDigits, 2).toInt();
                day = digits.mid(yearDigits + 2, 2).toInt();
                dateRead = true;
            } else {
                skipBlanks();
                if (atMeridiem()) {
                    position_ = start;
                } else if (atLetter()) {
                    if (!readAlphabeticDate(year, month, day, first))
                        return std::nullopt;
                    dateRead = true;
                } else {
                    return std::nullopt;
                }
            }
        } else {
            return std::nullopt;
        }

        int hour = 0, minute = 0, second = 0, millisecond = 0;
        if (dateRead) {
            const bool separated = at(u'T') || at(u' ');
            if (at(u'T'))
                ++position_;
            skipBlanks();
            if (!atEnd() && (!separated || !readTime(hour, minute, second, millisecond)))
                return std::nullopt;
        } else if (!readTime(hour, minute, second, millisecond)) {
            return std::nullopt;
        }
        skipBlanks();
        if (!atEnd())
            return std::nullopt;
        if (year < 1753 || year > 9999 || month < 1 || month > 12 || day < 1 ||
            day > daysInMonth(year, month)) {
            error_ = DateTimeValue::ParseError::OutOfRange;
            return std::nullopt;
        }
        const auto value =
            DateTimeValue::fromParts(year, month, day, hour, minute, second, millisecond);
        if (!value)
            error_ = DateTimeValue::ParseError::OutOfRange;
        return value;
    }

    // "03/05/2024", "2024-03-05", "5.3.24": three numbers in the order of the setting, unless
    // the first one has four digits.
    bool readNumericDate(int first, int firstDigits, int& year, int& month, int& day) {
        const QChar separator = text_[position_];
        ++position_;
        int secondDigits = 0, thirdDigits = 0;
        if (!atDigit())
            return false;
        const int second = readNumber(secondDigits);
        if (!at(separator))
            return false;
        ++position_;
        if (!atDigit())
            return false;
        const int third = readNumber(thirdDigits);
        if (firstDigits > 2 || order_ == DateTimeValue::DateOrder::YearMonthDay) {
            if (firstDigits != 4 && firstDigits != 2)
                return false;
            year = firstDigits == 2 ? fullYear(first) : first;
            month = second;
            day = third;
            return secondDigits <= 2 && thirdDigits <= 2;
        }
        if (thirdDigits != 4 && thirdDigits != 2)
            return false;
        year = thirdDigits == 2 ? fullYear(third) : third;
        const bool monthFirst = order_ == DateTimeValue::DateOrder::MonthDayYear;
        month = monthFirst ? first : second;
        day = monthFirst ? second : first;
        return secondDigits <= 2;
    }

    // "Mar 5 2024", "March 5, 2024", "Mar 2024", or "5 March 2024" when the day came first.
    bool readAlphabeticDate(int& year, int& month, int& day, int dayBefore) {
        month = readMonthName();
        if (month == 0)
            return false;
        skipBlanks();
        int digitCount = 0;
        if (!atDigit())
            return false;
        int number = readNumber(digitCount);
        if (dayBefore < 0 && digitCount <= 2) {
            day = number;
            skipComma();
            if (!atDigit())
                return false;
            number = readNumber(digitCount);
        } else {
            day = dayBefore < 0 ? 1 : dayBefore; // the number read is the year
        }
        if (digitCount != 4 && digitCount != 2)
            return false;
        year = digitCount == 2 ? fullYear(number) : number;
        return true;
    }

    int readMonthName() {
        const qsizetype start = position_;
        while (atLetter())
            ++position_;
        const QString word = text_.mid(start, position_ - start).toString().toLower();
        for (int i = 0; i < 12; ++i) {
            const QLatin1String name(monthNames[i]);
            if (word == name || (word.size() == 3 && name.startsWith(word)))
                return i + 1;
        }
        return 0;
    }

    // "14:30", "14:30:20.997", "14:30:20:997", "2:30PM", "4 am".
    bool readTime(int& hour, int& minute, int& second, int& millisecond) {
        int digitCount = 0;
        if (!atDigit())
            return false;
        hour = readNumber(digitCount);
        if (digitCount > 2)
            return false;
        if (at(u':')) {
            ++position_;
            if (!atDigit())
                return false;
            minute = readNumber(digitCount);
            if (digitCount > 2)
                return false;
            if (at(u':')) {
                ++position_;
                if (!atDigit())
                    return false;
                second = readNumber(digitCount);
                if (digitCount > 2)
                    return false;
                if (at(u'.')) {
                    ++position_;
                    const qsizetype start = position_;
                    millisecond = atDigit() ? readNumber(digitCount) : 0;
                    const qsizetype count = position_ - start;
                    if (count > 3)
                        return false;
                    for (qsizetype i = count; i < 3; ++i)
                        millisecond *= 10;
                } else if (at(u':')) {
                    ++position_;
                    if (!atDigit())
                        return false;
                    millisecond = readNumber(digitCount);
                    if (digitCount > 3)
                        return false;
                }
            }
        } else {
            skipBlanks();
            if (!atMeridiem())
                return false;
        }
        skipBlanks();
        if (atMeridiem()) {
            const bool afternoon = text_[position_].toLower() == u'p';
            position_ += 2;
            if (hour < 1 || hour > 12)
                return false;
            hour = hour % 12 + (afternoon ? 12 : 0);
        }
        return hour <= 23 && minute <= 59 && second <= 59;
    }

    static int fullYear(int twoDigits) {
        // SQL Server's two digit year cutoff of 2049.
        return twoDigits < 50 ? 2000 + twoDigits : 1900 + twoDigits;
    }

    int readNumber(int& digitCount) {
        int value = 0;
        digitCount = 0;
        while (atDigit()) {
            if (digitCount < 9)
                value = value * 10 + (text_[position_].unicode() - u'0');
            ++digitCount;
            ++position_;
        }
        return value;
    }

    bool atEnd() const { return position_ >= text_.size(); }
    bool at(char16_t c) const { return !atEnd() && text_[position_] == c; }
    bool at(QChar c) const { return !atEnd() && text_[position_] == c; }
    bool atDigit() const { return !atEnd() && text_[position_].isDigit(); }
    bool atLetter() const {
        if (atEnd())
            return false;
        const char16_t c = text_[position_].toLower().unicode();
        return c >= u'a' && c <= u'z';
    }
    bool atMeridiem() const {
        if (position_ + 1 >= text_.size())
            return false;
        const char16_t first = text_[position_].toLower().unicode();
        const char16_t second = text_[position_ + 1].toLower().unicode();
        return (first == u'a' || first == u'p') && second == u'm';
    }
    void skipBlanks() {
        while (at(u' '))
            ++position_;
    }
    void skipComma() {
        skipBlanks();
        if (at(u',')) {
            ++position_;
            skipBlanks();
        }
    }

    QStringView text_;
    DateTimeValue::DateOrder order_;
    qsizetype position_ = 0;
    DateTimeValue::ParseError error_ = DateTimeValue::ParseError::Syntax;
};

void writeDigits(char*& cursor, int value, int width) {
    for (int i = width - 1; i >= 0; --i, value /= 10)
        cursor[i] = char('0' + value % 10);
    cursor += width;
}

} // namespace

std::optional<DateTimeValue> DateTimeValue::fromParts(int year, int month, int day, int hour,
                                                      int minute, int second, int millisecond) {
    if (year < 1753 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > daysInMonth(year, month) || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
        second < 0 || second > 59 || millisecond < 0 || millisecond > 999)
        return std::nullopt;
    DateTimeValue value;
    value.days = daysFromCivil(year, month, day) + daysBefore1970;
    // Milliseconds to the nearest 1/300 second, halves up: .995 is 299 ticks, .999 is 300.
    value.ticks = hour * ticksPerHour + minute * ticksPerMinute + second * ticksPerSecond +
                  (millisecond * 3 + 5) / 10;
    if (value.ticks >= ticksPerDay) {
        value.ticks -= ticksPerDay;
        if (++value.days > maxDays)
            return std::nullopt;
    }
    return value;
}

std::optional<DateTimeValue> DateTimeValue::fromQDateTime(const QDateTime& value) {
    if (!value.isValid())
        return std::nullopt;
    const QDate date = value.date();
    const QTime time = value.time();
    return fromParts(date.year(), date.month(), date.day(), time.hour(), time.minute(),
                     time.second(), time.msec());
}

std::optional<DateTimeValue> DateTimeValue::parse(QStringView text) {
    return parse(text, DateOrder::YearMonthDay);
}

std::optional<DateTimeValue> DateTimeValue::parse(QStringView text, DateOrder order,
                                                  ParseError* error) {
    return DateTimeReader(text, order).read(error);
}

std::optional<DateTimeValue> DateTimeValue::fromDays(double days) {
    if (!std::isfinite(days) || days < minDays || days >= double(maxDays) + 1)
        return std::nullopt;
    DateTimeValue value;
    const double whole = std::floor(days);
    value.days = std::int32_t(whole);
    value.ticks = std::int32_t(std::lround((days - whole) * ticksPerDay));
    if (value.ticks >= ticksPerDay) {
        value.ticks -= ticksPerDay;
        if (++value.days > maxDays)
            return std::nullopt;
    }
    return value;
}

int DateTimeValue::year() const {
    return civilFromDays(days - daysBefore1970).year;
}
int DateTimeValue::month() const {
    return civilFromDays(days - daysBefore1970).month;
}
int DateTimeValue::day() const {
    return civilFromDays(days - daysBefore1970).day;
}
int DateTimeValue::hour() const {
    return ticks / ticksPerHour;
}
int DateTimeValue::minute() const {
    return ticks % ticksPerHour / ticksPerMinute;
}
int DateTimeValue::second() const {
    return ticks % ticksPerMinute / ticksPerSecond;
}
int DateTimeValue::millisecond() const {
    // 1/300 second to the nearest millisecond: 1 tick .003, 2 ticks .007, 299 ticks .997.
    return (ticks % ticksPerSecond * 10 + 1) / 3;
}

int DateTimeValue::weekday() const {
    // 1 January 1900 was a Monday.
    return ((days + 1) % 7 + 7) % 7 + 1;
}

int DateTimeValue::dayOfYear() const {
    return days - (daysFromCivil(year(), 1, 1) + daysBefore1970) + 1;
}

QDateTime DateTimeValue::toQDateTime() const {
    const Civil date = civilFromDays(days - daysBefore1970);
    return QDateTime(QDate(date.year, date.month, date.day),
                     QTime(hour(), minute(), second(), millisecond()));
}

double DateTimeValue::toDays() const {
    return days + double(ticks) / ticksPerDay;
}

QString DateTimeValue::toStorageText() const {
    const Civil date = civilFromDays(days - daysBefore1970);
    char text[24];
    char* cursor = text;
    writeDigits(cursor, date.year, 4);
    *cursor++ = '-';
    writeDigits(cursor, date.month, 2);
    *cursor++ = '-';
    writeDigits(cursor, date.day, 2);
    *cursor++ = ' ';
    writeDigits(cursor, hour(), 2);
    *cursor++ = ':';
    writeDigits(cursor, minute(), 2);
    *cursor++ = ':';
    writeDigits(cursor, second(), 2);
    if (const int milliseconds = millisecond(); milliseconds != 0) {
        *cursor++ = '.';
        writeDigits(cursor, milliseconds, 3);
    }
    return QString::fromLatin1(text, cursor - text);
}

DateTimeValue DateTimeValue::toSmallDateTime() const {
    DateTimeValue value = *this;
    const std::int32_t intoMinute = ticks % ticksPerMinute;
    value.ticks -= intoMinute;
    if (intoMinute >= ticksPerMinute / 2)
        value.ticks += ticksPerMinute;
    if (value.ticks >= ticksPerDay) {
        value.ticks -= ticksPerDay;
        ++value.days;
    }
    return value;
}

DateTimeValue DateTimeValue::toDate() const {
    return DateTimeValue{days, 0};
}

} // namespace db::tsql
