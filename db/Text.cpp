#include "db/Text.h"

namespace db {

QString trimControls(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 32)
        ++begin;
    while (end > begin && text[end - 1].unicode() <= 32)
        --end;
    return text.mid(begin, end - begin);
}

QString upperCaseAsciiLetters(const QString& text) {
    QString result = text;
    for (auto& c : result) {
        if (c >= 'a' && c <= 'z')
            c = QChar(c.unicode() - ('a' - 'A'));
    }
    return result;
}

} // namespace db
