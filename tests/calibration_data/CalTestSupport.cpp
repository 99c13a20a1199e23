#include "tests/calibration_data/CalTestSupport.h"

#include "connection/ProbeConnection.h"
#include "models/VoxProComm.h"
#include "platform/Utf.h"
#include "tools/probe-sim/DialledSensors.h"

namespace caltest
{

void NotifyQueue::PostNotify(uint32_t message, uintptr_t, intptr_t)
{
    {
        std::lock_guard lock(m_mutex);
        m_messages.push_back(message);
    }
    m_posted.notify_all();
}

std::vector<uint32_t> NotifyQueue::Take()
{
    std::lock_guard lock(m_mutex);
    std::vector<uint32_t> taken;
    taken.swap(m_messages);
    return taken;
}

std::optional<uint32_t> NotifyQueue::TakeFirst()
{
    const std::vector<uint32_t> taken = Take();
    return taken.empty() ? std::nullopt : std::optional(taken.front());
}

bool NotifyQueue::WaitFor(uint32_t message, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    return m_posted.wait_for(
        lock, timeout,
        [&] { return std::find(m_messages.begin(), m_messages.end(), message) != m_messages.end(); });
}

std::string Utf8(const CWideString& text)
{
    const char16_t* units = text;
    return units != nullptr ? platform::Utf16ToUtf8(units) : std::string();
}

std::vector<std::string> Lines(const CDynArray<CWideString>& lines)
{
    std::vector<std::string> texts;
    for (uint32_t i = 0; i < lines.GetCount(); ++i)
        texts.push_back(Utf8(lines[i]));
    return texts;
}

std::string HeaderLine(const std::string& label, const std::string& value)
{
    return label + std::string(30 - label.size(), ' ') + "\t" + value;
}

std::string PointLine(const std::string& label, const std::string& value)
{
    return "\t" + label + std::string(20 - label.size(), ' ') + "\t" + value;
}

CalibrationTest::CalibrationTest() = default;

CalibrationTest::~CalibrationTest()
{
    m_oxygenSensor.reset();
    m_phOrpSensor.reset();
    m_levelSensor.reset();
    m_conductivitySensor.reset();
}

void CalibrationTest::StartDialledProbe(uint16_t deviceType)
{
    StartProbe(probesim::ProbeConfig(deviceType, modeltest::kProbeSerial), probesim::ProbeSensors::None);
    // Copies of the dials share their values with the test's own.
    probesim::FitDialledSensors(Probe(), probesim::SensorDials{m_temperature, m_actualConductivity,
                                                               m_specificConductivity, m_pHMillivolts, m_orp,
                                                               m_oxygen, m_saturation});
    LinkAdapters(deviceType);
}

void CalibrationTest::StartPresetProbe(uint16_t deviceType)
{
    StartProbe(deviceType);
    LinkAdapters(deviceType);
}

void CalibrationTest::LinkAdapters(uint16_t deviceType)
{
    if (deviceType == probesim::kMultiSensorProbeType)
        LinkDevice();
    else // the single-sensor probe is its own sensor
        LinkDevice([](const SlaveIdInfo& slaveId) { return new NVSystem::CVoxProComm(slaveId); });
    // The line keeps the rule for a probe that stops answering, as the application's connection does.
    Network().EnableSilenceCheck(PROBE_CHECK_REGISTER, PROBE_CHECK_TIMEOUT_MS);
    // The connection's own reference: a worker's reference is never the last.
    Device().AddRef();
    m_connection.m_device = &Device();
    if (deviceType != probesim::kMultiSensorProbeType)
        return;
    m_conductivitySensor = std::make_unique<NVSystem::CMK100Sensor>(&Device(), kConductivity);
    m_levelSensor = std::make_unique<NVSystem::CLevelSensor>(&Device(), kLevel);
    m_phOrpSensor = std::make_unique<NVSystem::CPHORPSensor>(&Device(), kPhOrp, m_levelSensor.get());
    m_oxygenSensor = std::make_unique<NVSystem::CVOXSensor>(&Device(), kOxygen);
}

uint16_t CalibrationTest::RegisterWrittenBy(HRESULT (NVSystem::CDeviceComm::*setter)(USHORT), USHORT value)
{
    Mark();
    EXPECT_EQ((Device().*setter)(value), S_OK);
    const std::vector<modeltest::RegisterWrite> writes = WritesSinceMark();
    EXPECT_FALSE(writes.empty());
    return writes.empty() ? 0 : writes.back().first;
}

bool CalibrationTest::WroteInto(uint16_t connection, uint16_t firstOffset, uint16_t lastOffset)
{
    const uint16_t first = Register(connection, firstOffset);
    const uint16_t last = Register(connection, lastOffset);
    for (const modeltest::RegisterWrite& write : WritesSinceMark())
    {
        const uint32_t end = write.first + static_cast<uint32_t>(write.values.size());
        if (write.first <= last && end > first)
            return true;
    }
    return false;
}

} // namespace caltest
