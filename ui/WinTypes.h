// The Windows vocabulary that the dialog library keeps, so that windows read like the system's
// descriptions of them: message parameters, rectangles as left/top/right/bottom, MulDiv, and the
// command ids of the standard buttons, the wizard buttons and the wizard's keyboard shortcuts.
// No Qt here: the numeric and layout rules that use these are tested without a display.
#pragma once

#include <cstdint>

#include "platform/MessageBox.h"
#include "platform/Types.h"

using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;

// right and bottom lie one past the rectangle, as on Windows (not QRect's inclusive right()).
struct RECT
{
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    friend bool operator==(const RECT&, const RECT&) = default;
};

// number * numerator / denominator with a 64-bit product, rounded half away from zero; -1 for a
// zero denominator or a result outside int32_t, as Windows gives it.
int32_t MulDiv(int32_t number, int32_t numerator, int32_t denominator);

// Command ids (the answers of a message box are the same numbers).
using platform::IDCANCEL;
using platform::IDOK;
inline constexpr UINT IDC_WIZARD_NEXT = 10223;
inline constexpr UINT IDC_WIZARD_BACK = 10224;
inline constexpr UINT ID_ACCEL_NEXT = 32778;          // Alt+Right
inline constexpr UINT ID_ACCEL_BACK = 32779;          // Alt+Left
inline constexpr UINT ID_ACCEL_WIZARD_CANCEL = 40006; // Esc
inline constexpr UINT ID_ACCEL_WIZARD_FINISH = 40007; // Alt+Enter
