#include "db/odbc/OdbcHandle.h"

#include <QRegularExpression>

#include <sql.h>
#include <sqlext.h>

#include <utility>

namespace db {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "QString and SQLWCHAR must both be UTF-16");

namespace {

// A driver that keeps reporting records should not keep us looping.
constexpr SQLSMALLINT maxDiagnosticRecords = 100;

QString fromWide(const SQLWCHAR* text, qsizetype length) {
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(text), length);
}

} // namespace

OdbcHandle::OdbcHandle(short type, const OdbcHandle* parent) : type_(type) {
    const SQLHANDLE parentHandle = parent ? parent->get() : SQL_NULL_HANDLE;
    SQLHANDLE handle = SQL_NULL_HANDLE;
    const SQLRETURN rc = SQLAllocHandle(type, parentHandle, &handle);
    if (SQL_SUCCEEDED(rc)) {
        handle_ = handle;
        return;
    }
    // The reason of a failed allocation is recorded on the parent; an environment has none.
    if (parent) {
        auto entries = parent->diagnostics();
        if (!entries.empty())
            throw DatabaseError(std::move(entries));
    }
    throw DatabaseError::fromComponent(
        QStringLiteral("ODBC"),
        QStringLiteral("cannot allocate a handle of type %1 (%2)").arg(type).arg(rc));
}

OdbcHandle::~OdbcHandle() {
    release();
}

OdbcHandle::OdbcHandle(OdbcHandle&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), type_(other.type_) {}

OdbcHandle& OdbcHandle::operator=(OdbcHandle&& other) noexcept {
    if (this != &other) {
        release();
        handle_ = std::exchange(other.handle_, nullptr);
        type_ = other.type_;
    }
    return *this;
}

void OdbcHandle::release() noexcept {
    if (!handle_)
        return;
    // A connection is closed before it can be freed; closing one never opened does no harm.
    if (type_ == SQL_HANDLE_DBC)
        SQLDisconnect(handle_);
    SQLFreeHandle(type_, handle_);
    handle_ = nullptr;
}

short OdbcHandle::check(short returnCode, const char* call) const {
    if (SQL_SUCCEEDED(returnCode) || returnCode == SQL_NO_DATA)
        return returnCode;
    auto entries =
        returnCode == SQL_INVALID_HANDLE ? std::vector<DatabaseErrorEntry>() : diagnostics();
    if (!entries.empty())
        throw DatabaseError(std::move(entries));
    throw DatabaseError::fromComponent(
        QStringLiteral("ODBC"),
        QStringLiteral("%1 failed (%2)").arg(QLatin1String(call)).arg(returnCode));
}

std::vector<DatabaseErrorEntry> OdbcHandle::diagnostics() const {
    std::vector<DatabaseErrorEntry> entries;
    if (!handle_)
        return entries;
    std::vector<SQLWCHAR> text(512);
    for (SQLSMALLINT record = 1; record <= maxDiagnosticRecords; ++record) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        SQLRETURN rc = SQLGetDiagRecW(type_, handle_, record, state, &native, text.data(),
                                      static_cast<SQLSMALLINT>(text.size()), &length);
        if (rc == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(text.size())) {
            text.resize(static_cast<size_t>(length) + 1);
            rc = SQLGetDiagRecW(type_, handle_, record, state, &native, text.data(),
                                static_cast<SQLSMALLINT>(text.size()), &length);
        }
        if (!SQL_SUCCEEDED(rc))
            break;
        length = std::min<SQLSMALLINT>(length, static_cast<SQLSMALLINT>(text.size() - 1));
        entries.push_back({fromWide(state, -1), static_cast<int>(native),
                           entryText(fromWide(text.data(), length))});
    }
    return entries;
}

QString OdbcHandle::entryText(const QString& message) {
    static const QRegularExpression serverPrefix(
        QStringLiteral(R"(^(?:\[[^\]]*\])*\[SQL Server\])"));
    const auto match = serverPrefix.match(message);
    if (!match.hasMatch())
        return message;
    return message.mid(match.capturedLength());
}

} // namespace db
