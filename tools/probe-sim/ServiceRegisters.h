// Registers that the service program reads and writes one by one rather than through the device
// layer's register map:
//
//   47500  u32   serial number of the optical-DO core module (device types 36, 37 and 39), read-only
//   49004  time  manufacture date (part of the read-only identity block): the configured one, else
//                midnight 400 days before the device clock's start
//   49710  u16   second current loop: sensor connection
//   49711  u16   second current loop: parameter number
//   49712  float second current loop: first scale value
//   49714  float second current loop: second scale value
//   49716  u16   second current loop: 1 enabled, 0 disabled (other values refused)
//
// The second current loop exists only when the configuration asks for it; register map version 2
// and later then also report it in bit 9 of the interface configuration register 49500.
#pragma once

#include <cstdint>

#include "tools/probe-sim/InstrumentConfig.h"
#include "tools/probe-sim/InstrumentRegisters.h"

namespace probesim
{

namespace reg
{
inline constexpr uint16_t kCoreSerialNumber = 47500; // u32
inline constexpr uint16_t kManufactureDate = kFirstTimestamp;
inline constexpr uint16_t kLoop2Connection = 49710;
inline constexpr uint16_t kLoop2Parameter = 49711;
inline constexpr uint16_t kLoop2FirstScale = 49712;  // float
inline constexpr uint16_t kLoop2SecondScale = 49714; // float
inline constexpr uint16_t kLoop2Enable = 49716;
inline constexpr uint16_t kInterfaceSecondLoop = 0x0200;
} // namespace reg

// Device types whose optical-DO core has a serial number of its own.
bool HasCoreSerialNumber(uint16_t deviceType);
// The core's serial number: the configured one, else the device's times 10 (modulo 2^32).
uint32_t CoreSerialNumberOf(const InstrumentConfig& config);

// The manufacture date of an instrument whose configuration names none; now: the device clock.
DeviceTimestamp DefaultManufactureDate(DeviceTimestamp now);

// The second current loop's factory settings (a factory restore); nothing without one.
void ResetSecondCurrentLoop(RegisterModel& registers, const InstrumentConfig& config);

// Creates the registers above that the configuration has, after InstallRegisters.
void InstallServiceRegisters(RegisterModel& registers, const InstrumentConfig& config,
                             const InstrumentLayout& layout, DeviceTimestamp now);

} // namespace probesim
