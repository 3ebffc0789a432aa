#include "db/embedded/tsql/Evaluator.h"

#include "db/embedded/tsql/BuiltinFunctions.h"
#include "db/embedded/tsql/LikePattern.h"
#include "db/embedded/tsql/TsqlError.h"

#include <QDateTime>
#include <QSet>

namespace db::tsql {

namespace {

bool isDatePartFunction(const QString& name) {
    return name == QLatin1String("datepart") || name == QLatin1String("datename") ||
           name == QLatin1String("dateadd") || name == QLatin1String("datediff") ||
           name == QLatin1String("datediff_big");
}

// Functions that read the session or the clock: the interpreter gives their values.
bool isSessionFunction(const QString& name) {
    static const QSet<QString> names = {
        "scope_identity", "error_message",   "error_number", "error_severity", "error_state",
        "error_line",     "error_procedure", "xact_state",   "db_name",        "host_name",
        "app_name",       "user_name",       "suser_sname",  "user",           "session_user",
        "system_user",    "current_user"};
    return names.contains(name);
}

} // namespace

bool Evaluator::isSimple(const Expr& expression) {
    switch (expression.kind) {
    case ExprKind::Column:
    case ExprKind::Star:
    case ExprKind::Subquery:
    case ExprKind::Exists:
    case ExprKind::InQuery:
        return false;
    case ExprKind::Function: {
        if (expression.over || expression.distinct)
            return false;
        const QString name = expression.name.object().toLower();
        static const QSet<QString> tableFunctions = {
            "count",         "count_big", "sum",  "avg",         "min",       "max",
            "stdev",         "stdevp",    "var",  "varp",        "object_id", "col_length",
            "ident_current", "newid",     "rand", "row_number",  "rank",      "dense_rank",
            "ntile",         "lag",       "lead", "first_value", "last_value"};
        if (tableFunctions.contains(name))
            return false;
        if (expression.name.parts.size() > 1)
            return false;
        std::size_t first = isDatePartFunction(name) ? 1 : 0;
        for (std::size_t i = first; i < expression.arguments.size(); ++i) {
            if (!isSimple(*expression.arguments[i]))
                return false;
        }
        return true;
    }
    default:
        break;
    }
    for (const auto& argument : expression.arguments) {
        if (!isSimple(*argument))
            return false;
    }
    if (expression.caseOperand && !isSimple(*expression.caseOperand))
        return false;
    for (const auto& [when, then] : expression.whens) {
        if (!isSimple(*when) || !isSimple(*then))
            return false;
    }
    if (expression.elseResult && !isSimple(*expression.elseResult))
        return false;
    return true;
}

TsqlValue Evaluator::condition(std::optional<bool> value) {
    if (!value)
        return TsqlValue::null(SqlType::bit());
    return TsqlValue::integer(*value ? 1 : 0, SqlType::bit());
}

std::optional<bool> Evaluator::truth(const TsqlValue& value) {
    if (value.isNull())
        return std::nullopt;
    return value.asInteger() != 0;
}

TsqlValue Evaluator::literal(const Expr& expression, EvaluationContext& context) {
    switch (expression.literal) {
    case LiteralKind::Null:
        return TsqlValue();
    case LiteralKind::Integer: {
        bool ok = false;
        const qint64 value = expression.text.toLongLong(&ok);
        if (ok && value >= INT32_MIN && value <= INT32_MAX)
            return TsqlValue::integer(value);
        break;
    }
    case LiteralKind::String:
    case LiteralKind::NString: {
        const int length = qMax(1, int(expression.text.size()));
        return TsqlValue::text(expression.text, expression.literal == LiteralKind::String
                                                    ? SqlType::varChar(qMin(length, 8000))
                                                    : SqlType::nVarChar(qMin(length, 4000)));
    }
    case LiteralKind::Float:
        return TsqlValue::floating(expression.text.toDouble());
    default:
        break;
    }
    // Decimals, money and whole numbers beyond int: the type the compiler gives them.
    const SqlType type = context.staticType(expression);
    if (expression.literal == LiteralKind::Binary)
        return TsqlValue::binary(QByteArray::fromHex(expression.text.toLatin1()), type);
    const auto decimal = Decimal::parse(expression.text);
    if (!decimal)
        throw TsqlError(1007, QStringLiteral("The number '%1' is out of the range for numeric "
                                             "representation (maximum precision 38).")
                                  .arg(expression.text));
    return TsqlValue::decimal(*decimal, type);
}

TsqlValue Evaluator::evaluate(const Expr& expression, EvaluationContext& context) {
    switch (expression.kind) {
    case ExprKind::Literal:
        return literal(expression, context);
    case ExprKind::Variable:
        return context.variable(expression.name.object());
    case ExprKind::SystemVariable:
        return context.session(expression.name.object().toUpper());
    case ExprKind::Marker:
        return context.marker(expression.number);
    case ExprKind::Unary: {
        const Expr& operand = *expression.arguments[0];
        if (expression.op == QLatin1String("-") && operand.kind == ExprKind::Literal &&
            operand.literal == LiteralKind::Integer) {
            // -2147483648 is an int: the sign belongs to the literal.
            Expr negative;
            negative.kind = ExprKind::Literal;
            negative.literal = LiteralKind::Integer;
            negative.text = '-' + operand.text;
            const TsqlValue value = literal(negative, context);
            if (value.type().kind == TypeKind::Int)
                return value;
        }
        const TsqlValue value = evaluate(operand, context);
        if (expression.op == QLatin1String("+"))
            return value;
        return unary(expression.op.at(0).toLatin1(), value);
    }
    case ExprKind::Binary: {
        TsqlValue left = evaluate(*expression.arguments[0], context);
        TsqlValue right = evaluate(*expression.arguments[1], context);
        // A whole number written in the text meets a decimal with its own digits, as the
        // compiled statements have it.
        const auto literalMeetsDecimal = [](const Expr& written, TsqlValue& literal,
                                            const TsqlValue& other) {
            if (written.kind == ExprKind::Literal && written.literal == LiteralKind::Integer &&
                literal.type().kind == TypeKind::Int && other.type().kind == TypeKind::Decimal)
                literal = convert(literal, literalAsDecimal(literal.asInteger()));
        };
        literalMeetsDecimal(*expression.arguments[0], left, right);
        literalMeetsDecimal(*expression.arguments[1], right, left);
        return arithmetic(expression.op.at(0).toLatin1(), left, right);
    }
    case ExprKind::Compare: {
        const auto order = compare(evaluate(*expression.arguments[0], context),
                                   evaluate(*expression.arguments[1], context));
        if (!order)
            return condition(std::nullopt);
        const QString& op = expression.op;
        const int o = *order;
        if (op == QLatin1String("="))
            return condition(o == 0);
        if (op == QLatin1String("<>"))
            return condition(o != 0);
        if (op == QLatin1String("<"))
            return condition(o < 0);
        if (op == QLatin1String(">"))
            return condition(o > 0);
        if (op == QLatin1String("<="))
            return condition(o <= 0);
        return condition(o >= 0);
    }
    case ExprKind::And: {
        const auto left = truth(evaluate(*expression.arguments[0], context));
        if (left == false)
            return condition(false);
        const auto right = truth(evaluate(*expression.arguments[1], context));
        if (right == false)
            return condition(false);
        if (!left || !right)
            return condition(std::nullopt);
        return condition(true);
    }
    case ExprKind::Or: {
        const auto left = truth(evaluate(*expression.arguments[0], context));
        if (left == true)
            return condition(true);
        const auto right = truth(evaluate(*expression.arguments[1], context));
        if (right == true)
            return condition(true);
        if (!left || !right)
            return condition(std::nullopt);
        return condition(false);
    }
    case ExprKind::Not: {
        const auto value = truth(evaluate(*expression.arguments[0], context));
        return condition(value ? std::optional<bool>(!*value) : std::nullopt);
    }
    case ExprKind::IsNull:
        return condition(evaluate(*expression.arguments[0], context).isNull() !=
                         expression.negated);
    case ExprKind::InList: {
        const TsqlValue value = evaluate(*expression.arguments[0], context);
        bool unknown = false;
        for (std::size_t i = 1; i < expression.arguments.size(); ++i) {
            const auto order = compare(value, evaluate(*expression.arguments[i], context));
            if (!order)
                unknown = true;
            else if (*order == 0)
                return condition(!expression.negated);
        }
        if (unknown)
            return condition(std::nullopt);
        return condition(expression.negated);
    }
    case ExprKind::Between: {
        const TsqlValue value = evaluate(*expression.arguments[0], context);
        const auto low = compare(value, evaluate(*expression.arguments[1], context));
        const auto high = compare(value, evaluate(*expression.arguments[2], context));
        std::optional<bool> inside;
        if ((low && *low < 0) || (high && *high > 0))
            inside = false;
        else if (low && high)
            inside = true;
        if (inside && expression.negated)
            inside = !*inside;
        return condition(inside);
    }
    case ExprKind::Like: {
        const TsqlValue value = evaluate(*expression.arguments[0], context);
        const TsqlValue pattern = evaluate(*expression.arguments[1], context);
        if (value.isNull() || pattern.isNull())
            return condition(std::nullopt);
        QChar escape;
        if (expression.arguments.size() > 2) {
            const TsqlValue text = evaluate(*expression.arguments[2], context);
            if (!text.isNull()) {
                const QString escapeText =
                    convert(text, SqlType::nVarChar(SqlType::maxLength)).asText();
                if (!escapeText.isEmpty())
                    escape = escapeText[0];
            }
        }
        const bool binary = value.type().collation == Collation::Binary ||
                            pattern.type().collation == Collation::Binary;
        const SqlType text = SqlType::nVarChar(SqlType::maxLength);
        const bool matches =
            LikePattern::matches(convert(value, text).asText(), convert(pattern, text).asText(),
                                 escape, binary, value.type().isUnicode());
        return condition(matches != expression.negated);
    }
    case ExprKind::Case: {
        const SqlType type = context.staticType(expression);
        const std::optional<TsqlValue> operand =
            expression.caseOperand
                ? std::optional<TsqlValue>(evaluate(*expression.caseOperand, context))
                : std::nullopt;
        for (const auto& [when, then] : expression.whens) {
            bool holds = false;
            if (operand) {
                const auto order = compare(*operand, evaluate(*when, context));
                holds = order && *order == 0;
            } else {
                holds = truth(evaluate(*when, context)).value_or(false);
            }
            if (holds)
                return convertImplicitly(evaluate(*then, context), type, Assignment::Expression);
        }
        if (expression.elseResult)
            return convertImplicitly(evaluate(*expression.elseResult, context), type,
                                     Assignment::Expression);
        return TsqlValue::null(type);
    }
    case ExprKind::Cast: {
        const TsqlValue value = evaluate(*expression.arguments[0], context);
        SqlType target = context.resolveType(expression.type);
        if (target.isString() && expression.type.arguments.isEmpty() &&
            target.kind != TypeKind::Text && target.kind != TypeKind::NText)
            target.length = 30;
        int style = 0;
        if (expression.hasStyle) {
            const TsqlValue styleValue = evaluate(*expression.arguments[1], context);
            if (styleValue.isNull())
                return TsqlValue::null(target);
            style = int(convert(styleValue, SqlType::integer()).asInteger());
        }
        if (!expression.tryConversion)
            return convert(value, target, style);
        try {
            return convert(value, target, style);
        } catch (const TsqlError&) {
            return TsqlValue::null(target);
        }
    }
    case ExprKind::Collate:
        return evaluate(*expression.arguments[0], context);
    case ExprKind::Function:
        return function(expression, context);
    default:
        break;
    }
    throw TsqlError(0, QStringLiteral("The expression cannot be worked out without its tables."));
}

TsqlValue Evaluator::function(const Expr& expression, EvaluationContext& context) {
    const QString name = expression.name.object().toLower();
    const auto argument = [&](std::size_t i) {
        return evaluate(*expression.arguments[i], context);
    };
    if (name == QLatin1String("isnull") || name == QLatin1String("coalesce") ||
        name == QLatin1String("iif")) {
        const SqlType type = context.staticType(expression);
        if (name == QLatin1String("iif")) {
            const bool holds = truth(argument(0)).value_or(false);
            return convertImplicitly(argument(holds ? 1 : 2), type, Assignment::Expression);
        }
        for (std::size_t i = 0; i < expression.arguments.size(); ++i) {
            const TsqlValue value = argument(i);
            if (!value.isNull())
                return convertImplicitly(value, type, Assignment::Expression);
        }
        return TsqlValue::null(type);
    }
    if (name == QLatin1String("nullif")) {
        const TsqlValue left = argument(0);
        const auto order = compare(left, argument(1));
        if (order && *order == 0)
            return TsqlValue::null(left.type());
        return left;
    }
    if (name == QLatin1String("getdate") || name == QLatin1String("sysdatetime") ||
        name == QLatin1String("current_timestamp") || name == QLatin1String("getutcdate")) {
        const QDateTime now = name == QLatin1String("getutcdate") ? QDateTime::currentDateTimeUtc()
                                                                  : QDateTime::currentDateTime();
        return TsqlValue::dateTime(DateTimeValue::fromQDateTime(now).value_or(DateTimeValue()));
    }
    if (isSessionFunction(name))
        return context.session(name.toUpper());
    const BuiltinFunction* builtin = findBuiltinFunction(name);
    if (builtin == nullptr)
        throw TsqlError(195, QStringLiteral("'%1' is not a recognized built-in function name.")
                                 .arg(expression.name.object()));
    std::vector<TsqlValue> values;
    std::size_t first = 0;
    if (isDatePartFunction(name)) {
        const Expr& part = *expression.arguments[0];
        const QString keyword = part.kind == ExprKind::Column ? part.name.object() : part.text;
        values.push_back(TsqlValue::text(keyword, SqlType::varChar(30)));
        first = 1;
    }
    for (std::size_t i = first; i < expression.arguments.size(); ++i)
        values.push_back(argument(i));
    const int count = int(values.size());
    if (count < builtin->minArguments || count > builtin->maxArguments)
        throw TsqlError(174, QStringLiteral("The %1 function requires %2 argument(s).")
                                 .arg(expression.name.object())
                                 .arg(builtin->minArguments));
    std::vector<SqlType> types;
    types.reserve(values.size());
    for (const TsqlValue& value : values)
        types.push_back(value.type());
    return builtin->evaluate(values, builtin->resultType(types));
}

} // namespace db::tsql
