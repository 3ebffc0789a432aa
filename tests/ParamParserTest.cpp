#include "db/ParamParser.h"

#include <gtest/gtest.h>

using db::parameterNames;
using db::parseParameters;

TEST(ParamParser, ReplacesReferencesWithMarkersInOrder) {
    const auto parsed =
        parseParameters("Select * From T Where (Y = :Year) And M=:Month,:Year;:Code\r\n:Last");
    EXPECT_EQ(parsed.text, "Select * From T Where (Y = ?) And M=?,?;?\r\n?");
    EXPECT_EQ(parsed.references, (QStringList{"Year", "Month", "Year", "Code", "Last"}));
    EXPECT_EQ(parameterNames("a = :Year or b = :YEAR or c = :year"), QStringList{"Year"});
}

TEST(ParamParser, LeavesQuotedTextAndDoubledColonsAlone) {
    const auto parsed = parseParameters("Select '12:30', \"a:b\", `c:d`, x::int From T");
    EXPECT_EQ(parsed.text, "Select '12:30', \"a:b\", `c:d`, x:int From T");
    EXPECT_TRUE(parsed.references.isEmpty());
}

TEST(ParamParser, NameEndsOnlyAtItsDelimiters) {
    // A tab, a plus sign or an equals sign does not end a name; a blank does.
    EXPECT_EQ(parseParameters("x = :A\t+ 1").references, QStringList{"A\t+"});
    EXPECT_EQ(parseParameters("x = :A+:B").references, QStringList{"A+:B"});
    EXPECT_EQ(parseParameters("(:A)").text, "(?)");
}

TEST(ParamParser, QuotedNamesLoseTheirQuotes) {
    const auto parsed = parseParameters("x = :\"Odd Name\" and y = :'B'");
    EXPECT_EQ(parsed.references, (QStringList{"Odd Name", "B"}));
    EXPECT_EQ(parsed.text, "x = ? and y = ?");
}

TEST(ParamParser, CommentsAndVariablesAreNotSpecial) {
    // A colon in a comment still starts a reference; "@" variables never do.
    const auto parsed = parseParameters("-- at 10:00\nSet @Total = @Sum");
    EXPECT_EQ(parsed.references, QStringList{"00"});
    EXPECT_EQ(parsed.text, "-- at 10?\nSet @Total = @Sum");
}
