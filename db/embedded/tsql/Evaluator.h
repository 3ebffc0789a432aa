#pragma once

#include "db/embedded/tsql/Ast.h"
#include "db/embedded/tsql/TsqlValue.h"

namespace db::tsql {

// Where the values of an expression come from when it is worked out without SQLite.
class EvaluationContext {
public:
    virtual ~EvaluationContext() = default;
    virtual TsqlValue variable(const QString& name) = 0;
    // @@RowCount, Error_Message() and the other values of the session, by their upper-case name.
    virtual TsqlValue session(const QString& name) = 0;
    virtual TsqlValue marker(int number) = 0;
    // The type SQL Server gives the expression (for Case, Coalesce, IsNull and literals).
    virtual SqlType staticType(const Expr& expression) = 0;
    virtual SqlType resolveType(const TypeName& type) = 0;
};

// Works out the expressions of procedural statements (Set @v = @a + 1, If @x Is Null, While
// @@Fetch_Status = 0) in the engine itself, with the same operations the compiled statements
// use, so that a procedure does not pay a round through SQLite for each of them. Conditions
// give bit 1, 0 or NULL.
class Evaluator {
public:
    // Whether the expression needs no table: no column, subquery, aggregate or catalog
    // function.
    static bool isSimple(const Expr& expression);
    static TsqlValue evaluate(const Expr& expression, EvaluationContext& context);

private:
    static TsqlValue condition(std::optional<bool> value);
    static std::optional<bool> truth(const TsqlValue& value);
    static TsqlValue literal(const Expr& expression, EvaluationContext& context);
    static TsqlValue function(const Expr& expression, EvaluationContext& context);
};

} // namespace db::tsql
