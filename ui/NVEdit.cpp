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

bool CNVEdit::IsSelectAllKey(const QKeyEvent& event)
{
    if (event.matches(QKeySequence::SelectAll))
        return true;
    constexpr char16_t kControlA = 0x01;
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    const QString text = event.text();
    if (text.size() == 1 && text[0] == kControlA)
        return !(modifiers & (Qt::AltModifier | Qt::MetaModifier));
    return modifiers == Qt::ControlModifier && (event.key() == Qt::Key_A || event.key() == u'a');
}

bool CNVEdit::event(QEvent* event)
{
    // Claimed before any shortcut of the window sees it.
    if (event->type() == QEvent::ShortcutOverride && IsSelectAllKey(*static_cast<QKeyEvent*>(event)))
    {
        event->accept();
        return true;
    }
    return CNVColorScheme<QLineEdit>::event(event);
}

void CNVEdit::keyPressEvent(QKeyEvent* event)
{
    if (IsSelectAllKey(*event))
    {
        selectAll();
        event->accept();
        return;
    }
    CNVColorScheme<QLineEdit>::keyPressEvent(event);
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
