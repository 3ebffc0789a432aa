#include "db/embedded/SqliteStatement.h"

#include "db/embedded/DateTimeText.h"
#include "db/embedded/EmbeddedErrors.h"

#include <sqlite3.h>

namespace db {

namespace {

// Resets the statement when a run leaves, by return or by exception.
class ResetOnExit {
public:
    explicit ResetOnExit(sqlite3_stmt* statement) : statement_(statement) {}
    ~ResetOnExit() {
        sqlite3_reset(statement_);
        sqlite3_clear_bindings(statement_);
    }
    ResetOnExit(const ResetOnExit&) = delete;
    ResetOnExit& operator=(const ResetOnExit&) = delete;

private:
    sqlite3_stmt* statement_;
};

bool isIntegerType(QMetaType::Type type) {
    switch (type) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return true;
    default:
        return false;
    }
}

} // namespace

SqliteStatement::SqliteStatement(sqlite3* database, const QByteArray& sql, bool persistent)
    : database_(database), sql_(sql) {
    const int code =
        sqlite3_prepare_v3(database, sql.constData(), int(sql.size()),
                           persistent ? SQLITE_PREPARE_PERSISTENT : 0, &handle_, nullptr);
    if (code != SQLITE_OK) {
        const QString message = QString::fromUtf8(sqlite3_errmsg(database));
        sqlite3_finalize(handle_);
        handle_ = nullptr;
        throw EmbeddedErrors::fromSqlite(database, sqlite3_extended_errcode(database), message,
                                         sql);
    }
    if (handle_ == nullptr)
        throw EmbeddedErrors::syntaxError(QString::fromUtf8(sql));
}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(handle_);
}

int SqliteStatement::parameterCount() const {
    return sqlite3_bind_parameter_count(handle_);
}

ResultSet SqliteStatement::run(std::span<const SqlValue> values) {
    ResetOnExit reset(handle_);
    if (int(values.size()) != parameterCount())
        throw DatabaseError(QStringLiteral("The statement has %1 parameter marker(s) but %2 "
                                           "value(s) were given.")
                                .arg(parameterCount())
                                .arg(values.size()));
    for (int i = 0; i < int(values.size()); ++i)
        bind(i + 1, values[i]);

    ResultSet result;
    const int columnCount = sqlite3_column_count(handle_);
    std::vector<ColumnKind> kinds;
    for (;;) {
        const int code = sqlite3_step(handle_);
        if (code == SQLITE_DONE)
            break;
        if (code != SQLITE_ROW)
            fail(code);
        if (kinds.empty()) {
            for (int column = 0; column < columnCount; ++column)
                kinds.push_back(columnKind(column));
        }
        QVariantList row;
        row.reserve(columnCount);
        for (int column = 0; column < columnCount; ++column)
            row << columnValue(column, kinds[column]);
        result.rows.push_back(std::move(row));
    }
    // Read after stepping: a statement SQLite prepared again after a schema change may have
    // other columns than before.
    const int finalCount = sqlite3_column_count(handle_);
    for (int column = 0; column < finalCount; ++column)
        result.columns << QString::fromUtf8(sqlite3_column_name(handle_, column));
    return result;
}

void SqliteStatement::fail(int code) {
    const int extended = sqlite3_extended_errcode(database_);
    const QString message = QString::fromUtf8(sqlite3_errmsg(database_));
    sqlite3_reset(handle_);
    throw EmbeddedErrors::fromSqlite(database_, extended != SQLITE_OK ? extended : code, message,
                                     sql_);
}

void SqliteStatement::bind(int index, const SqlValue& value) {
    int code = SQLITE_OK;
    const auto bindText = [&](const QString& text) {
        const QByteArray utf8 = text.toUtf8();
        return sqlite3_bind_text(handle_, index, utf8.constData(), int(utf8.size()),
                                 SQLITE_TRANSIENT);
    };
    const auto type = static_cast<QMetaType::Type>(value.value.metaType().id());
    if (value.isNull()) {
        code = sqlite3_bind_null(handle_, index);
    } else if (type == QMetaType::QDateTime) {
        code = bindText(formatSqlDateTime(value.value.toDateTime()));
    } else if (type == QMetaType::QDate) {
        code = bindText(value.value.toDate().toString(QStringLiteral("yyyy-MM-dd")));
    } else if (type == QMetaType::QByteArray) {
        const QByteArray bytes = value.value.toByteArray();
        code = sqlite3_bind_blob(handle_, index, bytes.constData(), int(bytes.size()),
                                 SQLITE_TRANSIENT);
    } else if (value.type == DataType::Integer ||
               (value.type == DataType::Unknown && isIntegerType(type))) {
        bool ok = false;
        const qlonglong number = value.value.toLongLong(&ok);
        code = ok ? sqlite3_bind_int64(handle_, index, number) : bindText(value.value.toString());
    } else if (value.type == DataType::Float ||
               (value.type == DataType::Unknown &&
                (type == QMetaType::Double || type == QMetaType::Float))) {
        bool ok = false;
        const double number = value.value.toDouble(&ok);
        code = ok ? sqlite3_bind_double(handle_, index, number) : bindText(value.value.toString());
    } else if (value.type == DataType::DateTime && value.value.canConvert<QDateTime>() &&
               value.value.toDateTime().isValid()) {
        code = bindText(formatSqlDateTime(value.value.toDateTime()));
    } else {
        code = bindText(value.value.toString());
    }
    if (code != SQLITE_OK)
        fail(code);
}

SqliteStatement::ColumnKind SqliteStatement::columnKind(int column) const {
    const char* declared = sqlite3_column_decltype(handle_, column);
    if (declared == nullptr)
        return ColumnKind::Expression;
    const QString type = QString::fromUtf8(declared).toLower().remove('[').remove(']');
    if (type.startsWith(QLatin1String("date")) || type.startsWith(QLatin1String("smalldatetime")))
        return ColumnKind::DateTime;
    static const char* const decimals[] = {"decimal", "numeric", "money",
                                           "float",   "real",    "double"};
    for (const char* name : decimals) {
        if (type.contains(QLatin1String(name)))
            return ColumnKind::Decimal;
    }
    return ColumnKind::Stored;
}

QVariant SqliteStatement::columnValue(int column, ColumnKind kind) const {
    switch (sqlite3_column_type(handle_, column)) {
    case SQLITE_NULL:
        return {};
    case SQLITE_INTEGER:
        if (kind == ColumnKind::Decimal)
            return sqlite3_column_double(handle_, column);
        return qlonglong(sqlite3_column_int64(handle_, column));
    case SQLITE_FLOAT:
        return sqlite3_column_double(handle_, column);
    case SQLITE_BLOB: {
        const auto* data = static_cast<const char*>(sqlite3_column_blob(handle_, column));
        return QByteArray(data, sqlite3_column_bytes(handle_, column));
    }
    default:
        break;
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(handle_, column));
    const int length = sqlite3_column_bytes(handle_, column);
    // A computed column (Max(DocDate), GetDate()) has no declared type; a text in exactly the
    // engine's date-time form is taken as a date-time there too.
    if (kind == ColumnKind::DateTime ||
        (kind == ColumnKind::Expression && length >= 10 && length <= 23 && text[4] == '-')) {
        if (const auto parts = DateTimeText::parse(text, length))
            return parts->toDateTime();
    }
    return QString::fromUtf8(text, length);
}

} // namespace db
