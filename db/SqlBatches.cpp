#include "db/SqlBatches.h"

#include "db/DatabaseError.h"
#include "db/TSQLScript.h"

#include <QFile>
#include <QRegularExpression>

namespace db {

QString sqlResource(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw DatabaseError(QStringLiteral("SQL text %1 is missing from the program").arg(path));
    return QString::fromUtf8(file.readAll());
}

QStringList splitAtGo(const QString& text) {
    QStringList batches;
    for (const auto& batch : batchesAtGo(text))
        batches << batch.text;
    return batches;
}

std::vector<SqlBatch> batchesAtGo(const QString& text) {
    static const QRegularExpression goLine(QStringLiteral("^\\s*go\\s*$"),
                                           QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression commentLine(QStringLiteral("^\\s*(--.*)?$"));
    std::vector<SqlBatch> batches;
    QStringList current;
    int codeLine = 0; // the first line of the batch that is neither blank nor a comment
    int lineNo = 0;
    int textLine = 1;
    auto flush = [&] {
        if (codeLine > 0)
            batches.push_back({codeLine, current.join('\n'), textLine});
        current.clear();
        codeLine = 0;
        textLine = lineNo + 1;
    };
    for (const auto& line : text.split('\n')) {
        ++lineNo;
        QString clean = line;
        if (clean.endsWith('\r'))
            clean.chop(1);
        if (goLine.match(clean).hasMatch()) {
            flush();
            continue;
        }
        current << clean;
        if (codeLine == 0 && !commentLine.match(clean).hasMatch())
            codeLine = lineNo;
    }
    flush();
    return batches;
}

void executeBatches(const QString& alias, const QString& text) {
    TSQLScript script;
    script.setDatabaseName(alias);
    script.setSemicolonTerm(false);
    script.setIgnoreParams(true);
    for (const auto& batch : splitAtGo(text)) {
        script.setSql(batch);
        script.execute();
    }
}

} // namespace db
