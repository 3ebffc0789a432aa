#include "db/embedded/TsqlTokenizer.h"

namespace db {

namespace {

bool isWordStart(QChar c) {
    return c.isLetter() || c == '_' || c == '#';
}

bool isWordPart(QChar c) {
    return c.isLetterOrNumber() || c.isMark() || c == '_' || c == '#' || c == '$' || c == '@';
}

// The end of a quoted piece that starts at start with quote and doubles it to escape it.
qsizetype quotedEnd(const QString& sql, qsizetype start, QChar close) {
    qsizetype i = start + 1;
    while (i < sql.size()) {
        if (sql[i] == close) {
            if (i + 1 < sql.size() && sql[i + 1] == close) {
                i += 2;
                continue;
            }
            return i + 1;
        }
        ++i;
    }
    return sql.size();
}

} // namespace

bool TsqlToken::isWord(const char* keyword) const {
    return kind == Kind::Word && text.compare(QLatin1String(keyword), Qt::CaseInsensitive) == 0;
}

bool TsqlToken::isPunctuation(char c) const {
    return kind == Kind::Punctuation && text.size() == 1 && text[0] == QLatin1Char(c);
}

bool TsqlToken::isName() const {
    return kind == Kind::Word || kind == Kind::Bracketed || kind == Kind::DoubleQuoted;
}

QString TsqlToken::unquoted() const {
    if (kind == Kind::Bracketed)
        return text.mid(1, text.size() - 2).replace(QStringLiteral("]]"), QStringLiteral("]"));
    if (kind == Kind::DoubleQuoted)
        return text.mid(1, text.size() - 2).replace(QStringLiteral("\"\""), QStringLiteral("\""));
    return text;
}

std::vector<TsqlToken> TsqlTokenizer::tokenize(const QString& sql) {
    using Kind = TsqlToken::Kind;
    std::vector<TsqlToken> tokens;
    qsizetype i = 0;
    const qsizetype size = sql.size();
    const auto at = [&](qsizetype index) { return index < size ? sql[index] : QChar(); };

    while (i < size) {
        const QChar c = sql[i];
        qsizetype end = i + 1;
        Kind kind = Kind::Punctuation;
        if (c.isSpace()) {
            kind = Kind::Space;
            while (end < size && sql[end].isSpace())
                ++end;
        } else if (c == '-' && at(i + 1) == '-') {
            kind = Kind::Comment;
            while (end < size && sql[end] != '\n')
                ++end;
        } else if (c == '/' && at(i + 1) == '*') {
            // T-SQL block comments nest.
            kind = Kind::Comment;
            int depth = 1;
            end = i + 2;
            while (end < size && depth > 0) {
                if (sql[end] == '/' && at(end + 1) == '*') {
                    ++depth;
                    end += 2;
                } else if (sql[end] == '*' && at(end + 1) == '/') {
                    --depth;
                    end += 2;
                } else {
                    ++end;
                }
            }
        } else if (c == '\'') {
            kind = Kind::String;
            end = quotedEnd(sql, i, '\'');
        } else if ((c == 'N' || c == 'n') && at(i + 1) == '\'') {
            kind = Kind::String;
            end = quotedEnd(sql, i + 1, '\'');
        } else if (c == '[') {
            kind = Kind::Bracketed;
            end = quotedEnd(sql, i, ']');
        } else if (c == '"') {
            kind = Kind::DoubleQuoted;
            end = quotedEnd(sql, i, '"');
        } else if (c.isDigit() || (c == '.' && at(i + 1).isDigit())) {
            kind = Kind::Number;
            while (end < size && (sql[end].isDigit() || sql[end] == '.'))
                ++end;
            if ((at(end) == 'e' || at(end) == 'E') &&
                (at(end + 1).isDigit() ||
                 ((at(end + 1) == '+' || at(end + 1) == '-') && at(end + 2).isDigit()))) {
                end += 2;
                while (end < size && sql[end].isDigit())
                    ++end;
            }
        } else if (c == '@') {
            kind = Kind::Variable;
            while (end < size && (isWordPart(sql[end])))
                ++end;
        } else if (isWordStart(c)) {
            kind = Kind::Word;
            while (end < size && isWordPart(sql[end]))
                ++end;
        } else if (c == '?') {
            kind = Kind::Marker;
        } else {
            static const QString pairs[] = {QStringLiteral("<="), QStringLiteral(">="),
                                            QStringLiteral("<>"), QStringLiteral("!="),
                                            QStringLiteral("||")};
            for (const auto& pair : pairs) {
                if (QStringView(sql).mid(i, 2) == pair)
                    end = i + 2;
            }
        }
        tokens.push_back({kind, sql.mid(i, end - i)});
        i = end;
    }
    return tokens;
}

} // namespace db
