// stockcost-admin explain on the hand-made companies, every number printed checked against the
// values worked out by hand (FifoHandMadeCompany.h, AvgTestCompany.h and the work orders
// below), and on generated years of both methods, where what each explanation shows must add
// up to the cost written in its line, to the cent.
#include "admin/ExplainCommand.h"
#include "AvgTestCompany.h"
#include "FifoHandMadeCompany.h"
#include "FifoYearRun.h"
#include "RecordedProgress.h"
#include "admin/CostExplanation.h"
#include "admin/DemoCompany.h"
#include "admin/UsageError.h"
#include "costing/YearRun.h"
#include "costing/avg/AvgMonthRun.h"

#include <gtest/gtest.h>

#include <QProcess>

namespace {

void calculateAverageCost(const QString& alias, int year) {
    RecordedProgress progress;
    AvgMonthRun monthRun(progress, alias);
    YearRun yearRun(alias, progress);
    yearRun.run(year, 1, [&](int month) { monthRun.CalculateProdAVGMonth(year, month); });
}

CostExplanation explain(const QString& alias, const QString& table, qint64 id) {
    QString ignored;
    QTextStream out(&ignored);
    return ExplainCommand({QStringLiteral("TEST"), table, id, false}, out).explain(alias);
}

// The rows of one section, a line each, "label | quantity | value".
std::string section(const CostExplanation& explanation, const QString& titleStart) {
    QStringList rows;
    for (const auto& row : explanation.rows()) {
        if (row.section.startsWith(titleStart))
            rows << (row.label.trimmed() + " | " + row.quantity + " | " + row.value);
    }
    return rows.join('\n').toStdString();
}

std::string lines(const QStringList& rows) {
    return rows.join('\n').toStdString();
}

// Money and costs, at most four decimals, as whole ten-thousandths: exact sums and products.
qint64 exact(const QString& text) {
    const bool negative = text.startsWith('-');
    const QString digits = negative ? text.mid(1) : text;
    const auto point = digits.indexOf('.');
    const QString whole = point < 0 ? digits : digits.left(point);
    const QString fraction = ((point < 0 ? QString() : digits.mid(point + 1)) + "0000").left(4);
    const qint64 value = whole.toLongLong() * 10000 + fraction.toLongLong();
    return negative ? -value : value;
}

// Half away from zero, as SQL Server rounds, of a / b to four decimals, a and b exact.
qint64 roundedRatio(qint64 numerator, double quantity) {
    const long double ratio = static_cast<long double>(numerator) / quantity;
    return static_cast<qint64>(ratio < 0 ? ratio - 0.5L : ratio + 0.5L);
}

class FifoExplainTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        company = new FifoTestCompany(QStringLiteral("FifoExplain"));
        seedFifoHandMadeCompany(*company);
        FifoYearRun run(company->alias());
        run.runYear(2023);
        run.runYear(2024, 1);
    }
    static void TearDownTestSuite() {
        delete company;
        company = nullptr;
    }
    static inline FifoTestCompany* company = nullptr;
};

TEST_F(FifoExplainTest, AnIssueInDozensShowsTheThreeLayersItTookOldestFirst) {
    const auto explanation = explain(company->alias(), QStringLiteral("ISDT"), 2);
    ASSERT_TRUE(explanation.isCosted()) << explanation.notCostedReason().toStdString();
    EXPECT_EQ(
        section(explanation, "Line Isdt 2"),
        lines({"date 12/01/2024 |  | ", "product A001 น้ำปลา |  | ", "unit DZ, Fraction 12 |  | ",
               "quantity | 2 | ", "quantity in base units | 24 | "}));
    EXPECT_EQ(section(explanation, "FIFO, month 1 of 2024"),
              lines({"layer MRDT 1 of 05/12/2023, carried into 2024 | 6 | 30.00",
                     "layer MRDT 2 of 05/01/2024 | 10 | 70.00",
                     "layer PCDT 1 of 08/01/2024 | 8 | 66.67", "cost of goods issued | 24 | 166.67",
                     "per base unit (value / quantity, to 4 decimals) |  | 6.9446",
                     "per unit of the line (x Fraction 12) |  | 83.3352",
                     "Price written in the line |  | 83.3352"}));
}

