#pragma once

#include <QString>

#include <stdexcept>

// A malformed command line: the tool prints the message and its usage and exits with 2.
class UsageError : public std::runtime_error {
public:
    explicit UsageError(const QString& message) : std::runtime_error(message.toStdString()) {}
};
