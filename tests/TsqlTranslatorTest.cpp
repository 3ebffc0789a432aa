#include "db/embedded/TsqlTranslator.h"
#include "db/DatabaseError.h"

#include <gtest/gtest.h>

using db::DatabaseError;
using db::TranslatedStatement;
using db::TsqlTranslator;
using Kind = TranslatedStatement::Kind;

namespace {

QString sqlOf(const QString& tsql) {
    const auto batch = TsqlTranslator::translate(tsql);
    EXPECT_EQ(batch.size(), 1u) << tsql.toStdString();
    return batch.empty() ? QString() : QString::fromUtf8(batch.front().sql);
}

int nativeCodeOf(const QString& tsql) {
    try {
        TsqlTranslator::translate(tsql);
    } catch (const DatabaseError& error) {
        return error.entries().empty() ? -1 : error.entries().front().nativeCode;
    }
    return 0;
}

} // namespace

TEST(TsqlTranslator, QuotedTextAndBracketedNamesStayAsWritten) {
    const QString literal = "'Convert(Int, x) dbo.T Top 5 IsNull( @v -- ; '' N''a'";
    const QString sql = sqlOf("Select " + literal + ", [dbo.Top 1] From dbo.T -- Top 3\n");
    EXPECT_TRUE(sql.contains(literal)) << sql.toStdString();
    EXPECT_TRUE(sql.contains("[dbo.Top 1]"));
    EXPECT_FALSE(sql.contains("LIMIT"));
    EXPECT_TRUE(sql.endsWith("From T")) << sql.toStdString();
    EXPECT_EQ(sqlOf("Select N'ไทย', n'x'"), "Select 'ไทย', 'x'");
}

TEST(TsqlTranslator, StatementsSplitOnSemicolonsOutsideTextAndBlocks) {
    const auto batch = TsqlTranslator::translate(
        "Update T Set A = ? Where B = ';'; Select ?, Case When ? = 1 Then 'a;' End ; ;");
    ASSERT_EQ(batch.size(), 2u);
    EXPECT_EQ(batch[0].markerCount, 1);
    EXPECT_EQ(batch[1].markerCount, 2);

    const auto guarded = TsqlTranslator::translate(
        "Set NoCount On\nIf Exists (Select * From T Where A = ?) Begin Update T Set A = ?; "
        "Delete From T Where A = ? End");
    ASSERT_EQ(guarded.size(), 2u);
    EXPECT_EQ(guarded[0].kind, Kind::Nothing);
    EXPECT_EQ(guarded[1].kind, Kind::If);
    EXPECT_EQ(guarded[1].markerCount, 1);
    ASSERT_EQ(guarded[1].body.size(), 2u);
    EXPECT_EQ(guarded[1].totalMarkerCount(), 3);
}

TEST(TsqlTranslator, ExecArgumentsAreReadAsValues) {
    const auto batch = TsqlTranslator::translate(
        "Exec dbo.Calc @A = 5, @B = N'it''s', @C = ? Output, @D = -1.5, @E = Null, @F = Default");
    ASSERT_EQ(batch.size(), 1u);
    const auto& call = batch.front();
    EXPECT_EQ(call.kind, Kind::Exec);
    EXPECT_EQ(call.name, "Calc");
    EXPECT_EQ(call.markerCount, 1);
    ASSERT_EQ(call.arguments.size(), 5u);
    EXPECT_EQ(call.arguments[0].name, "@A");
    EXPECT_EQ(call.arguments[0].value, QVariant(qlonglong(5)));
    EXPECT_EQ(call.arguments[1].value.toString(), "it's");
    EXPECT_EQ(call.arguments[2].marker, 0);
    EXPECT_TRUE(call.arguments[2].output);
    EXPECT_EQ(call.arguments[3].value.toDouble(), -1.5);
    EXPECT_FALSE(call.arguments[4].value.isValid());

    EXPECT_EQ(nativeCodeOf("Exec Calc @A = @B"), 137);
}

TEST(TsqlTranslator, DatabaseStatementsAndUnsupportedTsql) {
    const auto create = TsqlTranslator::translate("Create Database [Acme 1];");
    ASSERT_EQ(create.size(), 1u);
    EXPECT_EQ(create[0].kind, Kind::CreateDatabase);
    EXPECT_EQ(create[0].name, "Acme 1");
    EXPECT_EQ(TsqlTranslator::translate("drop database acme")[0].kind, Kind::DropDatabase);
    EXPECT_EQ(TsqlTranslator::translate("Create Type IdNo From Int Null")[0].kind, Kind::Nothing);

    EXPECT_EQ(nativeCodeOf("Declare @x Int Select @x = 1"), 137);
    EXPECT_EQ(nativeCodeOf("Select Convert(Widget, 1)"), 243);
    EXPECT_THROW(TsqlTranslator::translate("Select Top 10 Percent * From T"), DatabaseError);
}

TEST(TsqlTranslator, DdlGetsTheEngineCollationsAndTypes) {
    const QString table = sqlOf("Create Table T (Code VarChar(20), Flag CharFlag Null, "
                                "Name NVarChar(50) Collate Thai_BIN, Doc DateTime, "
                                "Memo VarChar(Max), Qty Money)");
    EXPECT_TRUE(table.contains("Code VarChar(20) COLLATE Thai_CI_AS"));
    EXPECT_TRUE(table.contains("Flag CharFlag COLLATE Thai_CI_AS Null"));
    EXPECT_TRUE(table.contains("Collate BINARY"));
    EXPECT_TRUE(table.contains("Doc DateTime COLLATE TSQL_DateTime"));
    EXPECT_FALSE(table.contains("Max"));
    EXPECT_FALSE(table.contains("Qty Money COLLATE"));

    const auto add = TsqlTranslator::translate("Alter Table dbo.T Add A Char(1), B IdNo Null");
    ASSERT_EQ(add.size(), 2u);
    EXPECT_EQ(QString::fromUtf8(add[0].sql),
              "ALTER TABLE T ADD COLUMN A Char(1) COLLATE Thai_CI_AS");
    EXPECT_EQ(QString::fromUtf8(add[1].sql), "ALTER TABLE T ADD COLUMN B IdNo Null");
}
