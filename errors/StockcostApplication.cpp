#include "errors/StockcostApplication.h"

#include "db/DatabaseError.h"
#include "db/TSQLScript.h"

#include <QDebug>

#include <exception>
#include <new>
#include <utility>

namespace errors {

namespace {

// The message of the error being handled; called only inside a catch block.
QString currentErrorMessage() {
    try {
        throw;
    } catch (const db::DatabaseError& error) {
        return error.message();
    } catch (const std::bad_alloc&) {
        // One text on every standard library, so the translation table can recognise it.
        return QStringLiteral("std::bad_alloc");
    } catch (const std::exception& error) {
        return QString::fromUtf8(error.what());
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}

} // namespace

StockcostApplication::StockcostApplication(int& argc, char** argv) : QApplication(argc, argv) {}

void StockcostApplication::setExceptionHandler(ExceptionHandler handler) {
    handler_ = std::move(handler);
}

bool StockcostApplication::notify(QObject* receiver, QEvent* event) {
    return dispatchGuarded([&] { return QApplication::notify(receiver, event); }, handler_);
}

bool StockcostApplication::dispatchGuarded(const std::function<bool()>& dispatch,
                                           const ExceptionHandler& handler) noexcept {
    QString message;
    try {
        try {
            return dispatch();
        } catch (const db::SilentAbort&) {
            return false;
        } catch (...) {
            message = currentErrorMessage();
        }
        // Reported outside the catch block: the handler runs a modal loop of its own, in which
        // further errors are caught and reported one by one.
        if (handler)
            handler(message);
        else
            qWarning().noquote() << message;
    } catch (...) {
        qCritical("An error occurred while an error was being reported");
    }
    return false;
}

} // namespace errors
