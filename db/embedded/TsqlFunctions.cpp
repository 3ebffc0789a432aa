#include "db/embedded/TsqlFunctions.h"

#include "db/embedded/DateTimeText.h"
#include "db/embedded/DecimalRounding.h"
#include "db/embedded/EmbeddedErrors.h"

#include <QDate>
#include <QRegularExpression>

#include <sqlite3.h>

#include <cmath>
#include <limits>

namespace db {

namespace {

// Thrown inside a function body and turned into the statement's error.
struct FunctionFailure {
    QString text;
};

template <typename Body> void guarded(sqlite3_context* context, Body body) {
    try {
        body();
    } catch (const FunctionFailure& failure) {
        const QByteArray text = failure.text.toUtf8();
        sqlite3_result_error(context, text.constData(), int(text.size()));
    } catch (const std::exception& error) {
        sqlite3_result_error(context, error.what(), -1);
    } catch (...) {
        sqlite3_result_error(context, "unexpected failure in an SQL function", -1);
    }
}

QByteArray valueBytes(sqlite3_value* value) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
    return QByteArray(text, sqlite3_value_bytes(value));
}

QString valueText(sqlite3_value* value) {
    return QString::fromUtf8(valueBytes(value));
}

void resultText(sqlite3_context* context, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    sqlite3_result_text(context, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

// A number of days since 1 January 1900, as SQL Server reads a number as a date-time.
DateTimeParts daysToDateTime(double days) {
    const double whole = std::floor(days);
    const QDate date = QDate(1900, 1, 1).addDays(qint64(whole));
    const auto milliseconds = qint64(std::llround((days - whole) * 86400000.0));
    const QTime time = QTime(0, 0).addMSecs(int(milliseconds % 86400000));
    return DateTimeText::fromDateTime(QDateTime(date.addDays(milliseconds / 86400000), time));
}

// The date-time in a value; nothing for NULL; an error for a text that is none.
std::optional<DateTimeParts> valueDateTime(sqlite3_value* value) {
    switch (sqlite3_value_type(value)) {
    case SQLITE_NULL:
        return std::nullopt;
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        return daysToDateTime(sqlite3_value_double(value));
    default: {
        const QByteArray text = valueBytes(value);
        if (auto parts = DateTimeText::parse(text.constData(), int(text.size())))
            return parts;
        throw FunctionFailure{EmbeddedErrors::dateConversionText()};
    }
    }
}

template <typename Field>
void datePart(sqlite3_context* context, sqlite3_value** arguments, Field field) {
    guarded(context, [&] {
        if (const auto parts = valueDateTime(arguments[0]))
            sqlite3_result_int(context, field(*parts));
        else
            sqlite3_result_null(context);
    });
}

void yearFunction(sqlite3_context* context, int, sqlite3_value** arguments) {
    datePart(context, arguments, [](const DateTimeParts& parts) { return parts.year; });
}

void monthFunction(sqlite3_context* context, int, sqlite3_value** arguments) {
    datePart(context, arguments, [](const DateTimeParts& parts) { return parts.month; });
}

void dayFunction(sqlite3_context* context, int, sqlite3_value** arguments) {
    datePart(context, arguments, [](const DateTimeParts& parts) { return parts.day; });
}

void getDateFunction(sqlite3_context* context, int, sqlite3_value**) {
    guarded(context, [&] {
        resultText(context,
                   DateTimeText::format(DateTimeText::fromDateTime(QDateTime::currentDateTime())));
    });
}

void scopeIdentityFunction(sqlite3_context* context, int, sqlite3_value**) {
    sqlite3_result_int64(context, sqlite3_last_insert_rowid(sqlite3_context_db_handle(context)));
}

// Characters without the trailing blanks, as T-SQL's Len counts.
void lenFunction(sqlite3_context* context, int, sqlite3_value** arguments) {
    if (sqlite3_value_type(arguments[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(arguments[0]));
    int length = sqlite3_value_bytes(arguments[0]);
    while (length > 0 && text[length - 1] == ' ')
        --length;
    int characters = 0;
    for (int i = 0; i < length; ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80)
            ++characters;
    }
    sqlite3_result_int(context, characters);
}

void roundFunction(sqlite3_context* context, int count, sqlite3_value** arguments) {
    guarded(context, [&] {
        for (int i = 0; i < count; ++i) {
            if (sqlite3_value_type(arguments[i]) == SQLITE_NULL) {
                sqlite3_result_null(context);
                return;
            }
        }
        const int decimals = count > 1 ? sqlite3_value_int(arguments[1]) : 0;
        const bool truncate = count > 2 && sqlite3_value_int(arguments[2]) != 0;
        sqlite3_value* value = arguments[0];
        if (sqlite3_value_type(value) == SQLITE_INTEGER) {
            sqlite3_result_int64(context, DecimalRounding::roundInteger(sqlite3_value_int64(value),
                                                                        decimals, truncate));
            return;
        }
        double number = sqlite3_value_double(value);
        if (sqlite3_value_type(value) != SQLITE_FLOAT) {
            const auto parsed = DecimalRounding::parse(valueText(value), true);
            if (!parsed)
                throw FunctionFailure{
                    EmbeddedErrors::numericConversionText(QStringLiteral("float"))};
            number = *parsed;
        }
        sqlite3_result_double(context, DecimalRounding::round(number, decimals, truncate));
    });
}

// Decimal and money conversions: round to the scale, refuse values too wide for the precision.
void resultDecimal(sqlite3_context* context, sqlite3_value* value, int scale, int precision,
                   bool money) {
    const QString typeName = money ? QStringLiteral("money") : QStringLiteral("numeric");
    const double limit = std::pow(10.0, precision - scale);
    switch (sqlite3_value_type(value)) {
    case SQLITE_NULL:
        sqlite3_result_null(context);
        return;
    case SQLITE_INTEGER: {
        const sqlite3_int64 number = sqlite3_value_int64(value);
        if (std::fabs(double(number)) >= limit)
            throw FunctionFailure{EmbeddedErrors::overflowText(typeName)};
        if (scale == 0)
            sqlite3_result_int64(context, number);
        else
            sqlite3_result_double(context, double(number));
        return;
    }
    default:
        break;
    }
    double number = 0;
    if (sqlite3_value_type(value) == SQLITE_FLOAT) {
        number = sqlite3_value_double(value);
    } else {
        const QString text = valueText(value);
        const auto parsed = DecimalRounding::parse(text, false);
        if (parsed)
            number = *parsed;
        else if (!(money && text.trimmed().isEmpty()))
            throw FunctionFailure{money ? EmbeddedErrors::moneyConversionText()
                                        : EmbeddedErrors::numericConversionText(typeName)};
    }
    const double rounded = DecimalRounding::round(number, scale);
    if (!std::isfinite(rounded) || std::fabs(rounded) >= limit)
        throw FunctionFailure{EmbeddedErrors::overflowText(typeName)};
    if (scale == 0 && std::fabs(rounded) < 9e15)
        sqlite3_result_int64(context, sqlite3_int64(rounded));
    else
        sqlite3_result_double(context, rounded);
}

// tsql_decimal(value, scale, precision)
void decimalFunction(sqlite3_context* context, int, sqlite3_value** arguments) {
    guarded(context, [&] {
        resultDecimal(context, arguments[0], sqlite3_value_int(arguments[1]),
                      sqlite3_value_int(arguments[2]), false);
    });
}

void moneyFunction(sqlite3_context* context, int, sqlite3_value** arguments) {
    guarded(context, [&] { resultDecimal(context, arguments[0], 4, 19, true); });
}

void intFunction(sqlite3_context* context, int, sqlite3_value** arguments) {
    guarded(context, [&] {
        sqlite3_value* value = arguments[0];
        double number = 0;
        switch (sqlite3_value_type(value)) {
        case SQLITE_NULL:
            sqlite3_result_null(context);
            return;
        case SQLITE_INTEGER:
            number = double(sqlite3_value_int64(value));
            break;
        case SQLITE_FLOAT:
            number = std::trunc(sqlite3_value_double(value));
            break;
        default: {
            const QString text = valueText(value);
            const auto parsed = DecimalRounding::parseInteger(text);
            if (!parsed && !text.trimmed().isEmpty())
                throw FunctionFailure{
                    EmbeddedErrors::conversionFailedText(text, QStringLiteral("int"))};
            number = parsed ? double(*parsed) : 0.0;
            break;
        }
        }
        if (number > std::numeric_limits<qint32>::max() ||
            number < std::numeric_limits<qint32>::min())
            throw FunctionFailure{EmbeddedErrors::overflowText(QStringLiteral("int"))};
        sqlite3_result_int64(context, sqlite3_int64(number));
    });
}

void floatFunction(sqlite3_context* context, int, sqlite3_value** arguments) {
    guarded(context, [&] {
        sqlite3_value* value = arguments[0];
        switch (sqlite3_value_type(value)) {
        case SQLITE_NULL:
            sqlite3_result_null(context);
            return;
        case SQLITE_INTEGER:
        case SQLITE_FLOAT:
            sqlite3_result_double(context, sqlite3_value_double(value));
            return;
        default:
            break;
        }
        const auto parsed = DecimalRounding::parse(valueText(value), true);
        if (!parsed)
            throw FunctionFailure{EmbeddedErrors::numericConversionText(QStringLiteral("float"))};
        sqlite3_result_double(context, *parsed);
    });
}

// The date styles of Convert that turn a date-time into text.
QString formatDateStyle(const DateTimeParts& parts, int style) {
    const QDateTime value = parts.toDateTime();
    switch (style) {
    case 101:
        return value.toString(QStringLiteral("MM/dd/yyyy"));
    case 103:
        return value.toString(QStringLiteral("dd/MM/yyyy"));
    case 104:
        return value.toString(QStringLiteral("dd.MM.yyyy"));
    case 105:
        return value.toString(QStringLiteral("dd-MM-yyyy"));
    case 108:
        return value.toString(QStringLiteral("HH:mm:ss"));
    case 111:
        return value.toString(QStringLiteral("yyyy/MM/dd"));
    case 112:
        return value.toString(QStringLiteral("yyyyMMdd"));
    case 23:
        return value.toString(QStringLiteral("yyyy-MM-dd"));
    case 120:
        return value.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case 121:
    case 126:
        return value.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    default:
        return DateTimeText::format(parts);
    }
}

// tsql_varchar(value, length, pad, style): length -1 for max, pad for Char(n), style -1 for none.
void varcharFunction(sqlite3_context* context, int, sqlite3_value** arguments) {
    guarded(context, [&] {
        sqlite3_value* value = arguments[0];
        const int length = sqlite3_value_int(arguments[1]);
        const bool pad = sqlite3_value_int(arguments[2]) != 0;
        const int style = sqlite3_value_int(arguments[3]);
        QString text;
        switch (sqlite3_value_type(value)) {
        case SQLITE_NULL:
            sqlite3_result_null(context);
            return;
        case SQLITE_INTEGER:
            text = QString::number(sqlite3_value_int64(value));
            break;
        case SQLITE_FLOAT:
            text = DecimalRounding::toText(sqlite3_value_double(value));
            break;
        default: {
            text = valueText(value);
            if (style >= 0) {
                if (const auto parts = DateTimeText::parse(text))
                    text = formatDateStyle(*parts, style);
            }
            break;
        }
        }
        if (length >= 0) {
            text.truncate(length);
            if (pad && text.size() < length)
                text = text.leftJustified(length, ' ');
        }
        resultText(context, text);
    });
}

std::optional<DateTimeParts> parseDateStyle(const QString& text, int style) {
    static const QRegularExpression slashed(QStringLiteral(
        R"(^\s*(\d{1,2})[/.-](\d{1,2})[/.-](\d{4})(?:\s+(\d{1,2}):(\d{2})(?::(\d{2}))?)?\s*$)"));
    const auto match = slashed.match(text);
    if (!match.hasMatch() || (style != 101 && style != 103 && style != 104 && style != 105))
        return std::nullopt;
    const int first = match.captured(1).toInt();
    const int second = match.captured(2).toInt();
    DateTimeParts parts;
    parts.year = match.captured(3).toInt();
    parts.month = style == 101 ? first : second;
    parts.day = style == 101 ? second : first;
    parts.hour = match.captured(4).toInt();
    parts.minute = match.captured(5).toInt();
    parts.second = match.captured(6).toInt();
    if (!QDate::isValid(parts.year, parts.month, parts.day) || parts.hour > 23 ||
        parts.minute > 59 || parts.second > 59)
        return std::nullopt;
    return parts;
}

// tsql_datetime(value, style, dateOnly)
void dateTimeFunction(sqlite3_context* context, int, sqlite3_value** arguments) {
    guarded(context, [&] {
        sqlite3_value* value = arguments[0];
        const int style = sqlite3_value_int(arguments[1]);
        const bool dateOnly = sqlite3_value_int(arguments[2]) != 0;
        if (sqlite3_value_type(value) == SQLITE_NULL) {
            sqlite3_result_null(context);
            return;
        }
        std::optional<DateTimeParts> parts;
        if (sqlite3_value_type(value) == SQLITE_TEXT)
            parts = parseDateStyle(valueText(value), style);
        if (!parts)
            parts = valueDateTime(value);
        if (dateOnly)
            resultText(context, parts->toDateTime().toString(QStringLiteral("yyyy-MM-dd")));
        else
            resultText(context, DateTimeText::format(*parts));
    });
}

void leftOrRight(sqlite3_context* context, sqlite3_value** arguments, bool left) {
    guarded(context, [&] {
        if (sqlite3_value_type(arguments[0]) == SQLITE_NULL ||
            sqlite3_value_type(arguments[1]) == SQLITE_NULL) {
            sqlite3_result_null(context);
            return;
        }
        const int count = sqlite3_value_int(arguments[1]);
        if (count < 0)
            throw FunctionFailure{
                QStringLiteral("Invalid length parameter passed to the %1 "
                               "function.")
                    .arg(left ? QStringLiteral("left") : QStringLiteral("right"))};
        const QString text = valueText(arguments[0]);
        resultText(context, left ? text.left(count) : text.right(count));
    });
}

void leftFunction(sqlite3_context* context, int, sqlite3_value** arguments) {
    leftOrRight(context, arguments, true);
}

void rightFunction(sqlite3_context* context, int, sqlite3_value** arguments) {
    leftOrRight(context, arguments, false);
}

// CharIndex(find, text[, start]): the 1-based position, 0 when absent; case as the collation.
void charIndexFunction(sqlite3_context* context, int count, sqlite3_value** arguments) {
    guarded(context, [&] {
        for (int i = 0; i < count; ++i) {
            if (sqlite3_value_type(arguments[i]) == SQLITE_NULL) {
                sqlite3_result_null(context);
                return;
            }
        }
        const QString find = valueText(arguments[0]);
        const QString text = valueText(arguments[1]);
        const int start = count > 2 ? qMax(1, sqlite3_value_int(arguments[2])) : 1;
        if (find.isEmpty()) {
            sqlite3_result_int(context, 0);
            return;
        }
        sqlite3_result_int(context, int(text.indexOf(find, start - 1, Qt::CaseInsensitive)) + 1);
    });
}

// Sum with Neumaier's compensation; integers stay exact integers until a real comes along.
struct SumState {
    qint64 count;
    bool real;
    bool overflow;
    sqlite3_int64 integer;
    double sum;
    double compensation;
};

void addReal(SumState& state, double value) {
    const double total = state.sum + value;
    if (std::fabs(state.sum) >= std::fabs(value))
        state.compensation += (state.sum - total) + value;
    else
        state.compensation += (value - total) + state.sum;
    state.sum = total;
}

void sumAdd(sqlite3_context* context, sqlite3_value* value, bool inverse) {
    const int type = sqlite3_value_numeric_type(value);
    if (type == SQLITE_NULL)
        return;
    auto* state = static_cast<SumState*>(sqlite3_aggregate_context(context, sizeof(SumState)));
    if (state == nullptr)
        return;
    state->count += inverse ? -1 : 1;
    if (type == SQLITE_INTEGER && !state->real) {
        sqlite3_int64 number = sqlite3_value_int64(value);
        const bool overflow = inverse
                                  ? __builtin_sub_overflow(state->integer, number, &state->integer)
                                  : __builtin_add_overflow(state->integer, number, &state->integer);
        state->overflow = state->overflow || overflow;
        return;
    }
    if (!state->real) {
        state->real = true;
        state->sum = double(state->integer);
    }
    const double number = sqlite3_value_double(value);
    addReal(*state, inverse ? -number : number);
}

void sumStep(sqlite3_context* context, int, sqlite3_value** arguments) {
    sumAdd(context, arguments[0], false);
}

void sumInverse(sqlite3_context* context, int, sqlite3_value** arguments) {
    sumAdd(context, arguments[0], true);
}

void sumValue(sqlite3_context* context) {
    auto* state = static_cast<SumState*>(sqlite3_aggregate_context(context, 0));
    if (state == nullptr || state->count == 0)
        sqlite3_result_null(context);
    else if (state->overflow && !state->real)
        sqlite3_result_error(context, "integer overflow", -1);
    else if (state->real)
        sqlite3_result_double(context, state->sum + state->compensation);
    else
        sqlite3_result_int64(context, state->integer);
}

using ScalarFunction = void (*)(sqlite3_context*, int, sqlite3_value**);

struct ScalarDefinition {
    const char* name;
    int argumentCount;
    ScalarFunction function;
    bool deterministic;
};

constexpr ScalarDefinition scalarFunctions[] = {
    {"year", 1, yearFunction, true},
    {"month", 1, monthFunction, true},
    {"day", 1, dayFunction, true},
    {"getdate", 0, getDateFunction, false},
    {"scope_identity", 0, scopeIdentityFunction, false},
    {"len", 1, lenFunction, true},
    {"round", 1, roundFunction, true},
    {"round", 2, roundFunction, true},
    {"round", 3, roundFunction, true},
    {"charindex", 2, charIndexFunction, true},
    {"charindex", 3, charIndexFunction, true},
    {"tsql_decimal", 3, decimalFunction, true},
    {"tsql_money", 1, moneyFunction, true},
    {"tsql_int", 1, intFunction, true},
    {"tsql_float", 1, floatFunction, true},
    {"tsql_varchar", 4, varcharFunction, true},
    {"tsql_datetime", 3, dateTimeFunction, true},
    {"tsql_left", 2, leftFunction, true},
    {"tsql_right", 2, rightFunction, true},
};

} // namespace

void TsqlFunctions::registerOn(sqlite3* database) {
    for (const auto& definition : scalarFunctions) {
        const int flags = SQLITE_UTF8 | (definition.deterministic ? SQLITE_DETERMINISTIC : 0);
        if (sqlite3_create_function_v2(database, definition.name, definition.argumentCount, flags,
                                       nullptr, definition.function, nullptr, nullptr,
                                       nullptr) != SQLITE_OK)
            throw EmbeddedErrors::make(QStringLiteral("1"), 1,
                                       QString::fromUtf8(sqlite3_errmsg(database)));
    }
    if (sqlite3_create_window_function(database, "sum", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                       nullptr, sumStep, sumValue, sumValue, sumInverse,
                                       nullptr) != SQLITE_OK)
        throw EmbeddedErrors::make(QStringLiteral("1"), 1,
                                   QString::fromUtf8(sqlite3_errmsg(database)));
}

} // namespace db
