// The anchor rule of the dialogs: a control keeps chosen distances to the edges of its dialog's
// client area while the dialog is resized. A pure function, so the rule is tested without widgets.
#pragma once

#include "platform/Types.h"
#include "ui/WinTypes.h"

// Distances in pixels from the client area's edges; -1 leaves that edge free.
struct sAnchorDistances
{
    int32_t left = -1;
    int32_t top = -1;
    int32_t right = -1;
    int32_t bottom = -1;
    // Keeps the control centred along the axis (the distances of that axis then do not count).
    BOOL centerHorizontally = FALSE;
    BOOL centerVertically = FALSE;
};

// The rectangle the control takes in `client`, given the one it has now. Along each axis: an
// anchored near edge sets the position; an anchored far edge follows the client's far edge, taking
// the control along when its near edge is free and stretching it when both are anchored; a control
// squeezed below its width keeps the width from its near edge; an axis with no anchor keeps the
// control where it is.
RECT AnchorRect(const sAnchorDistances& anchor, const RECT& current, const RECT& client);
