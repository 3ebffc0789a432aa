#include "admin/AdminTool.h"

#include "admin/CalculateCommand.h"
#include "admin/CheckCommand.h"
#include "admin/CommandOptions.h"
#include "admin/CommandValues.h"
#include "admin/DemoCompany.h"
#include "admin/ExplainCommand.h"
#include "admin/GoBatchScript.h"
#include "admin/ProcedureCall.h"
#include "admin/UsageError.h"
#include "costing/avg/procedures/AvgProcedures.h"
#include "costing/fifo/procedures/FifoProcedures.h"
#include "data/ErrorLog.h"
#include "db/DatabaseError.h"
#include "db/ServerName.h"
#include "db/SqlBatches.h"
#include "db/TDatabase.h"
#include "db/TQuery.h"
#include "db/TSQLScript.h"
#include "db/embedded/EmbeddedServer.h"
#include "db/schema/SchemaInstaller.h"

#include <QDate>
#include <QElapsedTimer>
#include <QFile>

namespace {

const QString adminAlias = QStringLiteral("STOCKCOST_ADMIN");
const QString configAlias = QStringLiteral("STOCKCOST_ADMIN_CONFIG");
const QString masterAlias = QStringLiteral("STOCKCOST_ADMIN_MASTER");

QString readScriptFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw UsageError(QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
    return QString::fromUtf8(file.readAll());
}

// A result as a header line and tab-separated rows.
void printResult(QTextStream& out, const db::ResultSet& result) {
    out << result.columns.join('\t') << "\n";
    for (const auto& row : result.rows) {
        QStringList fields;
        for (const auto& value : row)
            fields << formatValue(value);
        out << fields.join('\t') << "\n";
    }
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
        "  init DIR                        create an embedded server in DIR with the\n"
        "                                  configuration database TRQ_CONFIG; with --server\n"
        "                                  naming a SQL Server and no DIR, TRQ_CONFIG there\n"
        "  create-company DB [--method N]  create a company data database (costing method N,\n"
        "                                  default 1) and register it in TRQ_CONFIG\n"
        "  install DB                      install (or install again) the server procedures of\n"
        "                                  both costing methods into the company database DB,\n"
        "                                  with the FIFO tables (what they hold stays)\n"
        "  sql DB TEXT                     run a statement or batch on database DB\n"
        "  script DB FILE [--param NAME=TYPE:VALUE]... [--dry-run]\n"
        "                                  run a script file (TYPE: integer, string, datetime);\n"
        "                                  --dry-run shows the statements without a database\n"
        "  script DB FILE --go [--dry-run] run a file of batches separated by lines Go as\n"
        "                                  sqlcmd does: each batch as it stands, its rows\n"
        "                                  printed; the first failing batch stops the run\n"
        "  call DB PROCEDURE [@NAME=VALUE]... [@NAME[:TYPE]]...\n"
        "                                  call a stored procedure and print every output\n"
        "                                  parameter and the return value (Result);\n"
        "                                  @NAME=VALUE passes a value (typed as the procedure\n"
        "                                  declares it, or TYPE:VALUE), a bare @NAME or\n"
        "                                  @NAME:TYPE prints only the outputs so named\n"
        "  demo DB [--year Y] [--products N] [--seed S]\n"
        "                                  fill the empty company DB with a year of documents\n"
        "                                  (default: this year, 200 products, seed 1)\n"
        "  calculate DB --year Y [--from-month M] [--product CODE]\n"
        "                                  run the calculation of the company's costing\n"
        "                                  method (average cost or FIFO) for year Y from\n"
        "                                  month M (default 1) through December, for one\n"
        "                                  product or all, and record the calculation date\n"
        "  check DB --year Y               check a calculated year against the rules of the\n"
        "                                  company's costing method (FIFO or average cost);\n"
        "                                  prints what fails (exit 1) and the shortages\n"
        "  explain DB TABLE ID [--format text|tsv]\n"
        "                                  how the cost of one line (Isdt 4711, ...) came\n"
        "                                  about; exit 1 when no run costed it\n"
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
    if (!args.isEmpty() && args.first().startsWith(QLatin1String("--server="))) {
        server_ = args.takeFirst().mid(int(qstrlen("--server=")));
        if (server_.isEmpty())
            throw UsageError(QStringLiteral("--server needs a name"));
    } else if (!args.isEmpty() && args.first() == QLatin1String("--server")) {
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
    if (command == QLatin1String("create-company"))
        return createCompany(args);
    if (command == QLatin1String("install"))
        return install(args);
    if (command == QLatin1String("sql"))
        return sql(args);
    if (command == QLatin1String("script"))
        return script(args);
    if (command == QLatin1String("call"))
        return call(args);
    if (command == QLatin1String("demo"))
        return demo(args);
    if (command == QLatin1String("calculate"))
        return calculate(args);
    if (command == QLatin1String("check"))
        return check(args);
    if (command == QLatin1String("explain"))
        return explain(args);
    if (command == QLatin1String("help") || command == QLatin1String("--help")) {
        out_ << usage();
        return 0;
    }
    throw UsageError(QStringLiteral("unknown command '%1'").arg(command));
}

std::unique_ptr<db::TDatabase> AdminTool::connect(const QString& database, const QString& alias) {
    const auto server = serverName();
    auto connection = std::make_unique<db::TDatabase>(alias.isEmpty() ? adminAlias : alias);
    connection->params() = QStringList{QStringLiteral("DATABASE NAME=") + database,
                                       QStringLiteral("SERVER NAME=") + server,
                                       QStringLiteral("USER NAME=trq"),
                                       QStringLiteral("SQLPASSTHRU MODE=SHARED AUTOCOMMIT"),
                                       QStringLiteral("MAX QUERY TIME=2400"),
                                       QStringLiteral("PASSWORD=quartzen")};
    connection->open();
    return connection;
}

int AdminTool::init(const QStringList& args) {
    // On a SQL Server named by --server only the configuration database is created.
    if (args.isEmpty() && !server_.isEmpty() && !db::isEmbeddedServerName(server_)) {
        db::schema::SchemaInstaller(server_).createConfigDatabase();
        out_ << server_ << "\n";
        return 0;
    }
    if (args.size() != 1)
        throw UsageError(QStringLiteral("init: expects one directory"));
    db::EmbeddedServer::create(args[0]);
    const auto server = db::embeddedServerPrefix + args[0];
    db::schema::SchemaInstaller(server).createConfigDatabase();
    out_ << server << "\n";
    return 0;
}

int AdminTool::createCompany(const QStringList& args) {
    if (args.isEmpty())
        throw UsageError(QStringLiteral("create-company: expects a database name"));
    int method = 1;
    const CommandOptions given(QStringLiteral("create-company"), args, 1,
                               {QStringLiteral("--method")});
    for (const auto& option : given.options()) {
        bool ok = false;
        method = option.value.toInt(&ok);
        if (!ok || method < 1 || method > 4)
            throw UsageError(
                QStringLiteral("--method expects 1, 2, 3 or 4, not '%1'").arg(option.value));
    }
    db::schema::SchemaInstaller(serverName()).createCompanyDatabase(args[0], method);
    return 0;
}

QString AdminTool::serverName() const {
    return server_.isEmpty() ? db::configuredServerName() : server_;
}

int AdminTool::install(const QStringList& args) {
    if (args.size() != 1)
        throw UsageError(QStringLiteral("install: expects a database name"));
    // The procedures work on a company's tables; in any other database they could only fail.
    const QString& name = args[0];
    if (name.compare(db::schema::configDatabaseName, Qt::CaseInsensitive) == 0 ||
        name.compare(QLatin1String("TRQ_CONFIG_PMX"), Qt::CaseInsensitive) == 0)
        throw UsageError(QStringLiteral("install: %1 is the configuration database; the "
                                        "procedures go into a company database")
                             .arg(name));
    auto database = connect(name);
    const auto tables = database->connection().execute(
        QStringLiteral("Select Count(*) From SysObjects Where Name In ('Product', "
                       "'ProductCostAVG') And xtype = 'U'"),
        {});
    if (tables.rows.empty() || tables.rows.front().value(0).toInt() != 2)
        throw std::runtime_error(QStringLiteral("install: %1 is not a company database (it has "
                                                "no tables Product and ProductCostAVG)")
                                     .arg(name)
                                     .toStdString());
    costing::installAvgProcedures(*database);
    costing::installFifoProcedures(*database);
    out_
        << "installed "
        << (costing::avgProcedureNames() + costing::fifoProcedureNames()).join(QStringLiteral(", "))
        << " and the FIFO tables\n";
    return 0;
}

int AdminTool::sql(const QStringList& args) {
    if (args.size() != 2)
        throw UsageError(QStringLiteral("sql: expects a database and a text"));
    auto database = connect(args[0]);
    const auto result = database->connection().execute(args[1], {});
    if (!result.columns.isEmpty())
        printResult(out_, result);
    return 0;
}

int AdminTool::script(const QStringList& args) {
    expectArguments(args, 2, "script");
    const auto databaseName = args[0];
    db::TSQLScript script(QStringLiteral("script"));
    script.setDatabaseName(adminAlias);
    script.setSql(readScriptFile(args[1]));

    // Lines and statements counted from 1, as an editor shows the file.
    script.setFirstLineNumber(1);

    bool dryRun = false;
    bool goBatches = false;
    const CommandOptions given(QStringLiteral("script"), args, 2, {QStringLiteral("--param")},
                               {QStringLiteral("--dry-run"), QStringLiteral("--go")});
    for (const auto& option : given.options())
        goBatches = goBatches || option.name == QLatin1String("--go");
    for (const auto& option : given.options()) {
        if (option.name == QLatin1String("--dry-run")) {
            dryRun = true;
            continue;
        }
        if (option.name == QLatin1String("--go"))
            continue;
        if (goBatches)
            throw UsageError(QStringLiteral(
                "script: --go sends each batch as it stands, without --param values"));
        const auto& spec = option.value;
        const auto equals = spec.indexOf('=');
        const auto colon = spec.indexOf(':', equals + 1);
        if (equals <= 0 || colon < 0)
            throw UsageError(QStringLiteral("--param expects NAME=TYPE:VALUE, not '%1'").arg(spec));
        const auto type = parseType(spec.mid(equals + 1, colon - equals - 1));
        setTypedValue(script.param(spec.left(equals)), type, spec.mid(colon + 1));
    }

    if (goBatches) {
        const GoBatchScript batches(readScriptFile(args[1]));
        if (dryRun) {
            batches.show(out_);
            return 0;
        }
        auto database = connect(databaseName);
        batches.run(database->connection(),
                    [this](const db::ResultSet& result) { printResult(out_, result); });
        return 0;
    }
    if (dryRun) {
        script.setDryRun([this](int statementNo, int lineNo, const QString& text) {
            out_ << "-- statement " << statementNo + 1 << " line " << lineNo << "\n" << text;
        });
        script.execute();
        return 0;
    }
    auto database = connect(databaseName);
    try {
        script.execute();
    } catch (db::DatabaseError& error) {
        // A server's error keeps the failing statement's line as an entry of its own.
        for (const auto& entry : error.entries()) {
            if (!error.message().contains(entry.text))
                error.appendToMessage('\n' + entry.text);
        }
        throw;
    }
    return 0;
}

int AdminTool::call(const QStringList& args) {
    expectArguments(args, 2, "call");
    const ProcedureCall procedure(args[1], args.mid(2));
    auto database = connect(args[0]);
    procedure.run(adminAlias, database->connection(), out_);
    return 0;
}

int AdminTool::demo(const QStringList& args) {
    if (args.isEmpty() || args[0].startsWith(QLatin1String("--")))
        throw UsageError(QStringLiteral("demo: expects a database name"));
    DemoCompany::Options options;
    options.year = QDate::currentDate().year();
    const CommandOptions given(
        QStringLiteral("demo"), args, 1,
        {QStringLiteral("--year"), QStringLiteral("--products"), QStringLiteral("--seed")});
    for (const auto& [option, text] : given.options()) {
        if (option == QLatin1String("--year")) {
            options.year = static_cast<int>(wholeNumberOption(
                option, text, DemoCompany::minimumYear, DemoCompany::maximumYear));
        } else if (option == QLatin1String("--products")) {
            options.products = static_cast<int>(wholeNumberOption(
                option, text, DemoCompany::minimumProducts, DemoCompany::maximumProducts));
        } else {
            bool ok = false;
            options.seed = text.toULongLong(&ok);
            if (!ok)
                throw UsageError(
                    QStringLiteral("--seed expects a whole number from 0, not '%1'").arg(text));
        }
    }

    auto database = connect(args[0]);
    QElapsedTimer timer;
    timer.start();
    DemoCompany company(*database, options);
    company.generate();
    out_ << QStringLiteral("%1: year %2, %3 products, seed %4: %5 rows, %6 document lines, %7 s\n")
                .arg(args[0])
                .arg(options.year)
                .arg(options.products)
                .arg(options.seed)
                .arg(company.totalRows())
                .arg(company.documentLines())
                .arg(static_cast<double>(timer.elapsed()) / 1000.0, 0, 'f', 2);
    return 0;
}

int AdminTool::calculate(const QStringList& args) {
    CalculateCommand command(CalculateCommand::parse(args), out_, err_,
                             CalculateCommand::stdoutIsTerminal());
    auto database = connect(command.databaseName());
    // Failed procedure calls go into the central error log, where the window writes them too;
    // its connection is opened at the first failure.
    std::unique_ptr<db::TDatabase> configuration;
    std::unique_ptr<ErrorLog> errorLog;
    command.setErrorLog([&](const QString& message) {
        if (!errorLog) {
            configuration = connect(configurationDatabase(), configAlias);
            errorLog = std::make_unique<ErrorLog>(configAlias);
        }
        // Not started from the suite's menu: no user and no menu entry.
        errorLog->write(message, 0, 0);
    });
    return command.run(database->databaseName());
}

// As the program chooses it: TRQ_CONFIG_PMX where the server has one, else TRQ_CONFIG.
QString AdminTool::configurationDatabase() {
    const auto master = connect(QStringLiteral("master"), masterAlias);
    db::TQuery databases(QStringLiteral("QSysDatabases"), masterAlias,
                         db::sqlResource(QStringLiteral(":/data/sql/QSysDatabases.sql")));
    databases.open();
    return databases.isEmpty() ? db::schema::configDatabaseName : QStringLiteral("TRQ_CONFIG_PMX");
}

int AdminTool::check(const QStringList& args) {
    CheckCommand command(CheckCommand::parse(args), out_);
    auto database = connect(command.databaseName());
    return command.run(database->databaseName());
}

int AdminTool::explain(const QStringList& args) {
    ExplainCommand command(ExplainCommand::parse(args), out_);
    auto database = connect(command.databaseName());
    return command.run(database->databaseName());
}
