#pragma once

#include <QString>
#include <QTemporaryDir>

// A throw-away embedded server in a temporary directory, removed with the object.
class TempServer {
public:
    TempServer() { dir_.setAutoRemove(true); }

    const QString& directory() const { return path_; }
    QString serverName() const { return QStringLiteral("embedded:") + path_; }

    // "KEY=value" lines for a connection to one of its databases.
    QStringList connectionParams(const QString& database) const {
        return {QStringLiteral("DATABASE NAME=") + database,
                QStringLiteral("SERVER NAME=") + serverName()};
    }

private:
    QTemporaryDir dir_;
    QString path_ = dir_.path();
};
