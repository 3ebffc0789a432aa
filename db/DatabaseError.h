#pragma once

#include <QString>
#include <QStringList>

#include <exception>
#include <string>
#include <vector>

namespace db {

// One entry of a server or engine error: the engine's code (an SQLSTATE for SQL Server, the
// result code for the embedded engine, "0" for the line entry a script adds), the server's
// native error number and its text; and, where the engine knows it, the line of the batch it
// was sent that the error happened on (0 when unknown or inside a procedure it called).
struct DatabaseErrorEntry {
    QString code;
    int nativeCode = 0;
    QString text;
    int line = 0;
};

// The one error type of the access layer. A server error carries the list of entries the
// engine reported; its message is made of their distinct texts, one per line, and stays as it
// was built even when entries are added later. An error of the layer itself has no entries
// and names the component in front of its text.
class DatabaseError : public std::exception {
public:
    explicit DatabaseError(QString message);
    explicit DatabaseError(std::vector<DatabaseErrorEntry> entries);

    // "%s: %s" with the component's name; just the text when the component has no name.
    static DatabaseError fromComponent(const QString& component, const QString& text);

    const QString& message() const noexcept { return message_; }
    const std::vector<DatabaseErrorEntry>& entries() const noexcept { return entries_; }
    bool hasEntries() const noexcept { return !entries_.empty(); }

    void addEntry(DatabaseErrorEntry entry);
    void appendToMessage(const QString& text);

    const char* what() const noexcept override { return utf8_.c_str(); }

private:
    void refreshUtf8();

    QString message_;
    std::vector<DatabaseErrorEntry> entries_;
    std::string utf8_;
};

} // namespace db
