#pragma once

#include <QString>

#include <ostream>

// Texts as GoogleTest's failure messages show them.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
