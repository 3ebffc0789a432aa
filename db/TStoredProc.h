#pragma once

#include "db/TParams.h"

#include <QString>

namespace db {

class Session;

// A stored-procedure call bound by alias to a connection: an integer return value "Result"
// and "@"-named input and output parameters, all passed by name. Unless the caller declares
// them with addParam, the parameters are read from the server's catalog when the call first
// needs them, as the procedure's text declares them: an input left without a value is not
// passed (the procedure's default applies, or the server names it as missing), and an output
// comes back in the type it is declared with.
class TStoredProc {
public:
    TStoredProc(QString name, QString databaseName, QString storedProcName,
                Session* session = nullptr);

    const QString& name() const { return name_; }
    const QString& databaseName() const { return databaseName_; }
    const QString& storedProcName() const { return storedProcName_; }

    // Declares a parameter by hand; "Result" is added by the constructor.
    TParam& addParam(const QString& name, DataType type, ParamKind kind);
    TParams& params() { return params_; }
    TParam& paramByName(const QString& name);

    // Forgets the outputs of the last call; inputs stay set.
    void close() noexcept;
    void execProc();

private:
    // Reads the parameters from the catalog unless they were declared by hand.
    void declareFromCatalog();

    QString name_;
    QString databaseName_;
    QString storedProcName_;
    Session* session_;
    TParams params_;
    bool declared_ = false;
    bool fromCatalog_ = false;
};

} // namespace db
