#pragma once

#include "db/Connection.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

#include <optional>
#include <vector>

// stockcost-admin call: a stored procedure called with the arguments of the command line and
// completed from the parameters the server's catalog declares. Every output parameter of the
// procedure is passed as an output (starting NULL unless given a value), and the outputs and the
// return value are printed as NAME=VALUE lines. Arguments the procedure does not have and
// missing inputs reach the server, which refuses them in its own words.
class ProcedureCall {
public:
    // procedure and its arguments: "@NAME=VALUE" passes a value (VALUE may be TYPE:VALUE),
    // "@NAME" or "@NAME:TYPE" asks for an output to be printed, in TYPE. Raises UsageError.
    ProcedureCall(QString procedure, const QStringList& arguments);

    // Calls the procedure on the open connection with that alias and prints the outputs: those
    // the arguments asked for, in their order, else every output in the declared order; then
    // "Result=N".
    void run(const QString& alias, db::Connection& connection, QTextStream& out) const;

private:
    struct Argument {
        QString name;                     // with its "@", as written
        std::optional<QString> value;     // the text after "="
        std::optional<db::DataType> type; // the TYPE of "@NAME:TYPE"
    };

    const Argument* argument(const QString& name) const;

    QString procedure_;
    std::vector<Argument> arguments_;
};
