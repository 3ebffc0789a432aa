#include "errors/MessageTranslation.h"

#include "db/Text.h"

#include <array>

namespace errors {

namespace {

struct Translation {
    const char16_t* fragment;
    const char16_t* thai;
};

// Searched from the top; the first fragment found wins, so the order matters.
constexpr std::array<Translation, 15> translations{{
    {u"is not a valid date", u"ป้อนวันที่ไม่ถูกต้อง"},
    {u"Cannot insert the value NULL into column 'Transportation'", u"ไม่ได้ป้อนข้อมูลการขนส่ง"},
    {u"Cannot insert the value NULL into column 'Price'", u"กำหนดราคาไม่ครบถ้วน"},
    {u"Cannot insert the value NULL into column 'Warehouse'", u"ไม่ได้ป้อนข้อมูลคลัง"},
    {u"Cannot insert the value NULL into column 'Customer'", u"ไม่ได้ป้อนข้อมูลลูกค้า"},
    {u"Cannot insert the value NULL into column 'Vendor'", u"ไม่ได้ป้อนข้อมูลเจ้าหนี้"},
    {u"Cannot insert the value NULL into column 'Fraction'", u"ไม่ได้ป้อนข้อมูลหน่วย หรือ ข้อมูลหน่วยผิดพลาด"},
    {u"Cannot insert the value NULL into column 'Salesman'", u"ไม่ได้ป้อนข้อมูลพนักงานขาย"},
    {u"Possible network error", u"ระบบเครือข่าย หรือ คอมพิวเตอร์แม่ข่ายมีปัญหา ติดต่อเครื่องแม่ข่ายไม่ได้"},
    {u"DELETE statement conflicted with COLUMN REFERENCE",
     u"ข้อมูลที่ลบถูกอ้างโดยข้อมูลอื่น ไม่สามารถลบข้อมูลนี้ได้"},
    {u"Printer selected is not valid", u"ยังไม่ได้กำหนดเครื่องพิมพ์ หรือ เครื่องพิมพ์มีปัญหา"},
    {u"Insufficient memory", u"Memory หน่วยความจำของเครื่องไม่เพียงพอ"},
    {u"SQL Server connection timed out",
     u"เครื่องแม่ข่ายตัดการติดต่อ เพราะเครื่องนี้อาจเรียกข้อมูลปริมาณมากเกินไป"},
    {u"Cannot insert duplicate", u"ข้อมูลที่เพิ่มซ้ำกับข้อมูลที่มีอยู่แล้ว"},
    // The workstation itself ran out of memory: the event dispatch reports std::bad_alloc under
    // this one text on every standard library.
    {u"std::bad_alloc", u"หน่วยความจำ RAM ไม่พอ , กรุณาปิดโปรแกรมอื่นที่ไม่ได้ใช้งาน !!!"},
}};

} // namespace

QString thaiMessageFor(const QString& message) {
    const QString upper = db::upperCaseAsciiLetters(message);
    for (const Translation& row : translations) {
        if (upper.contains(db::upperCaseAsciiLetters(QString::fromUtf16(row.fragment))))
            return QString::fromUtf16(row.thai);
    }
    return {};
}

QString composeErrorText(const QString& message) {
    return thaiMessageFor(message) + u'\r' + db::upperCaseAsciiLetters(message) + u'\r';
}

} // namespace errors
