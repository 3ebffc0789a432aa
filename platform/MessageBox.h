#pragma once

#include <QString>

class QWidget;

namespace platform {

// A plain modal message box with one OK button; returns when the user has closed it. When
// STOCKCOST_UNATTENDED is set nobody is at the screen: the text goes to standard error and
// nothing waits.
void showMessage(const QString& text, QWidget* parent = nullptr);

// True when STOCKCOST_UNATTENDED is set to a non-empty value.
bool unattended();

} // namespace platform
