#pragma once

#include "costing/CalculationDate.h"
#include "costing/DailyRunTime.h"
#include "costing/WindowProgress.h"

#include <QColor>
#include <QDateTime>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QComboBox;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;
class TDM;
class YearRun;

// What the two calculation windows have in common: the choice of year and start month, the
// progress labels and bar, the two buttons and the last-run line, stacked from the top; Enter
// moving on to the next control; the month list rebuilt when the year edit is left; the daily
// run started by the one-second timer; the guard that keeps the controls disabled while a run
// lasts; and the Config columns where runs are recorded. The average-cost and the FIFO window
// add their show handler, their month list and their run.
class CalculationWindow : public QWidget {
    Q_OBJECT
public:
    // The workstation's clock; replaceable so the daily run can be driven in tests.
    using Clock = std::function<QDateTime()>;

    // Set by start-up before the window is first shown.
    QString AutoRunTime;
    QString ProductFilter;

    void setClock(Clock clock) { clock_ = std::move(clock); }
    // A daily run is set up (an auto-run time was given).
    bool autoRun() const { return autoRun_; }
    bool running() const { return running_; }

    // Event handlers, named after their component and event.
    virtual void FormShow() = 0;
    virtual void BGetYearExit() = 0;
    virtual void BCalculateClick() = 0;
    void BCloseClick();
    void FormKeyDown(int key);
    void Timer1Timer();

    // The month run's progress in the labels and the progress bar.
    WindowProgress& progress() { return *progress_; }

    QGroupBox* GroupBox3;
    QLabel* LbYear;
    QLineEdit* BGetYear;
    QLabel* LbPeriodNo;
    QComboBox* PeriodNo;
    QGroupBox* GroupBox1;
    QLabel* LDate;
    QLabel* LStatus;
    QLabel* LMonth;
    QLabel* LProd;
    QProgressBar* abfProgressBar1;
    QGroupBox* GroupBox2;
    QPushButton* BCalculate;
    QPushButton* BClose;
    QGroupBox* GroupBox4;
    QLabel* LastCalDate;
    QTimer* Timer1;

protected:
    static const QString dataAlias;
    static const QString runStartLabel;
    static const QString doneStatus;

    // companyDatabase is argument 3 of the command line, as given. yearCaption is the caption
    // of the year's group box and statusColor the colour of the status line, as each window
    // has them.
    CalculationWindow(TDM& dm, const QString& companyDatabase, const QString& yearCaption,
                      const QColor& statusColor, QWidget* parent);

    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    // The daily run from AutoRunTime as start-up gave it. A time written hours:minutes runs at
    // that minute's first second and is shown with ":00"; one that has its seconds runs at
    // that second. Without a time the timer stays off and "08:08:08" is shown.
    void setUpAutoRun();
    // The year to calculate, or nothing once a message has refused the year or the product
    // filter; nothing has changed then.
    std::optional<int> yearToCalculate();
    // Runs the body as a run: the controls are disabled and the timer starts no run until it
    // ends, however it ends; a statement held up by another user's lock says so in the status
    // line. An error goes on to the application's handler.
    void runGuarded(const std::function<void()>& body);
    // The labels at the end of the months: start and end time, the status, and the month and
    // product labels emptied.
    void showRunEnd(const QDateTime& runStart, const QString& status);
    // The last-run line after a run: the company database and the date just recorded.
    void showLastCalculation();
    // The last-run line as the show handler writes it, label as the window has it, with the
    // daily run's time after the date.
    void showLastCalculationAndAutoRun(const QString& label);
    // One message naming the work orders whose cost still changed after the last pass allowed.
    void showUnsettled(const YearRun& yearRun);
    // Lets the window repaint now.
    void refresh();

    TDM& dm_;
    QString companyDatabase_;
    Clock clock_;
    CalculationDate calculationDate_;
    // The year and month row, for a window that shows more there.
    QHBoxLayout* yearRow_ = nullptr;
    // Made once the labels exist.
    std::unique_ptr<WindowProgress> progress_;

private:
    void createControls(const QString& yearCaption, const QColor& statusColor);
    void setInputEnabled(bool enabled);

    bool shown_ = false;
    bool autoRun_ = false;
    bool running_ = false;
    DailyRunTime dailyRun_;
};
