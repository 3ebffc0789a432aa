// The average-cost window offscreen on an embedded company: what the show handler prepares, the
// month list, runs from January, from a later month and for one product, the message about
// missing procedures, a failed run, the daily run, refused years and products and a run held
// up by another user's lock.
#include "AvgTestCompany.h"
#include "StderrCapture.h"
#include "costing/avg/Fr_Calculate_AVG.h"
#include "data/U_DM.h"
#include "db/embedded/EmbeddedConnection.h"
#include "db/embedded/SqliteBusyWait.h"
#include "errors/StockcostApplication.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>

namespace {

const QString doneStatus = "สถานะ : คำนวณต้นทุนเรียบร้อย";

} // namespace

class FrCalculateAvgTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The data module finds the server through Server.Dat in the working directory.
        previousDir = QDir::currentPath();
        QFile file(QDir(work.path()).filePath("Server.Dat"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(company.server().serverName().toUtf8() + "\n");
        file.close();
        QDir::setCurrent(work.path());
        dm.setCompanyDatabase(AvgTestCompany::database);
        dm.DMdata.open();
    }
    void TearDown() override {
        windows.clear();
        QDir::setCurrent(previousDir);
    }

    TFrCalculate_AVG& open(const QString& argument7 = {}) {
        auto window = std::make_unique<TFrCalculate_AVG>(dm, AvgTestCompany::database);
        window->setClock([this] { return now; });
        if (argument7.contains(':'))
            window->AutoRunTime = argument7;
        else
            window->ProductFilter = argument7;
        window->show();
        QCoreApplication::processEvents();
        windows.push_back(std::move(window));
        return *windows.back();
    }

    // One tick of the window's clock at that time of the day.
    void tick(TFrCalculate_AVG& window, QDate day, QTime time) {
        now = QDateTime(day, time);
        window.Timer1Timer();
    }

    bool calculationRecorded() {
        return company.value("Select CalculateCostDate From Config").isValid() &&
               !company.value("Select CalculateCostDate From Config").isNull();
    }
    void forgetCalculation() {
        company.exec("Update Config Set CalculateCostDate = Null, CalculateCostLastYear = Null");
    }
    bool inputEnabled(const TFrCalculate_AVG& window) {
        return window.BGetYear->isEnabled() && window.PeriodNo->isEnabled() &&
               window.BCalculate->isEnabled() && window.BClose->isEnabled();
    }
    double price(const QString& table, int id) { return company.price(table, id); }

    AvgTestCompany company{QStringLiteral("AVGWINDOW")};
    QTemporaryDir work;
    QString previousDir;
    TDM dm;
    QDateTime now{QDate(2024, 6, 15), QTime(9, 0)};
    std::vector<std::unique_ptr<TFrCalculate_AVG>> windows;
};

TEST_F(FrCalculateAvgTest, ShowHandlerPreparesTheWindow) {
    auto& window = open();
    EXPECT_EQ(window.windowTitle(), "โปรแกรมคำนวณต้นทุน Average (AVG15.11.13)");
    // Never calculated: the zero date-time; no auto-run time: 08:08:08 and no timer.
    EXPECT_EQ(window.LastCalDate->text(),
              "Avg1 คำนวณล่าสุด : 30/12/1899  00:00:00  คำนวณ Auto : 08:08:08");
    EXPECT_EQ(window.AutoRunTime, "08:08:08");
    EXPECT_FALSE(window.autoRun());
    EXPECT_FALSE(window.Timer1->isActive());
    EXPECT_EQ(window.BGetYear->text(), "2024");
    ASSERT_EQ(window.PeriodNo->count(), 12);
    EXPECT_EQ(window.PeriodNo->itemText(0), "  1");
    EXPECT_EQ(window.PeriodNo->itemText(11), " 12");
    EXPECT_EQ(window.PeriodNo->currentText(), "  1");
    EXPECT_EQ(window.abfProgressBar1->value(), 0);
    // The window adds its two Config columns.
    EXPECT_NO_THROW(company.value("Select CalculateCostLastYear, CalculateCostDate From Config"));
}

