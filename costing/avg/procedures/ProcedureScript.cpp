#include "costing/avg/procedures/ProcedureScript.h"

#include "costing/avg/procedures/ProcedureVariables.h"

#include "db/DatabaseError.h"
#include "db/SqlBatches.h"

#include <QRegularExpression>

#include <map>
#include <memory>
#include <mutex>

namespace costing {

const ProcedureScript& ProcedureScript::of(const QString& procedureName) {
    static std::mutex mutex;
    static std::map<QString, std::unique_ptr<ProcedureScript>> scripts;
    std::lock_guard lock(mutex);
    auto& script = scripts[procedureName];
    if (!script)
        script = std::make_unique<ProcedureScript>(procedureName);
    return *script;
}

ProcedureScript::ProcedureScript(const QString& procedureName)
    : procedureName_(procedureName),
      text_(db::sqlResource(QStringLiteral(":/avg/procedures/%1.sql").arg(procedureName))) {
    static const QRegularExpression marker(QStringLiteral(R"(^\s*--:\s*(\w+)\s*$)"));
    const QStringList lines = text_.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const auto match = marker.match(lines[i]);
        if (!match.hasMatch())
            continue;
        QStringList statement;
        for (++i; i < lines.size(); ++i) {
            const QString line = lines[i].trimmed();
            if (line.endsWith(';')) {
                statement << lines[i].left(lines[i].lastIndexOf(';'));
                break;
            }
            statement << lines[i];
        }
        statements_.insert(match.captured(1), statement.join('\n'));
    }
}

QString ProcedureScript::statement(const QString& name) const {
    const auto found = statements_.constFind(name);
    if (found == statements_.cend())
        throw db::DatabaseError(QStringLiteral("The creation script of %1 has no statement %2")
                                    .arg(procedureName_, name));
    return found.value();
}

void ProcedureScript::findProduct(ProcedureVariables& variables) const {
    variables.execute(statement(QStringLiteral("FindProduct")));
    if (variables.value(QStringLiteral("@Prod")).isNull())
        variables.execute(statement(QStringLiteral("FindProductTrimmed")));
}

} // namespace costing
