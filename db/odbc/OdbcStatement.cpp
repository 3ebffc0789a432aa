#include "db/odbc/OdbcStatement.h"

#include "db/DatabaseError.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <array>

namespace db {

// The bound value of one '?' marker. The driver keeps the addresses until the statement has
// run, so these live in a vector that is sized once and never grows.
struct OdbcStatement::Parameter {
    SQLBIGINT integer = 0;
    double real = 0;
    QString text;
    SQL_TIMESTAMP_STRUCT timestamp{};
    char untyped[1] = {};
    SQLLEN indicator = 0;
};

namespace {

// Text up to this length travels as nvarchar(4000), so the server keeps one plan per statement
// whatever the lengths of the values. Longer text goes as long text, which the drivers send as
// nvarchar(max): FreeTDS would cut a longer nvarchar declaration to 4000.
constexpr SQLULEN shortTextLength = 4000;

SQLWCHAR* wide(const QString& text) {
    return const_cast<SQLWCHAR*>(reinterpret_cast<const SQLWCHAR*>(text.utf16()));
}

QString fromWide(const SQLWCHAR* text, qsizetype length) {
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(text), length);
}

DatabaseError badValue(size_t index, const QVariant& value, const char* what) {
    return DatabaseError::fromComponent(QStringLiteral("ODBC"),
                                        QStringLiteral("Parameter %1: '%2' is not %3")
                                            .arg(index + 1)
                                            .arg(value.toString(), QLatin1String(what)));
}

// The type a value travels as: its own, or for a value never given a type, what it holds.
DataType bindingType(const SqlValue& value) {
    if (value.type != DataType::Unknown || value.isNull())
        return value.type;
    switch (value.value.metaType().id()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return DataType::Integer;
    case QMetaType::Double:
    case QMetaType::Float:
        return DataType::Float;
    case QMetaType::QDateTime:
    case QMetaType::QDate:
        return DataType::DateTime;
    default:
        return DataType::String;
    }
}

QDateTime toDateTime(const QVariant& value) {
    if (value.metaType().id() == QMetaType::QString)
        return parseSqlDateTime(value.toString());
    return value.toDateTime();
}

// A decimal with a zero before the point, as FreeTDS writes it ("0.5000", "-0.0001"), also
// from a driver that leaves the zero out (".5000").
QString decimalText(QString text) {
    text = text.trimmed();
    const qsizetype digits = text.startsWith('-') ? 1 : 0;
    if (text.mid(digits, 1) == QLatin1String("."))
        text.insert(digits, '0');
    return text;
}

bool isTruncated(SQLLEN indicator, size_t bufferBytes, size_t terminatorBytes) {
    return indicator == SQL_NO_TOTAL || indicator > SQLLEN(bufferBytes - terminatorBytes);
}

} // namespace

OdbcStatement::OdbcStatement(const OdbcHandle& connection, int queryTimeout)
    : handle_(SQL_HANDLE_STMT, &connection) {
    if (queryTimeout > 0) {
        const auto seconds = static_cast<SQLULEN>(queryTimeout);
        handle_.check(SQLSetStmtAttrW(handle_.get(), SQL_ATTR_QUERY_TIMEOUT,
                                      reinterpret_cast<SQLPOINTER>(seconds), 0),
                      "SQLSetStmtAttrW");
    }
}

ResultSet OdbcStatement::run(const QString& sql, const std::vector<SqlValue>& values, Keep keep) {
    std::vector<Parameter> buffers;
    bind(values, buffers);

    SQLRETURN rc =
        handle_.check(SQLExecDirectW(handle_.get(), wide(sql), static_cast<SQLINTEGER>(sql.size())),
                      "SQLExecDirectW");
    ResultSet kept;
    bool haveKept = false;
    for (;;) {
        // SQL_NO_DATA here is a statement that touched no rows: no result to look at.
        if (rc != SQL_NO_DATA) {
            SQLSMALLINT columns = 0;
            handle_.check(SQLNumResultCols(handle_.get(), &columns), "SQLNumResultCols");
            if (columns > 0) {
                const bool wanted =
                    keep == Keep::LastRows || (keep == Keep::FirstRows && !haveKept);
                if (wanted) {
                    kept = fetchResult(columns);
                    haveKept = true;
                } else {
                    skipRows();
                }
            }
        }
        rc = handle_.check(SQLMoreResults(handle_.get()), "SQLMoreResults");
        if (rc == SQL_NO_DATA)
            break;
    }
    return kept;
}

