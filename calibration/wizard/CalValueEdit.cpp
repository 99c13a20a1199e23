#include "calibration/wizard/CalValueEdit.h"

#include <algorithm>

#include <QSignalBlocker>

#include "ui/NumericText.h"
#include "ui/QtText.h"

CCalValueEdit::CCalValueEdit(QWidget* parent, BOOL allowMinus, BOOL allowDecimal, UINT maxDigits)
    : CCalValueEdit(parent,
                    [allowMinus, allowDecimal, maxDigits](const QString& previous, const QString& typed)
                    {
                        const std::u16string units = ui::ToU16String(typed.trimmed());
                        const CWideString kept = CleanNumericText(ui::ToWideString(previous), units.c_str(),
                                                                  allowMinus, allowDecimal, maxDigits);
                        return ui::ToQString(static_cast<const char16_t*>(kept));
                    })
{
}

CCalValueEdit::CCalValueEdit(QWidget* parent, Cleaner clean) : CNVEdit(parent), m_clean(std::move(clean))
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
    const QString cleaned = m_clean(m_strPrevious, typed);
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
