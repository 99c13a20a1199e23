#include "tools/probe-sim/SensorBank.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace probesim
{

namespace
{

constexpr uint16_t kTableRegisters = 3 + reg::kConnectionRegisters * reg::kMaxConnections;
constexpr uint16_t kOffsetBase = 40000; // B = offset register + 40000
constexpr uint16_t kUnpluggedBlocks = 8;
constexpr uint32_t kSecondsPerYear = 365u * 24u * 3600u;

uint64_t Units(DeviceTimestamp time)
{
    return uint64_t{time.seconds} << 16 | time.fraction;
}

bool Overlaps(uint32_t aFirst, uint32_t aCount, uint32_t bFirst, uint32_t bCount)
{
    return aFirst < bFirst + bCount && bFirst < aFirst + aCount;
}

void CheckConnection(uint16_t connection)
{
    if (connection < 1 || connection > reg::kMaxConnections)
        throw std::out_of_range("sensor connection " + std::to_string(connection) + " is outside 1..32");
}

} // namespace

SensorBank::SensorBank(RegisterModel& registers, SensorEnvironment environment)
    : m_registers(registers), m_env(std::move(environment))
{
}

void SensorBank::Install()
{
    auto lock = m_registers.Hold();
    WriteTable();
    m_registers.AddWriteHook(reg::kSensorCount, kTableRegisters,
                             [this](RegisterModel&, const RegisterWrite& write)
                             { return OnTableWrite(write); });
}

void SensorBank::Add(uint16_t connection, SimSensor sensor)
{
    Place(connection, std::move(sensor), true);
}

void SensorBank::AddUnplugged(uint16_t connection, SimSensor sensor)
{
    Place(connection, std::move(sensor), false);
}

void SensorBank::Place(uint16_t connection, SimSensor sensor, bool plugged)
{
    CheckConnection(connection);
    uint16_t size = WindowRegisters(sensor);
    if (!plugged && sensor.parameters.empty())
        size = std::max<uint16_t>(size, kFirstParameterOffset + kParameterBlockRegisters * kUnpluggedBlocks);
    const uint16_t base = sensor.base.value_or(DefaultSensorBase(connection));
    if (base < kOffsetBase + 1 || uint32_t{base} + size - 1 > 49999)
        throw std::out_of_range("sensor window at " + std::to_string(base) +
                                " does not fit the holding registers");

    auto lock = m_registers.Hold();
    if (m_connections.contains(connection))
        throw std::logic_error("sensor connection " + std::to_string(connection) + " already has a sensor");
    for (uint32_t n = base; n < uint32_t{base} + size; ++n)
    {
        if (m_registers.Has(static_cast<uint16_t>(n)))
            throw std::logic_error("the window of sensor connection " + std::to_string(connection) +
                                   " meets register " + std::to_string(n));
    }
    if (!sensor.nextFactoryCal)
    {
        DeviceTimestamp due = m_env.now();
        due.seconds += kSecondsPerYear;
        sensor.nextFactoryCal = due;
    }

    Connection& c = m_connections[connection];
    const size_t parameters = sensor.parameters.size();
    c.plugged = plugged;
    c.base = base;
    c.registers = size;
    c.poweredAt = Clock::now();
    c.measuredAt.assign(parameters, std::nullopt);
    c.warmUpSample.assign(parameters, false);
    c.forcedQuality.assign(parameters, std::nullopt);
    c.calibration = sensor.calibration;
    c.sensor = std::move(sensor);
    WriteWindow(c);
    // A connection known only as unplugged gets blank blocks to refuse reads of.
    if (c.sensor.parameters.empty())
    {
        for (uint32_t n = base + kFirstParameterOffset; n < uint32_t{base} + size; ++n)
            m_registers.SetU16(static_cast<uint16_t>(n), 0);
    }

    m_registers.AddReadHook(base, size,
                            [this, connection](RegisterModel&, uint16_t first, uint16_t count)
                            { return OnWindowRead(At(connection), first, count); });
    m_registers.AddWriteHook(base, size,
                             [this, connection](RegisterModel&, const RegisterWrite& write)
                             { return OnWindowWrite(At(connection), write); });
    m_count = std::max(m_count, connection);
    WriteTable();
}

void SensorBank::Unplug(uint16_t connection)
{
    auto lock = m_registers.Hold();
    Connection& c = At(connection);
    c.plugged = false;
    c.mode = SensorMode::Measuring;
    c.command.Reset();
}

void SensorBank::Plug(uint16_t connection)
{
    auto lock = m_registers.Hold();
    Connection& c = At(connection);
    c.plugged = true;
    c.mode = SensorMode::Measuring;
    c.command.Reset();
    c.poweredAt = Clock::now();
    std::fill(c.measuredAt.begin(), c.measuredAt.end(), std::nullopt);
    std::fill(c.warmUpSample.begin(), c.warmUpSample.end(), false);
}

void SensorBank::SetConnectionCount(uint16_t count)
{
    if (count > reg::kMaxConnections)
        throw std::out_of_range("at most 32 sensor connections");
    auto lock = m_registers.Hold();
    if (!m_connections.empty() && count < m_connections.rbegin()->first)
        throw std::logic_error("the table must reach the highest connection with a sensor");
    m_count = count;
    WriteTable();
}

uint16_t SensorBank::ConnectionCount() const
{
    auto lock = m_registers.Hold();
    return m_count;
}

uint32_t SensorBank::ConnectionMask() const
{
    auto lock = m_registers.Hold();
    uint32_t mask = 0;
    for (const auto& [connection, c] : m_connections)
        mask |= uint32_t{1} << (connection - 1);
    return mask;
}

bool SensorBank::Has(uint16_t connection) const
{
    auto lock = m_registers.Hold();
    return m_connections.contains(connection);
}

bool SensorBank::Plugged(uint16_t connection) const
{
    auto lock = m_registers.Hold();
    return At(connection).plugged;
}

uint16_t SensorBank::Base(uint16_t connection) const
{
    auto lock = m_registers.Hold();
    return At(connection).base;
}

SensorMode SensorBank::Mode(uint16_t connection) const
{
    auto lock = m_registers.Hold();
    return At(connection).mode;
}

HandshakeStep SensorBank::CommandStep(uint16_t connection) const
{
    auto lock = m_registers.Hold();
    return At(connection).command.Step();
}

std::vector<uint16_t> SensorBank::CommandsCarriedOut(uint16_t connection) const
{
    auto lock = m_registers.Hold();
    return At(connection).commands;
}

unsigned SensorBank::Measurements(uint16_t connection) const
{
    auto lock = m_registers.Hold();
    return At(connection).measurements;
}

std::array<float, kCalibrationFloats> SensorBank::Calibration(uint16_t connection) const
{
    auto lock = m_registers.Hold();
    return At(connection).calibration;
}

void SensorBank::ForceQuality(uint16_t connection, uint16_t parameter, std::optional<uint16_t> word)
{
    auto lock = m_registers.Hold();
    Connection& c = At(connection);
    if (parameter < 1 || parameter > c.forcedQuality.size())
        throw std::out_of_range("sensor connection " + std::to_string(connection) + " has no parameter " +
                                std::to_string(parameter));
    c.forcedQuality[parameter - 1] = word;
    WriteParameter(c, parameter - 1);
}

void SensorBank::PowerUp()
{
    auto lock = m_registers.Hold();
    const Clock::time_point now = Clock::now();
    for (auto& [connection, c] : m_connections)
    {
        c.poweredAt = now;
        std::fill(c.measuredAt.begin(), c.measuredAt.end(), std::nullopt);
        std::fill(c.warmUpSample.begin(), c.warmUpSample.end(), false);
    }
}

void SensorBank::DeviceOnline()
{
    auto lock = m_registers.Hold();
    for (auto& [connection, c] : m_connections)
    {
        if (c.mode == SensorMode::Continuous)
            c.mode = SensorMode::Measuring;
    }
}

SensorBank::Connection& SensorBank::At(uint16_t connection)
{
    const auto it = m_connections.find(connection);
    if (it == m_connections.end())
        throw std::logic_error("sensor connection " + std::to_string(connection) + " has no sensor");
    return it->second;
}

const SensorBank::Connection& SensorBank::At(uint16_t connection) const
{
    return const_cast<SensorBank*>(this)->At(connection);
}

void SensorBank::WriteTable()
{
    m_registers.SetU16(reg::kSensorCount, m_count);
    uint32_t mask = 0;
    for (const auto& [connection, c] : m_connections)
        mask |= uint32_t{1} << (connection - 1);
    m_registers.SetU32(reg::kSensorMask, mask);
    for (uint16_t k = 1; k <= m_count; ++k)
    {
        const auto it = m_connections.find(k);
        const bool present = it != m_connections.end();
        const uint16_t command = SensorCommandRegisterOf(k);
        m_registers.SetU16(ConnectionRegister(k, 0), present ? it->second.sensor.connectionWord0 : 0);
        m_registers.SetU16(ConnectionRegister(k, 1), 0);
        if (!m_registers.Has(command))
            m_registers.SetU16(command, 0);
        m_registers.SetU16(ConnectionRegister(k, 3), present ? it->second.sensor.connectionWord3 : 0);
        m_registers.SetU16(ConnectionRegister(k, 4),
                           present ? static_cast<uint16_t>(it->second.base - kOffsetBase) : 0);
    }
}

void SensorBank::WriteWindow(const Connection& c)
{
    const SimSensor& s = c.sensor;
    const uint16_t b = c.base;
    m_registers.SetU16(b + header::kSensorId, s.sensorId);
    m_registers.SetU32(b + header::kSerialNumber, s.serialNumber);
    m_registers.SetU16(b + header::kSpare, 0);
    SetTimestamp(m_registers, b + header::kFirstTimestamp, s.firstTimestamp);
    SetTimestamp(m_registers, b + header::kNextFactoryCal, s.nextFactoryCal.value_or(DeviceTimestamp{}));
    SetTimestamp(m_registers, b + header::kLastUserCal, s.lastUserCal);
    SetTimestamp(m_registers, b + header::kFourthTimestamp, s.fourthTimestamp);
    m_registers.SetU16(b + header::kWarmUp, static_cast<uint16_t>(s.warmUp.count()));
    m_registers.SetU16(b + header::kSampleRate, static_cast<uint16_t>(s.sampleRate.count()));
    m_registers.SetU16(b + header::kParameterCount, static_cast<uint16_t>(s.parameters.size()));
    m_registers.SetU16(b + header::kWord19, s.headerWord19);
    m_registers.SetU16(b + header::kWord20, s.headerWord20);
    for (size_t i = 0; i < kCalibrationFloats; ++i)
        m_registers.SetFloat(static_cast<uint16_t>(b + header::kCalibration + 2 * i), c.calibration[i]);
    for (size_t i = 0; i < s.parameters.size(); ++i)
    {
        const SimParameter& p = s.parameters[i];
        const auto k = static_cast<uint16_t>(b + ParameterBlockOffset(static_cast<uint16_t>(i + 1)));
        m_registers.SetU16(k + block::kParameterId, p.parameterId);
        m_registers.SetU16(k + block::kUnitId, p.unitId);
        m_registers.SetFloat(k + block::kSentinel, p.sentinel);
        m_registers.SetU16(k + block::kAvailableUnits, p.availableUnits);
        WriteParameter(c, i);
    }
    for (const SensorSetting& setting : s.settings)
        m_registers.SetFloat(static_cast<uint16_t>(b + setting.offset), setting.value);
}

void SensorBank::WriteParameter(const Connection& c, size_t index)
{
    const auto k = static_cast<uint16_t>(c.base + ParameterBlockOffset(static_cast<uint16_t>(index + 1)));
    m_registers.SetFloat(k + block::kValue, Value(c, index));
    m_registers.SetU16(k + block::kQuality, Quality(c, index, Clock::now()));
}

std::optional<ExceptionCode> SensorBank::OnTableWrite(const RegisterWrite& write)
{
    std::vector<std::pair<uint16_t, uint16_t>> commands; // connection, word
    for (size_t i = 0; i < write.values.size(); ++i)
    {
        const uint32_t number = write.first + i;
        if (number < reg::kSensorCount || number >= reg::kSensorCount + kTableRegisters)
            continue;
        if (number < reg::kFirstConnection ||
            (number - reg::kFirstConnection) % reg::kConnectionRegisters != 2)
            return ExceptionCode::WriteReadOnly;
        const auto connection =
            static_cast<uint16_t>((number - reg::kFirstConnection) / reg::kConnectionRegisters + 1);
        commands.emplace_back(connection, write.values[i]);
    }
    for (const auto& [connection, word] : commands)
    {
        if (const auto refusal = OnCommand(connection, word))
            return refusal;
    }
    return std::nullopt;
}

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
        RestoreCalibration(c);
        c.mode = SensorMode::Measuring;
        for (size_t i = 0; i < c.sensor.parameters.size(); ++i)
        {
            const SimParameter& p = c.sensor.parameters[i];
            const auto k = static_cast<uint16_t>(c.base + ParameterBlockOffset(static_cast<uint16_t>(i + 1)));
            m_registers.SetU16(k + block::kUnitId, p.unitId);
            m_registers.SetFloat(k + block::kSentinel, p.sentinel);
        }
        for (const SensorSetting& setting : c.sensor.settings)
            m_registers.SetFloat(static_cast<uint16_t>(c.base + setting.offset), setting.value);
        break;
    case SensorAction::StartContinuous:
        if (!m_env.offline())
            return kInvalidSensorModeChange;
        c.mode = SensorMode::Continuous;
        break;
    }
    for (size_t i = 0; i < c.sensor.parameters.size(); ++i)
        WriteParameter(c, i);
    return std::nullopt;
}

