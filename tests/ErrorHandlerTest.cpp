#include "errors/ErrorHandler.h"
#include "StderrCapture.h"
#include "db/DatabaseError.h"
#include "db/TSQLScript.h"
#include "errors/MessageTranslation.h"
#include "errors/StockcostApplication.h"
#include "errors/TFrShowError.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <vector>

using errors::ErrorHandler;
using errors::StockcostApplication;
using errors::TFrShowError;

namespace {

// Records what the handler does, in order: "log:<message>" and "dialog:<text shown>".
struct Recorder {
    std::vector<QString> steps;
    bool logFails = false;

    ErrorHandler handler() {
        return ErrorHandler(
            [this](const QString& message) {
                steps.push_back("log:" + message);
                if (logFails)
                    throw db::DatabaseError("Could not find stored procedure 'AddErrorLog'.");
            },
            [this](TFrShowError& dialog) {
                // Shown the way exec() shows it, so the box holds what the user would see.
                dialog.show();
                steps.push_back("dialog:" + dialog.ErrorBox->toPlainText());
                dialog.BCancel->click();
            });
    }
};

QString shown(const QString& message) {
    // QPlainTextEdit hands bare carriage returns back as line feeds.
    return "dialog:" + errors::composeErrorText(message).replace('\r', '\n');
}

} // namespace

TEST(ErrorHandler, LogsTheMessageAsRaisedBeforeShowingIt) {
    Recorder recorder;
    const QString message = "Cannot insert duplicate key row in object 'dbo.Product' ไม่ได้";
    recorder.handler().ApplicationEvents1Exception(message);
    ASSERT_EQ(recorder.steps.size(), 2u);
    EXPECT_EQ(recorder.steps[0], "log:" + message);
    EXPECT_EQ(recorder.steps[1], shown(message));

    // Two errors in a row: a row and a dialog each.
    recorder.handler().ApplicationEvents1Exception("second");
    ASSERT_EQ(recorder.steps.size(), 4u);
    EXPECT_EQ(recorder.steps[2], "log:second");
    EXPECT_EQ(recorder.steps[3], shown("second"));
}

TEST(ErrorHandler, AFailingLogStillShowsTheOriginalError) {
    Recorder recorder;
    recorder.logFails = true;
    const QString message = "'30/02/2024' is not a valid date";
    EXPECT_NO_THROW(recorder.handler().ApplicationEvents1Exception(message));
    ASSERT_EQ(recorder.steps.size(), 2u);
    EXPECT_EQ(recorder.steps[1], shown(message));

    // Any kind of failure, and no log at all before the configuration module exists.
    std::vector<QString> dialogs;
    auto keep = [&](TFrShowError& dialog) { dialogs.push_back(dialog.ErrorText); };
    ErrorHandler([](const QString&) { throw std::runtime_error("lost"); }, keep)
        .ApplicationEvents1Exception("a");
    ErrorHandler({}, keep).ApplicationEvents1Exception("b");
    EXPECT_EQ(dialogs, (std::vector<QString>{"\rA\r", "\rB\r"}));
}

TEST(ErrorHandler, UnattendedTheDialogsTextGoesToStandardErrorAndNothingWaits) {
    // The test program runs unattended, as a night's run does.
    ASSERT_FALSE(qEnvironmentVariableIsEmpty("STOCKCOST_UNATTENDED"));
    std::vector<QString> logged;
    const ErrorHandler handler([&](const QString& message) { logged.push_back(message); });
    QElapsedTimer elapsed;
    elapsed.start();
    StderrCapture captured;
    handler.ApplicationEvents1Exception(
        "Cannot insert the value NULL into column 'Warehouse', table 'Avg1.dbo.Isdt'");
    handler.ApplicationEvents1Exception("ข้อผิดพลาด");
    const auto text = captured.text();
    // A dialog would have waited for its nine seconds.
    EXPECT_LT(elapsed.elapsed(), 3000);
    EXPECT_EQ(logged.size(), 2u) << "logged as always";
    EXPECT_EQ(text, "stockcost: error: ไม่ได้ป้อนข้อมูลคลัง\n"
                    "stockcost: error: CANNOT INSERT THE VALUE NULL INTO COLUMN 'WAREHOUSE', "
                    "TABLE 'AVG1.DBO.ISDT'\n"
                    "stockcost: error: ข้อผิดพลาด\n");
}

