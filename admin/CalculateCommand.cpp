#include "admin/CalculateCommand.h"

#include "admin/CommandOptions.h"
#include "admin/TerminalProgress.h"
#include "admin/UsageError.h"
#include "costing/CalculationDate.h"
#include "costing/CalculationYear.h"
#include "costing/ProcedureCheck.h"
#include "costing/ProductLookup.h"
#include "costing/YearRun.h"
#include "costing/avg/AvgMonthRun.h"
#include "costing/avg/UncalculatedMonths.h"
#include "db/LockWaitListener.h"
#include "db/TStoredProc.h"
#include "db/schema/CostingMethod.h"

#include <cstdio>
#include <stdexcept>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

using db::schema::CostingMethod;

namespace {

QDateTime serverTime(const QString& databaseName) {
    db::TStoredProc procedure(QStringLiteral("SpServerTime"), databaseName,
                              QStringLiteral("ServerTime"));
    procedure.execProc();
    return procedure.paramByName(QStringLiteral("@ServerTime")).asDateTime();
}

} // namespace

CalculateCommand::Options CalculateCommand::parse(const QStringList& args) {
    if (args.isEmpty() || args[0].startsWith(QLatin1String("--")))
        throw UsageError(QStringLiteral("calculate: expects a database name"));
    Options options;
    options.database = args[0];
    bool hasYear = false;
    const CommandOptions given(
        QStringLiteral("calculate"), args, 1,
        {QStringLiteral("--year"), QStringLiteral("--from-month"), QStringLiteral("--product")});
    for (const auto& [option, value] : given.options()) {
        if (option == QLatin1String("--year")) {
            options.year = static_cast<int>(
                wholeNumberOption(option, value, CalculationYear::first, CalculationYear::last));
            hasYear = true;
        } else if (option == QLatin1String("--from-month")) {
            options.fromMonth = static_cast<int>(wholeNumberOption(option, value, 1, 12));
        } else {
            // Empty, it would quietly mean every product.
            if (value.isEmpty())
                throw UsageError(QStringLiteral("calculate: --product expects a product code"));
            options.product = value;
        }
    }
    if (!hasYear)
        throw UsageError(QStringLiteral("calculate: --year is required"));
    return options;
}

bool CalculateCommand::stdoutIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stdout)) != 0;
#else
    return isatty(fileno(stdout)) != 0;
#endif
}

CalculateCommand::CalculateCommand(Options options, QTextStream& out, QTextStream& err,
                                   bool interactive)
    : options_(std::move(options)), out_(out), err_(err), interactive_(interactive) {}

int CalculateCommand::run(const QString& databaseName) {
    TerminalProgress progress(out_, interactive_);
    // A statement held up by another user's lock says so on the progress line.
    const db::LockWaitListener lockWait([&progress](const QString& database,
                                                    std::chrono::milliseconds waited,
                                                    std::chrono::milliseconds) {
        progress.showLockWait(database, int(waited.count() / 1000));
    });
    YearRun yearRun(databaseName, progress);
    try {
        calculate(databaseName, progress, yearRun);
    } catch (...) {
        // The error is reported on a line of its own.
        progress.finish();
        throw;
    }
    progress.finish();

    out_ << QStringLiteral("%1: calculated %2, months %3 to 12%4, in %5 s%6\n")
                .arg(options_.database)
                .arg(options_.year)
                .arg(options_.fromMonth)
                .arg(options_.product.isEmpty()
                         ? QString()
                         : QStringLiteral(", product %1").arg(options_.product))
                .arg(progress.elapsedSeconds(), 0, 'f', 1)
                .arg(failures_.empty()
                         ? QString()
                         : QStringLiteral("; %1 procedure calls failed").arg(failures_.size()));
    for (const int month : yearRun.repeatedFrom())
        out_ << QStringLiteral("  months %1 to 12 again: a work order's cost changed after its "
                               "finished goods were taken into stock\n")
                    .arg(month);
    out_.flush();
    int status = 0;
    if (!yearRun.unsettledWorkOrders().isEmpty()) {
        err_ << QStringLiteral("%1: the costs of work orders %2 still changed after %3 passes; "
                               "the costs of their finished goods may not be final\n")
                    .arg(options_.database,
                         yearRun.unsettledWorkOrders().join(QStringLiteral(", ")))
                    .arg(YearRun::maxPasses);
        status = 1;
    }
    if (!failures_.empty()) {
        err_ << QStringLiteral("%1: %2 procedure calls failed (also written to the error log):\n")
                    .arg(options_.database)
                    .arg(failures_.size());
        for (const auto& failure : failures_)
            err_ << "  " << failure.text() << "\n";
        status = 1;
    }
    err_.flush();
    return status;
}

