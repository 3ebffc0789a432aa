#include "costing/fifo/Fr_Calculate_FIFO.h"

#include "costing/CostingSql.h"
#include "costing/ProcedureCheck.h"
#include "costing/YearRun.h"
#include "data/Dm_Config.h"
#include "data/U_DM.h"
#include "platform/MessageBox.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTimer>

#include <optional>

const QString TFrCalculate_FIFO::cannotCalculate = QStringLiteral(" ไม่สามารถคำนวณได้");

namespace {

// The failures the message names; the error log has them all.
constexpr int failuresShown = 10;

} // namespace

TFrCalculate_FIFO::TFrCalculate_FIFO(TDM& dm, TDMConfig& dmConfig, const QString& companyDatabase,
                                     QWidget* parent)
    : CalculationWindow(dm, companyDatabase, QStringLiteral("เลือกปีที่ต้องการคำนวน"), QColor(), parent),
      dmConfig_(dmConfig), QCloseGlHistory(QStringLiteral("QCloseGlHistory"), dataAlias) {
    setObjectName(QStringLiteral("FrCalculate_FIFO"));
    setWindowTitle(QStringLiteral("โปรแกรมคำนวณต้นทุน FirstIn FirstOut (FIFO)"));
    StartPM = new QLabel(GroupBox3);
    StartPM->setObjectName(QStringLiteral("StartPM"));
    // After the month list, before the stretch at the end of the row.
    yearRow_->insertWidget(yearRow_->count() - 1, StartPM);
    monthRun_ = std::make_unique<FifoMonthRun>(*progress_, dataAlias);
    monthRun_->setErrorLog([this](const QString& message) { dmConfig_.WriteErrorLog(message); });
}

// The texts are read once the connection is open.
void TFrCalculate_FIFO::loadSql() {
    if (sqlLoaded_)
        return;
    QCloseGlHistory.setSql(
        costing::costingSql(QStringLiteral("fifo/sql"), QCloseGlHistory.name(), dataAlias));
    sqlLoaded_ = true;
}

void TFrCalculate_FIFO::FormShow() {
    calculationDate_.addColumns();
    setUpAutoRun();
    showLastCalculationAndAutoRun(QStringLiteral("คำนวณล่าสุด : "));

    StartPM->setText(QStringLiteral(" [ เริ่มใช้งานโปรแกรมปี : ") + runYear() + QStringLiteral(" ] "));
    setWindowTitle(QStringLiteral("โปรแกรมคำนวณต้นทุน FirstIn FirstOut (FIFO)"));
    if (!ProductFilter.isEmpty())
        setWindowTitle(windowTitle() + QStringLiteral(" (Product :") + ProductFilter +
                       QStringLiteral(")"));
    adjustSize();
    abfProgressBar1->setValue(0);
    BGetYear->setText(QStringLiteral("%1").arg(clock_().date().year(), 4, 10, QLatin1Char('0')));
    BGetYear->selectAll();
    BGetYearExit();
    refresh();
}

QString TFrCalculate_FIFO::runYear() const {
    auto& company = dmConfig_.Company();
    if (!company.isOpen() || company.isEmpty())
        return {};
    return company.fieldByName(QStringLiteral("RunYear")).asString();
}

// The months after the last closed one: all twelve, padded, when none is closed; the rest,
// unpadded, when some are; none when December is.
void TFrCalculate_FIFO::BGetYearExit() {
    loadSql();
    PeriodNo->clear();
    QCloseGlHistory.close();
    QCloseGlHistory.paramByName(QStringLiteral("GetYear")).setAsInteger(BGetYear->text().toInt());
    QCloseGlHistory.open();
    // No row for the year, or a null, counts as nothing closed.
    const auto lastPost = QCloseGlHistory.fieldByName(QStringLiteral("LastPost")).asInteger();
    if (lastPost >= 12) {
        PeriodNo->addItem(cannotCalculate);
    } else if (lastPost <= 0) {
        for (int month = 1; month <= 12; ++month)
            PeriodNo->addItem(QStringLiteral("%1").arg(month, 3));
    } else {
        for (auto month = lastPost + 1; month <= 12; ++month)
            PeriodNo->addItem(QString::number(month));
    }
    PeriodNo->setCurrentIndex(0);
    QCloseGlHistory.close();
    refresh();
}

void TFrCalculate_FIFO::BCalculateClick() {
    const auto year = yearToCalculate();
    if (!year)
        return;
    monthRun_->beginRun();
    try {
        runGuarded([&] {
            runStart_ = dm_.GetServerTime();
            LDate->setText(runStartLabel + runStart_.toString(QStringLiteral("HH:mm:ss")));
            refresh();

            const auto missing = ProcedureCheck::missing(dataAlias, ProcedureCheck::fifo());
            if (!missing.isEmpty()) {
                // Nothing was calculated, so the last calculation stays as it was.
                platform::showMessage(ProcedureCheck::message(missing), this);
                return;
            }

            // A year closed through December offers no month: nothing is calculated, and the
            // attempt is recorded all the same.
            const auto startMonth = PeriodNo->currentText().trimmed();
            std::optional<YearRun> yearRun;
            if (startMonth != cannotCalculate.trimmed()) {
                yearRun.emplace(dataAlias, *progress_);
                // A stopped month run calls nothing more.
                yearRun->run(*year, startMonth.toInt(),
                             [&](int month) { CalculateProdFIFOMonth(*year, month); });
                // Stopped by closing the window: the months were not all calculated.
                if (monthRun_->stopped())
                    return;
                showRunEnd(runStart_, endStatus());
            }
            calculationDate_.record(*year, runStart_);
            showLastCalculation();
            if (yearRun)
                showUnsettled(*yearRun);
            if (!failures().empty())
                platform::showMessage(failureMessage(), this);
        });
    } catch (...) {
        closeIfAsked();
        throw;
    }
    closeIfAsked();
}

void TFrCalculate_FIFO::CalculateProdFIFOMonth(int year, int month) {
    monthRun_->setProductFilter(ProductFilter);
    monthRun_->CalculateProdFIFOMonth(year, month);
}

QString TFrCalculate_FIFO::endStatus() const {
    if (failures().empty())
        return doneStatus;
    return QStringLiteral("สถานะ : คำนวณต้นทุนเสร็จ มีข้อผิดพลาด %1 รายการ").arg(failures().size());
}

QString TFrCalculate_FIFO::failureMessage() const {
    const auto& failed = failures();
    QString text =
        QStringLiteral("คำนวณต้นทุนไม่ได้ %1 รายการ (บันทึกไว้ใน Error Log)").arg(failed.size());
    for (size_t i = 0; i < failed.size() && i < size_t(failuresShown); ++i)
        text += QStringLiteral("\n") + failed[i].text();
    if (failed.size() > size_t(failuresShown))
        text += QStringLiteral("\nและอีก %1 รายการ").arg(failed.size() - size_t(failuresShown));
    return text;
}

void TFrCalculate_FIFO::closeEvent(QCloseEvent* event) {
    if (running()) {
        // A window on its way out starts no further run.
        closeRequested_ = true;
        Timer1->stop();
        monthRun_->stop();
        event->ignore();
        return;
    }
    CalculationWindow::closeEvent(event);
}

// A close asked for during the run comes once the run has ended.
void TFrCalculate_FIFO::closeIfAsked() {
    if (closeRequested_)
        QTimer::singleShot(0, this, [this] { close(); });
}
