#include "admin/AvgCostExplanation.h"

#include "db/SqlBatches.h"
#include "db/TQuery.h"

#include <QDateTime>
#include <QMap>

#include <cmath>
#include <map>
#include <vector>

namespace {

QString kindLabel(const QString& table) {
    static const QMap<QString, QString> labels = {
        {QStringLiteral("imdt"), QStringLiteral("imports (imdt)")},
        {QStringLiteral("MRDT"),
         QStringLiteral("purchases on credit, net of discounts and VAT (MRDT)")},
        {QStringLiteral("PCDT"), QStringLiteral("cash purchases, net of discounts and VAT (PCDT)")},
        {QStringLiteral("PRDT"), QStringLiteral("purchase returns (PRDT)")},
        {QStringLiteral("VCNDT"), QStringLiteral("supplier credit notes, value only (VCNDT)")},
        {QStringLiteral("VDNDT"), QStringLiteral("supplier debit notes, value only (VDNDT)")},
        {QStringLiteral("POSRDT"), QStringLiteral("point-of-sale returns (POSRDT)")},
        {QStringLiteral("TranBranchDT"), QStringLiteral("transfers in (TranBranchDT)")},
        {QStringLiteral("ProductAssemblyHd"), QStringLiteral("sets assembled (ProductAssemblyHd)")},
        {QStringLiteral("ProductAssemblyDt"),
         QStringLiteral("components of sets taken apart (ProductAssemblyDt)")},
        {QStringLiteral("WorkOrderHd"), QStringLiteral("finished goods of work orders")},
        {QStringLiteral("WorkOrderDt"),
         QStringLiteral("finished goods of work orders, output lines")},
        {QStringLiteral("SRDT"),
         QStringLiteral("customer returns at the average up to their month (SRDT)")}};
    return labels.value(table, table);
}

// Money (four decimals at most) as a whole number of ten-thousandths, so sums are exact.
qint64 tenThousandths(const QVariant& value) {
    if (!value.isValid() || value.isNull())
        return 0;
    QString text = value.toString().trimmed();
    const bool negative = text.startsWith('-');
    if (negative)
        text.remove(0, 1);
    const auto point = text.indexOf('.');
    QString whole = point < 0 ? text : text.left(point);
    QString fraction = point < 0 ? QString() : text.mid(point + 1);
    fraction = (fraction + QStringLiteral("0000")).left(4);
    const qint64 result = whole.toLongLong() * 10000 + fraction.toLongLong();
    return negative ? -result : result;
}

QString moneyText(qint64 value) {
    const qint64 magnitude = value < 0 ? -value : value;
    QString text = QString::number(magnitude / 10000) + '.' +
                   QString::number(magnitude % 10000).rightJustified(4, '0');
    return CostExplanation::amount((value < 0 ? QStringLiteral("-") : QString()) + text);
}

struct LedgerRow {
    QString unitCode;
    QVariant quantity;
    QVariant amount;
    bool inLedger = false;
    QVariant openingQuantity;
    QVariant openingCost;
    QVariant openingFraction;
    bool hasOpening = false;
    struct Kind {
        QString table;
        int lines = 0;
        QVariant quantity;
        QVariant amount;
    };
    std::vector<Kind> kinds;
};

} // namespace

QStringList AvgCostExplanation::costedTables() {
    return {QStringLiteral("Isdt"),          QStringLiteral("Ridt"),
            QStringLiteral("MFGISDT"),       QStringLiteral("MFGRIDT"),
            QStringLiteral("AdjuststockDt"), QStringLiteral("MFGFinishDt"),
            QStringLiteral("WorkOrderHd")};
}

AvgCostExplanation::AvgCostExplanation(QString databaseName, ExplainedLine line)
    : databaseName_(std::move(databaseName)), line_(std::move(line)) {}

