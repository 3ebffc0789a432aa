#pragma once

#include "db/TStoredProc.h"

#include <QString>

// The suite's central error log: the configuration database's procedure AddErrorLog, one row
// per message with the workstation, its login, the user and the menu entry.
class ErrorLog {
public:
    // On the configuration connection with that alias.
    explicit ErrorLog(const QString& databaseName);

    void write(const QString& message, int userId, int menuId);

private:
    db::TStoredProc SpErrorLog;
};
