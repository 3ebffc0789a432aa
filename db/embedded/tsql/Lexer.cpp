#include "db/embedded/tsql/Lexer.h"

#include "db/embedded/tsql/TsqlError.h"

namespace db::tsql {

namespace {

bool isWordStart(QChar c) {
    return c.isLetter() || c == '_' || c == '#';
}

bool isWordPart(QChar c) {
    return c.isLetterOrNumber() || c.isMark() || c == '_' || c == '#' || c == '$' || c == '@';
}

bool isHexDigit(QChar c) {
    return c.isDigit() || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

} // namespace

bool Token::isWord(const char* keyword) const {
    return kind == Kind::Word && text.compare(QLatin1String(keyword), Qt::CaseInsensitive) == 0;
}

bool Token::isSymbol(const char* symbol) const {
    return kind == Kind::Symbol && text == QLatin1String(symbol);
}

std::vector<Token> Lexer::tokenize(const QString& sql) {
    using Kind = Token::Kind;
    std::vector<Token> tokens;
    const qsizetype size = sql.size();
    const auto at = [&](qsizetype index) { return index < size ? sql[index] : QChar(); };
    qsizetype i = 0;
    int line = 1;
    const auto advanceLines = [&](qsizetype from, qsizetype to) {
        for (qsizetype k = from; k < to; ++k) {
            if (sql[k] == '\n')
                ++line;
        }
    };
    // The end of a piece quoted by open ... close, the closing character doubled inside.
    const auto quoted = [&](qsizetype start, QChar close, QString& text) {
        qsizetype k = start + 1;
        while (k < size) {
            if (sql[k] == close) {
                if (at(k + 1) == close) {
                    text += close;
                    k += 2;
                    continue;
                }
                return k + 1;
            }
            text += sql[k];
            ++k;
        }
        return qsizetype(-1);
    };

    while (i < size) {
        const QChar c = sql[i];
        if (c.isSpace()) {
            if (c == '\n')
                ++line;
            ++i;
            continue;
        }
        if (c == '-' && at(i + 1) == '-') {
            while (i < size && sql[i] != '\n')
                ++i;
            continue;
        }
        if (c == '/' && at(i + 1) == '*') {
            // Block comments nest in T-SQL.
            int depth = 1;
            qsizetype k = i + 2;
            while (k < size && depth > 0) {
                if (sql[k] == '/' && at(k + 1) == '*') {
                    ++depth;
                    k += 2;
                } else if (sql[k] == '*' && at(k + 1) == '/') {
                    --depth;
                    k += 2;
                } else {
                    ++k;
                }
            }
            if (depth > 0)
                throw TsqlError(113, QStringLiteral("Missing end comment mark '*/'."), 15, 1,
                                ErrorScope::Batch);
            advanceLines(i, k);
            i = k;
            continue;
        }

        Token token;
        token.line = line;
        token.position = int(i);
        qsizetype end = i + 1;
        if (c == '\'' || ((c == 'N' || c == 'n') && at(i + 1) == '\'')) {
            token.kind = c == '\'' ? Kind::String : Kind::NString;
            end = quoted(c == '\'' ? i : i + 1, '\'', token.text);
            if (end < 0)
                throw TsqlError(105,
                                QStringLiteral("Unclosed quotation mark after the character "
                                               "string '%1'.")
                                    .arg(token.text),
                                15, 1, ErrorScope::Batch);
        } else if (c == '[' || c == '"') {
            token.kind = Kind::QuotedName;
            end = quoted(i, c == '[' ? QChar(']') : QChar('"'), token.text);
            if (end < 0)
                throw TsqlError(105,
                                QStringLiteral("Unclosed quotation mark after the character "
                                               "string '%1'.")
                                    .arg(token.text),
                                15, 1, ErrorScope::Batch);
        } else if (c == '0' && (at(i + 1) == 'x' || at(i + 1) == 'X')) {
            token.kind = Kind::Binary;
            end = i + 2;
            while (end < size && isHexDigit(sql[end]))
                ++end;
            token.text = sql.mid(i + 2, end - i - 2);
        } else if (c.isDigit() || (c == '.' && at(i + 1).isDigit()) ||
                   (c == '$' && (at(i + 1).isDigit() || at(i + 1) == '.'))) {
            const qsizetype start = c == '$' ? i + 1 : i;
            end = start;
            bool point = false;
            while (end < size && (sql[end].isDigit() || (sql[end] == '.' && !point))) {
                point = point || sql[end] == '.';
                ++end;
            }
            token.kind = c == '$' ? Kind::Money : (point ? Kind::Number : Kind::Integer);
            if (c != '$' && (at(end) == 'e' || at(end) == 'E')) {
                qsizetype k = end + 1;
                if (at(k) == '+' || at(k) == '-')
                    ++k;
                if (at(k).isDigit()) {
                    while (k < size && sql[k].isDigit())
                        ++k;
                    end = k;
                    token.kind = Kind::Float;
                }
            }
            token.text = sql.mid(start, end - start);
        } else if (c == '@') {
            token.kind = at(i + 1) == '@' ? Kind::System : Kind::Variable;
            end = token.kind == Kind::System ? i + 2 : i + 1;
            while (end < size && isWordPart(sql[end]))
                ++end;
            token.text = sql.mid(i, end - i);
        } else if (isWordStart(c)) {
            token.kind = Kind::Word;
            while (end < size && isWordPart(sql[end]))
                ++end;
            token.text = sql.mid(i, end - i);
        } else if (c == '?') {
            token.kind = Kind::Marker;
            token.text = QStringLiteral("?");
        } else {
            token.kind = Kind::Symbol;
            static const char* const pairs[] = {
                "<=", ">=", "<>", "!=", "!<", "!>", "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^="};
            for (const char* pair : pairs) {
                if (c == QLatin1Char(pair[0]) && at(i + 1) == QLatin1Char(pair[1]))
                    end = i + 2;
            }
            token.text = sql.mid(i, end - i);
        }
        advanceLines(i, end);
        tokens.push_back(std::move(token));
        i = end;
    }
    Token last;
    last.kind = Kind::End;
    last.line = line;
    last.position = int(size);
    tokens.push_back(std::move(last));
    return tokens;
}

} // namespace db::tsql
