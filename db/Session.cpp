#include "db/Session.h"

#include "db/DatabaseError.h"
#include "db/TDatabase.h"
#include "db/TQuery.h"

#include <algorithm>

namespace db {

Session& Session::defaultSession() {
    static Session session;
    return session;
}

TDatabase* Session::findDatabase(const QString& alias) const {
    for (auto* database : databases_) {
        if (database->databaseName().compare(alias, Qt::CaseInsensitive) == 0)
            return database;
    }
    return nullptr;
}

TDatabase& Session::openDatabase(const QString& alias, const QString& component) {
    auto* database = findDatabase(alias);
    if (!database)
        throw DatabaseError::fromComponent(component,
                                           QStringLiteral("Unknown database: %1").arg(alias));
    database->open();
    return *database;
}

void Session::addDatabase(TDatabase* database) {
    databases_.push_back(database);
}

void Session::removeDatabase(TDatabase* database) {
    std::erase(databases_, database);
}

void Session::addQuery(TQuery* query) {
    queries_.push_back(query);
}

void Session::removeQuery(TQuery* query) {
    std::erase(queries_, query);
}

void Session::closeQueriesOf(const QString& alias) {
    for (auto* query : queries_) {
        if (query->databaseName().compare(alias, Qt::CaseInsensitive) == 0)
            query->close();
    }
}

} // namespace db
