#pragma once

#include <QList>
#include <QString>

// A run for one product rebuilds that product's ledger but costs every root work order of
// each month from the ledger of all products. On months a run for all products has never
// calculated, that ledger is almost empty and the work orders would get meaningless costs, so
// a run for one product is refused there: the months it lists must be calculated for all
// products first.
class UncalculatedMonths {
public:
    // The months from fromMonth through 12 of the year that have stock but no ledger row, on
    // the connection with that alias.
    static QList<int> find(const QString& databaseName, int year, int fromMonth);
    // What the window shows when it refuses a run for one product.
    static QString refusal(int year, const QList<int>& months);
    // The months as a list for a message: "1, 2, 3".
    static QString listed(const QList<int>& months);
};
