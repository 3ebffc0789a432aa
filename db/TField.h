#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>

namespace db {

// One field of the current row. A null reads as 0, empty text or the zero date-time.
class TField {
public:
    TField(QString name, QVariant value) : name_(std::move(name)), value_(std::move(value)) {}

    const QString& fieldName() const { return name_; }
    const QVariant& value() const { return value_; }
    bool isNull() const { return !value_.isValid() || value_.isNull(); }

    qint64 asInteger() const;
    double asFloat() const;
    QString asString() const;
    QDateTime asDateTime() const;

private:
    QString name_;
    QVariant value_;
};

} // namespace db
