#include "admin/ExplainedLine.h"

#include "admin/CostExplanation.h"
#include "db/SqlBatches.h"
#include "db/TQuery.h"

#include <QStringList>

QString ExplainedLine::knownTable(const QString& name) {
    static const QStringList tables = {QStringLiteral("Isdt"),
                                       QStringLiteral("Ridt"),
                                       QStringLiteral("MFGISDT"),
                                       QStringLiteral("MFGRIDT"),
                                       QStringLiteral("AdjuststockDt"),
                                       QStringLiteral("MFGFinishDt"),
                                       QStringLiteral("WorkOrderHd"),
                                       QStringLiteral("imdt"),
                                       QStringLiteral("MRDT"),
                                       QStringLiteral("PCDT"),
                                       QStringLiteral("PRDT"),
                                       QStringLiteral("VCNDT"),
                                       QStringLiteral("VDNDT"),
                                       QStringLiteral("POSRDT"),
                                       QStringLiteral("TranBranchDT"),
                                       QStringLiteral("SRDT"),
                                       QStringLiteral("IvDt"),
                                       QStringLiteral("PosDt"),
                                       QStringLiteral("ProductAssemblyHd"),
                                       QStringLiteral("ProductAssemblyDt")};
    for (const auto& table : tables) {
        if (table.compare(name, Qt::CaseInsensitive) == 0)
            return table;
    }
    return {};
}

std::optional<ExplainedLine> ExplainedLine::load(const QString& databaseName, const QString& table,
                                                 qint64 id) {
    db::TQuery query(QStringLiteral("QExplainLine"), databaseName,
                     db::sqlResource(QStringLiteral(":/admin/sql/ExplainLine.sql")));
    query.paramByName(QStringLiteral("Table")).setAsString(table);
    query.paramByName(QStringLiteral("Id")).setAsInteger(id);
    query.open();
    if (query.isEmpty())
        return std::nullopt;
    const auto field = [&query](const char* name) {
        return query.fieldByName(QLatin1String(name)).value();
    };
    ExplainedLine line;
    line.table = table;
    line.id = id;
    line.documentNo = field("DocNo").toString().trimmed();
    line.lineDate = field("LineDate");
    line.costDate = field("CostDate");
    line.delflag = field("Delflag").toString();
    line.product = field("Product").toLongLong();
    line.productCode = field("ProdCode").toString().trimmed();
    line.productName = field("ProdName").toString().trimmed();
    line.unitCode = field("UnitCode").toString().trimmed();
    line.fraction = field("Fraction");
    line.quantity = field("Quantity");
    line.price = field("Price");
    line.costAvg = field("CostAVG");
    line.workOrder = field("WorkOrderHd");
    return line;
}

QString ExplainedLine::name() const {
    QString text = table + ' ' + QString::number(id);
    if (!documentNo.isEmpty())
        text += QStringLiteral(" (") + documentNo + ')';
    return text;
}

QString ExplainedLine::productText() const {
    return productName.isEmpty() ? productCode : productCode + ' ' + productName;
}

void ExplainedLine::describe(CostExplanation& explanation) const {
    explanation.beginSection(QStringLiteral("Line ") + name());
    explanation.addRow(QStringLiteral("date ") + CostExplanation::date(lineDate) +
                       (isDeleted() ? QStringLiteral(", document marked deleted") : QString()));
    explanation.addRow(QStringLiteral("product ") + productText());
    explanation.addRow(QStringLiteral("unit ") +
                       (unitCode.isEmpty() ? QStringLiteral("?") : unitCode) +
                       QStringLiteral(", Fraction ") + CostExplanation::quantity(fraction));
    explanation.addRow(QStringLiteral("quantity"), CostExplanation::quantity(quantity));
}
