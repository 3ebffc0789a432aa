#pragma once

#include <QString>

namespace db::schema {

// The costing method a company database is set to (Config.CalStockMethod): 1 average cost,
// 2 moving average, 3 FIFO, 4 LIFO. The calculation, check and explain of stockcost-admin
// know methods 1 and 3.
class CostingMethod {
public:
    static constexpr int averageCost = 1;
    static constexpr int fifo = 3;

    // The method of the company on the connection with that alias; 0 without a Config row.
    static int of(const QString& databaseName);
    // "FIFO", "moving average", ...; "none" for a number that names no method.
    static QString name(int method);
};

} // namespace db::schema
