#pragma once

#include <QDateTime>

#include <optional>

namespace db {

// The fields of a date-time written as text.
struct DateTimeParts {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;

    // Orders date-times chronologically; equal for equal instants.
    qint64 sortKey() const;
    QDateTime toDateTime() const;
};

// Reads the date-time texts the embedded engine stores: "YYYY-MM-DD", "YYYYMMDD", either one
// followed by " HH:MM[:SS[.fffffff]]" (or "T" instead of the blank), with blanks around.
// Hand-written rather than a regular expression because collations call it for every
// comparison.
class DateTimeText {
public:
    static std::optional<DateTimeParts> parse(const char* text, int length);
    static std::optional<DateTimeParts> parse(const QString& text);
    // "YYYY-MM-DD HH:MM:SS" with ".fff" only when the milliseconds are not zero.
    static QString format(const DateTimeParts& parts);
    static DateTimeParts fromDateTime(const QDateTime& value);
};

} // namespace db
