#include "admin/FifoCostExplanation.h"

#include "db/SqlBatches.h"
#include "db/TQuery.h"

namespace {

// The tables whose lines get the FIFO cost written into their Price.
bool hasPrice(const QString& table) {
    return QStringList{QStringLiteral("Isdt"),        QStringLiteral("Ridt"),
                       QStringLiteral("MFGISDT"),     QStringLiteral("MFGRIDT"),
                       QStringLiteral("MFGFinishDt"), QStringLiteral("AdjuststockDt")}
        .contains(table);
}

QString receiptName(const QVariant& table, const QVariant& id, const QVariant& date) {
    return table.toString().trimmed() + ' ' + id.toString() + QStringLiteral(" of ") +
           CostExplanation::date(date);
}

} // namespace

FifoCostExplanation::FifoCostExplanation(QString databaseName, ExplainedLine line)
    : databaseName_(std::move(databaseName)), line_(std::move(line)) {}

CostExplanation FifoCostExplanation::explain() {
    if (line_.table == QLatin1String("WorkOrderHd"))
        return explainWorkOrder();
    CostExplanation explanation;
    db::TQuery movement(QStringLiteral("QExplainFifoMovement"), databaseName_,
                        db::sqlResource(QStringLiteral(":/admin/sql/ExplainFifoMovement.sql")));
    movement.paramByName(QStringLiteral("Table")).setAsString(line_.table);
    movement.paramByName(QStringLiteral("Id")).setAsInteger(line_.id);
    movement.open();
    if (movement.isEmpty()) {
        explanation.setNotCosted(notCostedReason());
        return explanation;
    }
    const auto field = [&movement](const char* name) {
        return movement.fieldByName(QLatin1String(name)).value();
    };
    const int year = field("BalanceYear").toInt();
    const int month = field("PeriodNo").toInt();
    if (field("Calculated").toInt() == 0) {
        explanation.setNotCosted(
            QStringLiteral("%1 is not costed yet: the FIFO movements of %2 for month %3 of %4 are "
                           "built, but the month has not been costed (Calculate_FIFO2 has not "
                           "run for it).")
                .arg(line_.name(), line_.productText())
                .arg(month)
                .arg(year));
        return explanation;
    }

    line_.describe(explanation);
    explanation.addRow(QStringLiteral("quantity in base units"),
                       CostExplanation::quantity(field("Quantity")));
    const QString kind = field("Kind").toString().trimmed();
    if (kind == QLatin1String("V")) {
        explanation.beginSection(
            QStringLiteral("FIFO, month %1 of %2: a change of value only").arg(month).arg(year));
        const auto amount = field("Amount");
        const auto applied = field("AppliedAmount");
        explanation.addRow(QStringLiteral("amount of the note"), {},
                           CostExplanation::amount(amount));
        explanation.addRow(QStringLiteral("shared over the units in stock on its date"), {},
                           CostExplanation::amount(applied));
        explanation.addRow(QStringLiteral("found no stock (the month's value difference)"), {},
                           CostExplanation::amount(field("NoStockAmount")));
        return explanation;
    }
    if (kind == QLatin1String("I"))
        explainIssue(movement, explanation);
    else
        explainReceipt(movement, explanation);

    explanation.addRow(QStringLiteral("per base unit (value / quantity, to 4 decimals)"), {},
                       CostExplanation::amount(field("UnitCost")));
    const QString price = CostExplanation::amount(field("Price"));
    explanation.addRow(QStringLiteral("per unit of the line (x Fraction %1)")
                           .arg(CostExplanation::quantity(field("Fraction"))),
                       {}, price);
    if (hasPrice(line_.table)) {
        const QString written = CostExplanation::amount(line_.price);
        explanation.addRow(QStringLiteral("Price written in the line"), {}, written);
        if (written != price)
            explanation.addRow(QStringLiteral(
                "the Price in the line differs: it was changed after the run, or the run did "
                "not write it"));
    }
    return explanation;
}

