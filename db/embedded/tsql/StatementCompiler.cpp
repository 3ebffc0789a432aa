#include "db/embedded/tsql/StatementCompiler.h"

#include "db/embedded/tsql/BuiltinFunctions.h"
#include "db/embedded/tsql/SqliteValues.h"
#include "db/embedded/tsql/TsqlError.h"
#include "db/embedded/tsql/TsqlValue.h"

#include <QSet>

#include <algorithm>
#include <functional>

namespace db::tsql {

namespace {

constexpr const char* caseInsensitive = "Thai_CI_AS";
constexpr const char* binaryCollation = "RTRIM";
constexpr const char* dateTimeCollation = "TSQL_DateTime";

QString quoted(const QString& name) {
    QString text = name;
    return '"' + text.replace('"', QStringLiteral("\"\"")) + '"';
}

[[noreturn]] void fail(int number, const QString& message, int line) {
    TsqlError error(number, message, 16, 1, ErrorScope::Batch);
    error.setPlace(QString(), line);
    throw error;
}

bool isDecimalKind(const SqlType& type) {
    return type.kind == TypeKind::Decimal || type.kind == TypeKind::Money ||
           type.kind == TypeKind::SmallMoney;
}

bool isNativeNumber(const SqlType& type) {
    return type.isInteger() || type.isApproximate();
}

// The type of an operation's result; an operand of unknown type makes it unknown, NULL takes
// the other operand's type.
SqlType arithmeticType(char op, SqlType left, SqlType right) {
    if (left.kind == TypeKind::Variant || right.kind == TypeKind::Variant)
        return SqlType::variant();
    if (left.kind == TypeKind::Null && right.kind == TypeKind::Null)
        return SqlType::integer();
    if (left.kind == TypeKind::Null)
        left = right.isString() && op != '+' ? SqlType::integer() : right;
    if (right.kind == TypeKind::Null)
        right = left.isString() && op != '+' ? SqlType::integer() : left;
    return arithmeticResultType(op, left, right);
}

SqlType meetType(const SqlType& left, const SqlType& right) {
    if (left.kind == TypeKind::Variant || right.kind == TypeKind::Variant)
        return SqlType::variant();
    if (left.kind == TypeKind::Null)
        return right;
    if (right.kind == TypeKind::Null)
        return left;
    return commonType(left, right);
}

// Aggregates and the functions whose SQLite form is the same as SQL Server's.
bool isAggregateName(const QString& name) {
    static const QSet<QString> names = {"count", "count_big", "sum",    "avg", "min",
                                        "max",   "stdev",     "stdevp", "var", "varp"};
    return names.contains(name);
}

bool isRankingName(const QString& name) {
    static const QSet<QString> names = {"row_number", "rank", "dense_rank",  "ntile",
                                        "lag",        "lead", "first_value", "last_value"};
    return names.contains(name);
}

bool isDatePartFunction(const QString& name) {
    return name == QLatin1String("datepart") || name == QLatin1String("datename") ||
           name == QLatin1String("dateadd") || name == QLatin1String("datediff") ||
           name == QLatin1String("datediff_big");
}

} // namespace

struct StatementCompiler::Gen {
    QString sql;
    SqlType type;
    bool boolean = false;
    bool column = false;
    bool explicitCollation = false;
    bool aggregate = false;
    std::optional<TsqlValue> constant; // a literal's value, for conversions made here
    bool integerLiteral = false;       // a whole number written in the text
};

struct StatementCompiler::Source {
    QString exposed;
    QString sqlAlias;
    std::vector<ColumnInfo> columns;
};

struct StatementCompiler::Output {
    QString name;
    SqlType type;
    QString sql;
    QString variable;
    bool column = false;
    bool aggregate = false; // an aggregate over the rows of a query without Group By
};

struct StatementCompiler::Scope {
    Scope* outer = nullptr;
    std::vector<Source> sources;
    const std::vector<Output>* outputs = nullptr;
    bool allowAggregates = false;
};

StatementCompiler::StatementCompiler(CompileEnvironment& environment) : environment_(environment) {}

// ---- helpers ---------------------------------------------------------------------------------

QString StatementCompiler::typeCode(const SqlType& type) const {
    return QString::number(type.code());
}

QString StatementCompiler::bind(Binding binding) {
    bindings_.push_back(std::move(binding));
    return QStringLiteral("?%1").arg(bindings_.size());
}

SqlType StatementCompiler::resolve(const TypeName& type) {
    std::optional<SqlType> resolved;
    if (type.arguments.isEmpty())
        resolved = environment_.resolveType(type.name);
    if (!resolved)
        resolved = SqlType::fromDeclaration(type.name, type.arguments);
    if (!resolved)
        fail(2715,
             QStringLiteral("Column, parameter, or variable #1: Cannot find data type %1.")
                 .arg(type.name),
             type.line);
    SqlType result = *resolved;
    if (!type.collation.isEmpty() && result.isString()) {
        const QString lower = type.collation.toLower();
        result.collation =
            lower.contains(QLatin1String("_bin")) || lower.contains(QLatin1String("_cs"))
                ? Collation::Binary
                : Collation::CaseInsensitive;
    }
    return result;
}

QString StatementCompiler::collationOf(const Gen& left, const Gen& right) const {
    const Gen* decider = nullptr;
    if (left.explicitCollation)
        decider = &left;
    else if (right.explicitCollation)
        decider = &right;
    else if (left.column && left.type.isString())
        decider = &left;
    else if (right.column && right.type.isString())
        decider = &right;
    const bool binary = decider != nullptr && decider->type.collation == Collation::Binary;
    return QString::fromLatin1(binary ? binaryCollation : caseInsensitive);
}

QString StatementCompiler::key(const Gen& value) {
    if (value.type.isString())
        return QStringLiteral("(%1 COLLATE %2)")
            .arg(value.sql,
                 QString::fromLatin1(value.type.collation == Collation::Binary ? binaryCollation
                                                                               : caseInsensitive));
    if (isDecimalKind(value.type))
        return QStringLiteral("tsql_exact(%1, %2)").arg(value.sql, typeCode(value.type));
    if (value.type.isDateTime())
        return QStringLiteral("(%1 COLLATE %2)")
            .arg(value.sql, QString::fromLatin1(dateTimeCollation));
    return value.sql;
}

StatementCompiler::Gen StatementCompiler::converted(const Gen& value, const SqlType& target) {
    if (value.type == target || target.kind == TypeKind::Variant)
        return value;
    Gen result = value;
    result.type = target;
    result.column = false;
    result.boolean = false;
    if (value.type.kind == TypeKind::Null) {
        // A NULL stays NULL in any type; a bound value keeps its marker.
        if (value.constant)
            result.sql = QStringLiteral("NULL");
        return result;
    }
    if (value.constant) {
        try {
            const TsqlValue folded =
                convertImplicitly(*value.constant, target, Assignment::Expression);
            result.constant = folded;
            result.sql = SqliteValues::literal(folded);
            return result;
        } catch (const TsqlError&) {
            // Left to the statement, which fails as SQL Server fails when it runs.
        }
    }
    result.constant.reset();
    const SqlType& from = value.type;
    // Representations that read the same under the wider type need no function.
    const bool widerInteger =
        from.isInteger() && target.isInteger() && precedence(target.kind) >= precedence(from.kind);
    const bool toFloat = isNativeNumber(from) && target.isApproximate();
    const bool widerDecimal =
        (isDecimalKind(from) || from.isInteger()) && target.kind == TypeKind::Decimal &&
        asDecimal(from).scale == target.scale &&
        asDecimal(from).precision - asDecimal(from).scale <= target.precision - target.scale;
    const bool longerText = from.isString() && target.isString() && !target.isFixedLength() &&
                            (target.length == SqlType::maxLength ||
                             (from.length != SqlType::maxLength && from.length <= target.length));
    const bool dateToDate = from.kind == TypeKind::DateTime && target.kind == TypeKind::DateTime;
    if (widerInteger || toFloat || widerDecimal || longerText || dateToDate)
        return result;
    result.sql = QStringLiteral("tsql_implicit(%1, %2, %3)")
                     .arg(typeCode(target), value.sql, typeCode(value.type));
    return result;
}

QString StatementCompiler::stored(const Gen& value, const SqlType& column) {
    if (value.type.kind == TypeKind::Null)
        return value.constant ? QStringLiteral("NULL") : value.sql;
    if (column.kind == TypeKind::Variant)
        return value.sql;
    if (value.type == column && value.column)
        return value.sql;
    if (value.constant) {
        try {
            return SqliteValues::storageLiteral(
                convertImplicitly(*value.constant, column, Assignment::Column));
        } catch (const TsqlError&) {
        }
    }
    // Integers into a column of a wider integer type, and integers and reals into a float
    // column, are stored as they are.
    if ((value.type.isInteger() && column.isInteger() &&
         precedence(column.kind) >= precedence(value.type.kind)) ||
        (isNativeNumber(value.type) && column.isApproximate() && !value.type.isApproximate()) ||
        (value.type.kind == TypeKind::Float && column.kind == TypeKind::Float))
        return value.sql;
    return QStringLiteral("tsql_store(%1, %2, %3)")
        .arg(typeCode(column), value.sql, typeCode(value.type));
}

QString StatementCompiler::declaredType(const SqlType& type) {
    // SQLite takes only numbers in a type: varchar(max) is kept as varchar(-1).
    return type.name().replace(QLatin1String("(max)"), QLatin1String("(-1)"));
}

// ---- expressions -----------------------------------------------------------------------------

StatementCompiler::Gen StatementCompiler::booleanExpression(const Expr& expr, Scope* scope) {
    Gen gen = expression(expr, scope);
    if (!gen.boolean)
        fail(4145,
             QStringLiteral("An expression of non-boolean type specified in a context where a "
                            "condition is expected, near '%1'.")
                 .arg(expr.kind == ExprKind::Column ? expr.name.text() : expr.text),
             expr.line);
    return gen;
}

StatementCompiler::Gen StatementCompiler::expression(const Expr& expr, Scope* scope) {
    switch (expr.kind) {
    case ExprKind::Literal:
        return literal(expr);
    case ExprKind::Column:
        return column(expr, scope);
    case ExprKind::Variable:
        return variable(expr);
    case ExprKind::SystemVariable:
        return systemVariable(expr);
    case ExprKind::Marker: {
        Gen gen;
        gen.type = environment_.markerType(expr.number);
        gen.sql = bind({Binding::Kind::Marker, expr.number, QString(), gen.type, {}});
        return gen;
    }
    case ExprKind::Star:
        fail(102, QStringLiteral("Incorrect syntax near '*'."), expr.line);
    case ExprKind::Unary:
        return unaryExpression(expr, scope);
    case ExprKind::Binary:
        return binaryExpression(expr, scope);
    case ExprKind::Compare: {
        const Gen left = expression(*expr.arguments[0], scope);
        const Gen right = expression(*expr.arguments[1], scope);
        return comparison(expr.op, left, right, expr.line);
    }
    case ExprKind::And:
    case ExprKind::Or: {
        const Gen left = booleanExpression(*expr.arguments[0], scope);
        const Gen right = booleanExpression(*expr.arguments[1], scope);
        Gen gen;
        gen.boolean = true;
        gen.type = SqlType::bit();
        gen.aggregate = left.aggregate || right.aggregate;
        gen.sql =
            QStringLiteral("(%1 %2 %3)")
                .arg(left.sql,
                     expr.kind == ExprKind::And ? QStringLiteral("AND") : QStringLiteral("OR"),
                     right.sql);
        return gen;
    }
    case ExprKind::Not: {
        Gen inner = booleanExpression(*expr.arguments[0], scope);
        inner.sql = QStringLiteral("(NOT %1)").arg(inner.sql);
        return inner;
    }
    case ExprKind::IsNull: {
        const Gen value = expression(*expr.arguments[0], scope);
        Gen gen;
        gen.boolean = true;
        gen.type = SqlType::bit();
        gen.aggregate = value.aggregate;
        gen.sql = QStringLiteral("(%1 IS %2NULL)")
                      .arg(value.sql, expr.negated ? QStringLiteral("NOT ") : QString());
        return gen;
    }
    case ExprKind::InList:
        return inList(expr, scope);
    case ExprKind::InQuery:
        return inQuery(expr, scope);
    case ExprKind::Between: {
        const Gen value = expression(*expr.arguments[0], scope);
        const Gen low = expression(*expr.arguments[1], scope);
        const Gen high = expression(*expr.arguments[2], scope);
        const Gen above = comparison(QStringLiteral(">="), value, low, expr.line);
        const Gen below = comparison(QStringLiteral("<="), value, high, expr.line);
        Gen gen;
        gen.boolean = true;
        gen.type = SqlType::bit();
        gen.aggregate = value.aggregate || low.aggregate || high.aggregate;
        gen.sql = QStringLiteral("(%1(%2 AND %3))")
                      .arg(expr.negated ? QStringLiteral("NOT ") : QString(), above.sql, below.sql);
        return gen;
    }
    case ExprKind::Like:
        return like(expr, scope);
    case ExprKind::Exists: {
        std::vector<Output> outputs;
        const QString sql = query(*expr.query, scope, outputs);
        Gen gen;
        gen.boolean = true;
        gen.type = SqlType::bit();
        gen.sql = QStringLiteral("(%1EXISTS (%2))")
                      .arg(expr.negated ? QStringLiteral("NOT ") : QString(), sql);
        return gen;
    }
    case ExprKind::Subquery:
        return subquery(expr, scope);
    case ExprKind::Case:
        return caseExpression(expr, scope);
    case ExprKind::Function:
        return function(expr, scope);
    case ExprKind::Cast:
        return cast(expr, scope);
    case ExprKind::Collate: {
        Gen inner = expression(*expr.arguments[0], scope);
        if (!inner.type.isString())
            fail(447,
                 QStringLiteral("Expression type %1 is invalid for COLLATE clause.")
                     .arg(inner.type.name()),
                 expr.line);
        const QString lower = expr.collation.toLower();
        inner.type.collation =
            lower.contains(QLatin1String("_bin")) || lower.contains(QLatin1String("_cs"))
                ? Collation::Binary
                : Collation::CaseInsensitive;
        inner.explicitCollation = true;
        inner.sql =
            QStringLiteral("(%1 COLLATE %2)")
                .arg(inner.sql, QString::fromLatin1(inner.type.collation == Collation::Binary
                                                        ? binaryCollation
                                                        : caseInsensitive));
        return inner;
    }
    }
    fail(102, QStringLiteral("Incorrect syntax."), expr.line);
}

StatementCompiler::Gen StatementCompiler::literal(const Expr& expr) {
    Gen gen;
    switch (expr.literal) {
    case LiteralKind::Null:
        gen.type = SqlType::null();
        gen.sql = QStringLiteral("NULL");
        gen.constant = TsqlValue::null(SqlType::null());
        return gen;
    case LiteralKind::Integer: {
        bool ok = false;
        const qint64 value = expr.text.toLongLong(&ok);
        if (ok && value >= INT32_MIN && value <= INT32_MAX) {
            gen.type = SqlType::integer();
            gen.constant = TsqlValue::integer(value);
            gen.sql = QString::number(value);
            gen.integerLiteral = true;
            return gen;
        }
        // Beyond int a whole number is a decimal of its digits.
        const auto decimal = Decimal::parse(expr.text);
        if (!decimal)
            fail(1007,
                 QStringLiteral("The number '%1' is out of the range for numeric representation "
                                "(maximum precision 38).")
                     .arg(expr.text),
                 expr.line);
        gen.type = SqlType::decimal(decimal->digits(), 0);
        gen.constant = TsqlValue::decimal(*decimal, gen.type);
        gen.sql = SqliteValues::literal(*gen.constant);
        return gen;
    }
    case LiteralKind::Number:
    case LiteralKind::Money: {
        const auto decimal = Decimal::parse(expr.text);
        if (!decimal)
            fail(1007,
                 QStringLiteral("The number '%1' is out of the range for numeric representation "
                                "(maximum precision 38).")
                     .arg(expr.text),
                 expr.line);
        if (expr.literal == LiteralKind::Money)
            gen.type = SqlType::money();
        else
            gen.type =
                SqlType::decimal(qMax(decimal->digits(), decimal->scale()), decimal->scale());
        if (gen.type.precision < 1)
            gen.type.precision = 1;
        gen.constant = TsqlValue::decimal(*decimal, gen.type);
        gen.sql = SqliteValues::literal(*gen.constant);
        return gen;
    }
    case LiteralKind::Float: {
        bool ok = false;
        const double value = expr.text.toDouble(&ok);
        if (!ok)
            fail(102, QStringLiteral("Incorrect syntax near '%1'.").arg(expr.text), expr.line);
        gen.type = SqlType::floatType();
        gen.constant = TsqlValue::floating(value);
        gen.sql = SqliteValues::literal(*gen.constant);
        return gen;
    }
    case LiteralKind::String:
    case LiteralKind::NString: {
        const int length = qMax(1, int(expr.text.size()));
        gen.type = expr.literal == LiteralKind::String ? SqlType::varChar(qMin(length, 8000))
                                                       : SqlType::nVarChar(qMin(length, 4000));
        if (expr.text.size() > 8000)
            gen.type.length = SqlType::maxLength;
        gen.constant = TsqlValue::text(expr.text, gen.type);
        gen.sql = SqliteValues::literal(*gen.constant);
        return gen;
    }
    case LiteralKind::Binary: {
        const QByteArray bytes = QByteArray::fromHex(expr.text.toLatin1());
        gen.type = SqlType{TypeKind::VarBinary, 0, 0, qMax(1, int(bytes.size()))};
        gen.constant = TsqlValue::binary(bytes, gen.type);
        gen.sql = SqliteValues::literal(*gen.constant);
        return gen;
    }
    }
    return gen;
}

StatementCompiler::Gen StatementCompiler::column(const Expr& expr, Scope* scope) {
    const QStringList& parts = expr.name.parts;
    const QString columnName = parts.last();
    const QString qualifier = parts.size() >= 2 ? parts[parts.size() - 2] : QString();
    for (Scope* s = scope; s != nullptr; s = s->outer) {
        const Source* found = nullptr;
        const ColumnInfo* foundColumn = nullptr;
        int matches = 0;
        for (const Source& source : s->sources) {
            if (!qualifier.isEmpty() && source.exposed.compare(qualifier, Qt::CaseInsensitive) != 0)
                continue;
            for (const ColumnInfo& candidate : source.columns) {
                if (candidate.name.compare(columnName, Qt::CaseInsensitive) == 0) {
                    if (found == nullptr) {
                        found = &source;
                        foundColumn = &candidate;
                    }
                    ++matches;
                    break;
                }
            }
            if (!qualifier.isEmpty() && found == nullptr) {
                // The qualifier names this source, which has no such column.
                fail(207, QStringLiteral("Invalid column name '%1'.").arg(columnName), expr.line);
            }
        }
        if (matches > 1)
            fail(209, QStringLiteral("Ambiguous column name '%1'.").arg(columnName), expr.line);
        if (found != nullptr) {
            Gen gen;
            gen.type = foundColumn->type;
            gen.column = true;
            gen.sql = found->sqlAlias.isEmpty() ? quoted(foundColumn->name)
                                                : found->sqlAlias + '.' + quoted(foundColumn->name);
            return gen;
        }
    }
    if (!qualifier.isEmpty())
        fail(4104,
             QStringLiteral("The multi-part identifier \"%1\" could not be bound.")
                 .arg(parts.join('.')),
             expr.line);
    fail(207, QStringLiteral("Invalid column name '%1'.").arg(columnName), expr.line);
}

StatementCompiler::Gen StatementCompiler::variable(const Expr& expr) {
    const QString name = expr.name.object();
    const auto type = environment_.variableType(name);
    if (!type)
        fail(137, QStringLiteral("Must declare the scalar variable \"%1\".").arg(name), expr.line);
    Gen gen;
    gen.type = *type;
    gen.sql = bind({Binding::Kind::Variable, 0, name, *type, name.toLower()});
    return gen;
}

StatementCompiler::Gen StatementCompiler::systemVariable(const Expr& expr) {
    const QString name = expr.name.object().toUpper();
    static const QHash<QString, SqlType> types = {
        {QStringLiteral("@@ROWCOUNT"), SqlType::integer()},
        {QStringLiteral("@@ERROR"), SqlType::integer()},
        {QStringLiteral("@@TRANCOUNT"), SqlType::integer()},
        {QStringLiteral("@@FETCH_STATUS"), SqlType::integer()},
        {QStringLiteral("@@IDENTITY"), SqlType::decimal(38, 0)},
        {QStringLiteral("@@NESTLEVEL"), SqlType::integer()},
        {QStringLiteral("@@SPID"), SqlType::smallInt()},
        {QStringLiteral("@@PROCID"), SqlType::integer()},
        {QStringLiteral("@@DATEFIRST"), SqlType::tinyInt()},
        {QStringLiteral("@@MAX_PRECISION"), SqlType::tinyInt()},
        {QStringLiteral("@@VERSION"), SqlType::nVarChar(300)},
        {QStringLiteral("@@SERVERNAME"), SqlType::nVarChar(128)},
        {QStringLiteral("@@SERVICENAME"), SqlType::nVarChar(128)},
        {QStringLiteral("@@LANGUAGE"), SqlType::nVarChar(128)},
    };
    const auto found = types.constFind(name);
    if (found == types.cend())
        fail(137,
             QStringLiteral("Must declare the scalar variable \"%1\".").arg(expr.name.object()),
             expr.line);
    Gen gen;
    gen.type = found.value();
    gen.sql = bind({Binding::Kind::Session, 0, name, gen.type, {}});
    return gen;
}

StatementCompiler::Gen StatementCompiler::unaryExpression(const Expr& expr, Scope* scope) {
    const Expr& operand = *expr.arguments[0];
    if (expr.op == QLatin1String("-") && operand.kind == ExprKind::Literal &&
        (operand.literal == LiteralKind::Integer || operand.literal == LiteralKind::Number ||
         operand.literal == LiteralKind::Float || operand.literal == LiteralKind::Money)) {
        // -2147483648 is an int: the sign belongs to the literal.
        Expr negative;
        negative.kind = ExprKind::Literal;
        negative.literal = operand.literal;
        negative.text = '-' + operand.text;
        negative.line = operand.line;
        if (operand.literal == LiteralKind::Number || operand.literal == LiteralKind::Money) {
            Gen gen = literal(operand);
            gen.constant = unary('-', *gen.constant);
            gen.sql = SqliteValues::literal(*gen.constant);
            return gen;
        }
        return literal(negative);
    }
    Gen value = expression(operand, scope);
    if (expr.op == QLatin1String("+"))
        return value;
    const char op = expr.op.at(0).toLatin1();
    Gen gen;
    gen.aggregate = value.aggregate;
    if (value.type.kind == TypeKind::Variant)
        gen.type = SqlType::variant();
    else
        gen.type = unaryResultType(op, value.type.kind == TypeKind::Null ? SqlType::integer()
                                                                         : value.type);
    if (value.constant) {
        try {
            gen.constant = unary(op, *value.constant);
            gen.sql = SqliteValues::literal(*gen.constant);
            return gen;
        } catch (const TsqlError&) {
        }
    }
    gen.sql = QStringLiteral("tsql_unary(%1, %2, %3, %4)")
                  .arg(int(op))
                  .arg(typeCode(gen.type), value.sql, typeCode(value.type));
    return gen;
}

StatementCompiler::Gen StatementCompiler::binaryExpression(const Expr& expr, Scope* scope) {
    Gen left = expression(*expr.arguments[0], scope);
    Gen right = expression(*expr.arguments[1], scope);
    // A whole number written in the text meets a decimal with its own digits (1.0 / 3 is
    // 0.333333), as SQL Server types such constants.
    const auto literalMeetsDecimal = [&](Gen& literal, const Gen& other) {
        if (literal.integerLiteral && other.type.kind == TypeKind::Decimal)
            literal = converted(literal, literalAsDecimal(literal.constant->asInteger()));
    };
    literalMeetsDecimal(left, right);
    literalMeetsDecimal(right, left);
    if (left.boolean || right.boolean)
        fail(102, QStringLiteral("Incorrect syntax near '%1'.").arg(expr.op), expr.line);
    const char op = expr.op.at(0).toLatin1();
    Gen gen;
    gen.aggregate = left.aggregate || right.aggregate;
    gen.type = arithmeticType(op, left.type, right.type);
    if (left.constant && right.constant) {
        try {
            gen.constant = arithmetic(op, *left.constant, *right.constant);
            gen.type = gen.constant->type();
            gen.sql = SqliteValues::literal(*gen.constant);
            return gen;
        } catch (const TsqlError&) {
            gen.constant.reset();
        }
    }
    // Concatenation; a NULL operand makes the result NULL, as SQLite's || does.
    if (op == '+' && gen.type.isString() &&
        (left.type.isString() || left.type.kind == TypeKind::Null) &&
        (right.type.isString() || right.type.kind == TypeKind::Null)) {
        gen.sql = QStringLiteral("(%1 || %2)").arg(left.sql, right.sql);
        return gen;
    }
    // Float arithmetic is SQLite's own, except division, which must refuse a zero.
    if (gen.type.kind == TypeKind::Float && isNativeNumber(left.type) &&
        isNativeNumber(right.type) && (op == '+' || op == '-' || op == '*')) {
        gen.sql = QStringLiteral("(%1 %2 %3)").arg(left.sql, QString(QChar(op)), right.sql);
        return gen;
    }
    gen.sql = QStringLiteral("tsql_op(%1, %2, %3, %4, %5, %6)")
                  .arg(int(op))
                  .arg(typeCode(gen.type), left.sql, typeCode(left.type), right.sql,
                       typeCode(right.type));
    return gen;
}

StatementCompiler::Gen StatementCompiler::comparison(const QString& op, const Gen& left,
                                                     const Gen& right, int line) {
    if (left.boolean || right.boolean)
        fail(102, QStringLiteral("Incorrect syntax near '%1'.").arg(op), line);
    Gen gen;
    gen.boolean = true;
    gen.type = SqlType::bit();
    gen.aggregate = left.aggregate || right.aggregate;
    const SqlType& lt = left.type;
    const SqlType& rt = right.type;
    if (lt.kind == TypeKind::Null || rt.kind == TypeKind::Null) {
        gen.sql = QStringLiteral("(%1 %2 %3)").arg(left.sql, op, right.sql);
        return gen;
    }
    const auto viaFunction = [&] {
        gen.sql = QStringLiteral("(tsql_cmp(%1, %2, %3, %4) %5 0)")
                      .arg(left.sql, typeCode(lt), right.sql, typeCode(rt), op);
        return gen;
    };
    if (lt.kind == TypeKind::Variant || rt.kind == TypeKind::Variant)
        return viaFunction();
    SqlType common;
    try {
        common = meetType(lt, rt);
    } catch (TsqlError& error) {
        error.setPlace(QString(), line);
        throw;
    }
    if (common.isString()) {
        gen.sql = QStringLiteral("(%1 %2 %3 COLLATE %4)")
                      .arg(left.sql, op, right.sql, collationOf(left, right));
        return gen;
    }
    if (common.isDateTime()) {
        const Gen l = converted(left, SqlType::dateTime());
        const Gen r = converted(right, SqlType::dateTime());
        gen.sql = QStringLiteral("(%1 %2 %3 COLLATE %4)")
                      .arg(l.sql, op, r.sql, QString::fromLatin1(dateTimeCollation));
        return gen;
    }
    if (isDecimalKind(lt) || isDecimalKind(rt) || isDecimalKind(common))
        return viaFunction();
    if (common.isNumeric()) {
        const Gen l = lt.isString() ? converted(left, common) : left;
        const Gen r = rt.isString() ? converted(right, common) : right;
        gen.sql = QStringLiteral("(%1 %2 %3)").arg(l.sql, op, r.sql);
        return gen;
    }
    gen.sql = QStringLiteral("(%1 %2 %3)").arg(left.sql, op, right.sql);
    return gen;
}

StatementCompiler::Gen StatementCompiler::inList(const Expr& expr, Scope* scope) {
    const Gen value = expression(*expr.arguments[0], scope);
    std::vector<Gen> items;
    SqlType common = value.type;
    for (std::size_t i = 1; i < expr.arguments.size(); ++i) {
        items.push_back(expression(*expr.arguments[i], scope));
        common = meetType(common, items.back().type);
    }
    Gen gen;
    gen.boolean = true;
    gen.type = SqlType::bit();
    gen.aggregate = value.aggregate;
    if (common.kind == TypeKind::Variant || isDecimalKind(common)) {
        // Each item compared as = compares it.
        QStringList tests;
        for (const Gen& item : items)
            tests << comparison(QStringLiteral("="), value, item, expr.line).sql;
        gen.sql = QStringLiteral("(%1(%2))")
                      .arg(expr.negated ? QStringLiteral("NOT ") : QString(),
                           tests.join(QStringLiteral(" OR ")));
        return gen;
    }
    QStringList list;
    for (const Gen& item : items)
        list << converted(item, common).sql;
    QString left = converted(value, common).sql;
    if (common.isString())
        left = QStringLiteral("(%1 COLLATE %2)").arg(left, collationOf(value, value));
    else if (common.isDateTime())
        left = QStringLiteral("(%1 COLLATE %2)").arg(left, QString::fromLatin1(dateTimeCollation));
    gen.sql = QStringLiteral("(%1 %2IN (%3))")
                  .arg(left, expr.negated ? QStringLiteral("NOT ") : QString(),
                       list.join(QStringLiteral(", ")));
    return gen;
}

StatementCompiler::Gen StatementCompiler::inQuery(const Expr& expr, Scope* scope) {
    const Gen value = expression(*expr.arguments[0], scope);
    std::vector<Output> outputs;
    QString sql = query(*expr.query, scope, outputs);
    if (outputs.size() != 1)
        fail(116,
             QStringLiteral("Only one expression can be specified in the select list when the "
                            "subquery is not introduced with EXISTS."),
             expr.line);
    const SqlType common = meetType(value.type, outputs[0].type);
    QString left = value.sql;
    if (common.kind == TypeKind::Variant || isDecimalKind(common) || !(outputs[0].type == common)) {
        // Both sides as the type they meet in, decimals as exact blobs that compare by value.
        Gen item;
        item.sql = QStringLiteral("__in.") + quoted(outputs[0].name);
        item.type = outputs[0].type;
        const Gen itemKey = converted(item, common);
        sql = QStringLiteral("SELECT %1 FROM (%2) AS __in")
                  .arg(isDecimalKind(common) ? key(itemKey) : itemKey.sql, sql);
        left = isDecimalKind(common) ? key(converted(value, common)) : converted(value, common).sql;
    } else {
        left = converted(value, common).sql;
    }
    if (common.isString())
        left = QStringLiteral("(%1 COLLATE %2)").arg(left, collationOf(value, value));
    else if (common.isDateTime())
        left = QStringLiteral("(%1 COLLATE %2)").arg(left, QString::fromLatin1(dateTimeCollation));
    Gen gen;
    gen.boolean = true;
    gen.type = SqlType::bit();
    gen.aggregate = value.aggregate;
    gen.sql = QStringLiteral("(%1 %2IN (%3))")
                  .arg(left, expr.negated ? QStringLiteral("NOT ") : QString(), sql);
    return gen;
}

StatementCompiler::Gen StatementCompiler::like(const Expr& expr, Scope* scope) {
    const Gen value = expression(*expr.arguments[0], scope);
    const Gen pattern = expression(*expr.arguments[1], scope);
    QString escape = QStringLiteral("NULL");
    if (expr.arguments.size() > 2)
        escape = converted(expression(*expr.arguments[2], scope), SqlType::varChar(1)).sql;
    const bool binary = collationOf(value, pattern) == QLatin1String(binaryCollation);
    Gen gen;
    gen.boolean = true;
    gen.type = SqlType::bit();
    gen.aggregate = value.aggregate;
    gen.sql = QStringLiteral("(%1tsql_like(%2, %3, %4, %5, %6))")
                  .arg(expr.negated ? QStringLiteral("NOT ") : QString(),
                       converted(value, SqlType::nVarChar(SqlType::maxLength)).sql,
                       converted(pattern, SqlType::nVarChar(SqlType::maxLength)).sql, escape,
                       binary ? QStringLiteral("1") : QStringLiteral("0"),
                       value.type.isUnicode() ? QStringLiteral("1") : QStringLiteral("0"));
    return gen;
}

StatementCompiler::Gen StatementCompiler::subquery(const Expr& expr, Scope* scope) {
    std::vector<Output> outputs;
    const QueryExpr& inner = *expr.query;
    const QString sql = query(inner, scope, outputs);
    if (outputs.size() != 1)
        fail(116,
             QStringLiteral("Only one expression can be specified in the select list when the "
                            "subquery is not introduced with EXISTS."),
             expr.line);
    Gen gen;
    gen.type = outputs[0].type;
    // A subquery that may give more than one row fails then, as on SQL Server; one that
    // aggregates without grouping or takes its Top 1 gives at most one.
    bool single = false;
    if (inner.kind == QueryExpr::Kind::Spec) {
        const QuerySpec& spec = *inner.spec;
        const bool top1 = spec.top && spec.top->kind == ExprKind::Literal &&
                          spec.top->text == QLatin1String("1") && !spec.topPercent;
        single = top1 || spec.from.empty() || (spec.groupBy.empty() && outputs[0].aggregate);
    }
    if (single) {
        gen.sql = '(' + sql + ')';
        return gen;
    }
    gen.sql = QStringLiteral("(SELECT tsql_single(count(*), max(__one.%1)) FROM (%2 LIMIT 2) AS "
                             "__one)")
                  .arg(quoted(outputs[0].name), sql);
    return gen;
}

StatementCompiler::Gen StatementCompiler::caseExpression(const Expr& expr, Scope* scope) {
    std::optional<Gen> operand;
    if (expr.caseOperand)
        operand = expression(*expr.caseOperand, scope);
    std::vector<std::pair<Gen, Gen>> branches;
    SqlType type = SqlType::null();
    bool aggregate = operand && operand->aggregate;
    for (const auto& [when, then] : expr.whens) {
        Gen condition = operand ? comparison(QStringLiteral("="), *operand,
                                             expression(*when, scope), when->line)
                                : booleanExpression(*when, scope);
        Gen result = expression(*then, scope);
        if (result.boolean)
            fail(102, QStringLiteral("Incorrect syntax near '='."), then->line);
        type = meetType(type, result.type);
        aggregate = aggregate || condition.aggregate || result.aggregate;
        branches.emplace_back(std::move(condition), std::move(result));
    }
    std::optional<Gen> otherwise;
    if (expr.elseResult) {
        otherwise = expression(*expr.elseResult, scope);
        type = meetType(type, otherwise->type);
        aggregate = aggregate || otherwise->aggregate;
    }
    if (type.kind == TypeKind::Null)
        type = SqlType::integer();
    QString sql = QStringLiteral("CASE");
    for (const auto& [condition, result] : branches)
        sql += QStringLiteral(" WHEN %1 THEN %2").arg(condition.sql, converted(result, type).sql);
    if (otherwise)
        sql += QStringLiteral(" ELSE ") + converted(*otherwise, type).sql;
    sql += QStringLiteral(" END");
    Gen gen;
    gen.type = type;
    gen.sql = sql;
    gen.aggregate = aggregate;
    return gen;
}

StatementCompiler::Gen StatementCompiler::cast(const Expr& expr, Scope* scope) {
    const Gen value = expression(*expr.arguments[0], scope);
    SqlType target = resolve(expr.type);
    // Without a length a string conversion gives 30 characters.
    if (target.isString() && expr.type.arguments.isEmpty() && target.kind != TypeKind::Text &&
        target.kind != TypeKind::NText)
        target.length = 30;
    QString style = QStringLiteral("0");
    if (expr.hasStyle) {
        const Gen styleGen = expression(*expr.arguments[1], scope);
        style = converted(styleGen, SqlType::integer()).sql;
    }
    Gen gen;
    gen.type = target;
    gen.aggregate = value.aggregate;
    if (expr.hasStyle && expr.arguments[1]->kind == ExprKind::Literal &&
        expr.arguments[1]->literal == LiteralKind::Null) {
        // A NULL style gives NULL.
        gen.constant = TsqlValue::null(target);
        gen.sql = QStringLiteral("NULL");
        return gen;
    }
    if (value.constant && !expr.tryConversion &&
        (!expr.hasStyle || expr.arguments[1]->kind == ExprKind::Literal)) {
        try {
            const int styleValue = expr.hasStyle ? expr.arguments[1]->text.toInt() : 0;
            gen.constant = convert(*value.constant, target, styleValue);
            gen.sql = SqliteValues::literal(*gen.constant);
            return gen;
        } catch (const TsqlError&) {
        }
    }
    gen.sql =
        QStringLiteral("%1(%2, %3, %4, %5)")
            .arg(expr.tryConversion ? QStringLiteral("tsql_try_cvt") : QStringLiteral("tsql_cvt"),
                 typeCode(target), value.sql, typeCode(value.type), style);
    return gen;
}

QString StatementCompiler::overClause(const OverClause& over, Scope* scope) {
    QStringList parts;
    if (!over.partitionBy.empty()) {
        QStringList keys;
        for (const auto& item : over.partitionBy)
            keys << key(expression(*item, scope));
        parts << QStringLiteral("PARTITION BY ") + keys.join(QStringLiteral(", "));
    }
    if (!over.orderBy.empty()) {
        QStringList keys;
        for (const auto& item : over.orderBy)
            keys << key(expression(*item.expression, scope)) +
                        (item.descending ? QStringLiteral(" DESC") : QString());
        parts << QStringLiteral("ORDER BY ") + keys.join(QStringLiteral(", "));
    }
    if (!over.frame.isEmpty())
        parts << over.frame;
    return QStringLiteral(" OVER (%1)").arg(parts.join(' '));
}

StatementCompiler::Gen StatementCompiler::aggregate(const Expr& expr, Scope* scope,
                                                    const QString& name) {
    if (scope == nullptr || (!scope->allowAggregates && !expr.over))
        fail(147,
             QStringLiteral("An aggregate may not appear in the WHERE clause unless it is in a "
                            "subquery contained in a HAVING clause or a select list, and the "
                            "column being aggregated is an outer reference."),
             expr.line);
    Gen gen;
    gen.aggregate = !expr.over;
    const QString over = expr.over ? overClause(*expr.over, scope) : QString();
    const QString distinct = expr.distinct ? QStringLiteral("DISTINCT ") : QString();
    if (name == QLatin1String("count") || name == QLatin1String("count_big")) {
        gen.type = name == QLatin1String("count") ? SqlType::integer() : SqlType::bigInt();
        if (expr.arguments.size() == 1 && expr.arguments[0]->kind == ExprKind::Star) {
            gen.sql = QStringLiteral("count(*)") + over;
            return gen;
        }
        if (expr.arguments.size() != 1)
            fail(174, QStringLiteral("The %1 function requires 1 argument(s).").arg(name),
                 expr.line);
        Scope inner = *scope;
        inner.allowAggregates = false;
        const Gen value = expression(*expr.arguments[0], &inner);
        gen.sql =
            QStringLiteral("count(%1%2)").arg(distinct, expr.distinct ? key(value) : value.sql) +
            over;
        return gen;
    }
    if (expr.arguments.size() != 1)
        fail(174, QStringLiteral("The %1 function requires 1 argument(s).").arg(name), expr.line);
    Scope inner = *scope;
    inner.allowAggregates = false;
    const Gen value = expression(*expr.arguments[0], &inner);
    if (value.boolean)
        fail(4145,
             QStringLiteral("An expression of non-boolean type specified in a context "
                            "where a condition is expected."),
             expr.line);
    if (name == QLatin1String("min") || name == QLatin1String("max")) {
        gen.type = value.type;
        gen.sql = QStringLiteral("%1(%2%3)").arg(name, distinct, key(value)) + over;
        return gen;
    }
    if (name == QLatin1String("sum") || name == QLatin1String("avg")) {
        if (value.type.kind == TypeKind::Variant || value.type.kind == TypeKind::Null) {
            gen.type = value.type.kind == TypeKind::Null ? SqlType::integer() : SqlType::variant();
        } else {
            try {
                gen.type = name == QLatin1String("sum") ? sumResultType(value.type)
                                                        : avgResultType(value.type);
            } catch (TsqlError& error) {
                error.setPlace(QString(), expr.line);
                throw;
            }
        }
        if (expr.distinct) {
            // A Distinct aggregate takes one argument: the value in its exact form.
            const QString kind =
                value.type.isInteger()
                    ? (value.type.kind == TypeKind::BigInt ? QStringLiteral("bigint")
                                                           : QStringLiteral("int"))
                : value.type.isApproximate() ? QStringLiteral("float")
                : value.type.kind == TypeKind::Money || value.type.kind == TypeKind::SmallMoney
                    ? QStringLiteral("money")
                    : QStringLiteral("exact");
            gen.sql = QStringLiteral("tsql_%1_%2(DISTINCT %3)").arg(name, kind, key(value)) + over;
            return gen;
        }
        gen.sql =
            QStringLiteral("tsql_%1(%2, %3)").arg(name, value.sql, typeCode(value.type)) + over;
        return gen;
    }
    // Standard deviation and variance: float, as SQL Server gives them.
    gen.type = SqlType::floatType();
    gen.sql = QStringLiteral("tsql_%1(%2%3)")
                  .arg(name, distinct, converted(value, SqlType::floatType()).sql) +
              over;
    return gen;
}

StatementCompiler::Gen StatementCompiler::function(const Expr& expr, Scope* scope) {
    const QString name = expr.name.object().toLower();
    const int line = expr.line;
    const auto argumentCount = [&](int minimum, int maximum) {
        const int count = int(expr.arguments.size());
        if (count < minimum || count > maximum)
            fail(174,
                 QStringLiteral("The %1 function requires %2 argument(s).")
                     .arg(expr.name.object())
                     .arg(minimum == maximum
                              ? QString::number(minimum)
                              : QStringLiteral("%1 to %2").arg(minimum).arg(maximum)),
                 line);
    };
    if (isAggregateName(name))
        return aggregate(expr, scope, name);
    if (isRankingName(name)) {
        if (!expr.over)
            fail(10753, QStringLiteral("The function '%1' must have an OVER clause.").arg(name),
                 line);
        Gen gen;
        QStringList arguments;
        SqlType type = SqlType::bigInt();
        for (const auto& argument : expr.arguments) {
            const Gen value = expression(*argument, scope);
            if (arguments.isEmpty() && name != QLatin1String("ntile"))
                type = value.type;
            arguments << value.sql;
        }
        if (name == QLatin1String("row_number") || name == QLatin1String("rank") ||
            name == QLatin1String("dense_rank") || name == QLatin1String("ntile"))
            type = SqlType::bigInt();
        gen.type = type;
        gen.sql = QStringLiteral("%1(%2)").arg(name, arguments.join(QStringLiteral(", "))) +
                  overClause(*expr.over, scope);
        return gen;
    }
    if (expr.over)
        fail(4109, QStringLiteral("Windowed functions cannot be used in this context."), line);

    std::vector<Gen> arguments;
    const auto argumentsFrom = [&](std::size_t first) {
        for (std::size_t i = first; i < expr.arguments.size(); ++i) {
            if (expr.arguments[i]->kind == ExprKind::Star)
                fail(102, QStringLiteral("Incorrect syntax near '*'."), line);
            arguments.push_back(expression(*expr.arguments[i], scope));
        }
    };
    const auto anyAggregate = [&] {
        for (const Gen& argument : arguments) {
            if (argument.aggregate)
                return true;
        }
        return false;
    };

    if (name == QLatin1String("isnull")) {
        argumentCount(2, 2);
        argumentsFrom(0);
        SqlType type = arguments[0].type;
        if (type.kind == TypeKind::Null)
            type =
                arguments[1].type.kind == TypeKind::Null ? SqlType::integer() : arguments[1].type;
        Gen gen;
        gen.type = type;
        gen.aggregate = anyAggregate();
        gen.sql = QStringLiteral("coalesce(%1, %2)")
                      .arg(converted(arguments[0], type).sql, converted(arguments[1], type).sql);
        return gen;
    }
    if (name == QLatin1String("coalesce")) {
        if (expr.arguments.size() < 2)
            fail(174, QStringLiteral("The coalesce function requires 2 to n argument(s)."), line);
        argumentsFrom(0);
        SqlType type = SqlType::null();
        for (const Gen& argument : arguments)
            type = meetType(type, argument.type);
        if (type.kind == TypeKind::Null)
            fail(4127,
                 QStringLiteral("At least one of the arguments to COALESCE must be an expression "
                                "that is not the NULL constant."),
                 line);
        QStringList parts;
        for (const Gen& argument : arguments)
            parts << converted(argument, type).sql;
        Gen gen;
        gen.type = type;
        gen.aggregate = anyAggregate();
        gen.sql = QStringLiteral("coalesce(%1)").arg(parts.join(QStringLiteral(", ")));
        return gen;
    }
    if (name == QLatin1String("nullif")) {
        argumentCount(2, 2);
        argumentsFrom(0);
        const Gen equal = comparison(QStringLiteral("="), arguments[0], arguments[1], line);
        Gen gen;
        gen.type = arguments[0].type;
        gen.aggregate = anyAggregate();
        gen.sql =
            QStringLiteral("CASE WHEN %1 THEN NULL ELSE %2 END").arg(equal.sql, arguments[0].sql);
        return gen;
    }
    if (name == QLatin1String("iif")) {
        argumentCount(3, 3);
        const Gen condition = booleanExpression(*expr.arguments[0], scope);
        const Gen whenTrue = expression(*expr.arguments[1], scope);
        const Gen whenFalse = expression(*expr.arguments[2], scope);
        Gen gen;
        gen.type = meetType(whenTrue.type, whenFalse.type);
        gen.aggregate = condition.aggregate || whenTrue.aggregate || whenFalse.aggregate;
        gen.sql = QStringLiteral("CASE WHEN %1 THEN %2 ELSE %3 END")
                      .arg(condition.sql, converted(whenTrue, gen.type).sql,
                           converted(whenFalse, gen.type).sql);
        return gen;
    }
    if (name == QLatin1String("getdate") || name == QLatin1String("getutcdate") ||
        name == QLatin1String("sysdatetime") || name == QLatin1String("current_timestamp")) {
        argumentCount(0, 0);
        Gen gen;
        gen.type = SqlType::dateTime();
        gen.sql = name == QLatin1String("getutcdate") ? QStringLiteral("tsql_getutcdate()")
                                                      : QStringLiteral("getdate()");
        return gen;
    }
    if (name == QLatin1String("scope_identity") || name == QLatin1String("error_message") ||
        name == QLatin1String("error_number") || name == QLatin1String("error_severity") ||
        name == QLatin1String("error_state") || name == QLatin1String("error_line") ||
        name == QLatin1String("error_procedure") || name == QLatin1String("xact_state") ||
        name == QLatin1String("db_name") || name == QLatin1String("host_name") ||
        name == QLatin1String("app_name") || name == QLatin1String("user_name") ||
        name == QLatin1String("suser_sname") || name == QLatin1String("user") ||
        name == QLatin1String("session_user") || name == QLatin1String("system_user") ||
        name == QLatin1String("current_user")) {
        argumentCount(0, 0);
        static const QHash<QString, SqlType> types = {
            {QStringLiteral("scope_identity"), SqlType::decimal(38, 0)},
            {QStringLiteral("error_message"), SqlType::nVarChar(4000)},
            {QStringLiteral("error_number"), SqlType::integer()},
            {QStringLiteral("error_severity"), SqlType::integer()},
            {QStringLiteral("error_state"), SqlType::integer()},
            {QStringLiteral("error_line"), SqlType::integer()},
            {QStringLiteral("error_procedure"), SqlType::nVarChar(128)},
            {QStringLiteral("xact_state"), SqlType::smallInt()},
        };
        Gen gen;
        gen.type = types.value(name, SqlType::nVarChar(128));
        gen.sql = bind({Binding::Kind::Session, 0, name.toUpper(), gen.type, {}});
        return gen;
    }
    if (name == QLatin1String("object_id")) {
        argumentCount(1, 2);
        argumentsFrom(0);
        Gen gen;
        gen.type = SqlType::integer();
        gen.sql = QStringLiteral("tsql_object_id(%1, %2)")
                      .arg(converted(arguments[0], SqlType::nVarChar(776)).sql,
                           arguments.size() > 1 ? converted(arguments[1], SqlType::nVarChar(2)).sql
                                                : QStringLiteral("NULL"));
        return gen;
    }
    if (name == QLatin1String("col_length")) {
        argumentCount(2, 2);
        argumentsFrom(0);
        Gen gen;
        gen.type = SqlType::smallInt();
        gen.sql = QStringLiteral("tsql_col_length(%1, %2)")
                      .arg(converted(arguments[0], SqlType::nVarChar(776)).sql,
                           converted(arguments[1], SqlType::nVarChar(128)).sql);
        return gen;
    }
    if (name == QLatin1String("ident_current")) {
        argumentCount(1, 1);
        argumentsFrom(0);
        Gen gen;
        gen.type = SqlType::decimal(38, 0);
        gen.sql = QStringLiteral("tsql_ident_current(%1)")
                      .arg(converted(arguments[0], SqlType::nVarChar(776)).sql);
        return gen;
    }
    if (name == QLatin1String("newid")) {
        argumentCount(0, 0);
        Gen gen;
        gen.type = SqlType::charType(36);
        gen.sql = QStringLiteral("tsql_newid()");
        return gen;
    }
    if (name == QLatin1String("rand")) {
        argumentCount(0, 1);
        Gen gen;
        gen.type = SqlType::floatType();
        gen.sql = QStringLiteral("(abs(random()) / 9223372036854775808.0)");
        return gen;
    }
    if ((name == QLatin1String("year") || name == QLatin1String("month") ||
         name == QLatin1String("day")) &&
        expr.arguments.size() == 1) {
        argumentsFrom(0);
        if (arguments[0].type.kind == TypeKind::DateTime ||
            arguments[0].type.kind == TypeKind::SmallDateTime ||
            arguments[0].type.kind == TypeKind::Date) {
            // The engine's own readers of its date-time text, the costing's most used functions.
            Gen gen;
            gen.type = SqlType::integer();
            gen.aggregate = arguments[0].aggregate;
            gen.sql = QStringLiteral("%1(%2)").arg(name, arguments[0].sql);
            return gen;
        }
        arguments.clear();
    }

    const BuiltinFunction* builtin = findBuiltinFunction(name);
    if (builtin == nullptr)
        fail(195,
             QStringLiteral("'%1' is not a recognized built-in function name.")
                 .arg(expr.name.object()),
             line);
    argumentCount(builtin->minArguments, builtin->maxArguments);
    // The date part is a keyword, passed as its text.
    std::size_t first = 0;
    if (isDatePartFunction(name)) {
        const Expr& part = *expr.arguments[0];
        Gen text;
        text.type = SqlType::varChar(30);
        QString keyword = part.kind == ExprKind::Column && part.name.parts.size() == 1
                              ? part.name.parts[0]
                          : part.kind == ExprKind::Literal ? part.text
                                                           : QString();
        if (keyword.isEmpty())
            fail(155, QStringLiteral("'%1' is not a recognized %2 option.").arg(part.text, name),
                 line);
        text.constant = TsqlValue::text(keyword, text.type);
        text.sql = SqliteValues::literal(*text.constant);
        arguments.push_back(std::move(text));
        first = 1;
    }
    argumentsFrom(first);
    std::vector<SqlType> types;
    for (const Gen& argument : arguments)
        types.push_back(argument.type.kind == TypeKind::Null ? SqlType::null() : argument.type);
    Gen gen;
    try {
        gen.type = builtin->resultType(types);
    } catch (TsqlError& error) {
        error.setPlace(QString(), line);
        throw;
    }
    gen.aggregate = anyAggregate();
    QStringList parts;
    parts << SqliteValues::literal(
                 TsqlValue::text(QString::fromLatin1(builtin->name), SqlType::varChar(64)))
          << typeCode(gen.type);
    for (const Gen& argument : arguments)
        parts << argument.sql << typeCode(argument.type);
    gen.sql = QStringLiteral("tsql_fn(%1)").arg(parts.join(QStringLiteral(", ")));
    return gen;
}

SqlType StatementCompiler::typeOf(const Expr& expression) {
    const std::size_t mark = bindings_.size();
    const Gen gen = this->expression(expression, nullptr);
    bindings_.resize(mark);
    return gen.boolean ? SqlType::bit() : gen.type;
}

// ---- queries ---------------------------------------------------------------------------------

QString StatementCompiler::withClause(const std::vector<CommonTable>& tables) {
    if (tables.empty())
        return QString();
    QStringList parts;
    bool recursive = false;
    for (const CommonTable& table : tables) {
        // A table that names itself in its own query is recursive: its first member, the
        // anchor, gives the columns.
        TableInfo info;
        info.name = table.name;
        info.sqlName = quoted(table.name);
        info.hasRowid = false;
        std::vector<Output> outputs;
        QString sql;
        const QString key = table.name.toLower();
        if (table.query->kind == QueryExpr::Kind::UnionAll) {
            std::vector<Output> anchor;
            query(*table.query->left, nullptr, anchor);
            for (std::size_t i = 0; i < anchor.size(); ++i) {
                const QString columnName =
                    i < std::size_t(table.columns.size()) ? table.columns[int(i)] : anchor[i].name;
                info.columns.push_back({columnName, anchor[i].type, false, false});
            }
            commonTables_.insert(key, info);
            sql = query(*table.query, nullptr, outputs);
            recursive = recursive || sql.contains(info.sqlName);
        } else {
            sql = query(*table.query, nullptr, outputs);
            for (std::size_t i = 0; i < outputs.size(); ++i) {
                const QString columnName =
                    i < std::size_t(table.columns.size()) ? table.columns[int(i)] : outputs[i].name;
                if (columnName.isEmpty())
                    fail(8155,
                         QStringLiteral("No column name was specified for column %1 of '%2'.")
                             .arg(i + 1)
                             .arg(table.name),
                         table.query->line);
                info.columns.push_back({columnName, outputs[i].type, false, false});
            }
            commonTables_.insert(key, info);
        }
        QStringList names;
        for (const ColumnInfo& column : info.columns)
            names << quoted(column.name);
        parts << QStringLiteral("%1(%2) AS (%3)")
                     .arg(info.sqlName, names.join(QStringLiteral(", ")), sql);
    }
    return QStringLiteral("WITH %1%2 ")
        .arg(recursive ? QStringLiteral("RECURSIVE ") : QString(),
             parts.join(QStringLiteral(", ")));
}

QString StatementCompiler::query(const QueryExpr& q, Scope* outer, std::vector<Output>& outputs,
                                 const std::vector<SqlType>* wanted, bool storage) {
    if (q.kind == QueryExpr::Kind::Spec) {
        QString sql = spec(*q.spec, outer, q.orderBy.empty() ? nullptr : &q.orderBy, outputs,
                           wanted, storage, false);
        if (q.offset || q.fetch)
            sql += limitClause(nullptr, q.offset.get(), q.fetch.get(), outer);
        return sql;
    }
    // A chain of set operations (a Union All b Union All c ...) becomes one flat compound
    // select, each member converting its columns to the type they all meet in: SQLite's parser
    // takes a long chain but not a deep nesting of subqueries.
    std::vector<const QueryExpr*> members;
    std::vector<QueryExpr::Kind> operators;
    const std::function<void(const QueryExpr&, bool)> flatten = [&](const QueryExpr& node,
                                                                    bool root) {
        const bool chain = node.kind != QueryExpr::Kind::Spec &&
                           (root || (node.orderBy.empty() && !node.offset && !node.fetch));
        if (!chain) {
            members.push_back(&node);
            return;
        }
        flatten(*node.left, false);
        operators.push_back(node.kind);
        // A right operand that is a set operation itself (an Intersect, a parenthesized
        // Union) stays one member.
        members.push_back(node.right.get());
    };
    flatten(q, true);

    const std::size_t mark = bindings_.size();
    std::vector<std::vector<Output>> probes(members.size());
    for (std::size_t m = 0; m < members.size(); ++m) {
        query(*members[m], outer, probes[m]);
        if (m > 0 && probes[m].size() != probes[0].size())
            fail(205,
                 QStringLiteral("All queries combined using a UNION, INTERSECT or EXCEPT operator "
                                "must have an equal number of expressions in their target lists."),
                 q.line);
    }
    bindings_.resize(mark);
    std::vector<SqlType> types;
    for (std::size_t i = 0; i < probes[0].size(); ++i) {
        SqlType type = SqlType::null();
        for (const auto& probe : probes)
            type = meetType(type, probe[i].type);
        if (type.kind == TypeKind::Null)
            type = SqlType::integer();
        if (wanted != nullptr && i < wanted->size())
            type = (*wanted)[i];
        types.push_back(type);
    }
    bool deduplicates = false;
    for (const QueryExpr::Kind kind : operators)
        deduplicates = deduplicates || kind != QueryExpr::Kind::UnionAll;

    static const char* const names[] = {"", "UNION", "UNION ALL", "EXCEPT", "INTERSECT"};
    QString sql;
    for (std::size_t m = 0; m < members.size(); ++m) {
        const QueryExpr& member = *members[m];
        std::vector<Output> columns;
        QString memberSql;
        const bool plainSpec = member.kind == QueryExpr::Kind::Spec && member.orderBy.empty() &&
                               !member.offset && !member.fetch && !member.spec->top;
        if (plainSpec) {
            memberSql = spec(*member.spec, outer, nullptr, columns, &types, storage && wanted,
                             deduplicates);
        } else {
            const QString inner = query(member, outer, columns);
            QStringList items;
            for (std::size_t i = 0; i < columns.size(); ++i) {
                Gen value;
                value.sql = QStringLiteral("__m.") + quoted(columns[i].name);
                value.type = columns[i].type;
                value.column = true;
                const QString item = storage && wanted != nullptr ? stored(value, types[i])
                                     : deduplicates               ? key(converted(value, types[i]))
                                                                  : converted(value, types[i]).sql;
                items << item + QStringLiteral(" AS ") + quoted(probes[0][i].name);
            }
            memberSql = QStringLiteral("SELECT %1 FROM (%2) AS __m")
                            .arg(items.join(QStringLiteral(", ")), inner);
        }
        if (m > 0)
            sql += QStringLiteral(" %1 ").arg(QString::fromLatin1(names[int(operators[m - 1])]));
        sql += memberSql;
    }
    outputs.clear();
    for (std::size_t i = 0; i < probes[0].size(); ++i) {
        Output output;
        output.name = probes[0][i].name;
        output.type = types[i];
        output.sql = quoted(probes[0][i].name);
        outputs.push_back(output);
    }
    if (!q.orderBy.empty())
        sql += orderByClause(q.orderBy, nullptr, outputs, true);
    if (q.offset || q.fetch)
        sql += limitClause(nullptr, q.offset.get(), q.fetch.get(), outer);
    return sql;
}

QString StatementCompiler::spec(const QuerySpec& spec, Scope* outer,
                                const std::vector<OrderItem>* orderBy, std::vector<Output>& outputs,
                                const std::vector<SqlType>* wanted, bool storage, bool keyed) {
    Scope scope;
    scope.outer = outer;
    QString sql = QStringLiteral("SELECT ");
    if (spec.distinct)
        sql += QStringLiteral("DISTINCT ");
    const QString from = spec.from.empty() ? QString() : fromClause(spec.from, scope);

    // The select list.
    outputs.clear();
    scope.allowAggregates = true;
    bool anyAggregate = false;
    QStringList items;
    for (const SelectItem& item : spec.items) {
        if (item.expression->kind == ExprKind::Star) {
            const QStringList& qualifier = item.expression->name.parts;
            bool matched = false;
            for (const Source& source : scope.sources) {
                if (!qualifier.isEmpty() &&
                    source.exposed.compare(qualifier.last(), Qt::CaseInsensitive) != 0)
                    continue;
                matched = true;
                for (const ColumnInfo& column : source.columns) {
                    Output output;
                    output.name = column.name;
                    output.type = column.type;
                    output.sql = source.sqlAlias + '.' + quoted(column.name);
                    output.column = true;
                    outputs.push_back(output);
                }
            }
            if (!matched)
                fail(qualifier.isEmpty() ? 263 : 4104,
                     qualifier.isEmpty()
                         ? QStringLiteral("Must specify table to select from.")
                         : QStringLiteral("The multi-part identifier \"%1\" could not be bound.")
                               .arg(qualifier.join('.')),
                     spec.line);
            continue;
        }
        const Gen gen = expression(*item.expression, &scope);
        if (gen.boolean)
            fail(102, QStringLiteral("Incorrect syntax near '='."), item.expression->line);
        anyAggregate = anyAggregate || gen.aggregate;
        Output output;
        output.name = !item.alias.isEmpty()                       ? item.alias
                      : item.expression->kind == ExprKind::Column ? item.expression->name.object()
                                                                  : QString();
        output.type = gen.type.kind == TypeKind::Null ? SqlType::integer() : gen.type;
        output.sql = gen.sql;
        output.column = gen.column;
        output.variable = item.variable;
        output.aggregate = gen.aggregate && spec.groupBy.empty();
        outputs.push_back(output);
    }
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        Output& output = outputs[i];
        QString expressionSql = output.sql;
        if (wanted != nullptr && i < wanted->size()) {
            Gen value;
            value.sql = output.sql;
            value.type = output.type;
            value.column = output.column;
            if (storage) {
                expressionSql = stored(value, (*wanted)[i]);
            } else {
                const Gen typed = converted(value, (*wanted)[i]);
                expressionSql = keyed ? key(typed) : typed.sql;
            }
            output.type = (*wanted)[i];
        } else if (spec.distinct || keyed) {
            Gen value;
            value.sql = output.sql;
            value.type = output.type;
            expressionSql = key(value);
        }
        // Unnamed columns get a name of their own inside SQLite; the caller sees none.
        const QString sqlName =
            output.name.isEmpty() ? QStringLiteral("__c%1").arg(i + 1) : output.name;
        items << expressionSql + QStringLiteral(" AS ") + quoted(sqlName);
        if (output.name.isEmpty())
            output.name = sqlName;
    }
    sql += items.join(QStringLiteral(", "));
    if (!from.isEmpty())
        sql += QStringLiteral(" FROM ") + from;
    scope.allowAggregates = false;
    if (spec.where)
        sql += QStringLiteral(" WHERE ") + booleanExpression(*spec.where, &scope).sql;
    if (!spec.groupBy.empty()) {
        QStringList keys;
        for (const auto& item : spec.groupBy)
            keys << key(expression(*item, &scope));
        sql += QStringLiteral(" GROUP BY ") + keys.join(QStringLiteral(", "));
    }
    scope.allowAggregates = true;
    if (spec.having)
        sql += QStringLiteral(" HAVING ") + booleanExpression(*spec.having, &scope).sql;
    if (orderBy != nullptr) {
        scope.outputs = &outputs;
        sql += orderByClause(*orderBy, &scope, outputs, false);
    }
    if (spec.top) {
        if (spec.topPercent || spec.withTies)
            fail(40000,
                 QStringLiteral("The embedded engine does not run Top ... Percent or With Ties."),
                 spec.line);
        sql += limitClause(spec.top.get(), nullptr, nullptr, outer);
    }
    return sql;
}

