#pragma once
// Typing a whole date into a date field, as into the pickers users know:
// a digit typed where a part of the date begins replaces that part, a
// part that is full moves on to the next, and a separator moves on too.

#include <QString>

class QDateEdit;
class QLineEdit;

namespace app {

// For a date edit: the typed text becomes its date as soon as it is one;
// a text that is not a date when the edit is left gives way to the date
// the edit had.
void typeDatesWhole(QDateEdit* edit);
// For a text box that shows dates in the Qt date format: only while its
// text is such a date; any other text is typed as usual.
void typeDatesWhole(QLineEdit* edit, const QString& qtDateFormat);

}  // namespace app
