#include "db/schema/SchemaInstaller.h"

#include "db/DatabaseError.h"
#include "db/SqlBatches.h"
#include "db/TDatabase.h"
#include "db/TQuery.h"

#include <QDate>

#include <map>

namespace db::schema {

namespace {

const QString installAlias = QStringLiteral("STOCKCOST_INSTALL");
const QString configAlias = QStringLiteral("STOCKCOST_INSTALL_CONFIG");

// Runs one statement with bound parameters given as (name, value) pairs.
void run(const QString& alias, const QString& sql,
         std::initializer_list<std::pair<const char*, QVariant>> values = {}) {
    TQuery query(QStringLiteral("install"), alias, sql);
    for (const auto& [name, value] : values) {
        auto& param = query.paramByName(QLatin1String(name));
        if (value.typeId() == QMetaType::QString)
            param.setAsString(value.toString());
        else
            param.setAsInteger(value.toLongLong());
    }
    query.execSql();
}

// The installers added by the layers above, by name.
std::map<QString, SchemaInstaller::ProcedureInstaller>& companyProcedureInstallers() {
    static std::map<QString, SchemaInstaller::ProcedureInstaller> installers;
    return installers;
}

qint64 nextId(const QString& alias, const QString& table) {
    TQuery query(QStringLiteral("install"), alias,
                 QStringLiteral("Select IsNull(Max(Id), 0) + 1 NextId From %1").arg(table));
    query.open();
    return query.fieldByName(QStringLiteral("NextId")).asInteger();
}

} // namespace

SchemaInstaller::SchemaInstaller(QString serverName) : serverName_(std::move(serverName)) {}

SchemaInstaller::~SchemaInstaller() = default;

std::unique_ptr<TDatabase> SchemaInstaller::connect(const QString& alias, const QString& database) {
    auto connection = std::make_unique<TDatabase>(alias);
    connection->params() =
        QStringList{QStringLiteral("DATABASE NAME=") + database,
                    QStringLiteral("SERVER NAME=") + serverName_, QStringLiteral("USER NAME=trq"),
                    QStringLiteral("MAX QUERY TIME=2400"), QStringLiteral("PASSWORD=quartzen")};
    connection->open();
    return connection;
}

void SchemaInstaller::createDatabase(const QString& name) {
    // The name cannot be a bound parameter of CREATE DATABASE: only plain names are taken.
    for (const auto c : name) {
        if (!(c.isLetterOrNumber() || c == '_'))
            throw DatabaseError(QStringLiteral("'%1' is not a valid database name").arg(name));
    }
    auto master = connect(installAlias, QStringLiteral("master"));
    auto& connection = master->connection();
    // The suite's databases compare text as Thai, case-insensitively, whatever the server's
    // default; the embedded engine always does.
    const QString collation = connection.dialect() == QLatin1String("mssql")
                                  ? QStringLiteral(" Collate Thai_CI_AS")
                                  : QString();
    connection.executeDirect(QStringLiteral("Create Database ") + name + collation);
}

void SchemaInstaller::installProcedures(TDatabase& database, const QString& resource) {
    executeBatches(database.databaseName(), sqlResource(resource));
}

void SchemaInstaller::addCompanyProcedures(const QString& name, ProcedureInstaller installer) {
    companyProcedureInstallers()[name] = std::move(installer);
}

void SchemaInstaller::createConfigDatabase(const QString& name) {
    createDatabase(name);
    auto config = connect(configAlias, name);
    executeBatches(configAlias, sqlResource(QStringLiteral(":/schema/ConfigDatabase.sql")));
    installProcedures(*config, QStringLiteral(":/schema/ConfigProcedures.sql"));

    run(configAlias,
        QStringLiteral("Insert Into Menu (Id, Caption, Command, MenuOption) "
                       "Values (:Id, :Caption, :Command, '')"),
        {{"Id", programMenuId},
         {"Caption", QStringLiteral("คำนวณต้นทุนสินค้า")},
         {"Command", QStringLiteral("stockcost")}});
    run(configAlias,
        QStringLiteral("Insert Into UserName (Id, Code, Name) Values (:Id, :Code, :Name)"),
        {{"Id", grantedUserId},
         {"Code", QStringLiteral("ADMIN")},
         {"Name", QStringLiteral("ผู้ดูแลระบบ")}});
    run(configAlias,
        QStringLiteral("Insert Into UserName (Id, Code, Name) Values (:Id, :Code, :Name)"),
        {{"Id", refusedUserId},
         {"Code", QStringLiteral("CLERK")},
         {"Name", QStringLiteral("พนักงาน")}});
    run(configAlias,
        QStringLiteral("Insert Into UserRight (UserName, Menu, Access_R, Add_R, Modify_R, "
                       "Delete_R) Values (:UserId, :MenuId, 'Y', 'Y', 'Y', 'Y')"),
        {{"UserId", grantedUserId}, {"MenuId", programMenuId}});
    run(configAlias,
        QStringLiteral("Insert Into UserRight (UserName, Menu, Access_R, Add_R, Modify_R, "
                       "Delete_R) Values (:UserId, :MenuId, 'N', 'N', 'N', 'N')"),
        {{"UserId", refusedUserId}, {"MenuId", programMenuId}});
}

void SchemaInstaller::createCompanyDatabase(const QString& name, int costingMethod) {
    createDatabase(name);
    auto company = connect(installAlias, name);
    executeBatches(installAlias, sqlResource(QStringLiteral(":/schema/CompanyDatabase.sql")));
    run(installAlias, QStringLiteral("Update Config Set CalStockMethod = :Method"),
        {{"Method", costingMethod}});
    installProcedures(*company, QStringLiteral(":/schema/CompanyProcedures.sql"));
    for (const auto& [installerName, install] : companyProcedureInstallers())
        install(*company);

    auto config = connect(configAlias, configDatabaseName);
    const auto companyId = nextId(configAlias, QStringLiteral("Company"));
    run(configAlias,
        QStringLiteral("Insert Into Company (Id, Code, NameThai, NameEng, RunYear) "
                       "Values (:Id, :Code, :NameThai, :NameEng, :RunYear)"),
        {{"Id", companyId},
         {"Code", name},
         {"NameThai", QStringLiteral("บริษัท ") + name},
         {"NameEng", name},
         {"RunYear", QDate::currentDate().year()}});
    run(configAlias, QStringLiteral("Insert Into CompanyConfig (Company) Values (:Company)"),
        {{"Company", companyId}});
    run(configAlias,
        QStringLiteral("Insert Into DatabaseList (Id, DatabaseName, Company, Description, YearNo) "
                       "Values (:Id, :Name, :Company, :Description, :YearNo)"),
        {{"Id", nextId(configAlias, QStringLiteral("DatabaseList"))},
         {"Name", name},
         {"Company", companyId},
         {"Description", name},
         {"YearNo", QDate::currentDate().year()}});
}

} // namespace db::schema
