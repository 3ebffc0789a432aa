#pragma once

#include "db/DatabaseError.h"

#include <QByteArray>
#include <QString>

struct sqlite3;

namespace db {

// The errors of the embedded engine, worded as SQL Server words them so that what recognises a
// SQL Server text (the Thai translation table) recognises ours too. Each error is one entry:
// an SQLSTATE-like code, SQL Server's native error number and the text.
class EmbeddedErrors {
public:
    static DatabaseError make(const QString& code, int nativeCode, const QString& text);

    // Maps a failure SQLite reported (its extended result code and message) while running sql
    // on database. Constraint, missing-object and conversion failures get SQL Server's words;
    // anything else keeps SQLite's text with SQLite's code.
    static DatabaseError fromSqlite(sqlite3* database, int extendedCode, const QString& message,
                                    const QByteArray& sql);

    static DatabaseError serverNotFound();
    // SQL Server's text of a missing server, then what is wrong with the embedded server's
    // directory (EmbeddedServer::problemWith).
    static DatabaseError serverNotUsable(const QString& problem);
    // The wait for a lock another connection holds on the database has run out.
    static DatabaseError lockTimeout(const QString& database);
    static DatabaseError databaseNotFound(const QString& name);
    static DatabaseError databaseAlreadyExists(const QString& name);
    static DatabaseError databaseNotDroppable(const QString& name);
    static DatabaseError databaseInUse(const QString& name);
    static DatabaseError invalidDatabaseName(const QString& name);
    static DatabaseError procedureNotFound(const QString& name);
    static DatabaseError objectAlreadyExists(const QString& name);
    static DatabaseError variableNotDeclared(const QString& name);
    static DatabaseError syntaxError(const QString& near);
    static DatabaseError unsupported(const QString& what);

    // Texts the engine's SQL functions raise; fromSqlite gives them their native numbers.
    static QString conversionFailedText(const QString& value, const QString& type);
    static QString numericConversionText(const QString& type);
    static QString moneyConversionText();
    static QString dateConversionText();
    static QString overflowText(const QString& type);
};

} // namespace db
