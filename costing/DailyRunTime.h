#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

// The time of day of a window's daily run and when the run is due: at the first tick at or
// after that time, so a late tick cannot miss it, once a day, and not on the day the window
// was opened after the time.
class DailyRunTime {
public:
    // The time a command line gives: hours 0 to 23 and minutes, and seconds if given, 0 to 59
    // ("22:30", "22:30:15"), blanks around it ignored. Invalid for anything else ("25:00",
    // "22:61", "ab:cd", ":").
    static QTime parse(const QString& text);

    DailyRunTime() = default;
    // at invalid: never due.
    DailyRunTime(QTime at, const QDateTime& openedAt);

    bool isValid() const { return at_.isValid(); }
    QTime at() const { return at_; }

    // True when the run is due at now; the day then counts as run.
    bool due(const QDateTime& now);

private:
    QTime at_;
    QDate lastRun_;
};
