#pragma once

#include <QString>
#include <QVariant>

#include <optional>

class CostExplanation;

// The document line stockcost-admin explain is asked about, as its table holds it: the
// document, dates, product, unit, quantity and the costs written into it.
struct ExplainedLine {
    QString table; // spelled as the costing names it ("Isdt", "MFGISDT")
    qint64 id = 0;
    QString documentNo;
    QVariant lineDate;
    QVariant costDate; // the date the average cost costs it by
    QString delflag;
    qint64 product = 0;
    QString productCode;
    QString productName;
    QString unitCode;
    QVariant fraction;
    QVariant quantity;
    QVariant price;
    QVariant costAvg;
    QVariant workOrder;

    // The table's name as the costing spells it, for a name in any letter case; empty for a
    // table that holds no document lines of a product.
    static QString knownTable(const QString& name);

    // The line, or nothing when the table has no line with that id.
    static std::optional<ExplainedLine> load(const QString& databaseName, const QString& table,
                                             qint64 id);

    // "Isdt 4711 (IS0001)".
    QString name() const;
    // "A001 น้ำปลา".
    QString productText() const;
    bool isDeleted() const { return delflag == QLatin1String("Y"); }

    // The line section: document, date, product, unit and Fraction, quantity; the cost written
    // follows as the caller labels it.
    void describe(CostExplanation& explanation) const;
};
