#include "costing/avg/Fr_Calculate_AVG.h"

#include "costing/ProcedureCheck.h"
#include "costing/YearRun.h"
#include "costing/avg/AvgSql.h"
#include "costing/avg/UncalculatedMonths.h"
#include "data/U_DM.h"
#include "platform/MessageBox.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>

TFrCalculate_AVG::TFrCalculate_AVG(TDM& dm, const QString& companyDatabase, QWidget* parent)
    : CalculationWindow(dm, companyDatabase, QStringLiteral("เลือกปีที่ต้องการคำนวณ"),
                        QColor(Qt::darkBlue), parent),
      QCloseGlHistory(QStringLiteral("QCloseGlHistory"), dataAlias) {
    setObjectName(QStringLiteral("FrCalculate_AVG"));
    setWindowTitle(QStringLiteral("โปรแกรมคำนวณต้นทุน Average (AVG)"));
    monthRun_ = std::make_unique<AvgMonthRun>(*progress_, dataAlias);
}

// The texts are read once the connection is open.
void TFrCalculate_AVG::loadSql() {
    if (sqlLoaded_)
        return;
    QCloseGlHistory.setSql(costing::avgSql(QCloseGlHistory.name(), dataAlias));
    sqlLoaded_ = true;
}

void TFrCalculate_AVG::FormShow() {
    setWindowTitle(QStringLiteral("โปรแกรมคำนวณต้นทุน Average (AVG15.11.13)"));
    calculationDate_.addColumns();
    setUpAutoRun();
    showLastCalculationAndAutoRun(QStringLiteral(" คำนวณล่าสุด : "));

    if (!ProductFilter.isEmpty())
        setWindowTitle(windowTitle() + QStringLiteral(" (Product :") + ProductFilter +
                       QStringLiteral(")"));
    adjustSize();
    abfProgressBar1->setValue(0);
    BGetYear->setText(QStringLiteral("%1").arg(clock_().date().year(), 4, 10, QLatin1Char('0')));
    BGetYearExit();
    refresh();
}

void TFrCalculate_AVG::BGetYearExit() {
    loadSql();
    PeriodNo->clear();
    QCloseGlHistory.close();
    QCloseGlHistory.paramByName(QStringLiteral("GetYear")).setAsInteger(BGetYear->text().toInt());
    QCloseGlHistory.open();
    for (int month = 1; month <= 12; ++month)
        PeriodNo->addItem(QStringLiteral("%1").arg(month, 3));
    PeriodNo->setCurrentIndex(0);
}

void TFrCalculate_AVG::BCalculateClick() {
    const auto year = yearToCalculate();
    if (!year)
        return;
    const int startMonth = PeriodNo->currentText().trimmed().toInt();
    if (!ProductFilter.isEmpty()) {
        const auto uncalculated = UncalculatedMonths::find(dataAlias, *year, startMonth);
        if (!uncalculated.isEmpty()) {
            platform::showMessage(UncalculatedMonths::refusal(*year, uncalculated), this);
            return;
        }
    }
    runGuarded([&] {
        runStart_ = dm_.GetServerTime();
        LDate->setText(runStartLabel + dm_.GetServerTime().toString(QStringLiteral("HH:mm:ss")));
        refresh();

        const auto missing = ProcedureCheck::missing(dataAlias, ProcedureCheck::averageCost());
        if (!missing.isEmpty()) {
            // Nothing was calculated, so the last calculation stays as it was.
            platform::showMessage(ProcedureCheck::message(missing), this);
            return;
        }

        YearRun yearRun(dataAlias, *progress_);
        yearRun.run(*year, startMonth, [&](int month) { CalculateProdAVGMonth(*year, month); });
        showRunEnd(runStart_, doneStatus);

        calculationDate_.record(*year, runStart_);
        showLastCalculation();
        showUnsettled(yearRun);
    });
}

void TFrCalculate_AVG::CalculateProdAVGMonth(int year, int month) {
    monthRun_->setCompanyDatabase(companyDatabase_);
    monthRun_->setProductFilter(ProductFilter);
    monthRun_->CalculateProdAVGMonth(year, month);
}