TEST_F(FrCalculateAvgTest, AutoRunTimeAndProductFilterAtShow) {
    auto& minutes = open("22:30");
    EXPECT_EQ(minutes.AutoRunTime, "22:30:00");
    EXPECT_TRUE(minutes.autoRun());
    EXPECT_TRUE(minutes.Timer1->isActive());
    EXPECT_TRUE(minutes.LastCalDate->text().endsWith("  คำนวณ Auto : 22:30:00"));
    EXPECT_FALSE(minutes.windowTitle().contains("Product"));

    // A time that already has its seconds is kept as it is.
    auto& seconds = open("22:30:15");
    EXPECT_EQ(seconds.AutoRunTime, "22:30:15");
    EXPECT_TRUE(seconds.LastCalDate->text().endsWith("  คำนวณ Auto : 22:30:15"));

    auto& filtered = open("A001");
    EXPECT_EQ(filtered.windowTitle(), "โปรแกรมคำนวณต้นทุน Average (AVG15.11.13) (Product :A001)");
    EXPECT_FALSE(filtered.autoRun());
    EXPECT_TRUE(filtered.LastCalDate->text().endsWith("08:08:08"));
}

TEST_F(FrCalculateAvgTest, EnterMovesOnAndLeavingTheYearResetsTheStartMonth) {
    auto& window = open();
    window.activateWindow();
    QApplication::setActiveWindow(&window);
    window.BGetYear->setFocus(Qt::OtherFocusReason);
    QCoreApplication::processEvents();
    ASSERT_EQ(QApplication::focusWidget(), window.BGetYear);

    // Enter goes through the tab order: year, start month, calculate, close.
    std::vector<QWidget*> visited;
    for (int i = 0; i < 3; ++i) {
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(QApplication::focusWidget(), &enter);
        visited.push_back(QApplication::focusWidget());
    }
    EXPECT_EQ(visited, (std::vector<QWidget*>{window.PeriodNo, window.BCalculate, window.BClose}));

    window.PeriodNo->setCurrentIndex(5);
    window.BGetYear->setFocus(Qt::TabFocusReason);
    window.BGetYear->setText("2023");
    window.PeriodNo->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(window.PeriodNo->currentText(), "  1");
    EXPECT_EQ(window.PeriodNo->count(), 12);
}

TEST_F(FrCalculateAvgTest, AFullRunFromJanuary) {
    // Left from an earlier run: proves that February and December were run again.
    company.exec("Insert Into ProductCostAVG (Product, ProductUnits, PeriodNo, BalanceYear, "
                 "PurcQnty, PurcAmount, CostAvg) Values (1, 11, 2, 2024, 1, 1, 1), "
                 "(1, 11, 12, 2024, 1, 1, 1)");
    company.exec("Insert Into ProductOnhand (Product, Warehouse, BalanceYear, PeriodNo, Quantity) "
                 "Values (1, 1, 2024, 2, 19)");
    auto& window = open();
    window.BCalculate->click();

    EXPECT_DOUBLE_EQ(price("Isdt", 1), 72.0);
    EXPECT_DOUBLE_EQ(price("MFGFinishDt", 1), 8.0);
    EXPECT_DOUBLE_EQ(price("Isdt", 3), 6.0) << "February's average, nothing new in February";
    EXPECT_EQ(company.count("Select Count(*) From ProductCostAVG Where PeriodNo In (2, 12)"), 0);

    EXPECT_TRUE(QRegularExpression("^เริ่มคำนวณ : \\d\\d:\\d\\d:\\d\\d - \\d\\d:\\d\\d:\\d\\d$")
                    .match(window.LDate->text())
                    .hasMatch())
        << window.LDate->text().toStdString();
    EXPECT_EQ(window.LStatus->text(), doneStatus);
    EXPECT_EQ(window.LMonth->text(), "เดือน : ");
    EXPECT_EQ(window.LProd->text(), "สินค้า : ");
    EXPECT_TRUE(inputEnabled(window));

    // The year and the server time the run started, shown without the auto-run text.
    EXPECT_EQ(company.count("Select CalculateCostLastYear From Config"), 2024);
    const auto recorded = company.value("Select CalculateCostDate From Config").toDateTime();
    EXPECT_LT(std::abs(recorded.secsTo(QDateTime::currentDateTime())), 60);
    EXPECT_EQ(window.LastCalDate->text(),
              "Avg1คำนวณล่าสุด : " + recorded.toString("dd/MM/yyyy  HH:mm:ss"));
    EXPECT_TRUE(window.LDate->text().startsWith("เริ่มคำนวณ : " + recorded.toString("HH:mm:ss")));
}

