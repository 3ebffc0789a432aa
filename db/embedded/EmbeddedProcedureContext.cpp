#include "db/embedded/EmbeddedProcedureContext.h"

#include "db/embedded/EmbeddedConnection.h"

namespace db {

EmbeddedProcedureContext::EmbeddedProcedureContext(EmbeddedConnection& connection,
                                                   const std::vector<ProcedureParam>& params)
    : connection_(connection) {
    for (const auto& param : params) {
        if (param.kind != ParamKind::Result)
            inputs_.insert(key(param.name), SqlValue{param.type, param.value});
    }
}

ResultSet EmbeddedProcedureContext::execute(const QString& sql,
                                            const std::vector<SqlValue>& params) {
    return connection_.execute(sql, params);
}

ResultSet EmbeddedProcedureContext::executeSqlite(const QString& sql,
                                                  const std::vector<SqlValue>& params) {
    return connection_.executeSqlite(sql, params);
}

int EmbeddedProcedureContext::callProcedure(const QString& name,
                                            std::vector<ProcedureParam>& params) {
    return connection_.callProcedure(name, params);
}

bool EmbeddedProcedureContext::hasInput(const QString& name) const {
    return inputs_.contains(key(name));
}

QVariant EmbeddedProcedureContext::input(const QString& name) const {
    const SqlValue value = inputs_.value(key(name));
    return value.isNull() ? QVariant() : value.value;
}

SqlValue EmbeddedProcedureContext::parameter(const QString& name) const {
    return inputs_.value(key(name));
}

void EmbeddedProcedureContext::setOutput(const QString& name, const QVariant& value) {
    outputs_.insert(key(name), value);
}

std::optional<QVariant> EmbeddedProcedureContext::output(const QString& name) const {
    const auto found = outputs_.constFind(key(name));
    if (found == outputs_.cend())
        return std::nullopt;
    return found.value();
}

QString EmbeddedProcedureContext::databaseName() const {
    return connection_.databaseName();
}

QString EmbeddedProcedureContext::key(const QString& name) {
    const QString lower = name.trimmed().toLower();
    return lower.startsWith('@') ? lower : QLatin1Char('@') + lower;
}

} // namespace db
