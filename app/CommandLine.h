#pragma once

#include <QString>
#include <QStringList>

#include <stdexcept>

// The positional command line the suite's menu program starts the program with. Argument 1 is
// the menu entry, 2 the user, 3 the company's data database, 5 the start mode and 7 either a
// time of day for the daily run (it holds a colon) or a product code. 4 and 6 are not read.
struct CommandLine {
    int MenuId = 0;
    int UserId = 0;
    QString CompanyDatabase;
    int StartMode = 0;
    QString Argument7;

    // Raised when arguments 1, 2 or 5 are missing or not whole numbers, or when argument 7
    // holds a colon but is not a time of day.
    class Invalid : public std::runtime_error {
    public:
        using std::runtime_error::runtime_error;
    };

    // The arguments without the program's own path.
    static CommandLine parse(const QStringList& arguments);

    // Argument 7 holds a colon: the time of day of the daily run.
    bool hasAutoRunTime() const { return Argument7.contains(':'); }
};