CostExplanation AvgCostExplanation::explain() {
    CostExplanation explanation;
    if (line_.table == QLatin1String("WorkOrderHd")) {
        line_.describe(explanation);
        explainWorkOrder(explanation, line_.id);
        return explanation;
    }
    if (line_.table == QLatin1String("AdjuststockDt") && line_.quantity.toDouble() >= 0) {
        explanation.setNotCosted(QStringLiteral("%1 is not costed: it increases the stock, and a "
                                                "line that increases stock keeps its price.")
                                     .arg(line_.name()));
        return explanation;
    }
    if (!explainAverage(explanation))
        return explanation;
    if (!line_.workOrder.isNull() && line_.table != QLatin1String("Isdt"))
        explainWorkOrder(explanation, line_.workOrder.toLongLong());
    return explanation;
}

bool AvgCostExplanation::explainAverage(CostExplanation& explanation) {
    const QDateTime when = line_.costDate.toDateTime();
    if (line_.costDate.isNull() || !when.isValid()) {
        explanation.setNotCosted(
            line_.table == QLatin1String("MFGFinishDt")
                ? QStringLiteral("%1 is not costed: its work order has no close date, and "
                                 "finished goods are costed in the month their work order is "
                                 "closed.")
                      .arg(line_.name())
                : QStringLiteral("%1 is not costed: it has no date.").arg(line_.name()));
        return false;
    }
    const int year = when.date().year();
    const int month = when.date().month();

    db::TQuery ledger(QStringLiteral("QExplainAvgLedger"), databaseName_,
                      db::sqlResource(QStringLiteral(":/admin/sql/ExplainAvgLedger.sql")));
    ledger.paramByName(QStringLiteral("Year")).setAsInteger(year);
    ledger.paramByName(QStringLiteral("Month")).setAsInteger(month);
    ledger.paramByName(QStringLiteral("Product")).setAsInteger(line_.product);
    ledger.paramByName(QStringLiteral("Fraction")).setAsFloat(line_.fraction.toDouble());

    // Month by month and unit by unit, the ledger row and the receipts that make it.
    std::map<std::pair<int, qint64>, LedgerRow> rows;
    QVariant totalQuantity, totalAmount, cost, price;
    bool calculated = false;
    bool listed = false;
    const auto fieldOf = [&ledger](const char* name) {
        return ledger.fieldByName(QLatin1String(name)).value();
    };
    for (ledger.open(); !ledger.eof(); ledger.next()) {
        const QString part = fieldOf("Part").toString().trimmed();
        if (part == QLatin1String("average")) {
            totalQuantity = fieldOf("Quantity");
            totalAmount = fieldOf("Amount");
            cost = fieldOf("Cost");
            price = fieldOf("Price");
            calculated = fieldOf("Calculated").toInt() != 0;
            listed = fieldOf("Listed").toInt() != 0;
            continue;
        }
        auto& row = rows[{fieldOf("PeriodNo").toInt(), fieldOf("ProductUnits").toLongLong()}];
        row.unitCode = fieldOf("UnitCode").toString().trimmed();
        if (part == QLatin1String("ledger")) {
            row.inLedger = true;
            row.quantity = fieldOf("Quantity");
            row.amount = fieldOf("Amount");
        } else if (part == QLatin1String("opening")) {
            row.hasOpening = true;
            row.openingQuantity = fieldOf("Quantity");
            row.openingCost = fieldOf("Cost");
            row.openingFraction = fieldOf("Lines");
        } else {
            row.kinds.push_back({fieldOf("SourceTable").toString().trimmed(),
                                 fieldOf("Lines").toInt(), fieldOf("Quantity"), fieldOf("Amount")});
        }
    }
    if (!calculated) {
        explanation.setNotCosted(QStringLiteral("%1 is not costed: month %2 of %3 has not been "
                                                "calculated.")
                                     .arg(line_.name())
                                     .arg(month)
                                     .arg(year));
        return false;
    }
    if (!listed) {
        explanation.setNotCosted(
            QStringLiteral("%1 is not costed: the run does not calculate %2 in month %3 of %4 (it "
                           "has no stock on hand row, no ledger row and no work order closed in "
                           "that month).")
                .arg(line_.name(), line_.productText())
                .arg(month)
                .arg(year));
        return false;
    }

    line_.describe(explanation);
    explanation.beginSection(
        QStringLiteral("Year-to-date average cost of %1, %2 up to month %3 (ProductCostAVG)")
            .arg(line_.productCode)
            .arg(year)
            .arg(month));
    for (const auto& [key, row] : rows) {
        const auto& [period, unit] = key;
        const QString where =
            period == 0 ? QStringLiteral("opening row, unit %1").arg(row.unitCode)
                        : QStringLiteral("month %1, unit %2").arg(period).arg(row.unitCode);
        if (row.inLedger)
            explanation.addRow(where, CostExplanation::quantity(row.quantity),
                               CostExplanation::amount(row.amount));
        else
            explanation.addRow(where + QStringLiteral(": no ledger row"));
        if (row.hasOpening)
            explanation.addRow(
                QStringLiteral("    %1 on hand x opening cost %2 per %3 / Fraction %4, to the cent")
                    .arg(CostExplanation::quantity(
                             row.openingQuantity.isNull() ? QVariant(0) : row.openingQuantity),
                         CostExplanation::amount(row.openingCost), row.unitCode,
                         CostExplanation::quantity(row.openingFraction)));
        qint64 explained = 0;
        double explainedQuantity = 0;
        for (const auto& kind : row.kinds) {
            explanation.addRow(
                QStringLiteral("    %1, %2 %3")
                    .arg(kindLabel(kind.table))
                    .arg(kind.lines)
                    .arg(kind.lines == 1 ? QStringLiteral("line") : QStringLiteral("lines")),
                CostExplanation::quantity(kind.quantity), CostExplanation::amount(kind.amount));
            explained += tenThousandths(kind.amount);
            explainedQuantity += kind.quantity.toDouble();
        }
        if (period > 0 && row.inLedger &&
            (explained != tenThousandths(row.amount) ||
             std::abs(explainedQuantity - row.quantity.toDouble()) > 0.000001))
            explanation.addRow(
                QStringLiteral("    not explained by the documents as they are now (changed "
                               "since the run?)"),
                CostExplanation::quantity(row.quantity.toDouble() - explainedQuantity),
                moneyText(tenThousandths(row.amount) - explained));
    }
    explanation.addRow(QStringLiteral("sum up to month %1").arg(month),
                       CostExplanation::quantity(totalQuantity),
                       CostExplanation::amount(totalAmount));
    explanation.addRow(QStringLiteral("average (value / quantity, to 4 decimals)"), {},
                       CostExplanation::amount(cost));
    const QString perUnit = CostExplanation::amount(price);
    explanation.addRow(QStringLiteral("per unit of the line (x Fraction %1)")
                           .arg(CostExplanation::quantity(line_.fraction)),
                       {}, perUnit);
    const QString written = CostExplanation::amount(line_.price);
    explanation.addRow(QStringLiteral("Price written in the line"), {}, written);
    if (written != perUnit)
        explanation.addRow(QStringLiteral("the Price in the line differs: it was changed after "
                                          "the run, or the run did not write it"));
    return true;
}

