#include "db/embedded/tsql/LikePattern.h"

#include <vector>

namespace db::tsql {

namespace {

QChar folded(QChar c, bool binary) {
    if (!binary && c >= 'a' && c <= 'z')
        return QChar(c.unicode() - ('a' - 'A'));
    return c;
}

// One element of a compiled pattern.
struct Element {
    enum class Kind { Any, One, Set, Char };
    Kind kind = Kind::Char;
    QChar character;
    QString set; // pairs of characters: ranges
    bool negated = false;
};

std::vector<Element> compile(QStringView pattern, QChar escape, bool binary) {
    std::vector<Element> elements;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        Element element;
        if (!escape.isNull() && c == escape && i + 1 < pattern.size()) {
            element.character = folded(pattern[++i], binary);
        } else if (c == '%') {
            if (!elements.empty() && elements.back().kind == Element::Kind::Any)
                continue;
            element.kind = Element::Kind::Any;
        } else if (c == '_') {
            element.kind = Element::Kind::One;
        } else if (c == '[') {
            const qsizetype close = pattern.indexOf(']', i + 2);
            if (close < 0) {
                element.character = c;
            } else {
                element.kind = Element::Kind::Set;
                qsizetype j = i + 1;
                if (pattern[j] == '^') {
                    element.negated = true;
                    ++j;
                }
                for (; j < close; ++j) {
                    QChar from = folded(pattern[j], binary);
                    QChar to = from;
                    if (j + 2 < close && pattern[j + 1] == '-') {
                        to = folded(pattern[j + 2], binary);
                        j += 2;
                    }
                    element.set += from;
                    element.set += to;
                }
                i = close;
            }
        } else {
            element.character = folded(c, binary);
        }
        elements.push_back(element);
    }
    return elements;
}

bool elementMatches(const Element& element, QChar c) {
    switch (element.kind) {
    case Element::Kind::One:
        return true;
    case Element::Kind::Char:
        return element.character == c;
    case Element::Kind::Set: {
        bool inside = false;
        for (qsizetype k = 0; k + 1 < element.set.size(); k += 2) {
            if (c >= element.set[k] && c <= element.set[k + 1])
                inside = true;
        }
        return inside != element.negated;
    }
    case Element::Kind::Any:
        return true;
    }
    return false;
}

// Matches the elements from e against text from t to its end; backtracks only at %.
bool matchFrom(const std::vector<Element>& elements, std::size_t e, const QString& text,
               qsizetype t) {
    while (e < elements.size()) {
        const Element& element = elements[e];
        if (element.kind == Element::Kind::Any) {
            if (e + 1 == elements.size())
                return true;
            for (qsizetype k = t; k <= text.size(); ++k) {
                if (matchFrom(elements, e + 1, text, k))
                    return true;
            }
            return false;
        }
        if (t >= text.size() || !elementMatches(element, text[t]))
            return false;
        ++e;
        ++t;
    }
    return t == text.size();
}

QString foldedText(QStringView text, bool binary) {
    QString result;
    result.reserve(text.size());
    for (const QChar c : text)
        result += folded(c, binary);
    return result;
}

} // namespace

bool LikePattern::matches(QStringView text, QStringView pattern, QChar escape, bool binary,
                          bool unicode) {
    qsizetype length = text.size();
    while (!unicode && length > 0 && text[length - 1] == ' ')
        --length;
    const QString value = foldedText(text.first(length), binary);
    const auto elements = compile(pattern, escape, binary);
    if (matchFrom(elements, 0, value, 0))
        return true;
    // The blanks dropped from the text may still be wanted by the pattern.
    if (length < text.size())
        return matchFrom(elements, 0, foldedText(text, binary), 0);
    return false;
}

int LikePattern::firstMatch(QStringView text, QStringView pattern, bool binary) {
    const QString value = foldedText(text, binary);
    auto elements = compile(pattern, QChar(), binary);
    // PatIndex's pattern is %...%: the leading % finds the start, the match is the rest.
    if (!elements.empty() && elements.front().kind == Element::Kind::Any)
        elements.erase(elements.begin());
    else
        return matchFrom(elements, 0, value, 0) ? 1 : 0;
    for (qsizetype start = 0; start <= value.size(); ++start) {
        if (matchFrom(elements, 0, value, start))
            return int(start) + 1;
    }
    return 0;
}

} // namespace db::tsql
