#include "db/Text.h"
#include "errors/MessageTranslation.h"

#include <gtest/gtest.h>

#include <vector>

using db::upperCaseAsciiLetters;
using errors::composeErrorText;
using errors::thaiMessageFor;

namespace {

const QString kDate = "ป้อนวันที่ไม่ถูกต้อง";
const QString kPrice = "กำหนดราคาไม่ครบถ้วน";
const QString kNetwork = "ระบบเครือข่าย หรือ คอมพิวเตอร์แม่ข่ายมีปัญหา ติดต่อเครื่องแม่ข่ายไม่ได้";
const QString kMemory = "Memory หน่วยความจำของเครื่องไม่เพียงพอ";
const QString kDuplicate = "ข้อมูลที่เพิ่มซ้ำกับข้อมูลที่มีอยู่แล้ว";
const QString kRam = "หน่วยความจำ RAM ไม่พอ , กรุณาปิดโปรแกรมอื่นที่ไม่ได้ใช้งาน !!!";

} // namespace

TEST(ErrorTranslation, UpperCasesOnlyTheLettersAToZ) {
    // Unicode upper-casing would turn é into É, ß into SS and ı into I; the suite's does not.
    EXPECT_EQ(upperCaseAsciiLetters("azAZ 09 é ß ı µ ÿ สินค้า {a}"), "AZAZ 09 é ß ı µ ÿ สินค้า {A}");
    EXPECT_EQ(upperCaseAsciiLetters(""), "");
}

TEST(ErrorTranslation, ServerTextsGetTheirRowsMessage) {
    struct Case {
        const char* text;
        QString thai;
    };
    const std::vector<Case> cases = {
        {"[Microsoft][ODBC SQL Server Driver]Possible network error: Write to SQL Server failed.",
         kNetwork},
        {"Insufficient memory for this operation.", kMemory},
        // Fragments compare without regard to the case of a to z, on both sides.
        {"CANNOT INSERT THE VALUE NULL INTO COLUMN 'PRICE'", kPrice},
        {"cannot insert the value null into column 'price', table 'dbo.SalesLine'", kPrice},
        // Row 14 in lower case, with the server's further words.
        {"General SQL error.\ncannot insert duplicate key row in object 'dbo.Product' with unique "
         "index 'IX_Code'. The statement has been terminated.",
         kDuplicate},
        // Another column, or a longer name that only begins like a known one: nothing known.
        {"Cannot insert the value NULL into column 'Code', table 'dbo.Product'", ""},
        {"Cannot insert the value NULL into column 'PriceList', table 'dbo.Product'", ""},
        {"Could not find stored procedure 'AddErrorLog'.", ""},
        // The workstation's own lack of memory, under the text the event dispatch reports.
        {"std::bad_alloc", kRam},
    };
    for (const Case& c : cases)
        EXPECT_EQ(thaiMessageFor(QString::fromUtf8(c.text)), c.thai) << c.text;
}

TEST(ErrorTranslation, TheEarlierRowWinsWhereverItsFragmentStands) {
    // Row 13's fragment comes first in the text, row 9 comes first in the table.
    EXPECT_EQ(thaiMessageFor("SQL Server connection timed out. Possible network error."), kNetwork);
    EXPECT_EQ(thaiMessageFor("Possible network error; SQL Server connection timed out"), kNetwork);
    // A date error that also names a duplicate: row 1 before row 14.
    EXPECT_EQ(thaiMessageFor("Cannot insert duplicate: '1/13/2024' is not a valid date"), kDate);
    // The RAM message comes after row 12, so plain "Insufficient memory" keeps row 12's message.
    EXPECT_EQ(thaiMessageFor("std::bad_alloc: Insufficient memory"), kMemory);
}

TEST(ErrorTranslation, DialogTextIsThaiCrUpperCasedMessageCr) {
    EXPECT_EQ(composeErrorText("'31/02/2024' is not a valid date"),
              kDate + "\r'31/02/2024' IS NOT A VALID DATE\r");

    // Thai text matches no row: the first line stays empty and the text is unchanged.
    const QString thai = "ไม่พบรหัสสินค้า A-01 ในคลัง";
    EXPECT_EQ(composeErrorText(thai), "\r" + thai + "\r");

    // The server's own line breaks stay inside; only bare carriage returns are added.
    EXPECT_EQ(composeErrorText("line one\nCannot insert duplicate key"),
              kDuplicate + "\rLINE ONE\nCANNOT INSERT DUPLICATE KEY\r");
    EXPECT_EQ(composeErrorText(""), "\r\r");
}
