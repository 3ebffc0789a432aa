#pragma once

#include <QString>

namespace db {

// Where a SQL Server name of Server.Dat points: a host and either a TCP port or a named
// instance whose port the SQL Server Browser knows. The forms sites write:
//
//   host               the default instance on port 1433
//   host,port          that port
//   host\instance      the named instance, its port asked from the Browser on the host
//   host\instance,port that port (the instance name is then only a label, as for Microsoft's
//                      drivers)
//   tcp:...            any of these with the protocol prefix of Microsoft's drivers
//
// "." and "(local)" name this machine. Blanks around the parts are dropped.
class SqlServerAddress {
public:
    static constexpr int defaultPort = 1433;

    // Refuses (DatabaseError) an empty host, instance or port, a port that is not a number
    // from 1 to 65535 and a protocol other than TCP.
    static SqlServerAddress parse(const QString& serverName);

    const QString& host() const { return host_; }
    // The port when the name gives one or names no instance; 0 when the Browser must say.
    int port() const { return port_; }
    const QString& instance() const { return instance_; }
    bool needsBrowser() const { return port_ == 0; }

private:
    QString host_;
    int port_ = 0;
    QString instance_;
};

} // namespace db
