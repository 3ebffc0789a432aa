#include "db/ServerName.h"

#include <QFile>

#include <stdexcept>

namespace db {

QString readFirstLine(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray line = file.readLine();
    if (file.error() != QFileDevice::NoError)
        throw std::runtime_error("I/O error reading " + path.toStdString() + ": " +
                                 file.errorString().toStdString());
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

QString configuredServerName() {
    const auto name = readFirstLine(QStringLiteral("Server.Dat"));
    return name.isEmpty() ? defaultServerName : name;
}

} // namespace db
