#pragma once

#include <QChar>
#include <QString>
#include <QStringView>

namespace db::tsql {

// T-SQL's Like patterns: % any run of characters, _ any one character, [abc], [a-f] and [^abc]
// one character of a set, and an escape character that makes the next one plain. Letters a to
// z match their capitals unless the comparison is binary. Trailing blanks of a char or varchar
// text do not count; those of a Unicode text (nchar, nvarchar) and of the pattern do.
class LikePattern {
public:
    static bool matches(QStringView text, QStringView pattern, QChar escape, bool binary,
                        bool unicode = false);
    // The 1-based position of the first match of pattern (PatIndex's pattern, %...% as written)
    // in text, 0 when there is none.
    static int firstMatch(QStringView text, QStringView pattern, bool binary);
};

} // namespace db::tsql
