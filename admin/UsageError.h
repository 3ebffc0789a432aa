#pragma once

#include <QString>

#include <stdexcept>

// A malformed command line: the tool prints the message and its usage and exits with 2.
class UsageError : public std::runtime_error {
public:
    explicit UsageError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

// The whole number an option was given, within low and high; a usage error otherwise.
inline qint64 wholeNumberOption(const QString& option, const QString& text, qint64 low,
                                qint64 high) {
    bool ok = false;
    const auto value = text.toLongLong(&ok);
    if (!ok || value < low || value > high)
        throw UsageError(QStringLiteral("%1 expects a whole number from %2 to %3, not '%4'")
                             .arg(option)
                             .arg(low)
                             .arg(high)
                             .arg(text));
    return value;
}
