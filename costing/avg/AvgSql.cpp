#include "costing/avg/AvgSql.h"

#include "db/Session.h"
#include "db/SqlBatches.h"
#include "db/TDatabase.h"

namespace costing {

QString avgSql(const QString& component, const QString& databaseName) {
    const auto dialect =
        db::Session::defaultSession().openDatabase(databaseName, component).connection().dialect();
    return db::sqlResourceFor(QStringLiteral(":/costing/avg/sql/") + component, dialect);
}

} // namespace costing
