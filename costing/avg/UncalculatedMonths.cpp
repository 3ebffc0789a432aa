#include "costing/avg/UncalculatedMonths.h"

#include "costing/avg/AvgSql.h"
#include "db/TQuery.h"

#include <QStringList>

QList<int> UncalculatedMonths::find(const QString& databaseName, int year, int fromMonth) {
    db::TQuery query(QStringLiteral("QUncalculatedMonths"), databaseName,
                     costing::avgSql(QStringLiteral("QUncalculatedMonths"), databaseName));
    query.paramByName(QStringLiteral("Year")).setAsInteger(year);
    query.paramByName(QStringLiteral("Month")).setAsInteger(fromMonth);
    query.open();
    QList<int> months;
    for (query.first(); !query.eof(); query.next())
        months << int(query.fieldByName(QStringLiteral("PeriodNo")).asInteger());
    return months;
}

QString UncalculatedMonths::refusal(int year, const QList<int>& months) {
    return QStringLiteral("ปี %1 เดือน %2 ยังไม่เคยคำนวณทุกสินค้า\n\r"
                          "กรุณาคำนวณทุกสินค้าก่อน แล้วจึงคำนวณเฉพาะสินค้า")
        .arg(year)
        .arg(listed(months));
}

QString UncalculatedMonths::listed(const QList<int>& months) {
    QStringList texts;
    for (const int month : months)
        texts << QString::number(month);
    return texts.join(QStringLiteral(", "));
}
