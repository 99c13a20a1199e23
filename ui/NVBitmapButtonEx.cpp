#include "ui/NVBitmapButtonEx.h"

#include <QPainter>
#include <QStyleOptionFocusRect>

#include "ui/QtText.h"
#include "ui/SkinPictures.h"
#include "ui/TabBitmaps.h"
#include "ui/ToolTip.h"
#include "ui/WinTypes.h"

namespace
{

constexpr int kStandardDpi = 96;
constexpr int kFocusInset = 3;

QPixmap LoadPicture(const QString& path)
{
    return ui::LoadSkinPicture(path, ui::kMaxTabPictureSize);
}

} // namespace

CNVBitmapButtonEx::CNVBitmapButtonEx(QWidget* parent) : QPushButton(parent) {}

BOOL CNVBitmapButtonEx::LoadBitmaps()
{
    const QPixmap normal = ui::BuiltInTabBitmap(ui::kTabBitmapNormal);
    TakeBitmaps({normal, ui::BuiltInTabBitmap(ui::kTabBitmapHover),
                 ui::BuiltInTabBitmap(ui::kTabBitmapPressed), normal});
    return TRUE;
}

BOOL CNVBitmapButtonEx::LoadBitmapsFromFiles(const QString& normal, const QString& hover,
                                             const QString& pressed, const QString& disabled)
{
    std::array<QPixmap, 4> bitmaps = {LoadPicture(normal), LoadPicture(hover), LoadPicture(pressed),
                                      LoadPicture(disabled)};
    for (const QPixmap& bitmap : bitmaps)
        if (bitmap.isNull())
            return FALSE;
    TakeBitmaps(std::move(bitmaps));
    return TRUE;
}

void CNVBitmapButtonEx::TakeBitmaps(std::array<QPixmap, 4> bitmaps)
{
    m_bitmaps = std::move(bitmaps);
    const int dpi = logicalDpiX();
    const QSize size = m_bitmaps[kNormal].size();
    resize(MulDiv(dpi, size.width(), kStandardDpi), MulDiv(dpi, size.height(), kStandardDpi));
    m_bBitmapsLoaded = TRUE;
    update();
}

void CNVBitmapButtonEx::SetFonts(const QFont& normal, const QFont& hover, const QFont& pressed,
                                 const QFont& disabled)
{
    m_fonts = {normal, hover, pressed, disabled};
    m_bFontsSet = TRUE;
    update();
}

BOOL CNVBitmapButtonEx::SetFontsBold()
{
    std::array<QFont, 4> fonts = m_bFontsSet ? m_fonts : std::array<QFont, 4>{font(), font(), font(), font()};
    for (QFont& state : fonts)
        state.setWeight(QFont::Bold);
    SetFonts(fonts[kNormal], fonts[kHover], fonts[kPressed], fonts[kDisabled]);
    return TRUE;
}

void CNVBitmapButtonEx::SetTextColors(COLORREF normal, COLORREF hover, COLORREF pressed, COLORREF disabled)
{
    m_textColors = {normal, hover, pressed, disabled};
    m_bTextColorsSet = TRUE;
    update();
}

void CNVBitmapButtonEx::SetPressed(BOOL pressed)
{
    m_bPressed = pressed;
    if (pressed)
        unsetCursor();
    update();
}

CNVBitmapButtonEx::EState CNVBitmapButtonEx::GetDrawState() const
{
    if (!isEnabled())
        return kDisabled;
    if (isDown() || m_bPressed)
        return kPressed;
    return m_bHover ? kHover : kNormal;
}

QString CNVBitmapButtonEx::GetFittedText(const QFont& font) const
{
    const QFontMetrics metrics(font);
    QString fitted = text();
    while (!fitted.isEmpty() && metrics.horizontalAdvance(fitted) > width())
        fitted.chop(1);
    return fitted;
}

bool CNVBitmapButtonEx::event(QEvent* event)
{
    return ui::ShowWrappedToolTip(*this, *event) || QPushButton::event(event);
}

void CNVBitmapButtonEx::paintEvent(QPaintEvent* event)
{
    if (!m_bBitmapsLoaded)
    {
        QPushButton::paintEvent(event);
        return;
    }
    const EState state = GetDrawState();
    QPainter painter(this);
    const QPixmap& bitmap = m_bitmaps[state];
    if (!bitmap.isNull() && bitmap.width() > 0 && bitmap.height() > 0)
    {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(rect(), bitmap);
    }
    const QFont& stateFont = m_bFontsSet ? m_fonts[state] : font();
    const QString fitted = GetFittedText(stateFont);
    if (!fitted.isEmpty())
    {
        painter.setFont(stateFont);
        painter.setPen(m_bTextColorsSet
                           ? ui::ToQColor(m_textColors[state])
                           : palette().color(state == kDisabled ? QPalette::Disabled : QPalette::Active,
                                             QPalette::ButtonText));
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, fitted);
    }
    if (hasFocus())
    {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(kFocusInset, kFocusInset, -kFocusInset, -kFocusInset);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

void CNVBitmapButtonEx::enterEvent(QEnterEvent* event)
{
    QPushButton::enterEvent(event);
    // Hovering belongs to the tab rows, whose buttons all have tooltips.
    if (toolTip().isEmpty())
        return;
    m_bHover = TRUE;
    if (!m_bPressed)
        setCursor(Qt::PointingHandCursor);
    update();
}

void CNVBitmapButtonEx::leaveEvent(QEvent* event)
{
    QPushButton::leaveEvent(event);
    m_bHover = FALSE;
    unsetCursor();
    update();
}
