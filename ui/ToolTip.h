// The tooltips of the system's controls (the colour scheme controls, the edit, the bitmap tab
// button) are at most 300 pixels wide: a longer text is broken into lines at its blanks, and a
// word wider than that stands on a line of its own, as the system's tooltip window does it.
#pragma once

#include <QFont>
#include <QString>

class QEvent;
class QWidget;

namespace ui
{

inline constexpr int kMaxToolTipWidth = 300;

// The text with line breaks where it is wider than maxWidth in the font; existing line breaks stay.
QString WrapToolTipText(const QString& text, const QFont& font, int maxWidth = kMaxToolTipWidth);

// For a control's tooltip request (QEvent::ToolTip): shows the control's tooltip wrapped to the
// width and returns true; false for any other event and for a control without a tooltip.
bool ShowWrappedToolTip(QWidget& control, QEvent& event);

} // namespace ui
