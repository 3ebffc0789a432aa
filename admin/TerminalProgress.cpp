#include "admin/TerminalProgress.h"

#include <QRegularExpression>

namespace {

// Rewrites of the terminal line at most this often.
constexpr qint64 redrawMilliseconds = 100;
constexpr int itemWidth = 32;

} // namespace

TerminalProgress::TerminalProgress(QTextStream& out, bool interactive)
    : out_(out), interactive_(interactive) {
    elapsed_.start();
}

void TerminalProgress::beginMonth(int year, int month) {
    endPhase();
    year_ = year;
    month_ = month;
    phase_ = 0;
}

void TerminalProgress::setProduct(const QString& text) {
    endLockWait();
    // The label in front (product, work order) is the same for a whole phase, and the count
    // after it ("3 / 20 : ") is on the line already.
    static const QRegularExpression label(QStringLiteral("^[^:]* : (\\d+ / \\d+ : )?"));
    item_ = text.mid(label.match(text).capturedLength());
}

void TerminalProgress::setProgressMaximum(int maximum) {
    endLockWait();
    endPhase();
    ++phase_;
    maximum_ = maximum;
    position_ = 0;
    item_.clear();
    if (interactive_)
        draw();
}

void TerminalProgress::setProgressPosition(int position) {
    endLockWait();
    position_ = position;
}

void TerminalProgress::showLockWait(const QString& database, int seconds) {
    const bool begins = lockWait_.isEmpty();
    lockWait_ = QStringLiteral("waiting: %1 is locked by another connection (%2 s)")
                    .arg(database)
                    .arg(seconds);
    if (!interactive_) {
        // One line for the wait; the time it took shows in the next line's seconds.
        if (begins) {
            out_ << line() << "\n";
            out_.flush();
        }
        return;
    }
    if (lastDraw_ < 0 || elapsed_.elapsed() - lastDraw_ >= redrawMilliseconds)
        draw();
}

void TerminalProgress::endLockWait() {
    lockWait_.clear();
}

void TerminalProgress::refresh() {
    if (!interactive_ || phase_ == 0)
        return;
    if (lastDraw_ < 0 || elapsed_.elapsed() - lastDraw_ >= redrawMilliseconds)
        draw();
}

void TerminalProgress::finish() {
    endPhase();
    phase_ = 0;
    if (interactive_ && drawnLength_ > 0) {
        out_ << "\n";
        out_.flush();
        drawnLength_ = 0;
    }
}

QString TerminalProgress::line() const {
    // Outside a phase (the checks before the first month, a month's clearing) only a wait has
    // anything to show.
    if (phase_ == 0) {
        const auto month = month_ == 0 ? QString()
                                       : QStringLiteral("%1-%2  ")
                                             .arg(year_, 4, 10, QLatin1Char('0'))
                                             .arg(month_, 2, 10, QLatin1Char('0'));
        return month + QStringLiteral("%1  %2 s").arg(lockWait_).arg(elapsedSeconds(), 0, 'f', 1);
    }
    auto item = item_;
    if (item.size() > itemWidth)
        item = item.left(itemWidth - 3) + QStringLiteral("...");
    if (!lockWait_.isEmpty())
        item = lockWait_;
    return QStringLiteral("%1-%2  phase %3/%4  %5/%6  %7  %8 s")
        .arg(year_, 4, 10, QLatin1Char('0'))
        .arg(month_, 2, 10, QLatin1Char('0'))
        .arg(phase_)
        .arg(phaseCount_)
        .arg(position_)
        .arg(maximum_)
        .arg(item, -itemWidth)
        .arg(elapsedSeconds(), 0, 'f', 1);
}

void TerminalProgress::draw() {
    const auto text = line();
    // Blanks over what is left of a longer line drawn before.
    const int padding = qMax(0, drawnLength_ - int(text.size()));
    out_ << '\r' << text << QString(padding, QLatin1Char(' '));
    out_.flush();
    drawnLength_ = int(text.size());
    lastDraw_ = elapsed_.elapsed();
}

// The finished phase keeps its last state on screen, or gets its line in a log.
void TerminalProgress::endPhase() {
    if (phase_ == 0)
        return;
    if (interactive_) {
        draw();
    } else {
        out_ << line() << "\n";
        out_.flush();
    }
}
