#include "db/embedded/TsqlCollations.h"
#include "db/embedded/DateTimeText.h"

#include <gtest/gtest.h>

#include <cstring>

using db::DateTimeText;

namespace {

int compareTexts(const char* left, const char* right) {
    return db::TsqlCollations::compareText(left, int(std::strlen(left)), right,
                                           int(std::strlen(right)));
}

int compareDates(const char* left, const char* right) {
    return db::TsqlCollations::compareDateTime(left, int(std::strlen(left)), right,
                                               int(std::strlen(right)));
}

} // namespace

TEST(DateTimeText, StoredTextsOfEveryForm) {
    const auto full = DateTimeText::parse(" 2024-02-29 07:05:09.5 ");
    ASSERT_TRUE(full);
    EXPECT_EQ(full->toDateTime(), QDateTime(QDate(2024, 2, 29), QTime(7, 5, 9, 500)));
    EXPECT_EQ(DateTimeText::parse("20240131")->toDateTime(),
              QDateTime(QDate(2024, 1, 31), QTime(0, 0)));
    EXPECT_EQ(DateTimeText::parse("2024-01-31T9:30")->toDateTime(),
              QDateTime(QDate(2024, 1, 31), QTime(9, 30)));
    for (const char* wrong : {"2023-02-29", "2024-13-01", "2024-01-31 24:00", "2024-1-31",
                              "31/01/2024", "2024-01-31 10", "2024-01-31x", ""})
        EXPECT_FALSE(DateTimeText::parse(QString::fromLatin1(wrong))) << wrong;
    EXPECT_EQ(DateTimeText::format(*DateTimeText::parse("2024-01-31")), "2024-01-31 00:00:00");
    EXPECT_EQ(DateTimeText::format(*full), "2024-02-29 07:05:09.500");
}

TEST(TsqlCollations, OrderAsSqlServer) {
    EXPECT_EQ(compareTexts("abc", "ABC  "), 0);
    EXPECT_LT(compareTexts(" abc", "abc"), 0);
    EXPECT_LT(compareTexts("A", "b"), 0);
    EXPECT_GT(compareTexts("สินค้า", "สินคา"), 0);
    EXPECT_NE(compareTexts("ก", "ข"), 0);

    EXPECT_EQ(compareDates("2024-01-31", "2024-01-31 00:00:00.000"), 0);
    EXPECT_LT(compareDates("2024-01-05 13:00", "2024-01-31"), 0);
    EXPECT_GT(compareDates("2024-01-31 00:00:00.001", "20240131"), 0);
    // Texts that are no date-time sort after all date-times, consistently.
    EXPECT_LT(compareDates("2999-12-31", "soon"), 0);
    EXPECT_GT(compareDates("soon", "2000-01-01"), 0);
    EXPECT_LT(compareDates("later", "soon"), 0);
}
