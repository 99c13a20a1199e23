#include "ui/ToolTip.h"

#include <QFontMetrics>
#include <QHelpEvent>
#include <QStringList>
#include <QToolTip>
#include <QWidget>

namespace ui
{

QString WrapToolTipText(const QString& text, const QFont& font, int maxWidth)
{
    const QFontMetrics metrics(font);
    QStringList lines;
    for (const QString& paragraph : text.split(u'\n'))
    {
        QString line;
        for (const QString& word : paragraph.split(u' ', Qt::SkipEmptyParts))
        {
            const QString longer = line.isEmpty() ? word : line + u' ' + word;
            if (line.isEmpty() || metrics.horizontalAdvance(longer) <= maxWidth)
            {
                line = longer;
                continue;
            }
            lines.append(line);
            line = word;
        }
        lines.append(line);
    }
    return lines.join(u'\n');
}

bool ShowWrappedToolTip(QWidget& control, QEvent& event)
{
    const QString text = control.toolTip();
    // Without a tooltip Qt's own handling passes the request on to the parent.
    if (event.type() != QEvent::ToolTip || text.isEmpty())
        return false;
    const auto& help = static_cast<QHelpEvent&>(event);
    QToolTip::showText(help.globalPos(), WrapToolTipText(text, QToolTip::font()), &control);
    return true;
}

} // namespace ui
