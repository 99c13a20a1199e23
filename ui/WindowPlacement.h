// Where a window may open: wholly on one screen's available area. A popup centred over its owner
// can stand over a screen's edge, and a remembered position may belong to a screen that is gone or
// be any number written by hand.
#pragma once

#include <vector>

#include <QPoint>
#include <QRect>

// The top-left corner for the frame rectangle: unchanged when one of the available areas holds
// the whole frame; otherwise moved onto the area that shows most of it (the nearest one when none
// shows any), as far as the frame fits there, its top-left corner first.
QPoint FitOnScreen(const QRect& frame, const std::vector<QRect>& available);
