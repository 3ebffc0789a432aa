#include "costing/avg/procedures/AvgProcedures.h"

#include "costing/avg/procedures/CalculateAvg2ByProdAndMonth.h"
#include "costing/avg/procedures/CalculateAvgByProdAndMonth.h"
#include "costing/avg/procedures/CalculateWorkOrderAvg.h"
#include "costing/avg/procedures/ProcedureScript.h"
#include "costing/avg/procedures/SeekMasterWorkOrder.h"
#include "db/SqlBatches.h"
#include "db/TDatabase.h"
#include "db/embedded/EmbeddedConnection.h"
#include "db/embedded/EmbeddedProcedures.h"
#include "db/schema/SchemaInstaller.h"

namespace costing {

QStringList avgProcedureNames() {
    return {QStringLiteral("SeekMasterWorkOrder"), QStringLiteral("CALCULATE_WorkOrderAVG"),
            QStringLiteral("CALCULATE_AVG1ByProdAndMonth"),
            QStringLiteral("CALCULATE_AVG4ByProdAndWorkAndMonth"),
            QStringLiteral("CALCULATE_AVG2ByProdAndMonth")};
}

void registerAvgProcedures() {
    using db::EmbeddedProcedures;
    const QStringList monthParameters = {QStringLiteral("@Year"), QStringLiteral("@ProdCode"),
                                         QStringLiteral("@Month")};
    EmbeddedProcedures::registerProcedure(QStringLiteral("CALCULATE_AVG1ByProdAndMonth"),
                                          CalculateAvgByProdAndMonth::purchases, monthParameters);
    EmbeddedProcedures::registerProcedure(QStringLiteral("CALCULATE_AVG4ByProdAndWorkAndMonth"),
                                          CalculateAvgByProdAndMonth::withProduction,
                                          monthParameters);
    EmbeddedProcedures::registerProcedure(QStringLiteral("CALCULATE_AVG2ByProdAndMonth"),
                                          CalculateAvg2ByProdAndMonth::run, monthParameters);
    EmbeddedProcedures::registerProcedure(QStringLiteral("CALCULATE_WorkOrderAVG"),
                                          CalculateWorkOrderAvg::run, {QStringLiteral("@WorkNo")});
    EmbeddedProcedures::registerProcedure(
        QStringLiteral("SeekMasterWorkOrder"), SeekMasterWorkOrder::run,
        {QStringLiteral("@WorkOrderNo"), QStringLiteral("@MasterWorkOrderNo")});
    db::schema::SchemaInstaller::addCompanyProcedures(QStringLiteral("average costing"),
                                                      installAvgProcedures);
}

void installAvgProcedures(db::TDatabase& database) {
    if (auto* embedded = dynamic_cast<db::EmbeddedConnection*>(&database.connection())) {
        for (const auto& name : avgProcedureNames())
            embedded->installProcedure(name);
        return;
    }
    // Each script drops the procedure if it is there and creates it again.
    for (const auto& name : avgProcedureNames())
        db::executeBatches(database.databaseName(), ProcedureScript::of(name).text());
}

} // namespace costing
