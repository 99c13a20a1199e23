#include "calibration/wizard/CalValueEdit.h"

#include <algorithm>

#include <QSignalBlocker>

#include "ui/NumericText.h"
#include "ui/QtText.h"

CCalValueEdit::CCalValueEdit(QWidget* parent, BOOL allowMinus, BOOL allowDecimal, UINT maxDigits)
    : CNVEdit(parent), m_bAllowMinus(allowMinus), m_bAllowDecimal(allowDecimal), m_nMaxDigits(maxDigits)
{
    connect(this, &QLineEdit::textEdited, this, [this](const QString& typed) { OnEdited(typed); });
}

void CCalValueEdit::SetValueText(const QString& text)
{
    const QSignalBlocker blocker(this);
    setText(text);
    m_strPrevious = text.trimmed();
}

void CCalValueEdit::OnEdited(const QString& typed)
{
    const int caret = cursorPosition();
    const QString trimmed = typed.trimmed();
    const std::u16string units = ui::ToU16String(trimmed);
    const CWideString kept = CleanNumericText(ui::ToWideString(m_strPrevious), units.c_str(), m_bAllowMinus,
                                              m_bAllowDecimal, m_nMaxDigits);
    const QString cleaned = ui::ToQString(static_cast<const char16_t*>(kept));
    m_strPrevious = cleaned;
    if (cleaned != typed)
    {
        const QSignalBlocker blocker(this);
        setText(cleaned);
        const auto shift = static_cast<int>(cleaned.size() - typed.size());
        setCursorPosition(std::clamp(caret + shift, 0, static_cast<int>(cleaned.size())));
    }
    emit ValueEdited();
}
