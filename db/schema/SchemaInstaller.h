#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace db {
class TDatabase;
}

namespace db::schema {

inline const QString configDatabaseName = QStringLiteral("TRQ_CONFIG");

// Ids the configuration database of a new installation holds: one menu entry for the program,
// a user granted access to it and one who is not.
inline constexpr int programMenuId = 1;
inline constexpr int grantedUserId = 1;
inline constexpr int refusedUserId = 2;

// Creates the test and demo installations of the suite's databases on a server, embedded or
// SQL Server: the configuration database and company data databases registered in it.
class SchemaInstaller {
public:
    explicit SchemaInstaller(QString serverName);
    ~SchemaInstaller();

    // Creates TRQ_CONFIG (or a configuration database of another name) with its tables,
    // procedures, the program's menu entry and two users.
    void createConfigDatabase(const QString& name = configDatabaseName);
    // Creates a company data database with that costing method and registers it (database
    // list, company, company configuration) in the configuration database.
    void createCompanyDatabase(const QString& name, int costingMethod);

    // Installs procedures of a layer above this one (the costing's) into a new company data
    // database; every installer added runs for each company created afterwards. Adding one
    // under a name again replaces it.
    using ProcedureInstaller = std::function<void(TDatabase& company)>;
    static void addCompanyProcedures(const QString& name, ProcedureInstaller installer);

private:
    void createDatabase(const QString& name);
    std::unique_ptr<TDatabase> connect(const QString& alias, const QString& database);
    void installProcedures(TDatabase& database, const QString& resource);

    QString serverName_;
};

} // namespace db::schema