TEST(ErrorHandler, GuardedDispatchSortsWhatEscapes) {
    std::vector<QString> reported;
    const StockcostApplication::ExceptionHandler handler = [&](const QString& message) {
        reported.push_back(message);
    };
    auto run = [&](auto thrower) {
        return StockcostApplication::dispatchGuarded(
            [&]() -> bool {
                thrower();
                return true;
            },
            handler);
    };

    EXPECT_FALSE(run([] { throw db::DatabaseError("Possible network error"); }));
    EXPECT_FALSE(run([] { throw std::runtime_error("ข้อผิดพลาด"); }));
    EXPECT_FALSE(run([] { throw std::bad_alloc(); }));
    EXPECT_FALSE(run([] { throw 42; }));
    EXPECT_EQ(reported, (std::vector<QString>{"Possible network error", "ข้อผิดพลาด",
                                              "std::bad_alloc", "Unknown error"}));

    // A silent abort and a clean dispatch report nothing; the dispatch's own answer comes back.
    reported.clear();
    EXPECT_FALSE(run([] { throw db::SilentAbort(); }));
    EXPECT_TRUE(run([] {}));
    EXPECT_FALSE(StockcostApplication::dispatchGuarded([] { return false; }, handler));
    EXPECT_TRUE(reported.empty());

    // Neither a failing handler nor a missing one lets anything out.
    const StockcostApplication::ExceptionHandler failing = [](const QString&) {
        throw std::runtime_error("dialog failed");
    };
    EXPECT_FALSE(StockcostApplication::dispatchGuarded(
        []() -> bool { throw std::runtime_error("x"); }, failing));
    EXPECT_FALSE(
        StockcostApplication::dispatchGuarded([]() -> bool { throw std::runtime_error("x"); }, {}));
}

// The application object's hook, with real event handlers. Needs the test program's
// application object to be a StockcostApplication.
class ErrorHandlerHook : public ::testing::Test {
protected:
    void SetUp() override {
        app = qobject_cast<StockcostApplication*>(QCoreApplication::instance());
        if (!app)
            GTEST_SKIP() << "the test program's application object is not a StockcostApplication";
        saved = app->exceptionHandler();
        app->setExceptionHandler([this](const QString& message) {
            recorder.handler().ApplicationEvents1Exception(message);
        });
    }
    void TearDown() override {
        if (app)
            app->setExceptionHandler(saved);
    }

    // Runs posted events and timers until the condition holds or a second has passed.
    template <typename Condition> bool processUntil(Condition done) {
        QElapsedTimer elapsed;
        elapsed.start();
        while (!done() && elapsed.elapsed() < 1000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return done();
    }

    StockcostApplication* app = nullptr;
    StockcostApplication::ExceptionHandler saved;
    Recorder recorder;
};

TEST_F(ErrorHandlerHook, AnErrorFromATimerIsReportedAndTheProgramGoesOn) {
    const QString message = "Cannot insert duplicate key row in object 'dbo.Config'";
    QTimer::singleShot(0, [&] { throw db::DatabaseError(message); });
    ASSERT_TRUE(processUntil([&] { return recorder.steps.size() >= 2; }));
    EXPECT_EQ(recorder.steps, (std::vector<QString>{"log:" + message, shown(message)}));

    // The event loop still runs timers and delivers events afterwards.
    bool ranAfter = false;
    QTimer::singleShot(0, [&] { ranAfter = true; });
    EXPECT_TRUE(processUntil([&] { return ranAfter; }));
    EXPECT_EQ(recorder.steps.size(), 2u);
}

TEST_F(ErrorHandlerHook, AnErrorFromAButtonClickIsReported) {
    QPushButton button("BCalculate");
    button.resize(80, 25);
    button.show();
    int clicks = 0;
    QObject::connect(&button, &QPushButton::clicked, [&] {
        if (++clicks == 1)
            throw std::runtime_error("Could not find stored procedure 'CALCULATE_AVG1'.");
    });

    // The button presses itself and clicks when its own timer runs out, as after a key press.
    auto click = [&] {
        const int before = clicks;
        button.animateClick();
        processUntil([&] { return clicks > before; });
    };
    EXPECT_NO_THROW(click());
    ASSERT_EQ(recorder.steps.size(), 2u);
    EXPECT_EQ(recorder.steps[0], "log:Could not find stored procedure 'CALCULATE_AVG1'.");

    // The button still works.
    EXPECT_NO_THROW(click());
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(recorder.steps.size(), 2u);
}

TEST_F(ErrorHandlerHook, ASilentAbortShowsNothing) {
    bool thrown = false;
    QTimer::singleShot(0, [&] {
        thrown = true;
        throw db::SilentAbort();
    });
    ASSERT_TRUE(processUntil([&] { return thrown; }));
    QCoreApplication::processEvents();
    EXPECT_TRUE(recorder.steps.empty());
}
