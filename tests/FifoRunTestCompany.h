#pragma once

// A FIFO company (costing method 3) for the tests of the FIFO month run, window and calculate:
// on a throw-away embedded server with its configuration database, empty or with a demo year,
// or an empty company database of its own on the SQL Server that STOCKCOST_TEST_MSSQL names.
// Its FIFO costing procedures are stand-ins that record every call
// (tests/fifo/RecordingFifoProcedures.sql): what the month run passes and in which order, and a
// call that fails on request. The real procedures are tested with FifoTestCompany and run end
// to end in FifoEndToEndTest.
#include "CompanyQueries.h"
#include "MssqlTestDatabase.h"
#include "QStringPrinting.h"
#include "TempServer.h"
#include "admin/DemoCompany.h"
#include "costing/avg/procedures/AvgProcedures.h"
#include "db/SqlBatches.h"
#include "db/TDatabase.h"
#include "db/TQuery.h"
#include "db/embedded/EmbeddedConnection.h"
#include "db/schema/SchemaInstaller.h"

#include <QFile>
#include <QStringList>
#include <QVariant>

#include <memory>

class FifoRunTestCompany : public CompanyQueries {
public:
    static inline const QString database = QStringLiteral("Fifo1");
    static constexpr int demoYear = 2024;
    static inline const QString proceduresFile =
        QStringLiteral(STOCKCOST_TESTS_DIR "/fifo/RecordingFifoProcedures.sql");

    enum class Data { Empty, DemoYear };
    enum class Engine { Embedded, SqlServer };

    explicit FifoRunTestCompany(const QString& alias, Data data = Data::Empty,
                                Engine engine = Engine::Embedded)
        : CompanyQueries(alias), connection_(alias) {
        if (engine == Engine::SqlServer) {
            sqlServer_ = std::make_unique<MssqlTestDatabase>(QStringLiteral("stockcost_fifo"));
            connection_.params() = sqlServer_->params().lines();
            db::executeBatches(alias,
                               db::sqlResource(QStringLiteral(":/schema/CompanyDatabase.sql")));
            exec(QStringLiteral("Update Config Set CalStockMethod = 3"));
            costing::installAvgProcedures(connection_);
        } else {
            db::schema::SchemaInstaller installer(server_.serverName());
            installer.createConfigDatabase();
            installer.createCompanyDatabase(database, 3);
            connection_.params() = server_.connectionParams(database);
        }
        if (data == Data::DemoYear) {
            DemoCompany::Options options;
            options.year = demoYear;
            options.products = DemoCompany::minimumProducts;
            DemoCompany(connection_, options).generate();
        }
        installFifoProcedures();
    }

    const TempServer& server() const { return server_; }
    const QString& alias() const { return connection_.databaseName(); }

    void installFifoProcedures() { installFifoProcedures(alias()); }
    // Into the company database of the connection with that alias.
    static void installFifoProcedures(const QString& alias) {
        QFile file(proceduresFile);
        file.open(QIODevice::ReadOnly);
        db::executeBatches(alias, QString::fromUtf8(file.readAll()));
    }
    void uninstallProcedure(const QString& name) {
        connection_.connection().executeDirect(QStringLiteral("Drop Procedure ") + name);
    }

    // The first column of every row, as text.
    QStringList column(const QString& sql) {
        db::TQuery query(QStringLiteral("QTest"), alias(), sql);
        query.open();
        QStringList values;
        for (; !query.eof(); query.next())
            values << query.fieldByName(query.fieldNames().first()).asString();
        return values;
    }

    // What the installed FIFO procedures have calculated, as the end-to-end tests check a run:
    // the months of the year with results, in order ("5 6 7"). The stand-ins leave their calls.
    static QString calculatedMonthsSql(int year) {
        return QStringLiteral("Select Distinct Month From FifoTestCalls Where Year = %1 And Name "
                              "= 'Calculate_FIFO2' Order By Month")
            .arg(year);
    }
    QString calculatedMonths(int year) { return column(calculatedMonthsSql(year)).join(' '); }

    // The calls the stand-ins recorded, in order: "FIFO1 3 17" (procedure, month, product id), "WO
    // WO-1".
    QStringList calls(const QString& condition = QStringLiteral("1 = 1")) {
        return column(
            QStringLiteral("Select Case Name When 'CALCULATE_WorkOrderFIFO' Then 'WO ' + WorkNo "
                           "Else Replace(Name, 'Calculate_', '') + ' ' + Cast(Month As VarChar) + "
                           "' ' + Cast(PId As VarChar) End From FifoTestCalls Where %1 Order By No")
                .arg(condition));
    }
    void forgetCalls() { exec(QStringLiteral("Delete From FifoTestCalls")); }
    // The procedure fails for that product (or work order number).
    void failCall(const QString& procedure, int productId) {
        exec(QStringLiteral("Insert Into FifoTestFailures (Name, PId) Values ('%1', %2)")
                 .arg(procedure)
                 .arg(productId));
    }
    void failWorkOrder(const QString& workOrderNo) {
        exec(QStringLiteral("Insert Into FifoTestFailures (Name, WorkNo) Values "
                            "('CALCULATE_WorkOrderFIFO', '%1')")
                 .arg(workOrderNo));
    }
    // Every call lasts at least that long.
    void delayCalls(int milliseconds) {
        exec(QStringLiteral("Insert Into FifoTestSettings (DelayMilliseconds) Values (%1)")
                 .arg(milliseconds));
    }
    // The last closed month of the year; null for a closing row without a month.
    void closeThrough(int year, const QString& lastPost) {
        exec(QStringLiteral("Delete From CloseGlHistory Where Year = %1").arg(year));
        exec(QStringLiteral("Insert Into CloseGlHistory (Year, LastPost, LastCloseCost) Values "
                            "(%1, %2, 0)")
                 .arg(year)
                 .arg(lastPost));
    }

    // Rows of the suite's error log.
    QStringList errorLog() {
        db::TDatabase config(QStringLiteral("FIFOTESTCONFIG"));
        config.params() = server_.connectionParams(db::schema::configDatabaseName);
        db::TQuery query(QStringLiteral("QTest"), QStringLiteral("FIFOTESTCONFIG"),
                         QStringLiteral("Select errormsg From errorlog Order By Id"));
        query.open();
        QStringList rows;
        for (; !query.eof(); query.next())
            rows << query.fieldByName(QStringLiteral("errormsg")).asString();
        return rows;
    }

private:
    TempServer server_;
    // Dropped once the connection to it has closed.
    std::unique_ptr<MssqlTestDatabase> sqlServer_;
    db::TDatabase connection_;
};
