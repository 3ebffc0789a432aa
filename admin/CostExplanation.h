#pragma once

#include <QString>
#include <QVariant>

#include <vector>

// How one line's cost came about, as stockcost-admin explain prints it: sections of rows, each
// a label with an optional quantity and value, written once as aligned text for a reader and
// once as tab-separated rows for a spreadsheet. A line that no run costed carries only the
// sentence that says why.
class CostExplanation {
public:
    struct Row {
        QString section;
        QString label;
        QString quantity;
        QString value;
    };

    // Rows added from here on belong to this section.
    void beginSection(const QString& title);
    void addRow(const QString& label, const QString& quantity = {}, const QString& value = {});

    void setNotCosted(const QString& reason) { notCosted_ = reason; }
    bool isCosted() const { return notCosted_.isEmpty(); }
    const QString& notCostedReason() const { return notCosted_; }

    const std::vector<Row>& rows() const { return rows_; }
    // The value of the first row with that label, for the checks of the tests; empty when none.
    QString valueOf(const QString& label) const;

    QString text() const;
    // A header line, then section, label, quantity and value of every row.
    QString tsv() const;

    // Numbers exactly as the database holds them: decimals and money as their text without the
    // trailing zeros beyond the cents (quantities without any), floats in their shortest exact
    // form; nothing for null.
    static QString amount(const QVariant& value);
    static QString quantity(const QVariant& value);
    // "dd/MM/yyyy", with the time when it is not midnight.
    static QString date(const QVariant& value);

private:
    QString section_;
    std::vector<Row> rows_;
    QString notCosted_;
};
