#pragma once

// Statements a test runs on its company database, by the alias of the company's connection.
#include "db/TQuery.h"

#include <QString>
#include <QVariant>

class CompanyQueries {
public:
    explicit CompanyQueries(QString alias) : alias_(std::move(alias)) {}

    void exec(const QString& sql) {
        db::TQuery query(QStringLiteral("QTest"), alias_, sql);
        query.execSql();
    }
    // The first field of the first row; invalid when there is no row.
    QVariant value(const QString& sql) {
        db::TQuery query(QStringLiteral("QTest"), alias_, sql);
        query.open();
        return query.isEmpty() ? QVariant() : query.fieldByName(query.fieldNames().first()).value();
    }
    double number(const QString& sql) { return value(sql).toDouble(); }
    int count(const QString& sql) { return value(sql).toInt(); }

private:
    QString alias_;
};
