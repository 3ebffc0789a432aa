#pragma once

#include "costing/CalculationWindow.h"
#include "costing/avg/AvgMonthRun.h"
#include "db/TQuery.h"

#include <QDateTime>
#include <QString>

#include <memory>

class TDM;

// The average-cost calculation window: the user picks a year and a start month and the window
// calculates every month from there through December, showing its progress; given a time of
// day it runs the same calculation by itself once a day. At the end of a run it records the
// year and the server time the run started in Config.
class TFrCalculate_AVG : public CalculationWindow {
    Q_OBJECT
public:
    // companyDatabase is argument 3 of the command line, as given.
    TFrCalculate_AVG(TDM& dm, const QString& companyDatabase, QWidget* parent = nullptr);

    void FormShow() override;
    void BGetYearExit() override;
    void BCalculateClick() override;

    void CalculateProdAVGMonth(int year, int month);

private:
    void loadSql();

    bool sqlLoaded_ = false;
    QDateTime runStart_;

    db::TQuery QCloseGlHistory;
    std::unique_ptr<AvgMonthRun> monthRun_;
};
