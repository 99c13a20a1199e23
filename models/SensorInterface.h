// The root of the sensor interfaces. Every sensor the system talks to is seen through one of the
// typed interfaces derived from it: a separate adapter object that belongs to a multi-sensor device
// (one per connection) or an interface part built into a single-sensor device object. Callers ask
// GetSensorType what a sensor is and move between its interfaces only through the cast operations
// below, which answer the object itself when the interface lies on its chain and null otherwise;
// nothing relies on run-time type information or on the compiler's object layout.
//
// Shapes of the typed operations (a result code, negative on failure, unless said otherwise):
//   parameter read   (out f32 value, out u16 quality, out u16 unit id, cachedOnly): cachedOnly takes
//                    the device's cached measurement instead of reading
//   unit             Get(out u16 unit id) / Set(u16 unit id)
//   sentinel         Get(out f32) / Set(f32): what the device reports while a parameter has no value
//   float setting    Read(out f32) / Set or Write(f32): one IEEE float held in two registers
//   serial number    (out u32 serial): 0 and the failure when it cannot be had
//   connection       () -> u16; cannot fail
//   command, note    () -> result
//
// An interface holds no data of its own. The device must outlive the adapters bound to it; a
// built-in interface lives and dies with its device.
#pragma once

#include <cstdint>

#include "platform/Types.h"

namespace NVSystem
{

class CLogFile;
class ISensor_Temperature;
class ISensor_PressureTemp;
class ISensor_PressureTempLevel;
class ISensor_FlowHeadTemp;
class ISensor_ConductivityPTL;
class ISensor_Conductivity;
class ISensor_VoxPro;
class ISensor_pHORP;
class ISensor_pH;
class ISensor_ORP;
class ISensor_Turbidity;
class ISensor_Barometric;
class ISensor_Nitrate;
class ISensor_Ammonium;
class ISensor_Chloride;
class ISensor_Fluorometer;
class ISensor_PressureDepth;

// What GetSensorType answers. Ids 15 to 23 are not used. The depth sensor of the VOX core device
// keeps the root's SENSOR_TYPE_UNKNOWN: callers reach it only through the device's depth getter.
inline constexpr ULONG SENSOR_TYPE_NONE = 0; // temperature only, or a fluorometer
inline constexpr ULONG SENSOR_TYPE_PRESSURE_TEMP = 1;
inline constexpr ULONG SENSOR_TYPE_LEVEL = 2;
inline constexpr ULONG SENSOR_TYPE_CONDUCTIVITY = 3;
inline constexpr ULONG SENSOR_TYPE_CONDUCTIVITY_PTL = 4;
inline constexpr ULONG SENSOR_TYPE_VOX = 5;
inline constexpr ULONG SENSOR_TYPE_FLOW_HEAD_TEMP = 6;
inline constexpr ULONG SENSOR_TYPE_PH_ORP = 7;
inline constexpr ULONG SENSOR_TYPE_PH = 8;
inline constexpr ULONG SENSOR_TYPE_ORP = 9;
inline constexpr ULONG SENSOR_TYPE_TURBIDITY = 10;
inline constexpr ULONG SENSOR_TYPE_BAROMETRIC = 11;
inline constexpr ULONG SENSOR_TYPE_NITRATE = 12;
inline constexpr ULONG SENSOR_TYPE_AMMONIUM = 13;
inline constexpr ULONG SENSOR_TYPE_CHLORIDE = 14;
inline constexpr ULONG SENSOR_TYPE_UNKNOWN = 24;

class ISensor_Interface
{
public:
    // The deleting form frees the object (for a built-in interface: the whole device).
    virtual ~ISensor_Interface() = default;

    virtual ULONG GetSensorType() { return SENSOR_TYPE_UNKNOWN; }
    // Adds the sensor's meta-tags to a log file description; E_FAIL where the sensor has none.
    virtual HRESULT FillLogFileMeta(CLogFile& /*logFile*/) { return E_FAIL; }

    // Each typed interface answers its own cast with itself; everything else is null.
    virtual ISensor_Temperature* AsTemperature() { return nullptr; }
    virtual ISensor_PressureTemp* AsPressureTemp() { return nullptr; }
    virtual ISensor_PressureTempLevel* AsPressureTempLevel() { return nullptr; }
    virtual ISensor_ConductivityPTL* AsConductivityPTL() { return nullptr; }
    virtual ISensor_Conductivity* AsConductivity() { return nullptr; }
    virtual ISensor_VoxPro* AsVoxPro() { return nullptr; }
    virtual ISensor_FlowHeadTemp* AsFlowHeadTemp() { return nullptr; }
    virtual ISensor_pHORP* AspHORP() { return nullptr; }
    virtual ISensor_pH* AspH() { return nullptr; }
    virtual ISensor_ORP* AsORP() { return nullptr; }
    virtual ISensor_Turbidity* AsTurbidity() { return nullptr; }
    virtual ISensor_Barometric* AsBarometric() { return nullptr; }
    virtual ISensor_Nitrate* AsNitrate() { return nullptr; }
    virtual ISensor_Ammonium* AsAmmonium() { return nullptr; }
    virtual ISensor_Chloride* AsChloride() { return nullptr; }
    // Null in every class.
    virtual ISensor_Interface* AsReserved18() { return nullptr; }
    virtual ISensor_Interface* AsReserved19() { return nullptr; }
    virtual ISensor_Interface* AsReserved20() { return nullptr; }

protected:
    ISensor_Interface() = default;
    ISensor_Interface(const ISensor_Interface&) = default;
    ISensor_Interface& operator=(const ISensor_Interface&) = default;
};

} // namespace NVSystem
