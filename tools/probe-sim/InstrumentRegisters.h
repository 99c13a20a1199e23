// The instrument's register layout: the identity and state block 49000-49115, the communication
// settings 49200-49210, the interface configuration and analog output, the measurement-cache
// time-out and the family's own registers (DeviceTypes.h). Register numbers are five-digit.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/probe-sim/DeviceTypes.h"
#include "tools/probe-sim/InstrumentConfig.h"
#include "tools/probe-sim/RegisterModel.h"

namespace probesim::reg
{

inline constexpr uint16_t kIdentityFirst = 49000; // the template version on some families
inline constexpr uint16_t kDeviceType = 49001;
inline constexpr uint16_t kSerialNumber = 49002; // u32
inline constexpr uint16_t kFirstTimestamp = 49004;
inline constexpr uint16_t kTotalLogMemory = 49011;    // u32
inline constexpr uint16_t kTotalBatteryTicks = 49013; // u32
inline constexpr uint16_t kSecondTimestamp = 49015;
inline constexpr uint16_t kDeviceCommand = 49018;
inline constexpr uint16_t kDeviceName = 49019;       // 32 characters
inline constexpr uint16_t kSiteName = 49051;         // 32 characters
inline constexpr uint16_t kFirstDouble = 49083;      // three IEEE doubles, 4 registers each
inline constexpr uint16_t kSoftwareRegister = 49095; // u32
inline constexpr uint16_t kDeviceTime = 49097;       // time stamp
inline constexpr uint16_t kDeviceStatus = 49100;     // u32
inline constexpr uint16_t kBatteryUsed = 49102;      // u32
inline constexpr uint16_t kMemoryUsed = 49104;       // u32
inline constexpr uint16_t kActiveLogFile = 49106;
inline constexpr uint16_t kActiveLogStatus = 49107;
inline constexpr uint16_t kDeviceGuid = 49108; // 8 registers, register map version 3 and later
inline constexpr uint16_t kIdentityLast = 49115;

inline constexpr uint16_t kDeviceAddress = 49200;
inline constexpr uint16_t kLineSettings = 49201;
inline constexpr uint16_t kEom = 49202;
inline constexpr uint16_t kEos = 49203;
inline constexpr uint16_t kGoodMessages = 49206;      // u32
inline constexpr uint16_t kBadMessages = 49208;       // u16
inline constexpr uint16_t kExceptionMessages = 49209; // u16
inline constexpr uint16_t kStayAwake = 49210;
inline constexpr uint16_t kMeasurementCacheTimeout = 49463;

inline constexpr uint16_t kInterfaceConfiguration = 49500;
inline constexpr uint16_t kAnalogSensor = 49501;
inline constexpr uint16_t kAnalogParameter = 49502;
inline constexpr uint16_t kAnalogFullScale = 49503; // float
inline constexpr uint16_t kAnalogZeroScale = 49505; // float
inline constexpr uint16_t kAnalogDisable = 49507;
// Register map version 1 keeps the analog output among the 4xxxx settings, without sensor number
// and disable register.
inline constexpr uint16_t kAnalogParameterV1 = 40115;
inline constexpr uint16_t kAnalogFullScaleV1 = 40116;
inline constexpr uint16_t kAnalogZeroScaleV1 = 40118;

inline constexpr uint32_t kStatusOffline = 0x200;
inline constexpr uint16_t kInterfaceSdi12 = 0x0001;
inline constexpr uint16_t kInterfaceAnalogOutput = 0x0002;
inline constexpr uint16_t kInterfaceStayAwake = 0x1000;

inline constexpr uint16_t kScratchPadRegisters = 10;

} // namespace probesim::reg

namespace probesim
{

// The resolved facts of one instrument that decide its layout.
struct InstrumentLayout
{
    uint16_t templateVersion = 0;
    FamilyRegisters family;
    bool stayAwakeRegister = false;
    bool interfaceRegister = false;
    bool analogRegisters = false;          // in the 49500 block (version 2 on) or at 40115 (version 1)
    bool measurementCacheRegister = false; // 49463
    bool fileCommandRegisters = false;     // register map version below 3
};

InstrumentLayout LayoutOf(const InstrumentConfig& config);

// Creates every register of the layout with its initial value, and the read-only guards (which
// must run before any other write hook, so that a refused write has no side effects).
void InstallRegisters(RegisterModel& registers, const InstrumentConfig& config,
                      const InstrumentLayout& layout, uint8_t address, const LineSettings& line,
                      DeviceTimestamp now);

// The settings a factory restore brings back, at the given address and line settings.
void WriteSettings(RegisterModel& registers, const InstrumentConfig& config, const InstrumentLayout& layout,
                   uint8_t address, const LineSettings& line);

// The scratch pad as 20 bytes; empty when the instrument has none.
std::vector<uint8_t> ReadScratchPad(const RegisterModel& registers, const InstrumentLayout& layout);

} // namespace probesim
