// The register numbers of one instrument. Which five-digit holding register carries which value
// depends on the instrument's register map version and device type, so every device object keeps
// its own table; device operations take their numbers from it. An entry of 0 means that the
// instrument has no such register.
#pragma once

#include "platform/Types.h"

namespace NVSystem
{

// The registers that operations address directly, whatever the map says.
inline constexpr USHORT REG_DEVICE_COMMAND = 49018;
inline constexpr USHORT REG_STAY_AWAKE = 49210; // 0 = disabled
inline constexpr USHORT REG_INTERFACE_CONFIGURATION = 49500;
inline constexpr USHORT REG_ANALOG_OUTPUT_DISABLE = 49507; // non-zero = output disabled
inline constexpr USHORT REG_MEASUREMENT_CACHE_TIMEOUT = 49463;

// Bits of the Interface Configuration register.
inline constexpr USHORT INTERFACE_SDI12 = 0x0001;
inline constexpr USHORT INTERFACE_ANALOG_OUTPUT = 0x0002;
inline constexpr USHORT INTERFACE_STAY_AWAKE = 0x1000;

// Device status bit of the instrument while it is offline.
inline constexpr ULONG DEVICE_STATUS_OFFLINE = 0x200;

// The scratch pad is ten registers.
inline constexpr USHORT SCRATCH_PAD_REGISTERS = 10;
inline constexpr uint32_t SCRATCH_PAD_BYTES = 2 * SCRATCH_PAD_REGISTERS;

// The analog sensor number entry of register map version 1: not a register, never accessed.
inline constexpr USHORT ANALOG_SENSOR_NONE_V1 = 1;

struct sRegisterMap
{
    USHORT DeviceTypeId = 0;
    USHORT SerialNumber = 0; // u32
    USHORT FirstTimestamp = 0;
    USHORT Reserved49007 = 0;
    USHORT Reserved49008 = 0;
    USHORT Reserved49009 = 0;
    USHORT Reserved49010 = 0;
    USHORT TotalLogMemory = 0;    // u32
    USHORT TotalBatteryTicks = 0; // u32
    USHORT SecondTimestamp = 0;
    USHORT DeviceCommand = 0;
    USHORT DeviceName = 0; // 32 characters
    USHORT SiteName = 0;   // 32 characters
    USHORT DeviceGuid = 0; // 8 registers; register map version 3 and later
    USHORT Double49083 = 0;
    USHORT Double49087 = 0;
    USHORT Double49091 = 0;
    USHORT SoftwareRegister = 0; // u32
    USHORT DeviceTime = 0;       // time stamp; first of the status block
    USHORT DeviceStatus = 0;     // u32
    USHORT BatteryUsed = 0;      // u32
    USHORT MemoryUsed = 0;       // u32
    USHORT ActiveLogFileNumber = 0;
    USHORT ActiveLogStatus = 0;
    USHORT DeviceAddress = 0;
    USHORT CommSettings = 0;
    USHORT Eom = 0;
    USHORT Eos = 0;
    USHORT Reserved49204 = 0;
    USHORT Reserved49205 = 0;
    USHORT GoodMsgCounter = 0; // u32
    USHORT BadMsgCounter = 0;
    USHORT ExceptionMsgCounter = 0;
    USHORT Reserved49297 = 0;
    USHORT Reserved49298 = 0;
    USHORT SensorCount = 0;
    USHORT SensorConnectionMask = 0; // u32
    USHORT MeasurementCacheTimeout = 0;
    USHORT AnalogSensorNumber = 0;
    USHORT AnalogParameterNumber = 0;
    USHORT AnalogFullScale = 0; // float
    USHORT AnalogZeroScale = 0; // float
    // Set by the instrument classes; InitRegisterMap leaves them alone (the scratch pad aside).
    USHORT TemplateVersion = 0;
    USHORT ScratchPad = 0;
    USHORT ExternalVoltage = 0;
    USHORT InternalBatteryVoltage = 0;
    USHORT TotalMeasurementCounter = 0; // u32
    USHORT TotalBatteryCounter = 0;     // u32
};

// Fills the entries that follow from the register map version and device type of the identity
// record and from the version read from the instrument's template-version register.
void FillRegisterMap(sRegisterMap& map, USHORT registerMapVersion, USHORT deviceTypeId,
                     USHORT probeRegisterMapVersion);

} // namespace NVSystem
