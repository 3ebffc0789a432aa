#include "costing/avg/AvgSql.h"

#include "costing/CostingSql.h"

namespace costing {

QString avgSql(const QString& component, const QString& databaseName) {
    return costingSql(QStringLiteral("avg/sql"), component, databaseName);
}

} // namespace costing
