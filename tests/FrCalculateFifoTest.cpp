// The FIFO window offscreen on a FIFO company with a demo year: what the show handler
// prepares, the month list after the closed months, full and partial runs, a closed year, a
// product filter, missing procedures, a failing call, the daily run, the labels of each phase,
// a failed run and closing the window during a run. What a run calculated is read through
// FifoRunTestCompany::calculatedMonths(); the tests of what the window calls and in which order
// (phases, product filter, failing call, labels, closing) read the calls that the stand-in
// procedures record.
#include "FifoRunTestCompany.h"
#include "StderrCapture.h"
#include "costing/fifo/Fr_Calculate_FIFO.h"
#include "data/Dm_Config.h"
#include "data/U_DM.h"
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

#include <set>

namespace {

const QString doneStatus = "สถานะ : คำนวณต้นทุนเรียบร้อย";
const QString phases[] = {
    "สถานะ : กำลังคำนวณต้นทุน ในการรับสินค้าเข้า (1/4)", "สถานะ : กำลังคำนวณต้นทุน ใส่รายการจ่ายสินค้าออก (2/4)",
    "สถานะ : กำลังคำนวณต้นทุนในใบสั่งผลิต (3/4)", "สถานะ : กำลังคำนวณต้นทุน ใส่รายการจ่ายสินค้าออก (4/4)"};

// What a run of the months from..12 must have called, checked against the calls made: in
// each month the receipts of its products, their issues, the month's work orders, and their
// issues again, the same products in the same order each time. Empty when the calls are so;
// otherwise where they are not. Counts the work-order calls.
QString checkRunOrder(const QStringList& calls, int from, int* workOrders = nullptr) {
    int i = 0;
    int orders = 0;
    const auto at = [&](int index) { return index < calls.size() ? calls[index] : QString(); };
    for (int month = from; month <= 12; ++month) {
        const auto prefix = QStringLiteral("FIFO1 %1 ").arg(month);
        QStringList products;
        while (at(i).startsWith(prefix))
            products << at(i++).mid(prefix.size());
        if (products.isEmpty())
            return QStringLiteral("no receipts of month %1 at call %2").arg(month).arg(i);
        for (int pass = 0; pass < 2; ++pass) {
            for (const auto& product : products) {
                const auto expected = QStringLiteral("FIFO2 %1 %2").arg(month).arg(product);
                if (at(i) != expected)
                    return QStringLiteral("call %1 is '%2', not '%3'").arg(i).arg(at(i), expected);
                ++i;
            }
            while (pass == 0 && at(i).startsWith("WO ")) {
                ++i;
                ++orders;
            }
        }
    }
    if (workOrders)
        *workOrders = orders;
    return i == calls.size() ? QString() : QStringLiteral("calls after December from %1").arg(i);
}

} // namespace

class FrCalculateFifoTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The data modules find the server through Server.Dat in the working directory.
        previousDir = QDir::currentPath();
        QFile file(QDir(work.path()).filePath("Server.Dat"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(company.server().serverName().toUtf8() + "\n");
        file.close();
        QDir::setCurrent(work.path());
        dm.setCompanyDatabase(FifoRunTestCompany::database);
        dm.DMdata.open();
        dmConfig.GetCompanyConfig(FifoRunTestCompany::database);
    }
    void TearDown() override {
        windows.clear();
        QDir::setCurrent(previousDir);
    }

    TFrCalculate_FIFO& open(const QString& argument7 = {}) {
        auto window =
            std::make_unique<TFrCalculate_FIFO>(dm, dmConfig, FifoRunTestCompany::database);
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
    void tick(TFrCalculate_FIFO& window, QDate day, QTime time) {
        now = QDateTime(day, time);
        window.Timer1Timer();
    }
    QStringList items(const TFrCalculate_FIFO& window) {
        QStringList texts;
        for (int i = 0; i < window.PeriodNo->count(); ++i)
            texts << window.PeriodNo->itemText(i);
        return texts;
    }
    bool calculationRecorded() {
        return !company.value("Select CalculateCostDate From Config").isNull();
    }
    void forgetCalculation() {
        company.exec("Update Config Set CalculateCostDate = Null, CalculateCostLastYear = Null");
    }
    bool inputEnabled(const TFrCalculate_FIFO& window) {
        return window.BGetYear->isEnabled() && window.PeriodNo->isEnabled() &&
               window.BCalculate->isEnabled() && window.BClose->isEnabled();
    }

    FifoRunTestCompany company{QStringLiteral("FIFOWINDOW"), FifoRunTestCompany::Data::DemoYear};
    QTemporaryDir work;
    QString previousDir;
    TDM dm;
    TDMConfig dmConfig;
    QDateTime now{QDate(2024, 6, 15), QTime(9, 0)};
    std::vector<std::unique_ptr<TFrCalculate_FIFO>> windows;
};

TEST_F(FrCalculateFifoTest, ShowHandlerPreparesTheWindow) {
    auto& window = open();
    EXPECT_EQ(window.windowTitle(), "โปรแกรมคำนวณต้นทุน FirstIn FirstOut (FIFO)");
    // Never calculated: the zero date-time; no auto-run time: 08:08:08 and no timer.
    EXPECT_EQ(window.LastCalDate->text(),
              "Fifo1คำนวณล่าสุด : 30/12/1899  00:00:00  คำนวณ Auto : 08:08:08");
    EXPECT_FALSE(window.Timer1->isActive());
    EXPECT_EQ(window.StartPM->text(),
              QString(" [ เริ่มใช้งานโปรแกรมปี : %1 ] ").arg(QDate::currentDate().year()));
    EXPECT_EQ(window.BGetYear->text(), "2024");
    EXPECT_EQ(window.BGetYear->selectedText(), "2024");
    EXPECT_EQ(window.abfProgressBar1->value(), 0);
    EXPECT_NO_THROW(company.value("Select CalculateCostLastYear, CalculateCostDate From Config"));

    auto& daily = open("22:30");
    EXPECT_EQ(daily.AutoRunTime, "22:30:00");
    EXPECT_TRUE(daily.Timer1->isActive());
    EXPECT_TRUE(daily.LastCalDate->text().endsWith("  คำนวณ Auto : 22:30:00"));
    auto& filtered = open("P00001");
    EXPECT_EQ(filtered.windowTitle(), "โปรแกรมคำนวณต้นทุน FirstIn FirstOut (FIFO) (Product :P00001)");
}

TEST_F(FrCalculateFifoTest, TheMonthListBeginsAfterTheLastClosedMonth) {
    const QStringList allMonths{"  1", "  2", "  3", "  4", "  5", "  6",
                                "  7", "  8", "  9", " 10", " 11", " 12"};
    struct Case {
        QString lastPost;
        QStringList months;
    };
    for (const auto& c :
         {Case{"0", allMonths}, Case{"Null", allMonths},
          Case{"4", {"5", "6", "7", "8", "9", "10", "11", "12"}}, Case{"11", {"12"}},
          Case{"12", {" ไม่สามารถคำนวณได้"}}, Case{"13", {" ไม่สามารถคำนวณได้"}}}) {
        company.closeThrough(2024, c.lastPost);
        auto& window = open();
        EXPECT_EQ(items(window), c.months) << c.lastPost.toStdString();
        EXPECT_EQ(window.PeriodNo->currentIndex(), 0);
    }

    // Leaving the year edit for another year rebuilds the list: 2023 has no closing row.
    company.closeThrough(2024, "4");
    auto& window = open();
    window.activateWindow();
    QApplication::setActiveWindow(&window);
    window.PeriodNo->setCurrentIndex(3);
    window.BGetYear->setFocus(Qt::OtherFocusReason);
    QCoreApplication::processEvents();
    // Enter goes on through the tab order.
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(window.BGetYear, &enter);
    EXPECT_EQ(QApplication::focusWidget(), window.PeriodNo);
    EXPECT_EQ(window.PeriodNo->currentText(), "5") << "the choice made before is discarded";
    window.BGetYear->setFocus(Qt::TabFocusReason);
    window.BGetYear->setText("2023");
    window.PeriodNo->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(items(window), allMonths);
}

TEST_F(FrCalculateFifoTest, AFullYearCalculatesEveryMonthAndRecordsTheRun) {
    auto& window = open();
    window.BCalculate->click();
    EXPECT_EQ(company.calculatedMonths(2024), "1 2 3 4 5 6 7 8 9 10 11 12");

    EXPECT_TRUE(QRegularExpression("^เริ่มคำนวณ : \\d\\d:\\d\\d:\\d\\d - \\d\\d:\\d\\d:\\d\\d$")
                    .match(window.LDate->text())
                    .hasMatch())
        << window.LDate->text().toStdString();
    EXPECT_EQ(window.LStatus->text(), doneStatus);
    EXPECT_EQ(window.LMonth->text(), "เดือน : ");
    EXPECT_EQ(window.LProd->text(), "สินค้า : ");
    EXPECT_TRUE(inputEnabled(window));
    EXPECT_TRUE(window.failures().empty());

    // The year and the server time the run started, shown without the auto-run text.
    EXPECT_EQ(company.count("Select CalculateCostLastYear From Config"), 2024);
    const auto recorded = company.value("Select CalculateCostDate From Config").toDateTime();
    EXPECT_LT(std::abs(recorded.secsTo(QDateTime::currentDateTime())), 60);
    EXPECT_EQ(window.LastCalDate->text(),
              "Fifo1คำนวณล่าสุด : " + recorded.toString("dd/MM/yyyy  HH:mm:ss"));
    EXPECT_TRUE(window.LDate->text().startsWith("เริ่มคำนวณ : " + recorded.toString("HH:mm:ss")));
}

TEST_F(FrCalculateFifoTest, TheCallsOfAYearComeMonthByMonthInTheOrderOfThePhases) {
    open().BCalculate->click();
    int workOrders = 0;
    EXPECT_EQ(checkRunOrder(company.calls(), 1, &workOrders), "");
    EXPECT_GT(workOrders, 0);
    // Only roots: no work order called has a master.
    EXPECT_EQ(company.count("Select Count(*) From FifoTestCalls C Join WorkOrderHd W On "
                            "W.WorkOrderNo = C.WorkNo Where W.MasterWorkOrder Is Not Null"),
              0);
}

TEST_F(FrCalculateFifoTest, AClosedYearAndALaterStartMonth) {
    // Closed through December: nothing is calculated or shown, and the attempt is recorded.
    company.closeThrough(2024, "12");
    auto& closed = open();
    closed.BCalculate->click();
    EXPECT_EQ(company.calculatedMonths(2024), "");
    EXPECT_TRUE(calculationRecorded());
    EXPECT_EQ(closed.LStatus->text(), "สถานะ");
    EXPECT_TRUE(closed.LDate->text().startsWith("เริ่มคำนวณ : "));
    EXPECT_TRUE(closed.LastCalDate->text().startsWith("Fifo1คำนวณล่าสุด : "));
    EXPECT_FALSE(closed.LastCalDate->text().contains("1899"));
    EXPECT_TRUE(inputEnabled(closed));

    // Closed through April: the run begins in May, or later when chosen.
    company.closeThrough(2024, "4");
    auto& window = open();
    window.PeriodNo->setCurrentText("11");
    window.BCalculate->click();
    EXPECT_EQ(company.calculatedMonths(2024), "11 12");
    window.BGetYearExit();
    window.BCalculate->click();
    EXPECT_EQ(company.calculatedMonths(2024), "5 6 7 8 9 10 11 12");
}

TEST_F(FrCalculateFifoTest, AProductFilterCostsItsProductAndEveryRootWorkOrder) {
    open().BCalculate->click();
    const auto allWorkOrders = company.calls("Name = 'CALCULATE_WorkOrderFIFO'");
    const auto productId = company.count("Select Top 1 PId From FifoTestCalls Group By PId "
                                         "Order By Count(*) Desc, PId");
    const auto code =
        company.value(QString("Select Code From Product Where Id = %1").arg(productId)).toString();
    company.forgetCalls();

    open(code).BCalculate->click();
    EXPECT_EQ(
        company.count(QString("Select Count(*) From FifoTestCalls Where PId <> %1").arg(productId)),
        0);
    EXPECT_GT(company.count("Select Count(*) From FifoTestCalls Where PId Is Not Null"), 0);
    EXPECT_EQ(company.calls("Name = 'CALCULATE_WorkOrderFIFO'"), allWorkOrders);
}

TEST_F(FrCalculateFifoTest, MissingProceduresAreNamedAndNothingIsCalculated) {
    company.uninstallProcedure("SeekMasterWorkOrder");
    company.uninstallProcedure("Calculate_FIFO2");
    company.uninstallProcedure("CALCULATE_AVG2ByProdAndMonth");
    auto& window = open();
    StderrCapture captured;
    window.BCalculate->click();
    EXPECT_EQ(captured.text(), "stockcost: message: ไม่พบ\n\rCALCULATE_AVG2ByProdAndMonth\n\r"
                               "Calculate_FIFO2\n\rSeekMasterWorkOrder\n\rกรุณาแจ้ง TRQ\n");
    EXPECT_TRUE(company.calls().isEmpty());
    EXPECT_FALSE(calculationRecorded());
    EXPECT_TRUE(inputEnabled(window));
    EXPECT_EQ(window.LStatus->text(), "สถานะ");
}

TEST_F(FrCalculateFifoTest, AFailingCallIsLoggedCountedAndShownWhileTheOthersAreCosted) {
    const int failing = company.count("Select Min(Id) From Product Where Exists (Select * From "
                                      "ProductOnhand O Where O.Product = Product.Id And "
                                      "O.BalanceYear = 2024 And O.Quantity > 0)");
    company.failCall("Calculate_FIFO1", failing);
    company.closeThrough(2024, "9");
    auto& window = open();
    StderrCapture captured;
    window.BCalculate->click();
    const auto shown = captured.text();

    // Its issue passes still came, and every other product was costed.
    const auto months =
        company.count(QString("Select Count(*) From FifoTestCalls Where PId = %1").arg(failing)) /
        2;
    ASSERT_GT(months, 0);
    EXPECT_EQ(company.count(QString("Select Count(*) From FifoTestCalls Where PId = %1 And Name "
                                    "= 'Calculate_FIFO1'")
                                .arg(failing)),
              0);
    EXPECT_GT(company.count("Select Count(*) From FifoTestCalls Where Name = 'Calculate_FIFO1'"),
              0);

    ASSERT_EQ(int(window.failures().size()), months);
    QStringList failures;
    for (const auto& failure : window.failures())
        failures << failure.text();
    EXPECT_EQ(company.errorLog(), failures);
    EXPECT_EQ(window.LStatus->text(),
              QString("สถานะ : คำนวณต้นทุนเสร็จ มีข้อผิดพลาด %1 รายการ").arg(months));
    EXPECT_TRUE(shown.startsWith(
        QString("stockcost: message: คำนวณต้นทุนไม่ได้ %1 รายการ (บันทึกไว้ใน Error Log)\n%2\n")
            .arg(months)
            .arg(failures.front())))
        << shown.toStdString();
    // The months were all gone through: the run is recorded.
    EXPECT_TRUE(calculationRecorded());
    EXPECT_TRUE(inputEnabled(window));
}

TEST_F(FrCalculateFifoTest, TheDailyRunStartsOnceADayWhenItsTimeIsReached) {
    const QDate day(2024, 6, 15);
    company.closeThrough(2024, "11");
    auto& window = open("22:30");
    tick(window, day, QTime(22, 29, 59));
    EXPECT_FALSE(calculationRecorded());
    // The tick of 22:30:00 came late.
    tick(window, day, QTime(22, 30, 2));
    EXPECT_TRUE(calculationRecorded());
    EXPECT_EQ(company.calculatedMonths(2024), "12");

    forgetCalculation();
    tick(window, day, QTime(22, 30, 3));
    tick(window, day.addDays(1), QTime(22, 29, 59));
    EXPECT_FALSE(calculationRecorded());
    tick(window, day.addDays(1), QTime(22, 30, 0));
    EXPECT_TRUE(calculationRecorded());
}

TEST_F(FrCalculateFifoTest, TheLabelsShowEachPhaseOnTheItemInHand) {
    // December only. Each call lasts long enough that the window repaints before the next
    // one; what it shows at each repaint is sampled.
    company.closeThrough(2024, "11");
    company.delayCalls(45);
    auto& window = open();
    QStringList painted;
    QTimer sample;
    QObject::connect(&sample, &QTimer::timeout, [&] {
        const auto state =
            window.LStatus->text() + " | " + window.LMonth->text() + " | " + window.LProd->text();
        if (painted.isEmpty() || painted.back() != state)
            painted << state;
    });
    sample.start(0);
    window.BCalculate->click();
    sample.stop();

    // What the labels hold during each call, in the order of the calls.
    struct Shown {
        QString state;
        bool firstOfPhase;
    };
    std::vector<Shown> expected;
    const auto calls = company.calls();
    const auto workOrders = company.calls("WorkNo Is Not Null");
    const auto products = company.calls("Name = 'Calculate_FIFO1'").size();
    int phase = 0;
    int counter = 0;
    for (int i = 0; i < calls.size(); ++i) {
        const auto call = calls[i].split(' ');
        const bool first = i == 0 || call[0] != calls[i - 1].split(' ')[0];
        if (first) {
            ++phase;
            counter = 0;
        }
        ++counter;
        QString state;
        if (call[0] == "WO") {
            const auto date = [&](const char* column) {
                return company
                    .value(QString("Select %1 From WorkOrderHd Where WorkOrderNo = '%2'")
                               .arg(column, call[1]))
                    .toDateTime()
                    .toString("dd/MM/yyyy");
            };
            state = QString(" | เลขที่ใบสั่งผลิตเดือน : 12 | ใบสั่งผลิต : %1 / %2 : %3 (%4 => %5)")
                        .arg(counter)
                        .arg(workOrders.size())
                        .arg(call[1], date("WorkDate"), date("Coalesce(Closedate, FinishDate)"));
        } else {
            const auto product = [&](const char* column) {
                return company
                    .value(QString("Select %1 From Product Where Id = %2").arg(column, call[2]))
                    .toString();
            };
            state = QString(" | เดือน : 12 | สินค้า : %1 / %2 : %3 - %4")
                        .arg(counter)
                        .arg(products)
                        .arg(product("Code"), product("ThaiName"));
        }
        expected.push_back({phases[phase - 1] + state, first});
    }
    ASSERT_EQ(phase, 4) << "December has products and work orders";
    ASSERT_GT(workOrders.size(), 1);

    // Each in turn. The first item of a phase may be painted over before the screen shows
    // it: the repaint for the phase's status came only just before.
    size_t next = 0;
    for (const auto& state : painted) {
        while (next < expected.size() && expected[next].firstOfPhase &&
               state != expected[next].state)
            ++next;
        if (next < expected.size() && state == expected[next].state)
            ++next;
    }
    EXPECT_EQ(next, expected.size())
        << "not shown: " << expected[std::min(next, expected.size() - 1)].state.toStdString()
        << "\nshown:\n"
        << painted.join('\n').toStdString();
    EXPECT_EQ(window.LStatus->text(), doneStatus);
}

TEST_F(FrCalculateFifoTest, ClosingTheWindowDuringARunStopsItAfterTheCallInHand) {
    company.delayCalls(50);
    auto& window = open();
    bool closedWhileRunning = false;
    QTimer::singleShot(200, &window, [&] {
        closedWhileRunning = window.running();
        window.close();
    });
    window.BCalculate->click();
    EXPECT_TRUE(closedWhileRunning);
    EXPECT_TRUE(window.isVisible()) << "closed only once the run has ended";
    QCoreApplication::processEvents();
    EXPECT_FALSE(window.isVisible());

    const auto calls = company.calls();
    EXPECT_GE(calls.size(), 1);
    EXPECT_LE(calls.size(), 5);
    EXPECT_TRUE(calls.back().startsWith("FIFO1 1 ")) << calls.back().toStdString();
    EXPECT_FALSE(calculationRecorded());
}

// Errors leave the handlers for the application's handler, as in the program.
class FrCalculateFifoFailureTest : public FrCalculateFifoTest {
protected:
    void SetUp() override {
        FrCalculateFifoTest::SetUp();
        app = qobject_cast<errors::StockcostApplication*>(QCoreApplication::instance());
        if (!app)
            GTEST_SKIP() << "the test program's application object is not a StockcostApplication";
        saved = app->exceptionHandler();
        app->setExceptionHandler([this](const QString& message) { reported.push_back(message); });
    }
    void TearDown() override {
        if (app)
            app->setExceptionHandler(saved);
        FrCalculateFifoTest::TearDown();
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

TEST_F(FrCalculateFifoFailureTest, AFailedRunGivesTheControlsBackAndTheDailyRunComesAgain) {
    company.closeThrough(2024, "11");
    company.exec("Exec sp_rename 'PosDt', 'PosDtAway'");
    auto& window = open("22:30");
    window.BCalculate->animateClick();
    ASSERT_TRUE(processUntil([&] { return !reported.empty(); }));
    EXPECT_TRUE(reported.front().contains("PosDt")) << reported.front().toStdString();
    EXPECT_TRUE(inputEnabled(window));
    EXPECT_FALSE(window.running());
    EXPECT_FALSE(calculationRecorded());

    // Repaired: the daily run, driven by the running timer, comes and succeeds.
    company.exec("Exec sp_rename 'PosDtAway', 'PosDt'");
    now = QDateTime(QDate(2024, 6, 15), QTime(22, 30, 1));
    ASSERT_TRUE(processUntil([&] { return calculationRecorded(); }));
    EXPECT_EQ(reported.size(), 1u);
    EXPECT_EQ(company.calculatedMonths(2024), "12");
    EXPECT_EQ(window.LStatus->text(), doneStatus);
}
