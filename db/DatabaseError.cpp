#include "db/DatabaseError.h"

namespace db {

DatabaseError::DatabaseError(QString message) : message_(std::move(message)) {
    refreshUtf8();
}

DatabaseError::DatabaseError(std::vector<DatabaseErrorEntry> entries)
    : entries_(std::move(entries)) {
    QStringList texts;
    for (const auto& entry : entries_) {
        if (!entry.text.isEmpty() && !texts.contains(entry.text))
            texts << entry.text;
    }
    message_ = texts.join('\n');
    refreshUtf8();
}

DatabaseError DatabaseError::fromComponent(const QString& component, const QString& text) {
    if (component.isEmpty())
        return DatabaseError(text);
    return DatabaseError(QStringLiteral("%1: %2").arg(component, text));
}

void DatabaseError::addEntry(DatabaseErrorEntry entry) {
    entries_.push_back(std::move(entry));
}

void DatabaseError::appendToMessage(const QString& text) {
    message_ += text;
    refreshUtf8();
}

void DatabaseError::refreshUtf8() {
    utf8_ = message_.toStdString();
}

} // namespace db
