#include "db/embedded/tsql/SqlType.h"

#include "db/embedded/tsql/TsqlError.h"

#include <algorithm>

namespace db::tsql {

namespace {

SqlType make(TypeKind kind, int precision = 0, int scale = 0, std::int32_t length = 0) {
    SqlType type;
    type.kind = kind;
    type.precision = std::uint8_t(precision);
    type.scale = std::uint8_t(scale);
    type.length = length;
    return type;
}

// Groups of types that convert alike.
enum class Category : std::uint8_t {
    Null,
    Variant,
    Integer,
    Decimal,
    Money,
    Approximate,
    String,
    LargeText,
    Binary,
    DateTime,
    Date,
};

Category categoryOf(TypeKind kind) {
    switch (kind) {
    case TypeKind::Variant:
        return Category::Variant;
    case TypeKind::Null:
        return Category::Null;
    case TypeKind::Bit:
    case TypeKind::TinyInt:
    case TypeKind::SmallInt:
    case TypeKind::Int:
    case TypeKind::BigInt:
        return Category::Integer;
    case TypeKind::Decimal:
        return Category::Decimal;
    case TypeKind::SmallMoney:
    case TypeKind::Money:
        return Category::Money;
    case TypeKind::Real:
    case TypeKind::Float:
        return Category::Approximate;
    case TypeKind::Char:
    case TypeKind::VarChar:
    case TypeKind::NChar:
    case TypeKind::NVarChar:
        return Category::String;
    case TypeKind::Text:
    case TypeKind::NText:
        return Category::LargeText;
    case TypeKind::Binary:
    case TypeKind::VarBinary:
        return Category::Binary;
    case TypeKind::SmallDateTime:
    case TypeKind::DateTime:
        return Category::DateTime;
    case TypeKind::Date:
        return Category::Date;
    }
    return Category::Variant;
}

bool isNumber(Category category) {
    return category == Category::Integer || category == Category::Decimal ||
           category == Category::Money || category == Category::Approximate;
}

enum class Conversion : std::uint8_t { None, Explicit, Implicit };

// SQL Server's table of conversions between the system types.
Conversion conversionBetween(Category from, Category to) {
    using C = Category;
    if (from == to || from == C::Null || from == C::Variant || to == C::Variant || to == C::Null)
        return Conversion::Implicit;
    if (isNumber(from) && isNumber(to))
        return Conversion::Implicit;
    if (isNumber(from) || isNumber(to)) {
        const C number = isNumber(from) ? from : to;
        const C other = isNumber(from) ? to : from;
        switch (other) {
        case C::String:
            return Conversion::Implicit;
        case C::DateTime:
            return isNumber(from) ? Conversion::Implicit : Conversion::Explicit;
        case C::Binary:
            if (number != C::Approximate)
                return Conversion::Implicit;
            return isNumber(from) ? Conversion::Explicit : Conversion::None;
        default:
            return Conversion::None;
        }
    }
    const auto either = [&](C a, C b) { return (from == a && to == b) || (from == b && to == a); };
    if (either(C::String, C::LargeText) || either(C::String, C::DateTime) ||
        either(C::String, C::Date) || either(C::DateTime, C::Date))
        return Conversion::Implicit;
    if (from == C::Binary && to == C::String)
        return Conversion::Implicit;
    if ((from == C::String && to == C::Binary) || either(C::Binary, C::DateTime) ||
        either(C::Binary, C::Date))
        return Conversion::Explicit;
    return Conversion::None;
}

QString operationName(char op) {
    switch (op) {
    case '+':
        return QStringLiteral("add");
    case '-':
        return QStringLiteral("subtract");
    case '*':
        return QStringLiteral("multiply");
    case '/':
        return QStringLiteral("divide");
    case '%':
        return QStringLiteral("modulo");
    default:
        return QStringLiteral("'%1'").arg(QLatin1Char(op));
    }
}

int maxCharacters(bool unicode) {
    return unicode ? 4000 : 8000;
}

// The precision and scale of a decimal result as SQL Server reduces them past 38 digits.
SqlType reducedDecimal(char op, int precision, int scale, int integralDigits) {
    if (precision <= SqlType::maxPrecision)
        return SqlType::decimal(precision, scale);
    if (op == '+' || op == '-') {
        // The integral digits of the operands keep their places; the scale gives way.
        return SqlType::decimal(SqlType::maxPrecision, SqlType::maxPrecision - integralDigits);
    }
    const int integral = precision - scale;
    if (integral < 32)
        return SqlType::decimal(SqlType::maxPrecision,
                                std::min(scale, SqlType::maxPrecision - integral));
    return SqlType::decimal(SqlType::maxPrecision, std::min(scale, 6));
}

SqlType decimalResult(char op, const SqlType& left, const SqlType& right) {
    const int p1 = left.precision, s1 = left.scale, p2 = right.precision, s2 = right.scale;
    const int integral = std::max(p1 - s1, p2 - s2);
    switch (op) {
    case '+':
    case '-': {
        const int scale = std::max(s1, s2);
        return reducedDecimal(op, scale + integral + 1, scale, integral);
    }
    case '*':
        return reducedDecimal(op, p1 + p2 + 1, s1 + s2, 0);
    case '/': {
        const int scale = std::max(6, s1 + p2 + 1);
        return reducedDecimal(op, p1 - s1 + s2 + scale, scale, 0);
    }
    default: { // '%': never more than 38 digits
        const int scale = std::max(s1, s2);
        return SqlType::decimal(std::min(p1 - s1, p2 - s2) + scale, scale);
    }
    }
}

SqlType concatenation(const SqlType& left, const SqlType& right) {
    const bool unicode = left.isUnicode() || right.isUnicode();
    SqlType result;
    if (left.isBinary())
        result.kind =
            left.isFixedLength() && right.isFixedLength() ? TypeKind::Binary : TypeKind::VarBinary;
    else if (left.isFixedLength() && right.isFixedLength())
        result.kind = unicode ? TypeKind::NChar : TypeKind::Char;
    else
        result.kind = unicode ? TypeKind::NVarChar : TypeKind::VarChar;
    if (left.length == SqlType::maxLength || right.length == SqlType::maxLength)
        result.length = SqlType::maxLength;
    else
        result.length = std::min(left.length + right.length, maxCharacters(unicode));
    result.collation = left.collation == Collation::Binary || right.collation == Collation::Binary
                           ? Collation::Binary
                           : Collation::CaseInsensitive;
    return result;
}

struct NamedType {
    const char* name;
    TypeKind kind;
};

// The system types by every name a declaration may give them.
constexpr NamedType namedTypes[] = {
    {"bit", TypeKind::Bit},
    {"tinyint", TypeKind::TinyInt},
    {"smallint", TypeKind::SmallInt},
    {"int", TypeKind::Int},
    {"integer", TypeKind::Int},
    {"bigint", TypeKind::BigInt},
    {"decimal", TypeKind::Decimal},
    {"dec", TypeKind::Decimal},
    {"numeric", TypeKind::Decimal},
    {"smallmoney", TypeKind::SmallMoney},
    {"money", TypeKind::Money},
    {"real", TypeKind::Real},
    {"float", TypeKind::Float},
    {"double precision", TypeKind::Float},
    {"char", TypeKind::Char},
    {"character", TypeKind::Char},
    {"varchar", TypeKind::VarChar},
    {"char varying", TypeKind::VarChar},
    {"character varying", TypeKind::VarChar},
    {"nchar", TypeKind::NChar},
    {"national char", TypeKind::NChar},
    {"national character", TypeKind::NChar},
    {"nvarchar", TypeKind::NVarChar},
    {"national char varying", TypeKind::NVarChar},
    {"national character varying", TypeKind::NVarChar},
    {"nchar varying", TypeKind::NVarChar},
    {"sysname", TypeKind::NVarChar},
    {"text", TypeKind::Text},
    {"ntext", TypeKind::NText},
    {"national text", TypeKind::NText},
    {"binary", TypeKind::Binary},
    {"varbinary", TypeKind::VarBinary},
    {"binary varying", TypeKind::VarBinary},
    {"smalldatetime", TypeKind::SmallDateTime},
    {"datetime", TypeKind::DateTime},
    {"date", TypeKind::Date},
    {"sql_variant", TypeKind::Variant},
};

TsqlError invalidLength(int value) {
    return TsqlError(
        1001, QStringLiteral("Line 1: Length or precision specification %1 is invalid.").arg(value),
        15);
}

SqlType declaredString(TypeKind kind, const QString& name, const QList<int>& arguments) {
    const bool unicode = kind == TypeKind::NChar || kind == TypeKind::NVarChar;
    const bool variable =
        kind == TypeKind::VarChar || kind == TypeKind::NVarChar || kind == TypeKind::VarBinary;
    SqlType type = make(kind, 0, 0, 1);
    if (arguments.isEmpty())
        return type;
    const int length = arguments.first();
    if (length == SqlType::maxLength && variable) {
        type.length = SqlType::maxLength;
        return type;
    }
    if (length < 1)
        throw invalidLength(length);
    const int limit = maxCharacters(unicode);
    if (length > limit)
        throw TsqlError(131,
                        QStringLiteral("The size (%1) given to the type '%2' exceeds the "
                                       "maximum allowed for any data type (%3).")
                            .arg(length)
                            .arg(name)
                            .arg(limit),
                        15);
    type.length = length;
    return type;
}

} // namespace

SqlType SqlType::decimal(int precision, int scale) {
    return make(TypeKind::Decimal, precision, scale);
}
SqlType SqlType::charType(int length) {
    return make(TypeKind::Char, 0, 0, length);
}
SqlType SqlType::varChar(int length) {
    return make(TypeKind::VarChar, 0, 0, length);
}
SqlType SqlType::nChar(int length) {
    return make(TypeKind::NChar, 0, 0, length);
}
SqlType SqlType::nVarChar(int length) {
    return make(TypeKind::NVarChar, 0, 0, length);
}
SqlType SqlType::text() {
    return make(TypeKind::Text, 0, 0, maxLength);
}

std::optional<SqlType> SqlType::fromDeclaration(const QString& name, const QList<int>& arguments) {
    const QString normalized = name.simplified().toLower();
    const NamedType* found = nullptr;
    for (const auto& named : namedTypes) {
        if (normalized == QLatin1String(named.name)) {
            found = &named;
            break;
        }
    }
    if (!found)
        return std::nullopt;
    const auto noArguments = [&](SqlType type) {
        if (!arguments.isEmpty())
            throw TsqlError(2716, QStringLiteral("Column, parameter, or variable #1: Cannot "
                                                 "specify a column width on data type %1.")
                                      .arg(normalized));
        return type;
    };
    switch (found->kind) {
    case TypeKind::Decimal: {
        const int precision = arguments.isEmpty() ? 18 : arguments[0];
        const int scale = arguments.size() > 1 ? arguments[1] : 0;
        if (precision < 1)
            throw invalidLength(precision);
        if (precision > maxPrecision)
            throw TsqlError(2750, QStringLiteral("Column or parameter #1: Specified column "
                                                 "precision %1 is greater than the maximum "
                                                 "precision of 38.")
                                      .arg(precision));
        if (scale > precision)
            throw TsqlError(2751, QStringLiteral("Column or parameter #1: Specified column scale "
                                                 "%1 is greater than the specified precision of "
                                                 "%2.")
                                      .arg(scale)
                                      .arg(precision));
        return decimal(precision, scale);
    }
    case TypeKind::Float: {
        if (arguments.isEmpty() || normalized != QLatin1String("float"))
            return noArguments(floatType());
        const int bits = arguments[0];
        if (bits < 1)
            throw invalidLength(bits);
        if (bits > 53)
            throw TsqlError(2750, QStringLiteral("Column or parameter #1: Specified column "
                                                 "precision %1 is greater than the maximum "
                                                 "precision of 53.")
                                      .arg(bits));
        return bits <= 24 ? real() : floatType();
    }
    case TypeKind::Char:
    case TypeKind::VarChar:
    case TypeKind::NChar:
    case TypeKind::NVarChar:
    case TypeKind::Binary:
    case TypeKind::VarBinary:
        if (normalized == QLatin1String("sysname"))
            return noArguments(nVarChar(128));
        return declaredString(found->kind, normalized, arguments);
    case TypeKind::Text:
    case TypeKind::NText:
        return noArguments(make(found->kind, 0, 0, maxLength));
    case TypeKind::SmallMoney:
        return noArguments(smallMoney());
    case TypeKind::Money:
        return noArguments(money());
    default:
        return noArguments(make(found->kind));
    }
}

std::optional<SqlType> SqlType::fromText(const QString& declaration) {
    QString text = declaration.trimmed();
    QList<int> arguments;
    const qsizetype open = text.indexOf(u'(');
    if (open >= 0) {
        if (!text.endsWith(u')'))
            return std::nullopt;
        const QString inside = text.mid(open + 1, text.size() - open - 2);
        for (const QString& part : inside.split(u',')) {
            const QString argument = part.trimmed();
            if (argument.compare(QLatin1String("max"), Qt::CaseInsensitive) == 0) {
                arguments << maxLength;
                continue;
            }
            bool ok = false;
            const int value = argument.toInt(&ok);
            if (!ok)
                return std::nullopt;
            arguments << value;
        }
        text = text.left(open).trimmed();
    }
    if (text.startsWith(u'[') && text.endsWith(u']'))
        text = text.mid(1, text.size() - 2);
    return fromDeclaration(text, arguments);
}

QString SqlType::baseName() const {
    switch (kind) {
    case TypeKind::Variant:
        return QStringLiteral("sql_variant");
    case TypeKind::Null:
    case TypeKind::Int:
        return QStringLiteral("int");
    case TypeKind::Bit:
        return QStringLiteral("bit");
    case TypeKind::TinyInt:
        return QStringLiteral("tinyint");
    case TypeKind::SmallInt:
        return QStringLiteral("smallint");
    case TypeKind::BigInt:
        return QStringLiteral("bigint");
    case TypeKind::Decimal:
        return QStringLiteral("numeric");
    case TypeKind::SmallMoney:
        return QStringLiteral("smallmoney");
    case TypeKind::Money:
        return QStringLiteral("money");
    case TypeKind::Real:
        return QStringLiteral("real");
    case TypeKind::Float:
        return QStringLiteral("float");
    case TypeKind::Char:
        return QStringLiteral("char");
    case TypeKind::VarChar:
        return QStringLiteral("varchar");
    case TypeKind::NChar:
        return QStringLiteral("nchar");
    case TypeKind::NVarChar:
        return QStringLiteral("nvarchar");
    case TypeKind::Text:
        return QStringLiteral("text");
    case TypeKind::NText:
        return QStringLiteral("ntext");
    case TypeKind::Binary:
        return QStringLiteral("binary");
    case TypeKind::VarBinary:
        return QStringLiteral("varbinary");
    case TypeKind::SmallDateTime:
        return QStringLiteral("smalldatetime");
    case TypeKind::DateTime:
        return QStringLiteral("datetime");
    case TypeKind::Date:
        return QStringLiteral("date");
    }
    return QString();
}

QString SqlType::name() const {
    switch (kind) {
    case TypeKind::Decimal:
        return QStringLiteral("decimal(%1,%2)").arg(precision).arg(scale);
    case TypeKind::Char:
    case TypeKind::VarChar:
    case TypeKind::NChar:
    case TypeKind::NVarChar:
    case TypeKind::Binary:
    case TypeKind::VarBinary:
        return QStringLiteral("%1(%2)").arg(
            baseName(), length == maxLength ? QStringLiteral("max") : QString::number(length));
    default:
        return baseName();
    }
}

bool SqlType::isInteger() const {
    return categoryOf(kind) == Category::Integer;
}
bool SqlType::isExactNumeric() const {
    const Category category = categoryOf(kind);
    return category == Category::Integer || category == Category::Decimal ||
           category == Category::Money;
}
bool SqlType::isApproximate() const {
    return categoryOf(kind) == Category::Approximate;
}
bool SqlType::isNumeric() const {
    return isNumber(categoryOf(kind));
}
bool SqlType::isMoney() const {
    return categoryOf(kind) == Category::Money;
}
bool SqlType::isString() const {
    const Category category = categoryOf(kind);
    return category == Category::String || category == Category::LargeText;
}
bool SqlType::isUnicode() const {
    return kind == TypeKind::NChar || kind == TypeKind::NVarChar || kind == TypeKind::NText;
}
bool SqlType::isFixedLength() const {
    return kind == TypeKind::Char || kind == TypeKind::NChar || kind == TypeKind::Binary;
}
bool SqlType::isBinary() const {
    return categoryOf(kind) == Category::Binary;
}
bool SqlType::isDateTime() const {
    const Category category = categoryOf(kind);
    return category == Category::DateTime || category == Category::Date;
}

int precedence(TypeKind kind) {
    switch (kind) {
    case TypeKind::Null:
        return 0;
    case TypeKind::Binary:
        return 1;
    case TypeKind::VarBinary:
        return 2;
    case TypeKind::Char:
        return 3;
    case TypeKind::VarChar:
        return 4;
    case TypeKind::NChar:
        return 5;
    case TypeKind::NVarChar:
        return 6;
    case TypeKind::Text:
        return 7;
    case TypeKind::NText:
        return 8;
    case TypeKind::Bit:
        return 9;
    case TypeKind::TinyInt:
        return 10;
    case TypeKind::SmallInt:
        return 11;
    case TypeKind::Int:
        return 12;
    case TypeKind::BigInt:
        return 13;
    case TypeKind::SmallMoney:
        return 14;
    case TypeKind::Money:
        return 15;
    case TypeKind::Decimal:
        return 16;
    case TypeKind::Real:
        return 17;
    case TypeKind::Float:
        return 18;
    case TypeKind::Date:
        return 19;
    case TypeKind::SmallDateTime:
        return 20;
    case TypeKind::DateTime:
        return 21;
    case TypeKind::Variant:
        return 22;
    }
    return 0;
}

SqlType asDecimal(const SqlType& type) {
    switch (type.kind) {
    case TypeKind::Bit:
        return SqlType::decimal(1, 0);
    case TypeKind::TinyInt:
        return SqlType::decimal(3, 0);
    case TypeKind::SmallInt:
        return SqlType::decimal(5, 0);
    case TypeKind::Int:
    case TypeKind::Null:
        return SqlType::decimal(10, 0);
    case TypeKind::BigInt:
        return SqlType::decimal(19, 0);
    case TypeKind::SmallMoney:
        return SqlType::decimal(10, 4);
    case TypeKind::Money:
        return SqlType::decimal(19, 4);
    default:
        return type;
    }
}

SqlType literalAsDecimal(std::int64_t value) {
    int digits = 1;
    for (std::uint64_t rest = value < 0 ? 0 - std::uint64_t(value) : std::uint64_t(value);
         rest >= 10; rest /= 10)
        ++digits;
    return SqlType::decimal(digits, 0);
}

SqlType arithmeticResultType(char op, const SqlType& leftType, const SqlType& rightType) {
    // The literal NULL takes the type of the other side; alone it is an int.
    const SqlType left = leftType.kind == TypeKind::Null
                             ? (rightType.kind == TypeKind::Null ? SqlType::integer() : rightType)
                             : leftType;
    const SqlType right = rightType.kind == TypeKind::Null ? left : rightType;
    if (left.kind == TypeKind::Variant || right.kind == TypeKind::Variant)
        return SqlType::variant();
    const Category lc = categoryOf(left.kind), rc = categoryOf(right.kind);
    const auto incompatible = [&] {
        return TsqlError::incompatibleTypes(left.baseName(), right.baseName(), operationName(op));
    };

    if (left.isString() && right.isString()) {
        if (op != '+')
            throw TsqlError::invalidOperand(left.baseName(), operationName(op));
        if (lc == Category::LargeText || rc == Category::LargeText)
            throw incompatible();
        return concatenation(left, right);
    }
    if (left.isBinary() && right.isBinary()) {
        if (op != '+')
            throw TsqlError::invalidOperand(left.baseName(), operationName(op));
        return concatenation(left, right);
    }
    if (lc == Category::LargeText || rc == Category::LargeText)
        throw incompatible();

    if (left.isDateTime() || right.isDateTime()) {
        const SqlType& date = left.isDateTime() ? left : right;
        const SqlType& other = left.isDateTime() ? right : left;
        if (op != '+' && op != '-')
            throw TsqlError::invalidOperand(date.baseName(), operationName(op));
        if (date.kind == TypeKind::Date || other.kind == TypeKind::Date) {
            if (other.isDateTime())
                throw TsqlError::invalidOperand(QStringLiteral("date"), operationName(op));
            throw TsqlError::typeClash(left.baseName(), right.baseName());
        }
        if (other.isDateTime())
            return precedence(left.kind) >= precedence(right.kind) ? left : right;
        if (!other.isNumeric() && !other.isString())
            throw incompatible();
        return date;
    }

    // A string or binary operand takes the number type of the other side.
    const SqlType a = left.isNumeric() ? left : right;
    const SqlType b = right.isNumeric() ? right : left;
    if (!a.isNumeric() || !b.isNumeric())
        throw incompatible();
    const SqlType& higher = precedence(a.kind) >= precedence(b.kind) ? a : b;

    if (op == '&' || op == '|' || op == '^') {
        if (!a.isInteger() || !b.isInteger())
            throw incompatible();
        return higher;
    }
    if (a.kind == TypeKind::Bit && b.kind == TypeKind::Bit)
        throw TsqlError::invalidOperand(QStringLiteral("bit"), operationName(op));
    if (op == '%' && (a.isApproximate() || b.isApproximate()))
        throw incompatible();
    if (higher.isApproximate())
        return higher;
    if (higher.kind == TypeKind::Decimal)
        return decimalResult(op, asDecimal(a), asDecimal(b));
    return higher;
}

SqlType unaryResultType(char op, const SqlType& operand) {
    if (operand.kind == TypeKind::Null)
        return SqlType::integer();
    if (operand.kind == TypeKind::Variant)
        return operand;
    const QString operation = op == '~'   ? QStringLiteral("~")
                              : op == '-' ? QStringLiteral("minus")
                                          : QStringLiteral("plus");
    if (op == '~') {
        if (!operand.isInteger())
            throw TsqlError::invalidOperand(operand.baseName(), operation);
        return operand;
    }
    if (!operand.isNumeric() || operand.kind == TypeKind::Bit)
        throw TsqlError::invalidOperand(operand.baseName(), operation);
    if (op == '-' && operand.kind == TypeKind::TinyInt)
        return SqlType::smallInt();
    return operand;
}

SqlType commonType(const SqlType& left, const SqlType& right) {
    if (left.kind == TypeKind::Null)
        return right.kind == TypeKind::Null ? SqlType::integer() : right;
    if (right.kind == TypeKind::Null)
        return left;
    if (left.kind == TypeKind::Variant || right.kind == TypeKind::Variant)
        return SqlType::variant();
    const bool leftHigher = precedence(left.kind) >= precedence(right.kind);
    const SqlType& higher = leftHigher ? left : right;
    const SqlType& lower = leftHigher ? right : left;
    if (!convertsImplicitly(lower, higher))
        throw TsqlError::typeClash(left.baseName(), right.baseName());

    if (higher.kind == TypeKind::Decimal && lower.isExactNumeric()) {
        const SqlType a = asDecimal(left), b = asDecimal(right);
        const int scale = std::max<int>(a.scale, b.scale);
        const int integral = std::max(a.precision - a.scale, b.precision - b.scale);
        if (scale + integral <= SqlType::maxPrecision)
            return SqlType::decimal(scale + integral, scale);
        return SqlType::decimal(SqlType::maxPrecision, SqlType::maxPrecision - integral);
    }
    if (left.isString() && right.isString()) {
        SqlType result = higher;
        const bool unicode = left.isUnicode() || right.isUnicode();
        if (categoryOf(higher.kind) != Category::LargeText) {
            if (left.isFixedLength() && right.isFixedLength())
                result.kind = unicode ? TypeKind::NChar : TypeKind::Char;
            else
                result.kind = unicode ? TypeKind::NVarChar : TypeKind::VarChar;
            result.length = left.length == SqlType::maxLength || right.length == SqlType::maxLength
                                ? SqlType::maxLength
                                : std::max(left.length, right.length);
        }
        result.collation =
            left.collation == Collation::Binary || right.collation == Collation::Binary
                ? Collation::Binary
                : Collation::CaseInsensitive;
        return result;
    }
    if (left.isBinary() && right.isBinary()) {
        SqlType result = higher;
        result.length = left.length == SqlType::maxLength || right.length == SqlType::maxLength
                            ? SqlType::maxLength
                            : std::max(left.length, right.length);
        return result;
    }
    return higher;
}

bool convertsImplicitly(const SqlType& from, const SqlType& to) {
    return conversionBetween(categoryOf(from.kind), categoryOf(to.kind)) == Conversion::Implicit;
}

bool convertsExplicitly(const SqlType& from, const SqlType& to) {
    return conversionBetween(categoryOf(from.kind), categoryOf(to.kind)) != Conversion::None;
}

} // namespace db::tsql
