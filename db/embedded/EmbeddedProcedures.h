#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace db {

class EmbeddedConnection;
class EmbeddedProcedureContext;

// A built-in procedure: runs on the context's connection and returns the integer return value.
// Throwing rolls the call back.
using EmbeddedProcedure = std::function<int(EmbeddedProcedureContext&)>;

// The embedded engine's stored procedures. Implementations are C++ functions registered for
// the whole process under a name (matched without regard to case); a database has a procedure
// only once it is installed there, which records the name so SysObjects lists it as 'P'.
class EmbeddedProcedures {
public:
    // parameterNames (with "@", in declaration order) let "Exec Name value, ..." pass values
    // by position. Registering a name again replaces the implementation.
    static void registerProcedure(const QString& name, EmbeddedProcedure implementation,
                                  const QStringList& parameterNames = {});
    static void unregisterProcedure(const QString& name);
    static bool isRegistered(const QString& name);
    static QStringList registeredNames();
    // An empty function when nothing is registered under the name.
    static EmbeddedProcedure implementation(const QString& name);
    static QStringList parameterNames(const QString& name);

    // Installing a name that is not registered, or that a table or view already has, fails.
    static void install(EmbeddedConnection& connection, const QString& name);
    static void install(const QString& serverDirectory, const QString& databaseName,
                        const QString& name);
    static void uninstall(EmbeddedConnection& connection, const QString& name);
    static bool isInstalled(EmbeddedConnection& connection, const QString& name);
    static QStringList installedNames(EmbeddedConnection& connection);
};

} // namespace db
