#pragma once

#include <QString>
#include <QStringList>

namespace db {
class TDatabase;
}

namespace costing {

// The server procedures of the average costing: SeekMasterWorkOrder, CALCULATE_WorkOrderAVG,
// CALCULATE_AVG1ByProdAndMonth, CALCULATE_AVG4ByProdAndWorkAndMonth and
// CALCULATE_AVG2ByProdAndMonth, in the order they are installed.
QStringList avgProcedureNames();

// The T-SQL creation script of one of them, batches separated by lines "Go".
QString avgProcedureScript(const QString& name);

// Has every company database created from now on get the procedures. Called once at
// start-up; calling it again changes nothing.
void registerAvgProcedures();

// Installs the procedures, or installs them again, into the company database of that
// connection, by running their creation scripts.
void installAvgProcedures(db::TDatabase& database);

} // namespace costing
