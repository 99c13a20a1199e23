#include "ui/NVEdit.h"

#include <QSignalBlocker>

CNVEdit::CNVEdit(QWidget* parent) : CNVColorScheme<QLineEdit>(parent)
{
    connect(this, &QLineEdit::textChanged, this,
            [this]
            {
                OnTextChanged();
                emit TextChanged();
            });
}

void CNVEdit::SetIntegerRange(int32_t min, int32_t max)
{
    m_rules.integerMin = min;
    m_rules.integerMax = max;
    m_rules.integerRangeOn = TRUE;
}

void CNVEdit::SetFloatRange(float min, float max)
{
    m_rules.floatMin = min;
    m_rules.floatMax = max;
    m_rules.floatRangeOn = TRUE;
}

void CNVEdit::SetDoubleRange(double min, double max)
{
    m_rules.doubleMin = min;
    m_rules.doubleMax = max;
    m_rules.doubleRangeOn = TRUE;
}

void CNVEdit::OnTextChanged()
{
    if (!m_rules.HasNumericMode() || text().isEmpty())
        return;
    QString filtered = text();
    const BOOL changed = m_rules.integerMode ? FilterIntegerText(filtered) : FilterRealText(filtered);
    if (changed)
        ReplaceText(filtered);
    ValidateRange();
}

BOOL CNVEdit::FilterIntegerText(QString& text)
{
    std::u16string units = ui::ToU16String(text);
    const BOOL changed = ::FilterIntegerText(units);
    text = ui::ToQString(units);
    return changed;
}

BOOL CNVEdit::FilterRealText(QString& text)
{
    std::u16string units = ui::ToU16String(text);
    const BOOL changed = ::FilterRealText(units);
    text = ui::ToQString(units);
    return changed;
}

BOOL CNVEdit::ValidateRange()
{
    const std::optional<std::u16string> bound = m_rules.ClampToRange(ui::ToU16String(text()));
    if (!bound)
        return FALSE;
    ReplaceText(ui::ToQString(*bound));
    return TRUE;
}

void CNVEdit::ReplaceText(const QString& text)
{
    const QSignalBlocker blocker(this);
    setText(text);
    setCursorPosition(static_cast<int>(text.size()));
}
