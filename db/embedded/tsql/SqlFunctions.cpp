#include "db/embedded/tsql/SqlFunctions.h"

#include "db/embedded/DateTimeText.h"
#include "db/embedded/tsql/BuiltinFunctions.h"
#include "db/embedded/tsql/LikePattern.h"
#include "db/embedded/tsql/SqliteValues.h"
#include "db/embedded/tsql/TsqlValue.h"

#include <QDateTime>
#include <QUuid>

#include <sqlite3.h>

#include <charconv>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

namespace db::tsql {

namespace {

SqlFunctions* owner(sqlite3_context* context) {
    return static_cast<SqlFunctions*>(sqlite3_user_data(context));
}

SqlType typeArgument(sqlite3_value* value) {
    return SqlType::fromCode(sqlite3_value_int64(value));
}

// Runs a function body: a T-SQL error fails the statement and is kept for the connection.
template <typename Body> void guarded(sqlite3_context* context, Body body) {
    try {
        body();
    } catch (const TsqlError& error) {
        owner(context)->setError(error);
        const QByteArray text = error.message().toUtf8();
        sqlite3_result_error(context, text.constData(), int(text.size()));
    } catch (const std::exception& error) {
        sqlite3_result_error(context, error.what(), -1);
    } catch (...) {
        sqlite3_result_error(context, "unexpected failure in an SQL function", -1);
    }
}

// ---- fast paths
// The functions below run for every row, most often on doubles, integers and decimals that
// SQLite keeps as doubles. These paths give the result of the general conversion and
// arithmetic for those cases without building values; anything else (NULLs, errors, other
// types) goes the general way.

// A float operand kept as a number.
bool plainFloat(sqlite3_value* value, const SqlType& type, double& result) {
    if (type.kind != TypeKind::Float)
        return false;
    const int storage = sqlite3_value_type(value);
    if (storage != SQLITE_FLOAT && storage != SQLITE_INTEGER)
        return false;
    result = sqlite3_value_double(value);
    return true;
}

// A decimal, money or integer operand whose exact value is at most 15 digits, as the double
// nearest it. A decimal kept as a double reads as that double's 15 digits at the type's scale;
// when the decimal m / 10^scale gives the double back, that is the decimal, and the double is
// its nearest. Two such doubles compare as their decimals do.
bool exactAsDouble(sqlite3_value* value, const SqlType& type, double& result) {
    const int storage = sqlite3_value_type(value);
    if (type.isInteger()) {
        if (storage != SQLITE_INTEGER)
            return false;
        const std::int64_t integer = sqlite3_value_int64(value);
        if (integer <= -1000000000000000 || integer >= 1000000000000000)
            return false;
        result = double(integer);
        return true;
    }
    if ((type.kind != TypeKind::Decimal && !type.isMoney()) || storage != SQLITE_FLOAT)
        return false;
    const double stored = sqlite3_value_double(value);
    if (!Decimal::shortMantissa(stored, type.scale))
        return false;
    result = stored;
    return true;
}

// An exact operand converted to float: the double nearest its value.
bool exactToFloat(sqlite3_value* value, const SqlType& type, double& result) {
    if (exactAsDouble(value, type, result))
        return true;
    if ((type.kind != TypeKind::Decimal && !type.isMoney()) ||
        sqlite3_value_type(value) != SQLITE_BLOB)
        return false;
    const void* data = sqlite3_value_blob(value);
    const int size = sqlite3_value_bytes(value);
    if (!SqliteValues::isExactBlob(data, size))
        return false;
    const Decimal decimal = SqliteValues::fromExactBlob(data, size);
    if (decimal.scale() != type.scale)
        return false;
    result = decimal.toDouble();
    return true;
}

// An integer operand kept as an integer.
bool plainInteger(sqlite3_value* value, const SqlType& type, std::int64_t& result) {
    if (!type.isInteger() || sqlite3_value_type(value) != SQLITE_INTEGER)
        return false;
    result = sqlite3_value_int64(value);
    return true;
}

bool fitsInteger(std::int64_t value, TypeKind kind) {
    switch (kind) {
    case TypeKind::Int:
        return value >= std::numeric_limits<std::int32_t>::min() &&
               value <= std::numeric_limits<std::int32_t>::max();
    case TypeKind::BigInt:
        return true;
    default:
        return false;
    }
}

bool fastOperator(sqlite3_context* context, sqlite3_value** arguments) {
    const char op = char(sqlite3_value_int(arguments[0]));
    const SqlType type = typeArgument(arguments[1]);
    const SqlType leftType = typeArgument(arguments[3]);
    const SqlType rightType = typeArgument(arguments[5]);
    if (type.kind == TypeKind::Float) {
        double a = 0, b = 0;
        if (!(plainFloat(arguments[2], leftType, a) || exactToFloat(arguments[2], leftType, a)) ||
            !(plainFloat(arguments[4], rightType, b) || exactToFloat(arguments[4], rightType, b)))
            return false;
        double result = 0;
        switch (op) {
        case '+':
            result = a + b;
            break;
        case '-':
            result = a - b;
            break;
        case '*':
            result = a * b;
            break;
        case '/':
            if (b == 0)
                return false;
            result = a / b;
            break;
        default:
            return false;
        }
        if (!std::isfinite(result))
            return false;
        sqlite3_result_double(context, result);
        return true;
    }
    if ((type.kind == TypeKind::Int || type.kind == TypeKind::BigInt) &&
        leftType.kind == type.kind && rightType.kind == type.kind) {
        std::int64_t a = 0, b = 0, result = 0;
        if (!plainInteger(arguments[2], leftType, a) || !plainInteger(arguments[4], rightType, b))
            return false;
        switch (op) {
        case '+':
            if (__builtin_add_overflow(a, b, &result))
                return false;
            break;
        case '-':
            if (__builtin_sub_overflow(a, b, &result))
                return false;
            break;
        case '*':
            if (__builtin_mul_overflow(a, b, &result))
                return false;
            break;
        default:
            return false;
        }
        if (!fitsInteger(result, type.kind))
            return false;
        sqlite3_result_int64(context, result);
        return true;
    }
    return false;
}

bool fastConvert(sqlite3_context* context, sqlite3_value** arguments) {
    const SqlType target = typeArgument(arguments[0]);
    const SqlType source = typeArgument(arguments[2]);
    sqlite3_value* value = arguments[1];
    if (target.kind == TypeKind::Float) {
        double number = 0;
        if (!plainFloat(value, source, number) && !exactToFloat(value, source, number))
            return false;
        sqlite3_result_double(context, number);
        return true;
    }
    if ((target.kind == TypeKind::Char || target.kind == TypeKind::VarChar) &&
        target.length != SqlType::maxLength) {
        std::int64_t integer = 0;
        if (!plainInteger(value, source, integer) || source.kind == TypeKind::Bit)
            return false;
        char text[32];
        const auto written = std::to_chars(text, text + sizeof text, integer);
        const int length = int(written.ptr - text);
        if (length > target.length)
            return false;
        if (target.kind == TypeKind::Char && length < target.length) {
            QByteArray padded(text, length);
            padded.append(target.length - length, ' ');
            sqlite3_result_text(context, padded.constData(), int(padded.size()), SQLITE_TRANSIENT);
            return true;
        }
        sqlite3_result_text(context, text, length, SQLITE_TRANSIENT);
        return true;
    }
    // A decimal already of the type, as its exact blob.
    if (target == source && (target.kind == TypeKind::Decimal || target.isMoney()) &&
        sqlite3_value_type(value) == SQLITE_BLOB &&
        SqliteValues::isExactBlob(sqlite3_value_blob(value), sqlite3_value_bytes(value))) {
        sqlite3_result_value(context, value);
        return true;
    }
    return false;
}

// A float stored into a decimal column, kept as a double when at most 15 digits.
bool fastStore(sqlite3_context* context, sqlite3_value** arguments) {
    const SqlType target = typeArgument(arguments[0]);
    double number = 0;
    if (target.kind != TypeKind::Decimal ||
        !plainFloat(arguments[1], typeArgument(arguments[2]), number))
        return false;
    const auto decimal = Decimal::fromDouble(number, target.scale);
    if (!decimal || decimal->digits() > 15 || decimal->digits() > target.precision)
        return false;
    sqlite3_result_double(context, decimal->toDouble());
    return true;
}

bool fastCompare(sqlite3_context* context, sqlite3_value** arguments) {
    const SqlType leftType = typeArgument(arguments[1]);
    const SqlType rightType = typeArgument(arguments[3]);
    double a = 0, b = 0;
    if (!plainFloat(arguments[0], leftType, a) && !exactAsDouble(arguments[0], leftType, a))
        return false;
    if (!plainFloat(arguments[2], rightType, b) && !exactAsDouble(arguments[2], rightType, b))
        return false;
    sqlite3_result_int(context, a < b ? -1 : a > b ? 1 : 0);
    return true;
}

// tsql_op(op, resultType, left, leftType, right, rightType)
void operatorFunction(sqlite3_context* context, int, sqlite3_value** arguments) {
    guarded(context, [&] {
        if (fastOperator(context, arguments))
            return;
        const char op = char(sqlite3_value_int(arguments[0]));
        const TsqlValue left = SqliteValues::read(arguments[2], typeArgument(arguments[3]));
        const TsqlValue right = SqliteValues::read(arguments[4], typeArgument(arguments[5]));
        SqliteValues::setResult(context, arithmetic(op, left, right));
    });
}

// tsql_unary(op, resultType, value, valueType)
void unaryFunction(sqlite3_context* context, int, sqlite3_value** arguments) {
    guarded(context, [&] {
        const char op = char(sqlite3_value_int(arguments[0]));
        const TsqlValue value = SqliteValues::read(arguments[2], typeArgument(arguments[3]));
        SqliteValues::setResult(context, unary(op, value));
    });
}

// tsql_cvt(targetType, value, valueType, style); a NULL style gives NULL.
void convertFunction(sqlite3_context* context, int, sqlite3_value** arguments) {
    guarded(context, [&] {
        if (sqlite3_value_type(arguments[3]) == SQLITE_NULL) {
            sqlite3_result_null(context);
            return;
        }
        if (fastConvert(context, arguments))
            return;
        const TsqlValue value = SqliteValues::read(arguments[1], typeArgument(arguments[2]));
        SqliteValues::setResult(
            context, convert(value, typeArgument(arguments[0]), sqlite3_value_int(arguments[3])));
    });
}

void tryConvertFunction(sqlite3_context* context, int, sqlite3_value** arguments) {
    guarded(context, [&] {
        if (sqlite3_value_type(arguments[3]) == SQLITE_NULL) {
            sqlite3_result_null(context);
            return;
        }
        const TsqlValue value = SqliteValues::read(arguments[1], typeArgument(arguments[2]));
        try {
            SqliteValues::setResult(context, convert(value, typeArgument(arguments[0]),
                                                     sqlite3_value_int(arguments[3])));
        } catch (const TsqlError&) {
            sqlite3_result_null(context);
        }
    });
}

// tsql_implicit(targetType, value, valueType)
void implicitFunction(sqlite3_context* context, int, sqlite3_value** arguments) {
    guarded(context, [&] {
        const TsqlValue value = SqliteValues::read(arguments[1], typeArgument(arguments[2]));
        SqliteValues::setResult(
            context, convertImplicitly(value, typeArgument(arguments[0]), Assignment::Expression));
    });
}

// tsql_store(columnType, value, valueType): the value as the column keeps it.
void storeFunction(sqlite3_context* context, int, sqlite3_value** arguments) {
    guarded(context, [&] {
        if (fastStore(context, arguments))
            return;
        const TsqlValue value = SqliteValues::read(arguments[1], typeArgument(arguments[2]));
        SqliteValues::setStorageResult(
            context, convertImplicitly(value, typeArgument(arguments[0]), Assignment::Column));
    });
}

// tsql_cmp(left, leftType, right, rightType): -1, 0, 1, or NULL.
void compareFunction(sqlite3_context* context, int, sqlite3_value** arguments) {
    guarded(context, [&] {
        if (fastCompare(context, arguments))
            return;
        const TsqlValue left = SqliteValues::read(arguments[0], typeArgument(arguments[1]));
        const TsqlValue right = SqliteValues::read(arguments[2], typeArgument(arguments[3]));
        const auto order = compare(left, right);
        if (order)
            sqlite3_result_int(context, *order);
        else
            sqlite3_result_null(context);
    });
}

// tsql_exact(value, type): a decimal as its exact blob, so that SQLite compares, sorts and
// groups it by value.
void exactFunction(sqlite3_context* context, int, sqlite3_value** arguments) {
    guarded(context, [&] {
        SqliteValues::setResult(context,
                                SqliteValues::read(arguments[0], typeArgument(arguments[1])));
    });
}

// tsql_like(value, pattern, escape, binary, unicode)
void likeFunction(sqlite3_context* context, int, sqlite3_value** arguments) {
    guarded(context, [&] {
        if (sqlite3_value_type(arguments[0]) == SQLITE_NULL ||
            sqlite3_value_type(arguments[1]) == SQLITE_NULL) {
            sqlite3_result_null(context);
            return;
        }
        const auto text = [](sqlite3_value* value) {
            return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(value)),
                                     sqlite3_value_bytes(value));
        };
        const QString escape =
            sqlite3_value_type(arguments[2]) == SQLITE_NULL ? QString() : text(arguments[2]);
        if (escape.size() > 1)
            throw TsqlError(506,
                            QStringLiteral("The invalid escape character \"%1\" was specified in "
                                           "a LIKE predicate.")
                                .arg(escape));
        const bool binary = sqlite3_value_int(arguments[3]) != 0;
        const bool unicode = sqlite3_value_int(arguments[4]) != 0;
        sqlite3_result_int(context, LikePattern::matches(text(arguments[0]), text(arguments[1]),
                                                         escape.isEmpty() ? QChar() : escape[0],
                                                         binary, unicode)
                                        ? 1
                                        : 0);
    });
}

