#pragma once

#include "db/embedded/tsql/SqlType.h"

#include <QString>

#include <vector>

namespace db::tsql {

struct ColumnInfo {
    QString name;
    SqlType type;
    bool notNull = false;
    bool identity = false;
};

// A table as a statement reaches it: a table or view of the database, a #temp table, a table
// variable or a common table expression.
struct TableInfo {
    QString name;    // as the catalog names it
    QString sqlName; // how SQLite names it: "Product", temp."#work", temp."tv_7_2"
    std::vector<ColumnInfo> columns;
    bool view = false;
    bool hasRowid = true;   // tables and table variables; not views or common table expressions
    bool temporary = false; // #temp tables and table variables, in SQLite's temp schema

    // The column of that name (any letter case), or nullptr.
    const ColumnInfo* column(const QString& columnName) const;
    int identityColumn() const;
    // The name SQLite and the catalog know the table by: the name, except for a table
    // variable, whose table is named after its instance.
    QString catalogName() const;
};

} // namespace db::tsql
