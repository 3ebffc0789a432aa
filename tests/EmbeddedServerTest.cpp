#include "TempServer.h"

#include "db/ConnectionFactory.h"
#include "db/DatabaseError.h"
#include "db/embedded/EmbeddedConnection.h"
#include "db/embedded/EmbeddedServer.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <unistd.h>

using db::DatabaseError;
using db::EmbeddedConnection;
using db::EmbeddedServer;

namespace {

// The one entry of an engine error, for checking SQL Server's wording and number.
db::DatabaseErrorEntry entryOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const DatabaseError& error) {
        EXPECT_EQ(error.entries().size(), 1u);
        return error.entries().empty() ? db::DatabaseErrorEntry{} : error.entries().front();
    }
    ADD_FAILURE() << "no DatabaseError was thrown";
    return {};
}

QStringList namesIn(const db::ResultSet& result) {
    QStringList names;
    for (const auto& row : result.rows)
        names << row.value(0).toString();
    return names;
}

} // namespace

TEST(EmbeddedServer, AMissingServerDirectoryIsAMissingServer) {
    TempServer server;
    const QString missing = server.directory() + "/nowhere";
    const auto connect = entryOf([&] { EmbeddedConnection(missing, "master"); });
    EXPECT_EQ(connect.text, "SQL Server does not exist or access denied.");
    EXPECT_EQ(connect.nativeCode, 17);

    EmbeddedServer::create(missing + "/deeper");
    EXPECT_TRUE(EmbeddedServer::exists(missing + "/deeper"));
    EXPECT_TRUE(EmbeddedServer::databaseNames(missing + "/deeper").isEmpty());
}

// Opened as the programs open it, from a server name: what is wrong, naming the directory.
TEST(EmbeddedServer, AServerNameThatDoesNotWorkSaysWhatIsWrong) {
    TempServer server;
    const auto opened = [](const QString& serverName) {
        return entryOf([&] {
            db::openConnection(
                db::ConnectionParams({"DATABASE NAME=master", "SERVER NAME=" + serverName}));
        });
    };
    const QString prefix = "SQL Server does not exist or access denied. Embedded server: ";

    const QString missing = server.directory() + "/nowhere";
    const auto notThere = opened("embedded:" + missing);
    EXPECT_EQ(notThere.text, prefix + "the directory '" + missing + "' does not exist.");
    EXPECT_EQ(notThere.nativeCode, 17) << "still the error of a server that cannot be reached";
    EXPECT_EQ(entryOf([&] { EmbeddedServer::createDatabase(missing, "Acme"); }).text,
              notThere.text);

    EXPECT_EQ(opened("embedded:").text, prefix + "the server name names no directory after "
                                                 "\"embedded:\".");

    // Blanks and tabs a hand-written Server.Dat brings along stay part of the name.
    const QString existing = server.directory();
    EXPECT_EQ(opened("embedded:" + existing + " ").text,
              prefix + "the directory '" + existing +
                  " ' does not exist; the name ends in a "
                  "blank or a tab, and '" +
                  existing + "' does exist.");
    EXPECT_EQ(opened("embedded:" + existing + "\t").text,
              prefix + "the directory '" + existing +
                  "\\t' does not exist; the name ends in "
                  "a blank or a tab, and '" +
                  existing + "' does exist.");
    EXPECT_TRUE(
        opened("embedded:" + existing + "/a\tb")
            .text.endsWith("does not exist; the name holds a tab or another control character."));

    QFile file(existing + "/plain");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_EQ(opened("embedded:" + file.fileName()).text,
              prefix + "the directory '" + file.fileName() + "' is a file, not a directory.");
    EXPECT_EQ(entryOf([&] { EmbeddedServer::create(file.fileName() + "/inside"); }).text,
              prefix + "the directory '" + file.fileName() + "/inside' cannot be created.");

    // A relative name is shown with the directory it means.
    const QString previous = QDir::currentPath();
    QDir::setCurrent(existing);
    const auto relative = opened("embedded:srv");
    QDir::setCurrent(previous);
    EXPECT_EQ(relative.text, prefix + "the directory 'srv' (" + existing + "/srv) does not exist.");
}

TEST(EmbeddedServer, ADirectoryThatCannotBeWrittenIsNamed) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into any directory";
    TempServer server;
    const QString locked = server.directory() + "/locked";
    ASSERT_TRUE(QDir().mkpath(locked));
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const auto entry = entryOf([&] { EmbeddedServer::createDatabase(locked, "Acme"); });
    QFile::setPermissions(locked,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(entry.text, "SQL Server does not exist or access denied. Embedded server: the "
                          "directory '" +
                              locked +
                              "' cannot be written, and the engine writes "
                              "each database's journal beside it.");
}

TEST(EmbeddedServer, DatabasesKeepTheirCaseAndMatchAnyCase) {
    TempServer server;
    EmbeddedServer::createDatabase(server.directory(), "TRQ_Config_PMX");
    EmbeddedServer::createDatabase(server.directory(), "acme");

    EXPECT_EQ(EmbeddedServer::databaseNames(server.directory()),
              QStringList({"acme", "TRQ_Config_PMX"}));
    EXPECT_TRUE(EmbeddedServer::databaseExists(server.directory(), "trq_config_pmx"));
    EXPECT_TRUE(QFile::exists(server.directory() + "/TRQ_Config_PMX.sqlite"));
    EXPECT_EQ(EmbeddedServer::databaseFile(server.directory(), "TRQ_CONFIG_PMX"),
              QDir(server.directory()).filePath("TRQ_Config_PMX.sqlite"));

    EmbeddedConnection connection(server.directory(), "TRQ_CONFIG_PMX");
    EXPECT_EQ(connection.databaseName(), "TRQ_Config_PMX");

    const auto duplicate =
        entryOf([&] { EmbeddedServer::createDatabase(server.directory(), "ACME"); });
    EXPECT_EQ(duplicate.text, "Database 'ACME' already exists. Choose a different database name.");
    EXPECT_EQ(duplicate.nativeCode, 1801);
}

