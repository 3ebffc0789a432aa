#pragma once

#include "costing/MonthRunProgress.h"

#include <QElapsedTimer>
#include <QString>
#include <QTextStream>

// The progress of an unattended calculation as one terminal line: month, phase, count, the
// product or work order in hand and the time since the start. On a terminal the line is
// rewritten in place (a few times a second); otherwise, for a log file or cron's mail, each
// finished phase gets a line of its own. A wait for another connection's lock shows in place
// of the item in hand, or, in a log, as a line when it begins.
class TerminalProgress : public MonthRunProgress {
public:
    TerminalProgress(QTextStream& out, bool interactive);

    // How many phases a month run has: 3 for the average cost (the default), 4 for FIFO.
    void setPhaseCount(int phases) { phaseCount_ = phases; }
    // Called before each month run.
    void beginMonth(int year, int month);
    // Ends the last line; called after the last month and before an error is reported.
    void finish();

    double elapsedSeconds() const { return double(elapsed_.elapsed()) / 1000.0; }

    void setStatus(const QString&) override {}
    void setMonth(const QString&) override {}
    void setProduct(const QString& text) override;
    void setProgressMaximum(int maximum) override;
    void setProgressPosition(int position) override;
    void refresh() override;
    void showLockWait(const QString& database, int seconds) override;

private:
    QString line() const;
    void draw();
    void endPhase();
    void endLockWait();

    QTextStream& out_;
    bool interactive_;
    QElapsedTimer elapsed_;
    qint64 lastDraw_ = -1;
    int drawnLength_ = 0;
    int year_ = 0;
    int month_ = 0;
    int phase_ = 0;
    int phaseCount_ = 3;
    int maximum_ = 0;
    int position_ = 0;
    QString item_;
    // The wait in hand, shown instead of the item; empty when there is none.
    QString lockWait_;
};
