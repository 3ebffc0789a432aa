#include "costing/DailyRunTime.h"

#include <QRegularExpression>

QTime DailyRunTime::parse(const QString& text) {
    // The digits 0 to 9 only: QTime alone would also take signs and blanks inside the text.
    static const QRegularExpression form(QStringLiteral(R"(^[0-9]{1,2}:[0-9]{2}(:[0-9]{2})?$)"));
    const auto given = text.trimmed();
    if (!form.match(given).hasMatch())
        return {};
    return QTime::fromString(given, given.count(':') == 2 ? QStringLiteral("H:mm:ss")
                                                          : QStringLiteral("H:mm"));
}

DailyRunTime::DailyRunTime(QTime at, const QDateTime& openedAt) : at_(at) {
    if (at_.isValid() && openedAt.time() > at_)
        lastRun_ = openedAt.date();
}

bool DailyRunTime::due(const QDateTime& now) {
    if (!at_.isValid() || now.date() == lastRun_ || now.time() < at_)
        return false;
    lastRun_ = now.date();
    return true;
}
