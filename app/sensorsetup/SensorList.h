// What the sensor setup page lists: the probe's sensors, framed by "Temperature" and "All", and
// the parameter rows of the entry chosen. The page puts these into its list boxes.
#pragma once

#include <functional>
#include <vector>

#include "device/DeviceComm.h"
#include "foundation/DynArray.h"
#include "foundation/ParameterRecords.h"
#include "foundation/WideString.h"
#include "platform/Types.h"

// Item data of the two entries that are no sensor; every other entry carries its connection.
inline constexpr USHORT SENSOR_ENTRY_TEMPERATURE = 0;
inline constexpr USHORT SENSOR_ENTRY_ALL = 0xFFFF;

inline constexpr USHORT SENSOR_ID_PRESSURE_LEVEL_A = 32;
inline constexpr USHORT SENSOR_ID_PRESSURE_LEVEL_B = 33;
inline constexpr USHORT SENSOR_ID_PRESSURE_LEVEL_C = 34;
inline constexpr USHORT SENSOR_ID_PH_ORP = 27;
inline constexpr USHORT SENSOR_ID_CONDUCTIVITY = 35;
inline constexpr USHORT SENSOR_ID_CORE_CONDUCTIVITY = 85;
inline constexpr USHORT SENSOR_ID_OPTICAL_DO = 42;
inline constexpr USHORT SENSOR_ID_PRESSURE_DEPTH = 84;

// The remembered selection is cut to this many characters, so that the optical sensor's entry is
// found again when only its cap text changed.
inline constexpr uint32_t SENSOR_ENTRY_MATCH_LENGTH = 20;

inline bool IsSensorEntry(USHORT itemData)
{
    return itemData != SENSOR_ENTRY_TEMPERATURE && itemData != SENSOR_ENTRY_ALL;
}

struct sSensorEntry
{
    CWideString text;
    USHORT itemData = 0;
};

struct sSensorEntries
{
    std::vector<sSensorEntry> entries;
    CDynArray<USHORT> connections; // the active connections, in the device's order
    // FALSE when a read failed: the entries then hold what came before it, without "All".
    BOOL complete = FALSE;
};

// A connection that the table lists but whose sensor is not there (unplugged, or not attached).
bool IsAbsentSensor(HRESULT hr);

// "Temperature", one entry per active connection and "All". The entry text of a sensor: the
// optical sensor's is capText(); 32, 33 and 34 "Pressure/Level"; 27 "pH/ORP"; any other the sensor
// name. A failed connection list gives no entries at all; a sensor that is absent is left out, and
// any other failure to read a sensor id ends the list there.
sSensorEntries BuildSensorEntries(NVSystem::CDeviceComm& device, const std::function<CWideString()>& capText);

// The parameter readings of the connections (only that of the selected entry when it is a sensor
// and the cache may not be used), in order, appended to an emptied list; an absent sensor is left
// out. Any other failure ends the collection and is returned.
HRESULT CollectParameterReadings(NVSystem::CDeviceComm& device, const CDynArray<USHORT>& connections,
                                 USHORT itemData, BOOL useCache, CDynArray<sParameterReading>& readings);

// The list box's prefix search: the first entry, searching from the one after `start` round to
// `start` itself, whose text begins with the prefix regardless of case (an empty prefix matches at
// once); -1 when none does.
int FindEntryByPrefix(const std::vector<sSensorEntry>& entries, const CWideString& prefix, int start);

// The rows of the parameter list for the entry: "Temperature" the first temperature reading;
// "All" the first temperature and then every other reading; a sensor its own readings other than
// temperature. In the order given.
CDynArray<sParameterReading> ChooseParameterRows(USHORT itemData,
                                                 const CDynArray<sParameterReading>& readings);