TEST(EmbeddedServer, ConnectingToAMissingDatabaseFailsAsALogin) {
    TempServer server;
    const auto entry = entryOf([&] { EmbeddedConnection(server.directory(), "Nothing"); });
    EXPECT_EQ(entry.text,
              "Cannot open database \"Nothing\" requested by the login. The login failed.");
    EXPECT_EQ(entry.nativeCode, 4060);
    EXPECT_EQ(entry.code, "42000");
}

TEST(EmbeddedServer, NamesThatCouldLeaveTheDirectoryAreRefused) {
    TempServer server;
    const QString inner = server.directory() + "/server";
    EmbeddedServer::create(inner);
    for (const QString name :
         {"../evil", "a/b", "a\\b", "..", "", "1abc", "a.b", "a b", "con", "C:evil", "$x"}) {
        EXPECT_FALSE(EmbeddedServer::isValidDatabaseName(name)) << name.toStdString();
        EXPECT_THROW(EmbeddedServer::createDatabase(inner, name), DatabaseError)
            << name.toStdString();
        EXPECT_FALSE(EmbeddedServer::databaseExists(inner, name));
    }
    EXPECT_THROW(EmbeddedConnection(inner, "../evil"), DatabaseError);
    EXPECT_TRUE(QDir(server.directory()).entryList({"*.sqlite"}, QDir::Files).isEmpty());
    EXPECT_TRUE(QDir(inner).entryList(QDir::Files).isEmpty());

    for (const QString name : {"Acme_2024", "#Temp", "_x$1", "บริษัท"})
        EXPECT_TRUE(EmbeddedServer::isValidDatabaseName(name)) << name.toStdString();
}

TEST(EmbeddedServer, DropRemovesTheFileWithItsCompanions) {
    TempServer server;
    EmbeddedServer::createDatabase(server.directory(), "Acme");
    {
        EmbeddedConnection connection(server.directory(), "Acme");
        connection.execute("Create Table T (A Int)", {});
        // The companions exist while a connection holds the database in WAL mode.
        EXPECT_TRUE(QFile::exists(server.directory() + "/Acme.sqlite-wal"));
        EmbeddedServer::dropDatabase(server.directory(), "ACME");
    }
    EXPECT_TRUE(QDir(server.directory()).entryList(QDir::Files).isEmpty());

    const auto missing = entryOf([&] { EmbeddedServer::dropDatabase(server.directory(), "Acme"); });
    EXPECT_EQ(missing.text, "Cannot drop the database 'Acme', because it does not exist or you "
                            "do not have permission.");
    EXPECT_EQ(missing.nativeCode, 3701);
}

TEST(EmbeddedServer, MasterListsTheDatabasesOfTheMoment) {
    TempServer server;
    EmbeddedServer::createDatabase(server.directory(), "TRQ_Config_PMX");
    EmbeddedConnection master(server.directory(), "MASTER");
    EXPECT_TRUE(master.isMaster());

    EXPECT_EQ(namesIn(master.execute("Select Name From SysDatabases Order By Name", {})),
              QStringList({"master", "TRQ_Config_PMX"}));
    // The probe the configuration connection makes, in another case than the database's.
    EXPECT_EQ(
        master.execute("Select * From SysDatabases Where Name = 'trq_config_pmx'", {}).rows.size(),
        1u);

    // A database made after the connection opened shows in the next statement.
    EmbeddedServer::createDatabase(server.directory(), "Later");
    EXPECT_EQ(master
                  .execute("Select Name From SysDatabases Where Name = ?",
                           {{db::DataType::String, "later"}})
                  .rows.size(),
              1u);
}

TEST(EmbeddedServer, MasterTakesCreateAndDropDatabase) {
    TempServer server;
    EmbeddedConnection master(server.directory(), "master");
    master.executeDirect("Create Database [Acme];");
    master.execute("If Not Exists (Select * From SysDatabases Where Name = 'ACME') "
                   "Create Database ACME",
                   {});
    EXPECT_EQ(EmbeddedServer::databaseNames(server.directory()), QStringList({"Acme"}));
    EmbeddedConnection(server.directory(), "acme").execute("Create Table T (A Int)", {});

    const auto twice = entryOf([&] { master.execute("CREATE DATABASE acme", {}); });
    EXPECT_EQ(twice.nativeCode, 1801);

    master.execute("Drop Database acme", {});
    EXPECT_FALSE(EmbeddedServer::databaseExists(server.directory(), "Acme"));
    const auto again = entryOf([&] { master.execute("Drop Database Acme", {}); });
    EXPECT_EQ(again.text, "Cannot drop the database 'Acme', because it does not exist or you do "
                          "not have permission.");

    EmbeddedServer::createDatabase(server.directory(), "Self");
    EmbeddedConnection self(server.directory(), "Self");
    EXPECT_EQ(entryOf([&] { self.execute("Drop Database SELF", {}); }).nativeCode, 3702);
    EXPECT_TRUE(EmbeddedServer::databaseExists(server.directory(), "Self"));
}
