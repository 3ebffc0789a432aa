#pragma once

#include "db/SqlValue.h"

#include <QStringList>
#include <QVariantList>

#include <vector>

namespace db {

// The rows of one result: column names and values (an invalid QVariant is null; integers as
// qint64, floating-point numbers as double, decimals and money as QString text with all their
// scale digits ("3.333333", "100.0000"), text as QString, date-times as QDateTime).
struct ResultSet {
    QStringList columns;
    std::vector<QVariantList> rows;
};

// One parameter of a stored procedure as its declaration states it.
struct ProcedureParameter {
    QString name;     // with its "@"
    QString typeName; // as SQL Server names the type: "int", "char(20)", "decimal(28,4)"
    bool output = false;
};

// One open connection of a driver. The access layer above it (TDatabase, TQuery,
// TStoredProc, TSQLScript) is the same for every driver. Every failure is a DatabaseError
// carrying the engine's entries. Each statement commits by itself.
class Connection {
public:
    virtual ~Connection() = default;

    // The SQL dialect the server speaks: "mssql" for SQL Server, "embedded" for the embedded
    // engine. Where a T-SQL text cannot run on the embedded engine as it stands, a twin text
    // with this suffix stands beside it.
    virtual QString dialect() const = 0;

    // Runs one statement or batch whose parameters are '?' markers, bound in order. Returns the
    // first result that has columns (rows that follow row counts); empty when none has.
    virtual ResultSet execute(const QString& sql, const std::vector<SqlValue>& params) = 0;

    // Sends the text as it stands, without preparation or binding; any rows are dropped.
    virtual void executeDirect(const QString& sql) = 0;

    // Calls a stored procedure, passing every parameter by name. Fills the values of the
    // Output and InputOutput parameters and returns the procedure's integer return value.
    virtual int callProcedure(const QString& name, std::vector<ProcedureParam>& params) = 0;

    // The parameters of an installed procedure in their declared order, as the server's
    // catalog holds them. Throws the server's error 2812 when there is no such procedure.
    virtual std::vector<ProcedureParameter> procedureParameters(const QString& name) = 0;
};

} // namespace db
