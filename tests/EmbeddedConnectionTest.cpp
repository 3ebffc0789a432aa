#include "TempServer.h"

#include "db/DatabaseError.h"
#include "db/embedded/EmbeddedConnection.h"
#include "db/embedded/EmbeddedServer.h"

#include <QDateTime>

#include <gtest/gtest.h>

#ifdef Q_OS_UNIX
#include <sys/wait.h>
#include <unistd.h>
#endif

using db::DatabaseError;
using db::DataType;
using db::EmbeddedConnection;
using db::EmbeddedServer;
using db::ResultSet;
using db::SqlValue;

namespace {

class EmbeddedConnectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        EmbeddedServer::createDatabase(server.directory(), "Acme");
        connection = std::make_unique<EmbeddedConnection>(server.directory(), "acme");
        // The suite's types, as its databases have them.
        run("Create Type IdNo From Int Null");
        run("Create Type CharFlag From Char(1) Null");
    }

    ResultSet run(const QString& sql, const std::vector<SqlValue>& params = {}) {
        return connection->execute(sql, params);
    }

    QVariant scalar(const QString& sql, const std::vector<SqlValue>& params = {}) {
        const auto result = run(sql, params);
        EXPECT_FALSE(result.rows.empty()) << sql.toStdString();
        return result.rows.empty() ? QVariant() : result.rows.front().value(0);
    }

    QVariantList column(const QString& sql, const std::vector<SqlValue>& params = {}) {
        QVariantList values;
        for (const auto& row : run(sql, params).rows)
            values << row.value(0);
        return values;
    }

    db::DatabaseErrorEntry errorOf(const QString& sql, const std::vector<SqlValue>& params = {}) {
        try {
            run(sql, params);
        } catch (const DatabaseError& error) {
            EXPECT_EQ(error.entries().size(), 1u) << error.message().toStdString();
            return error.entries().empty() ? db::DatabaseErrorEntry{} : error.entries().front();
        }
        ADD_FAILURE() << "no error from " << sql.toStdString();
        return {};
    }

    TempServer server;
    std::unique_ptr<EmbeddedConnection> connection;
};

SqlValue text(const QString& value) {
    return {DataType::String, value};
}
SqlValue integer(qint64 value) {
    return {DataType::Integer, value};
}

} // namespace

TEST_F(EmbeddedConnectionTest, TablesAndColumnsAreFoundInAnyCase) {
    run("Create Table ProductCostAVG (Product IdNo, PurcQnty Float)");
    run("Insert Into PRODUCTCOSTAVG (PRODUCT, purcqnty) Values (1, 2.5)");
    EXPECT_EQ(scalar("Select PurcQnty From productcostavg Where product = 1").toDouble(), 2.5);
    EXPECT_EQ(run("Select purcQNTY From dbo.ProductCostAvg").columns.value(0).toLower(),
              "purcqnty");
}

TEST_F(EmbeddedConnectionTest, TextComparesAsTheCaseInsensitiveCollation) {
    run("Create Table Product (Id Int, Code VarChar(20), ThaiName NVarChar(50), Flag CharFlag)");
    run("Insert Into Product Values (1, 'abc', N'สินค้า', 'y')");
    run("Insert Into Product Values (2, 'ABC  ', N'สินค้า ', 'Y')");
    run("Insert Into Product Values (3, ' abc', N'สินคา', 'N')");

    EXPECT_EQ(column("Select Id From Product Where Code = 'Abc' Order By Id"),
              QVariantList({1, 2}));
    EXPECT_EQ(column("Select Id From Product Where ThaiName = ? Order By Id", {text("สินค้า")}),
              QVariantList({1, 2}));
    EXPECT_EQ(column("Select Id From Product Where Flag = 'Y' Order By Id"), QVariantList({1, 2}));
    EXPECT_EQ(scalar("Select Count(Distinct Code) From Product").toInt(), 2);
    // Text comes back exactly as written: no trimming, Thai unchanged.
    EXPECT_EQ(scalar("Select ThaiName From Product Where Id = 2").toString(), "สินค้า ");
    EXPECT_EQ(scalar("Select Code From Product Where Id = 2").toString(), "ABC  ");

    run("Insert Into Product Values (4, 'b', 'x', 'N')");
    run("Insert Into Product Values (5, 'A', 'x', 'N')");
    EXPECT_EQ(column("Select Code From Product Where Id > 3 Order By Code"),
              QVariantList({"A", "b"}));
    // Trimmed and converted texts compare without regard to case too.
    EXPECT_EQ(column("Select Id From Product With (NoLock) Where LTrim(RTrim(Code)) = 'ABC' "
                     "Order By Id"),
              QVariantList({1, 2, 3}));
    EXPECT_EQ(column("Select P.Id From Product P (NoLock) Where Convert(VarChar(5), Code) = "
                     "IsNull(Null, 'abc') Order By P.Id"),
              QVariantList({1, 2}));
    // The T-SQL spelling of the collation works on values that have none.
    EXPECT_EQ(
        scalar("Select Case When 'abc' = 'ABC  ' collate Thai_ci_as Then 1 Else 0 End").toInt(), 1);
}

