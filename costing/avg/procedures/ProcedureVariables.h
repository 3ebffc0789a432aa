#pragma once

#include "db/Connection.h"
#include "db/DatabaseError.h"

#include <QHash>
#include <QString>
#include <QVariant>

namespace db {
class EmbeddedProcedureContext;
}

namespace costing {

// The local variables of a procedure on the embedded engine, named as in its T-SQL creation
// script. Statements are written in T-SQL with those "@" names, as the script has them; each
// name becomes a bound value, so both versions of a procedure read alike.
class ProcedureVariables {
public:
    // The deepest nesting of procedure calls SQL Server allows.
    static constexpr int maxNestingLevel = 32;

    explicit ProcedureVariables(db::EmbeddedProcedureContext& call);

    void set(const QString& name, db::DataType type, const QVariant& value);
    QVariant value(const QString& name) const;

    // The procedure's input converted as SQL Server converts it to the declared type: IdNo
    // parameters to integers, Char(20) ones truncated to 20 characters.
    void setIntegerInput(const QString& name);
    void setCharInput(const QString& name, int length);

    // Runs a T-SQL statement whose "@" names are variables set before. "Set @x = ..." assigns
    // the variable as SQL Server does (see scalar for a subquery on the right side).
    db::ResultSet execute(const QString& tsql);
    // "Set @x = (Select ...)": null without a row, SQL Server's error with more than one.
    QVariant scalar(const QString& tsql);

    static db::DatabaseError nestingLimitExceeded();
    static db::DatabaseError divideByZero();
    // A text padded with blanks or cut to the length, as a Char(n) variable holds it.
    static QVariant charValue(const QVariant& value, int length);
    // A one-letter flag compared as the company database compares text: without regard to
    // case or trailing blanks.
    static bool flagIs(const QVariant& value, QChar flag);

private:
    db::EmbeddedProcedureContext& call_;
    QHash<QString, db::SqlValue> values_; // keyed by the lower-case name
};

} // namespace costing
