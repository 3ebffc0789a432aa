#include "costing/avg/procedures/AvgProcedures.h"

#include "db/SqlBatches.h"
#include "db/TDatabase.h"
#include "db/schema/SchemaInstaller.h"

namespace costing {

QStringList avgProcedureNames() {
    return {QStringLiteral("SeekMasterWorkOrder"), QStringLiteral("CALCULATE_WorkOrderAVG"),
            QStringLiteral("CALCULATE_AVG1ByProdAndMonth"),
            QStringLiteral("CALCULATE_AVG4ByProdAndWorkAndMonth"),
            QStringLiteral("CALCULATE_AVG2ByProdAndMonth")};
}

QString avgProcedureScript(const QString& name) {
    return db::sqlResource(QStringLiteral(":/avg/procedures/%1.sql").arg(name));
}

void registerAvgProcedures() {
    db::schema::SchemaInstaller::addCompanyProcedures(QStringLiteral("average costing"),
                                                      installAvgProcedures);
}

void installAvgProcedures(db::TDatabase& database) {
    // Each script drops the procedure if it is there and creates it again.
    for (const auto& name : avgProcedureNames())
        db::executeBatches(database.databaseName(), avgProcedureScript(name));
}

} // namespace costing