// tsql_fn(name, resultType, argument, argumentType, ...)
void builtinFunction(sqlite3_context* context, int count, sqlite3_value** arguments) {
    guarded(context, [&] {
        auto* function = static_cast<const BuiltinFunction*>(sqlite3_get_auxdata(context, 0));
        if (function == nullptr) {
            const QString name =
                QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(arguments[0])),
                                  sqlite3_value_bytes(arguments[0]));
            function = findBuiltinFunction(name);
            if (function == nullptr)
                throw TsqlError(
                    195,
                    QStringLiteral("'%1' is not a recognized built-in function name.").arg(name));
            sqlite3_set_auxdata(context, 0, const_cast<BuiltinFunction*>(function), nullptr);
        }
        const SqlType result = typeArgument(arguments[1]);
        std::vector<TsqlValue> values;
        values.reserve(std::size_t((count - 2) / 2));
        for (int i = 2; i + 1 < count; i += 2)
            values.push_back(SqliteValues::read(arguments[i], typeArgument(arguments[i + 1])));
        SqliteValues::setResult(context, function->evaluate(values, result));
    });
}

// tsql_single(count, value): the value of a subquery that must give at most one row.
void singleFunction(sqlite3_context* context, int, sqlite3_value** arguments) {
    guarded(context, [&] {
        if (sqlite3_value_int64(arguments[0]) > 1)
            throw TsqlError(512,
                            QStringLiteral("Subquery returned more than 1 value. This is not "
                                           "permitted when the subquery follows =, !=, <, <= , >, "
                                           ">= or when the subquery is used as an expression."));
        sqlite3_result_value(context, arguments[1]);
    });
}