std::optional<ExceptionCode> SensorBank::OnWindowRead(Connection& c, uint16_t first, uint16_t count)
{
    if (!c.plugged)
        return kSensorPortNoSensor;
    const Clock::time_point now = Clock::now();
    unsigned measured = 0;
    for (size_t i = 0; i < c.sensor.parameters.size(); ++i)
    {
        const uint32_t k = c.base + ParameterBlockOffset(static_cast<uint16_t>(i + 1));
        if (!Overlaps(first, count, k, kParameterBlockRegisters))
            continue;
        Refresh(c, i, Overlaps(first, count, k + block::kValue, 2), now, measured);
    }
    if (measured > 0)
    {
        auto work = c.sensor.sampleRate * measured;
        if (m_env.cacheTimeout() == 0)
            work += c.sensor.warmUp;
        m_registers.DelayReply(std::chrono::duration_cast<std::chrono::milliseconds>(work));
    }
    return std::nullopt;
}

void SensorBank::Refresh(Connection& c, size_t index, bool measure, Clock::time_point now, unsigned& measured)
{
    if (measure)
    {
        const std::chrono::milliseconds cache(m_env.cacheTimeout());
        const std::optional<Clock::time_point>& at = c.measuredAt[index];
        const bool stale = !at || c.warmUpSample[index] || cache.count() == 0 || now - *at >= cache;
        if (stale)
        {
            // A sensor still warming up has nothing to measure yet: it answers with its sentinel at once.
            c.measuredAt[index] = now;
            c.warmUpSample[index] = WarmingUp(c, now);
            if (!c.warmUpSample[index])
            {
                ++measured;
                ++c.measurements;
            }
        }
    }
    WriteParameter(c, index);
}

