// The average-cost window's run, started by its daily timer on whatever display Qt is given
// (Xvfb in bench/window-bench.sh), against stockcost-admin calculate on the same company, taken
// in turns in one sitting. Prints the seconds of every run and the ratio of the medians.
//
// Usage: stockcost-window-bench ADMIN DATABASE YEAR [ROUNDS]
// The working directory holds the Server.Dat of the company's server.
#include "costing/avg/Fr_Calculate_AVG.h"
#include "costing/avg/procedures/AvgProcedures.h"
#include "data/U_DM.h"
#include "errors/StockcostApplication.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const QString doneStatus = QStringLiteral("สถานะ : คำนวณต้นทุนเรียบร้อย");

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Times the run that one of the window's daily ticks starts: from the moment the tick is
// delivered to the moment its handler returns.
class DailyRunTimer : public QObject {
public:
    static inline const QTime dailyTime{12, 0};

    explicit DailyRunTimer(TFrCalculate_AVG& window) : window_(window) {
        window_.setClock([this] { return now_; });
        window_.Timer1->installEventFilter(this);
        // Connected after the window's own handler, so it runs once that has returned.
        connect(window_.Timer1, &QTimer::timeout, this, [this] { tickHandled(); });
    }

    // Moves the window's clock to the daily time of the next day and waits for the run that
    // the timer's next tick starts.
    double runOnce() {
        window_.LStatus->setText(QString());
        finished_ = false;
        now_ = QDateTime(now_.date().addDays(1), dailyTime);
        while (!finished_)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        return seconds_;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // A tick delivered inside a run is not the one that started it.
        if (watched == window_.Timer1 && event->type() == QEvent::Timer && !window_.running())
            tick_.start();
        return false;
    }

private:
    void tickHandled() {
        if (finished_ || window_.LStatus->text() != doneStatus)
            return;
        seconds_ = double(tick_.nsecsElapsed()) / 1e9;
        finished_ = true;
    }

    TFrCalculate_AVG& window_;
    // Before the daily time at first, so that showing the window starts nothing.
    QDateTime now_{QDate(2000, 1, 1), QTime(8, 0)};
    QElapsedTimer tick_;
    bool finished_ = false;
    double seconds_ = 0;
};

double runCalculate(const QString& admin, const QString& database, int year) {
    QProcess process;
    QElapsedTimer elapsed;
    elapsed.start();
    process.start(admin, {QStringLiteral("calculate"), database, QStringLiteral("--year"),
                          QString::number(year)});
    process.waitForFinished(-1);
    const double seconds = double(elapsed.nsecsElapsed()) / 1e9;
    if (process.exitCode() != 0) {
        std::fprintf(stderr, "calculate failed: %s\n", process.readAllStandardError().constData());
        std::exit(1);
    }
    return seconds;
}

} // namespace

int main(int argc, char** argv) {
    errors::StockcostApplication app(argc, argv);
    const auto args = app.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: stockcost-window-bench ADMIN DATABASE YEAR [ROUNDS]\n");
        return 2;
    }
    const QString admin = args[1];
    const QString database = args[2];
    const int year = args[3].toInt();
    const int rounds = args.size() > 4 ? args[4].toInt() : 3;
    app.setExceptionHandler([](const QString& message) {
        std::fprintf(stderr, "error: %s\n", message.toUtf8().constData());
        std::exit(1);
    });
    costing::registerAvgProcedures();

    TDM dm;
    dm.setCompanyDatabase(database);
    dm.DMdata.open();
    TFrCalculate_AVG window(dm, database);
    window.AutoRunTime = DailyRunTimer::dailyTime.toString(QStringLiteral("HH:mm"));
    DailyRunTimer timer(window);
    window.show();
    QCoreApplication::processEvents();
    window.BGetYear->setText(QString::number(year));

    std::vector<double> calculate;
    std::vector<double> windowRuns;
    std::printf("%6s %12s %12s\n", "round", "calculate s", "window s");
    for (int round = 1; round <= rounds; ++round) {
        calculate.push_back(runCalculate(admin, database, year));
        windowRuns.push_back(timer.runOnce());
        std::printf("%6d %12.2f %12.2f\n", round, calculate.back(), windowRuns.back());
        std::fflush(stdout);
    }
    std::printf("median: calculate %.2f s, window %.2f s, window/calculate %.2f\n",
                median(calculate), median(windowRuns), median(windowRuns) / median(calculate));
    return 0;
}
