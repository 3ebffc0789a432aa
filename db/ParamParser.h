#pragma once

#include <QString>
#include <QStringList>

namespace db {

// A statement text with its ":Name" parameter references replaced by '?' markers, and the
// referenced names in the order they occur (a name used twice appears twice).
struct ParsedStatement {
    QString text;
    QStringList references;
};

// Finds ":Name" parameter references. A colon outside quoted text and not followed by a second
// colon starts a reference; the name runs to the next blank, comma, semicolon, closing
// parenthesis, CR or LF, or the end of the text. Single, double and back quotes open and close
// quoted text, also inside a name; a name that begins with a quote has its enclosing quotes
// removed. A doubled colon is sent as one literal colon. Comments are not recognised.
ParsedStatement parseParameters(const QString& sql);

// The distinct names of parseParameters(sql).references, in order of first occurrence
// (compared case-insensitively).
QStringList parameterNames(const QString& sql);

} // namespace db
