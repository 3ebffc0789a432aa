#include "data/ErrorLog.h"

#include "errors/ErrorLogFields.h"

ErrorLog::ErrorLog(const QString& databaseName)
    : SpErrorLog(QStringLiteral("SpErrorLog"), databaseName, QStringLiteral("AddErrorLog")) {}

void ErrorLog::write(const QString& message, int userId, int menuId) {
    SpErrorLog.close();
    const auto workstation = errors::ErrorLogFields::current();
    SpErrorLog.paramByName(QStringLiteral("@CompName")).setAsString(workstation.compName);
    SpErrorLog.paramByName(QStringLiteral("@LogName")).setAsString(workstation.logName);
    SpErrorLog.paramByName(QStringLiteral("@UserId")).setAsInteger(userId);
    SpErrorLog.paramByName(QStringLiteral("@MenuId")).setAsInteger(menuId);
    SpErrorLog.paramByName(QStringLiteral("@ErrorMsg")).setAsString(message);
    SpErrorLog.execProc();
}
