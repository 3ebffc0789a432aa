#include "errors/ErrorLogFields.h"

#include <gtest/gtest.h>

using errors::ErrorLogFields;

TEST(ErrorLogFields, TrimsTheComputerNameAndUpperCasesTheLogin) {
    const auto fields = ErrorLogFields::fromWorkstation("  ACC-PC02 \t", QString("somchai.k"));
    EXPECT_EQ(fields.compName, "ACC-PC02");
    EXPECT_EQ(fields.logName, "SOMCHAI.K");

    // Only a to z change; a Thai login keeps its letters.
    EXPECT_EQ(ErrorLogFields::fromWorkstation("pc", QString("สมชาย_ab")).logName, "สมชาย_AB");
    // The computer name is sent as the platform gives it, case included.
    EXPECT_EQ(ErrorLogFields::fromWorkstation("acc-pc02", QString("x")).compName, "acc-pc02");
}

TEST(ErrorLogFields, UnknownLoginIsLoggedAsUpperCasedUnknown) {
    EXPECT_EQ(ErrorLogFields::fromWorkstation("PC", std::nullopt).logName, "UNKNOWN");
}
