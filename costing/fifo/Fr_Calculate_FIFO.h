#pragma once

#include "costing/CalculationWindow.h"
#include "costing/fifo/FifoMonthRun.h"
#include "db/TQuery.h"

#include <QDateTime>
#include <QString>

#include <memory>

class QCloseEvent;
class QLabel;
class TDM;
class TDMConfig;

// The FIFO calculation window: the user picks a year and a start month after the last closed
// month and the window has the server's FIFO procedures cost every month from there through
// December, showing its progress; given a time of day it runs the same calculation by itself
// once a day. A procedure call that fails does not stop the run: it is written to the error
// log, and the run ends by showing how many failed. At the end of a run the window records the
// year and the server time the run started in Config.
//
// Closing the window during a run stops the run after the procedure call in hand (each call is
// saved whole or not at all), records nothing, and then closes the window, which ends the
// program. A later run of the same months calculates them again from the start.
class TFrCalculate_FIFO : public CalculationWindow {
    Q_OBJECT
public:
    // The item of the month list when the year's accounts are closed through December.
    static const QString cannotCalculate;

    // companyDatabase is argument 3 of the command line, as given. The configuration module
    // gives the company record and the error log.
    TFrCalculate_FIFO(TDM& dm, TDMConfig& dmConfig, const QString& companyDatabase,
                      QWidget* parent = nullptr);

    void FormShow() override;
    void BGetYearExit() override;
    void BCalculateClick() override;

    void CalculateProdFIFOMonth(int year, int month);

    // The calls that failed in the last run.
    const std::vector<FifoMonthRun::Failure>& failures() const { return monthRun_->failures(); }

    QLabel* StartPM;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void loadSql();
    // The status line at the end of the months: done, or done with that many failures.
    QString endStatus() const;
    // The one message after a run with failures: their number and the first of them.
    QString failureMessage() const;
    // RunYear of the company record, as text; empty when there is no record.
    QString runYear() const;
    void closeIfAsked();

    TDMConfig& dmConfig_;
    bool sqlLoaded_ = false;
    bool closeRequested_ = false;
    QDateTime runStart_;

    db::TQuery QCloseGlHistory;
    std::unique_ptr<FifoMonthRun> monthRun_;
};
