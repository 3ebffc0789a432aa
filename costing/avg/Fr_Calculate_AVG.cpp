#include "costing/avg/Fr_Calculate_AVG.h"

#include "costing/CalculationYear.h"
#include "costing/ProductLookup.h"
#include "costing/YearRun.h"
#include "costing/avg/AvgSql.h"
#include "costing/avg/UncalculatedMonths.h"
#include "data/U_DM.h"
#include "db/LockWaitListener.h"
#include "platform/MessageBox.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QGridLayout>
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

namespace {

const QString dataAlias = QStringLiteral("DMDATA");
const QString lastCalculationFormat = QStringLiteral("dd/MM/yyyy  HH:mm:ss");
const QString clockFormat = QStringLiteral("HH:mm:ss");
const QString runStartLabel = QStringLiteral("เริ่มคำนวณ : ");
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

TFrCalculate_AVG::TFrCalculate_AVG(TDM& dm, const QString& companyDatabase, QWidget* parent)
    : QWidget(parent), dm_(dm), companyDatabase_(companyDatabase),
      clock_(&QDateTime::currentDateTime), SQLCreate(QStringLiteral("SQLCreate")),
      QGetCalculateCostDate(QStringLiteral("QGetCalculateCostDate"), dataAlias),
      SQLUpdateCalDate(QStringLiteral("SQLUpdateCalDate")),
      QChkProcedure(QStringLiteral("QChkProcedure"), dataAlias),
      QCloseGlHistory(QStringLiteral("QCloseGlHistory"), dataAlias) {
    setObjectName(QStringLiteral("FrCalculate_AVG"));
    setWindowTitle(QStringLiteral("โปรแกรมคำนวณต้นทุน Average (AVG)"));
    SQLCreate.setDatabaseName(dataAlias);
    SQLUpdateCalDate.setDatabaseName(dataAlias);
    createControls();
    progress_ = std::make_unique<WindowProgress>(*LStatus, *LMonth, *LProd, *abfProgressBar1);
    monthRun_ = std::make_unique<AvgMonthRun>(*progress_, dataAlias);
    setMinimumWidth(477);
    resize(477, 359);
}

void TFrCalculate_AVG::createControls() {
    auto* layout = new QVBoxLayout(this);
    layout->setAlignment(Qt::AlignTop);

    GroupBox3 = new QGroupBox(QStringLiteral("เลือกปีที่ต้องการคำนวณ"), this);
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
    auto* yearRow = new QHBoxLayout(GroupBox3);
    yearRow->addWidget(LbYear);
    yearRow->addWidget(BGetYear);
    yearRow->addSpacing(24);
    yearRow->addWidget(LbPeriodNo);
    yearRow->addWidget(PeriodNo);
    yearRow->addStretch();
    layout->addWidget(GroupBox3);

    GroupBox1 = new QGroupBox(QStringLiteral("รายละเอียด"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    LDate = new QLabel(QStringLiteral("เริ่มคำนวณ"), GroupBox1);
    LDate->setObjectName(QStringLiteral("LDate"));
    LStatus = boldLabel(QStringLiteral("สถานะ"), QColor(Qt::darkBlue), GroupBox1);
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

// The texts depend on the server's dialect, so they are read once the connection is open.
void TFrCalculate_AVG::loadSql() {
    if (sqlLoaded_)
        return;
    SQLCreate.setSql(costing::avgSql(SQLCreate.name(), dataAlias));
    QGetCalculateCostDate.setSql(costing::avgSql(QGetCalculateCostDate.name(), dataAlias));
    SQLUpdateCalDate.setSql(costing::avgSql(SQLUpdateCalDate.name(), dataAlias));
    SQLUpdateCalDate.setParamData({{QStringLiteral("CalYear"), db::DataType::Integer},
                                   {QStringLiteral("CalDate"), db::DataType::DateTime}});
    QChkProcedure.setSql(costing::avgSql(QChkProcedure.name(), dataAlias));
    QCloseGlHistory.setSql(costing::avgSql(QCloseGlHistory.name(), dataAlias));
    sqlLoaded_ = true;
}

void TFrCalculate_AVG::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    FormShow();
}

void TFrCalculate_AVG::FormShow() {
    setWindowTitle(QStringLiteral("โปรแกรมคำนวณต้นทุน Average (AVG15.11.13)"));
    loadSql();
    SQLCreate.execute();
    QGetCalculateCostDate.close();
    QGetCalculateCostDate.open();

    // A time of day written hours:minutes runs at that minute's first second; one that already
    // has its seconds runs at that second.
    const auto now = clock_();
    const auto given = AutoRunTime.trimmed();
    if (!given.isEmpty()) {
        if (given.count(':') < 2)
            AutoRunTime += QStringLiteral(":00");
        // Start-up refuses a time that is not a time of day; such a time here never comes.
        dailyRun_ = DailyRunTime(DailyRunTime::parse(given), now);
        autoRun_ = true;
        Timer1->start();
    } else {
        AutoRunTime = noAutoRunTime;
        autoRun_ = false;
        Timer1->stop();
    }

    LastCalDate->setText(companyDatabase_ + QStringLiteral(" คำนวณล่าสุด : ") +
                         lastCalculationDate() + QStringLiteral("  คำนวณ Auto : ") + AutoRunTime);
    refresh();
    QGetCalculateCostDate.close();

    if (!ProductFilter.isEmpty())
        setWindowTitle(windowTitle() + QStringLiteral(" (Product :") + ProductFilter +
                       QStringLiteral(")"));
    adjustSize();
    abfProgressBar1->setValue(0);
    BGetYear->setText(QStringLiteral("%1").arg(now.date().year(), 4, 10, QLatin1Char('0')));
    BGetYearExit();
    refresh();
}

QString TFrCalculate_AVG::lastCalculationDate() {
    return QGetCalculateCostDate.fieldByName(QStringLiteral("CalculateCostDate"))
        .asDateTime()
        .toString(lastCalculationFormat);
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
    loadSql();
    // Refused before anything changes: a year the server's dates cannot hold, or a product
    // code that names no product and would calculate nothing.
    const auto year = CalculationYear::fromText(BGetYear->text());
    if (!year) {
        platform::showMessage(CalculationYear::refusal(), this);
        return;
    }
    if (!ProductFilter.isEmpty() && !ProductLookup::exists(dataAlias, ProductFilter)) {
        platform::showMessage(ProductLookup::notFound(ProductFilter), this);
        return;
    }
    const int startMonth = PeriodNo->currentText().trimmed().toInt();
    if (!ProductFilter.isEmpty()) {
        const auto uncalculated = UncalculatedMonths::find(dataAlias, *year, startMonth);
        if (!uncalculated.isEmpty()) {
            platform::showMessage(UncalculatedMonths::refusal(*year, uncalculated), this);
            return;
        }
    }

    // The controls come back whatever happens, and a failed run leaves the next daily run
    // possible; the error itself goes on to the application's handler. Marked as running from
    // the start, so no tick can begin a run inside this one.
    struct RunState {
        TFrCalculate_AVG& window;
        explicit RunState(TFrCalculate_AVG& w) : window(w) {
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
    // A statement held up by another user's lock says so in the status line.
    const db::LockWaitListener lockWait([this](const QString& database,
                                               std::chrono::milliseconds waited,
                                               std::chrono::milliseconds) {
        progress_->showLockWait(database, int(waited.count() / 1000));
    });

    runStart_ = dm_.GetServerTime();
    LDate->setText(runStartLabel + dm_.GetServerTime().toString(clockFormat));
    refresh();

    const auto missing = missingProcedures();
    if (!missing.isEmpty()) {
        // Nothing was calculated, so the last calculation stays as it was.
        platform::showMessage(missing, this);
        return;
    }

    YearRun yearRun(dataAlias, *progress_);
    yearRun.run(*year, startMonth, [&](int month) { CalculateProdAVGMonth(*year, month); });
    progress_->flush();

    LDate->setText(runStartLabel + runStart_.toString(clockFormat) + QStringLiteral(" - ") +
                   dm_.GetServerTime().toString(clockFormat));
    LStatus->setText(QStringLiteral("สถานะ : คำนวณต้นทุนเรียบร้อย"));
    LMonth->setText(QStringLiteral("เดือน : "));
    LProd->setText(QStringLiteral("สินค้า : "));
    refresh();

    SQLUpdateCalDate.param(QStringLiteral("CalYear")).setAsInteger(*year);
    SQLUpdateCalDate.param(QStringLiteral("CalDate")).setAsDateTime(runStart_);
    SQLUpdateCalDate.execute();

    QGetCalculateCostDate.close();
    QGetCalculateCostDate.open();
    LastCalDate->setText(companyDatabase_ + QStringLiteral("คำนวณล่าสุด : ") + lastCalculationDate());
    refresh();
    QGetCalculateCostDate.close();

    if (!yearRun.unsettledWorkOrders().isEmpty())
        platform::showMessage(QStringLiteral("ต้นทุนใบสั่งผลิต %1 ยังเปลี่ยนหลังคำนวณ %2 รอบ\n\r"
                                             "ต้นทุนสินค้าสำเร็จรูปของใบสั่งผลิตเหล่านี้อาจยังไม่ถูกต้อง")
                                  .arg(yearRun.unsettledWorkOrders().join(QStringLiteral(", ")))
                                  .arg(YearRun::maxPasses),
                              this);
}

QString TFrCalculate_AVG::missingProcedures() {
    QChkProcedure.close();
    QChkProcedure.open();
    if (QChkProcedure.isEmpty())
        return {};
    QString message = QStringLiteral("ไม่พบ");
    for (QChkProcedure.first(); !QChkProcedure.eof(); QChkProcedure.next())
        message += QStringLiteral("\n\r") +
                   QChkProcedure.fieldByName(QStringLiteral("ProcedureName")).asString();
    message += QStringLiteral("\n\rกรุณาแจ้ง TRQ");
    QChkProcedure.close();
    return message;
}

void TFrCalculate_AVG::CalculateProdAVGMonth(int year, int month) {
    monthRun_->setCompanyDatabase(companyDatabase_);
    monthRun_->setProductFilter(ProductFilter);
    monthRun_->CalculateProdAVGMonth(year, month);
}

void TFrCalculate_AVG::BCloseClick() {
    close();
}

void TFrCalculate_AVG::FormKeyDown(int key) {
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        focusNextChild();
}

// Ticks during a run are ignored.
void TFrCalculate_AVG::Timer1Timer() {
    if (!autoRun_ || running_ || !dailyRun_.due(clock_()))
        return;
    BCalculateClick();
}

bool TFrCalculate_AVG::eventFilter(QObject* watched, QEvent* event) {
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

void TFrCalculate_AVG::setInputEnabled(bool enabled) {
    BGetYear->setEnabled(enabled);
    PeriodNo->setEnabled(enabled);
    BCalculate->setEnabled(enabled);
    BClose->setEnabled(enabled);
}

void TFrCalculate_AVG::refresh() {
    QCoreApplication::processEvents();
}
