#include "app/popups/TypedNumberText.h"

#include <algorithm>

#include <QLineEdit>
#include <QSignalBlocker>

#include "ui/NumericText.h"
#include "ui/QtText.h"

QString KeepTypedNumber(QLineEdit& edit, const QString& previous, BOOL allowMinus, BOOL allowDecimal,
                        UINT maxCharacters, ECaretAfterTyping caret)
{
    const QString typed = edit.text();
    const int typedCaret = edit.cursorPosition();
    const QString kept = ui::ToQString(CleanNumericText(
        ui::ToWideString(previous), ui::ToU16String(typed).c_str(), allowMinus, allowDecimal, maxCharacters));
    if (kept != typed)
    {
        const QSignalBlocker blocker(&edit);
        edit.setText(kept);
    }
    if (caret == ECaretAfterTyping::AtEnd)
        edit.setCursorPosition(static_cast<int>(kept.size()));
    else if (kept != typed)
        edit.setCursorPosition(std::clamp(static_cast<int>(kept.size() - typed.size()) + typedCaret, 0,
                                          static_cast<int>(kept.size())));
    return kept;
}

void SetEditTextQuietly(QLineEdit& edit, const QString& text)
{
    const QSignalBlocker blocker(&edit);
    edit.setText(text);
    edit.setCursorPosition(static_cast<int>(text.size()));
}
