#include "admin/CommandOptions.h"

#include "admin/UsageError.h"

CommandOptions::CommandOptions(const QString& command, const QStringList& args, qsizetype first,
                               const QStringList& valueOptions, const QStringList& flags) {
    for (qsizetype i = first; i < args.size(); ++i) {
        const auto& arg = args[i];
        if (!arg.startsWith(QLatin1String("--")))
            throw UsageError(QStringLiteral("%1: unexpected argument '%2'").arg(command, arg));
        const auto equals = arg.indexOf('=');
        const auto name = equals < 0 ? arg : arg.left(equals);
        if (flags.contains(name)) {
            if (equals >= 0)
                throw UsageError(QStringLiteral("%1: %2 takes no value").arg(command, name));
            options_.push_back({name, QString()});
            continue;
        }
        if (!valueOptions.contains(name))
            throw UsageError(QStringLiteral("%1: unknown option '%2'").arg(command, name));
        QString value;
        if (equals >= 0)
            value = arg.mid(equals + 1);
        else if (i + 1 < args.size())
            value = args[++i];
        else
            throw UsageError(QStringLiteral("%1: %2 needs a value").arg(command, name));
        options_.push_back({name, value});
    }
}
