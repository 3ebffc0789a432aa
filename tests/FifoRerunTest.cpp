// Reruns of the FIFO costing on a demo company: a year run twice leaves the same tables, a run
// from May leaves for May to December what a run from January leaves (also when a document of
// those months changed in between), and a product whose calls fail leaves every other product
// as a run without the failure leaves it. stockcost-admin check finds nothing wrong after them.
#include "FifoYearRun.h"
#include "TempServer.h"

#include "admin/DemoCompany.h"
#include "costing/avg/procedures/AvgProcedures.h"
#include "costing/fifo/procedures/FifoProcedures.h"
#include "db/TDatabase.h"
#include "db/TQuery.h"
#include "db/schema/SchemaInstaller.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QRegularExpression>

#include <memory>

namespace {

constexpr int year = 2024;

// What a run leaves: the FIFO tables and every cost written into the company's lines, each
// query with the column that names the product of its rows.
const std::vector<std::pair<QString, QString>> runResults = {
    {"Select Product, BalanceYear, PeriodNo, Seq, Kind, SourceTable, SourceId, Quantity, Amount, "
     "UnitCost, ShortQuantity, ShortAmount, AppliedAmount, ConsumedFrom, ConsumedTo "
     "From FifoMovement",
     "Product"},
    {"Select * From FifoConsumption", "Product"},
    {"Select * From FifoLayerBalance", "Product"},
    {"Select * From FifoMonthBalance", "Product"},
    {"Select * From FifoWorkOrderCost", ""},
    {"Select Id, Price From Isdt", "Product"},
    {"Select Id, Price From Ridt", "Product"},
    {"Select Id, CostAVG, Price From MFGISDT", "Product"},
    {"Select Id, CostAVG, Price From MFGRIDT", "Product"},
    {"Select Id, Price From MFGFinishDt", "Product"},
    {"Select Id, Price From AdjuststockDt", "Product"},
    {"Select Id, CostAVG From WorkOrderHd", ""},
    {"Select Id, CostAVG From WorkOrderDt", "Product"},
    {"Select Id, Negative From Product", "Id"},
};

class FifoRerunTest : public ::testing::Test {
protected:
    FifoRerunTest() {
        costing::registerAvgProcedures();
        costing::registerFifoProcedures();
        db::schema::SchemaInstaller installer(server.serverName());
        installer.createConfigDatabase();
    }

    // A FIFO demo company of 40 products, the same for every name.
    db::TDatabase& company(const QString& name) {
        db::schema::SchemaInstaller(server.serverName()).createCompanyDatabase(name, 3);
        auto database = std::make_unique<db::TDatabase>(QStringLiteral("Rerun") + name);
        database->params() = server.connectionParams(name);
        DemoCompany(*database, {year, 40, 7}).generate();
        databases.push_back(std::move(database));
        return *databases.back();
    }

    static void exec(db::TDatabase& database, const QString& sql) {
        db::TQuery query(QStringLiteral("QTest"), database.databaseName(), sql);
        query.execSql();
    }

    // Every row of the results, sorted, each table under its query; without the rows of one
    // product when given.
    static QStringList results(db::TDatabase& database, int withoutProduct = 0) {
        QStringList all;
        for (const auto& [sql, productColumn] : runResults) {
            QString text = sql;
            if (withoutProduct != 0 && !productColumn.isEmpty())
                text += QStringLiteral(" Where %1 <> %2").arg(productColumn).arg(withoutProduct);
            db::TQuery query(QStringLiteral("QTest"), database.databaseName(), text);
            QStringList rows;
            for (query.open(); !query.eof(); query.next()) {
                QStringList fields;
                for (const auto& name : query.fieldNames())
                    fields << query.fieldByName(name).value().toString();
                rows << fields.join('|');
            }
            rows.sort();
            all << sql << rows;
        }
        return all;
    }

    // The rows of a query that differ between two companies, at most a few.
    static QString differences(const QStringList& left, const QStringList& right) {
        QStringList onlyLeft;
        for (const auto& row : left) {
            if (!right.contains(row))
                onlyLeft << row;
        }
        QStringList onlyRight;
        for (const auto& row : right) {
            if (!left.contains(row))
                onlyRight << row;
        }
        return QStringLiteral("first only: %1\nsecond only: %2")
            .arg(onlyLeft.mid(0, 5).join(QStringLiteral("; ")),
                 onlyRight.mid(0, 5).join(QStringLiteral("; ")));
    }

