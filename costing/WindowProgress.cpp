#include "costing/WindowProgress.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>

WindowProgress::WindowProgress(QLabel& status, QLabel& month, QLabel& item, QProgressBar& bar)
    : status_(status), month_(month), item_(item), bar_(bar) {}

void WindowProgress::setStatus(const QString& text) {
    waitShown_ = false;
    status_.setText(text);
}

void WindowProgress::setMonth(const QString& text) {
    endLockWait();
    month_.setText(text);
}

void WindowProgress::setProduct(const QString& text) {
    endLockWait();
    item_.setText(text);
}

void WindowProgress::setProgressMaximum(int maximum) {
    endLockWait();
    // A phase with nothing to do shows an empty bar; a range of 0 to 0 would show a busy one.
    bar_.setRange(0, maximum > 0 ? maximum : 1);
    bar_.setValue(0);
    position_ = 0;
}

void WindowProgress::setProgressPosition(int position) {
    endLockWait();
    // The bar paints itself at once when its value changes, so it is set at repaints only.
    position_ = position;
}

void WindowProgress::refresh() {
    if (sinceRepaint_.isValid() && sinceRepaint_.elapsed() < repaintMilliseconds)
        return;
    repaint();
}

void WindowProgress::showLockWait(const QString& database, int seconds) {
    if (!waitShown_)
        statusBeforeWait_ = status_.text();
    waitShown_ = true;
    status_.setText(
        QStringLiteral("สถานะ : รอ ฐานข้อมูล %1 ถูกผู้ใช้อื่นล็อกอยู่ (%2 วินาที)").arg(database).arg(seconds));
    refresh();
}

void WindowProgress::flush() {
    repaint();
}

void WindowProgress::endLockWait() {
    if (!waitShown_)
        return;
    waitShown_ = false;
    status_.setText(statusBeforeWait_);
}

void WindowProgress::repaint() {
    bar_.setValue(position_);
    QCoreApplication::processEvents();
    ++repaints_;
    sinceRepaint_.start();
}
