#include "app/CommandLine.h"
#include "app/Startup.h"
#include "costing/avg/procedures/AvgProcedures.h"
#include "data/Dm_Config.h"
#include "data/ProgramExit.h"
#include "data/U_DM.h"
#include "errors/ErrorHandler.h"
#include "errors/StockcostApplication.h"
#include "platform/MessageBox.h"

#include <cstdio>

int main(int argc, char** argv) {
    // Without arguments nothing is created and no database is touched.
    if (argc <= 1)
        return 0;

    errors::StockcostApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("stockcost"));

    auto arguments = app.arguments();
    arguments.removeFirst();
    CommandLine commandLine;
    try {
        commandLine = CommandLine::parse(arguments);
    } catch (const CommandLine::Invalid& error) {
        platform::showMessage(
            QStringLiteral("stockcost: %1\nusage: stockcost MENUID USERID DATABASE - STARTMODE - "
                           "[HH:MM | PRODUCTCODE]")
                .arg(QString::fromUtf8(error.what())));
        return 2;
    }

    costing::registerAvgProcedures();
    try {
        TDM dm;
        TDMConfig dmConfig;
        errors::ErrorHandler handler(
            [&dmConfig](const QString& message) { dmConfig.WriteErrorLog(message); });
        app.setExceptionHandler(
            [&handler](const QString& message) { handler.ApplicationEvents1Exception(message); });

        dmConfig.StartMode = commandLine.StartMode;
        dmConfig.MenuId = commandLine.MenuId;
        dmConfig.UserId = commandLine.UserId;

        Startup startup(dm, dmConfig);
        if (!startup.connect(commandLine)) {
            // The suite's menu program expects exit code 0; the reason still goes on record.
            std::fprintf(stderr, "stockcost: start-up failed after %d attempts: %s\n",
                         startup.attempts(), startup.lastError().toUtf8().constData());
        }
        auto window = startup.dispatch(commandLine);
        if (!window)
            return 0;
        window->show();
        app.exec();
        return 0;
    } catch (const ProgramExit& exit) {
        return exit.exitCode;
    }
}
