#include "tests/models/ModelTestSupport.h"

#include <algorithm>
#include <atomic>
#include <memory>

#include "models/DeviceFactory.h"
#include "models/SledraComm.h"
#include "models/VOXCoreICComm.h"
#include "platform/Clock.h"

namespace modeltest
{

NVSystem::CDeviceComm* FamilyDevice(const SlaveIdInfo& slaveId)
{
    if (slaveId.DeviceTypeId == probesim::kMultiSensorProbeType)
        return new NVSystem::CSledraComm(slaveId);
    if (slaveId.DeviceTypeId == probesim::kCoreProbeType)
        return new NVSystem::CVOXCoreICComm(slaveId);
    return PlainDevice(slaveId);
}

NVSystem::CDeviceComm* PlainDevice(const SlaveIdInfo& slaveId)
{
    return new NVSystem::CDeviceComm(slaveId);
}

ModelTest::ModelTest()
    : m_previousPause(SetLinePauseFunction(
          [this](ELinePause pause, ULONG ms)
          {
              if (pause == ELinePause::WakeUp && m_sim)
                  m_wakeUps.AwaitNext(m_sim->Log());
              else
                  platform::SleepMs(ms);
          }))
{
    // The instruments sleep as they do in the field, and the network wakes them as the program's does.
    m_bInstrumentSleeps = true;
    SetTunable(u"Update Sensor TO", kRegisterTimeoutMs);
    NVSystem::InstallDeviceFactory();
}

ModelTest::~ModelTest()
{
    m_made.reset();
    SetLinePauseFunction(std::move(m_previousPause));
}

void ModelTest::StartProbe(probesim::InstrumentConfig config, probesim::ProbeSensors sensors)
{
    m_made.reset();
    m_device.reset();
    m_network.reset();
    m_port.Close();
    m_probe.reset();
    m_sim.reset();
    // The sensors answer at once; the times they state still make the device's time-outs.
    config.quickSensors = true;
    StartLine(config);
    if (HasFatalFailure())
        return;
    // Found asleep, as a probe in the field is: the first request needs the network's wake-up.
    m_network->EnableAutoWakeUp();
    Probe().FallAsleep();
    probesim::FitSensors(Probe(), sensors);
    Mark();
}

HRESULT ModelTest::CreateDevice()
{
    NVSystem::CDeviceComm* device = nullptr;
    const HRESULT hr = m_network->CreateDeviceForAddress(kSlave, device);
    m_made.reset(device);
    Mark();
    return hr;
}

void ModelTest::LinkDevice(const DeviceMaker& make)
{
    const SlaveIdInfo slaveId = ReportedIdentity();
    m_made.reset(make(slaveId));
    ASSERT_EQ(m_made->AttachCommLink(kSlave, slaveId, m_network.get()), S_OK);
    ASSERT_EQ(m_network->AddDevice(m_made.get()), S_OK);
    Mark();
}

int ModelTest::RefuseWrites(uint16_t first, uint16_t count, std::optional<uint16_t> word)
{
    return Probe().Registers().AddWriteHook(
        first, count,
        [word](probesim::RegisterModel&,
               const probesim::RegisterWrite& write) -> std::optional<probesim::ExceptionCode>
        {
            if (word && (write.values.empty() || write.values.front() != *word))
                return std::nullopt;
            return probesim::ExceptionCode::SlaveDeviceFailure;
        });
}

int ModelTest::RefuseReads(uint16_t first, uint16_t count)
{
    return Probe().Registers().AddReadHook(
        first, count,
        [](probesim::RegisterModel&, uint16_t, uint16_t)
        { return std::optional{probesim::ExceptionCode::SlaveDeviceFailure}; });
}

void ModelTest::RefuseReadsOnce(uint16_t first, uint16_t count)
{
    auto refused = std::make_shared<std::atomic<bool>>(false);
    Probe().Registers().AddReadHook(
        first, count,
        [refused](probesim::RegisterModel&, uint16_t, uint16_t) -> std::optional<probesim::ExceptionCode>
        {
            if (refused->exchange(true))
                return std::nullopt;
            return probesim::ExceptionCode::SlaveDeviceFailure;
        });
}

std::vector<uint16_t> ModelTest::CommandsSinceMark(uint16_t connection)
{
    std::vector<uint16_t> words;
    for (const RegisterWrite& write : WritesSinceMark())
    {
        if (write.first == probesim::SensorCommandRegisterOf(connection))
            words.insert(words.end(), write.values.begin(), write.values.end());
    }
    return words;
}

} // namespace modeltest
