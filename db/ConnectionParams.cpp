#include "db/ConnectionParams.h"

namespace db {

namespace {

// The position of the line with that key, or -1.
qsizetype findKey(const QStringList& lines, const QString& key) {
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const auto& line = lines[i];
        const auto equals = line.indexOf('=');
        const auto name = equals < 0 ? line : line.left(equals);
        if (name.compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

} // namespace

bool ConnectionParams::contains(const QString& key) const {
    return findKey(lines_, key) >= 0;
}

QString ConnectionParams::value(const QString& key, const QString& defaultValue) const {
    const auto i = findKey(lines_, key);
    if (i < 0)
        return defaultValue;
    const auto& line = lines_[i];
    const auto equals = line.indexOf('=');
    return equals < 0 ? QString() : line.mid(equals + 1);
}

void ConnectionParams::setValue(const QString& key, const QString& value) {
    const auto i = findKey(lines_, key);
    const auto line = key + '=' + value;
    if (i < 0)
        lines_ << line;
    else
        lines_[i] = line;
}

bool isEmbeddedServerName(const QString& serverName) {
    return serverName.startsWith(embeddedServerPrefix, Qt::CaseInsensitive);
}

QString embeddedServerDirectory(const QString& serverName) {
    return serverName.mid(embeddedServerPrefix.size());
}

} // namespace db
