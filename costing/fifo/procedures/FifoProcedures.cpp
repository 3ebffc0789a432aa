#include "costing/fifo/procedures/FifoProcedures.h"

#include "db/SqlBatches.h"
#include "db/TDatabase.h"
#include "db/schema/SchemaInstaller.h"

namespace costing {

QStringList fifoProcedureNames() {
    return {QStringLiteral("StockReceiptValues"), QStringLiteral("Calculate_FIFO1"),
            QStringLiteral("Calculate_FIFO2"), QStringLiteral("CALCULATE_WorkOrderFIFO")};
}

QString fifoProcedureScript(const QString& name) {
    return db::sqlResource(QStringLiteral(":/fifo/procedures/%1.sql").arg(name));
}

QString fifoTablesScript() {
    return db::sqlResource(QStringLiteral(":/fifo/procedures/FifoTables.sql"));
}

void registerFifoProcedures() {
    db::schema::SchemaInstaller::addCompanyProcedures(QStringLiteral("FIFO costing"),
                                                      installFifoProcedures);
}

void installFifoProcedures(db::TDatabase& database) {
    db::executeBatches(database.databaseName(), fifoTablesScript());
    // Each script drops the procedure if it is there and creates it again.
    for (const auto& name : fifoProcedureNames())
        db::executeBatches(database.databaseName(), fifoProcedureScript(name));
}

} // namespace costing