bool SensorBank::WarmingUp(const Connection& c, Clock::time_point now) const
{
    // Without a cache the sensor is powered for each measurement and waits out its warm-up then.
    return m_env.cacheTimeout() != 0 && now - c.poweredAt < c.sensor.warmUp;
}

uint16_t SensorBank::Quality(const Connection& c, size_t index, Clock::time_point now) const
{
    if (c.forcedQuality[index])
        return *c.forcedQuality[index];
    if (c.mode != SensorMode::Measuring)
        return kQualityCalibrating;
    if (WarmingUp(c, now))
        return kQualityWarmUp;
    const std::optional<DeviceTimestamp> due = GetTimestamp(m_registers, c.base + header::kNextFactoryCal);
    if (due && Units(m_env.now()) > Units(*due))
        return kQualityFactoryCalExpired;
    return kQualityNormal;
}

float SensorBank::Value(const Connection& c, size_t index) const
{
    const SimParameter& p = c.sensor.parameters[index];
    const std::optional<Clock::time_point>& at = c.measuredAt[index];
    if (!at || c.warmUpSample[index])
        return p.sentinel;
    const auto k = static_cast<uint16_t>(c.base + ParameterBlockOffset(static_cast<uint16_t>(index + 1)));
    SampleContext context;
    context.seconds = std::chrono::duration<double>(*at - m_env.started).count();
    context.unitId = m_registers.GetU16(k + block::kUnitId).value_or(p.unitId);
    context.calibration = c.calibration;
    context.setting = [this, &c](uint16_t offset) -> std::optional<float>
    {
        const bool known = std::any_of(c.sensor.settings.begin(), c.sensor.settings.end(),
                                       [offset](const SensorSetting& s) { return s.offset == offset; });
        if (!known)
            return std::nullopt;
        return m_registers.GetFloat(static_cast<uint16_t>(c.base + offset));
    };
    return p.value ? p.value(context) : 0.0f;
}