TEST_F(FifoExplainTest, AShortIssueAndTheReturnWhoseLayerItTook) {
    const auto issue = explain(company->alias(), QStringLiteral("Isdt"), 3);
    EXPECT_EQ(
        section(issue, "FIFO"),
        lines({"layer SRDT 1 of 20/01/2024 | 1 | 5.33",
               "short: not in stock, valued at the cost of the last layer consumed | 3 | 15.99",
               "cost of goods issued | 4 | 21.32",
               "per base unit (value / quantity, to 4 decimals) |  | 5.33",
               "per unit of the line (x Fraction 1) |  | 5.33",
               "Price written in the line |  | 5.33"}));

    // The customer return came back at the cost of the sale before it.
    const auto customerReturn = explain(company->alias(), QStringLiteral("srdt"), 1);
    EXPECT_EQ(section(customerReturn, "FIFO"),
              lines({"back at the cost of the issue before it, IvDt 1 of 18/01/2024, per "
                     "base unit |  | 5.3333",
                     "value (quantity x that cost, to the cent) | 1 | 5.33",
                     "per base unit (value / quantity, to 4 decimals) |  | 5.33",
                     "per unit of the line (x Fraction 1) |  | 5.33"}));
}

TEST_F(FifoExplainTest, FinishedGoodsTakeTheirWorkOrdersCost) {
    const auto finished = explain(company->alias(), QStringLiteral("MFGFinishDt"), 2);
    EXPECT_EQ(section(finished, "FIFO"),
              lines({"work order WO-P, its total cost over all it finished (base units) | "
                     "10 | 101.00",
                     "value (its share by base quantity, to the cent) | 10 | 101.00",
                     "per base unit (value / quantity, to 4 decimals) |  | 10.10",
                     "per unit of the line (x Fraction 1) |  | 10.10",
                     "Price written in the line |  | 10.10"}));
}

// WO-C: 30 M001 at 2.00 = 60.00; E 0.50 x 20 + F 10.00 = 20.00; 80.00 / 20 = 4.0000.
TEST_F(FifoExplainTest, AWorkOrderShowsWhatItsCostIsMadeOf) {
    const auto child = explain(company->alias(), QStringLiteral("workorderhd"), 2);
    ASSERT_TRUE(child.isCosted()) << child.notCostedReason().toStdString();
    EXPECT_EQ(section(child, "FIFO cost of work order WO-C"),
              lines({"material issued less material returned, at their cost |  | 60.00",
                     "bill expenses (E x quantity finished + F) |  | 20.00", "total |  | 80.00",
                     "unit cost (total / quantity finished, to 4 decimals) | 20 | 4.00",
                     "CostAVG written in the work order |  | 4.00"}));
}

TEST_F(FifoExplainTest, LinesNoRunCostedSayWhyAndExitWithOne) {
    company->exec("Insert Into IsHd (Id, IsDate, Delflag) Values (8, '2024-03-02', 'Y'), "
                  "(9, '2024-03-03', 'N')");
    company->exec("Insert Into Isdt (Id, IsHd, Product, ProductUnits, Warehouse, Quantity, "
                  "IsDate, Fraction) Values (8, 8, 1, 11, 1, 1, '2024-03-02', 1), "
                  "(9, 9, 1, 11, 1, 1, '2024-12-03', 1)");
    const std::pair<const char*, const char*> cases[] = {
        {"8", "Isdt 8 is not costed: its document is marked deleted, and the FIFO costing "
              "leaves deleted documents out."},
        {"9", "Isdt 9 is not costed: the FIFO run has not calculated month 12 of 2024 for A001 "
              "น้ำปลา since the line was entered."},
        {"77", "Isdt has no line 77 in Fifo1."}};
    for (const auto& [id, sentence] : cases) {
        QProcess admin;
        admin.start(QStringLiteral(STOCKCOST_ADMIN_PATH),
                    {QStringLiteral("--server"), company->server().serverName(),
                     QStringLiteral("explain"), FifoTestCompany::database, QStringLiteral("isdt"),
                     QLatin1String(id)});
        admin.waitForFinished(60000);
        EXPECT_EQ(admin.exitCode(), 1) << id;
        EXPECT_EQ(QString::fromUtf8(admin.readAllStandardOutput()).trimmed(),
                  QString::fromUtf8(sentence));
    }
    const auto notCosted = explain(company->alias(), QStringLiteral("IvHd"), 1);
    EXPECT_FALSE(notCosted.isCosted());
    EXPECT_TRUE(notCosted.notCostedReason().startsWith("IvHd is not a table whose lines the FIFO"));
}

