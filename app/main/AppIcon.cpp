#include "app/main/AppIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace
{

// A water drop on a round blue ground, drawn at the sizes window managers ask for.
QPixmap DrawIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x1F, 0x5F, 0x9F));
    painter.drawEllipse(QRectF(0.5, 0.5, s - 1, s - 1));
    QPainterPath drop;
    drop.moveTo(s * 0.5, s * 0.16);
    drop.cubicTo(s * 0.5, s * 0.16, s * 0.24, s * 0.50, s * 0.24, s * 0.62);
    drop.cubicTo(s * 0.24, s * 0.78, s * 0.36, s * 0.86, s * 0.5, s * 0.86);
    drop.cubicTo(s * 0.64, s * 0.86, s * 0.76, s * 0.78, s * 0.76, s * 0.62);
    drop.cubicTo(s * 0.76, s * 0.50, s * 0.5, s * 0.16, s * 0.5, s * 0.16);
    painter.setBrush(QColor(0xBB, 0xCE, 0xD6));
    painter.drawPath(drop);
    return pixmap;
}

} // namespace

QIcon AppIcon()
{
    QIcon icon;
    for (const int size : {16, 32, 48, 64})
        icon.addPixmap(DrawIcon(size));
    return icon;
}
