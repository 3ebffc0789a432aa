#include "admin/CostExplanation.h"

#include <QDateTime>

#include <algorithm>

namespace {

// A number's text without trailing zeros, keeping at least keep decimals.
QString trimmedNumber(const QVariant& value, int keep) {
    if (!value.isValid() || value.isNull())
        return {};
    QString text = value.typeId() == QMetaType::Double ? QString::number(value.toDouble(), 'g', 15)
                                                       : value.toString().trimmed();
    if (text.contains('e') || text.contains('E'))
        return text;
    const auto point = text.indexOf('.');
    if (point < 0)
        return keep > 0 ? text + '.' + QString(keep, '0') : text;
    while (text.size() - point - 1 > keep && text.endsWith('0'))
        text.chop(1);
    if (text.endsWith('.'))
        text.chop(1);
    if (keep > 0 && text.indexOf('.') < 0)
        text += '.';
    while (keep > 0 && text.size() - text.indexOf('.') - 1 < keep)
        text += '0';
    return text;
}

// Tabs and line breaks would split a TSV field.
QString tsvField(QString text) {
    text.replace('\t', ' ');
    text.replace('\n', ' ');
    text.replace('\r', ' ');
    return text;
}

} // namespace

void CostExplanation::beginSection(const QString& title) {
    section_ = title;
}

void CostExplanation::addRow(const QString& label, const QString& quantity, const QString& value) {
    rows_.push_back({section_, label, quantity, value});
}

QString CostExplanation::valueOf(const QString& label) const {
    for (const auto& row : rows_) {
        if (row.label == label)
            return row.value;
    }
    return {};
}

QString CostExplanation::text() const {
    if (!isCosted())
        return notCosted_ + '\n';
    qsizetype labelWidth = 0;
    qsizetype quantityWidth = 0;
    for (const auto& row : rows_) {
        // A long label pushes only its own numbers to the right.
        if ((!row.quantity.isEmpty() || !row.value.isEmpty()) && row.label.size() <= 64)
            labelWidth = std::max(labelWidth, row.label.size());
        quantityWidth = std::max(quantityWidth, row.quantity.size());
    }
    QString out;
    QString section;
    for (const auto& row : rows_) {
        if (row.section != section || &row == &rows_.front()) {
            if (!out.isEmpty())
                out += '\n';
            section = row.section;
            out += section + '\n';
        }
        QString line = QStringLiteral("  ") + row.label;
        if (!row.quantity.isEmpty() || !row.value.isEmpty()) {
            line = QStringLiteral("  ") + row.label.leftJustified(labelWidth) +
                   QStringLiteral("  ") + row.quantity.rightJustified(quantityWidth);
            if (!row.value.isEmpty())
                line += QStringLiteral("  ") + row.value.rightJustified(12);
        }
        while (line.endsWith(' '))
            line.chop(1);
        out += line + '\n';
    }
    return out;
}

QString CostExplanation::tsv() const {
    if (!isCosted())
        return notCosted_ + '\n';
    QString out = QStringLiteral("section\tlabel\tquantity\tvalue\n");
    for (const auto& row : rows_)
        out += tsvField(row.section) + '\t' + tsvField(row.label) + '\t' + row.quantity + '\t' +
               row.value + '\n';
    return out;
}

QString CostExplanation::amount(const QVariant& value) {
    return trimmedNumber(value, 2);
}

QString CostExplanation::quantity(const QVariant& value) {
    return trimmedNumber(value, 0);
}

QString CostExplanation::date(const QVariant& value) {
    if (!value.isValid() || value.isNull())
        return QStringLiteral("no date");
    const QDateTime when = value.toDateTime();
    if (!when.isValid())
        return value.toString();
    return when.time() == QTime(0, 0) ? when.toString(QStringLiteral("dd/MM/yyyy"))
                                      : when.toString(QStringLiteral("dd/MM/yyyy HH:mm"));
}
