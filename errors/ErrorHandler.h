#pragma once

#include <QString>

#include <functional>

namespace errors {

class TFrShowError;

// The application-wide handler for errors that leave an event handler: logs the error in the
// central error log, translates it and shows it in the self-closing error dialog. The program
// then carries on.
class ErrorHandler {
public:
    // Writes one row into the central error log; may throw when the log cannot be reached.
    using LogWriter = std::function<void(const QString& message)>;
    // Shows the filled dialog and returns once it is closed.
    using DialogRunner = std::function<void(TFrShowError& dialog)>;

    explicit ErrorHandler(LogWriter writeErrorLog, DialogRunner runDialog = execDialog);

    // Handles one error by its message, exactly as raised. A log that cannot be written is noted
    // on the diagnostic output and the dialog is shown all the same.
    void ApplicationEvents1Exception(const QString& message) const;

    // Shows the dialog modally. When nobody is at the screen (STOCKCOST_UNATTENDED is set) it
    // writes the dialog's text to standard error instead, so that an error never holds up an
    // unattended run for the dialog's seconds.
    static void execDialog(TFrShowError& dialog);
    // The dialog's text as standard error gets it: each of its lines after "stockcost: error: ".
    static QString standardErrorText(const QString& errorText);

private:
    LogWriter writeErrorLog_;
    DialogRunner runDialog_;
};

} // namespace errors
