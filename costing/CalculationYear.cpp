#include "costing/CalculationYear.h"

std::optional<int> CalculationYear::fromText(const QString& text) {
    bool ok = false;
    const int year = text.trimmed().toInt(&ok);
    if (!ok || year < first || year > last)
        return std::nullopt;
    return year;
}

QString CalculationYear::refusal() {
    return QStringLiteral("ปี ค.ศ. ต้องอยู่ระหว่าง %1 ถึง %2").arg(first).arg(last);
}
