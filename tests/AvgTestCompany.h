#pragma once

// An average-cost company on a throw-away embedded server, with its five procedures
// and the data of the worked example: an opening stock of 10 base units worth 50.00 and a
// January purchase of 10 units for 70.00 make the January average 6.0000, so a January issue
// line in dozens (fraction 12) costs 72.0000.
#include "CompanyQueries.h"
#include "TempServer.h"
#include "costing/avg/procedures/AvgProcedures.h"
#include "db/TDatabase.h"
#include "db/TQuery.h"
#include "db/embedded/EmbeddedConnection.h"
#include "db/schema/SchemaInstaller.h"

#include <QVariant>

class AvgTestCompany : public CompanyQueries {
public:
    static inline const QString database = QStringLiteral("Avg1");

    explicit AvgTestCompany(const QString& alias) : CompanyQueries(alias), connection_(alias) {
        // Every company created from here on gets the procedures.
        costing::registerAvgProcedures();
        db::schema::SchemaInstaller installer(server_.serverName());
        installer.createConfigDatabase();
        installer.createCompanyDatabase(database, 1);
        connection_.params() = server_.connectionParams(database);
        seed();
    }

    const TempServer& server() const { return server_; }
    const QString& alias() const { return connection_.databaseName(); }

    double price(const QString& table, int id) {
        return number(QStringLiteral("Select Price From %1 Where Id = %2").arg(table).arg(id));
    }
    // "quantity/amount" of a product's ledger rows of a month of 2024, all units together.
    QString ledger(int product, int period) {
        db::TQuery query(QStringLiteral("QTest"), alias(),
                         QStringLiteral("Select Sum(PurcQnty) Q, Sum(PurcAmount) A From "
                                        "ProductCostAVG Where Product = %1 And PeriodNo = %2 "
                                        "And BalanceYear = 2024")
                             .arg(product)
                             .arg(period));
        query.open();
        const auto number = [&](const char* field) {
            const auto& value = query.fieldByName(QLatin1String(field));
            return value.isNull() ? QString() : QString::number(value.asFloat());
        };
        return number("Q") + '/' + number("A");
    }

    void uninstallProcedure(const QString& name) {
        connection_.connection().executeDirect(QStringLiteral("Drop Procedure ") + name);
    }

private:
    void seed() {
        exec("Insert Into Warehouse (Id, Code) Values (1, 'MAIN')");
        exec("Insert Into Product (Id, Code, ThaiName, Negative) Values "
             "(1, 'A001', 'น้ำปลา', 'N'), (2, 'B002', 'ซีอิ๊ว', 'N')");
        exec("Insert Into ProductUnits (Id, Product, Code, Fraction) Values "
             "(11, 1, 'EA', 1), (12, 1, 'DZ', 12), (21, 2, 'EA', 1)");

        // Opening stock of A001: 10 base units at 60.00 a dozen.
        exec("Insert Into ProductCostAVG (Product, ProductUnits, PeriodNo, BalanceYear, PurcQnty, "
             "PurcAmount, CostAvg) Values (1, 12, 0, 2024, 0, 0, 60)");
        exec("Insert Into ProductOnhand (Product, Warehouse, BalanceYear, PeriodNo, Quantity) "
             "Values (1, 1, 2024, 0, 10), (1, 1, 2024, 1, 20), (2, 1, 2024, 1, 5)");

        // January purchases: A001 10 units for 70.00, B002 5 units for 40.00.
        exec("Insert Into MRHD (Id, MRDATE, DocNo, Delflag, DiscAmt1, DiscAmt2, DiscAmt3, TaxRate, "
             "Price_IE) Values (1, '2024-01-10', 'MR1', 'N', 0, 0, 0, 7, 'E')");
        exec(
            "Insert Into MRDT (Id, MRHD, Product, ProductUnits, Warehouse, Quantity, Price, Total) "
            "Values (1, 1, 1, 11, 1, 10, 7, 70), (2, 1, 2, 21, 1, 5, 8, 40)");

        // January issue-type lines; the issue in dozens is the worked example.
        exec("Insert Into IsHd (Id, IsDate, DocNo, Delflag) Values "
             "(1, '2024-01-20', 'IS1', 'N'), (2, '2024-01-21', 'IS2', 'Y'), "
             "(3, '2024-02-03', 'IS3', 'N')");
        exec("Insert Into Isdt (Id, IsHd, Product, ProductUnits, Warehouse, Quantity, IsDate, "
             "Fraction, Price) Values "
             "(1, 1, 1, 12, 1, 1, '2024-01-20', 12, 0), "
             "(2, 2, 1, 11, 1, 1, '2024-01-21 15:45:00', 1, 0), "
             "(3, 3, 1, 11, 1, 1, '2024-02-03', 1, 1.23), "
             "(4, 1, 2, 21, 1, 2, '2024-01-20', 1, 0)");
        exec("Insert Into RiHd (Id, RiDate, DocNo, Delflag) Values (1, '2024-01-22', 'RI1', 'N')");
        exec("Insert Into Ridt (Id, RiHd, Product, ProductUnits, Warehouse, Quantity, RiDate, "
             "Fraction, Price) Values (1, 1, 1, 11, 1, 1, '2024-01-22', 1, 0)");
        exec("Insert Into MFGISHD (Id, WorkOrderHd, MfgIsDate, DocNo, Delflag) Values "
             "(1, Null, '2024-01-23', 'MI1', 'N')");
        exec("Insert Into MFGISDT (Id, MFGISHD, Product, ProductUnits, Warehouse, Quantity, "
             "Fraction, MfgIsDate, Price) Values (1, 1, 1, 12, 1, 1, 12, '2024-01-23', 0)");
        exec("Insert Into MFGRIHD (Id, WorkOrderHd, MfgRiDate, DocNo, Delflag) Values "
             "(1, Null, '2024-01-24', 'MR1', 'N')");
        exec("Insert Into MFGRIDT (Id, MFGRIHD, Product, ProductUnits, Warehouse, Quantity, "
             "Fraction, MfgRiDate, Price) Values (1, 1, 1, 11, 1, 1, 1, '2024-01-24', 0)");
        exec("Insert Into AdjuststockHd (Id, AdjDate, DocNo, Delflag) Values "
             "(1, '2024-01-25', 'AJ1', 'N')");
        exec("Insert Into AdjuststockDt (Id, AdjuststockHd, Product, ProductUnits, Warehouse, "
             "Quantity, Fraction, Price) Values "
             "(1, 1, 1, 11, 1, -2, 1, 0), (2, 1, 1, 11, 1, 3, 1, 9.99)");

        // A work order of B002 closed in January, without a bill: it adds nothing to the
        // ledger, and its finished-goods line gets the average of B002.
        exec("Insert Into WorkOrderHd (Id, WorkOrderNo, MasterWorkOrder, BomHd, FinishedGoods, "
             "ProductUnits, Warehouse, QUANTITY1, WorkDate, FinishDate, Closedate, Delflag, "
             "Clear) Values (1, 'WO-1', Null, Null, 2, 21, 1, 4, '2024-01-05 08:30', "
             "'2024-01-25', '2024-01-31', 'N', 'N')");
        exec("Insert Into MFGFinishDt (Id, WorkOrderHd, Product, ProductUnits, Warehouse, "
             "Quantity, Fraction, Price) Values (1, 1, 2, 21, 1, 4, 1, 1.11)");
    }

    TempServer server_;
    db::TDatabase connection_;
};
