#pragma once

#include <QString>

#include <vector>

namespace db {

class TDatabase;
class TQuery;

// The group of connections in which queries, procedures and scripts look up their connection
// by alias (case-insensitively). Components register themselves for their lifetime.
class Session {
public:
    static Session& defaultSession();

    Session() = default;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    TDatabase* findDatabase(const QString& alias) const;
    // The connection with that alias, opened if it is not (hooks included).
    TDatabase& openDatabase(const QString& alias, const QString& component = {});

    void addDatabase(TDatabase* database);
    void removeDatabase(TDatabase* database);
    void addQuery(TQuery* query);
    void removeQuery(TQuery* query);

    // Closes every query bound to that alias; called when its connection closes.
    void closeQueriesOf(const QString& alias);

private:
    std::vector<TDatabase*> databases_;
    std::vector<TQuery*> queries_;
};

} // namespace db
