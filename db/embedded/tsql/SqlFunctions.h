#pragma once

#include "db/embedded/tsql/TsqlError.h"

#include <QHash>
#include <QString>

#include <optional>

struct sqlite3;

namespace db::tsql {

// The SQL functions through which compiled statements compute as SQL Server does: operators,
// conversions and comparisons that take the static types of their operands (tsql_op,
// tsql_unary, tsql_cvt, tsql_try_cvt, tsql_implicit, tsql_store, tsql_cmp, tsql_exact,
// tsql_like), the built-in functions (tsql_fn), exact Sum and Avg (also as window functions),
// the catalog's Object_Id, Col_Length and Ident_Current, and the date-time readers Year, Month,
// Day and GetDate.
//
// A function that fails keeps SQL Server's error here, so that the statement's failure is
// reported with its number and text rather than as SQLite's message.
class SqlFunctions {
public:
    explicit SqlFunctions(sqlite3* database);

    SqlFunctions(const SqlFunctions&) = delete;
    SqlFunctions& operator=(const SqlFunctions&) = delete;

    // The error of the function that made the last statement fail, taken once.
    std::optional<TsqlError> takeError();
    void setError(const TsqlError& error);

    // The numbers tsql_identity(table) gives an Insert: from last on by increment.
    void startIdentity(const QString& table, qint64 last, qint64 increment);
    // The last number it gave (last itself when it gave none).
    qint64 identityLast(const QString& table) const;
    qint64 nextIdentity(const QString& table);

private:
    struct IdentityCounter {
        qint64 last = 0;
        qint64 increment = 1;
    };
    std::optional<TsqlError> error_;
    QHash<QString, IdentityCounter> identities_;
};

} // namespace db::tsql
