#pragma once

#include <QString>

namespace costing {

// The SQL text of an average-cost component (its name, e.g. "QProduct") for the dialect of
// the connection with that alias, which is opened when it is not. Texts live in
// costing/avg/sql/, with an embedded twin "<name>.embedded.sql" where the T-SQL needs one.
QString avgSql(const QString& component, const QString& databaseName);

} // namespace costing
