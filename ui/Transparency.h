// A transparent control lets its dialog's background (colour or picture) show through it: it
// fills no background of its own. The mark is a property of the widget, so that the dialog
// (CNVDialog::AddTransparentControl) and the control's own colour scheme both see it, and a
// control repaints itself when it changes.
#pragma once

#include <QVariant>
#include <QWidget>

namespace ui
{

inline constexpr char kTransparentProperty[] = "nvTransparent";

inline void SetTransparent(QWidget* control, bool transparent)
{
    control->setAutoFillBackground(false);
    control->setProperty(kTransparentProperty, transparent);
    control->update();
}

inline bool IsTransparent(const QWidget* control)
{
    return control->property(kTransparentProperty).toBool();
}

} // namespace ui
