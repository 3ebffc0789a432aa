// Procedure calls whose parameters come from the procedure's own declaration in the server's
// catalog, and calls declared by hand, on an embedded company.
#include "db/TStoredProc.h"
#include "TempServer.h"
#include "db/DatabaseError.h"
#include "db/TDatabase.h"
#include "db/TQuery.h"

#include <gtest/gtest.h>

using db::DatabaseError;
using db::TDatabase;
using db::TQuery;
using db::TStoredProc;

class TStoredProcTest : public ::testing::Test {
protected:
    void SetUp() override {
        TDatabase master("ProcMaster");
        master.params() = server.connectionParams("master");
        TQuery("QCreate", "ProcMaster", "Create Database Company").execSql();
        database.params() = server.connectionParams("Company");
        TQuery("QCreate", "PROCS",
               "Create Procedure Scaled @Value Int, @Factor Int = 10, @Label VarChar(20) = 'x', "
               "@Scaled Int Output, @Text VarChar(40) Output, @At DateTime Output As Begin "
               "Select @Scaled = @Value * @Factor, @Text = @Label + ':' + Cast(@Value As "
               "VarChar(10)), @At = '2024-03-05 10:20:30' Return @Value + 1 End")
            .execSql();
    }
    TempServer server;
    TDatabase database{"PROCS"};
};

TEST_F(TStoredProcTest, ParametersComeFromTheProcedureItself) {
    TStoredProc call("SpScaled", "PROCS", "Scaled");
    call.paramByName("@value").setAsInteger(4);
    call.paramByName("@Label").setAsString("four");
    call.execProc();
    // An input left without a value takes the procedure's default; the outputs come back in
    // their declared types.
    EXPECT_EQ(call.paramByName("@Scaled").asInteger(), 40);
    EXPECT_EQ(call.paramByName("@Text").asString(), "four:4");
    EXPECT_EQ(call.paramByName("@At").asDateTime(),
              QDateTime(QDate(2024, 3, 5), QTime(10, 20, 30)));
    EXPECT_EQ(call.paramByName("Result").asInteger(), 5);

    // A second call with other values, the earlier ones kept where not changed.
    call.close();
    call.paramByName("@Factor").setAsInteger(3);
    call.execProc();
    EXPECT_EQ(call.paramByName("@Scaled").asInteger(), 12);

    try {
        call.paramByName("@Missing");
        FAIL() << "a parameter the procedure does not declare";
    } catch (const DatabaseError& error) {
        EXPECT_TRUE(error.message().contains("@Missing")) << error.message().toStdString();
    }
}

TEST_F(TStoredProcTest, AMissingInputAndAMissingProcedureAreTheServersErrors) {
    TStoredProc withoutValue("SpScaled", "PROCS", "Scaled");
    try {
        withoutValue.execProc();
        FAIL() << "@Value has no default";
    } catch (const DatabaseError& error) {
        EXPECT_TRUE(error.message().contains("expects parameter '@Value'"))
            << error.message().toStdString();
    }
    TStoredProc missing("SpNone", "PROCS", "NoSuchProcedure");
    EXPECT_THROW(missing.paramByName("@A"), DatabaseError);
}

TEST_F(TStoredProcTest, ParametersDeclaredByHandAreUsedAsTheyAre) {
    TStoredProc call("SpScaled", "PROCS", "Scaled");
    call.addParam("@Value", db::DataType::Integer, db::ParamKind::Input).setAsInteger(2);
    call.addParam("@Scaled", db::DataType::Integer, db::ParamKind::Output);
    call.addParam("@Text", db::DataType::String, db::ParamKind::Output);
    call.addParam("@At", db::DataType::String, db::ParamKind::Output);
    call.execProc();
    EXPECT_EQ(call.paramByName("@Scaled").asInteger(), 20);
    // Not read from the catalog: an input the caller did not declare is not there.
    EXPECT_THROW(call.paramByName("@Factor"), DatabaseError);
}
