#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// The options of a stockcost-admin command, after its positional arguments: "--name value"
// or "--name=value" for those that take a value, a bare "--name" for flags. An option the
// command does not know, a missing value, a value given to a flag and a stray argument are
// usage errors that name what is wrong.
class CommandOptions {
public:
    struct Option {
        QString name; // "--year"
        QString value;
    };

    // args from position first on, for command (named in the messages).
    CommandOptions(const QString& command, const QStringList& args, qsizetype first,
                   const QStringList& valueOptions, const QStringList& flags = {});

    // In the order given; an option given twice appears twice.
    const std::vector<Option>& options() const { return options_; }

private:
    std::vector<Option> options_;
};
