#include "db/DatabaseError.h"

#include <gtest/gtest.h>

using db::DatabaseError;

TEST(DatabaseError, MessageIsTheDistinctTextsOnePerLine) {
    DatabaseError error({{"01000", 0, "General SQL error."},
                         {"23000", 515, "Cannot insert the value NULL into column 'Code'"},
                         {"01000", 0, "General SQL error."}});
    EXPECT_EQ(error.message(),
              "General SQL error.\nCannot insert the value NULL into column 'Code'");
    EXPECT_EQ(error.entries().size(), 3u);
    EXPECT_STREQ(error.what(), error.message().toStdString().c_str());

    // Entries added on the way leave the message as it was built.
    error.addEntry({"0", 12, "Error on line 12"});
    EXPECT_EQ(error.entries().back().nativeCode, 12);
    EXPECT_FALSE(error.message().contains("line 12"));
}

TEST(DatabaseError, LayerErrorsNameTheirComponent) {
    EXPECT_EQ(DatabaseError::fromComponent("QProduct", "Field 'X' not found").message(),
              "QProduct: Field 'X' not found");
    EXPECT_EQ(DatabaseError::fromComponent("", "Field 'X' not found").message(),
              "Field 'X' not found");
    auto error = DatabaseError::fromComponent("Q", "Bad");
    error.appendToMessage(". Error on line 3");
    EXPECT_STREQ(error.what(), "Q: Bad. Error on line 3");
}
