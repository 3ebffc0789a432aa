#pragma once

#include "db/Connection.h"
#include "db/SqlValue.h"

#include <QHash>

#include <optional>

namespace db {

class EmbeddedConnection;

// What a built-in procedure implementation sees of its call: the connection it runs on (inside
// the call's transaction), its "@"-named inputs and the outputs it sets. Parameter names match
// without regard to case, with or without the "@".
class EmbeddedProcedureContext {
public:
    EmbeddedProcedureContext(EmbeddedConnection& connection,
                             const std::vector<ProcedureParam>& params);

    // T-SQL as EmbeddedConnection::execute takes it, '?' markers bound in order.
    ResultSet execute(const QString& sql, const std::vector<SqlValue>& params = {});
    // SQLite's own dialect, not rewritten.
    ResultSet executeSqlite(const QString& sql, const std::vector<SqlValue>& params = {});
    int callProcedure(const QString& name, std::vector<ProcedureParam>& params);

    bool hasInput(const QString& name) const;
    // The value passed for the parameter; invalid when it was not passed or is NULL.
    QVariant input(const QString& name) const;
    // The same value with its type, ready to bind as a statement parameter.
    SqlValue parameter(const QString& name) const;

    void setOutput(const QString& name, const QVariant& value);
    std::optional<QVariant> output(const QString& name) const;

    QString databaseName() const;
    EmbeddedConnection& connection() { return connection_; }

private:
    static QString key(const QString& name);

    EmbeddedConnection& connection_;
    QHash<QString, SqlValue> inputs_;
    QHash<QString, QVariant> outputs_;
};

} // namespace db