void FifoCostExplanation::explainIssue(const db::TQuery& movement, CostExplanation& explanation) {
    const auto field = [&movement](const char* name) {
        return movement.fieldByName(QLatin1String(name)).value();
    };
    const int year = field("BalanceYear").toInt();
    const int month = field("PeriodNo").toInt();
    explanation.beginSection(
        QStringLiteral("FIFO, month %1 of %2: layers taken, oldest first").arg(month).arg(year));
    db::TQuery layers(QStringLiteral("QExplainFifoLayers"), databaseName_,
                      db::sqlResource(QStringLiteral(":/admin/sql/ExplainFifoLayers.sql")));
    layers.paramByName(QStringLiteral("Product")).setAsInteger(line_.product);
    layers.paramByName(QStringLiteral("Year")).setAsInteger(year);
    layers.paramByName(QStringLiteral("Month")).setAsInteger(month);
    layers.paramByName(QStringLiteral("Seq")).setAsInteger(field("Seq").toLongLong());
    for (layers.open(); !layers.eof(); layers.next()) {
        const auto layer = [&layers](const char* name) {
            return layers.fieldByName(QLatin1String(name)).value();
        };
        QString label = QStringLiteral("layer ") +
                        receiptName(layer("SourceTable"), layer("SourceId"), layer("MovementDate"));
        if (layer("LayerPeriod").toInt() == 0)
            label += QStringLiteral(", carried into %1").arg(year);
        explanation.addRow(label, CostExplanation::quantity(layer("Quantity")),
                           CostExplanation::amount(layer("Amount")));
    }
    const auto shortQuantity = field("ShortQuantity");
    if (shortQuantity.toString().toDouble() > 0)
        explanation.addRow(
            QStringLiteral("short: not in stock, valued at the cost of the last layer consumed"),
            CostExplanation::quantity(shortQuantity),
            CostExplanation::amount(field("ShortAmount")));
    explanation.addRow(QStringLiteral("cost of goods issued"),
                       CostExplanation::quantity(field("Quantity")),
                       CostExplanation::amount(field("Amount")));
}

void FifoCostExplanation::explainReceipt(const db::TQuery& movement, CostExplanation& explanation) {
    const auto field = [&movement](const char* name) {
        return movement.fieldByName(QLatin1String(name)).value();
    };
    const int year = field("BalanceYear").toInt();
    const int month = field("PeriodNo").toInt();
    explanation.beginSection(
        QStringLiteral("FIFO, month %1 of %2: a receipt, a layer of its own").arg(month).arg(year));
    const QString valuation = field("Valuation").toString().trimmed();
    if (valuation == QLatin1String("R")) {
        db::TQuery issue(QStringLiteral("QExplainFifoReturnCost"), databaseName_,
                         db::sqlResource(QStringLiteral(":/admin/sql/ExplainFifoReturnCost.sql")));
        issue.paramByName(QStringLiteral("Product")).setAsInteger(line_.product);
        issue.paramByName(QStringLiteral("Year")).setAsInteger(year);
        issue.paramByName(QStringLiteral("Month")).setAsInteger(month);
        issue.paramByName(QStringLiteral("Seq")).setAsInteger(field("Seq").toLongLong());
        issue.open();
        if (issue.isEmpty()) {
            explanation.addRow(QStringLiteral(
                "no issue of the product before it: back at the cost of the oldest layer in "
                "stock, or 0 with none"));
        } else {
            const auto value = [&issue](const char* name) {
                return issue.fieldByName(QLatin1String(name)).value();
            };
            explanation.addRow(
                QStringLiteral("back at the cost of the issue before it, ") +
                    receiptName(value("SourceTable"), value("SourceId"), value("MovementDate")) +
                    QStringLiteral(", per base unit"),
                {}, CostExplanation::amount(value("UnitCost")));
        }
        explanation.addRow(QStringLiteral("value (quantity x that cost, to the cent)"),
                           CostExplanation::quantity(field("Quantity")),
                           CostExplanation::amount(field("Amount")));
    } else if (valuation == QLatin1String("W")) {
        if (field("WorkOrderAmount").isNull()) {
            explanation.addRow(QStringLiteral("work order %1 not costed this month: at the cost "
                                              "on the line")
                                   .arg(field("WorkOrderNo").toString().trimmed()),
                               CostExplanation::quantity(field("Quantity")),
                               CostExplanation::amount(field("DocumentAmount")));
        } else {
            explanation.addRow(
                QStringLiteral("work order %1, its total cost over all it finished (base units)")
                    .arg(field("WorkOrderNo").toString().trimmed()),
                CostExplanation::quantity(field("WorkOrderQuantity")),
                CostExplanation::amount(field("WorkOrderAmount")));
        }
        explanation.addRow(QStringLiteral("value (its share by base quantity, to the cent)"),
                           CostExplanation::quantity(field("Quantity")),
                           CostExplanation::amount(field("Amount")));
    } else {
        explanation.addRow(QStringLiteral("value from its document"),
                           CostExplanation::quantity(field("Quantity")),
                           CostExplanation::amount(field("Amount")));
    }
}

