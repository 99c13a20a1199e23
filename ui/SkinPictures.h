// The pictures of the skin (tab buttons, dialog backgrounds) come from files that anyone can put
// beside the program, so their size is not ours to choose. Each file is decoded once for the whole
// program and held scaled down to fit a bound, so that a huge picture costs neither a decode per
// button nor a huge stretch at every paint on the user-interface thread.
#pragma once

#include <QPixmap>
#include <QSize>
#include <QString>

namespace ui
{

// A tab picture is at most this large; the tab button takes its size from it.
inline constexpr QSize kMaxTabPictureSize(256, 64);
// A background picture is stretched over the client area anyway; beyond this size it shows nothing
// more on a screen.
inline constexpr QSize kMaxBackgroundPictureSize(2048, 2048);

// The picture in the file, scaled down (its aspect kept) to fit within bound when it is larger;
// a null picture when the file is missing or cannot be read. The file is decoded only the first
// time it is asked for (again after it has changed); every caller shares that one picture. On the
// user-interface thread only.
QPixmap LoadSkinPicture(const QString& path, QSize bound);

} // namespace ui
