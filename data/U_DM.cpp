#include "data/U_DM.h"

#include "data/Dm_Config.h"
#include "data/SuiteConnectionParams.h"
#include "db/SqlBatches.h"
#include "db/Text.h"

namespace {

const QString dataAlias = QStringLiteral("DMDATA");

} // namespace

TDM::TDM()
    : QConfig(QStringLiteral("QConfig"), dataAlias,
              db::sqlResource(QStringLiteral(":/data/sql/QConfig.sql"))),
      SpServerTime(QStringLiteral("SpServerTime"), dataAlias, QStringLiteral("ServerTime")) {
    DMdata.setBeforeConnect([this](db::TDatabase&) { DMdataBeforeConnect(); });
    DMdata.setAfterConnect([this](db::TDatabase&) { DMdataAfterConnect(); });
}

void TDM::DMdataBeforeConnect() {
    CompanyDatabaseName = db::trimControls(companyDatabase_);
    DMdata.params() =
        data::suiteConnectionParams(CompanyDatabaseName, TDMConfig::ServerName(), 2400);
}

void TDM::DMdataAfterConnect() {
    QConfig.close();
    QConfig.open();
}

QDateTime TDM::GetServerTime() {
    SpServerTime.close();
    SpServerTime.execProc();
    return SpServerTime.paramByName(QStringLiteral("@ServerTime")).asDateTime();
}
