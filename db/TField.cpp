#include "db/TField.h"

#include "db/TParam.h"

namespace db {

qint64 TField::asInteger() const {
    return variantToInteger(value_);
}
double TField::asFloat() const {
    return variantToFloat(value_);
}
QString TField::asString() const {
    return variantToString(value_);
}
QDateTime TField::asDateTime() const {
    return variantToDateTime(value_);
}

} // namespace db
