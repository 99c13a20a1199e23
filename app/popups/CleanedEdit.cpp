#include "app/popups/CleanedEdit.h"

#include <algorithm>

#include <QSignalBlocker>

#include "ui/QtText.h"

QString CCleanedEdit::OnChanged(QLineEdit& edit, const TextCleaner& clean)
{
    const QString typed = edit.text();
    const QString kept = ui::ToQString(
        static_cast<const char16_t*>(clean(ui::ToWideString(m_previous), ui::ToWideString(typed))));
    if (kept != typed)
    {
        const qsizetype refused = typed.size() - kept.size();
        const qsizetype caret = std::clamp<qsizetype>(edit.cursorPosition() - refused, 0, kept.size());
        const QSignalBlocker blocker(edit);
        edit.setText(kept);
        edit.setCursorPosition(static_cast<int>(caret));
    }
    m_previous = kept;
    edit.setFocus();
    return kept;
}
