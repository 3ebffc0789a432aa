#include "db/schema/CostingMethod.h"

#include "db/TQuery.h"

namespace db::schema {

int CostingMethod::of(const QString& databaseName) {
    TQuery config(QStringLiteral("QCostingMethod"), databaseName,
                  QStringLiteral("Select CalStockMethod From Config Where Id = 1"));
    config.open();
    return config.isEmpty() ? 0
                            : int(config.fieldByName(QStringLiteral("CalStockMethod")).asInteger());
}

QString CostingMethod::name(int method) {
    switch (method) {
    case averageCost:
        return QStringLiteral("average cost");
    case 2:
        return QStringLiteral("moving average");
    case fifo:
        return QStringLiteral("FIFO");
    case 4:
        return QStringLiteral("LIFO");
    default:
        return QStringLiteral("none");
    }
}

} // namespace db::schema
