#include "admin/AdminTool.h"

#include "admin/UsageError.h"
#include "db/DatabaseError.h"
#include "db/ServerName.h"
#include "db/TDatabase.h"
#include "db/TSQLScript.h"
#include "db/TStoredProc.h"
#include "db/embedded/EmbeddedServer.h"

#include <QFile>

namespace {

const QString adminAlias = QStringLiteral("STOCKCOST_ADMIN");

QString formatValue(const QVariant& value) {
    if (!value.isValid() || value.isNull())
        return QStringLiteral("NULL");
    switch (value.typeId()) {
    case QMetaType::QDateTime:
        return value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case QMetaType::Double:
        return QString::number(value.toDouble(), 'g', 15);
    default:
        return value.toString();
    }
}

db::DataType parseType(const QString& name) {
    if (name == QLatin1String("integer"))
        return db::DataType::Integer;
    if (name == QLatin1String("string"))
        return db::DataType::String;
    if (name == QLatin1String("datetime"))
        return db::DataType::DateTime;
    throw UsageError(QStringLiteral("unknown parameter type '%1' (integer, string or datetime)")
                         .arg(name));
}

// Sets a parameter from the text of the command line in the given type.
void setTypedValue(db::TParam& param, db::DataType type, const QString& text) {
    switch (type) {
    case db::DataType::Integer: {
        bool ok = false;
        const auto value = text.toLongLong(&ok);
        if (!ok)
            throw UsageError(QStringLiteral("'%1' is not a whole number").arg(text));
        param.setAsInteger(value);
        break;
    }
    case db::DataType::DateTime: {
        const auto value = db::parseSqlDateTime(text);
        if (!value.isValid())
            throw UsageError(
                QStringLiteral("'%1' is not a date-time (YYYY-MM-DD[ HH:MM:SS])").arg(text));
        param.setAsDateTime(value);
        break;
    }
    default:
        param.setAsString(text);
        break;
    }
}

// "TYPE:VALUE" with an explicit type; a bare value is an integer when it reads as one, a
// date-time when it reads as one, and text otherwise.
void setValueFromArgument(db::TParam& param, const QString& argument) {
    const auto colon = argument.indexOf(':');
    if (colon > 0) {
        const auto type = argument.left(colon);
        if (type == QLatin1String("integer") || type == QLatin1String("string") ||
            type == QLatin1String("datetime")) {
            setTypedValue(param, parseType(type), argument.mid(colon + 1));
            return;
        }
    }
    bool isInteger = false;
    argument.toLongLong(&isInteger);
    if (isInteger)
        setTypedValue(param, db::DataType::Integer, argument);
    else if (db::parseSqlDateTime(argument).isValid())
        setTypedValue(param, db::DataType::DateTime, argument);
    else
        param.setAsString(argument);
}

QString readScriptFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw UsageError(QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
    return QString::fromUtf8(file.readAll());
}

void expectArguments(const QStringList& args, qsizetype count, const char* command) {
    if (args.size() < count)
        throw UsageError(QStringLiteral("%1: missing arguments").arg(QLatin1String(command)));
}

} // namespace

AdminTool::AdminTool(QStringList arguments, QTextStream& out, QTextStream& err)
    : arguments_(std::move(arguments)), out_(out), err_(err) {}

QString AdminTool::usage() {
    return QStringLiteral(
        "usage: stockcost-admin [--server NAME] COMMAND ...\n"
        "\n"
        "  init DIR                        create an empty embedded server in DIR\n"
        "  sql DB TEXT                     run a statement or batch on database DB\n"
        "  script DB FILE [--param NAME=TYPE:VALUE]... [--dry-run]\n"
        "                                  run a script file (TYPE: integer, string, datetime);\n"
        "                                  --dry-run shows the statements without a database\n"
        "  call DB PROCEDURE [@NAME=VALUE]... [@NAME[:TYPE]]...\n"
        "                                  call a stored procedure; @NAME=VALUE passes an input\n"
        "                                  (VALUE may be TYPE:VALUE), a bare @NAME or\n"
        "                                  @NAME:TYPE receives an output (string by default)\n"
        "\n"
        "The server is --server NAME, else the first line of Server.Dat, else the default.\n"
        "Server names: embedded:DIR for the embedded engine, otherwise a SQL Server name.\n");
}

int AdminTool::run() {
    try {
        return dispatch();
    } catch (const UsageError& error) {
        err_ << "stockcost-admin: " << error.what() << "\n\n" << usage();
        return 2;
    } catch (const db::SilentAbort&) {
        return 1;
    } catch (const db::DatabaseError& error) {
        err_ << error.message() << "\n";
        return 1;
    } catch (const std::exception& error) {
        err_ << error.what() << "\n";
        return 1;
    }
}

