#pragma once

#include <QChar>
#include <QString>
#include <QStringView>

namespace db::tsql {

// T-SQL's Like patterns: % any run of characters, _ any one character, [abc], [a-f] and [^abc]
// one character of a set, and an escape character that makes the next one plain. Letters a to
// z match their capitals unless the comparison is binary. Trailing blanks of the text do not
// count; those of the pattern do.
class LikePattern {
public:
    static bool matches(QStringView text, QStringView pattern, QChar escape, bool binary);
    // The 1-based position of the first match of pattern (PatIndex's pattern, %...% as written)
    // in text, 0 when there is none.
    static int firstMatch(QStringView text, QStringView pattern, bool binary);
};

} // namespace db::tsql
