#include "costing/CostingSql.h"

#include "db/Session.h"
#include "db/SqlBatches.h"
#include "db/TDatabase.h"

namespace costing {

QString costingSql(const QString& folder, const QString& component, const QString& databaseName) {
    db::Session::defaultSession().openDatabase(databaseName, component).connection();
    return db::sqlResource(QStringLiteral(":/costing/%1/%2.sql").arg(folder, component));
}

} // namespace costing
