#include "db/embedded/DateTimeText.h"

#include <QDate>

namespace db {

namespace {

// Reads exactly count digits at position; false when one of them is not a digit.
bool readDigits(const char* text, int length, int& position, int count, int& value) {
    if (position + count > length)
        return false;
    value = 0;
    for (int i = 0; i < count; ++i) {
        const char c = text[position + i];
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    position += count;
    return true;
}

bool accept(const char* text, int length, int& position, char wanted) {
    if (position < length && text[position] == wanted) {
        ++position;
        return true;
    }
    return false;
}

bool readTime(const char* text, int length, int& position, DateTimeParts& parts) {
    // One or two digits for the hour, as SQL Server takes "9:05".
    if (!readDigits(text, length, position, 1, parts.hour))
        return false;
    int second = 0;
    if (readDigits(text, length, position, 1, second))
        parts.hour = parts.hour * 10 + second;
    if (!accept(text, length, position, ':') ||
        !readDigits(text, length, position, 2, parts.minute))
        return false;
    if (!accept(text, length, position, ':'))
        return true;
    if (!readDigits(text, length, position, 2, parts.second))
        return false;
    if (!accept(text, length, position, '.'))
        return true;
    int digits = 0;
    int fraction = 0;
    while (position < length && text[position] >= '0' && text[position] <= '9' && digits < 7) {
        if (digits < 3)
            fraction = fraction * 10 + (text[position] - '0');
        ++digits;
        ++position;
    }
    if (digits == 0)
        return false;
    for (int i = digits; i < 3; ++i)
        fraction *= 10;
    parts.millisecond = fraction;
    return true;
}

} // namespace

qint64 DateTimeParts::sortKey() const {
    qint64 key = year;
    key = key * 13 + month;
    key = key * 32 + day;
    key = key * 24 + hour;
    key = key * 60 + minute;
    key = key * 60 + second;
    return key * 1000 + millisecond;
}

QDateTime DateTimeParts::toDateTime() const {
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second, millisecond));
}

std::optional<DateTimeParts> DateTimeText::parse(const char* text, int length) {
    int position = 0;
    while (position < length && text[position] == ' ')
        ++position;
    while (length > position && text[length - 1] == ' ')
        --length;

    DateTimeParts parts;
    if (!readDigits(text, length, position, 4, parts.year))
        return std::nullopt;
    if (accept(text, length, position, '-')) {
        if (!readDigits(text, length, position, 2, parts.month) ||
            !accept(text, length, position, '-') ||
            !readDigits(text, length, position, 2, parts.day))
            return std::nullopt;
    } else if (!readDigits(text, length, position, 2, parts.month) ||
               !readDigits(text, length, position, 2, parts.day)) {
        return std::nullopt;
    }
    if (position < length) {
        if (text[position] != ' ' && text[position] != 'T')
            return std::nullopt;
        ++position;
        if (!readTime(text, length, position, parts) || position != length)
            return std::nullopt;
    }
    if (!QDate::isValid(parts.year, parts.month, parts.day) || parts.hour > 23 ||
        parts.minute > 59 || parts.second > 59)
        return std::nullopt;
    return parts;
}

std::optional<DateTimeParts> DateTimeText::parse(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return parse(utf8.constData(), int(utf8.size()));
}

QString DateTimeText::format(const DateTimeParts& parts) {
    QString text = QStringLiteral("%1-%2-%3 %4:%5:%6")
                       .arg(parts.year, 4, 10, QLatin1Char('0'))
                       .arg(parts.month, 2, 10, QLatin1Char('0'))
                       .arg(parts.day, 2, 10, QLatin1Char('0'))
                       .arg(parts.hour, 2, 10, QLatin1Char('0'))
                       .arg(parts.minute, 2, 10, QLatin1Char('0'))
                       .arg(parts.second, 2, 10, QLatin1Char('0'));
    if (parts.millisecond != 0)
        text += QStringLiteral(".%1").arg(parts.millisecond, 3, 10, QLatin1Char('0'));
    return text;
}

DateTimeParts DateTimeText::fromDateTime(const QDateTime& value) {
    const QDate date = value.date();
    const QTime time = value.time();
    return {date.year(),   date.month(),  date.day(), time.hour(),
            time.minute(), time.second(), time.msec()};
}

} // namespace db
