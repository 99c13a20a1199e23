// The short names of the data quality codes that the probe reports with each value, for both
// register-map generations, their longer descriptions, and the display name of a parameter.
#pragma once

#include <cstddef>
#include <functional>

#include "foundation/WideString.h"
#include "platform/Types.h"

inline constexpr size_t STATUS_NAMES_V1_COUNT = 9;
inline constexpr size_t STATUS_NAMES_V3_COUNT = 10;
inline constexpr size_t STATUS_DESCRIPTIONS_COUNT = 10;

// Indexed by the quality code; register-map version 1 and version 3.
extern const char16_t* const g_StatusNamesV1[STATUS_NAMES_V1_COUNT];
extern const char16_t* const g_StatusNamesV3[STATUS_NAMES_V3_COUNT];
// Indexed like g_StatusNamesV3; empty where a code has none.
extern const char16_t* const g_StatusDescriptions[STATUS_DESCRIPTIONS_COUNT];

// The name of the code in the table of the register-map version ("Unknown" for another version or a
// code past the table): the name alone for code 0, "<code> - <name>" otherwise.
CWideString FormatSensorStatusText(USHORT code, USHORT registerMapVersion);
// The widest of the texts FormatSensorStatusText gives for every code of both tables, as the
// measure (a window's font metrics) gives widths.
int GetMaxStatusTextWidth(const std::function<int(const CWideString& text)>& measure);
// The system string 10328 ("Partial Pressure Oxygen") for parameter id 2 of the optical-DO sensor
// (sensor id 42); otherwise, or when that string is empty, the parameter id's name.
CWideString GetParameterDisplayName(USHORT sensorId, USHORT parameterId);
