// Dialog units, the measure in which the system's window layouts are given: across, a quarter of
// the average character width of the dialog's font; down, an eighth of its height. Windows built
// from such a layout place their controls with DialogUnitsToPixels.
#pragma once

#include <QRect>

#include "platform/Types.h"
#include "ui/WinTypes.h"

class QWidget;

// Converts a rectangle from dialog units to pixels in place; FALSE (rect unchanged) without a
// dialog or rectangle.
BOOL MapDialogRect(const QWidget* dialog, RECT* rect);
// Converts a rectangle from pixels to dialog units in place, by the scale of MapDialogRect;
// FALSE (rect unchanged) when the mapping fails.
BOOL PixelsToDialogUnits(const QWidget* dialog, RECT* rect);
// The pixel rectangle of a control placed at (x, y) with the size cx by cy in dialog units.
QRect DialogUnitsToPixels(const QWidget* dialog, int x, int y, int cx, int cy);
