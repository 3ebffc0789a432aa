#include "admin/ProcedureCall.h"

#include "admin/CommandValues.h"
#include "admin/UsageError.h"
#include "db/TStoredProc.h"

namespace {

// How an output of that declared type is read back.

} // namespace

ProcedureCall::ProcedureCall(QString procedure, const QStringList& arguments)
    : procedure_(std::move(procedure)) {
    for (const auto& text : arguments) {
        if (!text.startsWith('@'))
            throw UsageError(QStringLiteral("call: parameters start with '@', not '%1'").arg(text));
        Argument given;
        const auto equals = text.indexOf('=');
        if (equals > 0) {
            given.name = text.left(equals);
            given.value = text.mid(equals + 1);
        } else {
            const auto colon = text.indexOf(':');
            given.name = colon > 0 ? text.left(colon) : text;
            if (colon > 0)
                given.type = parseType(text.mid(colon + 1));
        }
        if (given.name.size() < 2)
            throw UsageError(QStringLiteral("call: '%1' names no parameter").arg(text));
        if (argument(given.name) != nullptr)
            throw UsageError(QStringLiteral("call: %1 is given twice").arg(given.name));
        arguments_.push_back(std::move(given));
    }
}

const ProcedureCall::Argument* ProcedureCall::argument(const QString& name) const {
    for (const auto& given : arguments_) {
        if (given.name.compare(name, Qt::CaseInsensitive) == 0)
            return &given;
    }
    return nullptr;
}

void ProcedureCall::run(const QString& alias, db::Connection& connection, QTextStream& out) const {
    // Throws the server's "Could not find stored procedure" when there is none.
    const auto declared = connection.procedureParameters(procedure_);
    db::TStoredProc call(QStringLiteral("call"), alias, procedure_);
    QStringList printed;
    QStringList outputs;
    const auto declaration = [&](const QString& name) -> const db::ProcedureParameter* {
        for (const auto& parameter : declared) {
            if (parameter.name.compare(name, Qt::CaseInsensitive) == 0)
                return &parameter;
        }
        return nullptr;
    };

    for (const auto& parameter : declared) {
        const Argument* given = argument(parameter.name);
        if (parameter.output) {
            const auto kind =
                given && given->value ? db::ParamKind::InputOutput : db::ParamKind::Output;
            const auto type =
                given && given->type ? *given->type : db::dataTypeOf(parameter.typeName);
            auto& param = call.addParam(parameter.name, type, kind);
            if (given && given->value)
                setValueFromArgument(param, *given->value, parameter.typeName);
            outputs << parameter.name;
        } else if (given && given->value) {
            auto& param =
                call.addParam(parameter.name, db::DataType::Unknown, db::ParamKind::Input);
            setValueFromArgument(param, *given->value, parameter.typeName);
        } else if (given) {
            // An output asked of an input parameter: the server says it is none.
            call.addParam(parameter.name, given->type.value_or(db::DataType::String),
                          db::ParamKind::Output);
        }
    }
    // What the procedure does not declare goes as it was given; the server refuses it.
    for (const auto& given : arguments_) {
        if (declaration(given.name) != nullptr)
            continue;
        if (given.value) {
            auto& param = call.addParam(given.name, db::DataType::Unknown, db::ParamKind::Input);
            setValueFromArgument(param, *given.value);
        } else {
            call.addParam(given.name, given.type.value_or(db::DataType::String),
                          db::ParamKind::Output);
        }
    }
    for (const auto& given : arguments_) {
        if (!given.value) {
            const auto* parameter = declaration(given.name);
            printed << (parameter ? parameter->name : given.name);
        }
    }
    if (printed.isEmpty())
        printed = outputs;

    call.execProc();
    for (const auto& name : printed)
        out << name << "=" << formatValue(call.paramByName(name).value()) << "\n";
    out << "Result=" << call.paramByName(QStringLiteral("Result")).asInteger() << "\n";
}
