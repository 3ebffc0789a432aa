#include "db/TStoredProc.h"

#include "db/DatabaseError.h"
#include "db/Session.h"
#include "db/TDatabase.h"

namespace db {

namespace {
const QString resultName = QStringLiteral("Result");
}

TStoredProc::TStoredProc(QString name, QString databaseName, QString storedProcName,
                         Session* session)
    : name_(std::move(name)), databaseName_(std::move(databaseName)),
      storedProcName_(std::move(storedProcName)),
      session_(session ? session : &Session::defaultSession()) {
    params_.add(resultName, DataType::Integer, ParamKind::Result);
}

TParam& TStoredProc::addParam(const QString& name, DataType type, ParamKind kind) {
    declared_ = true;
    return params_.add(name, type, kind);
}

TParam& TStoredProc::paramByName(const QString& name) {
    declareFromCatalog();
    return params_.paramByName(name, name_);
}

void TStoredProc::declareFromCatalog() {
    if (declared_)
        return;
    auto& connection = session_->openDatabase(databaseName_, name_).connection();
    for (const auto& parameter : connection.procedureParameters(storedProcName_)) {
        if (parameter.output)
            params_.add(parameter.name, dataTypeOf(parameter.typeName), ParamKind::Output);
        else
            params_.add(parameter.name, DataType::Unknown, ParamKind::Input);
    }
    declared_ = true;
    fromCatalog_ = true;
}

void TStoredProc::close() noexcept {
    for (auto& param : params_) {
        if (param.paramType() == ParamKind::Output || param.paramType() == ParamKind::Result)
            param.clear();
    }
}

void TStoredProc::execProc() {
    declareFromCatalog();
    std::vector<ProcedureParam> call;
    for (const auto& param : params_) {
        if (param.paramType() == ParamKind::Result)
            continue;
        const auto kind =
            param.paramType() == ParamKind::Unknown ? ParamKind::Input : param.paramType();
        if (kind == ParamKind::Input && param.dataType() == DataType::Unknown && fromCatalog_)
            continue;
        if (kind == ParamKind::Input && param.dataType() == DataType::Unknown)
            throw DatabaseError::fromComponent(
                name_, QStringLiteral("No value for parameter '%1'").arg(param.name()));
        call.push_back({param.name(), param.dataType(), kind, param.value()});
    }
    auto& connection = session_->openDatabase(databaseName_, name_).connection();
    const int result = connection.callProcedure(storedProcName_, call);

    params_.paramByName(resultName).setAsInteger(result);
    for (const auto& passed : call) {
        if (passed.kind == ParamKind::Output || passed.kind == ParamKind::InputOutput)
            params_.paramByName(passed.name).setValue(passed.value);
    }
}

} // namespace db
