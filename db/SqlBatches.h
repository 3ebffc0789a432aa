#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace db {

// A SQL text compiled into the program (a Qt resource such as ":/schema/Config.sql").
QString sqlResource(const QString& path);

// The text for a connection's dialect: "<base>.<dialect>.sql" where that twin exists,
// otherwise "<base>.sql".
QString sqlResourceFor(const QString& base, const QString& dialect);

// One batch of a T-SQL text and the line (counted from 1) where its first statement starts.
struct SqlBatch {
    int firstLine = 1;
    QString text;
};

// Splits a T-SQL text into the batches between lines "Go" (any case, blanks around it).
// Batches holding only blanks and comments are dropped.
QStringList splitAtGo(const QString& text);
// The same batches with the lines they start on.
std::vector<SqlBatch> batchesAtGo(const QString& text);

// Runs each batch of the text as one statement on the connection with that alias, sent as it
// stands (no parameters, semicolons kept), through the script runner.
void executeBatches(const QString& alias, const QString& text);

} // namespace db
