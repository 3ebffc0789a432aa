#include "db/embedded/EmbeddedProcedures.h"

#include "db/embedded/EmbeddedConnection.h"
#include "db/embedded/EmbeddedErrors.h"

#include <QHash>

#include <mutex>

namespace db {

namespace {

struct Registration {
    QString name;
    EmbeddedProcedure implementation;
    QStringList parameterNames;
};

struct Registry {
    std::mutex mutex;
    QHash<QString, Registration> procedures; // keyed by the lower-case name
};

Registry& registry() {
    static Registry instance;
    return instance;
}

QString key(const QString& name) {
    return name.trimmed().toLower();
}

} // namespace

void EmbeddedProcedures::registerProcedure(const QString& name, EmbeddedProcedure implementation,
                                           const QStringList& parameterNames) {
    std::lock_guard lock(registry().mutex);
    registry().procedures.insert(key(name),
                                 {name.trimmed(), std::move(implementation), parameterNames});
}

void EmbeddedProcedures::unregisterProcedure(const QString& name) {
    std::lock_guard lock(registry().mutex);
    registry().procedures.remove(key(name));
}

bool EmbeddedProcedures::isRegistered(const QString& name) {
    std::lock_guard lock(registry().mutex);
    return registry().procedures.contains(key(name));
}

QStringList EmbeddedProcedures::registeredNames() {
    std::lock_guard lock(registry().mutex);
    QStringList names;
    for (const auto& registration : std::as_const(registry().procedures))
        names << registration.name;
    names.sort(Qt::CaseInsensitive);
    return names;
}

EmbeddedProcedure EmbeddedProcedures::implementation(const QString& name) {
    std::lock_guard lock(registry().mutex);
    return registry().procedures.value(key(name)).implementation;
}

QStringList EmbeddedProcedures::parameterNames(const QString& name) {
    std::lock_guard lock(registry().mutex);
    return registry().procedures.value(key(name)).parameterNames;
}

void EmbeddedProcedures::install(EmbeddedConnection& connection, const QString& name) {
    QString registeredName;
    {
        std::lock_guard lock(registry().mutex);
        registeredName = registry().procedures.value(key(name)).name;
    }
    if (registeredName.isEmpty())
        throw EmbeddedErrors::make(QStringLiteral("42000"), 0,
                                   QStringLiteral("The embedded engine has no implementation of "
                                                  "the stored procedure '%1'.")
                                       .arg(name));
    const auto clash = connection.executeSqlite(
        QStringLiteral("SELECT 1 FROM SysObjects WHERE Name = ?1 AND xtype <> 'P'"),
        {SqlValue{DataType::String, registeredName}});
    if (!clash.rows.empty())
        throw EmbeddedErrors::objectAlreadyExists(registeredName);
    connection.executeSqlite(
        QStringLiteral("INSERT OR IGNORE INTO main.embedded_procedures (Name) VALUES (?1)"),
        {SqlValue{DataType::String, registeredName}});
}

void EmbeddedProcedures::install(const QString& serverDirectory, const QString& databaseName,
                                 const QString& name) {
    EmbeddedConnection connection(serverDirectory, databaseName);
    install(connection, name);
}

void EmbeddedProcedures::uninstall(EmbeddedConnection& connection, const QString& name) {
    if (!isInstalled(connection, name))
        throw EmbeddedErrors::make(QStringLiteral("42000"), 3701,
                                   QStringLiteral("Cannot drop the procedure '%1', because it "
                                                  "does not exist or you do not have "
                                                  "permission.")
                                       .arg(name));
    connection.executeSqlite(QStringLiteral("DELETE FROM main.embedded_procedures WHERE Name = ?1"),
                             {SqlValue{DataType::String, name.trimmed()}});
}

bool EmbeddedProcedures::isInstalled(EmbeddedConnection& connection, const QString& name) {
    return !connection
                .executeSqlite(
                    QStringLiteral("SELECT 1 FROM main.embedded_procedures WHERE Name = ?1"),
                    {SqlValue{DataType::String, name.trimmed()}})
                .rows.empty();
}

QStringList EmbeddedProcedures::installedNames(EmbeddedConnection& connection) {
    QStringList names;
    const auto result = connection.executeSqlite(
        QStringLiteral("SELECT Name FROM main.embedded_procedures ORDER BY Name"));
    for (const auto& row : result.rows)
        names << row.value(0).toString();
    return names;
}

} // namespace db
