// The record of one sensor connection: it owns the sensor's register window (from the connection's
// base B: a 37-register header, then an 8-register block per parameter, then the sensor's own
// settings), caches the header and one reading per parameter, refreshes a reading on demand, sends
// the sensor commands and reaches single registers of the window by their offset from B.
//
// The device's sensor cache makes one per connection that holds a sensor and attaches it once. Every
// operation runs under the device's (re-entrant) lock, so the device's own operations, which hold
// it already, may call in. Multi-register values travel in the line's word order.
//
// Header fields (sSensorInfo): B+0 sensor id, B+1 u32 serial number, B+3 a word not kept, B+4, B+7,
// B+10, B+13 four time stamps (the second the next factory calibration date, the third the last
// user calibration date), B+16 warm-up ms, B+17 fastest sample rate ms, B+18 number of parameters
// P, B+19 and B+20 two further words, B+21..B+36 eight floats.
//
// Parameter block n (1..P) at K = B + 29 + 8n: K f32 value, K+2 parameter id, K+3 unit id
// (writable), K+4 quality word, K+5 f32 sentinel (writable), K+7 available units.
//
// The whole window must lie in the holding registers 40001..49999: a header, block or offset
// outside them is refused (MODBUSCOMM_E_INVALID_SENSOR_PORT, or MODBUSCOMM_E_INVALID_PARAMETER_NUMBER
// for a parameter block) instead of reaching whatever register a 16-bit sum would wrap to.
#pragma once

#include <cstdint>
#include <functional>

#include "comm/ModbusComm.h"
#include "device/SensorCache.h"
#include "foundation/BufferReader.h"
#include "foundation/ByteBuffer.h"
#include "foundation/DeviceTimestamp.h"
#include "foundation/DynArray.h"
#include "foundation/ParameterRecords.h"
#include "foundation/ResultCodes.h"
#include "foundation/ScopedLock.h"
#include "foundation/TraceLog.h"
#include "platform/Sync.h"
#include "platform/Types.h"

namespace NVSystem
{

class CDeviceComm;

// Words of the sensor command register.
inline constexpr USHORT SENSORCMD_CAL_MODE_ON = 0xE000;
inline constexpr USHORT SENSORCMD_UPDATE_CAL = 0xE001;
inline constexpr USHORT SENSORCMD_CAL_MODE_OFF = 0xE002;
// Also the command word of the continuous-sampling sequence.
inline constexpr USHORT SENSORCMD_RESTORE_CAL_DEFAULTS = 0xE003;
inline constexpr USHORT SENSORCMD_RESTORE_FACTORY_DEFAULTS = 0xE004;

inline constexpr USHORT SENSOR_HEADER_REGISTERS = 37;
inline constexpr USHORT SENSOR_PARAMETER_BLOCK_REGISTERS = 8;
inline constexpr USHORT SENSOR_QUALITY_NONE = 0x100; // what a live read reports before it has a value

// ReadSensorParameterBlocks modes.
inline constexpr ULONG SENSOR_BLOCKS_DESCRIPTIONS = 0; // one request list per parameter, values 0.0
inline constexpr ULONG SENSOR_BLOCKS_WITH_VALUES = 1;  // every block in one request list

// Register of parameter n's block, wide so that a window beyond 49999 shows.
constexpr uint32_t SensorParameterBlockRegister(USHORT base, USHORT parameter)
{
    return uint32_t{base} + 29u + uint32_t{SENSOR_PARAMETER_BLOCK_REGISTERS} * parameter;
}

class CSensorCtrl
{
public:
    static constexpr uint32_t kSignature = 0x43535452; // 'CSTR'

    CSensorCtrl() = default;
    CSensorCtrl(const CSensorCtrl&) = delete;
    CSensorCtrl& operator=(const CSensorCtrl&) = delete;
    // Gives back the network reference.
    ~CSensorCtrl();

    bool IsTagged() const { return m_nSignature == kSignature; }

    // Binds the record to its device, once, right after construction: E_POINTER without device or
    // network, MODBUSCOMM_E_INVALID_SENSOR_PORT for a connection outside 1..32 or a header that does
    // not fit the holding registers. Takes a network reference and a copy of the trace.
    HRESULT Attach(CDeviceComm* device, const SensorConnectionInfo& connection, CModbusComm* network,
                   platform::CCriticalSection* deviceLock, const CTraceLog& trace);
    // The device's trace once more (after the device attached its trace to a file).
    void CopyTrace(const CTraceLog& trace);

