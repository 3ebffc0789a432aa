#pragma once

// A FIFO company (costing method 3) on a throw-away embedded server, created as
// stockcost-admin create-company creates one: the suite's tables, the procedures of both
// costing methods and the FIFO tables. The tests fill in its documents.
#include "CompanyQueries.h"
#include "QStringPrinting.h"
#include "TempServer.h"
#include "costing/avg/procedures/AvgProcedures.h"
#include "costing/fifo/procedures/FifoProcedures.h"
#include "db/TDatabase.h"
#include "db/TQuery.h"
#include "db/schema/SchemaInstaller.h"

#include <QStringList>
#include <QVariant>

class FifoTestCompany : public CompanyQueries {
public:
    static inline const QString database = QStringLiteral("Fifo1");

    explicit FifoTestCompany(const QString& alias, int costingMethod = 3)
        : CompanyQueries(alias), connection_(alias) {
        costing::registerAvgProcedures();
        costing::registerFifoProcedures();
        db::schema::SchemaInstaller installer(server_.serverName());
        installer.createConfigDatabase();
        installer.createCompanyDatabase(database, costingMethod);
        connection_.params() = server_.connectionParams(database);
    }

    const TempServer& server() const { return server_; }
    const QString& alias() const { return connection_.databaseName(); }
    db::TDatabase& connection() { return connection_; }

    // Every row of a query, fields separated by " | ", numbers in their shortest form.
    QStringList rows(const QString& sql) {
        db::TQuery query(QStringLiteral("QTest"), alias(), sql);
        QStringList result;
        for (query.open(); !query.eof(); query.next()) {
            QStringList fields;
            for (const auto& name : query.fieldNames()) {
                const QVariant field = query.fieldByName(name).value();
                bool isNumber = false;
                const double number = field.toString().toDouble(&isNumber);
                if (field.isNull())
                    fields << QStringLiteral("null");
                else if (isNumber)
                    fields << QString::number(number, 'g', 15);
                else
                    fields << field.toString().trimmed();
            }
            result << fields.join(QStringLiteral(" | "));
        }
        return result;
    }

private:
    TempServer server_;
    db::TDatabase connection_;
};