TEST_F(FifoExplainTest, TsvGivesTheSameRowsTabSeparated) {
    QProcess admin;
    admin.start(QStringLiteral(STOCKCOST_ADMIN_PATH),
                {QStringLiteral("--server"), company->server().serverName(),
                 QStringLiteral("explain"), FifoTestCompany::database, QStringLiteral("Isdt"),
                 QStringLiteral("2"), QStringLiteral("--format"), QStringLiteral("tsv")});
    admin.waitForFinished(60000);
    EXPECT_EQ(admin.exitCode(), 0);
    const QStringList output =
        QString::fromUtf8(admin.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    const auto explanation = explain(company->alias(), QStringLiteral("Isdt"), 2);
    ASSERT_EQ(output.size(), qsizetype(explanation.rows().size()) + 1);
    EXPECT_EQ(output[0].toStdString(), "section\tlabel\tquantity\tvalue");
    EXPECT_EQ(output[8].toStdString(),
              "FIFO, month 1 of 2024: layers taken, oldest first\tlayer PCDT 1 of "
              "08/01/2024\t8\t66.67");
    for (const auto& line : output)
        EXPECT_EQ(line.count('\t'), 3) << line.toStdString();
}

// The worked example of AvgTestCompany.h with a customer return of 2 EA of A001 on 01-26, at
// the January average (50.00 + 70.00) / 20 = 6.000000, which adds 12.00 and leaves the
// average at 132.00 / 22 = 6.0000. In February a cleared work order WO-P makes 5 B002 from
// 10 S003, made by its cleared child WO-C, and 1 DZ of A001:
//   WO-C (no children): 4 EA of A001 at the February average 6.0000; bill E 0.50 a unit,
//        F 10.00; 10 finished: 24.00 + 5.00 + 10.00 = 39.00, 3.9000 a unit.
//   WO-P: the 10 S003 at the child's 3.9000, the DZ of A001 at 6.0000 x 12 = 72.0000; bill
//        F 5.00; 5 finished: 39.00 + 72.00 + 5.00 = 116.00, 23.2000 a unit.
class AvgExplainTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        company = new AvgTestCompany(QStringLiteral("AvgExplain"));
        auto& c = *company;
        c.exec("Insert Into SRHD (Id, SRDATE, DocNo, Delflag, SrType) Values "
               "(1, '2024-01-26', 'SR1', 'N', 'A')");
        c.exec("Insert Into SRDT (Id, SRHD, Product, ProductUnits, Warehouse, Quantity, SrDate) "
               "Values (1, 1, 1, 11, 1, 2, '2024-01-26')");
        c.exec("Insert Into Product (Id, Code, ThaiName, Negative) Values (3, 'S003', 'น้ำซุป', "
               "'N')");
        c.exec("Insert Into ProductUnits (Id, Product, Code, Fraction) Values (31, 3, 'EA', 1)");
        c.exec("Insert Into ProductOnhand (Product, Warehouse, BalanceYear, PeriodNo, Quantity) "
               "Values (1, 1, 2024, 2, 20)");
        c.exec("Insert Into MfgExpense (Id, Code) Values (1, 'LAB'), (2, 'SET')");
        c.exec("Insert Into BomHd (Id, Code, Product, BomAssembly, ProductUnits) Values "
               "(1, 'BC', 3, 'Y', 31), (2, 'BP', 2, 'Y', 21)");
        c.exec("Insert Into BomDt (Id, BomHd, RmType, StdCost, MfgExpense) Values "
               "(1, 1, 'E', 0.5, 1), (2, 1, 'F', 10, 2), (3, 2, 'F', 5, 2)");
        c.exec("Insert Into WorkOrderHd (Id, WorkOrderNo, MasterWorkOrder, BomHd, FinishedGoods, "
               "ProductUnits, Warehouse, QUANTITY1, WorkDate, FinishDate, Closedate, Delflag, "
               "Clear) Values (2, 'WO-C', 3, 1, 3, 31, 1, 10, '2024-02-02', '2024-02-05', "
               "'2024-02-06', 'N', 'Y'), (3, 'WO-P', Null, 2, 2, 21, 1, 5, '2024-02-06', "
               "'2024-02-10', '2024-02-11', 'N', 'Y')");
        c.exec("Insert Into WorkOrderDt (Id, WorkOrderHd, Product, ProductUnits, Warehouse, "
               "QUANTITY1) Values (2, 2, 3, 31, 1, 10), (3, 3, 2, 21, 1, 5)");
        c.exec("Insert Into MFGISHD (Id, WorkOrderHd, MfgIsDate, DocNo, Delflag) Values "
               "(2, 2, '2024-02-03', 'MI2', 'N'), (3, 3, '2024-02-07', 'MI3', 'N')");
        c.exec("Insert Into MFGISDT (Id, MFGISHD, Product, ProductUnits, Warehouse, Quantity, "
               "Fraction, MfgIsDate) Values (2, 2, 1, 11, 1, 4, 1, '2024-02-03'), "
               "(3, 3, 3, 31, 1, 10, 1, '2024-02-07'), (4, 3, 1, 12, 1, 1, 12, '2024-02-07')");
        c.exec("Insert Into MfgFinishDt (Id, WorkOrderHd, Product, ProductUnits, Warehouse, "
               "Quantity, Fraction, BomAssembly, FinishDate) Values "
               "(2, 2, 3, 31, 1, 10, 1, 'Y', '2024-02-05'), (3, 3, 2, 21, 1, 5, 1, 'Y', "
               "'2024-02-10')");
        calculateAverageCost(c.alias(), 2024);
    }
    static void TearDownTestSuite() {
        delete company;
        company = nullptr;
    }
    static inline AvgTestCompany* company = nullptr;
};

