// Meta-tags that several logging instruments add alike to a log set up now: their lifetime counters,
// the specific-conductance curve of a logged specific conductance, and the level reference facts of
// a log of a level that measures from a reference (depth to water, surface elevation).
#pragma once

#include "device/DeviceComm.h"
#include "device/LogFile.h"
#include "foundation/DynArray.h"
#include "models/SensorInterfaces.h"

namespace NVSystem
{

// The software register bits of the level reference choice: bit 31 says the user chose to set the
// reference later, bit 2 that a reference was set with the log.
inline constexpr ULONG SOFTWARE_BIT_REMIND_LATER = 31;
inline constexpr ULONG SOFTWARE_BIT_REFERENCE_SET = 2;

// The battery and total measurement counters, each where the device gives it; nothing fails.
void SetCounterMetaTags(CDeviceComm& device, CLogFile& logFile);

// The level of the moment: the pressure offset, the temperature with its unit, the level from
// pressure with the pressure it stands on and their units, the level's under levelUnitTag. A failing
// read is the result; what was stored before it stays, and the stores themselves are not checked.
HRESULT SetLevelOfTheMomentMetaTags(CLogFile& logFile, ISensor_PressureTempLevel& sensor, ULONG levelUnitTag);

// The method the curve stands for, the reference temperature, alpha and the first eight betas
// (missing ones as 0.0); the first failing store is the result.
HRESULT SetSpecCondMetaTags(CLogFile& logFile, float referenceTemperature, float alpha,
                            const CDynArray<float>& betas);

// The level reference mode: 1 when the log was set up with a new level reference (its file flag),
// 4 when the user chose to set it later (software register bit 31), none otherwise; with the
// reference and its pressure from the level sensor, where there is one. A failure to read the bit,
// to read or store the two references, or to store the mode is the result; the register bits and
// the other tags follow the choice as far as the device lets them.
HRESULT SetLevelReferenceMetaTags(CDeviceComm& device, CLogFile& logFile, ISensor_PressureTempLevel* level);

} // namespace NVSystem
