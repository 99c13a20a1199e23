// What the system knows about one sensor connection: the decoded sensor header with its
// parameters (sSensorInfo) and one measured parameter (sParameterReading); both are value types
// copied freely. Also the decoders of the device words that go with them.
#pragma once

#include <cstdint>

#include "foundation/BufferReader.h"
#include "foundation/DeviceTimestamp.h"
#include "foundation/DynArray.h"
#include "foundation/SystemTime.h"
#include "foundation/WideString.h"
#include "platform/Types.h"

struct sParameterReading
{
    sParameterReading() { Reset(); }
    sParameterReading(const sParameterReading&) = default;
    sParameterReading& operator=(const sParameterReading&) = default;
    ~sParameterReading() { Reset(); }

    // All numbers 0, reading time 1970-01-01 00:00:00.000 (day of week 4), status E_FAIL.
    void Reset();

    USHORT Address;         // Modbus address of the device
    USHORT DeviceTypeId;    // copied from sSensorInfo
    USHORT Connection;      // copied from sSensorInfo
    USHORT SensorId;        // copied from sSensorInfo
    USHORT ParameterNumber; // 1-based position in the sensor
    USHORT ParameterId;
    USHORT UnitId;
    USHORT Quality;           // low 4 bits a quality code, bits 4-15 a count
    USHORT AvailableUnits;    // bit i: unit class base + i is offered
    ULONG DeviceSerialNumber; // copied from sSensorInfo
    ULONG SerialNumber;       // the sensor's, copied from sSensorInfo
    float Value;
    float Sentinel;         // what the device reports without a valid reading
    SYSTEMTIME ReadingTime; // UTC, the PC's time of the read
    HRESULT Status;         // result of the read that produced the value
};

// Register form of one parameter block: value (f32), parameter id, unit id, quality (u16 each),
// sentinel (f32), available units (u16): 16 bytes. The first failure of the reader is returned;
// the fields read before it are kept.
HRESULT DecodeParameterBlock(CBufferReader& reader, sParameterReading& reading);

struct sParamSelection
{
    USHORT Connection = 1;
    USHORT ParameterNumber = 1;
};

struct sSensorInfo
{
    sSensorInfo() = default;
    sSensorInfo(const sSensorInfo& other) { *this = other; }
    // Header fields, time stamps, then the parameter array element by element (member order).
    sSensorInfo& operator=(const sSensorInfo& other) = default;
    ~sSensorInfo() { Clear(); }

    // Zero header fields, cleared time stamps, empty parameter array.
    void Clear();
    // Index of the first reading with that parameter number, -1 when none.
    int FindParameter(USHORT parameterNumber) const;

    USHORT Address = 0;
    USHORT DeviceTypeId = 0;
    USHORT Connection = 0;
    USHORT SensorId = 0;
    USHORT HeaderWord19 = 0; // the two further header words
    USHORT HeaderWord20 = 0;
    USHORT WarmupTime = 0;        // ms
    USHORT FastestSampleRate = 0; // ms per parameter
    USHORT ParameterCount = 0;    // a parameter number above it is refused
    ULONG DeviceSerialNumber = 0;
    ULONG SerialNumber = 0;
    float CalValues[8] = {};
    CDeviceTimestamp FirstTimestamp;
    CDeviceTimestamp NextFactoryCalDate;
    CDeviceTimestamp LastUserCalDate;
    CDeviceTimestamp FourthTimestamp;
    CDynArray<sParameterReading> Parameters; // element n-1 for parameter n
};

// The 74-byte register form of the sensor header into the fields it carries (sensor id, serial
// number, a dropped word, the four time stamps, warm-up, sample rate, parameter count, the two
// header words, then eight floats that go to CalValues[6], [7], [4], [5], [1], [0], [3], [2]).
// Address, device type, connection and device serial number are not in it. The first failure of
// the reader is returned.
HRESULT DecodeSensorHeader(CBufferReader& reader, sSensorInfo& info);

inline constexpr USHORT FILECMD_READ = 0xF000;
inline constexpr USHORT FILECMD_WRITE = 0xF001;

// Request (and reply) of a device file command, fields in the order the request carries them.
struct sFileCommand
{
    sFileCommand(USHORT command, USHORT fileNumber) : Command(command), FileNumber(fileNumber) {}
    sFileCommand(USHORT command, USHORT fileNumber, ULONG size)
        : Command(command), FileNumber(fileNumber), Size(size)
    {
    }

    USHORT Command = 0;
    USHORT FileNumber = 0;
    ULONG Size = 0;
    CDeviceTimestamp Start;
    CDeviceTimestamp Stop;
};

// For each set bit i of the available units, ascending: the unit class base of the parameter id
// plus i.
CDynArray<USHORT> GetParameterUnitIds(const sParameterReading& reading);

// mode = bit 0; baud rate id = bits 1-3 + 5; data bits id = bit 4; parity id = bits 5-6; stop
// bits id = bit 7.
void DecodeSerialConfigWord(USHORT word, uint32_t& mode, uint32_t& baudRateId, uint32_t& dataBitsId,
                            uint32_t& parityId, uint32_t& stopBitsId);
// "%.2f" of word / 100 in single precision; "Unknown" for 65535.
CWideString FormatVersionText(USHORT word);
// "%3.2f" of word / 100 in a buffer of the calling thread that its next call overwrites.
const char16_t* GetVersionText(USHORT word);
