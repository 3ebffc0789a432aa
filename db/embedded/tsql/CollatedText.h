#pragma once

#include "db/embedded/tsql/SqlType.h"

#include <QString>
#include <QStringView>

namespace db::tsql {

// Text as the database's collation sees it. Case-insensitive: the letters a to z equal their
// capitals, every other character compares by its code point (as the embedded engine's SQLite
// collation does, so that both sort alike). Binary: code points as they stand. Both ignore
// trailing blanks when comparing, as SQL Server pads the shorter text with blanks whatever the
// collation. varchar holds the characters of the Thai code page (874), one byte each.
class CollatedText {
public:
    static int compare(QStringView left, QStringView right, Collation collation);
    // The position of the first occurrence of part in text at or after from, or -1; an empty
    // part is found nowhere, as CharIndex finds it.
    static qsizetype find(QStringView text, QStringView part, qsizetype from, Collation collation);
    // The pattern of Like and PatIndex: % any run of characters, _ any one, [abc] [a-f] one of
    // a set, [^a-f] one outside it, the escape character (if not null) taking the next one as it
    // stands. Trailing blanks of the text are ignored, those of the pattern are not.
    static bool matchesPattern(QStringView text, QStringView pattern, Collation collation,
                               QChar escape = QChar());
    // The length without trailing blanks, as Len counts.
    static qsizetype trimmedLength(QStringView text);

    // The text as varchar holds it: characters outside the Thai code page become '?'.
    static QString toCodePage(QStringView text);
    // The code page byte of a character (Ascii()), or -1 outside the code page; and back
    // (Char()), a null character for a byte the code page leaves unassigned.
    static int codePageByte(QChar character);
    static QChar fromCodePageByte(int byte);
};

} // namespace db::tsql
