#include "db/embedded/EmbeddedServer.h"

#include "db/embedded/EmbeddedErrors.h"
#include "db/embedded/SqliteDatabase.h"
#include "db/embedded/tsql/Catalog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace db {

namespace {

// The existing file of the database, found without regard to case; empty when none.
QString findFile(const QString& directory, const QString& name) {
    const QString wanted = name + EmbeddedServer::fileSuffix;
    const QDir dir(directory);
    const QStringList files = dir.entryList(QDir::Files | QDir::Hidden);
    for (const QString& file : files) {
        if (file.compare(wanted, Qt::CaseInsensitive) == 0)
            return dir.filePath(file);
    }
    return {};
}

// The directory as the message quotes it: tabs and other control characters made visible.
QString quoted(const QString& directory) {
    QString shown;
    for (const QChar c : directory) {
        if (c == '\t')
            shown += QStringLiteral("\\t");
        else if (c.unicode() < 32)
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    const QFileInfo info(directory);
    return info.isRelative() ? QStringLiteral("'%1' (%2)").arg(shown, info.absoluteFilePath())
                             : QStringLiteral("'%1'").arg(shown);
}

// Blanks around a name and control characters in it, which a server name can bring from a
// Server.Dat written by hand; the name is used exactly as written.
QString strayCharacters(const QString& directory) {
    QStringList found;
    if (directory.front().isSpace())
        found << QStringLiteral("begins with a blank or a tab");
    if (directory.back().isSpace())
        found << QStringLiteral("ends in a blank or a tab");
    const QString inside = directory.trimmed();
    if (std::any_of(inside.begin(), inside.end(), [](QChar c) { return c.unicode() < 32; }))
        found << QStringLiteral("holds a tab or another control character");
    return found.join(QStringLiteral(" and "));
}

} // namespace

void EmbeddedServer::create(const QString& directory) {
    if (directory.isEmpty() || !QDir().mkpath(directory)) {
        const QString problem =
            directory.isEmpty()
                ? problemWith(directory)
                : QStringLiteral("the directory %1 cannot be created").arg(quoted(directory));
        throw EmbeddedErrors::serverNotUsable(problem);
    }
    requireUsable(directory);
}

bool EmbeddedServer::exists(const QString& directory) {
    return !directory.isEmpty() && QFileInfo(directory).isDir();
}

QString EmbeddedServer::problemWith(const QString& directory) {
    if (directory.isEmpty())
        return QStringLiteral("the server name names no directory after \"embedded:\"");
    const QFileInfo info(directory);
    const QString where = QStringLiteral("the directory ") + quoted(directory);
    if (!info.exists()) {
        QString problem = where + QStringLiteral(" does not exist");
        const QString stray = strayCharacters(directory);
        if (!stray.isEmpty()) {
            problem += QStringLiteral("; the name ") + stray;
            const QString cleaned = directory.trimmed();
            if (!cleaned.isEmpty() && cleaned != directory && exists(cleaned))
                problem += QStringLiteral(", and '%1' does exist").arg(cleaned);
        }
        return problem;
    }
    if (!info.isDir())
        return where + QStringLiteral(" is a file, not a directory");
    if (!info.isReadable() || !info.isExecutable())
        return where + QStringLiteral(" cannot be read");
    if (!info.isWritable())
        return where + QStringLiteral(" cannot be written, and the engine writes each "
                                      "database's journal beside it");
    return {};
}

void EmbeddedServer::requireUsable(const QString& directory) {
    const QString problem = problemWith(directory);
    if (!problem.isEmpty())
        throw EmbeddedErrors::serverNotUsable(problem);
}

QStringList EmbeddedServer::databaseNames(const QString& directory) {
    requireUsable(directory);
    QStringList names;
    const QStringList files = QDir(directory).entryList(QDir::Files | QDir::Hidden);
    for (const QString& file : files) {
        if (!file.endsWith(fileSuffix, Qt::CaseInsensitive))
            continue;
        const QString name = file.left(file.size() - fileSuffix.size());
        if (isValidDatabaseName(name) && !isMaster(name))
            names << name;
    }
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    return names;
}

bool EmbeddedServer::databaseExists(const QString& directory, const QString& name) {
    if (isMaster(name))
        return true;
    return isValidDatabaseName(name) && exists(directory) && !findFile(directory, name).isEmpty();
}

void EmbeddedServer::createDatabase(const QString& directory, const QString& name) {
    requireUsable(directory);
    if (!isValidDatabaseName(name))
        throw EmbeddedErrors::invalidDatabaseName(name);
    if (databaseExists(directory, name))
        throw EmbeddedErrors::databaseAlreadyExists(name);
    SqliteDatabase database;
    database.open(databaseFile(directory, name), true);
    // WAL is a property of the file: set once here, it holds for every later connection.
    database.executeScript("PRAGMA journal_mode=WAL");
    tsql::Catalog(database.handle()).prepare();
}

void EmbeddedServer::dropDatabase(const QString& directory, const QString& name) {
    requireUsable(directory);
    if (isMaster(name))
        throw EmbeddedErrors::make(QStringLiteral("42000"), 3708,
                                   QStringLiteral("Cannot drop the database 'master' because it "
                                                  "is a system database."));
    const QString file = isValidDatabaseName(name) ? findFile(directory, name) : QString();
    if (file.isEmpty())
        throw EmbeddedErrors::databaseNotDroppable(name);
    for (const char* companion : {"-wal", "-shm", "-journal"}) {
        const QString path = file + QLatin1String(companion);
        if (QFile::exists(path) && !QFile::remove(path))
            throw EmbeddedErrors::databaseInUse(name);
    }
    if (!QFile::remove(file))
        throw EmbeddedErrors::databaseInUse(name);
}

QString EmbeddedServer::databaseFile(const QString& directory, const QString& name) {
    if (!isValidDatabaseName(name) || isMaster(name))
        throw EmbeddedErrors::invalidDatabaseName(name);
    const QString existing = findFile(directory, name);
    return existing.isEmpty() ? QDir(directory).filePath(name + fileSuffix) : existing;
}

bool EmbeddedServer::isValidDatabaseName(const QString& name) {
    if (name.isEmpty() || name.size() > 128)
        return false;
    const QChar first = name.front();
    if (!(first.isLetter() || first == '_' || first == '#'))
        return false;
    for (const QChar c : name) {
        const bool digit = c >= '0' && c <= '9';
        if (!(c.isLetter() || c.isMark() || digit || c == '_' || c == '$' || c == '#'))
            return false;
    }
    // Names Windows keeps for devices would not make a file there.
    static const QStringList devices = {
        "con",  "prn",  "aux",  "nul",  "com1", "com2", "com3", "com4", "com5", "com6", "com7",
        "com8", "com9", "lpt1", "lpt2", "lpt3", "lpt4", "lpt5", "lpt6", "lpt7", "lpt8", "lpt9"};
    return !devices.contains(name.toLower());
}

bool EmbeddedServer::isMaster(const QString& name) {
    return name.compare(masterName, Qt::CaseInsensitive) == 0;
}

QString EmbeddedServer::storedName(const QString& directory, const QString& name) {
    if (isMaster(name))
        return masterName;
    if (!isValidDatabaseName(name))
        return name;
    const QString file = findFile(directory, name);
    if (file.isEmpty())
        return name;
    const QString fileName = QFileInfo(file).fileName();
    return fileName.left(fileName.size() - fileSuffix.size());
}

} // namespace db
