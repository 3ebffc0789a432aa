#pragma once

#include "db/DatabaseError.h"

#include <QString>

#include <vector>

namespace db {

// One ODBC handle (environment, connection or statement), freed with the object. The calls made
// on a handle are checked here, in one place: a failure becomes a DatabaseError carrying every
// diagnostic record of the handle. The ODBC headers stay out of this header: a handle is a
// pointer and its type a short in every ODBC implementation.
class OdbcHandle {
public:
    OdbcHandle() = default;
    // Allocates a handle of that ODBC type (SQL_HANDLE_ENV, _DBC, _STMT) under its parent; an
    // environment has no parent.
    OdbcHandle(short type, const OdbcHandle* parent);
    ~OdbcHandle();

    OdbcHandle(OdbcHandle&& other) noexcept;
    OdbcHandle& operator=(OdbcHandle&& other) noexcept;
    OdbcHandle(const OdbcHandle&) = delete;
    OdbcHandle& operator=(const OdbcHandle&) = delete;

    void* get() const { return handle_; }
    short type() const { return type_; }

    // Returns the return code of a call on this handle when it did not fail (SQL_SUCCESS,
    // SQL_SUCCESS_WITH_INFO or SQL_NO_DATA); throws a DatabaseError otherwise. call names the
    // ODBC function for the rare failure that leaves no diagnostic record.
    short check(short returnCode, const char* call) const;

    // Every diagnostic record the handle holds, in order.
    std::vector<DatabaseErrorEntry> diagnostics() const;

    // The text of a diagnostic message as the entry keeps it: a message of the server itself
    // ("[vendor][driver][SQL Server]text") without the prefixes ODBC puts in front, so it reads
    // as SQL Server (and the embedded engine) word it; other messages unchanged.
    static QString entryText(const QString& message);

private:
    void release() noexcept;

    void* handle_ = nullptr;
    short type_ = 0;
};

} // namespace db
