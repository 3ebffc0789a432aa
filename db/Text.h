#pragma once

#include <QString>

namespace db {

// Removes every character with a code from 0 to 32 from both ends; Thai text is never touched.
QString trimControls(const QString& text);

// Upper-cases the letters a to z only; Thai and every other character stay as they are.
QString upperCaseAsciiLetters(const QString& text);

} // namespace db
