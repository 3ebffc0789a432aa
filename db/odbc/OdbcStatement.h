#pragma once

#include "db/Connection.h"
#include "db/odbc/OdbcHandle.h"

#include <QString>

#include <vector>

namespace db {

// One statement handle on an open connection, used for one batch: binds the values of the
// '?' markers, runs the text and walks every result it gives. Rows of results other than the
// kept one are still read to the end, so an error raised in them reaches the caller.
class OdbcStatement {
public:
    enum class Keep { None, FirstRows, LastRows };

    // queryTimeout in seconds, 0 for none.
    OdbcStatement(const OdbcHandle& connection, int queryTimeout);

    // Runs the text with the values bound in order and returns the kept result that has
    // columns: the first, the last, or none. Empty when no result has columns.
    ResultSet run(const QString& sql, const std::vector<SqlValue>& values, Keep keep);

private:
    struct Parameter;

    void bind(const std::vector<SqlValue>& values, std::vector<Parameter>& buffers);
    ResultSet fetchResult(short columnCount);
    void skipRows();
    QVariant readValue(unsigned short column, short sqlType);
    QVariant readText(unsigned short column);
    QVariant readBinary(unsigned short column);

    OdbcHandle handle_;
};

} // namespace db