QString StatementCompiler::orderByClause(const std::vector<OrderItem>& items, Scope* scope,
                                         const std::vector<Output>& outputs, bool compound) {
    QStringList keys;
    for (const OrderItem& item : items) {
        const Expr& expr = *item.expression;
        QString keySql;
        // A number is a position in the select list; a name of the select list is that column.
        if (expr.kind == ExprKind::Literal && expr.literal == LiteralKind::Integer) {
            const int position = expr.text.toInt();
            if (position < 1 || position > int(outputs.size()))
                fail(108,
                     QStringLiteral("The ORDER BY position number %1 is out of range of the "
                                    "number of items in the select list.")
                         .arg(position),
                     expr.line);
            Gen value;
            value.sql = compound ? quoted(outputs[position - 1].name) : outputs[position - 1].sql;
            value.type = outputs[position - 1].type;
            keySql = compound ? value.sql : key(value);
        } else if (expr.kind == ExprKind::Column && expr.name.parts.size() == 1) {
            const Output* found = nullptr;
            for (const Output& output : outputs) {
                if (output.name.compare(expr.name.parts[0], Qt::CaseInsensitive) == 0) {
                    found = &output;
                    break;
                }
            }
            if (found != nullptr) {
                Gen value;
                value.sql = compound ? quoted(found->name) : found->sql;
                value.type = found->type;
                keySql = compound ? value.sql : key(value);
            }
        }
        if (keySql.isEmpty()) {
            if (compound)
                fail(104,
                     QStringLiteral("ORDER BY items must appear in the select list if the "
                                    "statement contains a UNION, INTERSECT or EXCEPT operator."),
                     expr.line);
            keySql = key(expression(expr, scope));
        }
        keys << keySql + (item.descending ? QStringLiteral(" DESC") : QString());
    }
    return QStringLiteral(" ORDER BY ") + keys.join(QStringLiteral(", "));
}

