#include "ui/DialogUnits.h"

#include <QFontMetrics>
#include <QWidget>

namespace
{

constexpr int32_t kUnitsPerCharWidth = 4;
constexpr int32_t kUnitsPerCharHeight = 8;
constexpr int32_t kScale = 100000;

struct BaseUnits
{
    int32_t cx;
    int32_t cy;
};

// The average width of the Latin letters, rounded, and the line height of the dialog's font.
BaseUnits DialogBaseUnits(const QWidget& dialog)
{
    const QFontMetrics metrics(dialog.font());
    const int letters =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(letters / 26 + 1) / 2, metrics.height()};
}

} // namespace

BOOL MapDialogRect(const QWidget* dialog, RECT* rect)
{
    if (dialog == nullptr || rect == nullptr)
        return FALSE;
    const BaseUnits base = DialogBaseUnits(*dialog);
    rect->left = MulDiv(rect->left, base.cx, kUnitsPerCharWidth);
    rect->right = MulDiv(rect->right, base.cx, kUnitsPerCharWidth);
    rect->top = MulDiv(rect->top, base.cy, kUnitsPerCharHeight);
    rect->bottom = MulDiv(rect->bottom, base.cy, kUnitsPerCharHeight);
    return TRUE;
}

BOOL PixelsToDialogUnits(const QWidget* dialog, RECT* rect)
{
    RECT mapped{0, 0, kScale, kScale};
    if (rect == nullptr || !MapDialogRect(dialog, &mapped) || mapped.right <= 0 || mapped.bottom <= 0)
        return FALSE;
    rect->left = MulDiv(rect->left, kScale, mapped.right);
    rect->right = MulDiv(rect->right, kScale, mapped.right);
    rect->top = MulDiv(rect->top, kScale, mapped.bottom);
    rect->bottom = MulDiv(rect->bottom, kScale, mapped.bottom);
    return TRUE;
}

QRect DialogUnitsToPixels(const QWidget* dialog, int x, int y, int cx, int cy)
{
    RECT rect{x, y, x + cx, y + cy};
    MapDialogRect(dialog, &rect);
    return QRect(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
}
