#include "admin/CommandValues.h"

#include "admin/UsageError.h"
#include "db/TParam.h"

#include <QDateTime>

QString formatValue(const QVariant& value) {
    if (!value.isValid() || value.isNull())
        return QStringLiteral("NULL");
    switch (value.typeId()) {
    case QMetaType::QDateTime:
        return value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case QMetaType::Double:
        return QString::number(value.toDouble(), 'g', 15);
    default:
        return value.toString();
    }
}

db::DataType parseType(const QString& name) {
    if (name == QLatin1String("integer"))
        return db::DataType::Integer;
    if (name == QLatin1String("string"))
        return db::DataType::String;
    if (name == QLatin1String("datetime"))
        return db::DataType::DateTime;
    throw UsageError(
        QStringLiteral("unknown parameter type '%1' (integer, string or datetime)").arg(name));
}

void setTypedValue(db::TParam& param, db::DataType type, const QString& text) {
    switch (type) {
    case db::DataType::Integer: {
        bool ok = false;
        const auto value = text.toLongLong(&ok);
        if (!ok)
            throw UsageError(QStringLiteral("'%1' is not a whole number").arg(text));
        param.setAsInteger(value);
        break;
    }
    case db::DataType::DateTime: {
        const auto value = db::parseSqlDateTime(text);
        if (!value.isValid())
            throw UsageError(
                QStringLiteral("'%1' is not a date-time (YYYY-MM-DD[ HH:MM:SS])").arg(text));
        param.setAsDateTime(value);
        break;
    }
    default:
        param.setAsString(text);
        break;
    }
}

namespace {

// The type's name without its length, precision or scale, in lower case.
QString baseTypeName(const QString& declaredType) {
    return declaredType.section('(', 0, 0).trimmed().toLower();
}

} // namespace

void setValueFromArgument(db::TParam& param, const QString& argument, const QString& declaredType) {
    const auto colon = argument.indexOf(':');
    if (colon > 0) {
        const auto type = argument.left(colon);
        if (type == QLatin1String("integer") || type == QLatin1String("string") ||
            type == QLatin1String("datetime")) {
            setTypedValue(param, parseType(type), argument.mid(colon + 1));
            return;
        }
    }
    // An integer or a date-time only where the procedure declares one (or declares nothing);
    // anything else goes as the text written, which the server converts or refuses.
    const auto base = baseTypeName(declaredType);
    bool isInteger = false;
    argument.toLongLong(&isInteger);
    if (isInteger && (base.isEmpty() || base.endsWith(QLatin1String("int"))))
        setTypedValue(param, db::DataType::Integer, argument);
    else if (db::parseSqlDateTime(argument).isValid() &&
             (base.isEmpty() || base.contains(QLatin1String("date"))))
        setTypedValue(param, db::DataType::DateTime, argument);
    else
        param.setAsString(argument);
}