void OdbcStatement::bind(const std::vector<SqlValue>& values, std::vector<Parameter>& buffers) {
    buffers.resize(values.size());
    for (size_t i = 0; i < values.size(); ++i) {
        const auto& value = values[i];
        auto& buffer = buffers[i];
        const bool isNull = value.isNull();
        SQLSMALLINT cType = SQL_C_CHAR;
        SQLSMALLINT sqlType = SQL_VARCHAR;
        SQLULEN columnSize = 1;
        SQLSMALLINT decimalDigits = 0;
        SQLPOINTER data = buffer.untyped;
        SQLLEN bufferLength = 0;

        switch (bindingType(value)) {
        case DataType::Integer: {
            cType = SQL_C_SBIGINT;
            sqlType = SQL_BIGINT;
            columnSize = 19;
            data = &buffer.integer;
            if (!isNull) {
                bool ok = false;
                buffer.integer = value.value.toLongLong(&ok);
                if (!ok)
                    throw badValue(i, value.value, "an integer");
            }
            break;
        }
        case DataType::Float: {
            cType = SQL_C_DOUBLE;
            sqlType = SQL_FLOAT;
            columnSize = 15;
            data = &buffer.real;
            if (!isNull) {
                bool ok = false;
                buffer.real = value.value.toDouble(&ok);
                if (!ok)
                    throw badValue(i, value.value, "a number");
            }
            break;
        }
        case DataType::DateTime: {
            cType = SQL_C_TYPE_TIMESTAMP;
            sqlType = SQL_TYPE_TIMESTAMP;
            columnSize = 23;
            decimalDigits = 3;
            data = &buffer.timestamp;
            if (!isNull) {
                const auto dateTime = toDateTime(value.value);
                if (!dateTime.isValid())
                    throw badValue(i, value.value, "a date-time");
                const auto date = dateTime.date();
                const auto time = dateTime.time();
                buffer.timestamp.year = static_cast<SQLSMALLINT>(date.year());
                buffer.timestamp.month = static_cast<SQLUSMALLINT>(date.month());
                buffer.timestamp.day = static_cast<SQLUSMALLINT>(date.day());
                buffer.timestamp.hour = static_cast<SQLUSMALLINT>(time.hour());
                buffer.timestamp.minute = static_cast<SQLUSMALLINT>(time.minute());
                buffer.timestamp.second = static_cast<SQLUSMALLINT>(time.second());
                buffer.timestamp.fraction = static_cast<SQLUINTEGER>(time.msec()) * 1000000u;
            }
            break;
        }
        case DataType::String: {
            buffer.text = isNull ? QString() : value.value.toString();
            const auto length = static_cast<SQLULEN>(buffer.text.size());
            cType = SQL_C_WCHAR;
            sqlType = length > shortTextLength ? SQL_WLONGVARCHAR : SQL_WVARCHAR;
            columnSize = std::max(length, shortTextLength);
            data = wide(buffer.text);
            bufferLength = static_cast<SQLLEN>((length + 1) * sizeof(SQLWCHAR));
            buffer.indicator = static_cast<SQLLEN>(length * sizeof(SQLWCHAR));
            break;
        }
        case DataType::Unknown:
            // Never given a value: a null that the server converts to whatever it meets.
            break;
        }
        if (isNull)
            buffer.indicator = SQL_NULL_DATA;

        handle_.check(SQLBindParameter(handle_.get(), static_cast<SQLUSMALLINT>(i + 1),
                                       SQL_PARAM_INPUT, cType, sqlType, columnSize, decimalDigits,
                                       data, bufferLength, &buffer.indicator),
                      "SQLBindParameter");
    }
}

