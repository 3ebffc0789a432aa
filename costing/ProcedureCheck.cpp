#include "costing/ProcedureCheck.h"

#include "costing/CostingSql.h"
#include "db/TQuery.h"

namespace {

// The line break of the windows' messages: a line feed, then a carriage return.
const QString lineBreak = QStringLiteral("\n\r");

} // namespace

QStringList ProcedureCheck::averageCost() {
    return {QStringLiteral("CALCULATE_AVG1ByProdAndMonth"),
            QStringLiteral("CALCULATE_AVG2ByProdAndMonth"),
            QStringLiteral("CALCULATE_WorkOrderAVG"),
            QStringLiteral("CALCULATE_AVG4ByProdAndWorkAndMonth")};
}

QStringList ProcedureCheck::fifo() {
    return averageCost() + QStringList{QStringLiteral("Calculate_FIFO1"),
                                       QStringLiteral("Calculate_FIFO2"),
                                       QStringLiteral("CALCULATE_WorkOrderFIFO"),
                                       QStringLiteral("SeekMasterWorkOrder")};
}

QStringList ProcedureCheck::missing(const QString& databaseName, const QStringList& names) {
    db::TQuery check(
        QStringLiteral("QChkProcedure"), databaseName,
        costing::costingSql(QStringLiteral("sql"), QStringLiteral("QChkProcedure"), databaseName));
    QStringList absent;
    for (const auto& name : names) {
        check.close();
        check.paramByName(QStringLiteral("Name")).setAsString(name);
        check.open();
        if (check.fieldByName(QStringLiteral("Found")).asInteger() == 0)
            absent << name;
    }
    check.close();
    return absent;
}

QString ProcedureCheck::message(const QStringList& missing) {
    QString text = QStringLiteral("ไม่พบ");
    for (const auto& name : missing)
        text += lineBreak + name;
    return text + lineBreak + QStringLiteral("กรุณาแจ้ง TRQ");
}
