#include "db/embedded/tsql/TsqlError.h"

namespace db::tsql {

namespace {

// The SQLSTATE SQL Server's ODBC driver reports with each number.
QString sqlStateOf(int number) {
    switch (number) {
    case 8134:
        return QStringLiteral("22012");
    case 8115:
    case 220:
    case 232:
    case 248:
    case 517:
    case 535:
        return QStringLiteral("22003");
    case 245:
    case 8114:
    case 235:
        return QStringLiteral("22018");
    case 241:
        return QStringLiteral("22007");
    case 242:
        return QStringLiteral("22008");
    case 8152:
        return QStringLiteral("22001");
    case 515:
    case 547:
    case 2601:
    case 2627:
        return QStringLiteral("23000");
    case 208:
        return QStringLiteral("42S02");
    case 207:
        return QStringLiteral("42S22");
    case 2714:
        return QStringLiteral("42S01");
    default:
        return QStringLiteral("42000");
    }
}

} // namespace

TsqlError::TsqlError(int number, QString message, int severity, int state, ErrorScope scope)
    : number_(number), message_(std::move(message)), severity_(severity), state_(state),
      scope_(scope), utf8_(message_.toStdString()) {}

void TsqlError::setPlace(const QString& procedure, int line) {
    procedure_ = procedure;
    line_ = line;
}

DatabaseError TsqlError::toDatabaseError() const {
    // The line counts in the text the client sent only when the error is not a procedure's.
    return DatabaseError(std::vector<DatabaseErrorEntry>{
        {sqlStateOf(number_), number_, message_, procedure_.isEmpty() ? line_ : 0}});
}

TsqlError TsqlError::divideByZero() {
    return TsqlError(8134, QStringLiteral("Divide by zero error encountered."));
}

TsqlError TsqlError::arithmeticOverflow(const QString& type) {
    return TsqlError(
        8115,
        QStringLiteral("Arithmetic overflow error converting expression to data type %1.")
            .arg(type),
        16, 2);
}

TsqlError TsqlError::conversionOverflow(const QString& fromType, const QString& toType) {
    return TsqlError(8115,
                     QStringLiteral("Arithmetic overflow error converting %1 to data type %2.")
                         .arg(fromType, toType));
}

TsqlError TsqlError::integerOverflow(const QString& type, std::int64_t value) {
    return TsqlError(220, QStringLiteral("Arithmetic overflow error for data type %1, value = %2.")
                              .arg(type)
                              .arg(value));
}

TsqlError TsqlError::floatOverflow(const QString& type, double value) {
    return TsqlError(232, QStringLiteral("Arithmetic overflow error for type %1, value = %2.")
                              .arg(type, QString::number(value, 'f', 6)));
}

TsqlError TsqlError::conversionFailed(const QString& value, const QString& fromType,
                                      const QString& toType) {
    if (toType == QLatin1String("datetime") || toType == QLatin1String("smalldatetime") ||
        toType == QLatin1String("date"))
        return TsqlError(
            241,
            QStringLiteral("Conversion failed when converting date and/or time from character "
                           "string."),
            16, 1, ErrorScope::Batch);
    return TsqlError(245,
                     QStringLiteral("Conversion failed when converting the %1 value '%2' to data "
                                    "type %3.")
                         .arg(fromType, value, toType),
                     16, 1, ErrorScope::Batch);
}

TsqlError TsqlError::conversionError(const QString& fromType, const QString& toType) {
    return TsqlError(8114,
                     QStringLiteral("Error converting data type %1 to %2.").arg(fromType, toType),
                     16, 5, ErrorScope::Batch);
}

TsqlError TsqlError::stringTruncated() {
    return TsqlError(8152, QStringLiteral("String or binary data would be truncated."), 16, 14);
}

TsqlError TsqlError::incompatibleTypes(const QString& left, const QString& right,
                                       const QString& operation) {
    return TsqlError(402,
                     QStringLiteral("The data types %1 and %2 are incompatible in the %3 operator.")
                         .arg(left, right, operation));
}

TsqlError TsqlError::invalidOperand(const QString& type, const QString& operation) {
    return TsqlError(
        8117,
        QStringLiteral("Operand data type %1 is invalid for %2 operator.").arg(type, operation));
}

TsqlError TsqlError::typeClash(const QString& left, const QString& right) {
    return TsqlError(
        206, QStringLiteral("Operand type clash: %1 is incompatible with %2").arg(left, right));
}

TsqlError TsqlError::implicitConversionNotAllowed(const QString& fromType, const QString& toType) {
    return TsqlError(257,
                     QStringLiteral("Implicit conversion from data type %1 to %2 is not allowed. "
                                    "Use the CONVERT function to run this query.")
                         .arg(fromType, toType));
}

TsqlError TsqlError::explicitConversionNotAllowed(const QString& fromType, const QString& toType) {
    return TsqlError(529,
                     QStringLiteral("Explicit conversion from data type %1 to %2 is not allowed.")
                         .arg(fromType, toType));
}

TsqlError TsqlError::invalidArgument(const QString& type, int argument, const QString& function) {
    return TsqlError(
        8116, QStringLiteral("Argument data type %1 is invalid for argument %2 of %3 function.")
                  .arg(type)
                  .arg(argument)
                  .arg(function));
}

} // namespace db::tsql
