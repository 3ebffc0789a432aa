#include "db/SqlValue.h"

#include <QRegularExpression>

namespace db {

QDateTime zeroDateTime() {
    return QDateTime(QDate(1899, 12, 30), QTime(0, 0));
}

QString formatSqlDateTime(const QDateTime& value) {
    if (value.time().msec() != 0)
        return value.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    return value.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QDateTime parseSqlDateTime(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral(
        R"(^\s*(\d{4})-(\d{1,2})-(\d{1,2})(?:[ T](\d{1,2}):(\d{2})(?::(\d{2})(?:\.(\d{1,7}))?)?)?\s*$)"));
    const auto match = pattern.match(text);
    if (!match.hasMatch())
        return {};
    const QDate date(match.captured(1).toInt(), match.captured(2).toInt(),
                     match.captured(3).toInt());
    if (!date.isValid())
        return {};
    int msec = 0;
    if (match.hasCaptured(7)) {
        QString fraction = match.captured(7).left(3);
        while (fraction.size() < 3)
            fraction += '0';
        msec = fraction.toInt();
    }
    const QTime time(match.captured(4).toInt(), match.captured(5).toInt(),
                     match.captured(6).toInt(), msec);
    if (!time.isValid())
        return {};
    return QDateTime(date, time);
}

DataType dataTypeOf(const QString& declaredType) {
    const auto base = declaredType.section('(', 0, 0).trimmed().toLower();
    if (base == QLatin1String("int") || base == QLatin1String("bigint") ||
        base == QLatin1String("smallint") || base == QLatin1String("tinyint") ||
        base == QLatin1String("bit"))
        return DataType::Integer;
    if (base.contains(QLatin1String("date")))
        return DataType::DateTime;
    if (base == QLatin1String("float") || base == QLatin1String("real"))
        return DataType::Float;
    return DataType::String;
}

} // namespace db
