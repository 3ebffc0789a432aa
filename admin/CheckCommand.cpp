#include "admin/CheckCommand.h"

#include "admin/CommandOptions.h"
#include "admin/UsageError.h"
#include "costing/CalculationYear.h"
#include "db/SqlBatches.h"
#include "db/TQuery.h"
#include "db/schema/CostingMethod.h"

#include <stdexcept>

using db::schema::CostingMethod;

namespace {

// A number as an accountant reads it: no trailing zeros after the decimal point.
QString plain(const QVariant& value) {
    if (value.isNull())
        return QStringLiteral("nothing");
    QString text = value.toString();
    if (text.contains('.')) {
        while (text.endsWith('0'))
            text.chop(1);
        if (text.endsWith('.'))
            text.chop(1);
    }
    return text;
}

} // namespace

struct CheckCommand::Finding {
    QString finding;
    bool failure = false;
    QString product;
    int month = 0;
    QString sourceTable;
    QVariant sourceId;
    QString measure;
    QVariant expected;
    QVariant actual;
};

CheckCommand::Options CheckCommand::parse(const QStringList& args) {
    if (args.isEmpty() || args[0].startsWith(QLatin1String("--")))
        throw UsageError(QStringLiteral("check: expects a database name"));
    Options options;
    options.database = args[0];
    bool hasYear = false;
    const CommandOptions given(QStringLiteral("check"), args, 1, {QStringLiteral("--year")});
    for (const auto& [option, value] : given.options()) {
        options.year = static_cast<int>(
            wholeNumberOption(option, value, CalculationYear::first, CalculationYear::last));
        hasYear = true;
    }
    if (!hasYear)
        throw UsageError(QStringLiteral("check: --year is required"));
    return options;
}

CheckCommand::CheckCommand(Options options, QTextStream& out)
    : options_(std::move(options)), out_(out) {}

int CheckCommand::run(const QString& databaseName) {
    const int method = CostingMethod::of(databaseName);
    if (method != CostingMethod::averageCost && method != CostingMethod::fifo)
        throw std::runtime_error(QStringLiteral("%1 uses costing method %2; check knows average "
                                                "cost (1) and FIFO (3)")
                                     .arg(options_.database)
                                     .arg(method)
                                     .toStdString());
    const bool isFifo = method == CostingMethod::fifo;

    // What was calculated: the months of the products, or the ledger rows.
    db::TQuery calculated(
        QStringLiteral("QCalculated"), databaseName,
        isFifo ? QStringLiteral("Select Count(*) As Calculated, (Select Count(*) From "
                                "FifoMovement Where BalanceYear = :Year And PeriodNo > 0) As Moved "
                                "From FifoMonthBalance Where BalanceYear = :Year And PeriodNo > 0")
               : QStringLiteral("Select Count(*) As Calculated, 0 As Moved From ProductCostAVG "
                                "Where BalanceYear = :Year And PeriodNo > 0"));
    calculated.paramByName(QStringLiteral("Year")).setAsInteger(options_.year);
    calculated.open();
    const qint64 count = calculated.fieldByName(QStringLiteral("Calculated")).asInteger();
    const QString methodName = CostingMethod::name(method);
    // FIFO movements without any month calculated are checked, and fail.
    if (count == 0 && calculated.fieldByName(QStringLiteral("Moved")).asInteger() == 0) {
        out_ << QStringLiteral("%1 %2 (%3): nothing calculated\n")
                    .arg(options_.database)
                    .arg(options_.year)
                    .arg(methodName);
        return 1;
    }

    db::TQuery check(QStringLiteral("QCheck"), databaseName,
                     db::sqlResource(isFifo ? QStringLiteral(":/admin/sql/CheckFifo.sql")
                                            : QStringLiteral(":/admin/sql/CheckAvg.sql")));
    check.paramByName(QStringLiteral("Year")).setAsInteger(options_.year);
    int failures = 0;
    int shortages = 0;
    int notes = 0;
    for (check.open(); !check.eof(); check.next()) {
        const auto field = [&check](const char* name) {
            return check.fieldByName(QLatin1String(name)).value();
        };
        Finding finding{field("Finding").toString().trimmed(),
                        field("Failure").toInt() != 0,
                        field("ProdCode").toString().trimmed(),
                        field("PeriodNo").toInt(),
                        field("SourceTable").toString().trimmed(),
                        field("SourceId"),
                        field("Measure").toString().trimmed(),
                        field("Expected"),
                        field("Actual")};
        print(finding);
        if (finding.failure)
            ++failures;
        else if (finding.finding == QLatin1String("shortage"))
            ++shortages;
        else
            ++notes;
    }
    out_ << QStringLiteral("%1 %2 (%3): %4 %5 checked, %6 failing; %7 shortages, %8 other "
                           "notes\n")
                .arg(options_.database)
                .arg(options_.year)
                .arg(methodName)
                .arg(count)
                .arg(isFifo ? QStringLiteral("product months") : QStringLiteral("ledger rows"))
                .arg(failures)
                .arg(shortages)
                .arg(notes);
    out_.flush();
    return failures == 0 ? 0 : 1;
}

void CheckCommand::print(const Finding& finding) {
    QString where = QStringLiteral("%1 month %2").arg(finding.product).arg(finding.month);
    if (!finding.sourceTable.isEmpty())
        where += QStringLiteral(", %1 %2").arg(finding.sourceTable, plain(finding.sourceId));
    QString what;
    if (finding.finding == QLatin1String("shortage"))
        what = QStringLiteral("%1 of the %2 issued were not in stock")
                   .arg(plain(finding.actual), plain(finding.expected));
    else if (finding.finding == QLatin1String("value difference"))
        what = QStringLiteral("%1 of supplier notes found no stock to change")
                   .arg(plain(finding.actual));
    else if (finding.finding == QLatin1String("opening"))
        what = QStringLiteral("the year opens with %1, the stock on hand says %2")
                   .arg(plain(finding.actual), plain(finding.expected));
    else
        what = QStringLiteral("%1 %2, expected %3")
                   .arg(finding.measure, plain(finding.actual), plain(finding.expected));
    out_ << (finding.failure ? QStringLiteral("FAIL ") : QStringLiteral("note ")) << finding.finding
         << ": " << where << ": " << what << "\n";
}
