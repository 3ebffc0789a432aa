#pragma once

#include <QString>

#include <optional>

namespace errors {

// The workstation's part of an error log row: @CompName and @LogName of AddErrorLog.
struct ErrorLogFields {
    QString compName; // the computer's name without surrounding blanks
    QString logName;  // the Windows login with a to z upper-cased; "UNKNOWN" when it is not known

    static ErrorLogFields fromWorkstation(const QString& computerName,
                                          const std::optional<QString>& loginName);

    // Asks the platform afresh at every call.
    static ErrorLogFields current();
};

} // namespace errors
