#include "errors/ErrorHandler.h"

#include "db/DatabaseError.h"
#include "errors/MessageTranslation.h"
#include "errors/TFrShowError.h"
#include "platform/MessageBox.h"

#include <QDebug>
#include <QRegularExpression>

#include <cstdio>
#include <exception>
#include <utility>

namespace errors {

ErrorHandler::ErrorHandler(LogWriter writeErrorLog, DialogRunner runDialog)
    : writeErrorLog_(std::move(writeErrorLog)), runDialog_(std::move(runDialog)) {}

void ErrorHandler::ApplicationEvents1Exception(const QString& message) const {
    // A log that cannot be written must not hide the error the user has to see: the failure
    // goes to the diagnostic output and the original error is shown as usual.
    if (writeErrorLog_) {
        try {
            writeErrorLog_(message);
        } catch (const db::DatabaseError& failure) {
            qWarning().noquote() << "Error log not written:" << failure.message();
        } catch (const std::exception& failure) {
            qWarning().noquote() << "Error log not written:" << QString::fromUtf8(failure.what());
        } catch (...) {
            qWarning().noquote() << "Error log not written: unknown error";
        }
    }

    TFrShowError dialog;
    dialog.ErrorText = composeErrorText(message);
    if (runDialog_)
        runDialog_(dialog);
}

void ErrorHandler::execDialog(TFrShowError& dialog) {
    if (platform::unattended()) {
        std::fputs(standardErrorText(dialog.ErrorText).toUtf8().constData(), stderr);
        std::fflush(stderr);
        return;
    }
    dialog.exec();
}

QString ErrorHandler::standardErrorText(const QString& errorText) {
    // The dialog's lines end in carriage returns, which would overwrite each other in a log.
    QString text;
    for (const auto& line :
         errorText.split(QRegularExpression(QStringLiteral("[\r\n]+")), Qt::SkipEmptyParts))
        text += QStringLiteral("stockcost: error: ") + line + '\n';
    return text;
}

} // namespace errors
