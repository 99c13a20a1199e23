// The built-in pictures of the tab buttons, drawn rather than loaded, at 96 dpi.
#pragma once

#include <QPixmap>

namespace ui
{

inline constexpr int kTabBitmapPressed = 140;
inline constexpr int kTabBitmapNormal = 141;
inline constexpr int kTabBitmapHover = 142;

// The picture with the id above; a null picture for any other id.
QPixmap BuiltInTabBitmap(int id);

} // namespace ui