QString StatementCompiler::limitClause(const Expr* top, const Expr* offset, const Expr* fetch,
                                       Scope* scope) {
    const auto count = [&](const Expr& expr) {
        return converted(expression(expr, scope), SqlType::bigInt()).sql;
    };
    QString sql;
    if (top != nullptr)
        sql = QStringLiteral(" LIMIT ") + count(*top);
    if (fetch != nullptr)
        sql = QStringLiteral(" LIMIT ") + count(*fetch);
    else if (offset != nullptr && top == nullptr)
        sql = QStringLiteral(" LIMIT -1");
    if (offset != nullptr)
        sql += QStringLiteral(" OFFSET ") + count(*offset);
    return sql;
}

QString StatementCompiler::fromClause(const std::vector<TableSourcePtr>& sources, Scope& scope) {
    QStringList parts;
    for (const auto& source : sources)
        parts << tableSource(*source, scope);
    return parts.join(QStringLiteral(", "));
}

QString StatementCompiler::tableSource(const TableSource& source, Scope& scope) {
    const auto addSource = [&](const QString& exposed, std::vector<ColumnInfo> columns, int line) {
        for (const Source& existing : scope.sources) {
            if (existing.exposed.compare(exposed, Qt::CaseInsensitive) == 0)
                fail(1013,
                     QStringLiteral("The objects \"%1\" and \"%1\" in the FROM clause have the "
                                    "same exposed names. Use correlation names to distinguish "
                                    "them.")
                         .arg(exposed),
                     line);
        }
        Source entry;
        entry.exposed = exposed;
        entry.sqlAlias = quoted(exposed);
        entry.columns = std::move(columns);
        scope.sources.push_back(std::move(entry));
        return scope.sources.back().sqlAlias;
    };

    switch (source.kind) {
    case TableSource::Kind::Table: {
        const TableInfo* table = nullptr;
        if (source.name.parts.size() == 1) {
            const auto found = commonTables_.constFind(source.name.object().toLower());
            if (found != commonTables_.cend())
                table = &found.value();
        }
        if (table == nullptr)
            table = environment_.table(source.name);
        if (table == nullptr)
            fail(208, QStringLiteral("Invalid object name '%1'.").arg(source.name.text()),
                 source.line);
        const QString exposed = source.alias.isEmpty() ? source.name.object() : source.alias;
        const QString alias = addSource(exposed, table->columns, source.line);
        return table->sqlName + QStringLiteral(" AS ") + alias;
    }
    case TableSource::Kind::Derived: {
        std::vector<Output> outputs;
        const QString sql = query(*source.query, scope.outer, outputs);
        std::vector<ColumnInfo> columns;
        QStringList renames;
        bool renamed = false;
        for (std::size_t i = 0; i < outputs.size(); ++i) {
            QString name = i < std::size_t(source.columnAliases.size())
                               ? source.columnAliases[int(i)]
                               : outputs[i].name;
            if (name.startsWith(QLatin1String("__c")) &&
                i >= std::size_t(source.columnAliases.size()))
                fail(8155,
                     QStringLiteral("No column name was specified for column %1 of '%2'.")
                         .arg(i + 1)
                         .arg(source.alias),
                     source.line);
            if (name != outputs[i].name)
                renamed = true;
            renames << quoted(outputs[i].name) + QStringLiteral(" AS ") + quoted(name);
            columns.push_back({name, outputs[i].type, false, false});
        }
        const QString alias = addSource(source.alias, columns, source.line);
        if (renamed)
            return QStringLiteral("(SELECT %1 FROM (%2)) AS %3")
                .arg(renames.join(QStringLiteral(", ")), sql, alias);
        return QStringLiteral("(%1) AS %2").arg(sql, alias);
    }
    case TableSource::Kind::Values: {
        std::vector<SqlType> types;
        std::vector<std::vector<Gen>> rows;
        for (const auto& row : source.rows) {
            std::vector<Gen> values;
            for (std::size_t i = 0; i < row.size(); ++i) {
                values.push_back(expression(*row[i], scope.outer));
                if (types.size() <= i)
                    types.push_back(SqlType::null());
                types[i] = meetType(types[i], values.back().type);
            }
            if (!rows.empty() && values.size() != rows.front().size())
                fail(10709,
                     QStringLiteral("The number of columns for each row in a table value "
                                    "constructor must be the same."),
                     source.line);
            rows.push_back(std::move(values));
        }
        std::vector<ColumnInfo> columns;
        QStringList selects;
        for (std::size_t r = 0; r < rows.size(); ++r) {
            QStringList items;
            for (std::size_t i = 0; i < rows[r].size(); ++i) {
                const QString name = i < std::size_t(source.columnAliases.size())
                                         ? source.columnAliases[int(i)]
                                         : QStringLiteral("__c%1").arg(i + 1);
                items << converted(rows[r][i], types[i]).sql + QStringLiteral(" AS ") +
                             quoted(name);
                if (r == 0)
                    columns.push_back(
                        {name, types[i].kind == TypeKind::Null ? SqlType::integer() : types[i],
                         false, false});
            }
            selects << QStringLiteral("SELECT ") + items.join(QStringLiteral(", "));
        }
        const QString alias = addSource(source.alias, columns, source.line);
        return QStringLiteral("(%1) AS %2").arg(selects.join(QStringLiteral(" UNION ALL ")), alias);
    }
    case TableSource::Kind::Join: {
        if (source.join == JoinKind::CrossApply || source.join == JoinKind::OuterApply)
            fail(40000,
                 QStringLiteral("The embedded engine does not run Cross Apply and Outer "
                                "Apply."),
                 source.line);
        const QString left = tableSource(*source.left, scope);
        const QString right = tableSource(*source.right, scope);
        static const char* const joins[] = {"JOIN", "LEFT JOIN", "RIGHT JOIN", "FULL JOIN",
                                            "CROSS JOIN"};
        QString sql = QStringLiteral("%1 %2 %3")
                          .arg(left, QString::fromLatin1(joins[int(source.join)]), right);
        if (source.condition)
            sql += QStringLiteral(" ON ") + booleanExpression(*source.condition, &scope).sql;
        return sql;
    }
    }
    return QString();
}

