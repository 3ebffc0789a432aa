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
    static const QRegularExpression goLine(QStringLiteral("^\\s*go\\s*$"),
                                           QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression commentLine(QStringLiteral("^\\s*(--.*)?$"));
    QStringList batches;
    QStringList current;
    auto flush = [&] {
        bool hasCode = false;
        for (const auto& line : current)
            hasCode = hasCode || !commentLine.match(line).hasMatch();
        if (hasCode)
            batches << current.join('\n');
        current.clear();
    };
    for (const auto& line : text.split('\n')) {
        QString clean = line;
        if (clean.endsWith('\r'))
            clean.chop(1);
        if (goLine.match(clean).hasMatch())
            flush();
        else
            current << clean;
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
