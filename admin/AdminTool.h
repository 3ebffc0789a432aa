#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

#include <memory>

namespace db {
class TDatabase;
}

// stockcost-admin: creates servers and databases, runs SQL, scripts and procedures. Exit
// status 0 on success, 1 on a database error (its message on standard error), 2 on a usage
// error (the usage on standard error).
class AdminTool {
public:
    AdminTool(QStringList arguments, QTextStream& out, QTextStream& err);

    int run();

    static QString usage();

private:
    int dispatch();
    int init(const QStringList& args);
    int createCompany(const QStringList& args);
    int install(const QStringList& args);
    int sql(const QStringList& args);
    int script(const QStringList& args);
    int call(const QStringList& args);
    int demo(const QStringList& args);
    int calculate(const QStringList& args);
    int check(const QStringList& args);
    int explain(const QStringList& args);

    QString serverName() const;
    // A connection to a database of the chosen server, with the suite's login, under that
    // alias (the tool's own when empty).
    std::unique_ptr<db::TDatabase> connect(const QString& database, const QString& alias = {});
    // The server's configuration database.
    QString configurationDatabase();

    QStringList arguments_;
    QTextStream& out_;
    QTextStream& err_;
    QString server_;
};