// ---- statements ------------------------------------------------------------------------------

CompiledStatement StatementCompiler::select(const SelectStatement& statement) {
    bindings_.clear();
    commonTables_.clear();
    CompiledStatement compiled;
    const QString with = withClause(statement.with);
    std::vector<Output> outputs;
    const QString sql = query(*statement.query, nullptr, outputs);
    compiled.sql = (with + sql).toUtf8();
    const QuerySpec& first = statement.query->firstSpec();
    bool assigns = false;
    for (const Output& output : outputs) {
        if (!output.variable.isEmpty())
            assigns = true;
    }
    for (const Output& output : outputs) {
        const bool assignment = !output.variable.isEmpty();
        if (assigns != assignment)
            fail(141,
                 QStringLiteral("A SELECT statement that assigns a value to a variable must not "
                                "be combined with data-retrieval operations."),
                 statement.line);
        compiled.columnNames << (output.name.startsWith(QLatin1String("__c")) ? QString()
                                                                              : output.name);
        compiled.columnTypes.push_back(output.type);
        if (assignment)
            compiled.assignments << output.variable;
    }
    if (!first.into.isEmpty() && assigns)
        fail(141,
             QStringLiteral("A SELECT statement that assigns a value to a variable must not "
                            "be combined with data-retrieval operations."),
             statement.line);
    compiled.bindings = bindings_;
    return compiled;
}

