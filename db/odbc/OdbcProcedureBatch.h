#pragma once

#include "db/Connection.h"
#include "db/SqlValue.h"

#include <QString>

#include <vector>

namespace db {

// A stored procedure call as one T-SQL batch with bound values. Output and InputOutput
// parameters travel in batch variables that the batch selects as its last result, next to the
// return value, so no driver support for output parameters is needed:
//
//   SET NOCOUNT ON;
//   DECLARE @rv int;
//   DECLARE @out2 char(20) = ?;
//   EXEC @rv = [Name] @In = ?, @Code = @out2 OUTPUT;
//   SELECT @rv AS [Result], @out2 AS [@Code];
//
// Each variable has the type the procedure declares for its parameter, as the catalog gives
// it: some servers refuse a variable of another type for an output parameter. A parameter the
// declaration does not give a type gets one wide enough for any value of its kind.
//
// The drivers send bound values as sp_executesql parameters @P1, @P2, ...; the batch's own
// variables keep clear of those names (variable names ignore case).
class OdbcProcedureBatch {
public:
    // Refuses (DatabaseError) an empty procedure name and parameter names other than "@" and
    // word characters: they go into the text, not into bound values. declared holds the
    // procedure's parameters as its catalog gives them (none when unknown).
    OdbcProcedureBatch(const QString& procedure, const std::vector<ProcedureParam>& params,
                       const std::vector<ProcedureParameter>& declared = {});

    const QString& sql() const { return sql_; }
    // The values of the batch's "?" markers, in the order they appear.
    const std::vector<SqlValue>& values() const { return values_; }

    // Reads the batch's last result into the Output, InputOutput and Result parameters and
    // returns the procedure's return value.
    int readOutputs(const ResultSet& result, std::vector<ProcedureParam>& params) const;

private:
    QString procedure_;
    QString sql_;
    std::vector<SqlValue> values_;
    // Positions in the parameter list of the selected outputs, in column order after Result.
    std::vector<size_t> outputs_;
};

} // namespace db