std::optional<ExceptionCode> SensorBank::OnWindowWrite(Connection& c, const RegisterWrite& write)
{
    if (!c.plugged)
        return kSensorPortNoSensor;
    const uint32_t blocksEnd =
        kFirstParameterOffset + uint32_t{kParameterBlockRegisters} * c.sensor.parameters.size();
    bool calibration = false;
    for (size_t i = 0; i < write.values.size(); ++i)
    {
        const uint32_t number = write.first + i;
        if (number < c.base || number >= uint32_t{c.base} + c.registers)
            continue;
        const uint32_t offset = number - c.base;
        if (offset < kFirstParameterOffset)
            return ExceptionCode::WriteReadOnly;
        if (offset < blocksEnd)
        {
            const uint32_t index = (offset - kFirstParameterOffset) / kParameterBlockRegisters;
            const uint32_t field = (offset - kFirstParameterOffset) % kParameterBlockRegisters;
            if (field == block::kSentinel || field == block::kSentinel + 1)
                continue;
            if (field != block::kUnitId)
                return ExceptionCode::WriteReadOnly;
            const SimParameter& p = c.sensor.parameters[index];
            const uint16_t unit = write.values[i];
            const uint16_t classBase = UnitClassBase(p.parameterId);
            const bool offered = classBase != 0 && unit >= classBase && unit - classBase < 16 &&
                                 (p.availableUnits >> (unit - classBase) & 1) != 0;
            if (!offered)
                return ExceptionCode::IllegalFieldValue;
            continue;
        }
        if (c.sensor.calibrationSettings && offset >= *c.sensor.calibrationSettings &&
            offset < *c.sensor.calibrationSettings + 2 * kCalibrationFloats)
            calibration = true;
    }
    // In continuous sampling the sensor takes a written calibration at once.
    if (calibration && c.mode == SensorMode::Continuous)
        TakeCalibration(c);
    for (size_t i = 0; i < c.sensor.parameters.size(); ++i)
        WriteParameter(c, i);
    return std::nullopt;
}

void SensorBank::TakeCalibration(Connection& c)
{
    if (c.sensor.calibrationSettings)
    {
        for (size_t i = 0; i < kCalibrationFloats; ++i)
        {
            const auto number = static_cast<uint16_t>(c.base + *c.sensor.calibrationSettings + 2 * i);
            c.calibration[i] = m_registers.GetFloat(number).value_or(0.0f);
            m_registers.SetFloat(static_cast<uint16_t>(c.base + header::kCalibration + 2 * i),
                                 c.calibration[i]);
        }
    }
    SetTimestamp(m_registers, c.base + header::kLastUserCal, m_env.now());
}

void SensorBank::RestoreCalibration(Connection& c)
{
    c.calibration = c.sensor.calibration;
    for (size_t i = 0; i < kCalibrationFloats; ++i)
    {
        m_registers.SetFloat(static_cast<uint16_t>(c.base + header::kCalibration + 2 * i), c.calibration[i]);
        if (c.sensor.calibrationSettings)
            m_registers.SetFloat(static_cast<uint16_t>(c.base + *c.sensor.calibrationSettings + 2 * i),
                                 c.calibration[i]);
    }
}

} // namespace probesim
