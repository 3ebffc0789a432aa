#include "data/Dm_Config.h"

#include "data/ProgramExit.h"
#include "data/SuiteConnectionParams.h"
#include "db/ServerName.h"
#include "db/SqlBatches.h"
#include "db/Text.h"
#include "platform/MessageBox.h"

namespace {

const QString dmCfgAlias = QStringLiteral("DmCfg");
const QString masterAlias = QStringLiteral("DBMaster");

QString sql(const char* name) {
    return db::sqlResource(QStringLiteral(":/data/sql/%1.sql").arg(QLatin1String(name)));
}

} // namespace

TDMConfig::TDMConfig()
    : QSysDatabases(QStringLiteral("QSysDatabases"), masterAlias, sql("QSysDatabases")),
      SpMenuCaption(QStringLiteral("SpMenuCaption"), dmCfgAlias, QStringLiteral("MENUCAPTION")),
      errorLog_(dmCfgAlias),
      QCompanyConfig(QStringLiteral("QCompanyConfig"), dmCfgAlias, sql("QCompanyConfig")),
      QCompany(QStringLiteral("QCompany"), dmCfgAlias, sql("QCompany")) {
    DmCfg.setBeforeConnect([this](db::TDatabase&) { DmCfgBeforeConnect(); });
    DmCfg.setAfterConnect([this](db::TDatabase&) { DmCfgAfterConnect(); });

    SQLUpdate.setDatabaseName(dmCfgAlias);
    SQLUpdate.setSql(sql("SQLUpdate"));
}

QString TDMConfig::ReadServerName() {
    return db::readFirstLine(QStringLiteral("Server.Dat"));
}

QString TDMConfig::ServerName() {
    const auto name = ReadServerName();
    return name.isEmpty() ? db::defaultServerName : name;
}

void TDMConfig::DmCfgBeforeConnect() {
    const auto server = ServerName();
    DmCfg.params().clear();

    DBMaster.close();
    DBMaster.params() = data::suiteConnectionParams(QStringLiteral("master"), server, 1200);
    DBMaster.open();
    QSysDatabases.close();
    QSysDatabases.open();
    const bool pmx = !QSysDatabases.isEmpty();
    QSysDatabases.close();
    DBMaster.close();

    auto lines = data::suiteConnectionParams(
        pmx ? QStringLiteral("TRQ_CONFIG_PMX") : QStringLiteral("TRQ_CONFIG"), server, 600);
    DmCfg.params() = lines;
}

void TDMConfig::DmCfgAfterConnect() {
    SQLUpdate.execute();
}

void TDMConfig::CheckRight(int menuId, int userId) {
    SpMenuCaption.close();
    SpMenuCaption.paramByName(QStringLiteral("@MENUID")).setAsInteger(menuId);
    SpMenuCaption.paramByName(QStringLiteral("@USERID")).setAsInteger(userId);
    SpMenuCaption.execProc();
    AccessRight =
        SpMenuCaption.paramByName(QStringLiteral("@ACCESS_R")).asString() == QLatin1String("Y");
    SpMenuCaption.close();
}

void TDMConfig::GetCompanyConfig(const QString& name) {
    const auto upperName = db::upperCaseAsciiLetters(name);
    QCompanyConfig.close();
    QCompanyConfig.paramByName(QStringLiteral("GetName")).setAsString(upperName);
    QCompanyConfig.open();
    if (QCompanyConfig.isEmpty()) {
        platform::showMessage(QStringLiteral("Not Found Database : ") + upperName);
        throw ProgramExit{0};
    }
    QCompany.close();
    QCompany.paramByName(QStringLiteral("GetName")).setAsString(upperName);
    QCompany.open();
}

void TDMConfig::WriteErrorLog(const QString& message) {
    errorLog_.write(message, UserId, MenuId);
}