CostExplanation FifoCostExplanation::explainWorkOrder() {
    CostExplanation explanation;
    db::TQuery cost(QStringLiteral("QExplainFifoWorkOrder"), databaseName_,
                    db::sqlResource(QStringLiteral(":/admin/sql/ExplainFifoWorkOrder.sql")));
    cost.paramByName(QStringLiteral("Id")).setAsInteger(line_.id);
    cost.open();
    const auto field = [&cost](const char* name) {
        return cost.fieldByName(QLatin1String(name)).value();
    };
    const QString workOrderNo = field("WorkOrderNo").toString().trimmed();
    if (field("WorkOrderHd").isNull()) {
        explanation.setNotCosted(
            QStringLiteral("%1 is not costed: the FIFO run has not costed work order %2; it "
                           "costs a work order tree in the month its root was closed (or "
                           "finished, without a close date).")
                .arg(line_.name(), workOrderNo));
        return explanation;
    }
    line_.describe(explanation);
    explanation.beginSection(QStringLiteral("FIFO cost of work order %1").arg(workOrderNo));
    explanation.addRow(QStringLiteral("material issued less material returned, at their cost"), {},
                       CostExplanation::amount(field("MaterialAmount")));
    explanation.addRow(QStringLiteral("bill expenses (E x quantity finished + F)"), {},
                       CostExplanation::amount(field("ExpenseAmount")));
    explanation.addRow(QStringLiteral("total"), {}, CostExplanation::amount(field("TotalAmount")));
    explanation.addRow(QStringLiteral("unit cost (total / quantity finished, to 4 decimals)"),
                       CostExplanation::quantity(field("FinishedQuantity")),
                       CostExplanation::amount(field("UnitCost")));
    explanation.addRow(QStringLiteral("CostAVG written in the work order"), {},
                       CostExplanation::amount(field("CostAVG")));
    return explanation;
}

QString FifoCostExplanation::notCostedReason() const {
    const QString name = line_.name();
    if (line_.isDeleted())
        return QStringLiteral("%1 is not costed: its document is marked deleted, and the FIFO "
                              "costing leaves deleted documents out.")
            .arg(name);
    if (line_.quantity.toString().toDouble() == 0 && line_.table != QLatin1String("VCNDT") &&
        line_.table != QLatin1String("VDNDT"))
        return QStringLiteral("%1 is not costed: it has no quantity.").arg(name);
    const QDateTime when = line_.lineDate.toDateTime();
    if (!when.isValid())
        return QStringLiteral("%1 is not costed: it has no date.").arg(name);
    return QStringLiteral("%1 is not costed: the FIFO run has not calculated month %2 of %3 for "
                          "%4 since the line was entered.")
        .arg(name)
        .arg(when.date().month())
        .arg(when.date().year())
        .arg(line_.productText());
}