TEST_F(FrCalculateAvgTest, ARunFromALaterMonthLeavesTheEarlierMonths) {
    company.exec("Insert Into ProductCostAVG (Product, ProductUnits, PeriodNo, BalanceYear, "
                 "PurcQnty, PurcAmount, CostAvg) Values (1, 11, 1, 2024, 10, 70, 7), "
                 "(1, 11, 3, 2024, 1, 1, 1)");
    auto& window = open();
    window.PeriodNo->setCurrentIndex(2);
    window.BCalculate->click();

    EXPECT_DOUBLE_EQ(price("Isdt", 1), 0.0) << "January is not calculated";
    EXPECT_EQ(company.count("Select Count(*) From ProductCostAVG Where PeriodNo = 1"), 1);
    EXPECT_EQ(company.count("Select Count(*) From ProductCostAVG Where PeriodNo = 3"), 0);
    EXPECT_EQ(window.LStatus->text(), doneStatus);
    EXPECT_TRUE(calculationRecorded());
}

TEST_F(FrCalculateAvgTest, AFilteredRunCalculatesItsProductOnly) {
    open().BCalculate->click();
    company.exec("Update Isdt Set Price = 5.55");
    company.exec("Update MFGFinishDt Set Price = 5.55");
    auto& window = open("A001");
    window.BCalculate->click();
    EXPECT_DOUBLE_EQ(price("Isdt", 1), 72.0);
    EXPECT_DOUBLE_EQ(price("Isdt", 4), 5.55);
    EXPECT_DOUBLE_EQ(price("MFGFinishDt", 1), 5.55);
    EXPECT_EQ(window.LStatus->text(), doneStatus);
}

TEST_F(FrCalculateAvgTest, AFilteredRunOnMonthsNeverCalculatedForAllIsRefused) {
    auto& window = open("A001");
    StderrCapture captured;
    window.BCalculate->click();
    EXPECT_EQ(captured.text(), "stockcost: message: ปี 2024 เดือน 1 ยังไม่เคยคำนวณทุกสินค้า\n\r"
                               "กรุณาคำนวณทุกสินค้าก่อน แล้วจึงคำนวณเฉพาะสินค้า\n");
    EXPECT_FALSE(calculationRecorded());
    EXPECT_DOUBLE_EQ(price("Isdt", 1), 0.0);
    EXPECT_EQ(company.count("Select Count(*) From ProductCostAVG"), 1) << "the ledger is as it was";
    EXPECT_TRUE(inputEnabled(window));
}

TEST_F(FrCalculateAvgTest, MissingProceduresAreNamedAndNothingIsCalculated) {
    company.uninstallProcedure("CALCULATE_WorkOrderAVG");
    company.uninstallProcedure("CALCULATE_AVG2ByProdAndMonth");
    auto& window = open();
    StderrCapture captured;
    window.BCalculate->click();
    EXPECT_EQ(captured.text(), "stockcost: message: ไม่พบ\n\rCALCULATE_AVG2ByProdAndMonth\n\r"
                               "CALCULATE_WorkOrderAVG\n\rกรุณาแจ้ง TRQ\n");
    EXPECT_DOUBLE_EQ(price("Isdt", 1), 0.0);
    EXPECT_FALSE(calculationRecorded());
    EXPECT_TRUE(window.LastCalDate->text().endsWith("08:08:08"));
    EXPECT_TRUE(inputEnabled(window));
    EXPECT_EQ(window.LStatus->text(), "สถานะ");
}

