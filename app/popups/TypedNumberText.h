// The edit boxes of the sensor setup's popups take a number as it is being typed: after each change
// the text becomes what CleanNumericText keeps of it (the text before the change when the change
// made it no number), without that rewrite counting as another change.
#pragma once

#include <QString>

#include "platform/Types.h"

class QLineEdit;

enum class ECaretAfterTyping
{
    AtEnd,      // the caret goes to the end of the text
    WhereTyped, // a refused character leaves the caret where it was typed
};

// Returns the text kept, which the edit now shows.
QString KeepTypedNumber(QLineEdit& edit, const QString& previous, BOOL allowMinus, BOOL allowDecimal,
                        UINT maxCharacters, ECaretAfterTyping caret);
// Shows the text without counting as a change; the caret at its end.
void SetEditTextQuietly(QLineEdit& edit, const QString& text);