// ---- aggregates ------------------------------------------------------------------------------

// The state of one Sum or Avg: an Accumulator made at the first row.
struct AggregateState {
    Accumulator* accumulator;
};

Accumulator* accumulatorOf(sqlite3_context* context, Accumulator::Kind kind, const SqlType* type) {
    auto* state = static_cast<AggregateState*>(
        sqlite3_aggregate_context(context, type != nullptr ? int(sizeof(AggregateState)) : 0));
    if (state == nullptr)
        return nullptr;
    if (state->accumulator == nullptr && type != nullptr)
        state->accumulator = new Accumulator(kind, *type);
    return state->accumulator;
}

template <Accumulator::Kind kind>
void accumulateStep(sqlite3_context* context, int count, sqlite3_value** arguments) {
    guarded(context, [&] {
        const SqlType type = count > 1 ? typeArgument(arguments[1]) : SqlType::variant();
        Accumulator* accumulator = accumulatorOf(context, kind, &type);
        if (accumulator != nullptr)
            accumulator->add(SqliteValues::read(arguments[0], type));
    });
}

template <Accumulator::Kind kind>
void accumulateInverse(sqlite3_context* context, int count, sqlite3_value** arguments) {
    guarded(context, [&] {
        const SqlType type = count > 1 ? typeArgument(arguments[1]) : SqlType::variant();
        Accumulator* accumulator = accumulatorOf(context, kind, &type);
        if (accumulator != nullptr)
            accumulator->remove(SqliteValues::read(arguments[0], type));
    });
}

