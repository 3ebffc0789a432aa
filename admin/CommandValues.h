#pragma once

#include "db/SqlValue.h"

#include <QString>
#include <QVariant>

namespace db {
class TParam;
}

// Values as stockcost-admin reads them from its command line and prints them back.

// A value of a result or an output as printed: NULL, date-times as "yyyy-MM-dd HH:mm:ss",
// decimals and money as their exact text.
QString formatValue(const QVariant& value);

// "integer", "string" or "datetime"; a usage error for any other name.
db::DataType parseType(const QString& name);

// Sets the parameter from the command line's text in the given type; a usage error when the
// text is not of that type.
void setTypedValue(db::TParam& param, db::DataType type, const QString& text);

// "TYPE:VALUE" with an explicit type. A bare value without a declared type is an integer when it
// reads as one, a date-time when it reads as one, and text otherwise. With the type the
// procedure declares (SQL Server's name, "varchar(20)", "int", "decimal(28,4)"), a text
// parameter always gets the text as written, so that a code such as 00123 keeps its zeros.
void setValueFromArgument(db::TParam& param, const QString& argument,
                          const QString& declaredType = {});