ResultSet OdbcStatement::fetchResult(short columnCount) {
    ResultSet result;
    std::vector<SQLSMALLINT> types;
    std::vector<SQLWCHAR> name(256);
    for (SQLUSMALLINT column = 1; column <= columnCount; ++column) {
        SQLSMALLINT nameLength = 0;
        SQLSMALLINT type = 0;
        SQLULEN size = 0;
        SQLSMALLINT digits = 0;
        SQLSMALLINT nullable = 0;
        const auto describe = [&] {
            handle_.check(SQLDescribeColW(handle_.get(), column, name.data(),
                                          static_cast<SQLSMALLINT>(name.size()), &nameLength, &type,
                                          &size, &digits, &nullable),
                          "SQLDescribeColW");
        };
        describe();
        if (nameLength >= static_cast<SQLSMALLINT>(name.size())) {
            name.resize(static_cast<size_t>(nameLength) + 1);
            describe();
        }
        result.columns << fromWide(name.data(), nameLength);
        types.push_back(type);
    }

    for (;;) {
        if (handle_.check(SQLFetch(handle_.get()), "SQLFetch") == SQL_NO_DATA)
            break;
        QVariantList row;
        row.reserve(columnCount);
        for (SQLUSMALLINT column = 1; column <= columnCount; ++column)
            row << readValue(column, types[column - 1]);
        result.rows.push_back(std::move(row));
    }
    return result;
}

void OdbcStatement::skipRows() {
    while (handle_.check(SQLFetch(handle_.get()), "SQLFetch") != SQL_NO_DATA) {
    }
}

QVariant OdbcStatement::readValue(unsigned short column, short sqlType) {
    SQLLEN indicator = 0;
    switch (sqlType) {
    case SQL_BIT:
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT: {
        SQLBIGINT value = 0;
        handle_.check(SQLGetData(handle_.get(), column, SQL_C_SBIGINT, &value, 0, &indicator),
                      "SQLGetData");
        return indicator == SQL_NULL_DATA ? QVariant() : QVariant(qint64(value));
    }
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE: {
        double value = 0;
        handle_.check(SQLGetData(handle_.get(), column, SQL_C_DOUBLE, &value, 0, &indicator),
                      "SQLGetData");
        return indicator == SQL_NULL_DATA ? QVariant() : QVariant(value);
    }
    case SQL_DECIMAL:
    case SQL_NUMERIC: {
        // Decimals and money stay the exact text of their value, every digit of the scale
        // kept: a double could not hold every amount exactly.
        const auto text = readText(column);
        return text.isValid() ? QVariant(decimalText(text.toString())) : QVariant();
    }
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIMESTAMP:
    case SQL_DATETIME:
    case SQL_TIMESTAMP: {
        SQL_TIMESTAMP_STRUCT value{};
        handle_.check(SQLGetData(handle_.get(), column, SQL_C_TYPE_TIMESTAMP, &value, sizeof(value),
                                 &indicator),
                      "SQLGetData");
        if (indicator == SQL_NULL_DATA)
            return {};
        return QDateTime(QDate(value.year, value.month, value.day),
                         QTime(value.hour, value.minute, value.second,
                               static_cast<int>(value.fraction / 1000000u)));
    }
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
        return readBinary(column);
    default:
        return readText(column);
    }
}

QVariant OdbcStatement::readText(unsigned short column) {
    std::array<SQLWCHAR, 2048> buffer;
    QString text = QStringLiteral("");
    // Long text comes in pieces: each call returns what fits and reports more to come.
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc = handle_.check(SQLGetData(handle_.get(), column, SQL_C_WCHAR,
                                                      buffer.data(), sizeof(buffer), &indicator),
                                           "SQLGetData");
        if (rc == SQL_NO_DATA)
            break;
        if (indicator == SQL_NULL_DATA)
            return {};
        const bool truncated = isTruncated(indicator, sizeof(buffer), sizeof(SQLWCHAR));
        const qsizetype length = truncated ? qsizetype(buffer.size() - 1)
                                           : qsizetype(indicator / SQLLEN(sizeof(SQLWCHAR)));
        text.append(fromWide(buffer.data(), length));
        if (!truncated)
            break;
    }
    return text;
}

QVariant OdbcStatement::readBinary(unsigned short column) {
    std::array<char, 8192> buffer;
    QByteArray bytes("");
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc = handle_.check(SQLGetData(handle_.get(), column, SQL_C_BINARY,
                                                      buffer.data(), sizeof(buffer), &indicator),
                                           "SQLGetData");
        if (rc == SQL_NO_DATA)
            break;
        if (indicator == SQL_NULL_DATA)
            return {};
        const bool truncated = isTruncated(indicator, sizeof(buffer), 0);
        bytes.append(buffer.data(), truncated ? qsizetype(buffer.size()) : qsizetype(indicator));
        if (!truncated)
            break;
    }
    return bytes;
}

} // namespace db
