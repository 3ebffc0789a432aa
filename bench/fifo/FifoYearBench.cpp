// A whole FIFO year on a company: the FIFO costing's procedures called for every month in the
// order the FIFO month run calls them (tests/FifoProcedureRun.h), timed. bench/fifo-bench.sh
// runs it beside stockcost-admin calculate on an average-cost company of the same size.
//
// Usage: stockcost-fifo-bench SERVER DATABASE YEAR
// Prints one line: seconds, procedure calls, failed calls.
#include "costing/fifo/procedures/FifoProcedures.h"
#include "db/TDatabase.h"
#include "tests/FifoProcedureRun.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: stockcost-fifo-bench SERVER DATABASE YEAR\n");
        return 2;
    }
    const QString alias = QStringLiteral("FIFOBENCH");
    db::TDatabase database(alias);
    database.params() = QStringList{QStringLiteral("DATABASE NAME=") + args[2],
                                    QStringLiteral("SERVER NAME=") + args[1]};
    try {
        database.open();
        FifoProcedureRun run(alias);
        QElapsedTimer timer;
        timer.start();
        run.runYear(args[3].toInt());
        std::printf("%.2f %d %zu\n", static_cast<double>(timer.elapsed()) / 1000.0, run.calls(),
                    run.failures().size());
        for (auto it = run.milliseconds().cbegin(); it != run.milliseconds().cend(); ++it)
            std::fprintf(stderr, "%s: %.0f ms\n", qPrintable(it.key()), it.value());
        for (const auto& failure : run.failures())
            std::fprintf(stderr, "%s %s month %d: %s\n", qPrintable(failure.procedure),
                         qPrintable(failure.argument), failure.month, qPrintable(failure.message));
    } catch (const db::DatabaseError& error) {
        std::fprintf(stderr, "%s\n", qPrintable(error.message()));
        return 1;
    }
    return 0;
}
