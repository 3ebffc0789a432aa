#pragma once

#include "db/embedded/tsql/SqlType.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

// The parsed form of a T-SQL text: expressions, queries, data and schema statements and the
// procedural statements of batches and procedures. The parser builds it; the statement compiler
// turns its queries into SQLite's dialect and the interpreter runs its procedural statements.
namespace db::tsql {

struct Expr;
struct QueryExpr;
struct Statement;
using ExprPtr = std::unique_ptr<Expr>;
using QueryPtr = std::unique_ptr<QueryExpr>;
using StatementPtr = std::unique_ptr<Statement>;
using StatementList = std::vector<StatementPtr>;

// A data type as a declaration writes it: "decimal(28,4)", "IdNo", "varchar(max)".
struct TypeName {
    QString name;
    QList<int> arguments; // SqlType::maxLength for max
    QString collation;    // Collate Thai_CI_AS, empty when not stated
    int line = 0;
};

// A name of one to four parts (server.database.schema.object), each without its quotes.
struct ObjectName {
    QStringList parts;

    bool isEmpty() const { return parts.isEmpty(); }
    // The last part: the object itself.
    QString object() const { return parts.isEmpty() ? QString() : parts.last(); }
    QString text() const { return parts.join('.'); }
};

struct OrderItem {
    ExprPtr expression;
    bool descending = false;
};

// The Over clause of a window function; the frame ("Rows Between Unbounded Preceding And
// Current Row") is kept as the text SQLite reads alike.
struct OverClause {
    std::vector<ExprPtr> partitionBy;
    std::vector<OrderItem> orderBy;
    QString frame;
};

enum class ExprKind {
    Literal,
    Column,         // name: [table.]column
    Variable,       // @name
    SystemVariable, // @@name
    Marker,         // ? : a value bound by the caller, number = its index
    Star,           // * or table.* in a select list or Count(*)
    Unary,          // op '-', '+', '~'
    Binary,         // op '+', '-', '*', '/', '%', '&', '|', '^'
    Compare,        // op "=", "<>", "<", ">", "<=", ">=" ("!=" "!<" "!>" are read as these)
    And,
    Or,
    Not,
    IsNull,   // arguments[0] Is [Not] Null
    InList,   // arguments[0] [Not] In (arguments[1..])
    InQuery,  // arguments[0] [Not] In (query)
    Between,  // arguments[0] [Not] Between arguments[1] And arguments[2]
    Like,     // arguments[0] [Not] Like arguments[1] [Escape arguments[2]]
    Exists,   // Exists (query)
    Subquery, // (query) as a value
    Case,     // Case [arguments[0] when caseOperand] When ... Then ... Else ... End
    Function, // name(arguments), aggregates and window functions included
    Cast,     // Cast(arguments[0] As type), Convert(type, arguments[0][, arguments[1] style])
    Collate,  // arguments[0] Collate collation
};

enum class LiteralKind { Null, Integer, Number, Float, String, NString, Binary, Money };

struct Expr {
    ExprKind kind = ExprKind::Literal;
    int line = 0;

    // Literal: the text as written (a string without its quotes), its kind.
    LiteralKind literal = LiteralKind::Null;
    QString text;

    // Column, Star: the parts of the name; Function: its name; Variable/SystemVariable: with @.
    ObjectName name;

    // Unary, Binary, Compare: the operator.
    QString op;
    // Not In, Not Between, Not Like, Is Not Null.
    bool negated = false;

    std::vector<ExprPtr> arguments;
    QueryPtr query; // InQuery, Exists, Subquery

    // Case: the operand of a simple Case; when/then pairs; else (may be null).
    ExprPtr caseOperand;
    std::vector<std::pair<ExprPtr, ExprPtr>> whens;
    ExprPtr elseResult;

    // Function: Count(Distinct x), Count(*) (a Star argument), Over (...).
    bool distinct = false;
    std::unique_ptr<OverClause> over;

    // Cast: the target type and whether a style argument was given; Try_Cast and Try_Convert.
    TypeName type;
    bool hasStyle = false;
    bool tryConversion = false;

