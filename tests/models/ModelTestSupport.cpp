#include "tests/models/ModelTestSupport.h"

#include "models/DeviceFactory.h"
#include "models/SledraComm.h"
#include "models/VOXCoreICComm.h"

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
{
    SetTunable(u"Update Sensor TO", 150);
    NVSystem::InstallDeviceFactory();
}

ModelTest::~ModelTest()
{
    m_made.reset();
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

void ModelTest::RefuseWrites(uint16_t first, uint16_t count, std::optional<uint16_t> word)
{
    Probe().Registers().AddWriteHook(first, count,
                                     [word](probesim::RegisterModel&, const probesim::RegisterWrite& write)
                                         -> std::optional<probesim::ExceptionCode>
                                     {
                                         if (word && (write.values.empty() || write.values.front() != *word))
                                             return std::nullopt;
                                         return probesim::ExceptionCode::SlaveDeviceFailure;
                                     });
}

void ModelTest::RefuseReads(uint16_t first, uint16_t count)
{
    Probe().Registers().AddReadHook(first, count,
                                    [](probesim::RegisterModel&, uint16_t, uint16_t)
                                    { return std::optional{probesim::ExceptionCode::SlaveDeviceFailure}; });
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
