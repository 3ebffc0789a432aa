#include "costing/avg/procedures/AvgProcedures.h"
#include "costing/fifo/procedures/FifoProcedures.h"
#include "errors/StockcostApplication.h"

#include <gtest/gtest.h>

#include <cstdlib>

// Windows are tested offscreen; the program's own application object lives for the whole run,
// and an error escaping an event handler in a test fails that test.
int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // A message box must never wait for a person in a test.
    setenv("STOCKCOST_UNATTENDED", "1", 1);
    errors::StockcostApplication app(argc, argv);
    app.setExceptionHandler([](const QString& message) { ADD_FAILURE() << message.toStdString(); });
    costing::registerAvgProcedures();
    costing::registerFifoProcedures();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
