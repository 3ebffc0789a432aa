// stockcost-admin check on calculated years: silent on a sound year, and naming what an
// interrupted run, a changed document or a tampered table leaves wrong; for FIFO and for
// average cost.
#include "AvgTestCompany.h"
#include "FifoTestCompany.h"
#include "FifoYearRun.h"

#include <gtest/gtest.h>

#include <QProcess>

namespace {

struct CheckRun {
    int exitCode = -1;
    QString out;
    QString err;
};

CheckRun admin(const TempServer& server, const QStringList& args) {
    QProcess process;
    process.start(QStringLiteral(STOCKCOST_ADMIN_PATH),
                  QStringList{QStringLiteral("--server"), server.serverName()} + args);
    process.waitForFinished(120000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

// A purchase of 10 units for 50.00 on 03-02 and issues of 6 (03-05) and 8 (03-20): the second
// takes the 4 left and is 4 short.
class FifoCheckTest : public ::testing::Test {
protected:
    FifoCheckTest() : company(QStringLiteral("FifoCheck")) {
        company.exec("Insert Into Product (Id, Code, Negative) Values (1, 'A001', 'N')");
        company.exec("Insert Into ProductUnits (Id, Product, Fraction) Values (11, 1, 1)");
        company.exec("Insert Into MRHD (Id, MRDATE, Delflag, DiscAmt1, DiscAmt2, DiscAmt3, "
                     "TaxRate, Price_IE) Values (1, '2024-03-02', 'N', 0, 0, 0, 7, 'E')");
        company.exec("Insert Into MRDT (Id, MRHD, Product, ProductUnits, Quantity, Total, MrDate) "
                     "Values (1, 1, 1, 11, 10, 50, '2024-03-02')");
        company.exec("Insert Into IsHd (Id, IsDate, Delflag) Values (1, '2024-03-05', 'N'), "
                     "(2, '2024-03-20', 'N')");
        company.exec("Insert Into Isdt (Id, IsHd, Product, ProductUnits, Quantity, IsDate, "
                     "Fraction) Values (1, 1, 1, 11, 6, '2024-03-05', 1), "
                     "(2, 2, 1, 11, 8, '2024-03-20', 1)");
    }

    CheckRun check() {
        return admin(company.server(), {QStringLiteral("check"), FifoTestCompany::database,
                                        QStringLiteral("--year"), QStringLiteral("2024")});
    }

    FifoTestCompany company;
};

TEST_F(FifoCheckTest, ASoundYearPassesWithItsShortagesListed) {
    const CheckRun uncalculated = check();
    EXPECT_EQ(uncalculated.exitCode, 1);
    EXPECT_TRUE(uncalculated.out.contains(QStringLiteral("nothing calculated")))
        << uncalculated.out.toStdString();

    FifoYearRun(company.alias()).runYear(2024);
    const CheckRun sound = check();
    EXPECT_EQ(sound.exitCode, 0) << sound.out.toStdString() << sound.err.toStdString();
    EXPECT_TRUE(sound.out.contains(
        QStringLiteral("note shortage: A001 month 3, Isdt 2: 4 of the 8 issued were not in stock")))
        << sound.out.toStdString();
    EXPECT_FALSE(sound.out.contains(QStringLiteral("FAIL")));
}

TEST_F(FifoCheckTest, NamesWhatATamperedOrUnfinishedYearGetsWrong) {
    FifoYearRun(company.alias()).runYear(2024);
    // A price written by hand, an issue whose consumption was changed, and a line entered after
    // the run.
    company.exec("Update Isdt Set Price = 9 Where Id = 1");
    company.exec("Update FifoConsumption Set Quantity = 5 Where IssueSeq = 2");
    company.exec("Insert Into Isdt (Id, IsHd, Product, ProductUnits, Quantity, IsDate, Fraction) "
                 "Values (3, 2, 1, 11, 1, '2024-03-21', 1)");
    const CheckRun tampered = check();
    EXPECT_EQ(tampered.exitCode, 1);
    for (const char* expected : {"FAIL line price: A001 month 3, Isdt 1: price 9, expected 5",
                                 "FAIL issue consumptions: A001 month 3, Isdt 1: quantity 5, "
                                 "expected 6",
                                 "FAIL line not costed: A001 month 3, Isdt 3"})
        EXPECT_TRUE(tampered.out.contains(QLatin1String(expected))) << expected << "\n"
                                                                    << tampered.out.toStdString();

    // A month whose issue pass never ran: its movements are there, its balance is not.
    FifoYearRun(company.alias()).runYear(2024);
    company.exec("Delete From FifoMonthBalance Where PeriodNo = 3");
    const CheckRun unfinished = check();
    EXPECT_EQ(unfinished.exitCode, 1);
    EXPECT_TRUE(unfinished.out.contains(QStringLiteral("FAIL month not calculated: A001 month 3")))
        << unfinished.out.toStdString();
}

TEST(CheckCommand, RefusesBadArgumentsAndOtherCostingMethods) {
    FifoTestCompany company(QStringLiteral("CheckArguments"), 2);
    EXPECT_EQ(
        admin(company.server(), {QStringLiteral("check"), FifoTestCompany::database}).exitCode, 2);
    EXPECT_EQ(admin(company.server(), {QStringLiteral("check"), FifoTestCompany::database,
                                       QStringLiteral("--year"), QStringLiteral("twenty")})
                  .exitCode,
              2);
    const CheckRun moving =
        admin(company.server(), {QStringLiteral("check"), FifoTestCompany::database,
                                 QStringLiteral("--year"), QStringLiteral("2024")});
    EXPECT_EQ(moving.exitCode, 1);
    EXPECT_TRUE(moving.err.contains(QStringLiteral("costing method 2")))
        << moving.err.toStdString();
}

// The average cost's worked example (tests/AvgTestCompany.h), calculated by stockcost-admin.
TEST(AvgCheck, ASoundYearPassesAndAChangedLedgerOrPriceFails) {
    AvgTestCompany company(QStringLiteral("AvgCheck"));
    const QStringList calculate{QStringLiteral("calculate"), AvgTestCompany::database,
                                QStringLiteral("--year"), QStringLiteral("2024")};
    const QStringList check{QStringLiteral("check"), AvgTestCompany::database,
                            QStringLiteral("--year"), QStringLiteral("2024")};
    ASSERT_EQ(admin(company.server(), calculate).exitCode, 0);
    const CheckRun sound = admin(company.server(), check);
    EXPECT_EQ(sound.exitCode, 0) << sound.out.toStdString() << sound.err.toStdString();

    // A purchase changed after the run, and a price written by hand.
    company.exec("Update MRDT Set Total = 80 Where Id = 1");
    company.exec("Update Isdt Set Price = 70 Where Id = 1");
    const CheckRun changed = admin(company.server(), check);
    EXPECT_EQ(changed.exitCode, 1);
    for (const char* expected : {"FAIL ledger row: A001 month 1, ProductUnits 11: value 70, "
                                 "expected 80",
                                 "FAIL line price: A001 month 1, Isdt 1: price 70, expected 72"})
        EXPECT_TRUE(changed.out.contains(QLatin1String(expected))) << expected << "\n"
                                                                   << changed.out.toStdString();
}

// The demo year of the examples, calculated by each method, holds to its rules: among its
// products is one whose only document of December is a supplier note, which a run that did not
// list it would leave out of the costs.
TEST(CheckCommand, ADemoYearOfEitherMethodPassesAfterItsRun) {
    TempServer server;
    ASSERT_EQ(admin(server, {QStringLiteral("init"), server.directory()}).exitCode, 0);
    for (const auto& [company, method] :
         {std::pair{QStringLiteral("AVGDEMO"), QStringLiteral("1")},
          std::pair{QStringLiteral("FIFODEMO"), QStringLiteral("3")}}) {
        ASSERT_EQ(admin(server, {QStringLiteral("create-company"), company,
                                 QStringLiteral("--method"), method})
                      .exitCode,
                  0);
        ASSERT_EQ(admin(server, {QStringLiteral("demo"), company, QStringLiteral("--year"),
                                 QStringLiteral("2024")})
                      .exitCode,
                  0);
        const CheckRun run = admin(server, {QStringLiteral("calculate"), company,
                                            QStringLiteral("--year"), QStringLiteral("2024")});
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        const CheckRun checked = admin(server, {QStringLiteral("check"), company,
                                                QStringLiteral("--year"), QStringLiteral("2024")});
        EXPECT_EQ(checked.exitCode, 0) << company.toStdString() << "\n"
                                       << checked.out.toStdString();
        EXPECT_FALSE(checked.out.contains(QStringLiteral("FAIL"))) << checked.out.toStdString();
    }
}

} // namespace