QString StatementCompiler::assignmentTarget(const TableInfo& table, const QString& columnName,
                                            int line) {
    if (table.column(columnName) == nullptr)
        fail(207, QStringLiteral("Invalid column name '%1'.").arg(columnName), line);
    return quoted(table.column(columnName)->name);
}

CompiledStatement StatementCompiler::insert(const InsertStatement& statement) {
    bindings_.clear();
    commonTables_.clear();
    const QString with = withClause(statement.with);
    const TableInfo* table = environment_.table(statement.target);
    if (table == nullptr)
        fail(208, QStringLiteral("Invalid object name '%1'.").arg(statement.target.text()),
             statement.line);
    if (table->view)
        fail(4405, QStringLiteral("View or function '%1' is not updatable.").arg(table->name),
             statement.line);
    std::vector<const ColumnInfo*> columns;
    if (statement.columns.isEmpty()) {
        for (const ColumnInfo& column : table->columns) {
            if (!column.identity || environment_.identityInsert(table->name))
                columns.push_back(&column);
        }
    } else {
        for (const QString& name : statement.columns) {
            const ColumnInfo* column = table->column(name);
            if (column == nullptr)
                fail(207, QStringLiteral("Invalid column name '%1'.").arg(name), statement.line);
            if (column->identity && !environment_.identityInsert(table->name))
                fail(544,
                     QStringLiteral("Cannot insert explicit value for identity column in table "
                                    "'%1' when IDENTITY_INSERT is set to OFF.")
                         .arg(table->name),
                     statement.line);
            columns.push_back(column);
        }
    }
    QStringList names;
    std::vector<SqlType> types;
    for (const ColumnInfo* column : columns) {
        names << quoted(column->name);
        types.push_back(column->type);
    }
    CompiledStatement compiled;
    // An identity column the statement leaves out gets the table's next numbers.
    QString identityValue;
    if (table->identityColumn() >= 0) {
        compiled.identityTable = table->catalogName();
        compiled.identityTemporary = table->temporary;
        compiled.identityExplicit = environment_.identityInsert(table->name);
        if (!compiled.identityExplicit) {
            identityValue = QStringLiteral("tsql_identity(%1)")
                                .arg(SqliteValues::literal(
                                    TsqlValue::text(table->sqlName, SqlType::nVarChar(300))));
            names << quoted(table->columns[std::size_t(table->identityColumn())].name);
        }
    }
    QString sql = with + QStringLiteral("INSERT INTO %1 ").arg(table->sqlName);
    if (statement.defaultValues) {
        if (identityValue.isEmpty())
            sql += QStringLiteral("DEFAULT VALUES");
        else
            sql += QStringLiteral("(%1) VALUES (%2)").arg(names.last(), identityValue);
    } else if (!statement.values.empty()) {
        QStringList rows;
        for (const auto& row : statement.values) {
            if (row.size() != columns.size())
                fail(row.size() > columns.size() ? 110 : 109,
                     row.size() > columns.size()
                         ? QStringLiteral("There are fewer columns in the INSERT statement than "
                                          "values specified in the VALUES clause. The number of "
                                          "values in the VALUES clause must match the number of "
                                          "columns specified in the INSERT statement.")
                         : QStringLiteral("There are more columns in the INSERT statement than "
                                          "values specified in the VALUES clause. The number of "
                                          "values in the VALUES clause must match the number of "
                                          "columns specified in the INSERT statement."),
                     statement.line);
            QStringList values;
            for (std::size_t i = 0; i < row.size(); ++i)
                values << stored(expression(*row[i], nullptr), types[i]);
            if (!identityValue.isEmpty())
                values << identityValue;
            rows << '(' + values.join(QStringLiteral(", ")) + ')';
        }
        sql += '(' + names.join(QStringLiteral(", ")) + QStringLiteral(") VALUES ") +
               rows.join(QStringLiteral(", "));
    } else if (statement.query) {
        std::vector<Output> outputs;
        const QString select = query(*statement.query, nullptr, outputs, &types, true);
        if (outputs.size() != columns.size())
            fail(121,
                 QStringLiteral("The select list for the INSERT statement contains %1 items than "
                                "the insert list. The number of SELECT values must match the "
                                "number of INSERT columns.")
                     .arg(outputs.size() > columns.size() ? QStringLiteral("more")
                                                          : QStringLiteral("fewer")),
                 statement.line);
        if (identityValue.isEmpty())
            sql += '(' + names.join(QStringLiteral(", ")) + QStringLiteral(") ") + select;
        else
            sql += '(' + names.join(QStringLiteral(", ")) +
                   QStringLiteral(") SELECT __s.*, %1 FROM (%2) AS __s").arg(identityValue, select);
    }
    compiled.sql = sql.toUtf8();
    compiled.bindings = bindings_;
    return compiled;
}

