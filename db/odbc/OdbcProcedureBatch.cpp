#include "db/odbc/OdbcProcedureBatch.h"

#include "db/DatabaseError.h"

#include <QRegularExpression>

namespace db {

namespace {

bool isValidParamName(const QString& name) {
    static const QRegularExpression pattern(QStringLiteral(R"(^@[A-Za-z0-9_]+$)"));
    return pattern.match(name).hasMatch();
}

QString quoteIdentifier(const QString& name) {
    QString escaped = name;
    escaped.replace(']', QLatin1String("]]"));
    return '[' + escaped + ']';
}

// A type name as the catalog gives it, safe to write into the batch: a name and at most a
// length, "max" or a precision and scale.
bool isPlainTypeName(const QString& type) {
    static const QRegularExpression pattern(
        QStringLiteral(R"(^[A-Za-z_][A-Za-z0-9_]*(\(\s*(max|\d+(\s*,\s*\d+)?)\s*\))?$)"));
    return pattern.match(type).hasMatch();
}

// The batch variable's type without a declaration: wide enough for whatever the procedure's
// parameter returns.
QString variableType(DataType type) {
    switch (type) {
    case DataType::Integer:
        return QStringLiteral("bigint");
    case DataType::Float:
        return QStringLiteral("float");
    case DataType::DateTime:
        return QStringLiteral("datetime");
    case DataType::String:
    case DataType::Unknown:
        break;
    }
    return QStringLiteral("nvarchar(4000)");
}

bool isOutput(ParamKind kind) {
    return kind == ParamKind::Output || kind == ParamKind::InputOutput;
}

// The variable's type for an output parameter: the declared one where the catalog has it.
QString variableType(const ProcedureParam& param, const std::vector<ProcedureParameter>& declared) {
    for (const auto& parameter : declared) {
        if (parameter.name.compare(param.name, Qt::CaseInsensitive) == 0 &&
            isPlainTypeName(parameter.typeName))
            return parameter.typeName;
    }
    return variableType(param.type);
}

} // namespace

OdbcProcedureBatch::OdbcProcedureBatch(const QString& procedure,
                                       const std::vector<ProcedureParam>& params,
                                       const std::vector<ProcedureParameter>& declared)
    : procedure_(procedure) {
    if (procedure.trimmed().isEmpty())
        throw DatabaseError::fromComponent(QStringLiteral("ODBC"),
                                           QStringLiteral("No stored procedure name given"));
    QStringList declarations{QStringLiteral("SET NOCOUNT ON;"), QStringLiteral("DECLARE @rv int;")};
    QStringList arguments;
    QStringList selected{QStringLiteral("@rv AS [Result]")};
    std::vector<SqlValue> argumentValues;

    for (size_t i = 0; i < params.size(); ++i) {
        const auto& param = params[i];
        if (param.kind == ParamKind::Result)
            continue;
        if (!isValidParamName(param.name))
            throw DatabaseError::fromComponent(
                procedure, QStringLiteral("Invalid parameter name '%1'").arg(param.name));
        if (isOutput(param.kind)) {
            const auto variable = QStringLiteral("@out%1").arg(i + 1);
            const auto type = variableType(param, declared);
            if (param.kind == ParamKind::InputOutput) {
                declarations << QStringLiteral("DECLARE %1 %2 = ?;").arg(variable, type);
                values_.push_back({param.type, param.value});
            } else {
                declarations << QStringLiteral("DECLARE %1 %2;").arg(variable, type);
            }
            arguments << QStringLiteral("%1 = %2 OUTPUT").arg(param.name, variable);
            selected << QStringLiteral("%1 AS %2").arg(variable, quoteIdentifier(param.name));
            outputs_.push_back(i);
        } else {
            arguments << QStringLiteral("%1 = ?").arg(param.name);
            argumentValues.push_back({param.type, param.value});
        }
    }
    // The declarations' markers come first in the text, so their values are bound first.
    values_.insert(values_.end(), argumentValues.begin(), argumentValues.end());

    QString exec = QStringLiteral("EXEC @rv = ") + quoteIdentifier(procedure);
    if (!arguments.isEmpty())
        exec += ' ' + arguments.join(QLatin1String(", "));
    declarations << exec + ';';
    declarations << QStringLiteral("SELECT ") + selected.join(QLatin1String(", ")) + ';';
    sql_ = declarations.join('\n');
}

int OdbcProcedureBatch::readOutputs(const ResultSet& result,
                                    std::vector<ProcedureParam>& params) const {
    if (result.rows.empty() || result.rows.front().size() != qsizetype(outputs_.size() + 1))
        throw DatabaseError::fromComponent(
            procedure_, QStringLiteral("The call returned no row of output values"));
    const auto& row = result.rows.front();
    const int returnValue = row[0].toInt();
    for (size_t k = 0; k < outputs_.size(); ++k)
        params[outputs_[k]].value = row[qsizetype(k + 1)];
    for (auto& param : params) {
        if (param.kind == ParamKind::Result)
            param.value = returnValue;
    }
    return returnValue;
}

} // namespace db
