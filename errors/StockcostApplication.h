#pragma once

#include <QApplication>
#include <QString>

#include <functional>

namespace errors {

// The application object. Every event passes through notify(); an error that escapes an event
// handler (button, timer, window message) is caught there and handed to the installed handler,
// and the program keeps running. Nothing ever leaves notify() by an exception: Qt's event loop
// is not exception-safe.
class StockcostApplication : public QApplication {
    Q_OBJECT
public:
    // Receives the error's message, exactly as raised.
    using ExceptionHandler = std::function<void(const QString& message)>;

    StockcostApplication(int& argc, char** argv);

    // Installs the handler; an empty one puts the errors on the diagnostic output only.
    void setExceptionHandler(ExceptionHandler handler);
    const ExceptionHandler& exceptionHandler() const noexcept { return handler_; }

    bool notify(QObject* receiver, QEvent* event) override;

    // Runs one dispatch and sorts out whatever escapes it: a database error or any other error
    // goes to the handler, a silent abort is dropped. Returns the dispatch's result, false
    // after an error.
    static bool dispatchGuarded(const std::function<bool()>& dispatch,
                                const ExceptionHandler& handler) noexcept;

private:
    ExceptionHandler handler_;
};

} // namespace errors