CompiledStatement StatementCompiler::insertRows(const InsertStatement& statement,
                                                const std::vector<SqlType>& rowTypes) {
    bindings_.clear();
    const TableInfo* table = environment_.table(statement.target);
    if (table == nullptr)
        fail(208, QStringLiteral("Invalid object name '%1'.").arg(statement.target.text()),
             statement.line);
    std::vector<const ColumnInfo*> columns;
    if (statement.columns.isEmpty()) {
        for (const ColumnInfo& column : table->columns) {
            if (!column.identity)
                columns.push_back(&column);
        }
    } else {
        for (const QString& name : statement.columns) {
            const ColumnInfo* column = table->column(name);
            if (column == nullptr)
                fail(207, QStringLiteral("Invalid column name '%1'.").arg(name), statement.line);
            columns.push_back(column);
        }
    }
    if (columns.size() != rowTypes.size())
        fail(213,
             QStringLiteral("Column name or number of supplied values does not match table "
                            "definition."),
             statement.line);
    QStringList names;
    QStringList values;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        names << quoted(columns[i]->name);
        Gen value;
        value.type = rowTypes[i];
        value.sql = bind({Binding::Kind::Marker, int(i), QString(), rowTypes[i], {}});
        values << stored(value, columns[i]->type);
    }
    CompiledStatement compiled;
    if (table->identityColumn() >= 0) {
        compiled.identityTable = table->catalogName();
        compiled.identityTemporary = table->temporary;
        names << quoted(table->columns[std::size_t(table->identityColumn())].name);
        values << QStringLiteral("tsql_identity(%1)")
                      .arg(SqliteValues::literal(
                          TsqlValue::text(table->sqlName, SqlType::nVarChar(300))));
    }
    compiled.sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                       .arg(table->sqlName, names.join(QStringLiteral(", ")),
                            values.join(QStringLiteral(", ")))
                       .toUtf8();
    compiled.bindings = bindings_;
    return compiled;
}

