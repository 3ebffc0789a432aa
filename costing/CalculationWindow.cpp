#include "costing/CalculationWindow.h"

#include "costing/CalculationYear.h"
#include "costing/ProductLookup.h"
#include "costing/YearRun.h"
#include "data/U_DM.h"
#include "db/LockWaitListener.h"
#include "platform/MessageBox.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

const QString CalculationWindow::dataAlias = QStringLiteral("DMDATA");
const QString CalculationWindow::runStartLabel = QStringLiteral("เริ่มคำนวณ : ");
const QString CalculationWindow::doneStatus = QStringLiteral("สถานะ : คำนวณต้นทุนเรียบร้อย");

namespace {

const QString clockFormat = QStringLiteral("HH:mm:ss");
// Shown, and never reached, when no auto-run time was given.
const QString noAutoRunTime = QStringLiteral("08:08:08");

QLabel* boldLabel(const QString& text, const QColor& color, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    auto font = label->font();
    font.setBold(true);
    label->setFont(font);
    if (color.isValid()) {
        auto palette = label->palette();
        palette.setColor(QPalette::WindowText, color);
        label->setPalette(palette);
    }
    return label;
}

} // namespace

CalculationWindow::CalculationWindow(TDM& dm, const QString& companyDatabase,
                                     const QString& yearCaption, const QColor& statusColor,
                                     QWidget* parent)
    : QWidget(parent), dm_(dm), companyDatabase_(companyDatabase),
      clock_(&QDateTime::currentDateTime), calculationDate_(dataAlias) {
    createControls(yearCaption, statusColor);
    progress_ = std::make_unique<WindowProgress>(*LStatus, *LMonth, *LProd, *abfProgressBar1);
    setMinimumWidth(477);
    resize(477, 359);
}

void CalculationWindow::createControls(const QString& yearCaption, const QColor& statusColor) {
    auto* layout = new QVBoxLayout(this);
    layout->setAlignment(Qt::AlignTop);

    GroupBox3 = new QGroupBox(yearCaption, this);
    GroupBox3->setObjectName(QStringLiteral("GroupBox3"));
    LbYear = new QLabel(QStringLiteral("ปี ค.ศ.     "), GroupBox3);
    LbYear->setObjectName(QStringLiteral("LbYear"));
    BGetYear = new QLineEdit(GroupBox3);
    BGetYear->setObjectName(QStringLiteral("BGetYear"));
    BGetYear->setMaxLength(4);
    BGetYear->setValidator(
        new QIntValidator(CalculationYear::first, CalculationYear::last, BGetYear));
    BGetYear->setAlignment(Qt::AlignRight);
    BGetYear->setFixedWidth(BGetYear->fontMetrics().horizontalAdvance(QStringLiteral("00000")) +
                            16);
    LbPeriodNo = new QLabel(QStringLiteral("เริ่มเดือน     "), GroupBox3);
    LbPeriodNo->setObjectName(QStringLiteral("LbPeriodNo"));
    PeriodNo = new QComboBox(GroupBox3);
    PeriodNo->setObjectName(QStringLiteral("PeriodNo"));
    PeriodNo->setEditable(false);
    yearRow_ = new QHBoxLayout(GroupBox3);
    yearRow_->addWidget(LbYear);
    yearRow_->addWidget(BGetYear);
    yearRow_->addSpacing(24);
    yearRow_->addWidget(LbPeriodNo);
    yearRow_->addWidget(PeriodNo);
    yearRow_->addStretch();
    layout->addWidget(GroupBox3);

    GroupBox1 = new QGroupBox(QStringLiteral("รายละเอียด"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    LDate = new QLabel(QStringLiteral("เริ่มคำนวณ"), GroupBox1);
    LDate->setObjectName(QStringLiteral("LDate"));
    LStatus = boldLabel(QStringLiteral("สถานะ"), statusColor, GroupBox1);
    LStatus->setObjectName(QStringLiteral("LStatus"));
    LMonth = boldLabel(QStringLiteral("เดือน"), QColor(Qt::blue), GroupBox1);
    LMonth->setObjectName(QStringLiteral("LMonth"));
    LProd = new QLabel(QStringLiteral("สินค้า"), GroupBox1);
    LProd->setObjectName(QStringLiteral("LProd"));
    abfProgressBar1 = new QProgressBar(GroupBox1);
    abfProgressBar1->setObjectName(QStringLiteral("abfProgressBar1"));
    abfProgressBar1->setRange(0, 100);
    abfProgressBar1->setValue(0);
    abfProgressBar1->setTextVisible(false);
    // Long product names are cut rather than widening the window.
    for (auto* label : {LDate, LStatus, LMonth, LProd})
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto* details = new QVBoxLayout(GroupBox1);
    for (auto* widget : {static_cast<QWidget*>(LDate), static_cast<QWidget*>(LStatus),
                         static_cast<QWidget*>(LMonth), static_cast<QWidget*>(LProd),
                         static_cast<QWidget*>(abfProgressBar1)})
        details->addWidget(widget);
    layout->addWidget(GroupBox1);

    GroupBox2 = new QGroupBox(this);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    BCalculate = new QPushButton(QStringLiteral("คำนวณ"), GroupBox2);
    BCalculate->setObjectName(QStringLiteral("BCalculate"));
    BClose = new QPushButton(QStringLiteral("ปิดโปรแกรม"), GroupBox2);
    BClose->setObjectName(QStringLiteral("BClose"));
    auto* buttons = new QHBoxLayout(GroupBox2);
    buttons->addStretch();
    buttons->addWidget(BCalculate);
    buttons->addWidget(BClose);
    layout->addWidget(GroupBox2);

    GroupBox4 = new QGroupBox(this);
    GroupBox4->setObjectName(QStringLiteral("GroupBox4"));
    LastCalDate = boldLabel(QString(), QColor(), GroupBox4);
    LastCalDate->setObjectName(QStringLiteral("LastCalDate"));
    auto* lastRun = new QHBoxLayout(GroupBox4);
    lastRun->addWidget(LastCalDate);
    layout->addWidget(GroupBox4);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);

    setTabOrder(BGetYear, PeriodNo);
    setTabOrder(PeriodNo, BCalculate);
    setTabOrder(BCalculate, BClose);
    // The window sees keys before its controls do.
    for (auto* control : {static_cast<QWidget*>(BGetYear), static_cast<QWidget*>(PeriodNo),
                          static_cast<QWidget*>(BCalculate), static_cast<QWidget*>(BClose)})
        control->installEventFilter(this);

    connect(BCalculate, &QPushButton::clicked, this, [this] { BCalculateClick(); });
    connect(BClose, &QPushButton::clicked, this, [this] { BCloseClick(); });
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
}

void CalculationWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    FormShow();
}

