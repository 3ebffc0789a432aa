#pragma once

#include <QString>
#include <QStringList>

namespace db {

// A connection's parameter list: "KEY=value" lines, keys matched case-insensitively. The
// value is everything after the first "=", kept exactly (no trimming).
class ConnectionParams {
public:
    ConnectionParams() = default;
    explicit ConnectionParams(QStringList lines) : lines_(std::move(lines)) {}

    const QStringList& lines() const { return lines_; }
    QStringList& lines() { return lines_; }

    bool contains(const QString& key) const;
    // The value of the first line with that key; defaultValue when there is none.
    QString value(const QString& key, const QString& defaultValue = {}) const;
    void setValue(const QString& key, const QString& value);

private:
    QStringList lines_;
};

// The server-name prefix of the embedded engine: "embedded:<directory>".
inline const QString embeddedServerPrefix = QStringLiteral("embedded:");

bool isEmbeddedServerName(const QString& serverName);
// The directory of an embedded server name, as written after the prefix.
QString embeddedServerDirectory(const QString& serverName);

} // namespace db
