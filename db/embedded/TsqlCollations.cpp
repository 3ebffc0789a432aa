#include "db/embedded/TsqlCollations.h"

#include "db/embedded/DateTimeText.h"
#include "db/embedded/EmbeddedErrors.h"

#include <sqlite3.h>

#include <cstring>

namespace db {

namespace {

int trimmedLength(const char* text, int length) {
    while (length > 0 && text[length - 1] == ' ')
        --length;
    return length;
}

unsigned char folded(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 'a' && byte <= 'z' ? byte - ('a' - 'A') : byte;
}

int compareBytes(const char* left, int leftLength, const char* right, int rightLength) {
    const int common = leftLength < rightLength ? leftLength : rightLength;
    const int order = std::memcmp(left, right, size_t(common));
    if (order != 0)
        return order;
    return leftLength - rightLength;
}

int textCollation(void*, int leftLength, const void* left, int rightLength, const void* right) {
    return TsqlCollations::compareText(static_cast<const char*>(left), leftLength,
                                       static_cast<const char*>(right), rightLength);
}

int dateTimeCollation(void*, int leftLength, const void* left, int rightLength, const void* right) {
    return TsqlCollations::compareDateTime(static_cast<const char*>(left), leftLength,
                                           static_cast<const char*>(right), rightLength);
}

} // namespace

void TsqlCollations::registerOn(sqlite3* database) {
    // UTF-8 bytes order as their code points do, so comparing bytes is comparing characters.
    if (sqlite3_create_collation_v2(database, text, SQLITE_UTF8, nullptr, textCollation, nullptr) !=
            SQLITE_OK ||
        sqlite3_create_collation_v2(database, dateTime, SQLITE_UTF8, nullptr, dateTimeCollation,
                                    nullptr) != SQLITE_OK)
        throw EmbeddedErrors::make(QStringLiteral("1"), 1,
                                   QString::fromUtf8(sqlite3_errmsg(database)));
}

int TsqlCollations::compareText(const char* left, int leftLength, const char* right,
                                int rightLength) {
    leftLength = trimmedLength(left, leftLength);
    rightLength = trimmedLength(right, rightLength);
    const int common = leftLength < rightLength ? leftLength : rightLength;
    for (int i = 0; i < common; ++i) {
        const unsigned char a = folded(left[i]);
        const unsigned char b = folded(right[i]);
        if (a != b)
            return a < b ? -1 : 1;
    }
    return leftLength - rightLength;
}

int TsqlCollations::compareDateTime(const char* left, int leftLength, const char* right,
                                    int rightLength) {
    const auto a = DateTimeText::parse(left, leftLength);
    const auto b = DateTimeText::parse(right, rightLength);
    if (a && b) {
        const qint64 keyA = a->sortKey();
        const qint64 keyB = b->sortKey();
        return keyA < keyB ? -1 : (keyA > keyB ? 1 : 0);
    }
    // Texts that are no date-time sort after every date-time, among themselves as bytes, so the
    // order stays consistent for indexes.
    if (a)
        return -1;
    if (b)
        return 1;
    return compareBytes(left, leftLength, right, rightLength);
}

} // namespace db