void CalculationWindow::setUpAutoRun() {
    const auto given = AutoRunTime.trimmed();
    if (!given.isEmpty()) {
        if (given.count(':') < 2)
            AutoRunTime += QStringLiteral(":00");
        // Start-up refuses a time that is not a time of day; such a time here never comes.
        dailyRun_ = DailyRunTime(DailyRunTime::parse(given), clock_());
        autoRun_ = true;
        Timer1->start();
    } else {
        AutoRunTime = noAutoRunTime;
        autoRun_ = false;
        Timer1->stop();
    }
}

std::optional<int> CalculationWindow::yearToCalculate() {
    // Refused before anything changes: a year the server's dates cannot hold, or a product
    // code that names no product and would calculate nothing.
    const auto year = CalculationYear::fromText(BGetYear->text());
    if (!year) {
        platform::showMessage(CalculationYear::refusal(), this);
        return std::nullopt;
    }
    if (!ProductFilter.isEmpty() && !ProductLookup::exists(dataAlias, ProductFilter)) {
        platform::showMessage(ProductLookup::notFound(ProductFilter), this);
        return std::nullopt;
    }
    return year;
}

void CalculationWindow::runGuarded(const std::function<void()>& body) {
    // The controls come back whatever happens, and a failed run leaves the next daily run
    // possible; the error itself goes on to the application's handler. Marked as running from
    // the start, so no tick can begin a run inside this one.
    struct RunState {
        CalculationWindow& window;
        explicit RunState(CalculationWindow& w) : window(w) {
            window.running_ = true;
            window.setInputEnabled(false);
        }
        ~RunState() {
            window.setInputEnabled(true);
            window.running_ = false;
        }
        RunState(const RunState&) = delete;
        RunState& operator=(const RunState&) = delete;
    } state(*this);
    const db::LockWaitListener lockWait([this](const QString& database,
                                               std::chrono::milliseconds waited,
                                               std::chrono::milliseconds) {
        progress_->showLockWait(database, int(waited.count() / 1000));
    });
    body();
}

void CalculationWindow::showRunEnd(const QDateTime& runStart, const QString& status) {
    progress_->flush();
    LDate->setText(runStartLabel + runStart.toString(clockFormat) + QStringLiteral(" - ") +
                   dm_.GetServerTime().toString(clockFormat));
    LStatus->setText(status);
    LMonth->setText(QStringLiteral("เดือน : "));
    LProd->setText(QStringLiteral("สินค้า : "));
    refresh();
}

void CalculationWindow::showLastCalculation() {
    LastCalDate->setText(companyDatabase_ + QStringLiteral("คำนวณล่าสุด : ") +
                         CalculationDate::format(calculationDate_.last()));
    refresh();
}

void CalculationWindow::showLastCalculationAndAutoRun(const QString& label) {
    LastCalDate->setText(companyDatabase_ + label +
                         CalculationDate::format(calculationDate_.last()) +
                         QStringLiteral("  คำนวณ Auto : ") + AutoRunTime);
    refresh();
}

void CalculationWindow::showUnsettled(const YearRun& yearRun) {
    if (yearRun.unsettledWorkOrders().isEmpty())
        return;
    platform::showMessage(QStringLiteral("ต้นทุนใบสั่งผลิต %1 ยังเปลี่ยนหลังคำนวณ %2 รอบ\n\r"
                                         "ต้นทุนสินค้าสำเร็จรูปของใบสั่งผลิตเหล่านี้อาจยังไม่ถูกต้อง")
                              .arg(yearRun.unsettledWorkOrders().join(QStringLiteral(", ")))
                              .arg(YearRun::maxPasses),
                          this);
}

void CalculationWindow::BCloseClick() {
    close();
}

void CalculationWindow::FormKeyDown(int key) {
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        focusNextChild();
}

// Ticks during a run are ignored.
void CalculationWindow::Timer1Timer() {
    if (!autoRun_ || running_ || !dailyRun_.due(clock_()))
        return;
    BCalculateClick();
}

bool CalculationWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        FormKeyDown(static_cast<QKeyEvent*>(event)->key());
    } else if (watched == BGetYear && event->type() == QEvent::FocusOut) {
        // Leaving the edit for another control; not the window losing its activation, nor the
        // edit being disabled by a starting run.
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason &&
            BGetYear->isEnabled() && !running_)
            BGetYearExit();
    }
    return QWidget::eventFilter(watched, event);
}

void CalculationWindow::setInputEnabled(bool enabled) {
    BGetYear->setEnabled(enabled);
    PeriodNo->setEnabled(enabled);
    BCalculate->setEnabled(enabled);
    BClose->setEnabled(enabled);
}

void CalculationWindow::refresh() {
    QCoreApplication::processEvents();
}