template <Accumulator::Kind kind> void accumulateValue(sqlite3_context* context) {
    guarded(context, [&] {
        Accumulator* accumulator = accumulatorOf(context, kind, nullptr);
        if (accumulator == nullptr)
            sqlite3_result_null(context);
        else
            SqliteValues::setResult(context, accumulator->result());
    });
}

template <Accumulator::Kind kind> void accumulateFinal(sqlite3_context* context) {
    accumulateValue<kind>(context);
    if (auto* state = static_cast<AggregateState*>(sqlite3_aggregate_context(context, 0))) {
        delete state->accumulator;
        state->accumulator = nullptr;
    }
}

// The one-argument forms for Sum(Distinct x) and Avg(Distinct x): the type is in the name.
template <Accumulator::Kind kind, TypeKind typeKind>
void distinctStep(sqlite3_context* context, int, sqlite3_value** arguments) {
    guarded(context, [&] {
        SqlType type;
        if constexpr (typeKind == TypeKind::Decimal) {
            // An exact blob says its own precision and scale.
            const TsqlValue value = SqliteValues::read(arguments[0], SqlType::variant());
            type = value.isNull() ? SqlType::decimal(38, 0) : value.type();
            if (Accumulator* accumulator = accumulatorOf(context, kind, &type))
                accumulator->add(value);
            return;
        } else if constexpr (typeKind == TypeKind::Money) {
            type = SqlType::money();
        } else if constexpr (typeKind == TypeKind::BigInt) {
            type = SqlType::bigInt();
        } else if constexpr (typeKind == TypeKind::Float) {
            type = SqlType::floatType();
        } else {
            type = SqlType::integer();
        }
        if (Accumulator* accumulator = accumulatorOf(context, kind, &type))
            accumulator->add(SqliteValues::read(arguments[0], type));
    });
}