CompiledStatement StatementCompiler::update(const UpdateStatement& statement) {
    bindings_.clear();
    commonTables_.clear();
    const QString with = withClause(statement.with);
    CompiledStatement compiled;
    const QString targetName = statement.target.object();

    // The target: a source of the From with that exposed name, or else the table of that name,
    // which then joins the From.
    Scope scope;
    QString from = statement.from.empty() ? QString() : fromClause(statement.from, scope);
    const TableInfo* table = nullptr;
    int targetIndex = -1;
    for (std::size_t i = 0; i < scope.sources.size(); ++i) {
        if (scope.sources[i].exposed.compare(targetName, Qt::CaseInsensitive) == 0)
            targetIndex = int(i);
    }
    if (targetIndex >= 0) {
        const std::function<const TableSource*(const TableSource&)> findSource =
            [&](const TableSource& candidate) -> const TableSource* {
            if (candidate.kind == TableSource::Kind::Join) {
                if (const auto* found = findSource(*candidate.left))
                    return found;
                return findSource(*candidate.right);
            }
            const QString exposed =
                candidate.alias.isEmpty() ? candidate.name.object() : candidate.alias;
            if (candidate.kind == TableSource::Kind::Table &&
                exposed.compare(targetName, Qt::CaseInsensitive) == 0)
                return &candidate;
            return nullptr;
        };
        for (const auto& source : statement.from) {
            if (const auto* found = findSource(*source)) {
                table = environment_.table(found->name);
                break;
            }
        }
        if (table == nullptr)
            fail(4104,
                 QStringLiteral("The multi-part identifier \"%1\" could not be bound.")
                     .arg(statement.target.text()),
                 statement.line);
    } else {
        table = environment_.table(statement.target);
        if (table == nullptr)
            fail(208, QStringLiteral("Invalid object name '%1'.").arg(statement.target.text()),
                 statement.line);
        Source source;
        source.exposed = targetName;
        source.sqlAlias = quoted(targetName);
        source.columns = table->columns;
        scope.sources.insert(scope.sources.begin(), source);
        targetIndex = 0;
        if (!from.isEmpty())
            from = table->sqlName + QStringLiteral(" AS ") + source.sqlAlias +
                   QStringLiteral(", ") + from;
    }
    if (!table->hasRowid || table->view)
        fail(4405, QStringLiteral("View or function '%1' is not updatable.").arg(table->name),
             statement.line);
    const QString targetAlias = scope.sources[std::size_t(targetIndex)].sqlAlias;
    // The target first in the scope: Set c += v reads the target's column c.
    std::rotate(scope.sources.begin(), scope.sources.begin() + targetIndex,
                scope.sources.begin() + targetIndex + 1);

    const auto assignmentValue = [&](const ColumnAssignment& assignment, const ColumnInfo& column) {
        Gen value = expression(*assignment.value, &scope);
        if (assignment.op != QLatin1String("=")) {
            // Set c += v is Set c = c + v.
            Gen current;
            current.type = column.type;
            current.column = true;
            current.sql = targetAlias + '.' + quoted(column.name);
            const char op = assignment.op.at(0).toLatin1();
            Gen combined;
            combined.type = arithmeticType(op, current.type, value.type);
            combined.sql = QStringLiteral("tsql_op(%1, %2, %3, %4, %5, %6)")
                               .arg(int(op))
                               .arg(typeCode(combined.type), current.sql, typeCode(current.type),
                                    value.sql, typeCode(value.type));
            value = combined;
        }
        return stored(value, column.type);
    };

    // Set @v = column = value and Set @v = value: the variable takes, row by row, the value the
    // statement returns for it (SQLite's Returning), the last row's staying.
    QStringList returning;
    const auto returnedColumn = [&](const ColumnInfo& column) {
        Gen value;
        value.type = column.type;
        value.sql = (statement.from.empty() ? quoted(targetName) : QStringLiteral("__target")) +
                    '.' + quoted(column.name);
        return value;
    };

    QStringList sets;
    QStringList items;
    int number = 0;
    for (const ColumnAssignment& assignment : statement.assignments) {
        const QString name = assignment.column.object();
        if (name.isEmpty()) {
            // Set @v = value, reading the row as it is after the update.
            if (!statement.from.empty())
                fail(40000,
                     QStringLiteral("The embedded engine sets a variable inside Update ... From "
                                    "only as Set @v = column = value."),
                     statement.line);
            Scope returned;
            Source own;
            own.exposed = targetName;
            own.sqlAlias = quoted(targetName);
            own.columns = table->columns;
            returned.sources.push_back(own);
            const Gen value = expression(*assignment.value, &returned);
            returning << value.sql;
            compiled.assignments << assignment.variable;
            compiled.columnTypes.push_back(value.type);
            compiled.columnNames << QString();
            continue;
        }
        const ColumnInfo* column = table->column(name);
        if (column == nullptr)
            fail(207, QStringLiteral("Invalid column name '%1'.").arg(name), statement.line);
        if (column->identity)
            fail(8102, QStringLiteral("Cannot update identity column '%1'.").arg(column->name),
                 statement.line);
        const QString value = assignmentValue(assignment, *column);
        if (statement.from.empty()) {
            sets << quoted(column->name) + QStringLiteral(" = ") + value;
        } else {
            const QString alias = QStringLiteral("__v%1").arg(++number);
            items << value + QStringLiteral(" AS ") + alias;
            sets << quoted(column->name) + QStringLiteral(" = __src.") + alias;
        }
        if (!assignment.variable.isEmpty()) {
            const Gen returnedValue = returnedColumn(*column);
            returning << returnedValue.sql;
            compiled.assignments << assignment.variable;
            compiled.columnTypes.push_back(returnedValue.type);
            compiled.columnNames << QString();
        }
    }
    if (sets.isEmpty())
        fail(40000, QStringLiteral("The embedded engine needs a column to update."),
             statement.line);
    const QString returningClause =
        returning.isEmpty() ? QString() : QStringLiteral(" RETURNING ") + returning.join(", ");

    QString sql;
    if (statement.from.empty()) {
        sql = with + QStringLiteral("UPDATE %1 AS %2 SET %3")
                         .arg(table->sqlName, targetAlias, sets.join(QStringLiteral(", ")));
        QString where;
        if (statement.where)
            where = booleanExpression(*statement.where, &scope).sql;
        if (statement.top) {
            const QString limit = limitClause(statement.top.get(), nullptr, nullptr, nullptr);
            where =
                QStringLiteral("rowid IN (SELECT rowid FROM %1 AS %2%3%4)")
                    .arg(table->sqlName, targetAlias,
                         where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where, limit);
        }
        if (!where.isEmpty())
            sql += QStringLiteral(" WHERE ") + where;
    } else {
        // The new values are worked out by a query over the From and matched to the target's
        // rows by rowid.
        QString inner = QStringLiteral("SELECT %1.rowid AS __rid, %2 FROM %3")
                            .arg(targetAlias, items.join(QStringLiteral(", ")), from);
        if (statement.where)
            inner += QStringLiteral(" WHERE ") + booleanExpression(*statement.where, &scope).sql;
        if (statement.top)
            inner += limitClause(statement.top.get(), nullptr, nullptr, nullptr);
        sql = with + QStringLiteral("UPDATE %1 AS __target SET %2 FROM (%3) AS __src WHERE "
                                    "__target.rowid = __src.__rid")
                         .arg(table->sqlName, sets.join(QStringLiteral(", ")), inner);
    }
    compiled.sql = (sql + returningClause).toUtf8();
    compiled.bindings = bindings_;
    return compiled;
}

CompiledStatement StatementCompiler::deleteRows(const DeleteStatement& statement) {
    bindings_.clear();
    commonTables_.clear();
    const QString with = withClause(statement.with);
    CompiledStatement compiled;
    if (statement.from.empty()) {
        const TableInfo* table = environment_.table(statement.target);
        if (table == nullptr)
            fail(208, QStringLiteral("Invalid object name '%1'.").arg(statement.target.text()),
                 statement.line);
        if (table->view)
            fail(4405, QStringLiteral("View or function '%1' is not updatable.").arg(table->name),
                 statement.line);
        Scope scope;
        Source source;
        source.exposed = statement.target.object();
        source.sqlAlias = quoted(source.exposed);
        source.columns = table->columns;
        scope.sources.push_back(source);
        QString where;
        if (statement.where)
            where = booleanExpression(*statement.where, &scope).sql;
        QString sql;
        if (statement.top) {
            sql =
                QStringLiteral("DELETE FROM %1 WHERE rowid IN (SELECT %2.rowid FROM %1 AS %2%3%4)")
                    .arg(table->sqlName, source.sqlAlias,
                         where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where,
                         limitClause(statement.top.get(), nullptr, nullptr, nullptr));
        } else {
            sql = QStringLiteral("DELETE FROM %1 AS %2").arg(table->sqlName, source.sqlAlias);
            if (!where.isEmpty())
                sql += QStringLiteral(" WHERE ") + where;
        }
        compiled.sql = (with + sql).toUtf8();
        compiled.bindings = bindings_;
        return compiled;
    }
    Scope scope;
    const QString from = fromClause(statement.from, scope);
    const Source* target = nullptr;
    for (const Source& source : scope.sources) {
        if (source.exposed.compare(statement.target.object(), Qt::CaseInsensitive) == 0)
            target = &source;
    }
    const TableInfo* table = nullptr;
    if (target != nullptr) {
        const std::function<const TableSource*(const TableSource&)> findSource =
            [&](const TableSource& candidate) -> const TableSource* {
            if (candidate.kind == TableSource::Kind::Join) {
                if (const auto* found = findSource(*candidate.left))
                    return found;
                return findSource(*candidate.right);
            }
            const QString exposed =
                candidate.alias.isEmpty() ? candidate.name.object() : candidate.alias;
            if (candidate.kind == TableSource::Kind::Table &&
                exposed.compare(statement.target.object(), Qt::CaseInsensitive) == 0)
                return &candidate;
            return nullptr;
        };
        for (const auto& source : statement.from) {
            if (const auto* found = findSource(*source)) {
                table = environment_.table(found->name);
                break;
            }
        }
    }
    if (target == nullptr || table == nullptr)
        fail(4104,
             QStringLiteral("The multi-part identifier \"%1\" could not be bound.")
                 .arg(statement.target.text()),
             statement.line);
    QString inner = QStringLiteral("SELECT %1.rowid FROM %2").arg(target->sqlAlias, from);
    if (statement.where)
        inner += QStringLiteral(" WHERE ") + booleanExpression(*statement.where, &scope).sql;
    if (statement.top)
        inner += limitClause(statement.top.get(), nullptr, nullptr, nullptr);
    compiled.sql =
        (with + QStringLiteral("DELETE FROM %1 WHERE rowid IN (%2)").arg(table->sqlName, inner))
            .toUtf8();
    compiled.bindings = bindings_;
    return compiled;
}

CompiledStatement StatementCompiler::scalar(const Expr& expression) {
    bindings_.clear();
    commonTables_.clear();
    Scope scope;
    const Gen gen = this->expression(expression, &scope);
    CompiledStatement compiled;
    compiled.sql = (QStringLiteral("SELECT ") + gen.sql).toUtf8();
    compiled.columnNames << QString();
    compiled.columnTypes.push_back(gen.boolean                       ? SqlType::bit()
                                   : gen.type.kind == TypeKind::Null ? SqlType::integer()
                                                                     : gen.type);
    compiled.bindings = bindings_;
    return compiled;
}

CompiledStatement StatementCompiler::condition(const Expr& expression) {
    bindings_.clear();
    commonTables_.clear();
    Scope scope;
    const Gen gen = booleanExpression(expression, &scope);
    CompiledStatement compiled;
    compiled.sql = QStringLiteral("SELECT CASE WHEN %1 THEN 1 ELSE 0 END").arg(gen.sql).toUtf8();
    compiled.columnNames << QString();
    compiled.columnTypes.push_back(SqlType::integer());
    compiled.bindings = bindings_;
    return compiled;
}

// ---- schema ----------------------------------------------------------------------------------

QString StatementCompiler::referencesClause(const References& references) const {
    QString sql = QStringLiteral("REFERENCES ") + quoted(references.table.object());
    if (!references.columns.isEmpty()) {
        QStringList columns;
        for (const QString& column : references.columns)
            columns << quoted(column);
        sql += QStringLiteral(" (") + columns.join(QStringLiteral(", ")) + ')';
    }
    if (!references.onDelete.isEmpty())
        sql += QStringLiteral(" ON DELETE ") + references.onDelete;
    if (!references.onUpdate.isEmpty())
        sql += QStringLiteral(" ON UPDATE ") + references.onUpdate;
    return sql;
}

