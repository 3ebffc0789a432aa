#pragma once

#include <QString>

#include <vector>

namespace db {

// One lexical piece of a T-SQL text. text is the exact source, so joining the texts of all
// tokens gives the input back.
struct TsqlToken {
    enum class Kind {
        Word,         // identifier or keyword, also #temp names
        Bracketed,    // [name]
        DoubleQuoted, // "name"
        String,       // 'text' or N'text'
        Number,
        Variable, // @name, @@name
        Marker,   // ?
        Punctuation,
        Space,
        Comment,
    };

    Kind kind = Kind::Space;
    QString text;

    bool isSignificant() const { return kind != Kind::Space && kind != Kind::Comment; }
    // A word equal to keyword, ignoring case.
    bool isWord(const char* keyword) const;
    bool isPunctuation(char c) const;
    // A name: a word, [bracketed] or "quoted"; unquoted() gives it without its quotes.
    bool isName() const;
    QString unquoted() const;
};

// Cuts a T-SQL text into tokens: quoted texts, bracketed names and comments stay whole.
class TsqlTokenizer {
public:
    static std::vector<TsqlToken> tokenize(const QString& sql);
};

} // namespace db
