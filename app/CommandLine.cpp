#include "app/CommandLine.h"

#include "costing/DailyRunTime.h"

namespace {

int wholeNumber(const QStringList& arguments, int position, const char* name) {
    if (arguments.size() < position)
        throw CommandLine::Invalid(QStringLiteral("argument %1 (%2) is missing")
                                       .arg(position)
                                       .arg(QLatin1String(name))
                                       .toStdString());
    bool ok = false;
    const int value = arguments[position - 1].trimmed().toInt(&ok);
    if (!ok)
        throw CommandLine::Invalid(QStringLiteral("argument %1 (%2) is not a whole number: '%3'")
                                       .arg(position)
                                       .arg(QLatin1String(name), arguments[position - 1])
                                       .toStdString());
    return value;
}

} // namespace

CommandLine CommandLine::parse(const QStringList& arguments) {
    CommandLine line;
    line.StartMode = wholeNumber(arguments, 5, "start mode");
    line.MenuId = wholeNumber(arguments, 1, "menu id");
    line.UserId = wholeNumber(arguments, 2, "user id");
    line.CompanyDatabase = arguments.value(2);
    line.Argument7 = arguments.value(6);
    // A daily time that is no time of day would be shown and never come.
    if (line.hasAutoRunTime() && !DailyRunTime::parse(line.Argument7).isValid())
        throw CommandLine::Invalid(
            QStringLiteral("argument 7 (daily time) is not a time of day (HH:MM or HH:MM:SS): "
                           "'%1'")
                .arg(line.Argument7)
                .toStdString());
    return line;
}
