// CLabel: a static label that paints itself: text in its colour (optionally with a one-pixel
// shadow in a second colour for a raised or sunk look) over a solid, brushed or horizontal
// gradient background, or over nothing when it is transparent or paints directly. The text
// follows the label's alignment and word wrap, expanding tabs, or runs from the label's centre at
// an angle (SetRotationAngle). A label can act as a link (a web address opened through the dialog
// service, or a mail address) or report clicks (Clicked).
#pragma once

#include <optional>

#include <QBrush>
#include <QLabel>

#include "platform/ColorRef.h"
#include "platform/Types.h"

class CLabel : public QLabel
{
    Q_OBJECT

public:
    enum ELinkMode
    {
        kLinkNone = 0,
        kLinkOpen = 1,
        kLinkMail = 2,
    };

    explicit CLabel(QWidget* parent = nullptr);

    // Nothing when the text is not empty and equals the current one; otherwise sets it and
    // repaints the label with the part of its parent beneath it.
    void SetText(const QString& text);
    void RedrawWithParent();

    void SetTextColor(COLORREF color);
    // A solid background; SetBackBrush takes a brush (a pattern) instead.
    void SetBkColor(COLORREF color);
    void SetBackBrush(const QBrush& brush);
    // The second colour: the shadow of 3-D text.
    void SetShadowColor(COLORREF color);
    // The shadow lies one pixel down-right (raised), or up-left with upLeft.
    void Set3DText(BOOL on, BOOL upLeft = FALSE);
    // Left to right from `from` to `to`, in at most 100 bands.
    void SetGradient(BOOL on, COLORREF from, COLORREF to);
    // The text straight onto the parent's background, no background of its own.
    void SetDirectPaint(BOOL on);
    // With rotation on, the text is drawn as one line whose start (on its baseline) lies at the
    // centre of the label, running at `degrees` counter-clockwise from the horizontal; alignment
    // and word wrap then do not apply.
    void SetRotationAngle(int degrees, BOOL rotation);
    BOOL GetRotation() const { return m_bRotation; }
    // kLinkOpen opens the target (the text when the target is empty); kLinkMail writes to the text.
    void SetLink(ELinkMode mode, const QString& target = QString());
    // With notify, a click is reported by Clicked instead of following a link.
    void SetNotify(BOOL notify) { m_bNotify = notify; }

signals:
    // A click on a notifying label; id is its control id.
    void Clicked(UINT id);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void PaintGradient(QPainter& painter) const;

    std::optional<QColor> m_textColor;
    QColor m_shadowColor = Qt::white;
    std::optional<QBrush> m_backBrush;
    BOOL m_b3DText = FALSE;
    BOOL m_b3DUpLeft = FALSE;
    BOOL m_bGradient = FALSE;
    QColor m_gradientFrom;
    QColor m_gradientTo;
    BOOL m_bDirectPaint = FALSE;
    BOOL m_bRotation = FALSE;
    // The direction of rotated text, as the system's fonts carry it (their escapement).
    int m_nRotationDegrees = 0;
    ELinkMode m_linkMode = kLinkNone;
    QString m_strLinkTarget;
    BOOL m_bNotify = FALSE;
};
