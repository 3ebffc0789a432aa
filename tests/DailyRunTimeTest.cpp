// The daily time as the command line gives it. When it is due is tried through the window.
#include "costing/DailyRunTime.h"

#include <gtest/gtest.h>

TEST(DailyRunTime, TakesOnlyATimeOfDay) {
    EXPECT_EQ(DailyRunTime::parse("22:30"), QTime(22, 30));
    EXPECT_EQ(DailyRunTime::parse("7:05"), QTime(7, 5));
    EXPECT_EQ(DailyRunTime::parse("07:05"), QTime(7, 5));
    EXPECT_EQ(DailyRunTime::parse("22:30:15"), QTime(22, 30, 15));
    EXPECT_EQ(DailyRunTime::parse(" 00:00 "), QTime(0, 0));
    EXPECT_EQ(DailyRunTime::parse("23:59:59"), QTime(23, 59, 59));
    for (const QString text : {"25:00", "24:00", "22:61", "22:30:60", "ab:cd", ":", "22:", ":30",
                               "22:3", "-1:30", "+1:30", "22:30:15:00", "22 : 30", "２２:30"})
        EXPECT_FALSE(DailyRunTime::parse(text).isValid()) << text.toStdString();
}
