#include "db/schema/SuiteProcedures.h"

#include "db/embedded/EmbeddedProcedureContext.h"
#include "db/embedded/EmbeddedProcedures.h"

#include <QDateTime>

namespace db::schema {

namespace {

// The menu entry's caption, the user's code and sales id, and the user's rights on the entry;
// "N" for every right the rights table does not grant.
int menuCaption(EmbeddedProcedureContext& call) {
    const auto menu = call.parameter(QStringLiteral("@MENUID"));
    const auto user = call.parameter(QStringLiteral("@USERID"));

    const auto caption =
        call.execute(QStringLiteral("Select Caption From Menu Where Id = ?"), {menu});
    call.setOutput(QStringLiteral("@CAPTION"),
                   caption.rows.empty() ? QVariant() : caption.rows.front().value(0));

    const auto account =
        call.execute(QStringLiteral("Select Code, SalesId From UserName Where Id = ?"), {user});
    call.setOutput(QStringLiteral("@USERCODE"),
                   account.rows.empty() ? QVariant() : account.rows.front().value(0));
    call.setOutput(QStringLiteral("@SALESID"),
                   account.rows.empty() ? QVariant() : account.rows.front().value(1));

    const auto rights = call.execute(
        QStringLiteral("Select IsNull(Access_R, 'N'), IsNull(Add_R, 'N'), IsNull(Modify_R, 'N'), "
                       "IsNull(Delete_R, 'N') From UserRight Where UserName = ? And Menu = ?"),
        {user, menu});
    const char* names[] = {"@ACCESS_R", "@ADD_R", "@MODIFY_R", "@DELETE_R"};
    for (int i = 0; i < 4; ++i) {
        call.setOutput(QLatin1String(names[i]), rights.rows.empty() ? QVariant(QStringLiteral("N"))
                                                                    : rights.rows.front().value(i));
    }
    return 0;
}

// One row of the suite's error list.
int addErrorLog(EmbeddedProcedureContext& call) {
    call.execute(
        QStringLiteral("Insert Into errorlog (Id, errordate, username, menu, compname, logname, "
                       "errormsg) Select IsNull(Max(Id), 0) + 1, ?, ?, ?, ?, ?, ? From errorlog"),
        {SqlValue{DataType::DateTime, QDateTime::currentDateTime()},
         call.parameter(QStringLiteral("@UserId")), call.parameter(QStringLiteral("@MenuId")),
         call.parameter(QStringLiteral("@CompName")), call.parameter(QStringLiteral("@LogName")),
         call.parameter(QStringLiteral("@ErrorMsg"))});
    return 0;
}

// The server's clock: on the embedded engine the machine the database lives on.
int serverTime(EmbeddedProcedureContext& call) {
    call.setOutput(QStringLiteral("@ServerTime"), QDateTime::currentDateTime());
    return 0;
}

} // namespace

void registerSuiteProcedures() {
    EmbeddedProcedures::registerProcedure(
        QStringLiteral("MENUCAPTION"), menuCaption,
        {QStringLiteral("@MENUID"), QStringLiteral("@USERID"), QStringLiteral("@CAPTION"),
         QStringLiteral("@ACCESS_R"), QStringLiteral("@ADD_R"), QStringLiteral("@MODIFY_R"),
         QStringLiteral("@DELETE_R"), QStringLiteral("@USERCODE"), QStringLiteral("@SALESID")});
    EmbeddedProcedures::registerProcedure(QStringLiteral("AddErrorLog"), addErrorLog,
                                          {QStringLiteral("@CompName"), QStringLiteral("@LogName"),
                                           QStringLiteral("@UserId"), QStringLiteral("@MenuId"),
                                           QStringLiteral("@ErrorMsg")});
    EmbeddedProcedures::registerProcedure(QStringLiteral("ServerTime"), serverTime,
                                          {QStringLiteral("@ServerTime")});
}

} // namespace db::schema