    // Collate: the collation name.
    QString collation;

    // Marker: the index of the bound value.
    int number = 0;
};

// ---- queries ---------------------------------------------------------------------------------

struct SelectItem {
    ExprPtr expression; // Star for * and t.*
    QString alias;      // As alias, alias = expr, 'alias'
    QString variable;   // Select @v = expression
};

struct TableSource;
using TableSourcePtr = std::unique_ptr<TableSource>;

enum class JoinKind { Inner, Left, Right, Full, Cross, CrossApply, OuterApply };

struct TableSource {
    enum class Kind { Table, Derived, Join, Values };
    Kind kind = Kind::Table;
    int line = 0;

    // Table: the name (a table variable's name starts with @); Derived: the query.
    ObjectName name;
    QString alias;
    QStringList columnAliases; // (a, b) after a derived table's alias
    QueryPtr query;
    // Values: rows of Values (...), (...) as a derived table.
    std::vector<std::vector<ExprPtr>> rows;

    // Join: left join right on condition.
    JoinKind join = JoinKind::Inner;
    TableSourcePtr left;
    TableSourcePtr right;
    ExprPtr condition;
};

// One Select ... From ... Where ... Group By ... Having.
struct QuerySpec {
    bool distinct = false;
    ExprPtr top;
    bool topPercent = false;
    bool withTies = false;
    std::vector<SelectItem> items;
    ObjectName into; // Select ... Into #t
    std::vector<TableSourcePtr> from;
    ExprPtr where;
    std::vector<ExprPtr> groupBy;
    ExprPtr having;
    int line = 0;
};

// A query: one Select block or a set operation of two, with the Order By of the whole.
struct QueryExpr {
    enum class Kind { Spec, Union, UnionAll, Except, Intersect };
    Kind kind = Kind::Spec;
    std::unique_ptr<QuerySpec> spec;
    QueryPtr left;
    QueryPtr right;
    std::vector<OrderItem> orderBy;
    ExprPtr offset; // Order By ... Offset n Rows
    ExprPtr fetch;  // Fetch Next n Rows Only
    int line = 0;

