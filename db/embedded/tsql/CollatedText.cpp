#include "db/embedded/tsql/CollatedText.h"

namespace db::tsql {

namespace {

char16_t folded(char16_t c, Collation collation) {
    if (collation == Collation::CaseInsensitive && c >= u'a' && c <= u'z')
        return c - (u'a' - u'A');
    return c;
}

// UTF-16 units in code point order: surrogates after the rest of the basic plane.
char32_t orderOf(char16_t c) {
    if (c >= 0xd800 && c <= 0xdfff)
        return char32_t(c) + 0x2000;
    if (c >= 0xe000)
        return char32_t(c) - 0x800;
    return c;
}

bool allBlank(QStringView text, qsizetype from) {
    for (qsizetype i = from; i < text.size(); ++i) {
        if (text[i] != u' ')
            return false;
    }
    return true;
}

// Whether the single-character element of the pattern at position matches c; next is set to
// the position after the element. False with next unchanged when the element is malformed.
bool elementMatches(QStringView pattern, qsizetype position, char16_t c, Collation collation,
                    QChar escape, qsizetype& next) {
    const char16_t p = pattern[position].unicode();
    const char16_t target = folded(c, collation);
    if (!escape.isNull() && p == escape.unicode() && position + 1 < pattern.size()) {
        next = position + 2;
        return folded(pattern[position + 1].unicode(), collation) == target;
    }
    if (p == u'_') {
        next = position + 1;
        return true;
    }
    if (p == u'[') {
        qsizetype i = position + 1;
        const bool negated = i < pattern.size() && pattern[i] == u'^';
        if (negated)
            ++i;
        bool found = false;
        const qsizetype first = i;
        for (; i < pattern.size(); ++i) {
            const char16_t member = folded(pattern[i].unicode(), collation);
            if (member == u']' && i > first)
                break;
            if (i + 2 < pattern.size() && pattern[i + 1] == u'-' && pattern[i + 2] != u']') {
                const char16_t upper = folded(pattern[i + 2].unicode(), collation);
                found = found || (target >= member && target <= upper);
                i += 2;
            } else {
                found = found || member == target;
            }
        }
        if (i < pattern.size()) {
            next = i + 1;
            return found != negated;
        }
        // No closing bracket: the bracket stands for itself.
    }
    next = position + 1;
    return folded(p, collation) == target;
}

} // namespace

int CollatedText::compare(QStringView left, QStringView right, Collation collation) {
    const qsizetype leftLength = trimmedLength(left);
    const qsizetype rightLength = trimmedLength(right);
    const qsizetype common = leftLength < rightLength ? leftLength : rightLength;
    for (qsizetype i = 0; i < common; ++i) {
        const char16_t a = folded(left[i].unicode(), collation);
        const char16_t b = folded(right[i].unicode(), collation);
        if (a != b)
            return orderOf(a) < orderOf(b) ? -1 : 1;
    }
    return leftLength < rightLength ? -1 : leftLength > rightLength ? 1 : 0;
}

qsizetype CollatedText::find(QStringView text, QStringView part, qsizetype from,
                             Collation collation) {
    if (part.isEmpty())
        return -1;
    for (qsizetype start = from < 0 ? 0 : from; start + part.size() <= text.size(); ++start) {
        qsizetype i = 0;
        while (i < part.size() &&
               folded(text[start + i].unicode(), collation) == folded(part[i].unicode(), collation))
            ++i;
        if (i == part.size())
            return start;
    }
    return -1;
}

bool CollatedText::matchesPattern(QStringView text, QStringView pattern, Collation collation,
                                  QChar escape) {
    // Greedy matching that goes back to the last % when the rest fails: every other element
    // takes exactly one character, so the last % is the only choice to revise.
    qsizetype t = 0, p = 0;
    qsizetype afterRun = -1, runStart = -1;
    while (true) {
        if (p < pattern.size()) {
            const bool escaped = !escape.isNull() && pattern[p] == escape;
            if (!escaped && pattern[p] == u'%') {
                afterRun = ++p;
                runStart = t;
                continue;
            }
            qsizetype next = p;
            if (t < text.size() &&
                elementMatches(pattern, p, text[t].unicode(), collation, escape, next)) {
                p = next;
                ++t;
                continue;
            }
        } else if (allBlank(text, t)) {
            return true;
        }
        if (afterRun < 0 || runStart >= text.size())
            return false;
        t = ++runStart;
        p = afterRun;
    }
}

qsizetype CollatedText::trimmedLength(QStringView text) {
    qsizetype length = text.size();
    while (length > 0 && text[length - 1] == u' ')
        --length;
    return length;
}

int CollatedText::codePageByte(QChar character) {
    const char16_t c = character.unicode();
    if (c < 0x80)
        return c;
    if (c >= 0x0e01 && c <= 0x0e3a)
        return c - 0x0e01 + 0xa1;
    if (c >= 0x0e3f && c <= 0x0e5b)
        return c - 0x0e3f + 0xdf;
    switch (c) {
    case 0x20ac:
        return 0x80;
    case 0x2026:
        return 0x85;
    case 0x2018:
        return 0x91;
    case 0x2019:
        return 0x92;
    case 0x201c:
        return 0x93;
    case 0x201d:
        return 0x94;
    case 0x2022:
        return 0x95;
    case 0x2013:
        return 0x96;
    case 0x2014:
        return 0x97;
    case 0x00a0:
        return 0xa0;
    default:
        return -1;
    }
}

QChar CollatedText::fromCodePageByte(int byte) {
    if (byte < 0 || byte > 0xff)
        return QChar();
    if (byte < 0x80)
        return QChar(byte);
    if (byte >= 0xa1 && byte <= 0xda)
        return QChar(char16_t(0x0e01 + byte - 0xa1));
    if (byte >= 0xdf && byte <= 0xfb)
        return QChar(char16_t(0x0e3f + byte - 0xdf));
    static constexpr char16_t specials[][2] = {
        {0x80, 0x20ac}, {0x85, 0x2026}, {0x91, 0x2018}, {0x92, 0x2019}, {0x93, 0x201c},
        {0x94, 0x201d}, {0x95, 0x2022}, {0x96, 0x2013}, {0x97, 0x2014}, {0xa0, 0x00a0}};
    for (const auto& special : specials) {
        if (special[0] == byte)
            return QChar(special[1]);
    }
    return QChar();
}

QString CollatedText::toCodePage(QStringView text) {
    QString result = text.toString();
    for (QChar& c : result) {
        if (codePageByte(c) < 0)
            c = u'?';
    }
    return result;
}

} // namespace db::tsql
