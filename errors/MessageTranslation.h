#pragma once

#include <QString>

// Turns the English error texts of the database client into the Thai messages the users know,
// and lays out the text of the error dialog.
namespace errors {

// The Thai message of the first table row whose fragment occurs in the message, compared
// without regard to the case of a to z; empty when no row occurs.
QString thaiMessageFor(const QString& message);

// The error dialog's text: the Thai message, CR, the upper-cased message, CR. Bare carriage
// returns, no line feeds, as the suite's other programs show their errors.
QString composeErrorText(const QString& message);

} // namespace errors
