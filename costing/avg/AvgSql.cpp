#include "costing/avg/AvgSql.h"

#include "db/Session.h"
#include "db/SqlBatches.h"
#include "db/TDatabase.h"

namespace costing {

QString avgSql(const QString& component, const QString& databaseName) {
    db::Session::defaultSession().openDatabase(databaseName, component).connection();
    return db::sqlResource(QStringLiteral(":/costing/avg/sql/") + component +
                           QStringLiteral(".sql"));
}

} // namespace costing