// Standard deviation and variance over floats (Welford's running form).
struct SpreadState {
    qint64 count;
    double mean;
    double squares;
};

void spreadStep(sqlite3_context* context, int, sqlite3_value** arguments) {
    if (sqlite3_value_type(arguments[0]) == SQLITE_NULL)
        return;
    auto* state =
        static_cast<SpreadState*>(sqlite3_aggregate_context(context, sizeof(SpreadState)));
    if (state == nullptr)
        return;
    const double value = sqlite3_value_double(arguments[0]);
    ++state->count;
    const double delta = value - state->mean;
    state->mean += delta / double(state->count);
    state->squares += delta * (value - state->mean);
}

template <bool population, bool root> void spreadFinal(sqlite3_context* context) {
    auto* state = static_cast<SpreadState*>(sqlite3_aggregate_context(context, 0));
    const qint64 needed = population ? 1 : 2;
    if (state == nullptr || state->count < needed) {
        sqlite3_result_null(context);
        return;
    }
    const double variance = state->squares / double(population ? state->count : state->count - 1);
    sqlite3_result_double(context, root ? std::sqrt(variance) : variance);
}

// ---- catalog ---------------------------------------------------------------------------------

QString textArgument(sqlite3_value* value) {
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(value)),
                             sqlite3_value_bytes(value));
}

// One value of a catalog query, or nothing.
std::optional<qint64> queryNumber(sqlite3* database, const char* sql, const QString& first,
                                  const QString& second = QString()) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(database, sql, -1, &statement, nullptr) != SQLITE_OK)
        return std::nullopt;
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> guard(statement, sqlite3_finalize);
    const QByteArray a = first.toUtf8();
    const QByteArray b = second.toUtf8();
    sqlite3_bind_text(statement, 1, a.constData(), int(a.size()), SQLITE_TRANSIENT);
    if (sqlite3_bind_parameter_count(statement) > 1)
        sqlite3_bind_text(statement, 2, b.constData(), int(b.size()), SQLITE_TRANSIENT);
    if (sqlite3_step(statement) != SQLITE_ROW || sqlite3_column_type(statement, 0) == SQLITE_NULL)
        return std::nullopt;
    return sqlite3_column_int64(statement, 0);
}

// The object's own name of "db.schema.name", "[name]" or "tempdb..#name".
QString objectPart(QString name) {
    name = name.trimmed();
    const int dot = int(name.lastIndexOf('.'));
    if (dot >= 0)
        name = name.mid(dot + 1);
    if (name.startsWith('[') && name.endsWith(']'))
        name = name.mid(1, name.size() - 2);
    return name;
}

