#include "platform/MessageBox.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>

namespace platform {

bool unattended() {
    return !qEnvironmentVariableIsEmpty("STOCKCOST_UNATTENDED");
}

void showMessage(const QString& text, QWidget* parent) {
    if (unattended()) {
        std::fprintf(stderr, "stockcost: message: %s\n", text.toUtf8().constData());
        std::fflush(stderr);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), text, QMessageBox::Ok,
                    parent);
    box.exec();
}

} // namespace platform
