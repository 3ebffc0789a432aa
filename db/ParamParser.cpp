#include "db/ParamParser.h"

namespace db {

namespace {

bool isQuote(QChar c) {
    return c == '\'' || c == '"' || c == '`';
}

bool isNameDelimiter(QChar c) {
    return c == ' ' || c == ',' || c == ';' || c == ')' || c == '\r' || c == '\n';
}

QString stripEnclosingQuotes(const QString& name) {
    if (name.size() >= 2 && isQuote(name.front()) && name.back() == name.front())
        return name.mid(1, name.size() - 2);
    if (!name.isEmpty() && isQuote(name.front()))
        return name.mid(1);
    return name;
}

} // namespace

ParsedStatement parseParameters(const QString& sql) {
    ParsedStatement result;
    result.text.reserve(sql.size());
    bool quoted = false;
    qsizetype i = 0;
    const auto n = sql.size();
    while (i < n) {
        const QChar c = sql[i];
        if (c == ':' && !quoted) {
            if (i + 1 < n && sql[i + 1] == ':') {
                result.text += ':';
                i += 2;
                continue;
            }
            // A reference: the name may itself hold quoted parts.
            qsizetype end = i + 1;
            bool startsQuoted = false;
            while (end < n && (quoted || !isNameDelimiter(sql[end]))) {
                if (isQuote(sql[end])) {
                    quoted = !quoted;
                    if (end == i + 1)
                        startsQuoted = true;
                }
                ++end;
            }
            QString name = sql.mid(i + 1, end - i - 1);
            if (startsQuoted)
                name = stripEnclosingQuotes(name);
            result.references << name;
            result.text += '?';
            i = end;
            continue;
        }
        if (isQuote(c))
            quoted = !quoted;
        result.text += c;
        ++i;
    }
    return result;
}

QStringList parameterNames(const QString& sql) {
    QStringList names;
    for (const auto& name : parseParameters(sql).references) {
        bool known = false;
        for (const auto& existing : names)
            known = known || existing.compare(name, Qt::CaseInsensitive) == 0;
        if (!known)
            names << name;
    }
    return names;
}

} // namespace db
