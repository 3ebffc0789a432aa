#pragma once

#include "data/ErrorLog.h"
#include "db/TDatabase.h"
#include "db/TQuery.h"
#include "db/TSQLScript.h"
#include "db/TStoredProc.h"

#include <QString>

// The configuration data module: the connection to the suite's configuration database
// ("DmCfg"), the master-database probe ("DBMaster"), the start-up state, the access check,
// the company look-up and the error log.
class TDMConfig {
public:
    TDMConfig();

    TDMConfig(const TDMConfig&) = delete;
    TDMConfig& operator=(const TDMConfig&) = delete;

    // The first line of Server.Dat in the working directory, exactly as written; empty when
    // the file cannot be opened.
    static QString ReadServerName();
    // ReadServerName(), or the built-in default server name when that is empty.
    static QString ServerName();

    // Asks MENUCAPTION whether the user may open the menu entry; sets AccessRight.
    void CheckRight(int menuId, int userId);
    // Checks that the data database is registered to a company; when it is not, shows
    // "Not Found Database : " with the upper-cased name and ends the program (ProgramExit).
    void GetCompanyConfig(const QString& name);
    // Writes the message into the suite's error log with the workstation, the login, the user
    // and the menu entry.
    void WriteErrorLog(const QString& message);

    db::TQuery& Company() { return QCompany; }

    int StartMode = 0;
    int MenuId = 0;
    int UserId = 0;
    bool AccessRight = false;

    db::TDatabase DmCfg{QStringLiteral("DmCfg")};
    db::TDatabase DBMaster{QStringLiteral("DBMaster")};

private:
    void DmCfgBeforeConnect();
    void DmCfgAfterConnect();

    db::TQuery QSysDatabases;
    db::TSQLScript SQLUpdate{QStringLiteral("SQLUpdate")};
    db::TStoredProc SpMenuCaption;
    ErrorLog errorLog_;
    db::TQuery QCompanyConfig;
    db::TQuery QCompany;
};
