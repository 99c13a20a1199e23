// The program's icon (the window icon and the About box's picture), drawn rather than loaded.
#pragma once

#include <QIcon>

QIcon AppIcon();
