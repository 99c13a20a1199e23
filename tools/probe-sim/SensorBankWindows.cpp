// The sensors' register windows: what they hold, what a read measures, what a write may change.
#include "tools/probe-sim/SensorBank.h"

#include <algorithm>

namespace probesim
{

namespace
{

uint64_t Units(DeviceTimestamp time)
{
    return uint64_t{time.seconds} << 16 | time.fraction;
}

uint16_t ParameterRegister(uint16_t base, size_t index, uint16_t field)
{
    return static_cast<uint16_t>(base + ParameterBlockOffset(static_cast<uint16_t>(index + 1)) + field);
}

// Whether a write to a parameter's id word names an id the parameter may measure.
bool IdOffered(const SimParameter& p, uint16_t id)
{
    return id == p.parameterId || std::find(p.otherIds.begin(), p.otherIds.end(), id) != p.otherIds.end();
}

bool UnitOffered(const SimParameter& p, uint16_t unit)
{
    const uint16_t classBase = UnitClassBase(p.parameterId);
    return classBase != 0 && unit >= classBase && unit - classBase < 16 &&
           (p.availableUnits >> (unit - classBase) & 1) != 0;
}

} // namespace

void SensorBank::WriteWindow(const Connection& c)
{
    const SimSensor& s = c.sensor;
    const uint16_t b = c.base;
    m_registers.SetU16(b + header::kSensorId, s.sensorId);
    m_registers.SetU32(b + header::kSerialNumber, s.serialNumber, m_wordOrder);
    m_registers.SetU16(b + header::kSpare, 0);
    SetTimestamp(m_registers, b + header::kFirstTimestamp, s.firstTimestamp, m_wordOrder);
    SetTimestamp(m_registers, b + header::kNextFactoryCal, s.nextFactoryCal.value_or(DeviceTimestamp{}),
                 m_wordOrder);
    SetTimestamp(m_registers, b + header::kLastUserCal, s.lastUserCal, m_wordOrder);
    SetTimestamp(m_registers, b + header::kFourthTimestamp, s.fourthTimestamp, m_wordOrder);
    m_registers.SetU16(b + header::kWarmUp, static_cast<uint16_t>(s.warmUp.count()));
    m_registers.SetU16(b + header::kSampleRate, static_cast<uint16_t>(s.sampleRate.count()));
    m_registers.SetU16(b + header::kParameterCount, static_cast<uint16_t>(s.parameters.size()));
    m_registers.SetU16(b + header::kWord19, s.headerWord19);
    m_registers.SetU16(b + header::kWord20, s.headerWord20);
    for (size_t i = 0; i < kCalibrationFloats; ++i)
        m_registers.SetFloat(static_cast<uint16_t>(b + header::kCalibration + 2 * i), c.calibration[i],
                             m_wordOrder);
    for (size_t i = 0; i < s.parameters.size(); ++i)
    {
        const SimParameter& p = s.parameters[i];
        m_registers.SetU16(ParameterRegister(b, i, block::kParameterId), p.parameterId);
        m_registers.SetU16(ParameterRegister(b, i, block::kUnitId), p.unitId);
        m_registers.SetFloat(ParameterRegister(b, i, block::kSentinel), p.sentinel, m_wordOrder);
        m_registers.SetU16(ParameterRegister(b, i, block::kAvailableUnits), p.availableUnits);
        WriteParameter(c, i);
    }
    for (const SensorSetting& setting : s.settings)
        StoreSetting(c, setting, setting.value);
}

void SensorBank::WriteParameter(const Connection& c, size_t index)
{
    m_registers.SetFloat(ParameterRegister(c.base, index, block::kValue), Value(c, index, ReadsRaw(c)),
                         m_wordOrder);
    m_registers.SetU16(ParameterRegister(c.base, index, block::kQuality), Quality(c, index, Clock::now()));
}

float SensorBank::StoredSetting(const Connection& c, const SensorSetting& setting) const
{
    const auto number = static_cast<uint16_t>(c.base + setting.offset);
    if (setting.type == SettingType::Word)
        return static_cast<float>(m_registers.GetU16(number).value_or(0));
    return m_registers.GetFloat(number, m_wordOrder).value_or(0.0f);
}

void SensorBank::StoreSetting(const Connection& c, const SensorSetting& setting, float value)
{
    const auto number = static_cast<uint16_t>(c.base + setting.offset);
    if (setting.type == SettingType::Word)
        m_registers.SetU16(number, static_cast<uint16_t>(value));
    else
        m_registers.SetFloat(number, value, m_wordOrder);
}

float SensorBank::SettingInUse(const Connection& c, const SensorSetting& setting, bool raw) const
{
    if (!setting.calibration)
        return StoredSetting(c, setting);
    return raw ? setting.value : c.taken.at(setting.offset);
}

std::optional<ExceptionCode> SensorBank::OnWindowRead(Connection& c, uint16_t first, uint16_t count)
{
    if (!c.plugged)
        return kSensorPortNoSensor;
    const Clock::time_point now = Clock::now();
    unsigned measured = 0;
    for (size_t i = 0; i < c.sensor.parameters.size(); ++i)
    {
        const uint32_t k = ParameterRegister(c.base, i, 0);
        if (!RangesOverlap(first, count, k, kParameterBlockRegisters))
            continue;
        Refresh(c, i, RangesOverlap(first, count, k + block::kValue, 2), now, measured);
    }
    if (measured > 0)
        WaitForMeasuring(c, MeasuringTime(c, measured));
    return std::nullopt;
}

void SensorBank::WaitForMeasuring(const Connection& c, std::chrono::milliseconds time)
{
    const Clock::time_point now = Clock::now();
    if (m_measuringSpans.size() == kMeasuringSpansKept)
        m_measuringSpans.pop_front();
    m_measuringSpans.push_back({c.number, now, now + time});
    m_registers.DelayReply(time);
}

std::chrono::milliseconds SensorBank::MeasuringTime(const Connection& c, unsigned parameters) const
{
    auto work = c.sensor.sampleRate * parameters;
    if (m_env.cacheTimeout() == 0)
        work += c.sensor.warmUp;
    return std::chrono::duration_cast<std::chrono::milliseconds>(work);
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
    const std::optional<DeviceTimestamp> due =
        GetTimestamp(m_registers, c.base + header::kNextFactoryCal, m_wordOrder);
    if (due && Units(m_env.now()) > Units(*due))
        return kQualityFactoryCalExpired;
    return kQualityNormal;
}

float SensorBank::Value(const Connection& c, size_t index, bool raw) const
{
    const std::optional<Clock::time_point>& at = c.measuredAt[index];
    if (!at || c.warmUpSample[index] || c.forcedSentinel[index])
        return Sentinel(c, index);
    return static_cast<float>(Measure(c, index, raw, Seconds(*at)));
}

double SensorBank::Seconds(Clock::time_point at) const
{
    return std::chrono::duration<double>(at - m_env.started).count();
}

double SensorBank::Measure(const Connection& c, size_t index, bool raw, double seconds) const
{
    const SimParameter& p = c.sensor.parameters[index];
    if (!p.value)
        return 0.0;
    SampleContext context;
    context.seconds = seconds;
    context.unitId = m_registers.GetU16(ParameterRegister(c.base, index, block::kUnitId)).value_or(p.unitId);
    context.parameterId =
        m_registers.GetU16(ParameterRegister(c.base, index, block::kParameterId)).value_or(p.parameterId);
    context.calibration = c.calibration;
    context.setting = [this, &c, raw](uint16_t offset) -> std::optional<float>
    {
        const SensorSetting* setting = FindSetting(c.sensor, offset);
        if (!setting)
            return std::nullopt;
        return SettingInUse(c, *setting, raw);
    };
    context.unitOf = [this, &c](uint16_t parameter) -> uint16_t
    {
        if (parameter < 1 || parameter > c.sensor.parameters.size())
            return 0;
        return m_registers.GetU16(ParameterRegister(c.base, parameter - 1u, block::kUnitId)).value_or(0);
    };
    context.valueOf = [this, &c, raw, seconds, index](uint16_t parameter) -> double
    {
        if (parameter < 1 || parameter > c.sensor.parameters.size() || parameter - 1u == index)
            return 0.0;
        return Measure(c, parameter - 1u, raw, seconds);
    };
    std::optional<double> inStandardSince;
    if (m_inStandardSince)
        inStandardSince = Seconds(*m_inStandardSince);
    context.water = m_water.At(seconds, inStandardSince);
    return p.value(context);
}

float SensorBank::Sentinel(const Connection& c, size_t index) const
{
    return m_registers.GetFloat(ParameterRegister(c.base, index, block::kSentinel), m_wordOrder)
        .value_or(c.sensor.parameters[index].sentinel);
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
            const SimParameter& p = c.sensor.parameters[index];
            if (field == block::kSentinel || field == block::kSentinel + 1)
                continue;
            if (field == block::kParameterId && !p.otherIds.empty())
            {
                if (!IdOffered(p, write.values[i]))
                    return ExceptionCode::IllegalFieldValue;
                continue;
            }
            if (field != block::kUnitId)
                return ExceptionCode::WriteReadOnly;
            if (!UnitOffered(p, write.values[i]))
                return ExceptionCode::IllegalFieldValue;
            continue;
        }
        if (c.sensor.calibrationSettings && offset >= *c.sensor.calibrationSettings &&
            offset < *c.sensor.calibrationSettings + 2 * kCalibrationFloats)
            calibration = true;
        for (const SensorSetting& setting : c.sensor.settings)
        {
            if (setting.calibration && offset >= setting.offset &&
                offset < setting.offset + setting.Registers())
                calibration = true;
        }
    }
    // In continuous sampling the sensor takes a written calibration at once; one without an update
    // command always does.
    if (calibration && (c.mode == SensorMode::Continuous || c.sensor.calibrationTakenAsWritten))
        TakeCalibration(c);
    Capture(c, write);
    for (size_t i = 0; i < c.sensor.parameters.size(); ++i)
        WriteParameter(c, i);
    return std::nullopt;
}

void SensorBank::Capture(Connection& c, const RegisterWrite& write)
{
    for (const SettingCapture& capture : c.sensor.captures)
    {
        const SensorSetting* written = FindSetting(c.sensor, capture.written);
        if (!RangesOverlap(write.first, static_cast<uint32_t>(write.values.size()), c.base + capture.written,
                           written->Registers()))
            continue;
        // The sensor measures for it, after whatever warm-up it still has to sit through.
        const Clock::time_point now = Clock::now();
        auto wait = MeasuringTime(c, 1);
        if (WarmingUp(c, now))
            wait += std::chrono::ceil<std::chrono::milliseconds>(c.sensor.warmUp - (now - c.poweredAt));
        const size_t index = capture.parameter - 1u;
        c.measuredAt[index] = now;
        c.warmUpSample[index] = false;
        ++c.measurements;
        // Kept for the measuring sensor, so with its user calibration even while calibrating.
        StoreSetting(c, *FindSetting(c.sensor, capture.into), Value(c, index, false));
        WaitForMeasuring(c, wait);
    }
}

} // namespace probesim
