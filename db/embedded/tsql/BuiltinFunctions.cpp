#include "db/embedded/tsql/BuiltinFunctions.h"

#include "db/embedded/tsql/CollatedText.h"
#include "db/embedded/tsql/TsqlError.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <string_view>

namespace db::tsql {

namespace {

using Arguments = std::span<const TsqlValue>;
using Types = std::span<const SqlType>;

constexpr std::int64_t ticksPerDay = DateTimeValue::ticksPerDay;
constexpr std::int64_t ticksPerSecond = 300;
constexpr std::int64_t maxInt = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t minInt = std::numeric_limits<std::int32_t>::min();

bool anyNull(Arguments arguments) {
    return std::any_of(arguments.begin(), arguments.end(),
                       [](const TsqlValue& value) { return value.isNull(); });
}

SqlType varCharLike(const SqlType& type, int length) {
    return type.isUnicode() ? SqlType::nVarChar(length) : SqlType::varChar(length);
}

int maxCharacters(const SqlType& type) {
    return type.isUnicode() ? 4000 : 8000;
}

// The length of the text of a value of the type, for the types that are no strings.
int textLengthOf(const SqlType& type) {
    if (type.isString() || type.isBinary())
        return type.length;
    switch (type.kind) {
    case TypeKind::Decimal:
        return type.precision + 2;
    case TypeKind::Real:
    case TypeKind::Float:
        return 23;
    case TypeKind::Date:
        return 10;
    case TypeKind::SmallDateTime:
    case TypeKind::DateTime:
        return 19;
    default:
        return 20;
    }
}

// ---- arguments as the function needs them

std::int64_t integerOf(const TsqlValue& value) {
    if (value.payload().index() == 1)
        return value.asInteger();
    return convertImplicitly(value, SqlType::bigInt(), Assignment::Expression).asInteger();
}

// An int argument: a decimal is truncated, a value beyond int is an overflow.
std::int64_t intOf(const TsqlValue& value) {
    const std::int64_t number = integerOf(value);
    if (number < minInt || number > maxInt)
        throw TsqlError::arithmeticOverflow(QStringLiteral("int"));
    return number;
}

double doubleOf(const TsqlValue& value) {
    if (value.payload().index() == 2)
        return value.asDouble();
    return convertImplicitly(value, SqlType::floatType(), Assignment::Expression).asDouble();
}

QString textOf(const TsqlValue& value) {
    if (value.payload().index() == 4)
        return value.asText();
    return convertImplicitly(value, SqlType::nVarChar(SqlType::maxLength), Assignment::Expression)
        .asText();
}

DateTimeValue dateOf(const TsqlValue& value) {
    if (value.payload().index() == 6)
        return value.asDateTime();
    return convertImplicitly(value, SqlType::dateTime(), Assignment::Expression).asDateTime();
}

Collation collationOf(std::initializer_list<SqlType> types) {
    for (const SqlType& type : types) {
        if (type.collation == Collation::Binary)
            return Collation::Binary;
    }
    return Collation::CaseInsensitive;
}

TsqlError invalidArgument(const SqlType& type, int argument, const char* function) {
    return TsqlError::invalidArgument(type.baseName(), argument, QString::fromLatin1(function));
}

TsqlError invalidFloatOperation() {
    return TsqlError(3623, QStringLiteral("An invalid floating point operation occurred."));
}

// ---- mathematics

// The number a function of numbers takes: strings are read as floats.
SqlType numberArgument(const SqlType& type, const char* function) {
    if (type.isNumeric() || type.kind == TypeKind::Null || type.kind == TypeKind::Variant)
        return type.kind == TypeKind::Null ? SqlType::integer() : type;
    if (type.isString() && type.kind != TypeKind::Text && type.kind != TypeKind::NText)
        return SqlType::floatType();
    throw invalidArgument(type, 1, function);
}

// Ceiling, Floor, Round and Sign: small integers become int, bit and strings float.
SqlType roundingType(const SqlType& argument, const char* function) {
    const SqlType type = numberArgument(argument, function);
    switch (type.kind) {
    case TypeKind::Bit:
    case TypeKind::Real:
        return SqlType::floatType();
    case TypeKind::TinyInt:
    case TypeKind::SmallInt:
        return SqlType::integer();
    case TypeKind::SmallMoney:
        return SqlType::money();
    default:
        return type;
    }
}

// Ceiling and Floor: as Round, a decimal(p,s) giving decimal(p,0).
SqlType wholeNumberType(const SqlType& argument, const char* function) {
    const SqlType type = roundingType(argument, function);
    return type.kind == TypeKind::Decimal ? SqlType::decimal(type.precision, 0) : type;
}

TsqlValue checkedDecimal(const Decimal& value, const SqlType& type) {
    if (!value.fits(type.precision, type.scale))
        throw TsqlError::arithmeticOverflow(type.baseName());
    return TsqlValue::decimal(value, type);
}

TsqlValue toResult(const TsqlValue& value, const SqlType& type) {
    try {
        return convertImplicitly(value, type, Assignment::Expression);
    } catch (const TsqlError& error) {
        if (error.number() == 8115 || error.number() == 232 || error.number() == 220)
            throw TsqlError::arithmeticOverflow(type.baseName());
        throw;
    }
}

TsqlValue absValue(Arguments a, const SqlType& type) {
    if (anyNull(a))
        return TsqlValue::null(type);
    const TsqlValue value = toResult(a[0], type);
    switch (value.payload().index()) {
    case 1:
        return value.asInteger() < 0 ? unary('-', value) : value;
    case 2:
        return TsqlValue::floating(std::fabs(value.asDouble()), type);
    default:
        return TsqlValue::decimal(value.asDecimal().abs(), type);
    }
}

TsqlValue wholeNumber(Arguments a, const SqlType& type, bool up) {
    if (anyNull(a))
        return TsqlValue::null(type);
    if (type.isApproximate()) {
        const double value = doubleOf(a[0]);
        return TsqlValue::floating(up ? std::ceil(value) : std::floor(value), type);
    }
    if (type.isInteger())
        return toResult(a[0], type);
    // The argument's own digits: converting it to decimal(p,0) first would round them.
    const Decimal value =
        a[0].payload().index() == 3 ? a[0].asDecimal() : toResult(a[0], type).asDecimal();
    Decimal whole = value.roundedAt(0, Rounding::Truncate);
    if (up && value.compare(whole) > 0)
        whole = Decimal::add(whole, Decimal::fromInteger(1), whole.scale());
    if (!up && value.compare(whole) < 0)
        whole = Decimal::subtract(whole, Decimal::fromInteger(1), whole.scale());
    return type.kind == TypeKind::Decimal ? checkedDecimal(whole, type)
                                          : TsqlValue::decimal(whole, type);
}

TsqlValue roundValue(Arguments a, const SqlType& type) {
    if (anyNull(a))
        return TsqlValue::null(type);
    const std::int64_t places = intOf(a[1]);
    const Rounding rounding =
        a.size() > 2 && integerOf(a[2]) != 0 ? Rounding::Truncate : Rounding::HalfAwayFromZero;
    if (type.isApproximate()) {
        const double value = doubleOf(a[0]);
        const auto exact = Decimal::fromDouble(value);
        if (!exact || places >= exact->scale())
            return TsqlValue::floating(value, type);
        return TsqlValue::floating(
            exact->roundedAt(int(std::max<std::int64_t>(places, -38)), rounding).toDouble(), type);
    }
    if (type.isInteger()) {
        const std::int64_t value = toResult(a[0], type).asInteger();
        if (places >= 0)
            return TsqlValue::integer(value, type);
        const Decimal rounded =
            Decimal(value, 0).roundedAt(int(std::max<std::int64_t>(places, -38)), rounding);
        const auto whole = rounded.toInteger();
        if (!whole || (type.kind == TypeKind::Int && (*whole < minInt || *whole > maxInt)))
            throw TsqlError::arithmeticOverflow(type.baseName());
        return TsqlValue::integer(*whole, type);
    }
    const TsqlValue value = toResult(a[0], type);
    const int at = int(std::clamp<std::int64_t>(places, -38, 38));
    try {
        const Decimal rounded = value.asDecimal().roundedAt(at, rounding);
        if (type.kind == TypeKind::Decimal)
            return checkedDecimal(rounded, type);
        return TsqlValue::decimal(rounded, type);
    } catch (const TsqlError&) {
        throw TsqlError::arithmeticOverflow(type.baseName());
    }
}

SqlType powerType(const SqlType& argument) {
    const SqlType type = numberArgument(argument, "power");
    switch (type.kind) {
    case TypeKind::Bit:
    case TypeKind::Real:
        return SqlType::floatType();
    case TypeKind::TinyInt:
    case TypeKind::SmallInt:
        return SqlType::integer();
    case TypeKind::SmallMoney:
        return SqlType::money();
    case TypeKind::Decimal:
        return SqlType::decimal(38, type.scale);
    default:
        return type;
    }
}

TsqlValue powerValue(Arguments a, const SqlType& type) {
    if (anyNull(a))
        return TsqlValue::null(type);
    const double result = std::pow(doubleOf(a[0]), doubleOf(a[1]));
    if (std::isnan(result))
        throw invalidFloatOperation();
    if (std::isinf(result))
        throw TsqlError::arithmeticOverflow(type.baseName());
    return toResult(TsqlValue::floating(result), type);
}

SqlType floatResult(Types types, const char* function) {
    for (std::size_t i = 0; i < types.size(); ++i) {
        const SqlType& type = types[i];
        if (!type.isNumeric() &&
            !(type.isString() && type.kind != TypeKind::Text && type.kind != TypeKind::NText) &&
            type.kind != TypeKind::Null && type.kind != TypeKind::Variant)
            throw invalidArgument(type, int(i) + 1, function);
    }
    return SqlType::floatType();
}

TsqlValue floatFunction(Arguments a, const SqlType& type, double (*function)(double)) {
    if (anyNull(a))
        return TsqlValue::null(type);
    const double result = function(doubleOf(a[0]));
    if (std::isnan(result) || std::isinf(result))
        throw invalidFloatOperation();
    return TsqlValue::floating(result, type);
}

double checkedLog(double value) {
    return value > 0 ? std::log(value) : std::numeric_limits<double>::quiet_NaN();
}

TsqlValue signValue(Arguments a, const SqlType& type) {
    if (anyNull(a))
        return TsqlValue::null(type);
    const TsqlValue value = toResult(a[0], type);
    switch (value.payload().index()) {
    case 1:
        return TsqlValue::integer(value.asInteger() > 0 ? 1 : value.asInteger() < 0 ? -1 : 0, type);
    case 2:
        return TsqlValue::floating(value.asDouble() > 0 ? 1 : value.asDouble() < 0 ? -1 : 0, type);
    default: {
        const Decimal& d = value.asDecimal();
        const int sign = d.isZero() ? 0 : d.isNegative() ? -1 : 1;
        return TsqlValue::decimal(Decimal::fromInteger(sign), type);
    }
    }
}

// ---- text

SqlType stringArgument(const SqlType& type, int argument, const char* function,
                       bool largeText = false) {
    if (type.kind == TypeKind::Text || type.kind == TypeKind::NText) {
        if (!largeText)
            throw invalidArgument(type, argument, function);
        return type;
    }
    if (type.isString())
        return type;
    if (type.kind == TypeKind::Null || type.kind == TypeKind::Variant)
        return SqlType::varChar(1);
    return SqlType::varChar(textLengthOf(type));
}

SqlType lengthType(const SqlType& type) {
    return type.length == SqlType::maxLength ? SqlType::bigInt() : SqlType::integer();
}

TsqlValue lengthValue(Arguments a, const SqlType& type) {
    if (anyNull(a))
        return TsqlValue::null(type);
    return TsqlValue::integer(CollatedText::trimmedLength(textOf(a[0])), type);
}

TsqlValue dataLengthValue(Arguments a, const SqlType& type) {
    if (anyNull(a))
        return TsqlValue::null(type);
    const SqlType& argument = a[0].type();
    switch (a[0].payload().index()) {
    case 4:
        return TsqlValue::integer(a[0].asText().size() * (argument.isUnicode() ? 2 : 1), type);
    case 5:
        return TsqlValue::integer(a[0].asBinary().size(), type);
    default:
        break;
    }
    switch (argument.kind) {
    case TypeKind::Bit:
    case TypeKind::TinyInt:
        return TsqlValue::integer(1, type);
    case TypeKind::SmallInt:
        return TsqlValue::integer(2, type);
    case TypeKind::Int:
    case TypeKind::Real:
    case TypeKind::SmallMoney:
    case TypeKind::SmallDateTime:
        return TsqlValue::integer(4, type);
    case TypeKind::Date:
        return TsqlValue::integer(3, type);
    case TypeKind::Decimal: {
        const int p = argument.precision;
        return TsqlValue::integer(p <= 9 ? 5 : p <= 19 ? 9 : p <= 28 ? 13 : 17, type);
    }
    default:
        return TsqlValue::integer(8, type);
    }
}

TsqlValue textValue(const QString& text, const SqlType& type) {
    if (type.length != SqlType::maxLength && text.size() > type.length)
        return TsqlValue::text(text.left(type.length), type);
    return TsqlValue::text(text, type);
}

TsqlError invalidLength(const char* function) {
    if (std::string_view(function) == "right")
        return TsqlError(536,
                         QStringLiteral("Invalid length parameter passed to the RIGHT function."));
    return TsqlError(537, QStringLiteral("Invalid length parameter passed to the LEFT or SUBSTRING "
                                         "function."));
}

TsqlValue leftValue(Arguments a, const SqlType& type) {
    if (anyNull(a))
        return TsqlValue::null(type);
    const std::int64_t count = integerOf(a[1]);
    if (count < 0)
        throw invalidLength("left");
    return textValue(textOf(a[0]).left(qsizetype(std::min<std::int64_t>(count, maxInt))), type);
}

TsqlValue rightValue(Arguments a, const SqlType& type) {
    if (anyNull(a))
        return TsqlValue::null(type);
    const std::int64_t count = integerOf(a[1]);
    if (count < 0)
        throw invalidLength("right");
    return textValue(textOf(a[0]).right(qsizetype(std::min<std::int64_t>(count, maxInt))), type);
}

SqlType substringType(Types t) {
    const SqlType& type = t[0];
    if (type.isBinary()) {
        SqlType binary = type;
        binary.kind = TypeKind::VarBinary;
        return binary;
    }
    const SqlType source = stringArgument(type, 1, "substring", true);
    if (source.kind == TypeKind::Text || source.kind == TypeKind::NText)
        return varCharLike(source, SqlType::maxLength);
    SqlType result = varCharLike(source, source.length);
    result.collation = source.collation;
    return result;
}

TsqlValue substringValue(Arguments a, const SqlType& type) {
    if (anyNull(a))
        return TsqlValue::null(type);
    const std::int64_t start = integerOf(a[1]);
    const std::int64_t length = integerOf(a[2]);
    if (length < 0)
        throw invalidLength("substring");
    // Characters start..start+length-1 counted from 1; those before the first do not exist.
    const std::int64_t first = std::max<std::int64_t>(start, 1);
    const std::int64_t end = start + length; // one past the last
    if (a[0].payload().index() == 5) {
        const QByteArray& bytes = a[0].asBinary();
        if (end <= first || first > bytes.size())
            return TsqlValue::binary(QByteArray(), type);
        return TsqlValue::binary(bytes.mid(qsizetype(first - 1), qsizetype(end - first)), type);
    }
    const QString text = textOf(a[0]);
    if (end <= first || first > text.size())
        return TsqlValue::text(QString(), type);
    return TsqlValue::text(text.mid(qsizetype(first - 1), qsizetype(end - first)), type);
}

SqlType sameTextType(Types t, const char* function) {
    SqlType result = stringArgument(t[0], 1, function);
    if (!t[0].isString())
        return result;
    return t[0];
}

TsqlValue trimValue(Arguments a, const SqlType& type, bool front, bool back) {
    if (anyNull(a))
        return TsqlValue::null(type);
    const QString text = textOf(a[0]);
    qsizetype start = 0, end = text.size();
    while (front && start < end && text[start] == u' ')
        ++start;
    while (back && end > start && text[end - 1] == u' ')
        --end;
    return TsqlValue::text(text.mid(start, end - start), type);
}

SqlType trimType(Types t, const char* function) {
    const SqlType source = stringArgument(t[0], 1, function);
    SqlType result = varCharLike(source, source.length);
    result.collation = source.collation;
    return result;
}

TsqlValue caseValue(Arguments a, const SqlType& type, bool upper) {
    if (anyNull(a))
        return TsqlValue::null(type);
    const QString text = textOf(a[0]);
    return TsqlValue::text(upper ? text.toUpper() : text.toLower(), type);
}

SqlType growingTextType(Types t, int firstText, const char* function) {
    bool unicode = false, large = false;
    Collation collation = Collation::CaseInsensitive;
    for (std::size_t i = std::size_t(firstText); i < t.size(); ++i) {
        const SqlType source = stringArgument(t[i], int(i) + 1, function);
        unicode = unicode || source.isUnicode();
        large = large || source.length == SqlType::maxLength;
        if (source.collation == Collation::Binary)
            collation = Collation::Binary;
    }
    SqlType result = unicode ? SqlType::nVarChar(large ? SqlType::maxLength : 4000)
                             : SqlType::varChar(large ? SqlType::maxLength : 8000);
    result.collation = collation;
    return result;
}

TsqlValue replaceValue(Arguments a, const SqlType& type) {
    if (anyNull(a))
        return TsqlValue::null(type);
    const QString text = textOf(a[0]);
    const QString part = textOf(a[1]);
    const QString replacement = textOf(a[2]);
    const Collation collation = collationOf({a[0].type(), a[1].type()});
    QString result;
    qsizetype from = 0;
    for (qsizetype found = CollatedText::find(text, part, 0, collation); found >= 0;
         found = CollatedText::find(text, part, from, collation)) {
        result += QStringView(text).mid(from, found - from);
        result += replacement;
        from = found + part.size();
    }
    result += QStringView(text).mid(from);
    return textValue(result, type);
}

TsqlValue replicateValue(Arguments a, const SqlType& type) {
    if (anyNull(a))
        return TsqlValue::null(type);
    const std::int64_t count = integerOf(a[1]);
    if (count < 0)
        return TsqlValue::null(type);
    const QString text = textOf(a[0]);
    if (text.isEmpty())
        return TsqlValue::text(QString(), type);
    const std::int64_t limit =
        type.length == SqlType::maxLength ? std::int64_t(1) << 30 : std::int64_t(type.length);
    const std::int64_t times = std::min<std::int64_t>(count, limit / text.size() + 1);
    return textValue(text.repeated(qsizetype(times)), type);
}

TsqlValue spaceValue(Arguments a, const SqlType& type) {
    if (anyNull(a))
        return TsqlValue::null(type);
    const std::int64_t count = integerOf(a[0]);
    if (count < 0)
        return TsqlValue::null(type);
    return TsqlValue::text(QString(qsizetype(std::min<std::int64_t>(count, 8000)), u' '), type);
}

TsqlValue stuffValue(Arguments a, const SqlType& type) {
    if (a[0].isNull() || a[1].isNull() || a[2].isNull())
        return TsqlValue::null(type);
    const QString text = textOf(a[0]);
    const std::int64_t start = integerOf(a[1]);
    const std::int64_t length = integerOf(a[2]);
    if (start < 1 || start > text.size() || length < 0)
        return TsqlValue::null(type);
    const QString replacement = a[3].isNull() ? QString() : textOf(a[3]);
    const qsizetype removed = qsizetype(std::min<std::int64_t>(length, text.size() - start + 1));
    QString result = text;
    result.replace(qsizetype(start - 1), removed, replacement);
    return textValue(result, type);
}

SqlType positionType(Types t, int searched, const char* function) {
    for (std::size_t i = 0; i < 2 && i < t.size(); ++i)
        stringArgument(t[i], int(i) + 1, function);
    return lengthType(t[std::size_t(searched)]);
}

TsqlValue charIndexValue(Arguments a, const SqlType& type) {
    if (anyNull(a))
        return TsqlValue::null(type);
    const qsizetype from =
        a.size() > 2 ? qsizetype(std::clamp<std::int64_t>(integerOf(a[2]) - 1, 0, maxInt)) : 0;
    const qsizetype found = CollatedText::find(textOf(a[1]), textOf(a[0]), from,
                                               collationOf({a[0].type(), a[1].type()}));
    return TsqlValue::integer(found + 1, type);
}

TsqlValue patIndexValue(Arguments a, const SqlType& type) {
    if (anyNull(a))
        return TsqlValue::null(type);
    const QString pattern = textOf(a[0]);
    const QString text = textOf(a[1]);
    const Collation collation = collationOf({a[0].type(), a[1].type()});
    if (!pattern.startsWith(u'%'))
        return TsqlValue::integer(CollatedText::matchesPattern(text, pattern, collation) ? 1 : 0,
                                  type);
    // The position where what follows the leading % starts to match.
    const QStringView rest = QStringView(pattern).mid(1);
    for (qsizetype start = 0; start < text.size(); ++start) {
        if (CollatedText::matchesPattern(QStringView(text).mid(start), rest, collation))
            return TsqlValue::integer(start + 1, type);
    }
    return TsqlValue::integer(0, type);
}

TsqlValue reverseValue(Arguments a, const SqlType& type) {
    if (anyNull(a))
        return TsqlValue::null(type);
    QString text = textOf(a[0]);
    std::reverse(text.begin(), text.end());
    return TsqlValue::text(text, type);
}

TsqlValue asciiValue(Arguments a, const SqlType& type) {
    if (anyNull(a))
        return TsqlValue::null(type);
    const QString text = textOf(a[0]);
    if (text.isEmpty())
        return TsqlValue::null(type);
    const int byte = CollatedText::codePageByte(text[0]);
    return TsqlValue::integer(byte < 0 ? '?' : byte, type);
}

TsqlValue charValue(Arguments a, const SqlType& type) {
    if (anyNull(a))
        return TsqlValue::null(type);
    const std::int64_t code = integerOf(a[0]);
    if (code < 0 || code > 255)
        return TsqlValue::null(type);
    const QChar c = CollatedText::fromCodePageByte(int(code));
    return TsqlValue::text(QString(c.isNull() && code != 0 ? QChar(char16_t(code)) : c), type);
}

TsqlValue nCharValue(Arguments a, const SqlType& type) {
    if (anyNull(a))
        return TsqlValue::null(type);
    const std::int64_t code = integerOf(a[0]);
    if (code < 0 || code > 0xffff)
        return TsqlValue::null(type);
    return TsqlValue::text(QString(QChar(char16_t(code))), type);
}

TsqlValue unicodeValue(Arguments a, const SqlType& type) {
    if (anyNull(a))
        return TsqlValue::null(type);
    const QString text = textOf(a[0]);
    if (text.isEmpty())
        return TsqlValue::null(type);
    if (text[0].isHighSurrogate() && text.size() > 1 && text[1].isLowSurrogate())
        return TsqlValue::integer(QChar::surrogateToUcs4(text[0], text[1]), type);
    return TsqlValue::integer(text[0].unicode(), type);
}

SqlType strType(Types t) {
    floatResult(t, "str");
    return SqlType::varChar(8000); // as long as the second argument says, known at run time
}

// Str(number, length, decimals): right-aligned in length characters, rounded to the decimals
// (fewer when the number needs the room), or asterisks when its whole part does not fit.
TsqlValue strValue(Arguments a, const SqlType& type) {
    if (anyNull(a))
        return TsqlValue::null(type);
    const double value = doubleOf(a[0]);
    const std::int64_t length = a.size() > 1 ? integerOf(a[1]) : 10;
    std::int64_t decimals = a.size() > 2 ? std::min<std::int64_t>(integerOf(a[2]), 16) : 0;
    if (length < 1 || length > 8000 || decimals < 0)
        return TsqlValue::null(type);
    const SqlType& result = type;
    const auto exact = Decimal::fromDouble(value);
    if (!exact)
        return TsqlValue::text(QString(qsizetype(length), u'*'), result);
    const auto textAt = [&](std::int64_t places) {
        Decimal rounded = exact->scale() > places
                              ? exact->rescaled(int(places))
                              : exact->rescaled(int(std::min<std::int64_t>(places, 38)));
        return rounded.toString();
    };
    QString text = textAt(decimals);
    if (text.size() > length) {
        const qsizetype point = text.indexOf(u'.');
        const qsizetype whole = point < 0 ? text.size() : point;
        if (whole > length)
            return TsqlValue::text(QString(qsizetype(length), u'*'), result);
        decimals = length - whole - 1;
        text = textAt(decimals < 0 ? 0 : decimals);
        if (text.size() > length)
            return TsqlValue::text(QString(qsizetype(length), u'*'), result);
    }
    return TsqlValue::text(QString(qsizetype(length - text.size()), u' ') + text, result);
}

SqlType concatType(Types t) {
    bool unicode = false, large = false;
    std::int64_t length = 0;
    for (const SqlType& type : t) {
        unicode = unicode || type.isUnicode();
        const int part = textLengthOf(type);
        large = large || part == SqlType::maxLength;
        length += std::max(part, 0);
    }
    const int limit = unicode ? 4000 : 8000;
    const int resultLength =
        large ? SqlType::maxLength : int(std::clamp<std::int64_t>(length, 1, limit));
    return unicode ? SqlType::nVarChar(resultLength) : SqlType::varChar(resultLength);
}

TsqlValue concatValue(Arguments a, const SqlType& type) {
    QString text;
    for (const TsqlValue& value : a) {
        if (!value.isNull())
            text += textOf(value);
    }
    return textValue(text, type);
}

TsqlValue quoteNameValue(Arguments a, const SqlType& type) {
    if (anyNull(a))
        return TsqlValue::null(type);
    const QString text = textOf(a[0]);
    if (text.size() > 128)
        return TsqlValue::null(type);
    const QString quote = a.size() > 1 ? textOf(a[1]) : QStringLiteral("[");
    QChar open, close;
    switch (quote.isEmpty() ? u'\0' : quote[0].unicode()) {
    case u'[':
    case u']':
        open = u'[';
        close = u']';
        break;
    case u'(':
    case u')':
        open = u'(';
        close = u')';
        break;
    case u'<':
    case u'>':
        open = u'<';
        close = u'>';
        break;
    case u'{':
    case u'}':
        open = u'{';
        close = u'}';
        break;
    case u'"':
    case u'\'':
    case u'`':
        open = close = quote[0];
        break;
    default:
        return TsqlValue::null(type);
    }
    QString doubled = text;
    doubled.replace(close, QString(2, close));
    return TsqlValue::text(open + doubled + close, type);
}

// ---- dates

enum class DatePart : std::uint8_t {
    Year,
    Quarter,
    Month,
    DayOfYear,
    Day,
    Week,
    Weekday,
    Hour,
    Minute,
    Second,
    Millisecond,
    Microsecond,
    Nanosecond,
    IsoWeek,
};

struct DatePartName {
    const char* keyword;
    DatePart part;
};

constexpr DatePartName datePartNames[] = {
    {"year", DatePart::Year},       {"yy", DatePart::Year},
    {"yyyy", DatePart::Year},       {"quarter", DatePart::Quarter},
    {"qq", DatePart::Quarter},      {"q", DatePart::Quarter},
    {"month", DatePart::Month},     {"mm", DatePart::Month},
    {"m", DatePart::Month},         {"dayofyear", DatePart::DayOfYear},
    {"dy", DatePart::DayOfYear},    {"y", DatePart::DayOfYear},
    {"day", DatePart::Day},         {"dd", DatePart::Day},
    {"d", DatePart::Day},           {"week", DatePart::Week},
    {"wk", DatePart::Week},         {"ww", DatePart::Week},
    {"weekday", DatePart::Weekday}, {"dw", DatePart::Weekday},
    {"w", DatePart::Weekday},       {"hour", DatePart::Hour},
    {"hh", DatePart::Hour},         {"minute", DatePart::Minute},
    {"mi", DatePart::Minute},       {"n", DatePart::Minute},
    {"second", DatePart::Second},   {"ss", DatePart::Second},
    {"s", DatePart::Second},        {"millisecond", DatePart::Millisecond},
    {"ms", DatePart::Millisecond},  {"microsecond", DatePart::Microsecond},
    {"mcs", DatePart::Microsecond}, {"nanosecond", DatePart::Nanosecond},
    {"ns", DatePart::Nanosecond},   {"iso_week", DatePart::IsoWeek},
    {"isowk", DatePart::IsoWeek},   {"isoww", DatePart::IsoWeek},
};

const char* canonicalName(DatePart part) {
    for (const auto& name : datePartNames) {
        if (name.part == part)
            return name.keyword;
    }
    return "";
}

DatePart datePartOf(const TsqlValue& keyword, const char* function) {
    const QString text = textOf(keyword).trimmed();
    for (const auto& name : datePartNames) {
        if (text.compare(QLatin1String(name.keyword), Qt::CaseInsensitive) == 0) {
            if (name.part == DatePart::IsoWeek && std::string_view(function) != "datepart")
                break;
            return name.part;
        }
    }
    throw TsqlError(155,
                    QStringLiteral("'%1' is not a recognized %2 option.")
                        .arg(text, QString::fromLatin1(function)),
                    15);
}

TsqlError unsupportedPart(DatePart part, const char* function, const SqlType& type) {
    return TsqlError(9810, QStringLiteral("The datepart %1 is not supported by date function %2 "
                                          "for data type %3.")
                               .arg(QString::fromLatin1(canonicalName(part)),
                                    QString::fromLatin1(function), type.baseName()));
}

bool isTimePart(DatePart part) {
    return part >= DatePart::Hour && part <= DatePart::Nanosecond;
}

SqlType dateArgument(const SqlType& type, int argument, const char* function) {
    if (type.isDateTime())
        return type;
    if ((type.isString() && type.kind != TypeKind::Text && type.kind != TypeKind::NText) ||
        type.isNumeric() || type.kind == TypeKind::Null || type.kind == TypeKind::Variant)
        return SqlType::dateTime();
    throw invalidArgument(type, argument, function);
}

constexpr const char* monthNames[] = {"January",   "February", "March",    "April",
                                      "May",       "June",     "July",     "August",
                                      "September", "October",  "November", "December"};
constexpr const char* weekdayNames[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                        "Thursday", "Friday", "Saturday"};

std::int64_t floorDivide(std::int64_t value, std::int64_t divisor) {
    const std::int64_t quotient = value / divisor;
    return (value % divisor != 0 && (value < 0) != (divisor < 0)) ? quotient - 1 : quotient;
}

int isoWeek(const DateTimeValue& date) {
    // The week of the Thursday of the date's Monday-to-Sunday week.
    const int isoWeekday = (date.weekday() + 5) % 7 + 1; // Monday 1 ... Sunday 7
    const DateTimeValue thursday{date.days + 4 - isoWeekday, 0};
    return (thursday.dayOfYear() - 1) / 7 + 1;
}

std::int64_t datePartNumber(DatePart part, const DateTimeValue& date) {
    switch (part) {
    case DatePart::Year:
        return date.year();
    case DatePart::Quarter:
        return (date.month() - 1) / 3 + 1;
    case DatePart::Month:
        return date.month();
    case DatePart::DayOfYear:
        return date.dayOfYear();
    case DatePart::Day:
        return date.day();
    case DatePart::Week: {
        // Week 1 holds 1 January; weeks begin on Sunday.
        const DateTimeValue january{date.days - date.dayOfYear() + 1, 0};
        return (date.dayOfYear() - 1 + january.weekday() - 1) / 7 + 1;
    }
    case DatePart::Weekday:
        return date.weekday();
    case DatePart::Hour:
        return date.hour();
    case DatePart::Minute:
        return date.minute();
    case DatePart::Second:
        return date.second();
    case DatePart::Millisecond:
        return date.millisecond();
    case DatePart::Microsecond:
        return date.millisecond() * 1000;
    case DatePart::Nanosecond:
        return date.millisecond() * 1000000;
    case DatePart::IsoWeek:
        return isoWeek(date);
    }
    return 0;
}

TsqlValue datePartValue(Arguments a, const SqlType& type) {
    if (anyNull(a))
        return TsqlValue::null(type);
    const DatePart part = datePartOf(a[0], "datepart");
    if (a[1].type().kind == TypeKind::Date && isTimePart(part))
        throw unsupportedPart(part, "datepart", a[1].type());
    return TsqlValue::integer(datePartNumber(part, dateOf(a[1])), type);
}

TsqlValue dateNameValue(Arguments a, const SqlType& type) {
    if (anyNull(a))
        return TsqlValue::null(type);
    const DatePart part = datePartOf(a[0], "datename");
    if (a[1].type().kind == TypeKind::Date && isTimePart(part))
        throw unsupportedPart(part, "datename", a[1].type());
    const DateTimeValue date = dateOf(a[1]);
    if (part == DatePart::Month)
        return TsqlValue::text(QString::fromLatin1(monthNames[date.month() - 1]), type);
    if (part == DatePart::Weekday)
        return TsqlValue::text(QString::fromLatin1(weekdayNames[date.weekday() - 1]), type);
    return TsqlValue::text(QString::number(datePartNumber(part, date)), type);
}

SqlType dateAddType(Types t) {
    if (!t[1].isNumeric() && !t[1].isString() && t[1].kind != TypeKind::Null &&
        t[1].kind != TypeKind::Variant)
        throw invalidArgument(t[1], 2, "dateadd");
    return dateArgument(t[2], 3, "dateadd");
}

DateTimeValue addMonths(const DateTimeValue& date, std::int64_t months, bool& overflow) {
    const std::int64_t index = std::int64_t(date.year()) * 12 + (date.month() - 1) + months;
    const std::int64_t year = floorDivide(index, 12);
    const int month = int(index - year * 12) + 1;
    if (year < 1753 || year > 9999) {
        overflow = true;
        return date;
    }
    // A day the month does not have becomes its last day: 31 August + 1 month is 30 September.
    int day = date.day();
    while (!DateTimeValue::fromParts(int(year), month, day))
        --day;
    DateTimeValue result = *DateTimeValue::fromParts(int(year), month, day);
    result.ticks = date.ticks;
    return result;
}

TsqlValue dateAddValue(Arguments a, const SqlType& type) {
    if (anyNull(a))
        return TsqlValue::null(type);
    const DatePart part = datePartOf(a[0], "dateadd");
    const std::int64_t number = intOf(a[1]);
    if (part == DatePart::Microsecond || part == DatePart::Nanosecond ||
        (type.kind == TypeKind::Date && isTimePart(part)))
        throw unsupportedPart(part, "dateadd", type);
    const DateTimeValue date = dateOf(a[2]);
    const std::int64_t total = std::int64_t(date.days) * ticksPerDay + date.ticks;
    bool overflow = false;
    DateTimeValue result = date;
    const auto byTicks = [&](std::int64_t ticks) {
        const std::int64_t sum = total + ticks;
        std::int64_t days = floorDivide(sum, ticksPerDay);
        result = DateTimeValue{std::int32_t(std::clamp<std::int64_t>(days, minInt, maxInt)),
                               std::int32_t(sum - days * ticksPerDay)};
        overflow = days < DateTimeValue::minDays || days > DateTimeValue::maxDays;
    };
    switch (part) {
    case DatePart::Year:
        result = addMonths(date, number * 12, overflow);
        break;
    case DatePart::Quarter:
        result = addMonths(date, number * 3, overflow);
        break;
    case DatePart::Month:
        result = addMonths(date, number, overflow);
        break;
    case DatePart::DayOfYear:
    case DatePart::Day:
    case DatePart::Weekday:
        byTicks(number * ticksPerDay);
        break;
    case DatePart::Week:
        byTicks(number * 7 * ticksPerDay);
        break;
    case DatePart::Hour:
        byTicks(number * 3600 * ticksPerSecond);
        break;
    case DatePart::Minute:
        byTicks(number * 60 * ticksPerSecond);
        break;
    case DatePart::Second:
        byTicks(number * ticksPerSecond);
        break;
    case DatePart::Millisecond: {
        // On the milliseconds the value shows, then back to the nearest tick.
        const std::int64_t shown =
            std::int64_t(date.ticks / ticksPerSecond) * 1000 + date.millisecond() + number;
        const std::int64_t ticks = floorDivide(shown * 3 + 5, 10);
        byTicks(ticks - date.ticks);
        break;
    }
    default:
        break;
    }
    if (!overflow && type.kind == TypeKind::SmallDateTime)
        result = result.toSmallDateTime();
    if (overflow ||
        result.days < (type.kind == TypeKind::SmallDateTime ? 0 : DateTimeValue::minDays) ||
        result.days > (type.kind == TypeKind::SmallDateTime ? 65380 : DateTimeValue::maxDays))
        throw TsqlError(517, QStringLiteral("Adding a value to a '%1' column caused an overflow.")
                                 .arg(type.baseName()));
    return TsqlValue::dateTime(type.kind == TypeKind::Date ? result.toDate() : result, type);
}

SqlType dateDiffType(Types t) {
    dateArgument(t[1], 2, "datediff");
    dateArgument(t[2], 3, "datediff");
    return SqlType::integer();
}

// The number of boundaries of the part from the first day of 1900 to the date: their
// difference is the number crossed between two dates.
std::int64_t boundaryIndex(DatePart part, const DateTimeValue& date) {
    const std::int64_t milliseconds = std::int64_t(date.days) * 86400000 +
                                      std::int64_t(date.ticks / ticksPerSecond) * 1000 +
                                      date.millisecond();
    switch (part) {
    case DatePart::Year:
        return date.year();
    case DatePart::Quarter:
        return std::int64_t(date.year()) * 4 + (date.month() - 1) / 3;
    case DatePart::Month:
        return std::int64_t(date.year()) * 12 + date.month() - 1;
    case DatePart::Week:
        return floorDivide(std::int64_t(date.days) + 1, 7); // weeks begin on Sunday
    case DatePart::Hour:
        return std::int64_t(date.days) * 24 + date.hour();
    case DatePart::Minute:
        return (std::int64_t(date.days) * 24 + date.hour()) * 60 + date.minute();
    case DatePart::Second:
        return ((std::int64_t(date.days) * 24 + date.hour()) * 60 + date.minute()) * 60 +
               date.second();
    case DatePart::Millisecond:
    case DatePart::Microsecond:
    case DatePart::Nanosecond:
        return milliseconds;
    default:
        return date.days;
    }
}

TsqlValue dateDiffValue(Arguments a, const SqlType& type) {
    if (anyNull(a))
        return TsqlValue::null(type);
    const DatePart part = datePartOf(a[0], "datediff");
    if (part == DatePart::Weekday)
        throw unsupportedPart(part, "datediff", SqlType::dateTime());
    const DateTimeValue start = dateOf(a[1]);
    const DateTimeValue end = dateOf(a[2]);
    __extension__ __int128 difference = boundaryIndex(part, end) - boundaryIndex(part, start);
    if (part == DatePart::Microsecond)
        difference *= 1000;
    else if (part == DatePart::Nanosecond)
        difference *= 1000000;
    if (difference < minInt || difference > maxInt)
        throw TsqlError(535, QStringLiteral("The datediff function resulted in an overflow. The "
                                            "number of dateparts separating two date/time "
                                            "instances is too large. Try to use datediff with a "
                                            "less precise datepart."));
    return TsqlValue::integer(std::int64_t(difference), type);
}

TsqlValue datePieceValue(Arguments a, const SqlType& type, DatePart part) {
    if (anyNull(a))
        return TsqlValue::null(type);
    return TsqlValue::integer(datePartNumber(part, dateOf(a[0])), type);
}

TsqlValue endOfMonthValue(Arguments a, const SqlType& type) {
    if (anyNull(a))
        return TsqlValue::null(type);
    bool overflow = false;
    DateTimeValue date = dateOf(a[0]);
    if (a.size() > 1)
        date = addMonths(date, intOf(a[1]), overflow);
    if (overflow)
        throw TsqlError(517,
                        QStringLiteral("Adding a value to a 'date' column caused an overflow."));
    const int year = date.year(), month = date.month();
    int day = 31;
    while (!DateTimeValue::fromParts(year, month, day))
        --day;
    return TsqlValue::dateTime(*DateTimeValue::fromParts(year, month, day), type);
}

TsqlValue dateFromPartsValue(Arguments a, const SqlType& type) {
    if (anyNull(a))
        return TsqlValue::null(type);
    const std::int64_t year = integerOf(a[0]), month = integerOf(a[1]), day = integerOf(a[2]);
    const auto date =
        year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 && day <= 31
            ? DateTimeValue::fromParts(int(year), int(month), int(day))
            : std::nullopt;
    if (!date)
        throw TsqlError(289, QStringLiteral("Cannot construct data type date, some of the "
                                            "arguments have values which are not valid."));
    return TsqlValue::dateTime(*date, type);
}

// ---- tests

// IsNumeric: whether the value converts to some numeric type (int, decimal, money or float).
TsqlValue isNumericValue(Arguments a, const SqlType& type) {
    if (anyNull(a))
        return TsqlValue::integer(0, type);
    if (a[0].type().isNumeric())
        return TsqlValue::integer(1, type);
    if (!a[0].type().isString())
        return TsqlValue::integer(0, type);
    const QString text = a[0].asText();
    if (CollatedText::trimmedLength(text) == 0)
        return TsqlValue::integer(0, type);
    for (const SqlType& target : {SqlType::money(), SqlType::floatType()}) {
        try {
            convertImplicitly(a[0], target, Assignment::Expression);
            return TsqlValue::integer(1, type);
        } catch (const TsqlError&) {
        }
    }
    return TsqlValue::integer(0, type);
}

TsqlValue isDateValue(Arguments a, const SqlType& type) {
    if (anyNull(a))
        return TsqlValue::integer(0, type);
    if (a[0].type().isDateTime())
        return TsqlValue::integer(1, type);
    return TsqlValue::integer(DateTimeValue::parse(textOf(a[0])) ? 1 : 0, type);
}

TsqlValue nullIfValue(Arguments a, const SqlType& type) {
    if (a[0].isNull())
        return TsqlValue::null(type);
    const auto order = compare(a[0], a[1]);
    return order && *order == 0 ? TsqlValue::null(type) : toResult(a[0], type);
}

bool isTrue(const TsqlValue& condition) {
    if (condition.isNull())
        return false;
    return integerOf(condition) != 0;
}

TsqlValue iifValue(Arguments a, const SqlType& type) {
    return convertImplicitly(isTrue(a[0]) ? a[1] : a[2], type, Assignment::Expression);
}

SqlType chooseType(Types t) {
    SqlType result = t[1];
    for (std::size_t i = 2; i < t.size(); ++i)
        result = commonType(result, t[i]);
    return result;
}

TsqlValue chooseValue(Arguments a, const SqlType& type) {
    if (a[0].isNull())
        return TsqlValue::null(type);
    const std::int64_t index = integerOf(a[0]);
    if (index < 1 || index >= std::int64_t(a.size()))
        return TsqlValue::null(type);
    return convertImplicitly(a[std::size_t(index)], type, Assignment::Expression);
}

SqlType intResult(Types) {
    return SqlType::integer();
}

// ---- the table

using Function = BuiltinFunction;

const Function functions[] = {
    {"ABS", 1, 1, [](Types t) { return numberArgument(t[0], "abs"); }, absValue},
    {"CEILING", 1, 1, [](Types t) { return wholeNumberType(t[0], "ceiling"); },
     [](Arguments a, const SqlType& r) { return wholeNumber(a, r, true); }},
    {"FLOOR", 1, 1, [](Types t) { return wholeNumberType(t[0], "floor"); },
     [](Arguments a, const SqlType& r) { return wholeNumber(a, r, false); }},
    {"ROUND", 2, 3, [](Types t) { return roundingType(t[0], "round"); }, roundValue},
    {"POWER", 2, 2, [](Types t) { return powerType(t[0]); }, powerValue},
    {"SQRT", 1, 1, [](Types t) { return floatResult(t, "sqrt"); },
     [](Arguments a, const SqlType& r) {
         return floatFunction(a, r, [](double x) {
             return x >= 0 ? std::sqrt(x) : std::numeric_limits<double>::quiet_NaN();
         });
     }},
    {"SQUARE", 1, 1, [](Types t) { return floatResult(t, "square"); },
     [](Arguments a, const SqlType& r) {
         if (anyNull(a))
             return TsqlValue::null(r);
         const double x = doubleOf(a[0]);
         if (std::isinf(x * x))
             throw TsqlError::arithmeticOverflow(QStringLiteral("float"));
         return TsqlValue::floating(x * x, r);
     }},
    {"EXP", 1, 1, [](Types t) { return floatResult(t, "exp"); },
     [](Arguments a, const SqlType& r) {
         if (anyNull(a))
             return TsqlValue::null(r);
         const double x = std::exp(doubleOf(a[0]));
         if (std::isinf(x))
             throw TsqlError::arithmeticOverflow(QStringLiteral("float"));
         return TsqlValue::floating(x, r);
     }},
    {"LOG", 1, 2, [](Types t) { return floatResult(t, "log"); },
     [](Arguments a, const SqlType& r) {
         if (anyNull(a))
             return TsqlValue::null(r);
         double x = checkedLog(doubleOf(a[0]));
         if (a.size() > 1) {
             const double base = doubleOf(a[1]);
             x = base > 0 && base != 1 ? x / std::log(base)
                                       : std::numeric_limits<double>::quiet_NaN();
         }
         if (std::isnan(x) || std::isinf(x))
             throw invalidFloatOperation();
         return TsqlValue::floating(x, r);
     }},
    {"LOG10", 1, 1, [](Types t) { return floatResult(t, "log10"); },
     [](Arguments a, const SqlType& r) {
         return floatFunction(a, r, [](double x) {
             return x > 0 ? std::log10(x) : std::numeric_limits<double>::quiet_NaN();
         });
     }},
    {"SIGN", 1, 1,
     [](Types t) {
         const SqlType type = roundingType(t[0], "sign");
         return type;
     },
     signValue},
    {"PI", 0, 0, [](Types) { return SqlType::floatType(); },
     [](Arguments, const SqlType& r) { return TsqlValue::floating(std::numbers::pi, r); }},

    {"LEN", 1, 1, [](Types t) { return lengthType(stringArgument(t[0], 1, "len")); }, lengthValue},
    {"DATALENGTH", 1, 1, [](Types t) { return lengthType(t[0]); }, dataLengthValue},
    {"LEFT", 2, 2, [](Types t) { return trimType(t, "left"); }, leftValue},
    {"RIGHT", 2, 2, [](Types t) { return trimType(t, "right"); }, rightValue},
    {"SUBSTRING", 3, 3, substringType, substringValue},
    {"LTRIM", 1, 1, [](Types t) { return trimType(t, "ltrim"); },
     [](Arguments a, const SqlType& r) { return trimValue(a, r, true, false); }},
    {"RTRIM", 1, 1, [](Types t) { return trimType(t, "rtrim"); },
     [](Arguments a, const SqlType& r) { return trimValue(a, r, false, true); }},
    {"TRIM", 1, 1, [](Types t) { return trimType(t, "trim"); },
     [](Arguments a, const SqlType& r) { return trimValue(a, r, true, true); }},
    {"UPPER", 1, 1, [](Types t) { return sameTextType(t, "upper"); },
     [](Arguments a, const SqlType& r) { return caseValue(a, r, true); }},
    {"LOWER", 1, 1, [](Types t) { return sameTextType(t, "lower"); },
     [](Arguments a, const SqlType& r) { return caseValue(a, r, false); }},
    {"REPLACE", 3, 3, [](Types t) { return growingTextType(t, 0, "replace"); }, replaceValue},
    {"REPLICATE", 2, 2,
     [](Types t) {
         const SqlType source = stringArgument(t[0], 1, "replicate");
         return varCharLike(source, source.length == SqlType::maxLength ? SqlType::maxLength
                                                                        : maxCharacters(source));
     },
     replicateValue},
    {"SPACE", 1, 1, [](Types) { return SqlType::varChar(8000); }, spaceValue},
    {"STUFF", 4, 4,
     [](Types t) {
         const SqlType types[] = {t[0], t[3]};
         return growingTextType(types, 0, "stuff");
     },
     stuffValue},
    {"CHARINDEX", 2, 3, [](Types t) { return positionType(t, 1, "charindex"); }, charIndexValue},
    {"PATINDEX", 2, 2, [](Types t) { return positionType(t, 1, "patindex"); }, patIndexValue},
    {"REVERSE", 1, 1, [](Types t) { return trimType(t, "reverse"); }, reverseValue},
    {"ASCII", 1, 1,
     [](Types t) {
         stringArgument(t[0], 1, "ascii");
         return SqlType::integer();
     },
     asciiValue},
    {"CHAR", 1, 1, [](Types) { return SqlType::charType(1); }, charValue},
    {"NCHAR", 1, 1, [](Types) { return SqlType::nChar(1); }, nCharValue},
    {"UNICODE", 1, 1,
     [](Types t) {
         stringArgument(t[0], 1, "unicode");
         return SqlType::integer();
     },
     unicodeValue},
    {"STR", 1, 3, strType, strValue},
    {"CONCAT", 2, 254, concatType, concatValue},
    {"QUOTENAME", 1, 2, [](Types) { return SqlType::nVarChar(258); }, quoteNameValue},

    {"YEAR", 1, 1,
     [](Types t) {
         dateArgument(t[0], 1, "year");
         return SqlType::integer();
     },
     [](Arguments a, const SqlType& r) { return datePieceValue(a, r, DatePart::Year); }},
    {"MONTH", 1, 1,
     [](Types t) {
         dateArgument(t[0], 1, "month");
         return SqlType::integer();
     },
     [](Arguments a, const SqlType& r) { return datePieceValue(a, r, DatePart::Month); }},
    {"DAY", 1, 1,
     [](Types t) {
         dateArgument(t[0], 1, "day");
         return SqlType::integer();
     },
     [](Arguments a, const SqlType& r) { return datePieceValue(a, r, DatePart::Day); }},
    {"DATEPART", 2, 2,
     [](Types t) {
         dateArgument(t[1], 2, "datepart");
         return SqlType::integer();
     },
     datePartValue},
    {"DATENAME", 2, 2,
     [](Types t) {
         dateArgument(t[1], 2, "datename");
         return SqlType::nVarChar(30);
     },
     dateNameValue},
    {"DATEADD", 3, 3, dateAddType, dateAddValue},
    {"DATEDIFF", 3, 3, dateDiffType, dateDiffValue},
    {"EOMONTH", 1, 2,
     [](Types t) {
         dateArgument(t[0], 1, "eomonth");
         return SqlType::date();
     },
     endOfMonthValue},
    {"DATEFROMPARTS", 3, 3, [](Types) { return SqlType::date(); }, dateFromPartsValue},

    {"ISNUMERIC", 1, 1, intResult, isNumericValue},
    {"ISDATE", 1, 1,
     [](Types t) {
         if (!t[0].isString() && !t[0].isDateTime() && t[0].kind != TypeKind::Null &&
             t[0].kind != TypeKind::Variant)
             throw invalidArgument(t[0], 1, "isdate");
         return SqlType::integer();
     },
     isDateValue},
    {"NULLIF", 2, 2,
     [](Types t) {
         commonType(t[0], t[1]); // the two must be comparable
         return t[0].kind == TypeKind::Null ? SqlType::integer() : t[0];
     },
     nullIfValue},
    {"IIF", 3, 3, [](Types t) { return commonType(t[1], t[2]); }, iifValue},
    {"CHOOSE", 2, 254, chooseType, chooseValue},
};

// ---- Sum and Avg

enum class Summed : std::uint8_t { Integer, Exact, Approximate };

Summed summedOf(const SqlType& type) {
    if (type.isInteger())
        return Summed::Integer;
    if (type.isApproximate())
        return Summed::Approximate;
    return Summed::Exact;
}

SqlType aggregateArgument(const SqlType& argument, const char* name) {
    if (argument.kind == TypeKind::Variant)
        return argument;
    if (!argument.isNumeric() || argument.kind == TypeKind::Bit)
        throw TsqlError::invalidOperand(argument.kind == TypeKind::Null ? QStringLiteral("NULL")
                                                                        : argument.baseName(),
                                        QString::fromLatin1(name));
    return argument;
}

} // namespace

const BuiltinFunction* findBuiltinFunction(const QString& name) {
    for (const auto& function : functions) {
        if (name.compare(QLatin1String(function.name), Qt::CaseInsensitive) == 0)
            return &function;
    }
    return nullptr;
}

std::optional<bool> like(const TsqlValue& text, const TsqlValue& pattern, QChar escape) {
    if (text.isNull() || pattern.isNull())
        return std::nullopt;
    return CollatedText::matchesPattern(textOf(text), textOf(pattern),
                                        collationOf({text.type(), pattern.type()}), escape);
}

SqlType sumResultType(const SqlType& argument) {
    const SqlType type = aggregateArgument(argument, "sum");
    switch (type.kind) {
    case TypeKind::TinyInt:
    case TypeKind::SmallInt:
    case TypeKind::Int:
        return SqlType::integer();
    case TypeKind::Decimal:
        return SqlType::decimal(38, type.scale);
    case TypeKind::SmallMoney:
        return SqlType::money();
    case TypeKind::Real:
        return SqlType::floatType();
    default:
        return type;
    }
}

SqlType avgResultType(const SqlType& argument) {
    const SqlType type = aggregateArgument(argument, "avg");
    switch (type.kind) {
    case TypeKind::TinyInt:
    case TypeKind::SmallInt:
    case TypeKind::Int:
        return SqlType::integer();
    case TypeKind::Decimal:
        return SqlType::decimal(38, std::max<int>(type.scale, 6));
    case TypeKind::SmallMoney:
        return SqlType::money();
    case TypeKind::Real:
        return SqlType::floatType();
    default:
        return type;
    }
}

Accumulator::Accumulator(Kind kind, const SqlType& argument)
    : kind_(kind), argument_(argument),
      result_(kind == Kind::Sum ? sumResultType(argument) : avgResultType(argument)) {
    decimal_ = Decimal(0, argument.isMoney() ? 4 : argument.scale);
}

void Accumulator::add(const TsqlValue& value) {
    if (value.isNull())
        return;
    if (argument_.kind == TypeKind::Variant) {
        // The first value decides what a column of unknown type sums up as.
        argument_ = value.type();
        if (argument_.kind == TypeKind::Variant) {
            const std::size_t payload = value.payload().index();
            argument_ = payload == 1   ? SqlType::bigInt()
                        : payload == 3 ? SqlType::decimal(38, value.asDecimal().scale())
                                       : SqlType::floatType();
        }
        aggregateArgument(argument_, kind_ == Kind::Sum ? "sum" : "avg");
        result_ = kind_ == Kind::Sum ? sumResultType(argument_) : avgResultType(argument_);
        decimal_ = Decimal(0, argument_.isMoney() ? 4 : argument_.scale);
    }
    ++count_;
    switch (summedOf(argument_)) {
    case Summed::Integer:
        integer_ += integerOf(value);
        break;
    case Summed::Exact: {
        const TsqlValue exact = value.payload().index() == 3
                                    ? value
                                    : convertImplicitly(value, argument_, Assignment::Expression);
        decimal_ = Decimal::add(decimal_, exact.asDecimal(), decimal_.scale());
        break;
    }
    case Summed::Approximate:
        real_ += doubleOf(value);
        break;
    }
}

void Accumulator::remove(const TsqlValue& value) {
    if (value.isNull() || count_ == 0)
        return;
    --count_;
    switch (summedOf(argument_)) {
    case Summed::Integer:
        integer_ -= integerOf(value);
        break;
    case Summed::Exact: {
        const TsqlValue exact = value.payload().index() == 3
                                    ? value
                                    : convertImplicitly(value, argument_, Assignment::Expression);
        decimal_ = Decimal::subtract(decimal_, exact.asDecimal(), decimal_.scale());
        break;
    }
    case Summed::Approximate:
        real_ -= doubleOf(value);
        break;
    }
}

TsqlValue Accumulator::result() const {
    if (count_ == 0)
        return TsqlValue::null(result_);
    switch (summedOf(argument_)) {
    case Summed::Integer: {
        const Decimal::Mantissa value = kind_ == Kind::Sum ? integer_ : integer_ / count_;
        const Decimal::Mantissa limit =
            result_.kind == TypeKind::Int
                ? Decimal::Mantissa(maxInt)
                : Decimal::Mantissa(std::numeric_limits<std::int64_t>::max());
        if (value > limit || value < -limit - 1)
            throw TsqlError::arithmeticOverflow(result_.baseName());
        return TsqlValue::integer(std::int64_t(value), result_);
    }
    case Summed::Exact: {
        const Decimal value =
            kind_ == Kind::Sum
                ? decimal_
                : Decimal::divide(decimal_, Decimal::fromInteger(count_), result_.scale);
        if (result_.isMoney()) {
            const Decimal::Mantissa limit = std::numeric_limits<std::int64_t>::max();
            if (value.mantissa() > limit || value.mantissa() < -limit - 1)
                throw TsqlError::arithmeticOverflow(result_.baseName());
        }
        return TsqlValue::decimal(value, result_);
    }
    case Summed::Approximate: {
        const double value = kind_ == Kind::Sum ? real_ : real_ / double(count_);
        if (!std::isfinite(value))
            throw TsqlError::arithmeticOverflow(QStringLiteral("float"));
        return TsqlValue::floating(value, result_);
    }
    }
    return TsqlValue::null(result_);
}

} // namespace db::tsql
