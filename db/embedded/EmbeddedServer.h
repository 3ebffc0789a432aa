#pragma once

#include <QString>
#include <QStringList>

namespace db {

// The databases of an embedded server: a server is a directory, a database one SQLite file
// "<Name>.sqlite" in it. Names match without regard to case; a database keeps the spelling it
// was created with. "master" is virtual and has no file. Every failure is a DatabaseError
// worded as SQL Server words it.
class EmbeddedServer {
public:
    static inline const QString fileSuffix = QStringLiteral(".sqlite");
    static inline const QString masterName = QStringLiteral("master");

    // Makes the server's directory (and its parents) when missing.
    static void create(const QString& directory);
    static bool exists(const QString& directory);
    // What keeps the directory from serving as an embedded server, naming it, or the empty
    // text when nothing does: no directory named, a directory that does not exist (and any
    // blank or tab in its name that would explain why), a file, or a directory that cannot be
    // read or written.
    static QString problemWith(const QString& directory);
    // Raises EmbeddedErrors::serverNotUsable with that problem, if there is one.
    static void requireUsable(const QString& directory);

    // The server's databases, master not included, sorted without regard to case.
    static QStringList databaseNames(const QString& directory);
    // True for master and for every database with a file; false for names that are not valid.
    static bool databaseExists(const QString& directory, const QString& name);
    static void createDatabase(const QString& directory, const QString& name);
    // Removes the database's file with its -wal and -shm companions.
    static void dropDatabase(const QString& directory, const QString& name);
    // The file of the database: the existing one whatever the case of name, or the file a new
    // database of that name gets. Throws for a name that is not valid.
    static QString databaseFile(const QString& directory, const QString& name);

    // Letters, digits, '_', '$' and '#', not beginning with a digit or '$', at most 128
    // characters: a name that can never leave the server's directory.
    static bool isValidDatabaseName(const QString& name);
    static bool isMaster(const QString& name);

    // The spelling the database was created with; name itself when there is no such database.
    static QString storedName(const QString& directory, const QString& name);
};

} // namespace db
