#pragma once

#include <QString>

#include <vector>

namespace db::tsql {

// One lexical piece of a T-SQL text, blanks and comments left out.
struct Token {
    enum class Kind {
        Word,       // identifier or keyword; also #temp and ##temp names
        QuotedName, // [name] or "name", text without its quotes
        String,     // 'text', text without its quotes and with '' made '
        NString,    // N'text'
        Integer,    // digits only
        Number,     // digits with a decimal point
        Float,      // with an exponent
        Binary,     // 0x..., text the hex digits
        Money,      // $12.50, text the number
        Variable,   // @name; text with the "@"
        System,     // @@name; text with the "@@"
        Marker,     // ? (a bound value)
        Symbol,     // ( ) , . ; = < > <= >= <> != !< !> + - * / % & | ^ ~ += -= *= /= %= &= |= ^=
        End,        // after the last token
    };

    Kind kind = Kind::End;
    QString text;
    int line = 1;     // 1-based line of the token's first character
    int position = 0; // index of its first character in the text

    bool is(Kind k) const { return kind == k; }
    // A word equal to keyword, ignoring case.
    bool isWord(const char* keyword) const;
    bool isSymbol(const char* symbol) const;
    // A word or a quoted name.
    bool isName() const { return kind == Kind::Word || kind == Kind::QuotedName; }
};

// Cuts a T-SQL text into tokens. An unclosed quote or comment throws TsqlError 105 or 113 as
// SQL Server reports them.
class Lexer {
public:
    static std::vector<Token> tokenize(const QString& sql);
};

} // namespace db::tsql