int AdminTool::dispatch() {
    QStringList args = arguments_;
    if (!args.isEmpty() && args.first() == QLatin1String("--server")) {
        if (args.size() < 2)
            throw UsageError(QStringLiteral("--server needs a name"));
        server_ = args[1];
        args = args.mid(2);
    }
    if (args.isEmpty())
        throw UsageError(QStringLiteral("no command"));
    const auto command = args.takeFirst();
    if (command == QLatin1String("init"))
        return init(args);
    if (command == QLatin1String("sql"))
        return sql(args);
    if (command == QLatin1String("script"))
        return script(args);
    if (command == QLatin1String("call"))
        return call(args);
    if (command == QLatin1String("help") || command == QLatin1String("--help")) {
        out_ << usage();
        return 0;
    }
    throw UsageError(QStringLiteral("unknown command '%1'").arg(command));
}

std::unique_ptr<db::TDatabase> AdminTool::connect(const QString& database) {
    const auto server = server_.isEmpty() ? db::configuredServerName() : server_;
    auto connection = std::make_unique<db::TDatabase>(adminAlias);
    connection->params() = QStringList{
        QStringLiteral("DATABASE NAME=") + database, QStringLiteral("SERVER NAME=") + server,
        QStringLiteral("USER NAME=trq"), QStringLiteral("SQLPASSTHRU MODE=SHARED AUTOCOMMIT"),
        QStringLiteral("MAX QUERY TIME=2400"), QStringLiteral("PASSWORD=quartzen")};
    connection->open();
    return connection;
}

int AdminTool::init(const QStringList& args) {
    if (args.size() != 1)
        throw UsageError(QStringLiteral("init: expects one directory"));
    db::EmbeddedServer::create(args[0]);
    out_ << db::embeddedServerPrefix << args[0] << "\n";
    return 0;
}

int AdminTool::sql(const QStringList& args) {
    if (args.size() != 2)
        throw UsageError(QStringLiteral("sql: expects a database and a text"));
    auto database = connect(args[0]);
    const auto result = database->connection().execute(args[1], {});
    if (result.columns.isEmpty())
        return 0;
    out_ << result.columns.join('\t') << "\n";
    for (const auto& row : result.rows) {
        QStringList fields;
        for (const auto& value : row)
            fields << formatValue(value);
        out_ << fields.join('\t') << "\n";
    }
    return 0;
}

int AdminTool::script(const QStringList& args) {
    expectArguments(args, 2, "script");
    const auto databaseName = args[0];
    db::TSQLScript script(QStringLiteral("script"));
    script.setDatabaseName(adminAlias);
    script.setSql(readScriptFile(args[1]));

    bool dryRun = false;
    for (qsizetype i = 2; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--dry-run")) {
            dryRun = true;
        } else if (args[i] == QLatin1String("--param") && i + 1 < args.size()) {
            const auto spec = args[++i];
            const auto equals = spec.indexOf('=');
            const auto colon = spec.indexOf(':', equals + 1);
            if (equals <= 0 || colon < 0)
                throw UsageError(
                    QStringLiteral("--param expects NAME=TYPE:VALUE, not '%1'").arg(spec));
            const auto type = parseType(spec.mid(equals + 1, colon - equals - 1));
            setTypedValue(script.param(spec.left(equals)), type, spec.mid(colon + 1));
        } else {
            throw UsageError(QStringLiteral("script: unexpected argument '%1'").arg(args[i]));
        }
    }

    if (dryRun) {
        script.setDryRun([this](int statementNo, int lineNo, const QString& text) {
            out_ << "-- statement " << statementNo << " line " << lineNo << "\n" << text;
        });
        script.execute();
        return 0;
    }
    auto database = connect(databaseName);
    script.execute();
    return 0;
}

int AdminTool::call(const QStringList& args) {
    expectArguments(args, 2, "call");
    auto database = connect(args[0]);
    db::TStoredProc procedure(QStringLiteral("call"), adminAlias, args[1]);
    QStringList outputs;
    for (qsizetype i = 2; i < args.size(); ++i) {
        const auto& arg = args[i];
        if (!arg.startsWith('@'))
            throw UsageError(QStringLiteral("call: parameters start with '@', not '%1'").arg(arg));
        const auto equals = arg.indexOf('=');
        if (equals > 0) {
            auto& param = procedure.addParam(arg.left(equals), db::DataType::Unknown,
                                             db::ParamKind::Input);
            setValueFromArgument(param, arg.mid(equals + 1));
        } else {
            const auto colon = arg.indexOf(':');
            const auto name = colon > 0 ? arg.left(colon) : arg;
            const auto type = colon > 0 ? parseType(arg.mid(colon + 1)) : db::DataType::String;
            procedure.addParam(name, type, db::ParamKind::Output);
            outputs << name;
        }
    }
    procedure.execProc();
    for (const auto& name : outputs)
        out_ << name << "=" << formatValue(procedure.paramByName(name).value()) << "\n";
    out_ << "Result=" << procedure.paramByName(QStringLiteral("Result")).asInteger() << "\n";
    return 0;
}
