#pragma once

#include "db/embedded/tsql/Ast.h"
#include "db/embedded/tsql/Schema.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace db::tsql {

// What a statement being compiled can see: the tables of the database, #temp tables, table
// variables, declared variables, user types and the bound values of the caller.
class CompileEnvironment {
public:
    virtual ~CompileEnvironment() = default;
    // A table, view, #temp table or table variable (@name); nullptr when there is none.
    virtual const TableInfo* table(const ObjectName& name) = 0;
    // A declared variable's type; nothing when the variable is not declared.
    virtual std::optional<SqlType> variableType(const QString& name) = 0;
    // A type by name, system or user-defined; nothing when there is none.
    virtual std::optional<SqlType> resolveType(const QString& name) = 0;
    // The type of the caller's value bound to marker number (0-based).
    virtual SqlType markerType(int number) = 0;
    // Whether Set Identity_Insert is on for the table.
    virtual bool identityInsert(const QString& table) = 0;
};

// A value a compiled statement takes when it runs: one of the caller's bound values, a variable
// or a value of the session (@@RowCount, Error_Message() ...), bound in the order of the
// statement's ?N markers.
struct Binding {
    enum class Kind { Marker, Variable, Session };
    Kind kind = Kind::Marker;
    int marker = 0;
    QString name; // the variable with its "@"; the session value: "@@ROWCOUNT", "ERROR_MESSAGE"
    SqlType type;
    QString key; // a variable's name in lower case, as the frame keeps it
};

// One statement in SQLite's dialect, ready to prepare.
struct CompiledStatement {
    QByteArray sql;
    std::vector<Binding> bindings;
    // The rows it gives: names and types; empty for a statement that gives none.
    QStringList columnNames;
    std::vector<SqlType> columnTypes;
    // Select @a = ..., @b = ...: the variable each column goes to.
    QStringList assignments;
    // Insert into a table with an identity column: that table, and whether the statement gives
    // the column's values itself (Set Identity_Insert On).
    QString identityTable;
    bool identityTemporary = false;
    bool identityExplicit = false;
    // Statements that change the schema of the database: the table they change.
    QString changedTable;
    // More statements that follow this one (Alter Table with several columns, Select Into).
    std::vector<CompiledStatement> followUp;
};

// Turns the data and schema statements of T-SQL into SQLite's dialect, with SQL Server's
// semantics carried by the engine's SQL functions: every operator on decimals, money and
// integers, every conversion and every built-in function gets the static types of its operands,
// so that values are computed exactly as SQL Server computes them. Names are resolved as SQL
// Server resolves them (inner scopes first, ambiguous or unknown names refused with SQL Server's
// errors 209, 207, 208, 4104).
class StatementCompiler {
public:
    explicit StatementCompiler(CompileEnvironment& environment);

    CompiledStatement select(const SelectStatement& statement);
    CompiledStatement insert(const InsertStatement& statement);
    // Insert ... Exec: the Insert for the rows the procedure gives, as ?1 ... ?n markers.
    CompiledStatement insertRows(const InsertStatement& statement,
                                 const std::vector<SqlType>& rowTypes);
    CompiledStatement update(const UpdateStatement& statement);
    CompiledStatement deleteRows(const DeleteStatement& statement);
    // Select expression: one value.
    CompiledStatement scalar(const Expr& expression);
    // Select Case When condition Then 1 Else 0 End.
    CompiledStatement condition(const Expr& expression);
    // The static type of an expression without tables (variables, literals, functions).
    SqlType typeOf(const Expr& expression);

    CompiledStatement createTable(const CreateTableStatement& statement, const QString& sqlName,
                                  bool temporary);
    // A table variable's table, created as a temporary table of that name.
    CompiledStatement createTableVariable(const VariableDeclaration& declaration,
                                          const QString& sqlName);
    CompiledStatement alterTable(const AlterTableStatement& statement);
    CompiledStatement createIndex(const CreateIndexStatement& statement);
    CompiledStatement createView(const CreateViewStatement& statement);

    // The SQLite type name a column of this type is declared with.
    static QString declaredType(const SqlType& type);

private:
    struct Gen;
    struct Scope;
    struct Source;
    struct Output;

    // queries
    QString query(const QueryExpr& query, Scope* outer, std::vector<Output>& outputs,
                  const std::vector<SqlType>* wanted = nullptr, bool storage = false);
    QString spec(const QuerySpec& spec, Scope* outer, const std::vector<OrderItem>* orderBy,
                 std::vector<Output>& outputs, const std::vector<SqlType>* wanted, bool storage,
                 bool keyed);
    QString withClause(const std::vector<CommonTable>& tables);
    QString fromClause(const std::vector<TableSourcePtr>& sources, Scope& scope);
    QString tableSource(const TableSource& source, Scope& scope);
    QString orderByClause(const std::vector<OrderItem>& items, Scope* scope,
                          const std::vector<Output>& outputs, bool compound);
    QString limitClause(const Expr* top, const Expr* offset, const Expr* fetch, Scope* scope);

    // expressions
    Gen expression(const Expr& expr, Scope* scope);
    Gen booleanExpression(const Expr& expr, Scope* scope);
    Gen literal(const Expr& expr);
    Gen column(const Expr& expr, Scope* scope);
    Gen variable(const Expr& expr);
    Gen systemVariable(const Expr& expr);
    Gen unaryExpression(const Expr& expr, Scope* scope);
    Gen binaryExpression(const Expr& expr, Scope* scope);
    Gen comparison(const QString& op, const Gen& left, const Gen& right, int line);
    Gen inList(const Expr& expr, Scope* scope);
    Gen inQuery(const Expr& expr, Scope* scope);
    Gen like(const Expr& expr, Scope* scope);
    Gen subquery(const Expr& expr, Scope* scope);
    Gen caseExpression(const Expr& expr, Scope* scope);
    Gen function(const Expr& expr, Scope* scope);
    Gen aggregate(const Expr& expr, Scope* scope, const QString& name);
    Gen cast(const Expr& expr, Scope* scope);
    QString overClause(const OverClause& over, Scope* scope);

    // conversions
    Gen converted(const Gen& value, const SqlType& target);
    QString stored(const Gen& value, const SqlType& column);
    QString key(const Gen& value);
    QString typeCode(const SqlType& type) const;
    QString bind(Binding binding);
    SqlType resolve(const TypeName& type);
    QString collationOf(const Gen& left, const Gen& right) const;

    // statements
    QString assignmentTarget(const TableInfo& table, const QString& column, int line);
    QString columnDefinition(const ColumnDefinition& column, Scope* table, QString* identity);
    QString tableConstraint(const TableConstraint& constraint, Scope* table);
    QString referencesClause(const References& references) const;
    QString checkClause(const Expr& check, Scope* table);

    CompileEnvironment& environment_;
    std::vector<Binding> bindings_;
    // Common table expressions of the statement being compiled.
    QHash<QString, TableInfo> commonTables_;
    int nameCounter_ = 0;
};

} // namespace db::tsql