    int check(const QString& name) {
        QProcess admin;
        admin.start(QStringLiteral(STOCKCOST_ADMIN_PATH),
                    {QStringLiteral("--server"), server.serverName(), QStringLiteral("check"), name,
                     QStringLiteral("--year"), QString::number(year)});
        admin.waitForFinished(120000);
        checkOutput = QString::fromUtf8(admin.readAllStandardOutput());
        return admin.exitCode();
    }

    TempServer server;
    std::vector<std::unique_ptr<db::TDatabase>> databases;
    QString checkOutput;
};

TEST_F(FifoRerunTest, AYearRunTwiceLeavesTheSameTables) {
    auto& database = company(QStringLiteral("Twice"));
    FifoYearRun first(database.databaseName());
    first.runYear(year);
    ASSERT_TRUE(first.failures().empty()) << first.failures().front().message.toStdString();
    const QStringList once = results(database);
    EXPECT_EQ(check(QStringLiteral("Twice")), 0) << checkOutput.toStdString();

    FifoYearRun second(database.databaseName());
    second.runYear(year);
    const QStringList twice = results(database);
    EXPECT_TRUE(once == twice) << differences(once, twice).toStdString();
    // The run did cost something: issues with costs and work orders with output.
    EXPECT_GT(
        once.filter(QRegularExpression(QStringLiteral("^\\d+\\|2024\\|\\d+\\|\\d+\\|I\\|"))).size(),
        100);
}

TEST_F(FifoRerunTest, ARunFromMayLeavesWhatARunFromJanuaryLeaves) {
    // A purchase of July is dearer than the demo made it: one company learns it after a whole
    // year was calculated and runs from May, the other has it from the start.
    const QString dearer = QStringLiteral(
        "Update MRDT Set Total = Total * 3 Where Id = (Select Min(D.Id) From MRDT D Join MRHD H "
        "On H.Id = D.MRHD Where Month(H.MRDATE) = 7 And H.Delflag = 'N')");
    auto& later = company(QStringLiteral("FromMay"));
    auto& fresh = company(QStringLiteral("FromJanuary"));
    FifoYearRun(later.databaseName()).runYear(year);
    const QStringList beforeMay = results(later);
    exec(later, dearer);
    FifoYearRun(later.databaseName()).runYear(year, 5);
    exec(fresh, dearer);
    FifoYearRun(fresh.databaseName()).runYear(year);

    const QStringList fromMay = results(later);
    const QStringList fromJanuary = results(fresh);
    EXPECT_TRUE(fromMay == fromJanuary) << differences(fromMay, fromJanuary).toStdString();
    // The change did reach the months after it.
    EXPECT_FALSE(beforeMay == fromMay);
    EXPECT_EQ(check(QStringLiteral("FromMay")), 0) << checkOutput.toStdString();
}

TEST_F(FifoRerunTest, AProductWhoseCallsFailLeavesTheOthersAsARunWithoutTheFailure) {
    auto& failing = company(QStringLiteral("Failing"));
    auto& sound = company(QStringLiteral("Sound"));
    // Product 2, a traded good, gets an issue in March too large for the costing's quantities:
    // its March fails to build, and none of its movements of March are costed.
    exec(failing, "Insert Into Isdt (Id, IsHd, Product, ProductUnits, Warehouse, Quantity, "
                  "IsDate, Fraction) Select Max(Id) + 1, Min(IsHd), 2, (Select Min(Id) From "
                  "ProductUnits Where Product = 2), 1, 1e30, '2024-03-15', 1 From Isdt");
    FifoYearRun failingRun(failing.databaseName());
    failingRun.runYear(year);
    FifoYearRun soundRun(sound.databaseName());
    soundRun.runYear(year);

    ASSERT_FALSE(failingRun.failures().empty());
    for (const auto& failure : failingRun.failures()) {
        EXPECT_TRUE(failure.call.contains(QStringLiteral("@Month=3, @PId=2 ")))
            << failure.text().toStdString();
    }
    EXPECT_TRUE(soundRun.failures().empty());
    const QStringList withFailure = results(failing, 2);
    const QStringList without = results(sound, 2);
    EXPECT_TRUE(withFailure == without) << differences(withFailure, without).toStdString();
    // check names the lines the failure left without a cost.
    EXPECT_EQ(check(QStringLiteral("Failing")), 1);
    EXPECT_TRUE(checkOutput.contains(QStringLiteral("FAIL line not costed: P00002 month 3")))
        << checkOutput.toStdString();
}

} // namespace