    // --- Header and parameter blocks ---

    // Empties the readings and reads the 37 header registers.
    HRESULT ReadSensorHeader();
    // Refreshes parameter n's reading; a failed read leaves it invalidated (value = sentinel,
    // status E_FAIL, time 1970-01-01).
    HRESULT ReadParameterBlock(USHORT parameter, BOOL withValue);
    // Re-reads every block: SENSOR_BLOCKS_DESCRIPTIONS, or any other mode with values.
    HRESULT ReadSensorParameterBlocks(ULONG mode);
    // One 16-byte block into a reading that carries the header's identity and parameter n.
    HRESULT DecodeParameterBlock(USHORT parameter, CBufferReader& reader, sParameterReading& reading);

    // --- Cached header values (the header is read when it is not valid) ---

    HRESULT GetSensorId(USHORT& sensorId);
    HRESULT GetSerialNumber(ULONG& serialNumber);
    HRESULT GetWarmupTime(ULONG& ms);
    HRESULT GetFastestSampleRate(ULONG& ms);
    HRESULT GetNextFactoryCalDate(CDeviceTimestamp& date);
    // From the sensor when continuous calibration sampling may have changed it, else cached.
    HRESULT GetLastUserCalDate(CDeviceTimestamp& date);
    // No lock, no bus traffic.
    HRESULT GetConnectionNumber(USHORT& connection);

    // --- Parameters (the descriptions are read when the blocks are not valid) ---

    HRESULT GetParameterId(USHORT parameter, USHORT& parameterId);
    HRESULT GetParameterUnitId(USHORT parameter, USHORT& unitId);
    HRESULT GetParameterSentinel(USHORT parameter, float& sentinel);
    // The live value: one block read, or the reading of the last read with cachedOnly.
    HRESULT GetParameterValue(USHORT parameter, float& value, USHORT& quality, USHORT& unitId,
                              BOOL cachedOnly);
    // Writes only when the unit changes; then re-reads the header and the parameter's block.
    HRESULT SetParameterUnitId(USHORT parameter, USHORT unitId);
    HRESULT SetParameterSentinel(USHORT parameter, float sentinel);
    // A fresh header with the parameter descriptions.
    HRESULT GetSensorInfo(sSensorInfo& info);
    // Every reading; read fresh (one request list) unless cached ones are allowed and valid.
    HRESULT GetParameters(CDynArray<sParameterReading>& readings, BOOL cachedAllowed);
    // Every reading as the sensor last measured them: the cached ones when the blocks were read
    // with their values, else read fresh (one request list). Descriptions never stand for values.
    HRESULT GetMeasuredParameters(CDynArray<sParameterReading>& readings);

    // --- Sensor commands ---

    HRESULT CalModeOn();
    HRESULT CalModeOff();
    // With the "Update Sensor TO" time-out.
    HRESULT UpdateCalibration();
    HRESULT RestoreCalDefaults();
    HRESULT RestoreFactoryDefaults();
    // Takes the device offline, then 0, 1, SENSORCMD_RESTORE_CAL_DEFAULTS and a closing 0 to the
    // command register. The device stays offline.
    HRESULT EnableCalContinuous();

    // --- Registers of the window by offset from B (read time-out for reads and writes) ---

    HRESULT ReadUShortAtOffset(USHORT offset, USHORT& value);
    HRESULT WriteUShortAtOffset(USHORT offset, USHORT value);
    HRESULT ReadULongAtOffset(USHORT offset, ULONG& value);
    HRESULT ReadFloatAtOffset(USHORT offset, float& value);
    HRESULT WriteFloatAtOffset(USHORT offset, float value);
    HRESULT ReadTimeAtOffset(USHORT offset, CDeviceTimestamp& time);

    // --- Range lists ---