TEST_F(EmbeddedConnectionTest, DateLiteralsCompareAndSortChronologically) {
    run("Create Table Doc (Id Int, DocDate DateTime)");
    run("Insert Into Doc Values (1, '2024-01-31')");
    run("Insert Into Doc Values (2, '2024-01-31 00:00:00')");
    run("Insert Into Doc Values (3, '2024-01-05 13:00:00')");
    run("Insert Into Doc Values (4, '2023-12-31 23:59:59.997')");
    run("Insert Into Doc Values (5, ?)",
        {{DataType::DateTime, QDateTime(QDate(2024, 2, 1), QTime(8, 0))}});
    run("Insert Into Doc Values (6, '2024-01-31 9:30')");

    EXPECT_EQ(column("Select Id From Doc Where DocDate = '2024-01-31' Order By Id"),
              QVariantList({1, 2}));
    EXPECT_EQ(column("Select Id From Doc Order By DocDate, Id"), QVariantList({4, 3, 1, 2, 6, 5}));
    EXPECT_EQ(column("Select Id From Doc Where DocDate >= ? And DocDate < ? Order By Id",
                     {{DataType::DateTime, QDateTime(QDate(2024, 1, 31), QTime(0, 0))},
                      {DataType::DateTime, QDateTime(QDate(2024, 2, 1), QTime(0, 0))}}),
              QVariantList({1, 2, 6}));
    EXPECT_EQ(column("Select Month(DocDate) From Doc Where Year(DocDate) = 2023"),
              QVariantList({12}));
    EXPECT_EQ(scalar("Select Day(DocDate) From Doc Where Id = 3").toInt(), 5);

    // Date columns come back as QDateTime, whatever form the literal had.
    const QVariant value = scalar("Select DocDate From Doc Where Id = 4");
    EXPECT_EQ(value.metaType().id(), QMetaType::QDateTime);
    EXPECT_EQ(value.toDateTime(), QDateTime(QDate(2023, 12, 31), QTime(23, 59, 59, 997)));
    EXPECT_EQ(scalar("Select Max(DocDate) From Doc").toDateTime(),
              QDateTime(QDate(2024, 2, 1), QTime(8, 0)));
    EXPECT_FALSE(scalar("Select Year(Null)").isValid());
    EXPECT_EQ(errorOf("Select Year('soon')").nativeCode, 241);

    const QDateTime now = scalar("Select GetDate()").toDateTime();
    EXPECT_LT(std::abs(now.secsTo(QDateTime::currentDateTime())), 60);
}