TEST_F(AvgExplainTest, AnIssueInDozensShowsTheLedgerReturnsIncludedAndTheFraction) {
    const auto explanation = explain(company->alias(), QStringLiteral("isdt"), 1);
    ASSERT_TRUE(explanation.isCosted()) << explanation.notCostedReason().toStdString();
    EXPECT_EQ(section(explanation, "Line Isdt 1 (IS1)"),
              lines({"date 20/01/2024 |  | ", "product A001 น้ำปลา |  | ",
                     "unit DZ, Fraction 12 |  | ", "quantity | 1 | "}));
    EXPECT_EQ(section(explanation, "Year-to-date average cost of A001, 2024 up to month 1"),
              lines({"opening row, unit DZ | 10 | 50.00",
                     "10 on hand x opening cost 60.00 per DZ / Fraction 12, to the cent |  | ",
                     "month 1, unit EA | 12 | 82.00",
                     "purchases on credit, net of discounts and VAT (MRDT), 1 line | 10 | 70.00",
                     "customer returns at the average up to their month (SRDT), 1 line | 2 | "
                     "12.00",
                     "sum up to month 1 | 22 | 132.00",
                     "average (value / quantity, to 4 decimals) |  | 6.00",
                     "per unit of the line (x Fraction 12) |  | 72.00",
                     "Price written in the line |  | 72.00"}));
    // An issue line in the base unit of another product.
    EXPECT_EQ(explain(company->alias(), QStringLiteral("Isdt"), 4)
                  .valueOf(QStringLiteral("Price written in the line")),
              "8.00");
}

