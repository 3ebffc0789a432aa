// Installing the FIFO costing: every new company database gets its tables and procedures,
// installing again keeps what the tables hold, and the creation scripts drop and create each
// procedure with the parameters the FIFO month run passes.
#include "FifoTestCompany.h"

#include "costing/fifo/procedures/FifoProcedures.h"
#include "db/SqlBatches.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QRegularExpression>

namespace {

TEST(FifoProceduresInstall, NewCompanyHasTheTablesAndInstallingAgainKeepsTheirRows) {
    FifoTestCompany company(QStringLiteral("FifoInstall"));
    for (const auto& name : costing::fifoProcedureNames())
        EXPECT_EQ(company.count(QStringLiteral("Select Count(*) From SysObjects Where Name = '%1' "
                                               "And xtype = 'P'")
                                    .arg(name)),
                  1)
            << name.toStdString();
    for (const char* table : {"FifoMovement", "FifoConsumption", "FifoLayerBalance",
                              "FifoMonthBalance", "FifoWorkOrderCost"})
        EXPECT_EQ(company.count(QStringLiteral("Select Count(*) From SysObjects Where Name = '%1' "
                                               "And xtype = 'U'")
                                    .arg(QLatin1String(table))),
                  1)
            << table;

    company.exec("Insert Into FifoWorkOrderCost (WorkOrderHd, MaterialAmount, ExpenseAmount, "
                 "TotalAmount, FinishedQuantity, FinishedBaseQuantity) Values (7, 1, 2, 3, 4, 4)");
    company.exec("Drop Procedure Calculate_FIFO2");
    QProcess admin;
    admin.start(QStringLiteral(STOCKCOST_ADMIN_PATH),
                {QStringLiteral("--server"), company.server().serverName(),
                 QStringLiteral("install"), FifoTestCompany::database});
    ASSERT_TRUE(admin.waitForFinished(60000));
    EXPECT_EQ(admin.exitCode(), 0) << admin.readAllStandardError().toStdString();
    EXPECT_EQ(company.count("Select Count(*) From SysObjects Where Name = 'Calculate_FIFO2'"), 1);
    EXPECT_EQ(company.rows("Select WorkOrderHd, TotalAmount From FifoWorkOrderCost"),
              QStringList({"7 | 3"}));
}

TEST(FifoProcedureScripts, DropThenCreateWithTheParametersTheMonthRunPasses) {
    const QString month = QStringLiteral("@Year Int, @Month Int, @PId Int");
    const QHash<QString, QString> parameters = {
        {QStringLiteral("StockReceiptValues"), month},
        {QStringLiteral("Calculate_FIFO1"), month},
        {QStringLiteral("Calculate_FIFO2"), month},
        {QStringLiteral("CALCULATE_WorkOrderFIFO"), QStringLiteral("@WorkNo VarChar(60)")},
    };
    ASSERT_EQ(costing::fifoProcedureNames().size(), parameters.size());
    for (const auto& name : costing::fifoProcedureNames()) {
        const QStringList batches = db::splitAtGo(costing::fifoProcedureScript(name));
        ASSERT_EQ(batches.size(), 2) << name.toStdString();
        EXPECT_TRUE(batches[0].contains(QStringLiteral("Drop Procedure ") + name))
            << name.toStdString();
        const auto header =
            QRegularExpression(QStringLiteral(R"(^\s*Create Procedure (\w+)\s+(.*?)\s+As\s)"),
                               QRegularExpression::DotMatchesEverythingOption |
                                   QRegularExpression::MultilineOption)
                .match(batches[1]);
        ASSERT_TRUE(header.hasMatch()) << name.toStdString();
        EXPECT_EQ(header.captured(1), name);
        EXPECT_EQ(header.captured(2).simplified(), parameters.value(name)) << name.toStdString();
    }
}

} // namespace