    // One range per header field, in register order: 20 ranges, 37 registers.
    static BOOL BuildHeaderRanges(USHORT base, CDynArray<sRegisterBlock>& ranges);
    // The block at K: (K,2) (K+2,1) (K+3,1) (K+4,1) (K+5,2) (K+7,1), without the first range when
    // the value is not wanted. Appended to the list.
    static BOOL BuildParameterBlockRanges(USHORT blockRegister, BOOL withValue,
                                          CDynArray<sRegisterBlock>& ranges);

private:
    enum Checks : uint32_t
    {
        CHECK_SIGNATURE = 0, // the signature only
        CHECK_ATTACHED = 1,  // and device and network attached
    };

    // Checks, then runs the operation under the device lock; an exception becomes
    // MODBUSCOMM_E_INVALID_SENSOR_CTRL.
    template <typename Operation>
    HRESULT Run(Checks checks, Operation&& operation) noexcept
    {
        if (!IsTagged())
            return MODBUSCOMM_E_INVALID_SENSOR_THIS;
        try
        {
            if (checks == CHECK_ATTACHED && !IsAttached())
                return MODBUSCOMM_E_NO_CONNECTION;
            CScopedLock lock(m_pDeviceLock);
            return operation();
        }
        catch (...)
        {
            return MODBUSCOMM_E_INVALID_SENSOR_CTRL;
        }
    }

    bool IsAttached() const;
    // The device's address, 255 when the device is not usable.
    USHORT Address() const;
    USHORT Retries() const;
    BOOL HighWordFirst() const;
    // "Device: " address " Connection: " n.
    CTraceLog& Trace(TraceCtrl level);

    // Ranges through the device's packet limit and retries.
    HRESULT ReadRanges(const CDynArray<sRegisterBlock>& ranges, ULONG timeoutMs, CByteBuffer& data);
    // Reads the header unless it is valid.
    HRESULT PrepareHeader();
    // Parameter n exists in the cached header and its block fits the holding registers.
    HRESULT CheckParameter(USHORT parameter) const;
    // The blocks' descriptions when they are not valid, then CheckParameter.
    HRESULT PrepareParameter(USHORT parameter);
    // The cached-field getters: copy (which takes the field and traces it) runs once the header, or
    // parameter n's block, is in the cache.
    template <typename Copy>
    HRESULT FromHeader(Copy&& copy)
    {
        return Run(CHECK_ATTACHED,
                   [&]
                   {
                       if (const HRESULT hr = PrepareHeader(); Failed(hr))
                           return hr;
                       copy();
                       return S_OK;
                   });
    }
    template <typename Copy>
    HRESULT FromParameter(USHORT parameter, Copy&& copy)
    {
        return Run(CHECK_ATTACHED,
                   [&]
                   {
                       if (const HRESULT hr = PrepareParameter(parameter); Failed(hr))
                           return hr;
                       copy(m_Info.Parameters[parameter - 1u]);
                       return S_OK;
                   });
    }
    // Whether the device reports a type id of 4 or lower (sensors with a fixed sample time).
    bool IsEarlyDeviceType() const;
    // How long the sensor takes to sample: fixed for the early device types, else warm-up plus the
    // fastest sample rate.
    ULONG SampleTime() const;
    ULONG SingleBlockTimeout() const;
    ULONG AllBlocksTimeout() const;
    HRESULT SendCommand(USHORT command, const char16_t* success, const char16_t* failure);
    // The frame of the accesses by offset: the network is usable and the window holds the
    // registers, then the access to the register at the offset; a failure is traced.
    HRESULT AccessAtOffset(USHORT offset, USHORT registers, const char16_t* failure,
                           const std::function<HRESULT(USHORT registerNumber)>& access);
    USHORT OffsetRegister(USHORT offset) const;

    CDeviceComm* m_pDevice = nullptr;
    CModbusComm* m_pNetwork = nullptr; // one reference held
    BOOL m_bLastUserCalStale = FALSE;
    BOOL m_bHeaderValid = FALSE;
    BOOL m_bBlocksValid = FALSE;
    BOOL m_bBlocksMeasured = FALSE; // the valid blocks were read with their values
    uint32_t m_nSignature = kSignature;
    SensorConnectionInfo m_Connection;
    sSensorInfo m_Info;
    platform::CCriticalSection* m_pDeviceLock = nullptr;
    CTraceLog m_Trace;
};

} // namespace NVSystem
