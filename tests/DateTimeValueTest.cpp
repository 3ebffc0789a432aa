#include "db/embedded/tsql/DateTimeValue.h"

#include <gtest/gtest.h>

using db::tsql::DateTimeValue;

namespace {

std::string stored(const std::optional<DateTimeValue>& value) {
    return value ? value->toStorageText().toStdString() : std::string("nothing");
}

std::string parsed(const char* text,
                   DateTimeValue::DateOrder order = DateTimeValue::DateOrder::YearMonthDay) {
    return stored(DateTimeValue::parse(QString::fromLatin1(text), order));
}

} // namespace

TEST(DateTimeValue, MillisecondsRoundToThreeHundredthsOfASecond) {
    struct Case {
        int millisecond;
        const char* stored;
    };
    // SQL Server's table of datetime rounding, on 1 January 1998 at 23:59:59.
    const Case cases[] = {
        {999, "1998-01-02 00:00:00"},     {998, "1998-01-01 23:59:59.997"},
        {997, "1998-01-01 23:59:59.997"}, {996, "1998-01-01 23:59:59.997"},
        {995, "1998-01-01 23:59:59.997"}, {994, "1998-01-01 23:59:59.993"},
        {993, "1998-01-01 23:59:59.993"}, {992, "1998-01-01 23:59:59.993"},
        {991, "1998-01-01 23:59:59.990"}, {990, "1998-01-01 23:59:59.990"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(stored(DateTimeValue::fromParts(1998, 1, 1, 23, 59, 59, c.millisecond)), c.stored)
            << c.millisecond;
    // '2000-01-01 01:01:01.111' is held as .110.
    EXPECT_EQ(stored(DateTimeValue::fromParts(2000, 1, 1, 1, 1, 1, 111)),
              "2000-01-01 01:01:01.110");
    EXPECT_EQ(DateTimeValue::fromParts(2000, 1, 1, 0, 0, 0, 3)->millisecond(), 3);
    EXPECT_EQ(DateTimeValue::fromParts(2000, 1, 1, 0, 0, 0, 7)->millisecond(), 7);
}

TEST(DateTimeValue, CountsDaysFromNineteenHundredWithinItsRange) {
    EXPECT_EQ(DateTimeValue::fromParts(1900, 1, 1)->days, 0);
    EXPECT_EQ(DateTimeValue::fromParts(1753, 1, 1)->days, DateTimeValue::minDays);
    EXPECT_EQ(DateTimeValue::fromParts(9999, 12, 31)->days, DateTimeValue::maxDays);
    EXPECT_EQ(DateTimeValue::fromParts(2024, 3, 5)->days, 45354);
    EXPECT_EQ(DateTimeValue::fromParts(1899, 12, 31)->days, -1);
    EXPECT_FALSE(DateTimeValue::fromParts(1752, 12, 31));
    EXPECT_FALSE(DateTimeValue::fromParts(9999, 12, 31, 23, 59, 59, 999));
    EXPECT_FALSE(DateTimeValue::fromParts(2023, 2, 29));
    EXPECT_TRUE(DateTimeValue::fromParts(2024, 2, 29));
    EXPECT_TRUE(DateTimeValue::fromParts(2000, 2, 29));
    EXPECT_FALSE(DateTimeValue::fromParts(1900, 2, 29));

    const DateTimeValue tuesday = *DateTimeValue::fromParts(2024, 3, 5, 14, 30, 15, 997);
    EXPECT_EQ(tuesday.weekday(), 3);               // Sunday is 1
    EXPECT_EQ((DateTimeValue{0, 0}).weekday(), 2); // 1 January 1900 was a Monday
    EXPECT_EQ(tuesday.dayOfYear(), 65);
    EXPECT_EQ(tuesday.year(), 2024);
    EXPECT_EQ(tuesday.month(), 3);
    EXPECT_EQ(tuesday.day(), 5);
    EXPECT_EQ(tuesday.hour(), 14);
    EXPECT_EQ(tuesday.minute(), 30);
    EXPECT_EQ(tuesday.second(), 15);
    EXPECT_EQ(tuesday.millisecond(), 997);
    EXPECT_EQ((DateTimeValue{DateTimeValue::minDays, 0}).year(), 1753);
}

TEST(DateTimeValue, ReadsTheTextFormsSqlServerReads) {
    struct Case {
        const char* text;
        const char* stored;
    };
    const Case cases[] = {
        {"2024-03-05", "2024-03-05 00:00:00"},
        {"20240305", "2024-03-05 00:00:00"},
        {"2024", "2024-01-01 00:00:00"},
        {"2024/03/05", "2024-03-05 00:00:00"},
        {" 2024-03-05 ", "2024-03-05 00:00:00"},
        {"2024-03-05 14:30", "2024-03-05 14:30:00"},
        {"2024-03-05T14:30:20.997", "2024-03-05 14:30:20.997"},
        {"2006-04-25T15:50:59.997", "2006-04-25 15:50:59.997"},
        {"2024-03-05 14:30:20.9", "2024-03-05 14:30:20.900"},
        {"2024-03-05 14:30:20:997", "2024-03-05 14:30:20.997"},
        {"20240305 23:59:59.999", "2024-03-06 00:00:00"},
        {"14:30", "1900-01-01 14:30:00"},
        {"4 PM", "1900-01-01 16:00:00"},
        {"Mar 5 2024", "2024-03-05 00:00:00"},
        {"March 5, 2024", "2024-03-05 00:00:00"},
        {"5 March 2024", "2024-03-05 00:00:00"},
        {"mar 2024", "2024-03-01 00:00:00"},
        {"Mar  5 2024 12:00AM", "2024-03-05 00:00:00"},
        {"Aug 23 2019  1:39PM", "2019-08-23 13:39:00"},
        {"Aug 23 2019  1:39:17:090PM", "2019-08-23 13:39:17.090"},
        {"23 Aug 2019 13:39:17:090", "2019-08-23 13:39:17.090"},
        {"Dec 31 2024 12:15PM", "2024-12-31 12:15:00"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parsed(c.text), c.stored) << c.text;
}

TEST(DateTimeValue, TellsTextThatIsNoDateFromADateOutOfRange) {
    using Error = DateTimeValue::ParseError;
    struct Case {
        const char* text;
        Error error;
    };
    const Case cases[] = {
        {"abc", Error::Syntax},
        {"", Error::Syntax},
        {"2024-03", Error::Syntax},
        {"2024-03-05 25:00", Error::Syntax},
        {"2024-03-05 10:00:00.1234", Error::Syntax}, // datetime takes three decimals at most
        {"2024-03-0510:00", Error::Syntax},
        {"2024-02-30", Error::OutOfRange},
        {"1700-01-01", Error::OutOfRange},
        {"2024-13-01", Error::OutOfRange},
    };
    for (const auto& c : cases) {
        Error error = Error::Syntax;
        EXPECT_FALSE(DateTimeValue::parse(QString::fromLatin1(c.text),
                                          DateTimeValue::DateOrder::YearMonthDay, &error))
            << c.text;
        EXPECT_EQ(error, c.error) << c.text;
    }
}

TEST(DateTimeValue, ReadsThreeNumbersInTheOrderOfTheSetting) {
    using Order = DateTimeValue::DateOrder;
    EXPECT_EQ(parsed("03/05/2024", Order::MonthDayYear), "2024-03-05 00:00:00");
    EXPECT_EQ(parsed("05/03/2024", Order::DayMonthYear), "2024-03-05 00:00:00");
    EXPECT_EQ(parsed("05.03.24 10:15", Order::DayMonthYear), "2024-03-05 10:15:00");
    EXPECT_EQ(parsed("5-3-50", Order::DayMonthYear), "1950-03-05 00:00:00"); // cutoff 2049
    EXPECT_EQ(parsed("2024-03-05", Order::DayMonthYear), "2024-03-05 00:00:00");
    EXPECT_EQ(parsed("13/05/2024", Order::MonthDayYear), "nothing");
}

TEST(DateTimeValue, DaysWithTheirFractionAndTheCoarserTypes) {
    EXPECT_EQ(stored(DateTimeValue::fromDays(1.5)), "1900-01-02 12:00:00");
    EXPECT_EQ(stored(DateTimeValue::fromDays(-0.25)), "1899-12-31 18:00:00");
    EXPECT_FALSE(DateTimeValue::fromDays(3e6));
    EXPECT_DOUBLE_EQ(DateTimeValue::fromParts(1900, 1, 2, 18)->toDays(), 1.75);

    // smalldatetime: 29.998 seconds round down, 29.999 (held as 30.000) up.
    EXPECT_EQ(
        DateTimeValue::fromParts(2024, 3, 5, 10, 0, 29, 998)->toSmallDateTime().toStorageText(),
        "2024-03-05 10:00:00");
    EXPECT_EQ(
        DateTimeValue::fromParts(2024, 3, 5, 10, 0, 29, 999)->toSmallDateTime().toStorageText(),
        "2024-03-05 10:01:00");
    EXPECT_EQ(DateTimeValue::fromParts(2024, 3, 5, 23, 59, 30)->toSmallDateTime().toStorageText(),
              "2024-03-06 00:00:00");
    EXPECT_EQ(DateTimeValue::fromParts(2024, 3, 5, 23, 59, 30)->toDate().toStorageText(),
              "2024-03-05 00:00:00");

    const QDateTime moment(QDate(2024, 3, 5), QTime(14, 30, 15, 500));
    EXPECT_EQ(DateTimeValue::fromQDateTime(moment)->toQDateTime(), moment);
}
