#pragma once

#include "costing/MonthRunProgress.h"

#include <QElapsedTimer>
#include <QString>

class QLabel;
class QProgressBar;

// The progress of a month run in a calculation window: its status, month and product labels
// and its progress bar. The labels take every text as it comes, so they always name the item
// in hand; the bar and the screen follow at most 25 times a second. Painting after every
// product made a window's run several times slower than the same run on a terminal, for
// changes faster than anyone can read. Each repaint also lets the window's other messages
// through, so its timer keeps ticking during a run.
class WindowProgress : public MonthRunProgress {
public:
    static constexpr qint64 repaintMilliseconds = 40;

    WindowProgress(QLabel& status, QLabel& month, QLabel& item, QProgressBar& bar);

    void setStatus(const QString& text) override;
    void setMonth(const QString& text) override;
    void setProduct(const QString& text) override;
    void setProgressMaximum(int maximum) override;
    void setProgressPosition(int position) override;
    // Repaints when the last repaint is long enough ago.
    void refresh() override;
    // Shown in the status label until the next change of the progress.
    void showLockWait(const QString& database, int seconds) override;

    // Shows the latest state at once: the bar's position and a repaint.
    void flush();
    // How often the window has been repainted through this progress.
    int repaints() const { return repaints_; }

private:
    void endLockWait();
    void repaint();

    QLabel& status_;
    QLabel& month_;
    QLabel& item_;
    QProgressBar& bar_;
    int position_ = 0;
    int repaints_ = 0;
    QElapsedTimer sinceRepaint_;
    bool waitShown_ = false;
    QString statusBeforeWait_;
};
