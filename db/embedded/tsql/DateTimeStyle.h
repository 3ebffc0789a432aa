#pragma once

#include "db/embedded/tsql/DateTimeValue.h"
#include "db/embedded/tsql/SqlType.h"

#include <QString>

namespace db::tsql {

// The text styles of Convert between the date types and text.
class DateTimeStyle {
public:
    // The text of Convert(varchar, value, style) for a value of that date type: 0 or 100
    // "Mar  5 2024 12:00AM", 101 "03/05/2024", 103 "05/03/2024", 112 "20240305", 120
    // "2024-03-05 00:00:00", 121 "2024-03-05 00:00:00.000", and the other styles of SQL Server's
    // table (1 to 14, 20 to 25, 100 to 114, 126, 127). A date shows no time of day, and on its
    // own (style 0) is "2024-03-05" as Cast gives it. Other styles are taken as 0.
    static QString format(const DateTimeValue& value, TypeKind kind, int style);
    // The order of day, month and year in which Convert(datetime, text, style) reads a date of
    // three numbers.
    static DateTimeValue::DateOrder orderOf(int style);
};

} // namespace db::tsql
