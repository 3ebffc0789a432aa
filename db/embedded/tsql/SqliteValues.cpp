#include "db/embedded/tsql/SqliteValues.h"

#include "db/embedded/tsql/TsqlError.h"

#include <sqlite3.h>

#include <cmath>
#include <cstring>

namespace db::tsql {

namespace {

constexpr unsigned char exactMarker = 0xDE;
constexpr int exactBlobSize = 19;

__extension__ typedef unsigned __int128 Unsigned128;

QString textOf(sqlite3_value* value) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
    return QString::fromUtf8(text, sqlite3_value_bytes(value));
}

// A stored value whose type the catalog does not know, by what SQLite holds.
TsqlValue readVariant(sqlite3_value* value) {
    switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER: {
        const sqlite3_int64 number = sqlite3_value_int64(value);
        const bool small = number >= INT32_MIN && number <= INT32_MAX;
        return TsqlValue::integer(number, small ? SqlType::integer() : SqlType::bigInt());
    }
    case SQLITE_FLOAT:
        return TsqlValue::floating(sqlite3_value_double(value));
    case SQLITE_TEXT: {
        const QString text = textOf(value);
        return TsqlValue::text(text, SqlType::varChar(text.isEmpty() ? 1 : int(text.size())));
    }
    case SQLITE_BLOB: {
        const void* data = sqlite3_value_blob(value);
        const int size = sqlite3_value_bytes(value);
        if (SqliteValues::isExactBlob(data, size)) {
            int precision = 0;
            const Decimal decimal = SqliteValues::fromExactBlob(data, size, &precision);
            return TsqlValue::decimal(decimal, SqlType::decimal(precision, decimal.scale()));
        }
        const QByteArray bytes(static_cast<const char*>(data), size);
        return TsqlValue::binary(
            bytes, SqlType{TypeKind::VarBinary, 0, 0, bytes.isEmpty() ? 1 : int(bytes.size())});
    }
    default:
        return TsqlValue::null(SqlType::null());
    }
}

} // namespace

TsqlValue SqliteValues::read(sqlite3_value* value, const SqlType& type) {
    const int storage = sqlite3_value_type(value);
    if (storage == SQLITE_NULL)
        return TsqlValue::null(type.kind == TypeKind::Variant ? SqlType::null() : type);
    switch (type.kind) {
    case TypeKind::Variant:
    case TypeKind::Null:
        return readVariant(value);
    case TypeKind::Bit:
    case TypeKind::TinyInt:
    case TypeKind::SmallInt:
    case TypeKind::Int:
    case TypeKind::BigInt:
        if (storage == SQLITE_INTEGER)
            return TsqlValue::integer(sqlite3_value_int64(value), type);
        return convert(readVariant(value), type);
    case TypeKind::Real:
    case TypeKind::Float:
        if (storage == SQLITE_FLOAT || storage == SQLITE_INTEGER)
            return TsqlValue::floating(sqlite3_value_double(value), type);
        return convert(readVariant(value), type);
    case TypeKind::Decimal:
    case TypeKind::SmallMoney:
    case TypeKind::Money: {
        if (storage == SQLITE_FLOAT) {
            const auto decimal = Decimal::fromDouble(sqlite3_value_double(value), type.scale);
            if (!decimal)
                throw TsqlError::arithmeticOverflow(type.name());
            return TsqlValue::decimal(*decimal, type);
        }
        if (storage == SQLITE_INTEGER)
            return TsqlValue::decimal(Decimal::fromInteger(sqlite3_value_int64(value)), type);
        if (storage == SQLITE_BLOB) {
            const void* data = sqlite3_value_blob(value);
            const int size = sqlite3_value_bytes(value);
            if (isExactBlob(data, size))
                return TsqlValue::decimal(fromExactBlob(data, size), type);
        }
        return convert(readVariant(value), type);
    }
    case TypeKind::Char:
    case TypeKind::VarChar:
    case TypeKind::NChar:
    case TypeKind::NVarChar:
    case TypeKind::Text:
    case TypeKind::NText:
        if (storage == SQLITE_TEXT)
            return TsqlValue::text(textOf(value), type);
        return convert(readVariant(value), type);
    case TypeKind::Binary:
    case TypeKind::VarBinary:
        if (storage == SQLITE_BLOB)
            return TsqlValue::binary(QByteArray(static_cast<const char*>(sqlite3_value_blob(value)),
                                                sqlite3_value_bytes(value)),
                                     type);
        return convert(readVariant(value), type);
    case TypeKind::SmallDateTime:
    case TypeKind::DateTime:
    case TypeKind::Date:
        if (storage == SQLITE_TEXT) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
            const int size = sqlite3_value_bytes(value);
            if (const auto parsed = DateTimeValue::parse(QString::fromUtf8(text, size)))
                return TsqlValue::dateTime(*parsed, type);
        }
        return convert(readVariant(value), type);
    }
    return readVariant(value);
}

TsqlValue SqliteValues::readColumn(sqlite3_stmt* statement, int column, const SqlType& type) {
    return read(sqlite3_column_value(statement, column), type);
}