QString StatementCompiler::checkClause(const Expr& check, Scope* table) {
    // A check names the table's own columns, which SQLite reads without a table name.
    const std::size_t mark = bindings_.size();
    const QString condition = booleanExpression(check, table).sql;
    if (bindings_.size() != mark)
        fail(128, QStringLiteral("Variables are not permitted in a check constraint."), check.line);
    return QStringLiteral("CHECK (%1)").arg(condition);
}

QString StatementCompiler::columnDefinition(const ColumnDefinition& column, Scope* table,
                                            QString* identity) {
    const SqlType type = resolve(column.type);
    QString sql = quoted(column.name) + ' ';
    const QString named = column.constraintName.isEmpty()
                              ? QString()
                              : QStringLiteral(" CONSTRAINT ") + quoted(column.constraintName);
    const auto keys = [&] {
        QString keySql;
        if (column.primaryKey)
            keySql += named + QStringLiteral(" PRIMARY KEY");
        if (column.unique)
            keySql += (column.primaryKey ? QString() : named) + QStringLiteral(" UNIQUE");
        if (column.check)
            keySql += (column.primaryKey || column.unique ? QString() : named) + ' ' +
                      checkClause(*column.check, table);
        if (column.references)
            keySql += (column.primaryKey || column.unique || column.check ? QString() : named) +
                      ' ' + referencesClause(*column.references);
        return keySql;
    };
    if (column.identity) {
        if (!type.isInteger() && !(type.kind == TypeKind::Decimal && type.scale == 0))
            fail(2749,
                 QStringLiteral("Identity column '%1' must be of data type int, bigint, "
                                "smallint, tinyint, or decimal or numeric with a scale of 0, and "
                                "constrained to be nonnullable.")
                     .arg(column.name),
                 column.line);
        if (column.identityIncrement == 0)
            fail(2747,
                 QStringLiteral("Identity increment of column '%1' cannot be zero.")
                     .arg(column.name),
                 column.line);
        *identity = column.name;
        // The engine numbers the column itself (tsql_identity), as it is not SQLite's rowid.
        return sql + declaredType(type) + QStringLiteral(" NOT NULL") + keys();
    }
    sql += declaredType(type);
    if (type.isString())
        sql += QStringLiteral(" COLLATE ") + QString::fromLatin1(type.collation == Collation::Binary
                                                                     ? binaryCollation
                                                                     : caseInsensitive);
    else if (type.isDateTime())
        sql += QStringLiteral(" COLLATE ") + QString::fromLatin1(dateTimeCollation);
    if (column.nullable == 0 || column.primaryKey)
        sql += QStringLiteral(" NOT NULL");
    if (column.defaultValue) {
        const std::size_t mark = bindings_.size();
        const Gen value = expression(*column.defaultValue, nullptr);
        if (bindings_.size() != mark)
            fail(128,
                 QStringLiteral("The name \"%1\" is not permitted in this context. Valid "
                                "expressions are constants, constant expressions, and (in some "
                                "contexts) variables. Column names are not permitted.")
                     .arg(column.name),
                 column.line);
        sql += QStringLiteral(" DEFAULT (") + stored(value, type) + ')';
    }
    return sql + keys();
}

QString StatementCompiler::tableConstraint(const TableConstraint& constraint, Scope* table) {
    QStringList columns;
    for (const QString& column : constraint.columns)
        columns << quoted(column);
    const QString name = constraint.name.isEmpty()
                             ? QString()
                             : QStringLiteral("CONSTRAINT ") + quoted(constraint.name) + ' ';
    switch (constraint.kind) {
    case TableConstraint::Kind::PrimaryKey:
        return name + QStringLiteral("PRIMARY KEY (") + columns.join(QStringLiteral(", ")) + ')';
    case TableConstraint::Kind::Unique:
        return name + QStringLiteral("UNIQUE (") + columns.join(QStringLiteral(", ")) + ')';
    case TableConstraint::Kind::Check:
        return name + checkClause(*constraint.check, table);
    case TableConstraint::Kind::ForeignKey:
        return name + QStringLiteral("FOREIGN KEY (") + columns.join(QStringLiteral(", ")) +
               QStringLiteral(") ") + referencesClause(*constraint.references);
    }
    return QString();
}

CompiledStatement StatementCompiler::createTable(const CreateTableStatement& statement,
                                                 const QString& sqlName, bool temporary) {
    bindings_.clear();
    // Checks read the table's own columns.
    Scope table;
    Source own;
    own.exposed = statement.name.object();
    QSet<QString> names;
    for (const ColumnDefinition& column : statement.columns) {
        if (names.contains(column.name.toLower()))
            fail(2705,
                 QStringLiteral("Column names in each table must be unique. Column name '%1' in "
                                "table '%2' is specified more than once.")
                     .arg(column.name, statement.name.object()),
                 column.line);
        names.insert(column.name.toLower());
        own.columns.push_back({column.name, resolve(column.type), false, false});
    }
    table.sources.push_back(own);
    QStringList parts;
    QString identity;
    for (const ColumnDefinition& column : statement.columns)
        parts << columnDefinition(column, &table, &identity);
    for (const TableConstraint& constraint : statement.constraints)
        parts << tableConstraint(constraint, &table);
    CompiledStatement compiled;
    compiled.sql = QStringLiteral("CREATE %1TABLE %2 (%3)")
                       .arg(temporary ? QStringLiteral("TEMP ") : QString(), sqlName,
                            parts.join(QStringLiteral(", ")))
                       .toUtf8();
    compiled.changedTable = statement.name.object();
    return compiled;
}

CompiledStatement StatementCompiler::createTableVariable(const VariableDeclaration& declaration,
                                                         const QString& sqlName) {
    CreateTableStatement statement;
    statement.name.parts << declaration.name;
    for (const ColumnDefinition& column : declaration.columns) {
        ColumnDefinition copy;
        copy.name = column.name;
        copy.type = column.type;
        copy.nullable = column.nullable;
        copy.identity = column.identity;
        copy.identitySeed = column.identitySeed;
        copy.identityIncrement = column.identityIncrement;
        copy.primaryKey = column.primaryKey;
        copy.unique = column.unique;
        copy.line = column.line;
        if (column.defaultValue)
            fail(40000,
                 QStringLiteral("The embedded engine does not run defaults in table variables."),
                 column.line);
        statement.columns.push_back(std::move(copy));
    }
    for (const TableConstraint& constraint : declaration.constraints) {
        TableConstraint copy;
        copy.kind = constraint.kind;
        copy.name = QString();
        copy.columns = constraint.columns;
        statement.constraints.push_back(std::move(copy));
    }
    return createTable(statement, sqlName, true);
}

CompiledStatement StatementCompiler::alterTable(const AlterTableStatement& statement) {
    bindings_.clear();
    const TableInfo* table = environment_.table(statement.table);
    if (table == nullptr)
        fail(4902,
             QStringLiteral("Cannot find the object \"%1\" because it does not exist or you do "
                            "not have permissions.")
                 .arg(statement.table.text()),
             statement.line);
    std::vector<CompiledStatement> steps;
    for (const ColumnDefinition& column : statement.addColumns) {
        if (table->column(column.name) != nullptr)
            fail(2705,
                 QStringLiteral("Column names in each table must be unique. Column name '%1' in "
                                "table '%2' is specified more than once.")
                     .arg(column.name, table->name),
                 column.line);
        if (column.identity || column.primaryKey || column.unique || column.check ||
            column.references)
            fail(40000,
                 QStringLiteral("The embedded engine does not add identity, key, unique, check "
                                "or reference columns to an existing table ('%1').")
                     .arg(column.name),
                 column.line);
        QString identity;
        CompiledStatement step;
        step.sql = QStringLiteral("ALTER TABLE %1 ADD COLUMN %2")
                       .arg(table->sqlName, columnDefinition(column, nullptr, &identity))
                       .toUtf8();
        step.changedTable = table->name;
        steps.push_back(std::move(step));
    }
    for (const TableConstraint& constraint : statement.addConstraints) {
        if (constraint.kind != TableConstraint::Kind::PrimaryKey &&
            constraint.kind != TableConstraint::Kind::Unique)
            fail(40000,
                 QStringLiteral("The embedded engine adds keys and unique constraints to an "
                                "existing table, not checks or foreign keys ('%1').")
                     .arg(table->name),
                 statement.line);
        QStringList columns;
        for (const QString& column : constraint.columns)
            columns << quoted(column);
        const QString name = constraint.name.isEmpty()
                                 ? QStringLiteral("UQ_%1_%2").arg(table->name).arg(++nameCounter_)
                                 : constraint.name;
        CompiledStatement step;
        step.sql = QStringLiteral("CREATE UNIQUE INDEX %1%2 ON %3 (%4)")
                       .arg(table->temporary ? QStringLiteral("temp.") : QStringLiteral("main."),
                            quoted(name), quoted(table->name), columns.join(QStringLiteral(", ")))
                       .toUtf8();
        step.changedTable = table->name;
        steps.push_back(std::move(step));
    }
    for (const QString& column : statement.dropColumns) {
        const ColumnInfo* info = table->column(column);
        if (info == nullptr)
            fail(4924,
                 QStringLiteral("ALTER TABLE DROP COLUMN failed because column '%1' does not "
                                "exist in table '%2'.")
                     .arg(column, table->name),
                 statement.line);
        CompiledStatement step;
        step.sql = QStringLiteral("ALTER TABLE %1 DROP COLUMN %2")
                       .arg(table->sqlName, quoted(info->name))
                       .toUtf8();
        step.changedTable = table->name;
        steps.push_back(std::move(step));
    }
    for (const QString& constraint : statement.dropConstraints) {
        CompiledStatement step;
        step.sql = QStringLiteral("DROP INDEX %1").arg(quoted(constraint)).toUtf8();
        step.changedTable = table->name;
        steps.push_back(std::move(step));
    }
    if (steps.empty())
        fail(102, QStringLiteral("Incorrect syntax near '%1'.").arg(statement.table.text()),
             statement.line);
    CompiledStatement first = std::move(steps.front());
    for (std::size_t i = 1; i < steps.size(); ++i)
        first.followUp.push_back(std::move(steps[i]));
    return first;
}

CompiledStatement StatementCompiler::createIndex(const CreateIndexStatement& statement) {
    bindings_.clear();
    const TableInfo* table = environment_.table(statement.table);
    if (table == nullptr)
        fail(1088,
             QStringLiteral("Cannot find the object \"%1\" because it does not exist or you do "
                            "not have permissions.")
                 .arg(statement.table.text()),
             statement.line);
    QStringList columns;
    for (const auto& [name, descending] : statement.columns) {
        const ColumnInfo* column = table->column(name);
        if (column == nullptr)
            fail(1911,
                 QStringLiteral("Column name '%1' does not exist in the target table or view.")
                     .arg(name),
                 statement.line);
        columns << quoted(column->name) + (descending ? QStringLiteral(" DESC") : QString());
    }
    // Included columns become trailing key columns, so the index covers them.
    for (const QString& name : statement.include) {
        const ColumnInfo* column = table->column(name);
        if (column == nullptr)
            fail(1911,
                 QStringLiteral("Column name '%1' does not exist in the target table or view.")
                     .arg(name),
                 statement.line);
        if (!statement.unique)
            columns << quoted(column->name);
    }
    // SQLite names the schema with the index, not with its table.
    const QString schema = table->temporary ? QStringLiteral("temp.") : QStringLiteral("main.");
    QString sql = QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)")
                      .arg(statement.unique ? QStringLiteral("UNIQUE ") : QString(),
                           schema + quoted(statement.name), quoted(table->name),
                           columns.join(QStringLiteral(", ")));
    if (statement.where) {
        Scope scope;
        Source source;
        source.exposed = table->name;
        source.sqlAlias = quoted(table->name);
        source.columns = table->columns;
        scope.sources.push_back(source);
        QString where = booleanExpression(*statement.where, &scope).sql;
        // SQLite's partial index names its columns without the table.
        where.replace(source.sqlAlias + '.', QString());
        sql += QStringLiteral(" WHERE ") + where;
    }
    CompiledStatement compiled;
    compiled.sql = sql.toUtf8();
    compiled.changedTable = table->name;
    return compiled;
}

CompiledStatement StatementCompiler::createView(const CreateViewStatement& statement) {
    bindings_.clear();
    commonTables_.clear();
    const QString with = withClause(statement.query->with);
    std::vector<Output> outputs;
    const QString select = query(*statement.query->query, nullptr, outputs);
    if (!bindings_.empty())
        fail(4413,
             QStringLiteral("Could not use view or function '%1' because of binding errors.")
                 .arg(statement.name.object()),
             statement.line);
    QStringList names;
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const QString name =
            i < std::size_t(statement.columns.size()) ? statement.columns[int(i)] : outputs[i].name;
        if (name.startsWith(QLatin1String("__c")))
            fail(4511,
                 QStringLiteral("Create View or Function failed because no column name was "
                                "specified for column %1.")
                     .arg(i + 1),
                 statement.line);
        names << quoted(name);
    }
    CompiledStatement compiled;
    compiled.sql =
        QStringLiteral("CREATE VIEW %1 (%2) AS %3%4")
            .arg(quoted(statement.name.object()), names.join(QStringLiteral(", ")), with, select)
            .toUtf8();
    compiled.changedTable = statement.name.object();
    for (const Output& output : outputs)
        compiled.columnTypes.push_back(output.type);
    return compiled;
}

} // namespace db::tsql
