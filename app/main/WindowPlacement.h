// Where a window stored at a remembered position may open: wholly on one screen's available area
// (the profile may hold a position of a screen that is gone, or any number written by hand).
#pragma once

#include <vector>

#include <QPoint>
#include <QRect>

// The top-left corner for the frame rectangle: unchanged when one of the available areas holds
// the whole frame; otherwise moved onto the area that shows most of it (the nearest one when none
// shows any), as far as the frame fits there, its top-left corner first.
QPoint KeepOnScreen(const QRect& frame, const std::vector<QRect>& available);