TEST_F(EmbeddedConnectionTest, ValuesComeBackWithTheirTypes) {
    run("Create Table V (I Int, M Money, D Decimal(18,4), T VarChar(10), F Float)");
    run("Insert Into V Values (?, ?, ?, ?, ?)", {integer(12),
                                                 {DataType::Float, 12.0},
                                                 {DataType::Float, 3.5},
                                                 text("12"),
                                                 {DataType::Unknown, QVariant()}});
    const auto row = run("Select I, M, D, T, F From V").rows.front();
    EXPECT_EQ(row[0].metaType().id(), QMetaType::LongLong);
    // Decimals and money arrive exact, as their text with every digit of their scale.
    EXPECT_EQ(row[1], QVariant(QStringLiteral("12.0000")));
    EXPECT_EQ(row[2], QVariant(QStringLiteral("3.5000")));
    EXPECT_EQ(row[3].metaType().id(), QMetaType::QString);
    EXPECT_FALSE(row[4].isValid());
}

TEST_F(EmbeddedConnectionTest, RoundIsHalfAwayFromZeroOnDecimalDigits) {
    EXPECT_EQ(scalar("Select Round(2.675, 2)").toDouble(), 2.68);
    EXPECT_EQ(scalar("Select Round(-2.5, 0)").toDouble(), -3.0);
    EXPECT_EQ(scalar("Select Round(1.00005, 4)").toDouble(), 1.0001);
    EXPECT_EQ(scalar("Select Round(?, 2)", {{DataType::Float, -1.005}}).toDouble(), -1.01);
    EXPECT_EQ(scalar("Select Round(1234.5, -2)").toDouble(), 1200.0);
    EXPECT_EQ(scalar("Select Round(2.675, 2, 1)").toDouble(), 2.67);
    const QVariant integerRounded = scalar("Select Round(15, -1)");
    EXPECT_EQ(integerRounded.metaType().id(), QMetaType::LongLong);
    EXPECT_EQ(integerRounded.toLongLong(), 20);
    // A product with binary noise: 0.1 * 3 is 0.30000000000000004.
    EXPECT_EQ(scalar("Select Round(0.1 * 3 * 1.5, 2)").toDouble(), 0.45);
    EXPECT_FALSE(scalar("Select Round(Null, 2)").isValid());
}

TEST_F(EmbeddedConnectionTest, ConversionsToDecimalAndMoneyRound) {
    EXPECT_EQ(scalar("Select Convert(Decimal(18,2), 2.675)").toDouble(), 2.68);
    EXPECT_EQ(scalar("Select Convert(Numeric(18, 2), '-2.675')").toDouble(), -2.68);
    EXPECT_EQ(scalar("Select Cast(1.23455 As Money)").toDouble(), 1.2346);
    EXPECT_EQ(scalar("Select Convert(Money, ?)", {text("12.34565")}).toDouble(), 12.3457);
    EXPECT_EQ(scalar("Select Cast(7.5 As Decimal(18,0))").toLongLong(), 8);
    EXPECT_EQ(scalar("Select Convert(Int, ' 42 ')").toLongLong(), 42);
    EXPECT_EQ(scalar("Select Cast(-12.9 As Int)").toLongLong(), -12);
    EXPECT_EQ(scalar("Select Convert(VarChar(10), 12)").toString(), "12");
    EXPECT_EQ(scalar("Select Convert(Char(5), 'ab')").toString(), "ab   ");
    EXPECT_EQ(scalar("Select Cast('abcdef' As VarChar(3))").toString(), "abc");
    // A style changes how a date-time becomes text; a text stays as it is.
    EXPECT_EQ(scalar("Select Convert(VarChar(10), Convert(DateTime, '2024-01-31 10:00:00'), 103)")
                  .toString(),
              "31/01/2024");
    EXPECT_EQ(scalar("Select Convert(VarChar(10), '2024-01-31 10:00:00', 103)").toString(),
              "2024-01-31");
    EXPECT_EQ(scalar("Select Convert(DateTime, '31/01/2024', 103)").toDateTime(),
              QDateTime(QDate(2024, 1, 31), QTime(0, 0)));
    EXPECT_FALSE(scalar("Select Convert(Money, Null)").isValid());

    const auto notANumber = errorOf("Select Convert(Int, 'abc')");
    EXPECT_EQ(notANumber.text,
              "Conversion failed when converting the varchar value 'abc' to data type int.");
    EXPECT_EQ(notANumber.nativeCode, 245);
    EXPECT_EQ(errorOf("Select Convert(Decimal(9,2), 'x1')").nativeCode, 8114);
    EXPECT_EQ(errorOf("Select Convert(Money, '1.2.3')").nativeCode, 235);
    EXPECT_EQ(errorOf("Select Convert(Decimal(5,2), 1234.5)").nativeCode, 8115);
}

