#pragma once

#include "db/TParam.h"

#include <QStringList>

#include <deque>

namespace db {

// A parameter list with unique names compared case-insensitively. Entries keep their address
// while the list grows, so a caller may hold a reference.
class TParams {
public:
    // The entry with that name, or nullptr.
    TParam* findParam(const QString& name);
    const TParam* findParam(const QString& name) const;
    // The entry with that name; raises "Parameter '%s' not found" (with the owner's name in
    // front when it has one).
    TParam& paramByName(const QString& name, const QString& owner = {});

    TParam& add(const QString& name, DataType type = DataType::Unknown,
                ParamKind kind = ParamKind::Unknown);
    void clear() { params_.clear(); }
    qsizetype size() const { return static_cast<qsizetype>(params_.size()); }
    TParam& at(qsizetype i) { return params_[static_cast<size_t>(i)]; }
    const TParam& at(qsizetype i) const { return params_[static_cast<size_t>(i)]; }

    // Rebuilds the list for these names, in this order; entries whose name survives keep their
    // value and type, new ones start unknown.
    void rebuild(const QStringList& names);

    auto begin() { return params_.begin(); }
    auto end() { return params_.end(); }
    auto begin() const { return params_.begin(); }
    auto end() const { return params_.end(); }

private:
    std::deque<TParam> params_;
};

} // namespace db
