// The words of a calibration run that the data objects and the wizard pages share: states,
// stability levels, the calibration solutions and the result codes of the calibration operations.
#pragma once

#include <cstdint>

#include "foundation/WideString.h"
#include "platform/Types.h"

// What the worker does in each cycle. The pages set RUN, HOLD and ACCEPT; the worker turns ACCEPT
// into HOLD in its next cycle.
inline constexpr int32_t CAL_STATE_IDLE = 0;   // readings only, before sampling began
inline constexpr int32_t CAL_STATE_RUN = 1;    // readings, and calibration samples of the current point
inline constexpr int32_t CAL_STATE_HOLD = 2;   // readings only; the collected samples stay
inline constexpr int32_t CAL_STATE_ACCEPT = 3; // the page accepted the current point

inline constexpr int32_t CAL_STABILITY_NONE = 0;
inline constexpr int32_t CAL_STABILITY_NOMINAL = 1;
inline constexpr int32_t CAL_STABILITY_FULL = 2;

// "None", "Nominal", and "Full" for every higher level.
const char16_t* StabilityWord(int32_t level);

inline constexpr int32_t CAL_SOLUTION_PH4 = 0;
inline constexpr int32_t CAL_SOLUTION_PH7 = 1;
inline constexpr int32_t CAL_SOLUTION_PH10 = 2;
inline constexpr int32_t CAL_SOLUTION_ZOBELL = 10;
inline constexpr int32_t CAL_SOLUTION_DO_100 = 20;
inline constexpr int32_t CAL_SOLUTION_DO_0 = 21;
inline constexpr int32_t CAL_SOLUTION_COND_147 = 30;
inline constexpr int32_t CAL_SOLUTION_COND_1413 = 31;
inline constexpr int32_t CAL_SOLUTION_COND_12890 = 32;
inline constexpr int32_t CAL_SOLUTION_COND_58670 = 33;
inline constexpr int32_t CAL_SOLUTION_USER = 40;
inline constexpr int32_t CAL_SOLUTION_NONE = 41;

struct CalSolution
{
    int32_t id;
    const char16_t* name;
};

// The twelve solutions in the order the pages list them.
inline constexpr int kCalSolutionCount = 12;
extern const CalSolution g_CalSolutions[kCalSolutionCount];

// The name of a solution id; FALSE and an empty name for an id the table does not hold.
BOOL GetSolutionName(int32_t id, CWideString& name);

inline constexpr HRESULT E_HANDLE = ResultCode(0x80070006u);      // no worker
inline constexpr HRESULT E_NOINTERFACE = ResultCode(0x80004002u); // no network object

// Quality word of a sample taken in calibration mode: "Sensor Calibrating" with no count bits.
inline constexpr USHORT kQualitySensorCalibrating = 6;

// Units the calibration works in.
inline constexpr USHORT kUnitCelsius = 1;
inline constexpr USHORT kUnitMilliBar = 21;
inline constexpr USHORT kUnitMicroSiemensPerCm = 65;
inline constexpr USHORT kUnitMilligramPerLitre = 117;
inline constexpr USHORT kUnitMilliVolt = 162;
