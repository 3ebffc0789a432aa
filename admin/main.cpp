#include "admin/AdminTool.h"
#include "costing/avg/procedures/AvgProcedures.h"
#include "costing/fifo/procedures/FifoProcedures.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    costing::registerAvgProcedures();
    costing::registerFifoProcedures();
    QTextStream out(stdout);
    QTextStream err(stderr);
    auto arguments = app.arguments();
    arguments.removeFirst();
    AdminTool tool(arguments, out, err);
    const int status = tool.run();
    out.flush();
    err.flush();
    return status;
}
