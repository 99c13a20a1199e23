#include "ui/Label.h"

#include <algorithm>

#include <QMouseEvent>
#include <QPainter>
#include <QUrl>

#include "ui/DialogService.h"
#include "ui/NVDialog.h"
#include "ui/QtText.h"
#include "ui/Transparency.h"

namespace
{

constexpr int kMaxGradientBands = 100;

// A channel stepped linearly from `from` to `to` in 1/256 units.
int Step(int from, int to, int band, int bands)
{
    const int step = ((to - from) * 256) / bands;
    return from + (step * band) / 256;
}

} // namespace

CLabel::CLabel(QWidget* parent) : QLabel(parent) {}

void CLabel::SetText(const QString& text)
{
    if (!text.isEmpty() && text == this->text())
        return;
    setText(text);
    RedrawWithParent();
}

void CLabel::RedrawWithParent()
{
    update();
    if (QWidget* parent = parentWidget())
        parent->update(geometry());
}

void CLabel::SetTextColor(COLORREF color)
{
    m_textColor = ui::ToQColor(color);
    update();
}

void CLabel::SetBkColor(COLORREF color)
{
    m_backBrush = QBrush(ui::ToQColor(color));
    update();
}

void CLabel::SetBackBrush(const QBrush& brush)
{
    m_backBrush = brush;
    update();
}

void CLabel::SetShadowColor(COLORREF color)
{
    m_shadowColor = ui::ToQColor(color);
    update();
}

void CLabel::Set3DText(BOOL on, BOOL upLeft)
{
    m_b3DText = on;
    m_b3DUpLeft = upLeft;
    update();
}

void CLabel::SetGradient(BOOL on, COLORREF from, COLORREF to)
{
    m_bGradient = on;
    m_gradientFrom = ui::ToQColor(from);
    m_gradientTo = ui::ToQColor(to);
    update();
}

void CLabel::SetDirectPaint(BOOL on)
{
    m_bDirectPaint = on;
    update();
}

void CLabel::SetRotationAngle(int degrees, BOOL rotation)
{
    m_nRotationDegrees = degrees;
    m_bRotation = rotation;
    update();
}

void CLabel::SetLink(ELinkMode mode, const QString& target)
{
    m_linkMode = mode;
    m_strLinkTarget = target;
}

void CLabel::PaintGradient(QPainter& painter) const
{
    const int bands = std::max(1, std::min(width(), kMaxGradientBands));
    const int bandWidth = width() / bands;
    for (int band = 0; band < bands; ++band)
    {
        const int left = band * bandWidth;
        const int right = band == bands - 1 ? width() : left + bandWidth;
        const QColor color(Step(m_gradientFrom.red(), m_gradientTo.red(), band, bands),
                           Step(m_gradientFrom.green(), m_gradientTo.green(), band, bands),
                           Step(m_gradientFrom.blue(), m_gradientTo.blue(), band, bands));
        painter.fillRect(QRect(left, 0, right - left, height()), color);
    }
}

void CLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!ui::IsTransparent(this) && !m_bDirectPaint)
    {
        if (m_bGradient)
            PaintGradient(painter);
        else
            painter.fillRect(rect(), m_backBrush.value_or(palette().brush(QPalette::Button)));
    }
    const QString content = text();
    int flags = static_cast<int>(alignment());
    if (wordWrap())
        flags |= Qt::TextWordWrap;
    if (content.contains(u'\t'))
        flags |= Qt::TextExpandTabs;
    painter.setFont(font());
    const QPoint shadowOffset = m_b3DUpLeft ? QPoint(-1, -1) : QPoint(1, 1);
    const QColor textColor = m_textColor.value_or(palette().color(QPalette::WindowText));
    if (m_bRotation)
    {
        painter.translate(width() / 2, height() / 2);
        painter.rotate(-m_nRotationDegrees);
        if (m_b3DText)
        {
            painter.setPen(m_shadowColor);
            painter.drawText(shadowOffset, content);
        }
        painter.setPen(textColor);
        painter.drawText(QPoint(0, 0), content);
        return;
    }
    if (m_b3DText)
    {
        painter.setPen(m_shadowColor);
        painter.drawText(rect().translated(shadowOffset), flags, content);
    }
    painter.setPen(textColor);
    painter.drawText(rect(), flags, content);
}

void CLabel::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
    {
        QLabel::mousePressEvent(event);
        return;
    }
    if (m_bNotify)
        emit Clicked(CNVDialog::GetDlgCtrlID(this));
    else if (m_linkMode == kLinkOpen)
        ui::Dialogs().OpenUrl(QUrl::fromUserInput(m_strLinkTarget.isEmpty() ? text() : m_strLinkTarget));
    else if (m_linkMode == kLinkMail)
        ui::Dialogs().OpenUrl(QUrl(QStringLiteral("mailto:") + text()));
}

void CLabel::enterEvent(QEnterEvent* event)
{
    QLabel::enterEvent(event);
    if (m_linkMode == kLinkOpen)
        setCursor(Qt::PointingHandCursor);
}

void CLabel::leaveEvent(QEvent* event)
{
    QLabel::leaveEvent(event);
    unsetCursor();
}
