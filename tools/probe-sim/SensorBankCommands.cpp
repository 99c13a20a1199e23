// The sensor command registers and what the commands do to a sensor's calibration.
#include "tools/probe-sim/SensorBank.h"

namespace probesim
{

namespace
{

// Register of the i-th writable calibration float of a sensor that has them.
template <typename Connection>
uint16_t CalibrationSetting(const Connection& c, size_t i)
{
    return static_cast<uint16_t>(c.base + *c.sensor.calibrationSettings + 2 * i);
}

} // namespace

std::optional<ExceptionCode> SensorBank::OnCommand(uint16_t connection, uint16_t word)
{
    const auto it = m_connections.find(connection);
    if (it == m_connections.end())
        return kSensorPortNotConfigured;
    Connection& c = it->second;
    if (!c.plugged)
        return kSensorPortNoSensor;
    const auto decoded = c.command.Decode(word);
    if (const auto* refusal = std::get_if<ExceptionCode>(&decoded))
        return *refusal;
    const SensorAction action = std::get<SensorAction>(decoded);
    if (const auto refusal = Carry(c, action))
        return refusal;
    c.command.Commit(word);
    if (action != SensorAction::None)
        c.commands.push_back(word);
    return std::nullopt;
}

std::optional<ExceptionCode> SensorBank::Carry(Connection& c, SensorAction action)
{
    switch (action)
    {
    case SensorAction::None:
        break;
    case SensorAction::CalModeOn:
        c.mode = SensorMode::Calibrating;
        break;
    case SensorAction::UpdateCalibration:
        if (c.mode == SensorMode::Measuring)
            return kInvalidSensorModeChange;
        TakeCalibration(c);
        m_registers.DelayReply(c.sensor.updateTime);
        break;
    case SensorAction::CalModeOff:
        c.mode = SensorMode::Measuring;
        break;
    case SensorAction::RestoreCalDefaults:
        RestoreCalibration(c);
        break;
    case SensorAction::RestoreFactoryDefaults:
        RestoreFactoryDefaults(c);
        break;
    case SensorAction::StartContinuous:
        if (!m_env.offline())
            return kInvalidSensorModeChange;
        c.mode = SensorMode::Continuous;
        break;
    }
    FollowStandard();
    for (size_t i = 0; i < c.sensor.parameters.size(); ++i)
        WriteParameter(c, i);
    return std::nullopt;
}

void SensorBank::TakeCalibration(Connection& c)
{
    if (c.sensor.calibrationSettings)
    {
        std::array<float, kCalibrationFloats> written{};
        for (size_t i = 0; i < kCalibrationFloats; ++i)
            written[i] = m_registers.GetFloat(CalibrationSetting(c, i), m_wordOrder).value_or(0.0f);
        if (c.sensor.onUpdateCalibration)
            c.sensor.onUpdateCalibration(c.calibration, written);
        c.calibration = written;
        for (size_t i = 0; i < kCalibrationFloats; ++i)
        {
            m_registers.SetFloat(CalibrationSetting(c, i), c.calibration[i], m_wordOrder);
            m_registers.SetFloat(static_cast<uint16_t>(c.base + header::kCalibration + 2 * i),
                                 c.calibration[i], m_wordOrder);
        }
    }
    for (const SensorSetting& setting : c.sensor.settings)
    {
        if (setting.calibration)
            c.taken[setting.offset] = StoredSetting(c, setting);
    }
    SetTimestamp(m_registers, c.base + header::kLastUserCal, m_env.now(), m_wordOrder);
}

void SensorBank::RestoreCalibration(Connection& c)
{
    c.calibration = c.sensor.calibration;
    for (size_t i = 0; i < kCalibrationFloats; ++i)
    {
        m_registers.SetFloat(static_cast<uint16_t>(c.base + header::kCalibration + 2 * i), c.calibration[i],
                             m_wordOrder);
        if (c.sensor.calibrationSettings)
            m_registers.SetFloat(static_cast<uint16_t>(c.base + *c.sensor.calibrationSettings + 2 * i),
                                 c.calibration[i], m_wordOrder);
    }
    for (const SensorSetting& setting : c.sensor.settings)
    {
        if (!setting.calibration)
            continue;
        c.taken[setting.offset] = setting.value;
        StoreSetting(c, setting, setting.value);
    }
}

void SensorBank::RestoreFactoryDefaults(Connection& c)
{
    RestoreCalibration(c);
    c.mode = SensorMode::Measuring;
    for (size_t i = 0; i < c.sensor.parameters.size(); ++i)
    {
        const SimParameter& p = c.sensor.parameters[i];
        const auto k = static_cast<uint16_t>(c.base + ParameterBlockOffset(static_cast<uint16_t>(i + 1)));
        m_registers.SetU16(k + block::kParameterId, p.parameterId);
        m_registers.SetU16(k + block::kUnitId, p.unitId);
        m_registers.SetFloat(k + block::kSentinel, p.sentinel, m_wordOrder);
    }
    for (const SensorSetting& setting : c.sensor.settings)
        StoreSetting(c, setting, setting.value);
}

} // namespace probesim
