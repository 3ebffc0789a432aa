#pragma once

namespace db::schema {

// Registers with the embedded engine the suite's procedures that test and demo installations
// carry: MENUCAPTION and AddErrorLog of the configuration database, ServerTime of a company
// data database. Safe to call more than once.
void registerSuiteProcedures();

} // namespace db::schema