TEST_F(EmbeddedConnectionTest, DecimalColumnsKeepTheirScale) {
    run("Create Table Ledger (Id Int, Amount Money, CostAvg Decimal(28,4), Total Numeric(18, 2), "
        "Whole Decimal(9), Qnty Float)");
    run("Insert Into Ledger Values (1, ?, 1.0 / 3, 2.675, 7.5, 1.0 / 3)",
        {{DataType::Float, 1.23455}});
    auto row = run("Select Amount, CostAvg, Total, Whole, Qnty From Ledger").rows.at(0);
    EXPECT_EQ(row[0].toDouble(), 1.2346);
    EXPECT_EQ(row[1].toDouble(), 0.3333);
    EXPECT_EQ(row[2].toDouble(), 2.68);
    EXPECT_EQ(row[3].toDouble(), 8.0);
    // 1.0 / 3 is the decimal 0.333333 before it becomes a float.
    EXPECT_EQ(row[4].toDouble(), 0.333333);

    run("Update Ledger Set Total = Total * 1.005, CostAvg = CostAvg / 7 Where Id = 1");
    row = run("Select Total, CostAvg From Ledger").rows.at(0);
    EXPECT_EQ(row[0].toDouble(), 2.69);
    EXPECT_EQ(row[1].toDouble(), 0.0476);

    // A column added later rounds too, and the earlier ones go on rounding.
    run("Alter Table Ledger Add Extra Decimal(18,1) Null");
    run("Update Ledger Set Extra = 1.25, Amount = 0.00005");
    row = run("Select Extra, Amount From Ledger").rows.at(0);
    EXPECT_EQ(row[0].toDouble(), 1.3);
    EXPECT_EQ(row[1].toDouble(), 0.0001);
}

TEST_F(EmbeddedConnectionTest, SumsOfAmountsAreExactToTheCent) {
    run("Create Table Line (Amount Money, Quantity Int)");
    for (int i = 0; i < 1000; ++i)
        run("Insert Into Line Values (?, ?)", {{DataType::Float, 0.1}, integer(i)});
    // A plain double sum gives 99.9999999999986 here.
    EXPECT_EQ(scalar("Select Sum(Amount) From Line").toDouble(), 100.0);
    const QVariant quantities = scalar("Select Sum(Quantity) From Line");
    EXPECT_EQ(quantities.metaType().id(), QMetaType::LongLong);
    EXPECT_EQ(quantities.toLongLong(), 999 * 1000 / 2);
    EXPECT_FALSE(scalar("Select Sum(Amount) From Line Where Quantity < 0").isValid());
    EXPECT_EQ(scalar("Select Max(s) From (Select Sum(Amount) Over (Order By Quantity Rows "
                     "Between 9 Preceding And Current Row) s From Line) W")
                  .toDouble(),
              1.0);
}

TEST_F(EmbeddedConnectionTest, StringFunctionsFollowTsql) {
    EXPECT_EQ(scalar("Select Len('abc  ')").toInt(), 3);
    EXPECT_EQ(scalar("Select Len(N'สินค้า')").toInt(), 6);
    EXPECT_EQ(scalar("Select LTrim(RTrim('  a b  '))").toString(), "a b");
    EXPECT_EQ(scalar("Select Upper('abcไทย')").toString(), "ABCไทย");
    EXPECT_EQ(scalar("Select IsNull(Null, 5)").toInt(), 5);
    EXPECT_EQ(scalar("Select Coalesce(Null, Null, 'x')").toString(), "x");
    EXPECT_EQ(scalar("Select Left('abcdef', 2) + Right('abcdef', 2)").toString(), "abef");
    EXPECT_EQ(scalar("Select CharIndex('C', 'abcabc', 4)").toInt(), 6);
}

