// Installing the average costing's procedures: every new company database gets them,
// stockcost-admin install puts them (back) into one, and the creation scripts have the shape the
// SQL Server installer and the callers rely on.
#include "TempServer.h"

#include "costing/avg/procedures/AvgProcedures.h"
#include "costing/fifo/procedures/FifoProcedures.h"
#include "db/SqlBatches.h"
#include "db/TDatabase.h"
#include "db/embedded/EmbeddedConnection.h"
#include "db/schema/SchemaInstaller.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QRegularExpression>

namespace {

class AvgProceduresInstallTest : public ::testing::Test {
protected:
    void SetUp() override {
        db::schema::SchemaInstaller installer(server.serverName());
        installer.createConfigDatabase();
        installer.createCompanyDatabase(QStringLiteral("Acme"), 1);
    }

    QStringList installedProcedures() {
        db::EmbeddedConnection connection(server.directory(), QStringLiteral("Acme"));
        QStringList names;
        for (const auto& row :
             connection.execute(QStringLiteral("Select Name From SysObjects Where xtype = 'P'"), {})
                 .rows)
            names << row.value(0).toString();
        return names;
    }

    int admin(const QStringList& args) {
        QProcess process;
        process.start(QStringLiteral(STOCKCOST_ADMIN_PATH),
                      QStringList{QStringLiteral("--server"), server.serverName()} + args);
        process.waitForFinished(60000);
        return process.exitCode();
    }

    TempServer server;
};

TEST_F(AvgProceduresInstallTest, NewCompanyDatabaseHasTheProcedures) {
    const QStringList installed = installedProcedures();
    for (const auto& name : costing::avgProcedureNames())
        EXPECT_TRUE(installed.contains(name, Qt::CaseInsensitive)) << name.toStdString();
}

TEST_F(AvgProceduresInstallTest, AdminInstallPutsBackAMissingProcedureAndCanRunAgain) {
    {
        db::EmbeddedConnection connection(server.directory(), QStringLiteral("Acme"));
        connection.executeDirect(QStringLiteral("Drop Procedure CALCULATE_AVG2ByProdAndMonth"));
    }
    ASSERT_FALSE(installedProcedures().contains(QStringLiteral("CALCULATE_AVG2ByProdAndMonth")));

    EXPECT_EQ(admin({QStringLiteral("install"), QStringLiteral("Acme")}), 0);
    EXPECT_TRUE(installedProcedures().contains(QStringLiteral("CALCULATE_AVG2ByProdAndMonth")));
    EXPECT_EQ(admin({QStringLiteral("install"), QStringLiteral("Acme")}), 0);
    EXPECT_EQ(installedProcedures().size(),
              costing::avgProcedureNames().size() + costing::fifoProcedureNames().size() +
                  1); // ServerTime

    EXPECT_EQ(admin({QStringLiteral("install"), QStringLiteral("NoSuchCompany")}), 1);
    EXPECT_EQ(admin({QStringLiteral("install")}), 2);
}

// The SQL Server installer sends each script in two batches, dropping the procedure before
// creating it again; the month run and the admin tool call the procedures with these parameters.
TEST(AvgProcedureScripts, DropThenCreateWithTheParametersTheCallersPass) {
    const QString month = QStringLiteral("@Year IdNo, @ProdCode Char(20), @Month IdNo");
    const QHash<QString, QString> parameters = {
        {QStringLiteral("CALCULATE_AVG1ByProdAndMonth"), month},
        {QStringLiteral("CALCULATE_AVG4ByProdAndWorkAndMonth"), month},
        {QStringLiteral("CALCULATE_AVG2ByProdAndMonth"), month},
        {QStringLiteral("CALCULATE_WorkOrderAVG"), QStringLiteral("@WorkNo Char(20)")},
        {QStringLiteral("SeekMasterWorkOrder"),
         QStringLiteral("@WorkOrderNo Char(20), @MasterWorkOrderNo Char(20) Output")},
    };
    ASSERT_EQ(costing::avgProcedureNames().size(), parameters.size());
    for (const auto& name : costing::avgProcedureNames()) {
        const QStringList batches = db::splitAtGo(costing::avgProcedureScript(name));
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
