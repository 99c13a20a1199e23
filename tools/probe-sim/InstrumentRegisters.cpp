#include "tools/probe-sim/InstrumentRegisters.h"

#include <bit>

namespace probesim
{

namespace
{

void SetDouble(RegisterModel& registers, uint16_t number, double value)
{
    const auto bits = std::bit_cast<uint64_t>(value);
    registers.SetU32(number, static_cast<uint32_t>(bits >> 32));
    registers.SetU32(static_cast<uint16_t>(number + 2), static_cast<uint32_t>(bits));
}

void Zero(RegisterModel& registers, uint16_t first, uint16_t count)
{
    for (uint16_t i = 0; i < count; ++i)
        registers.SetU16(static_cast<uint16_t>(first + i), 0);
}

void ReadOnly(RegisterModel& registers, uint16_t first, uint16_t count)
{
    registers.AddWriteHook(first, count,
                           [](RegisterModel&, const RegisterWrite&)
                           { return std::optional<ExceptionCode>(ExceptionCode::WriteReadOnly); });
}

// Sixteen bytes that tell instruments apart: a marker, the serial number, type and map version.
void SetGuid(RegisterModel& registers, const InstrumentConfig& config)
{
    registers.SetU16(reg::kDeviceGuid, 0x5349); // "SI"
    registers.SetU16(reg::kDeviceGuid + 1, 0x4D00);
    registers.SetU32(reg::kDeviceGuid + 2, config.serialNumber);
    registers.SetU16(reg::kDeviceGuid + 4, config.deviceType);
    registers.SetU16(reg::kDeviceGuid + 5, config.registerMapVersion);
    registers.SetU32(reg::kDeviceGuid + 6, config.hardwareVersion);
}

void InstallFamily(RegisterModel& registers, const InstrumentLayout& layout)
{
    const FamilyRegisters& family = layout.family;
    // 49000 belongs to the identity block and is written there.
    if (family.templateVersion != 0 && family.templateVersion != reg::kIdentityFirst)
    {
        registers.SetU16(family.templateVersion, layout.templateVersion);
        ReadOnly(registers, family.templateVersion, 1);
    }
    if (family.externalVoltage != 0 && family.externalVoltage != reg::kIdentityFirst)
    {
        registers.SetU16(family.externalVoltage, 1200); // hundredths of a volt
        ReadOnly(registers, family.externalVoltage, 1);
    }
    if (family.internalBatteryVoltage != 0)
    {
        registers.SetU16(family.internalBatteryVoltage, 360);
        ReadOnly(registers, family.internalBatteryVoltage, 1);
    }
    if (family.totalMeasurementCounter != 0)
    {
        registers.SetU32(family.totalMeasurementCounter, 0);
        ReadOnly(registers, family.totalMeasurementCounter, 2);
    }
    if (family.totalBatteryCounter != 0)
    {
        registers.SetU32(family.totalBatteryCounter, 0);
        ReadOnly(registers, family.totalBatteryCounter, 2);
    }
    if (family.gravityChange != 0)
        registers.SetU16(family.gravityChange, 1);
}

} // namespace

InstrumentLayout LayoutOf(const InstrumentConfig& config)
{
    InstrumentLayout layout;
    const uint16_t version = config.registerMapVersion;
    layout.templateVersion = config.templateVersion.value_or(version);
    layout.family = FamilyRegistersOf(config.deviceType, layout.templateVersion);
    layout.interfaceRegister = version >= 2;
    layout.stayAwakeRegister = version >= 2 && config.stayAwakeSupported;
    layout.analogRegisters = version < 2 || config.analogOutputSupported;
    layout.measurementCacheRegister = version >= 3 && HasMeasurementCacheRegister(config.deviceType);
    layout.fileCommandRegisters = version < 3;
    return layout;
}

void InstallRegisters(RegisterModel& registers, const InstrumentConfig& config,
                      const InstrumentLayout& layout, uint8_t address, const LineSettings& line,
                      DeviceTimestamp now)
{
    // Identity and state.
    registers.SetU16(reg::kIdentityFirst, layout.templateVersion);
    registers.SetU16(reg::kDeviceType, config.deviceType);
    registers.SetU32(reg::kSerialNumber, config.serialNumber);
    SetTimestamp(registers, reg::kFirstTimestamp, {});
    Zero(registers, 49007, 4);
    registers.SetU32(reg::kTotalLogMemory, 4u << 20);
    registers.SetU32(reg::kTotalBatteryTicks, 1000000);
    SetTimestamp(registers, reg::kSecondTimestamp, {});
    ReadOnly(registers, reg::kIdentityFirst, reg::kDeviceCommand - reg::kIdentityFirst);
    registers.SetU16(reg::kDeviceCommand, 0);
    for (uint16_t i = 0; i < 3; ++i)
        SetDouble(registers, static_cast<uint16_t>(reg::kFirstDouble + 4 * i), 0.0);
    SetTimestamp(registers, reg::kDeviceTime, now);
    registers.SetU32(reg::kDeviceStatus, 0);
    registers.SetU32(reg::kBatteryUsed, 0);
    registers.SetU32(reg::kMemoryUsed, 0);
    registers.SetU16(reg::kActiveLogFile, 0);
    registers.SetU16(reg::kActiveLogStatus, 0);
    if (config.registerMapVersion >= 3)
        SetGuid(registers, config);
    const uint16_t lastState = config.registerMapVersion >= 3 ? reg::kIdentityLast : reg::kDeviceGuid - 1;
    ReadOnly(registers, reg::kDeviceStatus, static_cast<uint16_t>(lastState - reg::kDeviceStatus + 1));

    // Communication.
    Zero(registers, 49204, 2);
    registers.SetU32(reg::kGoodMessages, 0);
    registers.SetU16(reg::kBadMessages, 0);
    registers.SetU16(reg::kExceptionMessages, 0);
    ReadOnly(registers, reg::kGoodMessages, 4);
    Zero(registers, 49297, 2);

    if (layout.interfaceRegister)
    {
        uint16_t interfaces = 0;
        if (config.sdi12Supported)
            interfaces |= reg::kInterfaceSdi12;
        if (config.analogOutputSupported)
            interfaces |= reg::kInterfaceAnalogOutput;
        if (config.stayAwakeSupported)
            interfaces |= reg::kInterfaceStayAwake;
        registers.SetU16(reg::kInterfaceConfiguration, interfaces);
        ReadOnly(registers, reg::kInterfaceConfiguration, 1);
    }
    InstallFamily(registers, layout);
    WriteSettings(registers, config, layout, address, line);
}

void WriteSettings(RegisterModel& registers, const InstrumentConfig& config, const InstrumentLayout& layout,
                   uint8_t address, const LineSettings& line)
{
    registers.SetText(reg::kDeviceName, config.deviceName);
    registers.SetText(reg::kSiteName, config.siteName);
    registers.SetU32(reg::kSoftwareRegister, 0);
    registers.SetU16(reg::kDeviceAddress, address);
    registers.SetU16(reg::kLineSettings, EncodeLineSettings(line));
    registers.SetU16(reg::kEom, config.eom);
    registers.SetU16(reg::kEos, config.eos);
    if (layout.stayAwakeRegister)
        registers.SetU16(reg::kStayAwake, config.stayAwake ? 1 : 0);
    if (layout.measurementCacheRegister)
        registers.SetU16(reg::kMeasurementCacheTimeout, config.measurementCacheTimeout);
    if (layout.family.measurementCacheTimeout != 0)
        registers.SetU16(layout.family.measurementCacheTimeout, config.measurementCacheTimeout);
    if (layout.family.scratchPad != 0)
        Zero(registers, layout.family.scratchPad, reg::kScratchPadRegisters);
    if (layout.analogRegisters && config.registerMapVersion >= 2)
    {
        registers.SetU16(reg::kAnalogSensor, 1);
        registers.SetU16(reg::kAnalogParameter, 1);
        registers.SetFloat(reg::kAnalogFullScale, 100.0f);
        registers.SetFloat(reg::kAnalogZeroScale, 0.0f);
        registers.SetU16(reg::kAnalogDisable, 0);
    }
    else if (layout.analogRegisters)
    {
        registers.SetU16(reg::kAnalogParameterV1, 1);
        registers.SetFloat(reg::kAnalogFullScaleV1, 100.0f);
        registers.SetFloat(reg::kAnalogZeroScaleV1, 0.0f);
    }
}

std::vector<uint8_t> ReadScratchPad(const RegisterModel& registers, const InstrumentLayout& layout)
{
    std::vector<uint8_t> bytes;
    if (layout.family.scratchPad == 0)
        return bytes;
    for (uint16_t i = 0; i < reg::kScratchPadRegisters; ++i)
    {
        const uint16_t value =
            registers.GetU16(static_cast<uint16_t>(layout.family.scratchPad + i)).value_or(0);
        bytes.push_back(static_cast<uint8_t>(value >> 8));
        bytes.push_back(static_cast<uint8_t>(value & 0xFF));
    }
    return bytes;
}

} // namespace probesim