TEST_F(EmbeddedConnectionTest, CatalogListsTablesViewsAndColumns) {
    run("Create Table Menu (Id IdNo Primary Key, Command VarChar(200))");
    run("Create Table Stock (Id Int Identity(1,1), Code VarChar(20))");
    run("Create View MenuView As Select Id From Menu");

    const auto objects = run("Select Name, xtype From SysObjects Order By Name");
    QStringList listed;
    for (const auto& row : objects.rows)
        listed << row[0].toString() + ":" + row[1].toString();
    // The engine's own tables (procedures, sqlite_sequence) stay hidden.
    EXPECT_EQ(listed, QStringList({"Menu:U", "MenuView:V", "Stock:U"}));

    EXPECT_EQ(column("Select C.Name From SysColumns C Inner Join SysObjects O On (O.Id = C.Id) "
                     "Where O.Name = 'MENU' Order By C.Name"),
              QVariantList({"Command", "Id"}));
}

TEST_F(EmbeddedConnectionTest, IfNotExistsAddsAColumnOnce) {
    run("Create Table Menu (Id IdNo Primary Key, Command VarChar(200))");
    run("Insert Into Menu Values (1, 'stockcost')");
    run("Insert Into Menu Values (2, Null)");
    const QString addVersion =
        "If Not Exists (Select * From SysColumns C Inner Join SysObjects O On (O.Id = C.Id) "
        "Where (Upper(LTrim(RTrim(O.Name))) = 'MENU') And (Upper(LTrim(RTrim(C.Name))) = "
        "'VERSION')) Alter Table Menu Add Version Integer";
    run(addVersion);
    run("Update Menu Set Version = 3 Where Version Is Null And Command Is Not Null");
    run(addVersion);
    EXPECT_EQ(scalar("Select Count(*) From SysColumns C Inner Join SysObjects O On O.Id = C.Id "
                     "Where O.Name = 'Menu' And C.Name = 'Version'")
                  .toInt(),
              1);
    EXPECT_EQ(column("Select Version From Menu Order By Id"), QVariantList({3, QVariant()}));

    // The same for the two Config columns, with their T-SQL types and Null.
    run("Create Table Config (Id IdNo)");
    run("Insert Into Config Values (1)");
    for (int pass = 0; pass < 2; ++pass) {
        run("If Not Exists (Select * From SysColumns Where Name = 'CalculateCostDate' And Id = "
            "(Select Id From SysObjects Where Name = 'Config')) "
            "Alter Table Config Add CalculateCostDate DateTime Null");
    }
    run("Update Config Set CalculateCostDate = ?",
        {{DataType::DateTime, QDateTime(QDate(2024, 3, 1), QTime(9, 15))}});
    EXPECT_EQ(scalar("Select CalculateCostDate From Config Where CalculateCostDate = "
                     "'2024-03-01 09:15'")
                  .toDateTime(),
              QDateTime(QDate(2024, 3, 1), QTime(9, 15)));
}

