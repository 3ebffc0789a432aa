#include "db/embedded/tsql/DateTimeStyle.h"

namespace db::tsql {

namespace {

constexpr const char* monthAbbreviations[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// A text put together from numbers and separators, without allocating on the way.
class StyleWriter {
public:
    StyleWriter& digits(int value, int width) {
        for (int i = width - 1; i >= 0; --i, value /= 10)
            text_[length_ + i] = char('0' + value % 10);
        length_ += width;
        return *this;
    }
    // A number of at most two digits, padded with a blank as style 0 pads day and hour.
    StyleWriter& padded(int value) {
        text_[length_++] = value < 10 ? ' ' : char('0' + value / 10);
        text_[length_++] = char('0' + value % 10);
        return *this;
    }
    StyleWriter& put(const char* part) {
        while (*part)
            text_[length_++] = *part++;
        return *this;
    }
    StyleWriter& put(char c) {
        text_[length_++] = c;
        return *this;
    }
    QString result() const { return QString::fromLatin1(text_, length_); }

private:
    char text_[40];
    int length_ = 0;
};

struct Fields {
    int year, month, day, hour, minute, second, millisecond;
};

void writeDate(StyleWriter& out, const Fields& f, char separator, bool monthFirst, bool dayFirst,
               int yearWidth) {
    const int year = yearWidth == 2 ? f.year % 100 : f.year;
    if (monthFirst)
        out.digits(f.month, 2)
            .put(separator)
            .digits(f.day, 2)
            .put(separator)
            .digits(year, yearWidth);
    else if (dayFirst)
        out.digits(f.day, 2)
            .put(separator)
            .digits(f.month, 2)
            .put(separator)
            .digits(year, yearWidth);
    else
        out.digits(year, yearWidth)
            .put(separator)
            .digits(f.month, 2)
            .put(separator)
            .digits(f.day, 2);
}

void writeTime(StyleWriter& out, const Fields& f) {
    out.digits(f.hour, 2).put(':').digits(f.minute, 2).put(':').digits(f.second, 2);
}

void writeTwelveHour(StyleWriter& out, const Fields& f) {
    out.padded(f.hour % 12 == 0 ? 12 : f.hour % 12);
}

const char* meridiem(const Fields& f) {
    return f.hour < 12 ? "AM" : "PM";
}

} // namespace

QString DateTimeStyle::format(const DateTimeValue& value, TypeKind kind, int style) {
    const Fields f{value.year(),   value.month(),  value.day(),        value.hour(),
                   value.minute(), value.second(), value.millisecond()};
    const bool dateOnly = kind == TypeKind::Date;
    const bool century = style >= 100 || style == 0 || style == 9 || style == 13 || style == 20 ||
                         style == 21 || style == 23 || style == 25;
    const int yearWidth = century ? 4 : 2;
    const char* month = monthAbbreviations[f.month - 1];
    StyleWriter out;
    switch (style % 100) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 10:
    case 11: {
        static constexpr char separators[] = {0, '/', '.', '/', '.', '-', 0, 0, 0, 0, '-', '/'};
        const int base = style % 100;
        writeDate(out, f, separators[base], base == 1 || base == 10, base >= 3 && base <= 5,
                  yearWidth);
        return out.result();
    }
    case 6:
        out.digits(f.day, 2).put(' ').put(month).put(' ').digits(century ? f.year : f.year % 100,
                                                                 yearWidth);
        return out.result();
    case 7:
        out.put(month).put(' ').digits(f.day, 2).put(", ").digits(century ? f.year : f.year % 100,
                                                                  yearWidth);
        return out.result();
    case 8:
    case 24:
        if (style == 124)
            break;
        writeTime(out, f);
        return out.result();
    case 12:
        out.digits(century ? f.year : f.year % 100, yearWidth).digits(f.month, 2).digits(f.day, 2);
        return out.result();
    case 14:
        writeTime(out, f);
        out.put(':').digits(f.millisecond, 3);
        return out.result();
    case 9:
    case 13:
        if (style % 100 == 13) {
            out.digits(f.day, 2).put(' ').put(month).put(' ').digits(f.year, 4);
            if (!dateOnly) {
                out.put(' ');
                writeTime(out, f);
                out.put(':').digits(f.millisecond, 3);
            }
            return out.result();
        }
        out.put(month).put(' ').padded(f.day).put(' ').digits(f.year, 4);
        if (!dateOnly) {
            out.put(' ');
            writeTwelveHour(out, f);
            out.put(':').digits(f.minute, 2).put(':').digits(f.second, 2).put(':');
            out.digits(f.millisecond, 3).put(meridiem(f));
        }
        return out.result();
    case 20:
    case 21:
    case 23:
    case 25:
        if (style >= 100 && style != 120 && style != 121)
            break;
        out.digits(f.year, 4).put('-').digits(f.month, 2).put('-').digits(f.day, 2);
        if (!dateOnly && style != 23) {
            out.put(' ');
            writeTime(out, f);
            if (style != 20 && style != 120)
                out.put('.').digits(f.millisecond, 3);
        }
        return out.result();
    case 22:
        if (style != 22)
            break;
        writeDate(out, f, '/', true, false, 2);
        if (!dateOnly) {
            out.put(' ');
            writeTwelveHour(out, f);
            out.put(':').digits(f.minute, 2).put(':').digits(f.second, 2).put(' ').put(meridiem(f));
        }
        return out.result();
    case 26:
    case 27:
        if (style != 126 && style != 127)
            break;
        out.digits(f.year, 4).put('-').digits(f.month, 2).put('-').digits(f.day, 2);
        if (!dateOnly) {
            out.put('T');
            writeTime(out, f);
            if (f.millisecond != 0)
                out.put('.').digits(f.millisecond, 3);
        }
        return out.result();
    default:
        break;
    }
    // Style 0 and 100, and any style SQL Server does not know.
    if (dateOnly && style == 0)
        return format(value, kind, 23);
    out.put(month).put(' ').padded(f.day).put(' ').digits(f.year, 4);
    if (!dateOnly) {
        out.put(' ');
        writeTwelveHour(out, f);
        out.put(':').digits(f.minute, 2).put(meridiem(f));
    }
    return out.result();
}

DateTimeValue::DateOrder DateTimeStyle::orderOf(int style) {
    switch (style % 100) {
    case 1:
    case 10:
    case 22:
        return DateTimeValue::DateOrder::MonthDayYear;
    case 3:
    case 4:
    case 5:
    case 6:
    case 13:
        return DateTimeValue::DateOrder::DayMonthYear;
    default:
        return DateTimeValue::DateOrder::YearMonthDay;
    }
}

} // namespace db::tsql
