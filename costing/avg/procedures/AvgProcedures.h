#pragma once

#include <QStringList>

namespace db {
class TDatabase;
}

namespace costing {

// The server procedures of the average costing: CALCULATE_AVG1ByProdAndMonth,
// CALCULATE_AVG4ByProdAndWorkAndMonth, CALCULATE_AVG2ByProdAndMonth, CALCULATE_WorkOrderAVG and
// SeekMasterWorkOrder, in the order they are installed.
QStringList avgProcedureNames();

// Registers the embedded engine's implementations of the procedures and has every company
// database created from now on get them. Called once at start-up; calling it again changes
// nothing.
void registerAvgProcedures();

// Installs the procedures, or installs them again, into the company database of that
// connection: on SQL Server by their creation scripts, on the embedded engine by name.
void installAvgProcedures(db::TDatabase& database);

} // namespace costing
