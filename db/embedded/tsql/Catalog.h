#pragma once

#include "db/embedded/tsql/Ast.h"
#include "db/embedded/tsql/Schema.h"

#include <QHash>
#include <QString>

#include <memory>
#include <optional>

struct sqlite3;
struct sqlite3_stmt;

namespace db::tsql {

// A procedure as the catalog keeps it: its creation text, read once into statements.
struct StoredProcedure {
    QString name;
    QString text;
    std::unique_ptr<CreateProcedureStatement> definition;
};

// What the engine knows of one database's objects beyond SQLite's own schema: the columns of
// tables and views with their T-SQL types, the user types (Create Type ... From), and the
// procedures, whose texts are kept in the database file. Reads are cached; a change made by
// this connection clears the cache, and so does one that another connection committed (SQLite's
// data version tells).
class Catalog {
public:
    explicit Catalog(sqlite3* database);

    // Creates the engine's tables in a new database and brings those of an older one up to
    // date. Idempotent.
    void prepare();

    // A table or view of the database (temporary ones included when temporary is set); nullptr
    // when there is none.
    const TableInfo* table(const QString& name, bool temporary = false);
    // The base type of a user type; nothing when there is no such type.
    std::optional<SqlType> userType(const QString& name);
    void createType(const QString& name, const SqlType& base, bool nullable);
    void dropType(const QString& name);

    // A table's identity column: SQL Server numbers its rows from the seed by the increment,
    // and a number once given is not given again, even when its transaction rolls back.
    struct Identity {
        QString column;
        qint64 seed = 1;
        qint64 increment = 1;
        std::optional<qint64> current; // the last number given; none before the first row
    };
    std::optional<Identity> identity(const QString& table, bool temporary);
    void addIdentity(const QString& table, bool temporary, const Identity& identity);
    void setIdentityCurrent(const QString& table, bool temporary, std::optional<qint64> current);
    void dropIdentity(const QString& table, bool temporary);
    void renameIdentity(const QString& table, const QString& newName, bool temporary);
    // The highest value of a whole-number column; none for an empty table.
    std::optional<qint64> highestValue(const TableInfo& table, const QString& column);
    // The temporary schema's table of identities, made for each connection.
    void prepareConnection();

    // The procedure of that name (any letter case), or nullptr.
    std::shared_ptr<const StoredProcedure> procedure(const QString& name);
    bool hasProcedure(const QString& name);
    // Keeps a procedure's text; throws TsqlError 2714 when create finds it exists already.
    void storeProcedure(const QString& name, const QString& text, bool replace);
    void dropProcedure(const QString& name);
    QStringList procedureNames();

    // Forgets what was read: the schema or the procedures have changed.
    void invalidate();
    // Forgets it when another connection has committed since the last look.
    void refreshIfChanged();
    // Grows with every invalidation, so that compiled statements know they are stale.
    int generation() const { return generation_; }

private:
    std::optional<SqlType> columnType(const QString& declared);

    sqlite3* database_;
    QHash<QString, std::shared_ptr<TableInfo>> tables_;
    QHash<QString, SqlType> userTypes_;
    bool userTypesRead_ = false;
    QHash<QString, std::shared_ptr<const StoredProcedure>> procedures_;
    struct StatementFinalizer {
        void operator()(sqlite3_stmt* statement) const;
    };
    // PRAGMA data_version, prepared once: it runs before every batch.
    std::unique_ptr<sqlite3_stmt, StatementFinalizer> dataVersionQuery_;
    qint64 dataVersion_ = -1;
    int generation_ = 0;
};

} // namespace db::tsql
