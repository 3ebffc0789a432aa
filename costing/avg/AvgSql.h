#pragma once

#include <QString>

namespace costing {

// The SQL text of an average-cost component (its name, e.g. "QProduct"), compiled into the
// program from costing/avg/sql/. The same T-SQL runs on both engines. The connection with that
// alias is opened when it is not, so a missing server shows before any text is used.
QString avgSql(const QString& component, const QString& databaseName);

} // namespace costing
