// The rules of the calibration pages that need no window: which choices let a page go on, the
// point count a choice makes, the elapsed-time text and the stability colours. The pages apply
// them to what their controls hold; tests check them without a display.
#pragma once

#include <array>
#include <cstdint>

#include "calibration/data/CalData.h"
#include "foundation/WideString.h"
#include "platform/ColorRef.h"
#include "platform/Types.h"

// The stability field: "None" on red, "Nominal" on yellow, "Full" on green, bold.
inline constexpr COLORREF kStabilityNoneColor = RGB(255, 0, 0);
inline constexpr COLORREF kStabilityNominalColor = RGB(255, 255, 0);
inline constexpr COLORREF kStabilityFullColor = RGB(0, 128, 0);
COLORREF StabilityColor(int32_t level);

// "mm:ss" of the elapsed milliseconds; the minutes keep counting past 99.
CWideString DurationText(uint64_t elapsedMs);

// What a temperature field shows of the newest reading: the sensor's status in place of a
// temperature that holds no measurement, the value as formatted otherwise.
CWideString TemperatureFieldText(CCalData& data, const CWideString& formatted);

// The number a user typed for a standard; 0 for a text that is no number (an empty one too), as the
// pages compare it.
double TypedValueOrZero(const CWideString& text);

// Conductivity: a listed standard (147 to 58670 µS/cm), or "User defined" with a value above 0.
BOOL IsConductivityStandardValid(int32_t solutionId, const CWideString& userValue);
// ORP: ZoBell's, or "User defined" with a value that is more than signs and points (no range).
BOOL IsOrpStandardValid(int32_t solutionId, const CWideString& userValue);

// One row of the pH buffer page: the chosen solution and the value typed beside it.
struct sPhBufferRow
{
    int32_t solution = -1; // -1: nothing selected
    CWideString value;
};
using PhBufferRows = std::array<sPhBufferRow, 3>;

inline constexpr double kLowestTypedPh = 0.0; // excluded
inline constexpr double kHighestTypedPh = 14.0;

// Every list chosen, no standard buffer twice, no two typed buffers of the same value, and every
// typed value above 0 and at most 14. A typed value beside the same standard buffer is accepted.
BOOL IsPhBufferChoiceValid(const PhBufferRows& rows);
// The rows that are not "None".
uint16_t PhPointCount(const PhBufferRows& rows);

// Optical DO: point 1 at 100 % or 0 %, point 2 "None" or the other of the two.
BOOL IsVoxPointChoiceValid(int32_t point1, int32_t point2);
