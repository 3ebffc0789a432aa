#include "costing/avg/procedures/CalculateAvg2ByProdAndMonth.h"

#include "costing/avg/procedures/ProcedureScript.h"
#include "costing/avg/procedures/ProcedureVariables.h"
#include "db/embedded/DecimalRounding.h"

#include <map>
#include <optional>
#include <tuple>

namespace costing {

namespace {

// The returns of one ledger row: sums that stay empty while every value added is null, as
// Sum does.
struct ReturnSums {
    std::optional<double> quantity;
    std::optional<double> amount;
};

// The row averages, leaving out rows that already hold theirs. The embedded engine's
// CostAvg is decimal(28,4), so such a row would be written with the value it has; skipping it
// saves most of the writes, since the update covers every month of the year.
const QString& rowAverages() {
    static const QString statement =
        ProcedureScript::of(QStringLiteral("CALCULATE_AVG2ByProdAndMonth"))
            .statement(QStringLiteral("RowAverages")) +
        QStringLiteral("\n    And (CostAvg Is Null Or CostAvg <> "
                       "Convert(Decimal(28,4), Convert(Float, PurcAmount) / PurcQnty))");
    return statement;
}

void add(std::optional<double>& sum, const QVariant& value) {
    if (value.isNull())
        return;
    sum = sum.value_or(0.0) + value.toDouble();
}

QVariant valueOf(const std::optional<double>& sum) {
    return sum ? QVariant(*sum) : QVariant();
}

} // namespace

int CalculateAvg2ByProdAndMonth::run(db::EmbeddedProcedureContext& call) {
    const auto& script = ProcedureScript::of(QStringLiteral("CALCULATE_AVG2ByProdAndMonth"));
    ProcedureVariables variables(call);
    variables.setIntegerInput(QStringLiteral("@Year"));
    variables.setCharInput(QStringLiteral("@ProdCode"), 20);
    variables.setIntegerInput(QStringLiteral("@Month"));

    script.findProduct(variables);
    variables.execute(rowAverages());

    // Every line is priced before any is added, as the creation script does through its table
    // variable. Keyed by unit, month and year of the ledger row.
    const auto lines = variables.execute(script.statement(QStringLiteral("Returns")));
    std::map<std::tuple<qlonglong, qlonglong, qlonglong>, ReturnSums> rows;
    for (const auto& line : lines.rows) {
        auto& sums = rows[{line[0].toLongLong(), line[1].toLongLong(), line[2].toLongLong()}];
        add(sums.quantity, line[3]);
        add(sums.amount, line[4]);
    }

    for (const auto& [key, sums] : rows) {
        const auto& [unit, period, year] = key;
        variables.set(QStringLiteral("@Unit"), db::DataType::Integer, unit);
        variables.set(QStringLiteral("@Period"), db::DataType::Integer, period);
        variables.set(QStringLiteral("@RowYear"), db::DataType::Integer, year);
        variables.set(QStringLiteral("@Qnty"), db::DataType::Float, valueOf(sums.quantity));
        // Each line's value is already money; their sum is held as money too.
        std::optional<double> amount = sums.amount;
        if (amount)
            amount = db::DecimalRounding::round(*amount, 4);
        variables.set(QStringLiteral("@Amount"), db::DataType::Float, valueOf(amount));

        const auto existing =
            variables.execute(QStringLiteral("Select Count(*) From ProductCostAVG "
                                             "Where Product = @Prod And ProductUnits = @Unit "
                                             "And PeriodNo = @Period And BalanceYear = @RowYear"));
        if (existing.rows.front().front().toLongLong() > 0)
            variables.execute(
                QStringLiteral("Update ProductCostAVG "
                               "Set PurcQnty = Case When @Qnty Is Null Then PurcQnty "
                               "Else IsNull(PurcQnty, 0) + @Qnty End, "
                               "PurcAmount = Case When @Amount Is Null Then PurcAmount "
                               "Else IsNull(PurcAmount, 0) + @Amount End "
                               "Where Product = @Prod And ProductUnits = @Unit "
                               "And PeriodNo = @Period And BalanceYear = @RowYear"));
        else
            variables.execute(
                QStringLiteral("Insert Into ProductCostAVG (Product, ProductUnits, PeriodNo, "
                               "BalanceYear, PurcQnty, PurcAmount, CostAvg) "
                               "Values (@Prod, @Unit, @Period, @RowYear, @Qnty, @Amount, 0.00)"));
    }

    variables.execute(rowAverages());
    return 0;
}

} // namespace costing