TEST_F(AvgExplainTest, MaterialFromAClearedChildTakesTheChildsCost) {
    const auto explanation = explain(company->alias(), QStringLiteral("mfgisdt"), 3);
    ASSERT_TRUE(explanation.isCosted()) << explanation.notCostedReason().toStdString();
    EXPECT_EQ(explanation.valueOf(QStringLiteral("per unit of the line (x Fraction 1)")), "3.90");
    EXPECT_EQ(
        section(explanation, "Work order tree of WO-P"),
        lines({"WO-P (this one): makes B002, work date 06/02/2024, closed 11/02/2024, cleared, "
               "bill Y | "
               " | ",
               "material issued (quantity x CostAVG) |  | 111.00",
               "less material returned |  | 0.00", "bill expenses per unit finished (E) |  | 0.00",
               "bill expenses per work order (F) |  | 5.00", "quantity finished | 5 | ",
               "unit cost (total / quantity finished) |  | 23.20",
               "CostAVG written in WO-P |  | 23.20",
               "issued MFGISDT 3 of WO-P, S003 (this line): priced by the cost of child "
               "order WO-C | 10 | 3.90",
               "issued MFGISDT 4 of WO-P, A001: priced by the average of month 2 x "
               "Fraction 12 (now 72.00) | 1 | 72.00",
               "WO-C: makes S003, work date 02/02/2024, closed 06/02/2024, cleared, bill Y | "
               " | ",
               "material issued (quantity x CostAVG) |  | 24.00",
               "less material returned |  | 0.00", "bill expenses per unit finished (E) |  | 5.00",
               "bill expenses per work order (F) |  | 10.00", "quantity finished | 10 | ",
               "unit cost (total / quantity finished) |  | 3.90",
               "CostAVG written in WO-C |  | 3.90",
               "issued MFGISDT 2 of WO-C, A001: priced by the average of month 2 x "
               "Fraction 1 (now 6.00) | 4 | 6.00"}));
    // The work order's finished goods enter the ledger of B002 at 5 x 23.2000.
    const auto finished = explain(company->alias(), QStringLiteral("MFGFinishDt"), 3);
    EXPECT_EQ(section(finished, "Year-to-date average cost of B002"),
              lines({"month 1, unit EA | 5 | 40.00",
                     "purchases on credit, net of discounts and VAT (MRDT), 1 line | 5 | "
                     "40.00",
                     "month 2, unit EA | 5 | 116.00",
                     "finished goods of work orders, 1 line | 5 | 116.00",
                     "sum up to month 2 | 10 | 156.00",
                     "average (value / quantity, to 4 decimals) |  | 15.60",
                     "per unit of the line (x Fraction 1) |  | 15.60",
                     "Price written in the line |  | 15.60"}));
}

TEST_F(AvgExplainTest, LinesTheRunDoesNotCostSayWhy) {
    EXPECT_EQ(
        explain(company->alias(), QStringLiteral("AdjuststockDt"), 2)
            .notCostedReason()
            .toStdString(),
        "AdjuststockDt 2 (AJ1) is not costed: it increases the stock, and a line that increases "
        "stock keeps its price.");
    EXPECT_EQ(explain(company->alias(), QStringLiteral("SRDT"), 1).notCostedReason().toStdString(),
              "SRDT is not a table whose lines the average cost costs; it costs Isdt, Ridt, "
              "MFGISDT, MFGRIDT, AdjuststockDt, MFGFinishDt, WorkOrderHd.");
    company->exec("Insert Into IsHd (Id, IsDate, DocNo, Delflag) Values (9, '2025-03-01', 'IS9', "
                  "'N')");
    company->exec("Insert Into Isdt (Id, IsHd, Product, ProductUnits, Warehouse, Quantity, "
                  "IsDate, Fraction) Values (9, 9, 1, 11, 1, 1, '2025-03-01', 1)");
    EXPECT_EQ(explain(company->alias(), QStringLiteral("Isdt"), 9).notCostedReason().toStdString(),
              "Isdt 9 (IS9) is not costed: month 3 of 2025 has not been calculated.");
}

// Every costed line of a generated year: the explanation's figures make the cost in the line.
class GeneratedYearExplainTest : public ::testing::TestWithParam<int> {};

