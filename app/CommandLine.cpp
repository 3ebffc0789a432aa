#include "app/CommandLine.h"

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
    return line;
}
