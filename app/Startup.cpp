#include "app/Startup.h"

#include "costing/avg/Fr_Calculate_AVG.h"
#include "costing/fifo/Fr_Calculate_FIFO.h"
#include "data/Dm_Config.h"
#include "data/U_DM.h"
#include "db/DatabaseError.h"
#include "platform/MessageBox.h"

namespace {

// Hands argument 7 to a window: a time of day when it holds a colon, else a product code.
template <typename Window> void handOver(Window& window, const CommandLine& commandLine) {
    if (commandLine.hasAutoRunTime())
        window.AutoRunTime = commandLine.Argument7;
    else
        window.ProductFilter = commandLine.Argument7;
}

} // namespace

bool Startup::connect(const CommandLine& commandLine) {
    dm_.setCompanyDatabase(commandLine.CompanyDatabase);
    int counter = maxAttempts - 1;
    for (;;) {
        ++attempts_;
        try {
            dmConfig_.CheckRight(commandLine.MenuId, commandLine.UserId);
            dmConfig_.GetCompanyConfig(commandLine.CompanyDatabase);
            dm_.DMdata.close();
            dm_.DMdata.open();
            return true;
        } catch (const db::DatabaseError& error) {
            lastError_ = error.message();
        } catch (const std::exception& error) {
            lastError_ = QString::fromUtf8(error.what());
        }
        if (--counter < 0)
            return false;
    }
}

std::unique_ptr<QWidget> Startup::dispatch(const CommandLine& commandLine) {
    if (!dmConfig_.AccessRight || commandLine.StartMode != 1)
        return nullptr;
    // Without the company's data the costing method is unknown: no window.
    if (!dm_.QConfig.isOpen())
        return nullptr;
    switch (dm_.QConfig.fieldByName(QStringLiteral("CalStockMethod")).asInteger()) {
    case 1: {
        auto window = std::make_unique<TFrCalculate_AVG>(dm_, commandLine.CompanyDatabase);
        handOver(*window, commandLine);
        return window;
    }
    case 2:
        platform::showMessage(QStringLiteral("ติดต่อ TRQ เกี่ยวกับวิธีการคำนวณต้นทุน Moving Average"));
        return nullptr;
    case 3: {
        auto window =
            std::make_unique<TFrCalculate_FIFO>(dm_, dmConfig_, commandLine.CompanyDatabase);
        handOver(*window, commandLine);
        return window;
    }
    case 4:
        platform::showMessage(QStringLiteral("ติดต่อ TRQ เกี่ยวกับวิธีการคำนวณต้นทุน LIFO"));
        return nullptr;
    default:
        return nullptr;
    }
}