TEST_F(EmbeddedConnectionTest, ScriptedTsqlDdlRuns) {
    run("Create Table [dbo].[Item] ([Id] [int] IDENTITY(1,1) NOT NULL, [Code] [varchar](20) "
        "NULL, [Note] [varchar](max) NULL, [Made] [datetime] NULL Default GetDate(), "
        "CONSTRAINT [PK_Item] PRIMARY KEY CLUSTERED ([Id] ASC) WITH (PAD_INDEX = OFF) ON "
        "[PRIMARY]) ON [PRIMARY]");
    run("Create NonClustered Index IX_Item_Code On dbo.Item (Code) On [PRIMARY]");
    run("Insert Item (Code) Values ('a')");
    run("Insert Into Item (Code, Note) Values ('B', N'ยาว')");
    EXPECT_EQ(column("Select Id From Item Where Code In ('A', 'b') Order By Id"),
              QVariantList({1, 2}));
    EXPECT_EQ(scalar("Select Count(*) From Item Where Made Is Not Null").toInt(), 2);
    // @@Identity holds for the session; Scope_Identity() for its batch.
    EXPECT_EQ(scalar("Select @@Identity").toInt(), 2);
    EXPECT_FALSE(scalar("Select Scope_Identity()").isValid());
    EXPECT_EQ(scalar("Insert Item (Code) Values ('x') Select Scope_Identity()").toInt(), 3);
    run("Delete Item Where Code = 'x'");
    run("Delete Item Where Code = 'A'");
    run("Insert Item (Code) Values ('c')");
    // Like an identity, the numbers are not used again after a delete.
    EXPECT_EQ(column("Select Id From Item Order By Id"), QVariantList({2, 4}));

    run("Alter Table Item Add Qty Int Null, Unit CharFlag");
    run("Insert Into Item (Code, Qty, Unit) Values ('d', 4, 'y')");
    EXPECT_EQ(scalar("Select Qty From Item Where Unit = 'Y'").toInt(), 4);
}

TEST_F(EmbeddedConnectionTest, ConstraintErrorsAreWordedAsSqlServer) {
    run("Create Table Product (Id IdNo Not Null, Code VarChar(20) Not Null, "
        "Constraint PK_Product Primary Key (Id))");
    run("Create Unique Index Product_Code On Product (Code)");
    run("Insert Into Product Values (1, 'A')");

    const auto nullCode =
        errorOf("Insert Into Product (Id, Code) Values (2, ?)", {{DataType::String, QVariant()}});
    EXPECT_EQ(nullCode.text, "Cannot insert the value NULL into column 'Code', table "
                             "'Acme.dbo.Product'; column does not allow nulls. INSERT fails.");
    EXPECT_EQ(nullCode.nativeCode, 515);
    EXPECT_EQ(nullCode.code, "23000");
    EXPECT_TRUE(errorOf("Update Product Set Code = Null").text.endsWith("UPDATE fails."));

    const auto key = errorOf("Insert Into Product Values (1, 'B')");
    EXPECT_EQ(key.text, "Violation of PRIMARY KEY constraint 'PK_Product'. Cannot insert "
                        "duplicate key in object 'dbo.Product'.");
    EXPECT_EQ(key.nativeCode, 2627);
    const auto unique = errorOf("Insert Into Product Values (3, 'a ')");
    EXPECT_EQ(unique.text, "Cannot insert duplicate key row in object 'dbo.Product' with unique "
                           "index 'Product_Code'.");
    EXPECT_EQ(unique.nativeCode, 2601);

    const auto table = errorOf("Select * From Missing");
    EXPECT_EQ(table.text, "Invalid object name 'Missing'.");
    EXPECT_EQ(table.nativeCode, 208);
    const auto columnName = errorOf("Select Price From Product");
    EXPECT_EQ(columnName.text, "Invalid column name 'Price'.");
    EXPECT_EQ(columnName.nativeCode, 207);
    EXPECT_EQ(errorOf("Insert Into Product (Id, Price) Values (5, 1)").nativeCode, 207);
    EXPECT_EQ(errorOf("Select @Year").text, "Must declare the scalar variable \"@Year\".");
    EXPECT_EQ(errorOf("Selec 1").text, "Incorrect syntax near 'Selec'.");

    // After the failures the rows are what they were.
    EXPECT_EQ(column("Select Code From Product"), QVariantList({"A"}));
}

