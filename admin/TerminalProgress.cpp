#include "admin/TerminalProgress.h"

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
    // The label in front (product, work order) is the same for a whole phase.
    const auto colon = text.indexOf(QStringLiteral(" : "));
    item_ = colon < 0 ? text : text.mid(colon + 3);
}

void TerminalProgress::setProgressMaximum(int maximum) {
    endPhase();
    ++phase_;
    maximum_ = maximum;
    position_ = 0;
    item_.clear();
    if (interactive_)
        draw();
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
    auto item = item_;
    if (item.size() > itemWidth)
        item = item.left(itemWidth - 3) + QStringLiteral("...");
    return QStringLiteral("%1-%2  phase %3/3  %4/%5  %6  %7 s")
        .arg(year_, 4, 10, QLatin1Char('0'))
        .arg(month_, 2, 10, QLatin1Char('0'))
        .arg(phase_)
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