void AvgCostExplanation::explainWorkOrder(CostExplanation& explanation, qint64 workOrder) {
    db::TQuery tree(QStringLiteral("QExplainAvgWorkOrder"), databaseName_,
                    db::sqlResource(QStringLiteral(":/admin/sql/ExplainAvgWorkOrder.sql")));
    tree.paramByName(QStringLiteral("WorkOrderHd")).setAsInteger(workOrder);
    bool first = true;
    bool hasChildren = false;
    QString order;
    for (tree.open(); !tree.eof(); tree.next()) {
        const auto field = [&tree](const char* name) {
            return tree.fieldByName(QLatin1String(name)).value();
        };
        const QString indent(2 * field("Level").toInt(), ' ');
        const QString number = field("WorkOrderNo").toString().trimmed();
        if (first) {
            explanation.beginSection(QStringLiteral("Work order tree of %1, children first in "
                                                    "the costing")
                                         .arg(number));
            first = false;
        }
        if (field("Part").toString().trimmed() == QLatin1String("order")) {
            order = number;
            hasChildren = field("HasChildren").toInt() != 0;
            const bool cleared = field("Clear").toString() == QLatin1String("Y");
            const QString bill = field("BomAssembly").toString().trimmed();
            explanation.addRow(
                indent +
                QStringLiteral("%1%2: makes %3, work date %4, closed %5, %6, %7")
                    .arg(number,
                         field("Id").toLongLong() == workOrder ? QStringLiteral(" (this one)")
                                                               : QString(),
                         bill == QLatin1String("N") ? QStringLiteral("its output lines")
                                                    : field("ProdCode").toString().trimmed(),
                         CostExplanation::date(field("WorkDate")),
                         CostExplanation::date(field("CloseDate")),
                         cleared ? QStringLiteral("cleared") : QStringLiteral("not cleared"),
                         bill.isEmpty() ? QStringLiteral("no bill of materials, not costed")
                                        : QStringLiteral("bill ") + bill));
            explanation.addRow(indent + QStringLiteral("  material issued (quantity x CostAVG)"),
                               {}, CostExplanation::amount(field("Issued")));
            explanation.addRow(indent + QStringLiteral("  less material returned"), {},
                               CostExplanation::amount(field("Returned")));
            explanation.addRow(indent + QStringLiteral("  bill expenses per unit finished (E)"), {},
                               CostExplanation::amount(field("ExpenseE")));
            explanation.addRow(indent + QStringLiteral("  bill expenses per work order (F)"), {},
                               CostExplanation::amount(field("ExpenseF")));
            explanation.addRow(indent + QStringLiteral("  quantity finished"),
                               CostExplanation::quantity(field("FQ")));
            const QString unitCost = CostExplanation::amount(field("UnitCost"));
            explanation.addRow(
                indent + QStringLiteral("  unit cost (total / quantity finished)"), {},
                unitCost.isEmpty() ? QStringLiteral("none (no output line)") : unitCost);
            const QString written = CostExplanation::amount(field("CostAVG"));
            explanation.addRow(indent + QStringLiteral("  CostAVG written in %1").arg(number), {},
                               written.isEmpty() ? QStringLiteral("none") : written);
            if (written.isEmpty() && !unitCost.isEmpty())
                explanation.addRow(indent + QStringLiteral("  not costed by the run: no work "
                                                           "order of its tree marked N was "
                                                           "closed in a calculated month"));
            else if (written != unitCost)
                explanation.addRow(indent + QStringLiteral("  the CostAVG written differs: the "
                                                           "material changed after the run"));
            continue;
        }
        // A material line and the candidates its cost was chosen from.
        const QString table = field("SourceTable").toString().trimmed();
        const qint64 id = field("LineId").toLongLong();
        const bool isThisLine = table == line_.table && id == line_.id;
        const QString childOrder = CostExplanation::amount(field("ChildOrderCost"));
        const QString childLine = CostExplanation::amount(field("ChildLineCost"));
        const QString average = CostExplanation::amount(field("AverageCost"));
        QString chosen;
        if (field("Delflag").toString() != QLatin1String("N"))
            chosen = QStringLiteral("nothing, its document is not marked N and keeps its cost");
        else if (hasChildren && !childOrder.isEmpty())
            chosen = QStringLiteral("the cost of child order %1")
                         .arg(field("ChildOrderNo").toString().trimmed());
        else if (hasChildren && !childLine.isEmpty())
            chosen = QStringLiteral("the output line of child order %1")
                         .arg(field("ChildLineNo").toString().trimmed());
        else
            chosen = QStringLiteral("the average of month %1 x Fraction %2 (now %3)")
                         .arg(field("WorkDate").toDateTime().date().month())
                         .arg(CostExplanation::quantity(field("Fraction")))
                         .arg(average.isEmpty() ? QStringLiteral("0.00") : average);
        explanation.addRow(
            indent + QStringLiteral("  %1 %2 of %3, %4%5: priced by %6")
                         .arg(table == QLatin1String("MFGISDT") ? QStringLiteral("issued")
                                                                : QStringLiteral("returned"))
                         .arg(QStringLiteral("%1 %2").arg(table).arg(id))
                         .arg(order, field("ProdCode").toString().trimmed(),
                              isThisLine ? QStringLiteral(" (this line)") : QString(), chosen),
            CostExplanation::quantity(field("Quantity")),
            CostExplanation::amount(field("CostAVG")));
    }
}