void SqliteValues::setResult(sqlite3_context* context, const TsqlValue& value) {
    if (value.isNull()) {
        sqlite3_result_null(context);
        return;
    }
    const auto& payload = value.payload();
    if (const auto* integer = std::get_if<std::int64_t>(&payload)) {
        sqlite3_result_int64(context, *integer);
    } else if (const auto* real = std::get_if<double>(&payload)) {
        sqlite3_result_double(context, *real);
    } else if (const auto* decimal = std::get_if<Decimal>(&payload)) {
        const QByteArray blob = exactBlob(*decimal, value.type().precision);
        sqlite3_result_blob(context, blob.constData(), int(blob.size()), SQLITE_TRANSIENT);
    } else if (const auto* text = std::get_if<QString>(&payload)) {
        const QByteArray utf8 = text->toUtf8();
        sqlite3_result_text(context, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    } else if (const auto* bytes = std::get_if<QByteArray>(&payload)) {
        sqlite3_result_blob(context, bytes->constData(), int(bytes->size()), SQLITE_TRANSIENT);
    } else if (const auto* dateTime = std::get_if<DateTimeValue>(&payload)) {
        const QByteArray utf8 = dateTime->toStorageText().toUtf8();
        sqlite3_result_text(context, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    } else {
        sqlite3_result_null(context);
    }
}

void SqliteValues::setStorageResult(sqlite3_context* context, const TsqlValue& value) {
    if (const auto* decimal = std::get_if<Decimal>(&value.payload())) {
        // 15 significant digits always come back from the nearest double.
        if (decimal->digits() <= 15) {
            sqlite3_result_double(context, decimal->toDouble());
            return;
        }
    }
    setResult(context, value);
}

int SqliteValues::bind(sqlite3_stmt* statement, int index, const TsqlValue& value) {
    if (value.isNull())
        return sqlite3_bind_null(statement, index);
    const auto& payload = value.payload();
    if (const auto* integer = std::get_if<std::int64_t>(&payload))
        return sqlite3_bind_int64(statement, index, *integer);
    if (const auto* real = std::get_if<double>(&payload))
        return sqlite3_bind_double(statement, index, *real);
    if (const auto* decimal = std::get_if<Decimal>(&payload)) {
        const QByteArray blob = exactBlob(*decimal, value.type().precision);
        return sqlite3_bind_blob(statement, index, blob.constData(), int(blob.size()),
                                 SQLITE_TRANSIENT);
    }
    if (const auto* text = std::get_if<QString>(&payload)) {
        const QByteArray utf8 = text->toUtf8();
        return sqlite3_bind_text(statement, index, utf8.constData(), int(utf8.size()),
                                 SQLITE_TRANSIENT);
    }
    if (const auto* bytes = std::get_if<QByteArray>(&payload))
        return sqlite3_bind_blob(statement, index, bytes->constData(), int(bytes->size()),
                                 SQLITE_TRANSIENT);
    if (const auto* dateTime = std::get_if<DateTimeValue>(&payload)) {
        const QByteArray utf8 = dateTime->toStorageText().toUtf8();
        return sqlite3_bind_text(statement, index, utf8.constData(), int(utf8.size()),
                                 SQLITE_TRANSIENT);
    }
    return sqlite3_bind_null(statement, index);
}

QByteArray SqliteValues::exactBlob(const Decimal& value, int precision) {
    QByteArray blob(exactBlobSize, Qt::Uninitialized);
    auto* bytes = reinterpret_cast<unsigned char*>(blob.data());
    bytes[0] = exactMarker;
    bytes[1] = static_cast<unsigned char>(precision);
    bytes[2] = static_cast<unsigned char>(value.scale());
    // Flipping the sign bit makes the unsigned order of the bytes the signed order of values.
    Unsigned128 bits = static_cast<Unsigned128>(value.mantissa()) ^ (Unsigned128(1) << 127);
    for (int i = 15; i >= 0; --i) {
        bytes[3 + i] = static_cast<unsigned char>(bits & 0xFF);
        bits >>= 8;
    }
    return blob;
}

bool SqliteValues::isExactBlob(const void* data, int size) {
    return size == exactBlobSize && static_cast<const unsigned char*>(data)[0] == exactMarker;
}

Decimal SqliteValues::fromExactBlob(const void* data, int size, int* precision) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    if (size != exactBlobSize)
        return Decimal();
    Unsigned128 bits = 0;
    for (int i = 0; i < 16; ++i)
        bits = (bits << 8) | bytes[3 + i];
    bits ^= Unsigned128(1) << 127;
    if (precision != nullptr)
        *precision = bytes[1];
    return Decimal(static_cast<Decimal::Mantissa>(bits), bytes[2]);
}

QString SqliteValues::literal(const TsqlValue& value) {
    if (value.isNull())
        return QStringLiteral("NULL");
    const auto& payload = value.payload();
    if (const auto* integer = std::get_if<std::int64_t>(&payload))
        return QString::number(*integer);
    if (const auto* real = std::get_if<double>(&payload)) {
        if (!std::isfinite(*real))
            return QStringLiteral("NULL");
        QString text = QString::number(*real, 'g', 17);
        if (!text.contains('.') && !text.contains('e') && !text.contains('E'))
            text += QStringLiteral(".0");
        return text;
    }
    const auto blobLiteral = [](const QByteArray& bytes) {
        return QStringLiteral("X'") + QString::fromLatin1(bytes.toHex()) + '\'';
    };
    if (const auto* decimal = std::get_if<Decimal>(&payload))
        return blobLiteral(exactBlob(*decimal, value.type().precision));
    if (const auto* bytes = std::get_if<QByteArray>(&payload))
        return blobLiteral(*bytes);
    QString text;
    if (const auto* string = std::get_if<QString>(&payload))
        text = *string;
    else if (const auto* dateTime = std::get_if<DateTimeValue>(&payload))
        text = dateTime->toStorageText();
    return '\'' + text.replace('\'', QStringLiteral("''")) + '\'';
}

QString SqliteValues::storageLiteral(const TsqlValue& value) {
    if (const auto* decimal = std::get_if<Decimal>(&value.payload())) {
        if (decimal->digits() <= 15)
            return decimal->toString();
    }
    return literal(value);
}

} // namespace db::tsql
