// CNVBitmapButtonEx: the picture button of the tab rows (main window, diagnostics window). It
// draws one of four state pictures stretched over itself with its text centred on top:
//   disabled  while the button is disabled;
//   pressed   while it is held down or its pressed flag is set (the selected tab);
//   hover     while the mouse is over it, only when it has a tooltip;
//   normal    otherwise.
// Each state can have its own text colour and font. The pictures are the built-in tab pictures
// (LoadBitmaps) or four files (LoadBitmapsFromFiles); loading them sizes the button to the normal
// picture, scaled from 96 dpi to the screen's. Without pictures it is a plain push button. Its
// tooltip is at most 300 pixels wide (ui/ToolTip.h).
#pragma once

#include <array>

#include <QFont>
#include <QPixmap>
#include <QPushButton>

#include "platform/ColorRef.h"
#include "platform/Types.h"

class CNVBitmapButtonEx : public QPushButton
{
public:
    enum EState
    {
        kNormal,
        kHover,
        kPressed,
        kDisabled,
    };

    explicit CNVBitmapButtonEx(QWidget* parent = nullptr);

    // The built-in tab pictures. TRUE.
    BOOL LoadBitmaps();
    // FALSE, and nothing changes, unless all four files exist and load. Each file is decoded once
    // for every button, and a picture larger than the tab bound is scaled down to fit it
    // (ui/SkinPictures.h).
    BOOL LoadBitmapsFromFiles(const QString& normal, const QString& hover, const QString& pressed,
                              const QString& disabled);
    BOOL HasBitmaps() const { return m_bBitmapsLoaded; }

    void SetFonts(const QFont& normal, const QFont& hover, const QFont& pressed, const QFont& disabled);
    // The state fonts (the button's own font where none are set) made bold.
    BOOL SetFontsBold();
    void SetTextColors(COLORREF normal, COLORREF hover, COLORREF pressed, COLORREF disabled);
    void SetToolTipText(const QString& text) { setToolTip(text); }

    // The selected tab keeps the pressed picture.
    void SetPressed(BOOL pressed);
    BOOL IsPressed() const { return m_bPressed; }
    BOOL IsHovering() const { return m_bHover; }
    // The state the button is drawn in now.
    EState GetDrawState() const;
    const QPixmap& GetBitmap(EState state) const { return m_bitmaps[state]; }
    // The text as drawn in the font: cut at the last character that fits the button's width.
    QString GetFittedText(const QFont& font) const;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void TakeBitmaps(std::array<QPixmap, 4> bitmaps);

    std::array<QPixmap, 4> m_bitmaps;
    std::array<COLORREF, 4> m_textColors{};
    std::array<QFont, 4> m_fonts;
    BOOL m_bHover = FALSE;
    BOOL m_bPressed = FALSE;
    BOOL m_bBitmapsLoaded = FALSE;
    BOOL m_bTextColorsSet = FALSE;
    BOOL m_bFontsSet = FALSE;
};
