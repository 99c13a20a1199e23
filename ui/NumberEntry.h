// The rules of the two small number popups of the sensor setup: the salinity edit (0 to 350 PSU)
// and the value entry popup (a number between two limits; the sentinel value takes every finite
// float). A text counts as a number only when it is one from its first character to its last, in
// the dialog library's notation.
#pragma once

#include <optional>

#include "foundation/VocabularyIds.h"
#include "foundation/WideString.h"
#include "platform/Types.h"

inline constexpr double SALINITY_MIN_PSU = 0.0;
inline constexpr double SALINITY_MAX_PSU = 350.0;
inline constexpr UnitId SALINITY_UNIT_PSU = 97;

// The whole text as a number; nothing for an empty text or one that is not wholly a number.
std::optional<double> ReadTypedNumber(const CWideString& text);

// "(<min> to <max> <unit>)", the range label of an entry.
CWideString FormatRangeText(double min, double max, UnitId unit);

// A number within 0 to 350.
BOOL IsSalinityTextValid(const CWideString& text);

// The value entry popup's number: an empty text counts as 0; nothing for a text that is no number.
std::optional<float> ReadEntryValue(const CWideString& text);
// A number whose single-precision value lies within min and max.
BOOL IsEntryValueAccepted(const CWideString& text, float min, float max);
