#include "tools/probe-sim/SensorSetupRegisters.h"

#include "tools/probe-sim/DeviceTypes.h"

namespace probesim
{

namespace
{

constexpr uint16_t kHighestAutoSalinity = 1;
constexpr uint16_t kHighestNegativeDoOption = 2;

void InstallWord(RegisterModel& registers, uint16_t number, uint16_t highest)
{
    registers.SetU16(number, 0);
    registers.AddWriteHook(
        number, 1,
        [number, highest](RegisterModel& model, const RegisterWrite&) -> std::optional<ExceptionCode>
        {
            if (model.GetU16(number).value_or(0) > highest)
                return ExceptionCode::IllegalFieldValue;
            return std::nullopt;
        });
}

} // namespace

void InstallSensorSetupRegisters(RegisterModel& registers, const InstrumentConfig& config)
{
    if (config.deviceType == kMultiSensorProbeType || config.deviceType == kCoreProbeType)
        InstallWord(registers, reg::kAutoSalinity, kHighestAutoSalinity);
    if (config.deviceType == kCoreProbeType)
        InstallWord(registers, reg::kNegativeDoValues, kHighestNegativeDoOption);
}

void ResetSensorSetupRegisters(RegisterModel& registers, const InstrumentConfig& config)
{
    if (config.deviceType == kMultiSensorProbeType || config.deviceType == kCoreProbeType)
        registers.SetU16(reg::kAutoSalinity, 0);
    if (config.deviceType == kCoreProbeType)
        registers.SetU16(reg::kNegativeDoValues, 0);
}

} // namespace probesim