void CalculateCommand::calculate(const QString& databaseName, TerminalProgress& progress,
                                 YearRun& yearRun) {
    const int method = costingMethod(databaseName);
    checkProduct(databaseName, method);

    CalculationDate calculationDate(databaseName);
    calculationDate.addColumns();
    checkProcedures(databaseName, method == CostingMethod::fifo ? ProcedureCheck::fifo()
                                                                : ProcedureCheck::averageCost());

    const auto runStart = serverTime(databaseName);
    if (method == CostingMethod::fifo)
        calculateFifo(databaseName, progress, yearRun);
    else
        calculateAverageCost(databaseName, progress, yearRun);
    calculationDate.record(options_.year, runStart);
}

void CalculateCommand::calculateAverageCost(const QString& databaseName, TerminalProgress& progress,
                                            YearRun& yearRun) {
    AvgMonthRun monthRun(progress, databaseName);
    monthRun.setCompanyDatabase(options_.database);
    monthRun.setProductFilter(options_.product);
    yearRun.run(options_.year, options_.fromMonth, [&](int month) {
        progress.beginMonth(options_.year, month);
        monthRun.CalculateProdAVGMonth(options_.year, month);
    });
}

void CalculateCommand::calculateFifo(const QString& databaseName, TerminalProgress& progress,
                                     YearRun& yearRun) {
    progress.setPhaseCount(4);
    FifoMonthRun monthRun(progress, databaseName);
    monthRun.setProductFilter(options_.product);
    monthRun.setErrorLog(errorLog_);
    monthRun.beginRun();
    yearRun.run(options_.year, options_.fromMonth, [&](int month) {
        progress.beginMonth(options_.year, month);
        monthRun.CalculateProdFIFOMonth(options_.year, month);
    });
    failures_ = monthRun.failures();
}

int CalculateCommand::costingMethod(const QString& databaseName) {
    const int method = CostingMethod::of(databaseName);
    if (method != CostingMethod::averageCost && method != CostingMethod::fifo)
        throw std::runtime_error(
            QStringLiteral("%1 uses costing method %2 (%3); calculate runs average cost "
                           "(method 1) and FIFO (method 3) only")
                .arg(options_.database)
                .arg(method)
                .arg(CostingMethod::name(method))
                .toStdString());
    return method;
}

// Before anything is changed: a code that names no product would calculate nothing, and a run
// for one product on average-cost months never calculated for all would cost the work orders
// from nothing.
void CalculateCommand::checkProduct(const QString& databaseName, int method) {
    if (options_.product.isEmpty())
        return;
    if (!ProductLookup::exists(databaseName, options_.product))
        throw std::runtime_error(QStringLiteral("%1 has no product with the code '%2'; nothing "
                                                "was calculated")
                                     .arg(options_.database, options_.product)
                                     .toStdString());
    if (method != CostingMethod::averageCost)
        return;
    const auto uncalculated =
        UncalculatedMonths::find(databaseName, options_.year, options_.fromMonth);
    if (!uncalculated.isEmpty())
        throw std::runtime_error(
            QStringLiteral("%1: months %2 of %3 have never been calculated for all products, "
                           "so the work orders a run for one product costs would get costs from "
                           "an almost empty ledger; calculate them without --product first. "
                           "Nothing was calculated")
                .arg(options_.database, UncalculatedMonths::listed(uncalculated))
                .arg(options_.year)
                .toStdString());
}

void CalculateCommand::checkProcedures(const QString& databaseName, const QStringList& names) {
    const auto missing = ProcedureCheck::missing(databaseName, names);
    if (missing.isEmpty())
        return;
    throw std::runtime_error(QStringLiteral("%1 lacks the procedures %2 (stockcost-admin install)")
                                 .arg(options_.database, missing.join(QStringLiteral(", ")))
                                 .toStdString());
}
