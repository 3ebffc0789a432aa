// A window's month-run progress offscreen: labels that always name the item in hand, repaints
// held to a few tens a second however fast the run reports, a timer that keeps ticking, and the
// notice of a wait for another user's lock.
#include "costing/WindowProgress.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QWidget>

#include <limits>

class WindowProgressTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.resize(400, 200);
        for (auto* label : {&status, &month, &item})
            label->setParent(&window);
        bar.setParent(&window);
        window.show();
        QCoreApplication::processEvents();
    }

    // Reports one product after another, as fast as the run could, for that long.
    int reportProductsFor(qint64 milliseconds) {
        QElapsedTimer elapsed;
        elapsed.start();
        int products = 0;
        while (elapsed.elapsed() < milliseconds) {
            ++products;
            progress.setProgressPosition(products);
            progress.setMonth("เดือน : 3");
            progress.setProduct("สินค้า : P" + QString::number(products));
            progress.refresh();
        }
        return products;
    }

    QWidget window;
    QLabel status{"สถานะ"};
    QLabel month;
    QLabel item;
    QProgressBar bar;
    WindowProgress progress{status, month, item, bar};
};

TEST_F(WindowProgressTest, RepaintsAFewTensOfTimesASecondWhileTheLabelsKeepUp) {
    progress.setProgressMaximum(std::numeric_limits<int>::max());
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(100);

    const int products = reportProductsFor(600);
    ASSERT_GT(products, 1000) << "too slow a machine to tell a throttle from none";
    // At most one repaint per 40 ms, plus the first; and not starved either.
    EXPECT_LE(progress.repaints(), 600 / WindowProgress::repaintMilliseconds + 2);
    EXPECT_GE(progress.repaints(), 5);
    // The timer ticked at the repaints in between.
    EXPECT_GE(ticks, 3);
    // The label names the last product at once; the bar catches up at the latest with flush().
    EXPECT_EQ(item.text(), "สินค้า : P" + QString::number(products));
    EXPECT_LE(bar.value(), products);
    progress.flush();
    EXPECT_EQ(bar.value(), products);
}

TEST_F(WindowProgressTest, EachPhaseStartsItsBarFromNothing) {
    progress.setProgressMaximum(10);
    progress.setProgressPosition(7);
    progress.flush();
    EXPECT_EQ(bar.value(), 7);
    progress.setProgressMaximum(0);
    EXPECT_EQ(bar.value(), 0);
    EXPECT_EQ(bar.maximum(), 1) << "an empty phase shows an empty bar, not a busy one";
    progress.setProgressMaximum(4);
    progress.flush();
    EXPECT_EQ(bar.value(), 0);
    EXPECT_EQ(bar.maximum(), 4);
}

TEST_F(WindowProgressTest, ALockWaitShowsInTheStatusUntilTheRunMovesOn) {
    progress.setStatus("สถานะ : กำลังคำนวณรับคืน (3/3)");
    progress.setProduct("สินค้า : A001 - น้ำปลา");
    progress.showLockWait("DEMO", 2);
    progress.showLockWait("DEMO", 3);
    EXPECT_EQ(status.text(), "สถานะ : รอ ฐานข้อมูล DEMO ถูกผู้ใช้อื่นล็อกอยู่ (3 วินาที)");
    EXPECT_EQ(item.text(), "สินค้า : A001 - น้ำปลา") << "still the item in hand";

    // The next product: the phase's status comes back.
    progress.setProduct("สินค้า : B002 - ซีอิ๊ว");
    EXPECT_EQ(status.text(), "สถานะ : กำลังคำนวณรับคืน (3/3)");

    // A new status ends the notice as well, and is what stays.
    progress.showLockWait("DEMO", 1);
    progress.setStatus("สถานะ : กำลังคำนวณรับคืน (3/3) Set Cost In transaction");
    progress.setProgressPosition(2);
    EXPECT_EQ(status.text(), "สถานะ : กำลังคำนวณรับคืน (3/3) Set Cost In transaction");
}
