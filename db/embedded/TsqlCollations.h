#pragma once

struct sqlite3;

namespace db {

// The two collations that make SQLite compare as the suite's SQL Server does. SQLite looks
// collation names up without regard to case, so T-SQL's "collate Thai_ci_as" finds the first.
class TsqlCollations {
public:
    // Text as a case-insensitive SQL Server collation: the letters a to z equal their capitals,
    // trailing blanks are ignored, every other character compares by its code point.
    static constexpr const char* text = "Thai_CI_AS";
    // Date-time texts in chronological order, whatever form of the date literal was stored.
    static constexpr const char* dateTime = "TSQL_DateTime";

    static void registerOn(sqlite3* database);

    static int compareText(const char* left, int leftLength, const char* right, int rightLength);
    static int compareDateTime(const char* left, int leftLength, const char* right,
                               int rightLength);
};

} // namespace db
