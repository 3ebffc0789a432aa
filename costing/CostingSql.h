#pragma once

#include <QString>

namespace costing {

// The SQL text of a costing component (its name, e.g. "QProduct"), compiled into the program
// from a folder of costing/: "avg/sql" and "fifo/sql" for the two costing methods, "sql" for
// what both use. The same T-SQL runs on both engines. The connection with that alias is opened
// when it is not, so a missing server shows before any text is used.
QString costingSql(const QString& folder, const QString& component, const QString& databaseName);

} // namespace costing
