#include "ui/TabBitmaps.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace ui
{

namespace
{

constexpr int kWidth = 120;
constexpr int kHeight = 28;
constexpr qreal kCornerRadius = 6;

// A tab with rounded upper corners, its face running from the top colour to the bottom colour.
QPixmap DrawTab(const QColor& top, const QColor& bottom, const QColor& edge)
{
    QPixmap tab(kWidth, kHeight);
    tab.fill(Qt::transparent);
    QPainter painter(&tab);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF face(0.5, 0.5, kWidth - 1, kHeight + kCornerRadius);
    QPainterPath outline;
    outline.addRoundedRect(face, kCornerRadius, kCornerRadius);
    QLinearGradient gradient(0, 0, 0, kHeight);
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    painter.setClipRect(0, 0, kWidth, kHeight);
    painter.fillPath(outline, gradient);
    painter.setPen(edge);
    painter.drawPath(outline);
    return tab;
}

} // namespace

QPixmap BuiltInTabBitmap(int id)
{
    switch (id)
    {
    case kTabBitmapNormal:
        return DrawTab(QColor(0x4A, 0x6A, 0x94), QColor(0x2C, 0x47, 0x6B), QColor(0x1E, 0x31, 0x4B));
    case kTabBitmapHover:
        return DrawTab(QColor(0xA8, 0xC2, 0xE2), QColor(0x74, 0x98, 0xC6), QColor(0x1E, 0x31, 0x4B));
    case kTabBitmapPressed:
        return DrawTab(QColor(0xE6, 0xEF, 0xF3), QColor(0xBB, 0xCE, 0xD6), QColor(0x6E, 0x84, 0x8E));
    default:
        return QPixmap();
    }
}

} // namespace ui
