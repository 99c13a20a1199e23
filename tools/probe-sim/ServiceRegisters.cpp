#include "tools/probe-sim/ServiceRegisters.h"

namespace probesim
{

namespace
{

constexpr uint16_t kCoreSerialTypes[] = {36, 37, 39};

void WriteSecondCurrentLoop(RegisterModel& registers)
{
    registers.SetU16(reg::kLoop2Connection, 1);
    registers.SetU16(reg::kLoop2Parameter, 1);
    registers.SetFloat(reg::kLoop2FirstScale, 20.0f);
    registers.SetFloat(reg::kLoop2SecondScale, 0.0f);
    registers.SetU16(reg::kLoop2Enable, 0);
}

void InstallSecondCurrentLoop(RegisterModel& registers, const InstrumentLayout& layout)
{
    WriteSecondCurrentLoop(registers);
    registers.AddWriteHook(reg::kLoop2Enable, 1,
                           [](RegisterModel& model, const RegisterWrite&) -> std::optional<ExceptionCode>
                           {
                               if (model.GetU16(reg::kLoop2Enable).value_or(0) > 1)
                                   return ExceptionCode::IllegalFieldValue;
                               return std::nullopt;
                           });
    if (layout.interfaceRegister)
    {
        const uint16_t interfaces = registers.GetU16(reg::kInterfaceConfiguration).value_or(0);
        registers.SetU16(reg::kInterfaceConfiguration,
                         static_cast<uint16_t>(interfaces | reg::kInterfaceSecondLoop));
    }
}

} // namespace

bool HasCoreSerialNumber(uint16_t deviceType)
{
    for (uint16_t type : kCoreSerialTypes)
        if (type == deviceType)
            return true;
    return false;
}

uint32_t CoreSerialNumberOf(const InstrumentConfig& config)
{
    return config.coreSerialNumber.value_or(config.serialNumber * 10u);
}

void ResetSecondCurrentLoop(RegisterModel& registers, const InstrumentConfig& config)
{
    if (config.secondCurrentLoop)
        WriteSecondCurrentLoop(registers);
}

DeviceTimestamp DefaultManufactureDate(DeviceTimestamp now)
{
    constexpr uint32_t kSecondsPerDay = 24u * 3600u;
    constexpr uint32_t kAge = 400u * kSecondsPerDay;
    const uint32_t day = now.seconds / kSecondsPerDay * kSecondsPerDay;
    return {day > kAge ? day - kAge : 0u, 0};
}

void InstallServiceRegisters(RegisterModel& registers, const InstrumentConfig& config,
                             const InstrumentLayout& layout, DeviceTimestamp now)
{
    if (HasCoreSerialNumber(config.deviceType))
    {
        registers.SetU32(reg::kCoreSerialNumber, CoreSerialNumberOf(config));
        registers.AddWriteHook(reg::kCoreSerialNumber, 2,
                               [](RegisterModel&, const RegisterWrite&)
                               { return std::optional<ExceptionCode>(ExceptionCode::WriteReadOnly); });
    }
    SetTimestamp(registers, reg::kManufactureDate,
                 config.manufactureDate.value_or(DefaultManufactureDate(now)));
    if (config.secondCurrentLoop)
        InstallSecondCurrentLoop(registers, layout);
}

} // namespace probesim
