// What an instrument publishes about its sensor connections, and the device's cache of it.
//
// The connection table lies in holding registers: the number of connections N at the register map's
// SensorCount entry, the u32 mask of connections that hold a sensor after it, and five registers per
// connection from 49303: word 0, register 1, the sensor command register, word 3 and the sensor's
// register offset (its register window starts at offset + 40000). The device builds the cache on
// first use: one SensorConnectionInfo per connection and one CSensorCtrl per connection that holds a
// sensor.
//
// The cache belongs to its device and is read, built and dropped only under the device lock. A
// record found in it may be used only while that lock is held: CLockedSensor carries the two
// together for callers outside the device.
#pragma once

#include <cstdint>

#include "foundation/DynArray.h"
#include "platform/Sync.h"
#include "platform/Types.h"

namespace NVSystem
{

class CSensorCtrl;

inline constexpr USHORT SENSOR_MAX_CONNECTIONS = 32;
inline constexpr USHORT REG_SENSOR_CONNECTIONS = 49303;
inline constexpr USHORT SENSOR_CONNECTION_REGISTERS = 5;
inline constexpr USHORT SENSOR_REGISTER_OFFSET_BASE = 40000;
// Every register of a sensor window is a holding register.
inline constexpr uint32_t SENSOR_WINDOW_FIRST = 40001;
inline constexpr uint32_t SENSOR_WINDOW_LAST = 49999;

// Register `index` (0..4) of connection k's five.
constexpr USHORT SensorConnectionRegister(USHORT connection, USHORT index)
{
    return static_cast<USHORT>(REG_SENSOR_CONNECTIONS + SENSOR_CONNECTION_REGISTERS * (connection - 1) +
                               index);
}

// Whether count registers from first lie inside the holding registers a sensor window may use.
// Computed wide: a base and an offset that a 16-bit sum would wrap are refused, not wrapped.
constexpr bool SensorWindowHolds(uint32_t first, uint32_t count)
{
    return count > 0 && first >= SENSOR_WINDOW_FIRST && first + count - 1 <= SENSOR_WINDOW_LAST;
}

struct SensorConnectionInfo
{
    USHORT DeviceTypeId = 0; // the device's, from its identity record
    USHORT Connection = 0;   // k, 1..32
    USHORT Word0 = 0;
    USHORT Word3 = 0;
    USHORT SensorBase = 0;      // B, the first register of the sensor window
    USHORT CommandRegister = 0; // the connection's sensor command register
    USHORT Register1 = 0;       // number of the connection's register 1
    ULONG DeviceSerialNumber = 0;
};

struct SensorCache
{
    SensorCache() = default;
    SensorCache(const SensorCache&) = delete;
    SensorCache& operator=(const SensorCache&) = delete;
    ~SensorCache() { Clear(); }

    // Not built, no connections, and every sensor record destroyed.
    void Clear();

    BOOL m_bBuilt = FALSE;
    USHORT m_nConnectionCount = 0;                 // N
    ULONG m_nActiveMask = 0;                       // bit k-1: connection k holds a sensor
    CDynArray<SensorConnectionInfo> m_Connections; // entry k-1 for connection k
    CDynArray<CSensorCtrl*> m_Sensors;             // owned, ascending connection order
};

// A connection's sensor record together with its device's lock, held from the lookup
// (CDeviceComm::FindSensorAtConnection) until this object goes or is reset: no other thread can
// rebuild the cache and destroy the record meanwhile. Hold it for the work at hand only, and never
// while waiting for another thread or taking a lock that comes before the device lock (the device's
// file-transfer lock, the probe connection's lock).
class CLockedSensor
{
public:
    CLockedSensor() = default;
    CLockedSensor(const CLockedSensor&) = delete;
    CLockedSensor& operator=(const CLockedSensor&) = delete;
    ~CLockedSensor() { Reset(); }

    CSensorCtrl* Get() const { return m_pSensor; }
    CSensorCtrl* operator->() const { return m_pSensor; }
    explicit operator bool() const { return m_pSensor != nullptr; }

    // Lets the record and the lock go.
    void Reset();

private:
    friend class CDeviceComm;
    // Takes over a lock the caller has taken once.
    void Hold(platform::CCriticalSection& lock, CSensorCtrl* sensor);

    platform::CCriticalSection* m_pLock = nullptr;
    CSensorCtrl* m_pSensor = nullptr;
};

} // namespace NVSystem
