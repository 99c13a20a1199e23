// The colour scheme that the system's controls add to Qt's: a text colour, a back colour that can
// be switched on and off, bold text and a tooltip. CNVColorScheme<Control> adds it to any Qt
// control; CNVButton, CNVCheckBox, CNVRadioButton, CNVComboBox, CNVStatic and CNVEdit are such
// controls.
//
// The tooltip is at most 300 pixels wide (ui/ToolTip.h).
//
// Colours apply while the control is enabled; a disabled control keeps the style's greyed look.
// A transparent control (ui::SetTransparent, CNVDialog::AddTransparentControl) paints no back
// colour: its dialog's background shows through it.
#pragma once

#include <type_traits>

#include <QEvent>
#include <QFont>
#include <QLabel>
#include <QPalette>
#include <QString>

#include "platform/ColorRef.h"
#include "platform/Types.h"
#include "ui/QtText.h"
#include "ui/ToolTip.h"
#include "ui/Transparency.h"

template <class TControl>
class CNVColorScheme : public TControl
{
public:
    static constexpr COLORREF kDefaultTextColor = 0;
    static constexpr COLORREF kDefaultBackColor = 0xFFFFFF;

    using TControl::TControl;

    void SetTextColor(COLORREF color)
    {
        m_textColor = color;
        m_bTextColorSet = TRUE;
        ApplyColors();
    }
    // Sets the back colour and switches it on.
    void SetBackColor(COLORREF color)
    {
        m_backColor = color;
        m_bBackColorSet = TRUE;
        ApplyColors();
    }
    // Switches the back colour off: the control paints its own background again.
    void ClearBackColor()
    {
        m_bBackColorSet = FALSE;
        ApplyColors();
    }
    BOOL IsTextColorSet() const { return m_bTextColorSet; }
    BOOL IsBackColorSet() const { return m_bBackColorSet; }
    COLORREF GetTextColor() const { return m_textColor; }
    COLORREF GetBackColor() const { return m_backColor; }

    void SetToolTipText(const QString& text) { this->setToolTip(text); }

    // The control's current font at weight 700 (bold) or 400.
    void SetBold(BOOL bold)
    {
        QFont font = this->font();
        font.setWeight(bold ? QFont::Bold : QFont::Normal);
        this->setFont(font);
    }

    // Default colours (both switched off), no tooltip, normal weight.
    void ResetStyle()
    {
        m_bTextColorSet = FALSE;
        m_bBackColorSet = FALSE;
        m_textColor = kDefaultTextColor;
        m_backColor = kDefaultBackColor;
        this->setToolTip(QString());
        SetBold(FALSE);
        ApplyColors();
    }

protected:
    bool event(QEvent* event) override
    {
        if (ui::ShowWrappedToolTip(*this, *event))
            return true;
        if (event->type() == QEvent::DynamicPropertyChange &&
            static_cast<QDynamicPropertyChangeEvent*>(event)->propertyName() == ui::kTransparentProperty)
            ApplyColors();
        return TControl::event(event);
    }

private:
    void ApplyColors()
    {
        // Only the roles set here override; every other role still comes from the parent.
        QPalette palette;
        if (m_bTextColorSet)
        {
            for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
                for (const QPalette::ColorRole role :
                     {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
                    palette.setColor(group, role, ui::ToQColor(m_textColor));
        }
        const bool transparent = ui::IsTransparent(this);
        if (m_bBackColorSet)
        {
            const QColor back = transparent ? QColor(Qt::transparent) : ui::ToQColor(m_backColor);
            for (const QPalette::ColorRole role : {QPalette::Window, QPalette::Base, QPalette::Button})
                palette.setColor(role, back);
        }
        this->setPalette(palette);
        // A label fills no background of its own unless it is asked to.
        if constexpr (std::is_base_of_v<QLabel, TControl>)
            this->setAutoFillBackground(m_bBackColorSet && !transparent);
        this->update();
    }

    BOOL m_bTextColorSet = FALSE;
    BOOL m_bBackColorSet = FALSE;
    COLORREF m_textColor = kDefaultTextColor;
    COLORREF m_backColor = kDefaultBackColor;
};