// Errors leave the handlers for the application's handler, as in the program.
class FrCalculateAvgFailureTest : public FrCalculateAvgTest {
protected:
    void SetUp() override {
        FrCalculateAvgTest::SetUp();
        app = qobject_cast<errors::StockcostApplication*>(QCoreApplication::instance());
        if (!app)
            GTEST_SKIP() << "the test program's application object is not a StockcostApplication";
        saved = app->exceptionHandler();
        app->setExceptionHandler([this](const QString& message) { reported.push_back(message); });
    }
    void TearDown() override {
        if (app)
            app->setExceptionHandler(saved);
        FrCalculateAvgTest::TearDown();
    }
    template <typename Condition> bool processUntil(Condition done) {
        QElapsedTimer elapsed;
        elapsed.start();
        while (!done() && elapsed.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return done();
    }

    errors::StockcostApplication* app = nullptr;
    errors::StockcostApplication::ExceptionHandler saved;
    std::vector<QString> reported;
};

TEST_F(FrCalculateAvgFailureTest, AFailedRunGivesTheControlsBackAndTheDailyRunComesAgain) {
    company.exec("Exec sp_rename 'AdjuststockDt', 'AdjuststockDtAway'");
    auto& window = open("22:30");

    // Started from the button: the error reaches the application's handler.
    window.BCalculate->animateClick();
    ASSERT_TRUE(processUntil([&] { return !reported.empty(); }));
    EXPECT_TRUE(reported.front().contains("AdjuststockDt")) << reported.front().toStdString();
    EXPECT_TRUE(inputEnabled(window));
    EXPECT_FALSE(window.running());
    EXPECT_FALSE(calculationRecorded());

    // Started by the running timer at its time: fails the same way, once.
    now = QDateTime(QDate(2024, 6, 15), QTime(22, 30));
    ASSERT_TRUE(processUntil([&] { return reported.size() >= 2; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(reported.size(), 2u);
    EXPECT_TRUE(inputEnabled(window));
    EXPECT_FALSE(calculationRecorded());

    // Repaired by the next day: the daily run comes and succeeds.
    company.exec("Exec sp_rename 'AdjuststockDtAway', 'AdjuststockDt'");
    now = QDateTime(QDate(2024, 6, 16), QTime(22, 30, 1));
    ASSERT_TRUE(processUntil([&] { return calculationRecorded(); }));
    EXPECT_EQ(reported.size(), 2u);
    EXPECT_DOUBLE_EQ(price("Isdt", 1), 72.0);
    EXPECT_EQ(window.LStatus->text(), doneStatus);
}

TEST_F(FrCalculateAvgTest, TheDailyRunStartsOnceADayWhenItsTimeIsReached) {
    const QDate day(2024, 6, 15);
    auto& window = open("22:30");
    tick(window, day, QTime(22, 29, 59));
    EXPECT_FALSE(calculationRecorded());
    // The tick of 22:30:00 came late.
    tick(window, day, QTime(22, 30, 2));
    EXPECT_TRUE(calculationRecorded());
    EXPECT_DOUBLE_EQ(price("Isdt", 1), 72.0);

    forgetCalculation();
    tick(window, day, QTime(22, 30, 3));
    tick(window, day, QTime(23, 59, 59));
    tick(window, day.addDays(1), QTime(22, 29, 59));
    EXPECT_FALSE(calculationRecorded());
    tick(window, day.addDays(1), QTime(22, 30, 0));
    EXPECT_TRUE(calculationRecorded());

    // A time with its seconds runs at that second.
    forgetCalculation();
    auto& seconds = open("22:30:15");
    tick(seconds, day, QTime(22, 30, 14));
    EXPECT_FALSE(calculationRecorded());
    tick(seconds, day, QTime(22, 30, 15));
    EXPECT_TRUE(calculationRecorded());

    // Opened after its time, the first run is the next day's; without a time there is none.
    forgetCalculation();
    now = QDateTime(day, QTime(23, 0));
    auto& late = open("22:30");
    auto& manual = open();
    tick(late, day, QTime(23, 0, 1));
    tick(manual, day.addDays(1), QTime(8, 8, 8));
    tick(manual, day.addDays(1), QTime(22, 30, 0));
    EXPECT_FALSE(calculationRecorded());
    tick(late, day.addDays(1), QTime(22, 30, 0));
    EXPECT_TRUE(calculationRecorded());
}

TEST_F(FrCalculateAvgTest, TicksDuringARunAreIgnored) {
    const QDate day(2024, 6, 15);
    auto& window = open("22:30");
    now = QDateTime(day, QTime(22, 30, 0));
    // Delivered while the run pumps messages; a run started there would take today's turn.
    bool tickedWhileRunning = false;
    QTimer::singleShot(0, &window, [&] {
        tickedWhileRunning = window.running();
        window.Timer1Timer();
    });
    window.BCalculateClick();
    EXPECT_TRUE(tickedWhileRunning);
    forgetCalculation();

    tick(window, day, QTime(22, 30, 1));
    EXPECT_TRUE(calculationRecorded()) << "today's daily run still comes";
}

TEST_F(FrCalculateAvgTest, AYearOrAProductThatCannotBeCalculatedIsRefusedBeforeAnything) {
    auto& window = open();
    for (const QString year : {"0", "1752", "", "20x"}) {
        window.BGetYear->setText(year);
        StderrCapture captured;
        window.BCalculate->click();
        EXPECT_EQ(captured.text(), "stockcost: message: ปี ค.ศ. ต้องอยู่ระหว่าง 1753 ถึง 9999\n")
            << year.toStdString();
        EXPECT_TRUE(inputEnabled(window));
    }
    EXPECT_FALSE(calculationRecorded());

    auto& unknown = open("NOSUCH");
    StderrCapture captured;
    unknown.BCalculate->click();
    EXPECT_EQ(captured.text(), "stockcost: message: ไม่พบรหัสสินค้า NOSUCH\n");
    EXPECT_FALSE(calculationRecorded());
    EXPECT_EQ(unknown.LStatus->text(), "สถานะ");
    EXPECT_EQ(unknown.LDate->text(), "เริ่มคำนวณ") << "the run did not begin";
    EXPECT_EQ(company.count("Select Count(*) From ProductCostAVG Where PeriodNo = 0"), 1)
        << "the ledger is as it was";

    // A code written as the server compares codes (other case, trailing blanks) is known.
    open().BCalculate->click();
    forgetCalculation();
    company.exec("Update Isdt Set Price = 0");
    auto& lowerCase = open("a001 ");
    lowerCase.BCalculate->click();
    EXPECT_TRUE(calculationRecorded());
    EXPECT_DOUBLE_EQ(price("Isdt", 1), 72.0);
    EXPECT_DOUBLE_EQ(price("Isdt", 4), 0.0);
}

TEST_F(FrCalculateAvgFailureTest, ARunHeldUpByALockSaysSoAndNamesTheLockWhenItGivesUp) {
    db::SqliteBusyWait::setLimit(std::chrono::milliseconds(1500));
    auto& window = open();
    // Another user writes to the company and keeps the lock.
    db::EmbeddedConnection other(company.server().directory(), AvgTestCompany::database);
    other.executeSqlite("BEGIN IMMEDIATE");
    other.executeSqlite("UPDATE Warehouse SET Code = 'MAIN' WHERE Id = 1");

    QStringList statuses;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] { statuses << window.LStatus->text(); });
    watch.start(100);
    window.BCalculate->animateClick();
    ASSERT_TRUE(processUntil([&] { return !reported.empty(); }));
    watch.stop();
    db::SqliteBusyWait::setLimit(std::chrono::seconds(30));
    other.executeSqlite("ROLLBACK");

    EXPECT_TRUE(statuses.contains("สถานะ : รอ ฐานข้อมูล Avg1 ถูกผู้ใช้อื่นล็อกอยู่ (1 วินาที)"))
        << statuses.join('|').toStdString();
    EXPECT_TRUE(reported.front().startsWith("Lock request time out period exceeded. The database "
                                            "'Avg1' is locked by another connection"))
        << reported.front().toStdString();
    EXPECT_TRUE(inputEnabled(window));
    EXPECT_FALSE(calculationRecorded());
}