// The rows of one explanation: the month rows of the ledger and the layers add up to the sum
// shown, the sum divided gives the cost per base unit, times the Fraction the cost per unit of
// the line, which is the one written.
void expectAddsUp(const CostExplanation& explanation, const std::string& line) {
    qint64 parts = 0;
    double quantity = 0;
    QString total, totalQuantity, perBase, perUnit, written, fraction;
    for (const auto& row : explanation.rows()) {
        const QString label = row.label.trimmed();
        EXPECT_FALSE(label.startsWith("not explained") || label.contains("differs"))
            << line << ": " << label.toStdString();
        if (label.startsWith("opening row") || label.startsWith("month ") ||
            label.startsWith("layer ") || label.startsWith("short:")) {
            parts += exact(row.value);
            quantity += row.quantity.toDouble();
        } else if (label.startsWith("sum up to") || label == "cost of goods issued") {
            total = row.value;
            totalQuantity = row.quantity;
        } else if (label.startsWith("average (") || label.startsWith("per base unit")) {
            perBase = row.value;
        } else if (label.startsWith("per unit of the line")) {
            perUnit = row.value;
            fraction = label.section(' ', -1).chopped(1);
        } else if (label == "Price written in the line") {
            written = row.value;
        }
    }
    if (!total.isEmpty()) {
        EXPECT_EQ(parts, exact(total)) << line;
        EXPECT_NEAR(quantity, totalQuantity.toDouble(), 0.000001) << line;
        if (totalQuantity.toDouble() != 0) {
            EXPECT_EQ(roundedRatio(exact(total), totalQuantity.toDouble()), exact(perBase)) << line;
        }
    }
    EXPECT_EQ(exact(perBase) * fraction.toLongLong(), exact(perUnit)) << line;
    EXPECT_EQ(perUnit, written) << line;
}

TEST_P(GeneratedYearExplainTest, EveryCostedLineAddsUpToItsCost) {
    const int method = GetParam();
    FifoTestCompany company(QStringLiteral("ExplainYear%1").arg(method), method);
    DemoCompany(company.connection(), {2024, 500, 5}).generate();
    QString lines;
    if (method == 3) {
        FifoYearRun(company.alias()).runYear(2024);
        lines = "Select SourceTable, SourceId From FifoMovement Where BalanceYear = 2024 And "
                "PeriodNo > 0 And SourceTable In ('Isdt', 'Ridt', 'MFGISDT', 'MFGRIDT', "
                "'MFGFinishDt', 'AdjuststockDt') And (SourceTable <> 'AdjuststockDt' Or Kind = "
                "'I')";
    } else {
        calculateAverageCost(company.alias(), 2024);
        lines = "Select 'Isdt', Id From Isdt Union All Select 'Ridt', Id From Ridt Union All "
                "Select 'MFGISDT', Id From MFGISDT Union All Select 'MFGRIDT', Id From MFGRIDT "
                "Union All Select 'AdjuststockDt', Id From AdjuststockDt Where Quantity < 0 "
                "Union All Select 'MFGFinishDt', Id From MFGFinishDt";
    }
    db::TQuery query(QStringLiteral("QLines"), company.alias(), lines);
    int costed = 0;
    for (query.open(); !query.eof(); query.next()) {
        const QString table = query.fieldByName(query.fieldNames()[0]).asString().trimmed();
        const qint64 id = query.fieldByName(query.fieldNames()[1]).value().toLongLong();
        const auto explanation = explain(company.alias(), table, id);
        const std::string line = (table + ' ' + QString::number(id)).toStdString();
        if (!explanation.isCosted()) {
            // A line the average cost leaves alone is one of a product it does not calculate
            // in the month or finished goods of a work order without a close date; FIFO costs
            // every line listed.
            EXPECT_EQ(method, 1) << line << explanation.notCostedReason().toStdString();
            EXPECT_TRUE(explanation.notCostedReason().contains("does not calculate") ||
                        explanation.notCostedReason().contains("has no close date"))
                << explanation.notCostedReason().toStdString();
            continue;
        }
        ++costed;
        expectAddsUp(explanation, line);
    }
    EXPECT_GT(costed, 300);
}

INSTANTIATE_TEST_SUITE_P(Methods, GeneratedYearExplainTest, ::testing::Values(1, 3));

TEST(ExplainCommandParse, RefusesAMalformedCommandLineAndReadsTheFormat) {
    const QStringList bad[] = {{"DB", "Isdt"},
                               {"DB", "Isdt", "x12"},
                               {"DB", "Isdt", "1", "--format", "xml"},
                               {"DB", "Isdt", "1", "--year", "2024"}};
    for (const auto& args : bad)
        EXPECT_THROW(ExplainCommand::parse(args), UsageError) << args.join(' ').toStdString();
    const auto options = ExplainCommand::parse({"DB", "isdt", "7", "--format=tsv"});
    EXPECT_EQ(options.table, "isdt");
    EXPECT_EQ(options.id, 7);
    EXPECT_TRUE(options.tsv);
}

} // namespace