    // The first Select block: the one whose select list names the columns.
    const QuerySpec& firstSpec() const { return kind == Kind::Spec ? *spec : left->firstSpec(); }
};

struct CommonTable {
    QString name;
    QStringList columns;
    QueryPtr query;
};

// ---- schema ----------------------------------------------------------------------------------

// References Table (columns) On Delete ... On Update ...: a foreign key's target.
struct References {
    ObjectName table;
    QStringList columns;
    QString onDelete; // CASCADE, SET NULL, SET DEFAULT, NO ACTION; empty when not stated
    QString onUpdate;
};

struct ColumnDefinition {
    QString name;
    TypeName type;
    int nullable = -1; // -1 not stated, 0 Not Null, 1 Null
    bool identity = false;
    qint64 identitySeed = 1;
    qint64 identityIncrement = 1;
    ExprPtr defaultValue;
    bool primaryKey = false;
    bool unique = false;
    ExprPtr check;
    std::unique_ptr<References> references;
    QString constraintName; // Constraint name before the key, check or reference
    int line = 0;
};

struct TableConstraint {
    enum class Kind { PrimaryKey, Unique, Check, ForeignKey };
    Kind kind = Kind::PrimaryKey;
    QString name;
    QStringList columns;
    ExprPtr check;
    std::unique_ptr<References> references;
};

struct ProcedureParameterDefinition {
    QString name; // with its "@"
    TypeName type;
    ExprPtr defaultValue;
    bool output = false;
};

// ---- statements ------------------------------------------------------------------------------

enum class StatementKind {
    Block,  // Begin ... End
    Select, // a query, possibly with variable assignments
    Insert,
    Update,
    Delete,
    Declare,     // variables and table variables
    SetVariable, // Set @v = expr, Set @v += expr
    SetOption,   // Set NoCount On and the like
    If,
    While,
    Break,
    Continue,
    Return,
    Exec, // Exec [@r =] procedure arguments, Exec (text)
    TryCatch,
    Throw,
    RaisError,
    Print,
    BeginTransaction,
    Commit,
    Rollback,
    SaveTransaction,
    DeclareCursor,
    OpenCursor,
    FetchCursor,
    CloseCursor,
    DeallocateCursor,
    CreateTable,
    AlterTable,
    CreateIndex,
    Drop, // Drop Table/View/Index/Procedure/Type [If Exists]
    CreateView,
    CreateType,
    CreateProcedure, // also Alter Procedure
    CreateDatabase,
    DropDatabase,
    Truncate,
    Use,
    CheckDatabase, // DBCC CheckDB
};

struct Statement {
    explicit Statement(StatementKind k) : kind(k) {}
    virtual ~Statement() = default;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    StatementKind kind;
    int line = 0;
};

struct BlockStatement : Statement {
    BlockStatement() : Statement(StatementKind::Block) {}
    StatementList statements;
};

struct SelectStatement : Statement {
    SelectStatement() : Statement(StatementKind::Select) {}
    std::vector<CommonTable> with;
    QueryPtr query;
};

struct InsertStatement : Statement {
    InsertStatement() : Statement(StatementKind::Insert) {}
    std::vector<CommonTable> with;
    ObjectName target; // a table variable's name starts with @
    QStringList columns;
    std::vector<std::vector<ExprPtr>> values;
    QueryPtr query;
    StatementPtr exec; // Insert ... Exec procedure
    bool defaultValues = false;
};

struct ColumnAssignment {
    ObjectName column; // Set column = ...
    QString variable;  // Set @v = ... inside an Update
    QString op;        // "=", "+=", "-=", ...
    ExprPtr value;
};

struct UpdateStatement : Statement {
    UpdateStatement() : Statement(StatementKind::Update) {}
    std::vector<CommonTable> with;
    ExprPtr top;
    ObjectName target; // a table, a table variable or an alias of the From
    std::vector<ColumnAssignment> assignments;
    std::vector<TableSourcePtr> from;
    ExprPtr where;
};

struct DeleteStatement : Statement {
    DeleteStatement() : Statement(StatementKind::Delete) {}
    std::vector<CommonTable> with;
    ExprPtr top;
    ObjectName target;
    std::vector<TableSourcePtr> from;
    ExprPtr where;
};

struct VariableDeclaration {
    QString name; // with its "@"
    TypeName type;
    ExprPtr initialValue;
    // A table variable: its columns and constraints.
    bool isTable = false;
    std::vector<ColumnDefinition> columns;
    std::vector<TableConstraint> constraints;
};

struct DeclareStatement : Statement {
    DeclareStatement() : Statement(StatementKind::Declare) {}
    std::vector<VariableDeclaration> variables;
};

struct SetVariableStatement : Statement {
    SetVariableStatement() : Statement(StatementKind::SetVariable) {}
    QString variable;
    QString op; // "=", "+=", ...
    ExprPtr value;
};

struct SetOptionStatement : Statement {
    SetOptionStatement() : Statement(StatementKind::SetOption) {}
    QString option;   // upper case: NOCOUNT, XACT_ABORT, IDENTITY_INSERT, DATEFORMAT, ...
    QString value;    // ON, OFF or the value as written
    ObjectName table; // Identity_Insert's table
};

struct IfStatement : Statement {
    IfStatement() : Statement(StatementKind::If) {}
    ExprPtr condition;
    StatementPtr then;
    StatementPtr otherwise;
};

struct WhileStatement : Statement {
    WhileStatement() : Statement(StatementKind::While) {}
    ExprPtr condition;
    StatementPtr body;
};

struct SimpleStatement : Statement {
    explicit SimpleStatement(StatementKind k) : Statement(k) {}
    ExprPtr value;                  // Return value, Print value
    QString name;                   // cursor, transaction or savepoint name, database of Use
    std::vector<ExprPtr> arguments; // Throw number, message, state
};

struct ExecArgument {
    QString parameter; // @name = ..., empty when given by position
    ExprPtr value;     // a Variable for an output argument
    bool output = false;
    bool isDefault = false; // the word Default
};

struct ExecStatement : Statement {
    ExecStatement() : Statement(StatementKind::Exec) {}
    QString returnVariable; // Exec @r = ...
    ObjectName procedure;
    QString procedureVariable; // Exec @name ... (the procedure's name in a variable)
    std::vector<ExecArgument> arguments;
    std::vector<ExprPtr> dynamicText; // Exec ('...' + @x): the pieces joined
};

struct TryCatchStatement : Statement {
    TryCatchStatement() : Statement(StatementKind::TryCatch) {}
    StatementList tryBlock;
    StatementList catchBlock;
};

struct RaisErrorStatement : Statement {
    RaisErrorStatement() : Statement(StatementKind::RaisError) {}
    ExprPtr message; // a text or a number
    ExprPtr severity;
    ExprPtr state;
    std::vector<ExprPtr> arguments;
    bool setError = false; // With SetError
};

struct DeclareCursorStatement : Statement {
    DeclareCursorStatement() : Statement(StatementKind::DeclareCursor) {}
    QString name;
    bool global = false;
    std::unique_ptr<SelectStatement> query;
};

struct FetchStatement : Statement {
    FetchStatement() : Statement(StatementKind::FetchCursor) {}
    QString cursor;
    QString direction; // NEXT, PRIOR, FIRST, LAST, ABSOLUTE, RELATIVE
    ExprPtr offset;    // of Absolute and Relative
    QStringList into;
};

struct CreateTableStatement : Statement {
    CreateTableStatement() : Statement(StatementKind::CreateTable) {}
    ObjectName name;
    std::vector<ColumnDefinition> columns;
    std::vector<TableConstraint> constraints;
};

struct AlterTableStatement : Statement {
    AlterTableStatement() : Statement(StatementKind::AlterTable) {}
    ObjectName table;
    std::vector<ColumnDefinition> addColumns;
    std::vector<TableConstraint> addConstraints;
    QStringList dropColumns;
    QStringList dropConstraints;
};

struct CreateIndexStatement : Statement {
    CreateIndexStatement() : Statement(StatementKind::CreateIndex) {}
    bool unique = false;
    QString name;
    ObjectName table;
    std::vector<std::pair<QString, bool>> columns; // name, descending
    QStringList include;
    ExprPtr where;
};

struct DropStatement : Statement {
    DropStatement() : Statement(StatementKind::Drop) {}
    QString objectKind; // TABLE, VIEW, INDEX, PROCEDURE, TYPE
    bool ifExists = false;
    std::vector<ObjectName> names;
    std::vector<ObjectName> tables; // Drop Index name On table
};

struct CreateViewStatement : Statement {
    CreateViewStatement() : Statement(StatementKind::CreateView) {}
    ObjectName name;
    QStringList columns;
    std::unique_ptr<SelectStatement> query;
    bool alter = false;
};

struct CreateTypeStatement : Statement {
    CreateTypeStatement() : Statement(StatementKind::CreateType) {}
    ObjectName name;
    TypeName base;
    int nullable = -1;
};

struct CreateProcedureStatement : Statement {
    CreateProcedureStatement() : Statement(StatementKind::CreateProcedure) {}
    bool alter = false;
    bool createOrAlter = false;
    ObjectName name;
    std::vector<ProcedureParameterDefinition> parameters;
    StatementList body;
    QString text; // the whole Create Procedure text, as the catalog keeps it
};

struct DatabaseStatement : Statement {
    explicit DatabaseStatement(StatementKind k) : Statement(k) {}
    QString name;
};

struct TruncateStatement : Statement {
    TruncateStatement() : Statement(StatementKind::Truncate) {}
    ObjectName table;
};

// One batch as the parser gives it: its statements in order.
struct Batch {
    StatementList statements;
    // Markers (?) of the text, in order.
    int markerCount = 0;
};

} // namespace db::tsql
