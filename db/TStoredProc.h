#pragma once

#include "db/TParams.h"

#include <QString>

namespace db {

class Session;

// A stored-procedure call bound by alias to a connection: an integer return value "Result"
// and "@"-named input and output parameters, all passed by name.
class TStoredProc {
public:
    TStoredProc(QString name, QString databaseName, QString storedProcName,
                Session* session = nullptr);

    const QString& name() const { return name_; }
    const QString& databaseName() const { return databaseName_; }
    const QString& storedProcName() const { return storedProcName_; }

    // Declares a parameter; "Result" is added by the constructor.
    TParam& addParam(const QString& name, DataType type, ParamKind kind);
    TParams& params() { return params_; }
    TParam& paramByName(const QString& name);

    // Forgets the outputs of the last call; inputs stay set.
    void close() noexcept;
    void execProc();

private:
    QString name_;
    QString databaseName_;
    QString storedProcName_;
    Session* session_;
    TParams params_;
};

} // namespace db
