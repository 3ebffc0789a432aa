#pragma once

#include <QString>
#include <QStringList>

namespace db {
class TDatabase;
}

namespace costing {

// The server procedures of the FIFO costing, in the order they are installed:
// StockReceiptValues (the receipts valued as the average cost values them, which
// Calculate_FIFO1 and stockcost-admin check read), Calculate_FIFO1, Calculate_FIFO2 and
// CALCULATE_WorkOrderFIFO.
QStringList fifoProcedureNames();

// The T-SQL creation script of one of them, batches separated by lines "Go".
QString fifoProcedureScript(const QString& name);

// The creation script of the tables the FIFO costing keeps its layers, consumptions and
// balances in; it creates only the tables that are missing.
QString fifoTablesScript();

// Has every company database created from now on get the tables and procedures. Called once
// at start-up; calling it again changes nothing.
void registerFifoProcedures();

// Creates the missing tables and installs the procedures, or installs them again, into the
// company database of that connection. What the tables hold stays.
void installFifoProcedures(db::TDatabase& database);

} // namespace costing
