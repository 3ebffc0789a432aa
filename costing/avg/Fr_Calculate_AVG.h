#pragma once

#include "costing/DailyRunTime.h"
#include "costing/WindowProgress.h"
#include "costing/avg/AvgMonthRun.h"
#include "db/TQuery.h"
#include "db/TSQLScript.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <QWidget>

#include <functional>
#include <memory>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;
class TDM;

// The average-cost calculation window: the user picks a year and a start month and the window
// calculates every month from there through December, showing its progress; given a time of
// day it runs the same calculation by itself once a day. At the end of a run it records the
// year and the server time the run started in Config.
class TFrCalculate_AVG : public QWidget {
    Q_OBJECT
public:
    // The workstation's clock; replaceable so the daily run can be driven in tests.
    using Clock = std::function<QDateTime()>;

    // companyDatabase is argument 3 of the command line, as given.
    TFrCalculate_AVG(TDM& dm, const QString& companyDatabase, QWidget* parent = nullptr);

    // Set by start-up before the window is first shown.
    QString AutoRunTime;
    QString ProductFilter;

    void setClock(Clock clock) { clock_ = std::move(clock); }
    // A daily run is set up (an auto-run time was given).
    bool autoRun() const { return autoRun_; }
    bool running() const { return running_; }

    // Event handlers, named after their component and event.
    void FormShow();
    void BGetYearExit();
    void BCalculateClick();
    void BCloseClick();
    void FormKeyDown(int key);
    void Timer1Timer();

    void CalculateProdAVGMonth(int year, int month);

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
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void loadSql();
    void setInputEnabled(bool enabled);
    // Lets the window repaint now.
    void refresh();
    // "" when every average-cost procedure is installed, else the message naming the missing.
    QString missingProcedures();
    QString lastCalculationDate();

    TDM& dm_;
    QString companyDatabase_;
    Clock clock_;
    bool shown_ = false;
    bool sqlLoaded_ = false;
    bool autoRun_ = false;
    bool running_ = false;
    DailyRunTime dailyRun_;
    QDateTime runStart_;

    db::TSQLScript SQLCreate;
    db::TQuery QGetCalculateCostDate;
    db::TSQLScript SQLUpdateCalDate;
    db::TQuery QChkProcedure;
    db::TQuery QCloseGlHistory;
    // Made once the labels exist.
    std::unique_ptr<WindowProgress> progress_;
    std::unique_ptr<AvgMonthRun> monthRun_;
};
