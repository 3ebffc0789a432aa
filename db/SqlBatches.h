#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace db {

// A SQL text compiled into the program (a Qt resource such as ":/schema/Config.sql").
QString sqlResource(const QString& path);

// One batch of a T-SQL text, the line (counted from 1) where its first statement starts and
// the line its text starts on (the blank and comment lines before the statement included).
struct SqlBatch {
    int firstLine = 1;
    QString text;
    int textLine = 1;
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
