#include "db/embedded/tsql/DeclarationChecker.h"

#include "db/embedded/tsql/TsqlError.h"

namespace db::tsql {

namespace {

[[noreturn]] void fail(int number, const QString& message, int line) {
    TsqlError error(number, message, number == 40000 ? 16 : 15, 1, ErrorScope::Batch);
    error.setPlace(QString(), line);
    throw error;
}

} // namespace

void DeclarationChecker::checkOption(const SetOptionStatement& statement) {
    static const QStringList accepted = {"NOCOUNT",
                                         "XACT_ABORT",
                                         "IDENTITY_INSERT",
                                         "ANSI_NULLS",
                                         "QUOTED_IDENTIFIER",
                                         "ANSI_WARNINGS",
                                         "ARITHABORT",
                                         "ANSI_PADDING",
                                         "ANSI_NULL_DFLT_ON",
                                         "CONCAT_NULL_YIELDS_NULL",
                                         "NUMERIC_ROUNDABORT",
                                         "IMPLICIT_TRANSACTIONS",
                                         "DATEFORMAT",
                                         "DATEFIRST",
                                         "LANGUAGE",
                                         "LOCK_TIMEOUT",
                                         "TRANSACTION",
                                         "DEADLOCK_PRIORITY",
                                         "STATISTICS",
                                         "TEXTSIZE",
                                         "ROWCOUNT",
                                         "NOEXEC",
                                         "CURSOR_CLOSE_ON_COMMIT",
                                         "ANSI_DEFAULTS",
                                         "FMTONLY",
                                         "ARITHIGNORE"};
    const QString& option = statement.option;
    const int line = statement.line;
    for (const QString& part : option.split(',')) {
        if (!accepted.contains(part))
            fail(195, QStringLiteral("'%1' is not a recognized SET option.").arg(part), line);
    }
    if (option == QLatin1String("IMPLICIT_TRANSACTIONS") && statement.value == QLatin1String("ON"))
        fail(40000,
             QStringLiteral("The embedded engine does not run implicit transactions (line %1).")
                 .arg(line),
             line);
    if (option == QLatin1String("ROWCOUNT") && statement.value != QLatin1String("0"))
        fail(40000,
             QStringLiteral("The embedded engine does not run Set RowCount (line %1).").arg(line),
             line);
    if (option == QLatin1String("DATEFORMAT") && statement.value != QLatin1String("YMD") &&
        statement.value != QLatin1String("'YMD'"))
        fail(40000,
             QStringLiteral("The embedded engine reads dates as year, month, day only (Set "
                            "DateFormat ymd, line %1).")
                 .arg(line),
             line);
}

void DeclarationChecker::check(const StatementList& statements, const QStringList& parameters) {
    DeclarationChecker checker;
    for (const QString& parameter : parameters)
        checker.declared_.insert(parameter.toLower());
    checker.statements(statements);
}

void DeclarationChecker::declare(const QString& name, int line) {
    const QString key = name.toLower();
    if (declared_.contains(key) || tables_.contains(key))
        fail(134,
             QStringLiteral("The variable name '%1' has already been declared. Variable names "
                            "must be unique within a query batch or stored procedure.")
                 .arg(name),
             line);
}

void DeclarationChecker::variable(const QString& name, int line) {
    if (name.startsWith(QLatin1String("@@")))
        return;
    if (!declared_.contains(name.toLower()))
        fail(137, QStringLiteral("Must declare the scalar variable \"%1\".").arg(name), line);
}

void DeclarationChecker::tableVariable(const ObjectName& name, int line) {
    if (name.parts.size() != 1 || !name.parts[0].startsWith('@'))
        return;
    if (!tables_.contains(name.parts[0].toLower()))
        fail(1087, QStringLiteral("Must declare the table variable \"%1\".").arg(name.parts[0]),
             line);
}

void DeclarationChecker::statements(const StatementList& list) {
    for (const auto& item : list)
        statement(*item);
}

void DeclarationChecker::statement(const Statement& s) {
    line_ = s.line;
    switch (s.kind) {
    case StatementKind::Block:
        statements(static_cast<const BlockStatement&>(s).statements);
        break;
    case StatementKind::Select: {
        const auto& select = static_cast<const SelectStatement&>(s);
        commonTables(select.with);
        query(select.query.get());
        break;
    }
    case StatementKind::Insert: {
        const auto& insert = static_cast<const InsertStatement&>(s);
        commonTables(insert.with);
        tableVariable(insert.target, s.line);
        for (const auto& row : insert.values) {
            for (const auto& value : row)
                expression(value.get());
        }
        query(insert.query.get());
        if (insert.exec)
            statement(*insert.exec);
        break;
    }
    case StatementKind::Update: {
        const auto& update = static_cast<const UpdateStatement&>(s);
        commonTables(update.with);
        expression(update.top.get());
        tableVariable(update.target, s.line);
        bool setsColumn = false;
        for (const auto& assignment : update.assignments) {
            if (!assignment.variable.isEmpty())
                variable(assignment.variable, s.line);
            expression(assignment.value.get());
            if (!assignment.column.object().isEmpty())
                setsColumn = true;
            else if (!update.from.empty())
                fail(40000,
                     QStringLiteral("The embedded engine sets a variable inside Update ... From "
                                    "only as Set @v = column = value (line %1).")
                         .arg(s.line),
                     s.line);
        }
        if (!setsColumn)
            fail(40000,
                 QStringLiteral("The embedded engine does not run an Update that sets only "
                                "variables (line %1).")
                     .arg(s.line),
                 s.line);
        for (const auto& item : update.from)
            source(*item);
        expression(update.where.get());
        break;
    }
    case StatementKind::Delete: {
        const auto& remove = static_cast<const DeleteStatement&>(s);
        commonTables(remove.with);
        expression(remove.top.get());
        tableVariable(remove.target, s.line);
        for (const auto& item : remove.from)
            source(*item);
        expression(remove.where.get());
        break;
    }
    case StatementKind::Declare:
        for (const auto& variable : static_cast<const DeclareStatement&>(s).variables) {
            expression(variable.initialValue.get());
            declare(variable.name, s.line);
            if (variable.isTable) {
                tables_.insert(variable.name.toLower());
                for (const auto& column : variable.columns) {
                    if (column.defaultValue || column.check)
                        fail(40000,
                             QStringLiteral("The embedded engine does not run defaults and "
                                            "checks in table variables (line %1).")
                                 .arg(column.line),
                             column.line);
                }
            } else {
                declared_.insert(variable.name.toLower());
            }
        }
        break;
    case StatementKind::SetVariable: {
        const auto& set = static_cast<const SetVariableStatement&>(s);
        variable(set.variable, s.line);
        expression(set.value.get());
        break;
    }
    case StatementKind::SetOption:
        checkOption(static_cast<const SetOptionStatement&>(s));
        break;
    case StatementKind::AlterTable: {
        const auto& alter = static_cast<const AlterTableStatement&>(s);
        for (const auto& column : alter.addColumns) {
            if (column.identity || column.primaryKey || column.unique || column.check ||
                column.references)
                fail(40000,
                     QStringLiteral("The embedded engine does not add identity, key, unique, "
                                    "check or reference columns to an existing table (line %1).")
                         .arg(column.line),
                     column.line);
        }
        for (const auto& constraint : alter.addConstraints) {
            if (constraint.kind == TableConstraint::Kind::Check ||
                constraint.kind == TableConstraint::Kind::ForeignKey)
                fail(40000,
                     QStringLiteral("The embedded engine adds keys and unique constraints to an "
                                    "existing table, not checks or foreign keys (line %1).")
                         .arg(s.line),
                     s.line);
        }
        break;
    }
    case StatementKind::If: {
        const auto& branch = static_cast<const IfStatement&>(s);
        expression(branch.condition.get());
        statement(*branch.then);
        if (branch.otherwise)
            statement(*branch.otherwise);
        break;
    }
    case StatementKind::While: {
        const auto& loop = static_cast<const WhileStatement&>(s);
        expression(loop.condition.get());
        statement(*loop.body);
        break;
    }
    case StatementKind::Return:
    case StatementKind::Print:
    case StatementKind::Throw: {
        const auto& simple = static_cast<const SimpleStatement&>(s);
        expression(simple.value.get());
        for (const auto& argument : simple.arguments)
            expression(argument.get());
        break;
    }
    case StatementKind::BeginTransaction:
    case StatementKind::Commit:
    case StatementKind::Rollback:
    case StatementKind::SaveTransaction: {
        const auto& simple = static_cast<const SimpleStatement&>(s);
        if (simple.name.startsWith('@'))
            variable(simple.name, s.line);
        break;
    }
    case StatementKind::Exec: {
        const auto& exec = static_cast<const ExecStatement&>(s);
        if (!exec.returnVariable.isEmpty())
            variable(exec.returnVariable, s.line);
        if (!exec.procedureVariable.isEmpty())
            variable(exec.procedureVariable, s.line);
        for (const auto& argument : exec.arguments)
            expression(argument.value.get());
        for (const auto& piece : exec.dynamicText)
            expression(piece.get());
        break;
    }
    case StatementKind::TryCatch: {
        const auto& block = static_cast<const TryCatchStatement&>(s);
        statements(block.tryBlock);
        statements(block.catchBlock);
        break;
    }
    case StatementKind::RaisError: {
        const auto& raise = static_cast<const RaisErrorStatement&>(s);
        expression(raise.message.get());
        expression(raise.severity.get());
        expression(raise.state.get());
        for (const auto& argument : raise.arguments)
            expression(argument.get());
        break;
    }
    case StatementKind::DeclareCursor: {
        const auto& cursor = static_cast<const DeclareCursorStatement&>(s);
        commonTables(cursor.query->with);
        query(cursor.query->query.get());
        break;
    }
    case StatementKind::FetchCursor: {
        const auto& fetch = static_cast<const FetchStatement&>(s);
        expression(fetch.offset.get());
        for (const QString& target : fetch.into)
            variable(target, s.line);
        break;
    }
    case StatementKind::CreateProcedure: {
        // A procedure has variables of its own.
        const auto& procedure = static_cast<const CreateProcedureStatement&>(s);
        QStringList parameters;
        for (const auto& parameter : procedure.parameters)
            parameters << parameter.name;
        check(procedure.body, parameters);
        break;
    }
    case StatementKind::CreateView: {
        const auto& view = static_cast<const CreateViewStatement&>(s);
        DeclarationChecker inner;
        inner.commonTables(view.query->with);
        inner.query(view.query->query.get());
        break;
    }
    default:
        break;
    }
}

void DeclarationChecker::commonTables(const std::vector<CommonTable>& tables) {
    for (const CommonTable& table : tables)
        query(table.query.get());
}

void DeclarationChecker::expression(const Expr* expr) {
    if (expr == nullptr)
        return;
    switch (expr->kind) {
    case ExprKind::Variable:
        variable(expr->name.object(), expr->line);
        return;
    default:
        break;
    }
    for (const auto& argument : expr->arguments)
        expression(argument.get());
    expression(expr->caseOperand.get());
    for (const auto& [when, then] : expr->whens) {
        expression(when.get());
        expression(then.get());
    }
    expression(expr->elseResult.get());
    query(expr->query.get());
    if (expr->over) {
        for (const auto& item : expr->over->partitionBy)
            expression(item.get());
        for (const auto& item : expr->over->orderBy)
            expression(item.expression.get());
    }
}

void DeclarationChecker::query(const QueryExpr* q) {
    if (q == nullptr)
        return;
    if (q->kind == QueryExpr::Kind::Spec) {
        spec(*q->spec);
    } else {
        query(q->left.get());
        query(q->right.get());
    }
    for (const auto& item : q->orderBy)
        expression(item.expression.get());
    expression(q->offset.get());
    expression(q->fetch.get());
}

void DeclarationChecker::spec(const QuerySpec& s) {
    if (s.topPercent || s.withTies)
        fail(40000,
             QStringLiteral("The embedded engine does not run Top ... Percent or With Ties "
                            "(line %1).")
                 .arg(s.line),
             s.line);
    expression(s.top.get());
    for (const auto& item : s.from)
        source(*item);
    for (const auto& item : s.items) {
        expression(item.expression.get());
        if (!item.variable.isEmpty())
            variable(item.variable, s.line);
    }
    expression(s.where.get());
    for (const auto& item : s.groupBy)
        expression(item.get());
    expression(s.having.get());
}

void DeclarationChecker::source(const TableSource& s) {
    switch (s.kind) {
    case TableSource::Kind::Table:
        tableVariable(s.name, s.line);
        break;
    case TableSource::Kind::Derived:
        query(s.query.get());
        break;
    case TableSource::Kind::Values:
        for (const auto& row : s.rows) {
            for (const auto& value : row)
                expression(value.get());
        }
        break;
    case TableSource::Kind::Join:
        if (s.join == JoinKind::CrossApply || s.join == JoinKind::OuterApply)
            fail(40000,
                 QStringLiteral("The embedded engine does not run Cross Apply and Outer Apply "
                                "(line %1).")
                     .arg(s.line),
                 s.line);
        source(*s.left);
        source(*s.right);
        expression(s.condition.get());
        break;
    }
}

} // namespace db::tsql
