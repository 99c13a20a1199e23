#include "tools/probe-sim/SensorBank.h"

#include <algorithm>
#include <numeric>
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
    auto lock = m_registers.Hold();
    if (m_connections.contains(connection))
        throw std::logic_error("sensor connection " + std::to_string(connection) + " already has a sensor");
    const auto meets = [&](uint16_t first) -> std::optional<uint32_t>
    {
        for (uint32_t n = first; n < uint32_t{first} + size && n <= 49999; ++n)
            if (m_registers.Has(static_cast<uint16_t>(n)))
                return n;
        return std::nullopt;
    };
    // A window placed by the instrument itself moves on past registers it already has (the analog
    // output of the first register map, at 40115); one the test placed stays where it was put.
    uint16_t base = sensor.base.value_or(DefaultSensorBase(connection));
    if (!sensor.base)
    {
        while (meets(base) && uint32_t{base} + kDefaultWindowSpacing + size - 1 <= 49999)
            base = static_cast<uint16_t>(base + kDefaultWindowSpacing);
    }
    if (base < kOffsetBase + 1 || uint32_t{base} + size - 1 > 49999)
        throw std::out_of_range("sensor window at " + std::to_string(base) +
                                " does not fit the holding registers");
    if (const std::optional<uint32_t> taken = meets(base))
        throw std::logic_error("the window of sensor connection " + std::to_string(connection) +
                               " meets register " + std::to_string(*taken));
    if (!sensor.nextFactoryCal)
    {
        DeviceTimestamp due = m_env.now();
        due.seconds += kSecondsPerYear;
        sensor.nextFactoryCal = due;
    }

    Connection& c = m_connections[connection];
    const size_t parameters = sensor.parameters.size();
    c.number = connection;
    c.plugged = plugged;
    c.base = base;
    c.registers = size;
    c.poweredAt = Clock::now();
    c.measuredAt.assign(parameters, std::nullopt);
    c.warmUpSample.assign(parameters, false);
    c.forcedQuality.assign(parameters, std::nullopt);
    c.forcedSentinel.assign(parameters, false);
    c.calibration = sensor.calibration;
    for (const SensorSetting& setting : sensor.settings)
    {
        if (setting.calibration)
            c.taken[setting.offset] = setting.value;
    }
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
    FollowStandard();
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
    FollowStandard();
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

unsigned SensorBank::TotalMeasurements() const
{
    auto lock = m_registers.Hold();
    return std::accumulate(m_connections.begin(), m_connections.end(), 0u,
                           [](unsigned sum, const auto& entry) { return sum + entry.second.measurements; });
}

std::vector<MeasuringSpan> SensorBank::MeasuringSpans() const
{
    auto lock = m_registers.Hold();
    return {m_measuringSpans.begin(), m_measuringSpans.end()};
}

std::array<float, kCalibrationFloats> SensorBank::Calibration(uint16_t connection) const
{
    auto lock = m_registers.Hold();
    return At(connection).calibration;
}

std::optional<float> SensorBank::SettingInUse(uint16_t connection, uint16_t offset) const
{
    auto lock = m_registers.Hold();
    const Connection& c = At(connection);
    const SensorSetting* setting = FindSetting(c.sensor, offset);
    if (!setting)
        return std::nullopt;
    return SettingInUse(c, *setting, ReadsRaw(c));
}

void SensorBank::ForceQuality(uint16_t connection, uint16_t parameter, std::optional<uint16_t> word,
                              ForcedValue value)
{
    auto lock = m_registers.Hold();
    Connection& c = At(connection);
    if (parameter < 1 || parameter > c.forcedQuality.size())
        throw std::out_of_range("sensor connection " + std::to_string(connection) + " has no parameter " +
                                std::to_string(parameter));
    c.forcedQuality[parameter - 1] = word;
    c.forcedSentinel[parameter - 1] = word && value == ForcedValue::Sentinel;
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
    FollowStandard();
}

void SensorBank::RestoreFactoryDefaults()
{
    auto lock = m_registers.Hold();
    for (auto& [connection, c] : m_connections)
    {
        RestoreFactoryDefaults(c);
        c.command.Reset();
        for (size_t i = 0; i < c.sensor.parameters.size(); ++i)
            WriteParameter(c, i);
    }
    FollowStandard();
}

void SensorBank::SetWordOrder(WordOrder order)
{
    auto lock = m_registers.Hold();
    m_wordOrder = order;
}

void SensorBank::SetWater(Water water)
{
    auto lock = m_registers.Hold();
    m_water = std::move(water);
}

bool SensorBank::InStandard() const
{
    auto lock = m_registers.Hold();
    return m_inStandardSince.has_value();
}

void SensorBank::FollowStandard()
{
    const bool inStandard =
        std::any_of(m_connections.begin(), m_connections.end(),
                    [](const auto& entry)
                    {
                        const Connection& c = entry.second;
                        return c.plugged && c.sensor.calibratesInStandard && c.mode != SensorMode::Measuring;
                    });
    if (!inStandard)
        m_inStandardSince.reset();
    else if (!m_inStandardSince)
        m_inStandardSince = Clock::now();
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

} // namespace probesim
