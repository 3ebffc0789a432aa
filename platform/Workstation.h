#pragma once

#include <QString>

#include <optional>

// What the workstation says about itself, for the central error log. Windows and Linux calls are
// kept here so the rest of the program stays portable.
namespace platform {

// The computer's name as the system reports it (not trimmed); empty when it cannot be read.
QString computerName();

// The name of the user logged on to the workstation; nothing when the system cannot tell.
std::optional<QString> loginName();

} // namespace platform
