#pragma once

#include "db/embedded/tsql/TsqlValue.h"

#include <QByteArray>

struct sqlite3_context;
struct sqlite3_stmt;
struct sqlite3_value;

namespace db::tsql {

// How T-SQL values travel through SQLite. Integers are SQLite integers, real and float SQLite
// reals, strings and date-times text (date-times as "YYYY-MM-DD HH:MM:SS[.fff]"), binaries
// blobs. A decimal or money value is stored in a table as the nearest real when its 15
// significant digits hold it exactly (SQLite makes a whole number of it an integer), and as an
// exact blob otherwise; inside a statement the engine's functions pass decimals as exact blobs:
// a marker byte, the precision, the scale and the 16-byte mantissa, big-endian with its sign bit
// flipped, so that two exact blobs of one type compare, sort and group as their values do.
//
// A value is always read through the type the compiler gave its expression: a real read as
// decimal(28,4) is rounded to 4 places, which gives back exactly the decimal that was stored.
class SqliteValues {
public:
    static TsqlValue read(sqlite3_value* value, const SqlType& type);
    static TsqlValue readColumn(sqlite3_stmt* statement, int column, const SqlType& type);

    // The result of one of the engine's functions, decimals as exact blobs.
    static void setResult(sqlite3_context* context, const TsqlValue& value);
    // A value as a table stores it (decimals as reals where that is exact).
    static void setStorageResult(sqlite3_context* context, const TsqlValue& value);
    // Binds a value for a statement, decimals as exact blobs; returns SQLite's result code.
    static int bind(sqlite3_stmt* statement, int index, const TsqlValue& value);

    static QByteArray exactBlob(const Decimal& value, int precision);
    static bool isExactBlob(const void* data, int size);
    // The decimal in an exact blob; precision gets the blob's precision when not null.
    static Decimal fromExactBlob(const void* data, int size, int* precision = nullptr);

    // The SQLite text of a value as a literal of a statement ('text', X'blob', 12, 1.5),
    // decimals as exact blobs.
    static QString literal(const TsqlValue& value);
    // The same as a table stores it: decimals as reals where that is exact.
    static QString storageLiteral(const TsqlValue& value);
};

} // namespace db::tsql
