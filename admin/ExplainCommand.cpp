#include "admin/ExplainCommand.h"

#include "admin/AvgCostExplanation.h"
#include "admin/CommandOptions.h"
#include "admin/CostExplanation.h"
#include "admin/ExplainedLine.h"
#include "admin/FifoCostExplanation.h"
#include "admin/UsageError.h"
#include "db/schema/CostingMethod.h"

#include <stdexcept>

using db::schema::CostingMethod;

namespace {} // namespace

ExplainCommand::Options ExplainCommand::parse(const QStringList& args) {
    if (args.size() < 3 || args[0].startsWith(QLatin1String("--")) ||
        args[1].startsWith(QLatin1String("--")) || args[2].startsWith(QLatin1String("--")))
        throw UsageError(QStringLiteral("explain: expects a database, a table and a line id"));
    Options options;
    options.database = args[0];
    options.table = args[1];
    bool ok = false;
    options.id = args[2].toLongLong(&ok);
    if (!ok)
        throw UsageError(
            QStringLiteral("explain: the line id is a whole number, not '%1'").arg(args[2]));
    const CommandOptions given(QStringLiteral("explain"), args, 3, {QStringLiteral("--format")});
    for (const auto& option : given.options()) {
        if (option.value == QLatin1String("tsv"))
            options.tsv = true;
        else if (option.value == QLatin1String("text"))
            options.tsv = false;
        else
            throw UsageError(
                QStringLiteral("--format expects text or tsv, not '%1'").arg(option.value));
    }
    return options;
}

ExplainCommand::ExplainCommand(Options options, QTextStream& out)
    : options_(std::move(options)), out_(out) {}

CostExplanation ExplainCommand::explain(const QString& databaseName) const {
    const int method = CostingMethod::of(databaseName);
    if (method != CostingMethod::averageCost && method != CostingMethod::fifo)
        throw std::runtime_error(QStringLiteral("%1 uses costing method %2; explain knows "
                                                "average cost (1) and FIFO (3)")
                                     .arg(options_.database)
                                     .arg(method)
                                     .toStdString());
    CostExplanation explanation;
    const QString table = ExplainedLine::knownTable(options_.table);
    if (table.isEmpty() ||
        (method == CostingMethod::averageCost && !AvgCostExplanation::isCostedTable(table))) {
        explanation.setNotCosted(
            QStringLiteral("%1 is not a table whose lines the %2 costs; it costs %3.")
                .arg(options_.table, CostingMethod::name(method),
                     method == CostingMethod::fifo
                         ? QStringLiteral("the lines of the stock documents, sales "
                                          "and production")
                         : AvgCostExplanation::costedTables().join(QStringLiteral(", "))));
        return explanation;
    }
    auto line = ExplainedLine::load(databaseName, table, options_.id);
    if (!line) {
        explanation.setNotCosted(QStringLiteral("%1 has no line %2 in %3.")
                                     .arg(table)
                                     .arg(options_.id)
                                     .arg(options_.database));
        return explanation;
    }
    if (method == CostingMethod::fifo)
        return FifoCostExplanation(databaseName, *line).explain();
    return AvgCostExplanation(databaseName, *line).explain();
}

int ExplainCommand::run(const QString& databaseName) {
    const CostExplanation explanation = explain(databaseName);
    out_ << (options_.tsv ? explanation.tsv() : explanation.text());
    out_.flush();
    return explanation.isCosted() ? 0 : 1;
}
