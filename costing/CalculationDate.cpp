#include "costing/CalculationDate.h"

#include "costing/CostingSql.h"

CalculationDate::CalculationDate(const QString& databaseName)
    : databaseName_(databaseName), SQLCreate(QStringLiteral("SQLCreate")),
      QGetCalculateCostDate(QStringLiteral("QGetCalculateCostDate"), databaseName),
      SQLUpdateCalDate(QStringLiteral("SQLUpdateCalDate")) {
    SQLCreate.setDatabaseName(databaseName);
    SQLUpdateCalDate.setDatabaseName(databaseName);
}

// The texts are read once the connection is open.
void CalculationDate::loadSql() {
    if (sqlLoaded_)
        return;
    const auto text = [this](const QString& component) {
        return costing::costingSql(QStringLiteral("sql"), component, databaseName_);
    };
    SQLCreate.setSql(text(SQLCreate.name()));
    QGetCalculateCostDate.setSql(text(QGetCalculateCostDate.name()));
    SQLUpdateCalDate.setSql(text(SQLUpdateCalDate.name()));
    SQLUpdateCalDate.setParamData({{QStringLiteral("CalYear"), db::DataType::Integer},
                                   {QStringLiteral("CalDate"), db::DataType::DateTime}});
    sqlLoaded_ = true;
}

void CalculationDate::addColumns() {
    loadSql();
    SQLCreate.execute();
}

QDateTime CalculationDate::last() {
    loadSql();
    QGetCalculateCostDate.close();
    QGetCalculateCostDate.open();
    // A null date and a Config without rows read as the zero date-time.
    const auto date =
        QGetCalculateCostDate.fieldByName(QStringLiteral("CalculateCostDate")).asDateTime();
    QGetCalculateCostDate.close();
    return date;
}

void CalculationDate::record(int year, const QDateTime& runStart) {
    loadSql();
    SQLUpdateCalDate.param(QStringLiteral("CalYear")).setAsInteger(year);
    SQLUpdateCalDate.param(QStringLiteral("CalDate")).setAsDateTime(runStart);
    SQLUpdateCalDate.execute();
}

QString CalculationDate::format(const QDateTime& date) {
    return date.toString(QStringLiteral("dd/MM/yyyy  HH:mm:ss"));
}
