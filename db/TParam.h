#pragma once

#include "db/SqlValue.h"

#include <QDateTime>
#include <QString>
#include <QVariant>

namespace db {

// One named parameter of a query, script or stored procedure. Setting a value also sets the
// data type; a null value reads as 0, empty text or the zero date-time.
class TParam {
public:
    TParam(QString name, DataType dataType = DataType::Unknown,
           ParamKind paramType = ParamKind::Unknown);

    const QString& name() const { return name_; }
    DataType dataType() const { return dataType_; }
    void setDataType(DataType type) { dataType_ = type; }
    ParamKind paramType() const { return paramType_; }
    void setParamType(ParamKind kind) { paramType_ = kind; }

    void setAsInteger(qint64 value);
    void setAsFloat(double value);
    void setAsString(const QString& value);
    void setAsDateTime(const QDateTime& value);
    // Null keeps the data type.
    void clear() { value_ = QVariant(); }
    // A value from a driver, taken as it comes (an invalid QVariant is null).
    void setValue(const QVariant& value) { value_ = value; }

    bool isNull() const { return !value_.isValid() || value_.isNull(); }
    const QVariant& value() const { return value_; }
    qint64 asInteger() const;
    double asFloat() const;
    QString asString() const;
    QDateTime asDateTime() const;

    SqlValue sqlValue() const { return {dataType_, value_}; }

private:
    QString name_;
    DataType dataType_;
    ParamKind paramType_;
    QVariant value_;
};

// Conversions shared by parameters and fields: null reads as 0, empty text or the zero
// date-time; text holding a number or a date-time converts. Decimals and money arrive as their
// exact text ("100.0000"): as a string they read as that text, as an integer rounded half
// away from zero without passing through a double.
qint64 variantToInteger(const QVariant& value);
double variantToFloat(const QVariant& value);
QString variantToString(const QVariant& value);
QDateTime variantToDateTime(const QVariant& value);

} // namespace db
