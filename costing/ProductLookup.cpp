#include "costing/ProductLookup.h"

#include "db/SqlBatches.h"
#include "db/TQuery.h"

bool ProductLookup::exists(const QString& databaseName, const QString& code) {
    db::TQuery query(QStringLiteral("QProductCode"), databaseName,
                     db::sqlResource(QStringLiteral(":/costing/sql/QProductCode.sql")));
    query.paramByName(QStringLiteral("ProdCode")).setAsString(code);
    query.open();
    return query.fieldByName(QStringLiteral("Products")).asInteger() > 0;
}

QString ProductLookup::notFound(const QString& code) {
    return QStringLiteral("ไม่พบรหัสสินค้า %1").arg(code);
}
