#include "db/odbc/OdbcProcedureBatch.h"
#include "db/DatabaseError.h"

#include <gtest/gtest.h>

using namespace db;

namespace {

std::vector<ProcedureParam> calculationParams() {
    return {{"@Result", DataType::Integer, ParamKind::Result, {}},
            {"@ProdId", DataType::Integer, ParamKind::Input, 5},
            {"@Name", DataType::String, ParamKind::Input, QString::fromUtf8("สินค้า")},
            {"@Total", DataType::Float, ParamKind::Output, {}},
            {"@Count", DataType::Integer, ParamKind::InputOutput, 3},
            {"@When", DataType::DateTime, ParamKind::Output, {}}};
}

} // namespace

TEST(OdbcProcedureBatch, PassesInputsByNameAndSelectsOutputsAfterTheReturnValue) {
    const OdbcProcedureBatch batch("CALCULATE_AVG1ByProdAndMonth", calculationParams());
    EXPECT_EQ(batch.sql(),
              "SET NOCOUNT ON;\n"
              "DECLARE @rv int;\n"
              "DECLARE @out4 float;\n"
              "DECLARE @out5 bigint = ?;\n"
              "DECLARE @out6 datetime;\n"
              "EXEC @rv = [CALCULATE_AVG1ByProdAndMonth] @ProdId = ?, @Name = ?, "
              "@Total = @out4 OUTPUT, @Count = @out5 OUTPUT, @When = @out6 OUTPUT;\n"
              "SELECT @rv AS [Result], @out4 AS [@Total], @out5 AS [@Count], @out6 AS [@When];");

    // Bound in the order of the markers: the InputOutput's declaration comes before the call.
    const auto& values = batch.values();
    ASSERT_EQ(values.size(), 3u);
    EXPECT_EQ(values[0].type, DataType::Integer);
    EXPECT_EQ(values[0].value, 3);
    EXPECT_EQ(values[1].value, 5);
    EXPECT_EQ(values[2].type, DataType::String);
    EXPECT_EQ(values[2].value, QString::fromUtf8("สินค้า"));
}

TEST(OdbcProcedureBatch, OutputVariablesHaveTheTypesTheProcedureDeclares) {
    // As the catalog gives them: names in any case, inputs too, a type it could not name.
    const std::vector<ProcedureParameter> declared{{"@prodid", "int", false},
                                                   {"@NAME", "varchar(100)", false},
                                                   {"@Total", "decimal(28, 4)", true},
                                                   {"@Count", "int", true},
                                                   {"@When", "", true}};
    const OdbcProcedureBatch batch("P", calculationParams(), declared);
    EXPECT_TRUE(batch.sql().contains("DECLARE @out4 decimal(28, 4);\n"
                                     "DECLARE @out5 int = ?;\n"
                                     "DECLARE @out6 datetime;\n"))
        << batch.sql().toStdString();
    // Inputs stay bound values, whatever their declared types.
    EXPECT_TRUE(batch.sql().contains("@ProdId = ?, @Name = ?,")) << batch.sql().toStdString();
    EXPECT_EQ(batch.values().size(), 3u);

    // The char outputs of the suite's MENUCAPTION, which some servers hold to their types.
    const OdbcProcedureBatch menu("MENUCAPTION",
                                  {{"@MENUID", DataType::Integer, ParamKind::Input, 1},
                                   {"@CAPTION", DataType::String, ParamKind::Output, {}},
                                   {"@ACCESS_R", DataType::String, ParamKind::Output, {}}},
                                  {{"@MENUID", "int", false},
                                   {"@CAPTION", "varchar(100)", true},
                                   {"@ACCESS_R", "char(1)", true},
                                   {"@USERCODE", "varchar(20)", true}});
    EXPECT_TRUE(menu.sql().contains("DECLARE @out2 varchar(100);\nDECLARE @out3 char(1);\n"))
        << menu.sql().toStdString();

    // A type that is not a plain name with a length goes nowhere near the text.
    const OdbcProcedureBatch odd("P", {{"@Out", DataType::String, ParamKind::Output, {}}},
                                 {{"@Out", "int; DROP TABLE Stock", true}});
    EXPECT_TRUE(odd.sql().contains("DECLARE @out1 nvarchar(4000);")) << odd.sql().toStdString();
}

TEST(OdbcProcedureBatch, ProcedureWithoutParametersOnlyReturnsItsValue) {
    const OdbcProcedureBatch batch("ServerTime", {});
    EXPECT_TRUE(batch.sql().contains("\nEXEC @rv = [ServerTime];\nSELECT @rv AS [Result];"));
    EXPECT_TRUE(batch.values().empty());
}

TEST(OdbcProcedureBatch, NamesCannotChangeTheBatch) {
    // The procedure name is one quoted identifier whatever it holds.
    EXPECT_TRUE(OdbcProcedureBatch("P]; DROP TABLE Stock; --", {})
                    .sql()
                    .contains("EXEC @rv = [P]]; DROP TABLE Stock; --];"));

    for (const QString name : {"ProdId", "@", "@Prod Id", "@a;--", "@a]", "@a=1,@b", "@สินค้า"}) {
        const std::vector<ProcedureParam> params{{name, DataType::Integer, ParamKind::Input, 1}};
        EXPECT_THROW(OdbcProcedureBatch("P", params), DatabaseError) << name.toStdString();
    }
    const std::vector<ProcedureParam> valid{{"@Prod_Id2", DataType::Integer, ParamKind::Input, 1}};
    EXPECT_NO_THROW(OdbcProcedureBatch("P", valid));
    EXPECT_THROW(OdbcProcedureBatch(" ", {}), DatabaseError);
}

TEST(OdbcProcedureBatch, ReadsOutputsIntoTheirParameters) {
    auto params = calculationParams();
    const OdbcProcedureBatch batch("P", params);
    const QDateTime when(QDate(2024, 2, 29), QTime(13, 45, 7));
    ResultSet result;
    result.columns = QStringList{"Result", "@Total", "@Count", "@When"};
    result.rows.push_back({qint64(7), 12.5, qint64(4), when});

    EXPECT_EQ(batch.readOutputs(result, params), 7);
    EXPECT_EQ(params[0].value, 7);
    EXPECT_EQ(params[1].value, 5); // inputs keep their values
    EXPECT_EQ(params[3].value, 12.5);
    EXPECT_EQ(params[4].value, qint64(4));
    EXPECT_EQ(params[5].value, when);

    // A null output reads as null, not as the value it had.
    result.rows.front()[2] = QVariant();
    batch.readOutputs(result, params);
    EXPECT_FALSE(params[4].value.isValid());

    // A batch cut short (no row, or not the columns it selects) is an error, not zeros.
    ResultSet empty;
    EXPECT_THROW(batch.readOutputs(empty, params), DatabaseError);
    ResultSet tooShort;
    tooShort.rows.push_back({qint64(0)});
    EXPECT_THROW(batch.readOutputs(tooShort, params), DatabaseError);
}