// tsql_object_id(name, type)
void objectIdFunction(sqlite3_context* context, int, sqlite3_value** arguments) {
    guarded(context, [&] {
        if (sqlite3_value_type(arguments[0]) == SQLITE_NULL) {
            sqlite3_result_null(context);
            return;
        }
        sqlite3* database = sqlite3_context_db_handle(context);
        const QString name = objectPart(textArgument(arguments[0]));
        std::optional<qint64> id;
        if (name.startsWith('#')) {
            // #temp tables live in the connection's temporary schema.
            id = queryNumber(database,
                             "SELECT 2000000000 + rowid FROM temp.sqlite_schema WHERE type = "
                             "'table' AND name = ?1 COLLATE NOCASE",
                             name);
        } else if (sqlite3_value_type(arguments[1]) == SQLITE_NULL) {
            id = queryNumber(database, "SELECT Id FROM SysObjects WHERE Name = ?1", name);
        } else {
            id = queryNumber(database, "SELECT Id FROM SysObjects WHERE Name = ?1 AND xtype = ?2",
                             name, textArgument(arguments[1]).trimmed().toUpper());
        }
        if (id)
            sqlite3_result_int64(context, *id);
        else
            sqlite3_result_null(context);
    });
}

// tsql_col_length(table, column): the column's length in bytes, as SQL Server gives it.
void columnLengthFunction(sqlite3_context* context, int, sqlite3_value** arguments) {
    guarded(context, [&] {
        if (sqlite3_value_type(arguments[0]) == SQLITE_NULL ||
            sqlite3_value_type(arguments[1]) == SQLITE_NULL) {
            sqlite3_result_null(context);
            return;
        }
        sqlite3* database = sqlite3_context_db_handle(context);
        const QString table = objectPart(textArgument(arguments[0]));
        const QString column = textArgument(arguments[1]);
        sqlite3_stmt* statement = nullptr;
        const char* sql = "SELECT type FROM pragma_table_info(?1) WHERE name = ?2 COLLATE NOCASE";
        if (sqlite3_prepare_v2(database, sql, -1, &statement, nullptr) != SQLITE_OK) {
            sqlite3_result_null(context);
            return;
        }
        const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> guard(statement,
                                                                          sqlite3_finalize);
        const QByteArray a = table.toUtf8();
        const QByteArray b = column.toUtf8();
        sqlite3_bind_text(statement, 1, a.constData(), int(a.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(statement, 2, b.constData(), int(b.size()), SQLITE_TRANSIENT);
        if (sqlite3_step(statement) != SQLITE_ROW) {
            sqlite3_result_null(context);
            return;
        }
        const QString declared =
            QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
        SqlType type;
        if (const auto known = SqlType::fromText(declared)) {
            type = *known;
        } else if (declared.compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0) {
            type = SqlType::integer();
        } else {
            // A user type: its base type in the engine's catalog.
            const auto base = queryNumber(database, "SELECT 0 WHERE 0", declared);
            Q_UNUSED(base);
            sqlite3_result_null(context);
            return;
        }
        int length = 0;
        switch (type.kind) {
        case TypeKind::Bit:
        case TypeKind::TinyInt:
            length = 1;
            break;
        case TypeKind::SmallInt:
            length = 2;
            break;
        case TypeKind::Int:
        case TypeKind::Real:
        case TypeKind::SmallMoney:
        case TypeKind::SmallDateTime:
            length = 4;
            break;
        case TypeKind::BigInt:
        case TypeKind::Float:
        case TypeKind::Money:
        case TypeKind::DateTime:
            length = 8;
            break;
        case TypeKind::Date:
            length = 3;
            break;
        case TypeKind::Decimal:
            length = type.precision <= 9    ? 5
                     : type.precision <= 19 ? 9
                     : type.precision <= 28 ? 13
                                            : 17;
            break;
        case TypeKind::NChar:
        case TypeKind::NVarChar:
            length = type.length == SqlType::maxLength ? -1 : type.length * 2;
            break;
        case TypeKind::Text:
        case TypeKind::NText:
            length = 16;
            break;
        default:
            length = type.length == SqlType::maxLength ? -1 : type.length;
            break;
        }
        sqlite3_result_int(context, length);
    });
}

// tsql_ident_current(table): the last identity value the table gave.
void identCurrentFunction(sqlite3_context* context, int, sqlite3_value** arguments) {
    guarded(context, [&] {
        if (sqlite3_value_type(arguments[0]) == SQLITE_NULL) {
            sqlite3_result_null(context);
            return;
        }
        const QString table = objectPart(textArgument(arguments[0]));
        const auto value =
            queryNumber(sqlite3_context_db_handle(context),
                        table.startsWith('#') ? "SELECT coalesce(Current, Seed) FROM "
                                                "temp.embedded_identity WHERE TableName = ?1"
                                              : "SELECT coalesce(Current, Seed) FROM "
                                                "main.embedded_identity WHERE TableName = ?1",
                        table);
        if (value)
            sqlite3_result_int64(context, *value);
        else
            sqlite3_result_null(context);
    });
}

// tsql_identity(table): the table's next identity number, one for each row inserted.
void identityFunction(sqlite3_context* context, int, sqlite3_value** arguments) {
    guarded(context, [&] {
        sqlite3_result_int64(context, owner(context)->nextIdentity(textArgument(arguments[0])));
    });
}

void newIdFunction(sqlite3_context* context, int, sqlite3_value**) {
    const QByteArray text = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper().toLatin1();
    sqlite3_result_text(context, text.constData(), int(text.size()), SQLITE_TRANSIENT);
}

void setDateTimeResult(sqlite3_context* context, const QDateTime& value) {
    const auto current = DateTimeValue::fromQDateTime(value);
    const QByteArray text = current ? current->toStorageText().toUtf8() : QByteArray();
    sqlite3_result_text(context, text.constData(), int(text.size()), SQLITE_TRANSIENT);
}

void getDateFunction(sqlite3_context* context, int, sqlite3_value**) {
    setDateTimeResult(context, QDateTime::currentDateTime());
}

void getUtcDateFunction(sqlite3_context* context, int, sqlite3_value**) {
    setDateTimeResult(context, QDateTime::currentDateTimeUtc());
}

// Year, Month and Day of the engine's date-time text: read without building a value, as the
// costing calls them on every document line.
template <typename Field>
void datePart(sqlite3_context* context, sqlite3_value** arguments, Field field) {
    guarded(context, [&] {
        sqlite3_value* value = arguments[0];
        if (sqlite3_value_type(value) == SQLITE_NULL) {
            sqlite3_result_null(context);
            return;
        }
        if (sqlite3_value_type(value) == SQLITE_TEXT) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
            if (const auto parts = DateTimeText::parse(text, sqlite3_value_bytes(value))) {
                sqlite3_result_int(context, field(*parts));
                return;
            }
        }
        const TsqlValue date =
            convert(SqliteValues::read(value, SqlType::variant()), SqlType::dateTime());
        DateTimeParts parts;
        parts.year = date.asDateTime().year();
        parts.month = date.asDateTime().month();
        parts.day = date.asDateTime().day();
        sqlite3_result_int(context, field(parts));
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

using ScalarFunction = void (*)(sqlite3_context*, int, sqlite3_value**);

struct ScalarDefinition {
    const char* name;
    int argumentCount;
    ScalarFunction function;
    bool deterministic;
};

constexpr ScalarDefinition scalarFunctions[] = {
    {"tsql_op", 6, operatorFunction, true},
    {"tsql_unary", 4, unaryFunction, true},
    {"tsql_cvt", 4, convertFunction, true},
    {"tsql_try_cvt", 4, tryConvertFunction, true},
    {"tsql_implicit", 3, implicitFunction, true},
    {"tsql_store", 3, storeFunction, true},
    {"tsql_cmp", 4, compareFunction, true},
    {"tsql_exact", 2, exactFunction, true},
    {"tsql_like", 5, likeFunction, true},
    {"tsql_fn", -1, builtinFunction, true},
    {"tsql_single", 2, singleFunction, true},
    {"tsql_object_id", 2, objectIdFunction, false},
    {"tsql_col_length", 2, columnLengthFunction, false},
    {"tsql_ident_current", 1, identCurrentFunction, false},
    {"tsql_newid", 0, newIdFunction, false},
    {"tsql_identity", 1, identityFunction, false},
    {"getdate", 0, getDateFunction, false},
    {"tsql_getutcdate", 0, getUtcDateFunction, false},
    {"year", 1, yearFunction, true},
    {"month", 1, monthFunction, true},
    {"day", 1, dayFunction, true},
};

void check(sqlite3* database, int code) {
    if (code != SQLITE_OK)
        throw TsqlError(0, QString::fromUtf8(sqlite3_errmsg(database)));
}

} // namespace

SqlFunctions::SqlFunctions(sqlite3* database) {
    for (const auto& definition : scalarFunctions) {
        const int flags = SQLITE_UTF8 | (definition.deterministic ? SQLITE_DETERMINISTIC : 0);
        check(database,
              sqlite3_create_function_v2(database, definition.name, definition.argumentCount, flags,
                                         this, definition.function, nullptr, nullptr, nullptr));
    }
    using Kind = Accumulator::Kind;
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    check(database, sqlite3_create_window_function(
                        database, "tsql_sum", 2, flags, this, accumulateStep<Kind::Sum>,
                        accumulateFinal<Kind::Sum>, accumulateValue<Kind::Sum>,
                        accumulateInverse<Kind::Sum>, nullptr));
    check(database, sqlite3_create_window_function(
                        database, "tsql_avg", 2, flags, this, accumulateStep<Kind::Avg>,
                        accumulateFinal<Kind::Avg>, accumulateValue<Kind::Avg>,
                        accumulateInverse<Kind::Avg>, nullptr));
    struct DistinctDefinition {
        const char* name;
        void (*step)(sqlite3_context*, int, sqlite3_value**);
        void (*final)(sqlite3_context*);
    };
    const DistinctDefinition distinct[] = {
        {"tsql_sum_int", distinctStep<Kind::Sum, TypeKind::Int>, accumulateFinal<Kind::Sum>},
        {"tsql_sum_bigint", distinctStep<Kind::Sum, TypeKind::BigInt>, accumulateFinal<Kind::Sum>},
        {"tsql_sum_float", distinctStep<Kind::Sum, TypeKind::Float>, accumulateFinal<Kind::Sum>},
        {"tsql_sum_money", distinctStep<Kind::Sum, TypeKind::Money>, accumulateFinal<Kind::Sum>},
        {"tsql_sum_exact", distinctStep<Kind::Sum, TypeKind::Decimal>, accumulateFinal<Kind::Sum>},
        {"tsql_avg_int", distinctStep<Kind::Avg, TypeKind::Int>, accumulateFinal<Kind::Avg>},
        {"tsql_avg_bigint", distinctStep<Kind::Avg, TypeKind::BigInt>, accumulateFinal<Kind::Avg>},
        {"tsql_avg_float", distinctStep<Kind::Avg, TypeKind::Float>, accumulateFinal<Kind::Avg>},
        {"tsql_avg_money", distinctStep<Kind::Avg, TypeKind::Money>, accumulateFinal<Kind::Avg>},
        {"tsql_avg_exact", distinctStep<Kind::Avg, TypeKind::Decimal>, accumulateFinal<Kind::Avg>},
    };
    for (const auto& definition : distinct)
        check(database,
              sqlite3_create_function_v2(database, definition.name, 1, flags, this, nullptr,
                                         definition.step, definition.final, nullptr));
    const struct {
        const char* name;
        void (*final)(sqlite3_context*);
    } spreads[] = {{"tsql_stdev", spreadFinal<false, true>},
                   {"tsql_stdevp", spreadFinal<true, true>},
                   {"tsql_var", spreadFinal<false, false>},
                   {"tsql_varp", spreadFinal<true, false>}};
    for (const auto& spread : spreads)
        check(database, sqlite3_create_function_v2(database, spread.name, 1, flags, this, nullptr,
                                                   spreadStep, spread.final, nullptr));
}

std::optional<TsqlError> SqlFunctions::takeError() {
    std::optional<TsqlError> error;
    error.swap(error_);
    return error;
}

void SqlFunctions::setError(const TsqlError& error) {
    error_ = error;
}

void SqlFunctions::startIdentity(const QString& table, qint64 last, qint64 increment) {
    identities_.insert(table, IdentityCounter{last, increment});
}

qint64 SqlFunctions::identityLast(const QString& table) const {
    return identities_.value(table).last;
}

qint64 SqlFunctions::nextIdentity(const QString& table) {
    const auto found = identities_.find(table);
    if (found == identities_.end())
        throw TsqlError(
            0, QStringLiteral("The identity of %1 was not read before the insert.").arg(table));
    qint64 next = 0;
    if (__builtin_add_overflow(found->last, found->increment, &next))
        throw TsqlError(8115, QStringLiteral("Arithmetic overflow error converting IDENTITY to "
                                             "data type bigint."));
    found->last = next;
    return next;
}

} // namespace db::tsql
