#include "db/TParams.h"

#include "db/DatabaseError.h"

namespace db {

TParam* TParams::findParam(const QString& name) {
    for (auto& param : params_) {
        if (param.name().compare(name, Qt::CaseInsensitive) == 0)
            return &param;
    }
    return nullptr;
}

const TParam* TParams::findParam(const QString& name) const {
    return const_cast<TParams*>(this)->findParam(name);
}

TParam& TParams::paramByName(const QString& name, const QString& owner) {
    if (auto* param = findParam(name))
        return *param;
    throw DatabaseError::fromComponent(owner, QStringLiteral("Parameter '%1' not found").arg(name));
}

TParam& TParams::add(const QString& name, DataType type, ParamKind kind) {
    if (auto* existing = findParam(name)) {
        existing->setDataType(type);
        existing->setParamType(kind);
        return *existing;
    }
    params_.emplace_back(name, type, kind);
    return params_.back();
}

void TParams::rebuild(const QStringList& names) {
    std::deque<TParam> rebuilt;
    for (const auto& name : names) {
        if (const auto* old = findParam(name))
            rebuilt.push_back(*old);
        else
            rebuilt.emplace_back(name);
    }
    params_ = std::move(rebuilt);
}

} // namespace db
