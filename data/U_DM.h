#pragma once

#include "db/TDatabase.h"
#include "db/TQuery.h"
#include "db/TStoredProc.h"

#include <QDateTime>
#include <QString>

// The company data module: the connection "DMDATA" to the company's data database, its
// configuration record QConfig (reloaded at every connect) and the server's clock.
class TDM {
public:
    TDM();

    TDM(const TDM&) = delete;
    TDM& operator=(const TDM&) = delete;

    // Argument 3 of the command line, as given; the connection trims it.
    void setCompanyDatabase(const QString& name) { companyDatabase_ = name; }
    const QString& companyDatabase() const { return companyDatabase_; }

    // The database server's current date and time.
    QDateTime GetServerTime();

    db::TDatabase DMdata{QStringLiteral("DMDATA")};
    db::TQuery QConfig;
    QString CompanyDatabaseName;

private:
    void DMdataBeforeConnect();
    void DMdataAfterConnect();

    db::TStoredProc SpServerTime;
    QString companyDatabase_;
};
