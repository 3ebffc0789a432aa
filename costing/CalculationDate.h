#pragma once

#include "db/TQuery.h"
#include "db/TSQLScript.h"

#include <QDateTime>
#include <QString>

// Where the calculation windows and stockcost-admin calculate record their runs: the two
// columns of Config that hold the year calculated and the server time the run started. Every
// row of Config gets them.
class CalculationDate {
public:
    // On the connection with that alias.
    explicit CalculationDate(const QString& databaseName);

    CalculationDate(const CalculationDate&) = delete;
    CalculationDate& operator=(const CalculationDate&) = delete;

    // Adds the two columns to Config when it does not have them yet.
    void addColumns();
    // When the last run started; the zero date-time (30/12/1899 00:00:00) when never recorded.
    QDateTime last();
    void record(int year, const QDateTime& runStart);

    // As the windows show it: "DD/MM/YYYY  HH:MM:SS".
    static QString format(const QDateTime& date);

private:
    void loadSql();

    QString databaseName_;
    bool sqlLoaded_ = false;
    db::TSQLScript SQLCreate;
    db::TQuery QGetCalculateCostDate;
    db::TSQLScript SQLUpdateCalDate;
};