TEST_F(EmbeddedConnectionTest, ReusedStatementsGiveTheRightResults) {
    run("Create Table Cost (Id Int, Amount Float, Note VarChar(10))");
    for (int i = 1; i <= 3; ++i)
        run("Insert Into Cost Values (?, ?, ?)",
            {integer(i), {DataType::Float, i * 1.5}, text("n")});
    const auto before = connection->preparedStatementCount();
    const QString update = "Update Cost Set Amount = ?, Note = ? Where Id = ?";
    for (int round = 0; round < 50; ++round) {
        for (int i = 1; i <= 3; ++i) {
            run(update, {{DataType::Float, round * 10.0 + i},
                         i == 2 ? SqlValue{DataType::String, QVariant()} : text("r"),
                         integer(i)});
        }
    }
    EXPECT_EQ(connection->preparedStatementCount(), before + 1);
    EXPECT_EQ(column("Select Amount From Cost Order By Id"), QVariantList({491.0, 492.0, 493.0}));
    EXPECT_EQ(column("Select Note From Cost Order By Id"), QVariantList({"r", QVariant(), "r"}));
    const QString select = "Select Id From Cost Where Amount > ? Order By Id";
    EXPECT_EQ(column(select, {{DataType::Float, 491.5}}), QVariantList({2, 3}));
    EXPECT_EQ(column(select, {{DataType::Float, 492.5}}), QVariantList({3}));
    EXPECT_THROW(run(select), DatabaseError);
    EXPECT_EQ(column(select, {{DataType::Float, 0.0}}), QVariantList({1, 2, 3}));
}

TEST_F(EmbeddedConnectionTest, BatchesTopAndMarkers) {
    run("Create Table T (Id Int, Name VarChar(10)); Insert Into T Values (1, 'a'); "
        "Insert Into T Values (2, 'b'); Insert Into T Values (3, ';')");
    const auto result = run("Set NoCount On\nUpdate T Set Name = ? Where Id = ?; "
                            "Select Id, Name From T Where Id >= ? Order By Id",
                            {text("B"), integer(2), integer(2)});
    EXPECT_EQ(result.columns, QStringList({"Id", "Name"}));
    ASSERT_EQ(result.rows.size(), 2u);
    EXPECT_EQ(result.rows[0][1].toString(), "B");
    EXPECT_EQ(result.rows[1][1].toString(), ";");

    EXPECT_EQ(column("Select Top 2 Id From T Order By Id Desc"), QVariantList({3, 2}));
    // Top ? ends up behind the Where marker in SQLite's text; the values must not swap.
    EXPECT_EQ(column("Select Top ? Id From T Where Id > ? Order By Id", {integer(1), integer(1)}),
              QVariantList({2}));
    EXPECT_EQ(column("Select Id From T Where Id = (Select Top 1 Id From T Order By Id Desc)"),
              QVariantList({3}));

    run("Begin Tran; Insert Into T Values (4, 'd'); Print 'rolled back'; Rollback Tran");
    EXPECT_EQ(scalar("Select Count(*) From T").toInt(), 3);
    run("Truncate Table dbo.T");
    EXPECT_EQ(scalar("Select Count(*) From T").toInt(), 0);
}

TEST_F(EmbeddedConnectionTest, StatementsDroppedFromTheCacheStillRun) {
    run("Create Table T (Id Int)");
    for (int i = 0; i < 3; ++i)
        run("Insert Into T Values (?)", {integer(i)});
    // More distinct texts than the cache holds, then the first ones again.
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < 600; ++i)
            EXPECT_EQ(
                scalar(QString("Select Count(*) + %1 From T Where Id < ?").arg(i), {integer(i % 3)})
                    .toInt(),
                i + i % 3);
    }
    EXPECT_GE(connection->preparedStatementCount(), 1200u);
}

TEST_F(EmbeddedConnectionTest, CommittedStatementsSurviveACrash) {
    run("Create Table Ledger (Id Int, Amount Money)");
#ifdef Q_OS_UNIX
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The child writes and dies without closing anything.
        EmbeddedConnection writer(server.directory(), "Acme");
        writer.execute("Insert Into Ledger Values (1, 10.25)", {});
        writer.execute("Update Ledger Set Amount = 20.5 Where Id = 1", {});
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
#else
    run("Insert Into Ledger Values (1, 20.5)");
#endif
    connection.reset();
    EmbeddedConnection reader(server.directory(), "ACME");
    const auto rows = reader.execute("Select Id, Amount From Ledger", {}).rows;
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][1].toDouble(), 20.5);
}
