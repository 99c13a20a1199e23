#include "tests/models/AdapterTestSupport.h"

#include <fstream>
#include <sstream>
#include <utility>

#include "foundation/CommTimeouts.h"
#include "foundation/TraceLog.h"
#include "models/SledraComm.h"
#include "models/VOXCoreICComm.h"
#include "platform/Clock.h"
#include "platform/SettingsStore.h"
#include "tools/probe-sim/PortTable.h"
#include "tools/probe-sim/SensorBank.h"

namespace adaptertest
{

namespace
{

constexpr uint8_t kReadHolding = 3;
constexpr uint8_t kWriteRegisters = 16;
constexpr uint16_t kHoldingBase = 40001;

uint16_t Word(const std::vector<uint8_t>& data, size_t at)
{
    return static_cast<uint16_t>(data.at(at) << 8 | data.at(at + 1));
}

NVSystem::CDeviceComm* NewDevice(const SlaveIdInfo& slaveId, DeviceKind kind)
{
    if (kind == DeviceKind::OfItsFamily && slaveId.DeviceTypeId == probesim::kMultiSensorProbeType)
        return new NVSystem::CSledraComm(slaveId);
    if (kind == DeviceKind::OfItsFamily && slaveId.DeviceTypeId == probesim::kCoreProbeType)
        return new NVSystem::CVOXCoreICComm(slaveId);
    return new NVSystem::CDeviceComm(slaveId);
}

} // namespace

void SetTunable(const char16_t* name, uint32_t value)
{
    ASSERT_TRUE(platform::settings::SetDword(platform::Hive::LocalMachine, COMM_TUNABLES_KEY, name, value));
}

AdapterTest::AdapterTest()
{
    ResetCommTunablesForTests();
    SetTunable(u"InterMsgDelay TO", 0);
    SetTunable(u"RTUInterCharacter TO", 20);
    SetTunable(u"BusyResponseDelay", 1);
    SetTunable(u"Read Register TO", 150);
    SetTunable(u"Write Register TO", 150);
    SetTunable(u"Update Sensor TO", 150);
    SetTunable(u"Retry Count", 1);
}

AdapterTest::~AdapterTest()
{
    StopProbe();
    ResetCommTunablesForTests();
}

void AdapterTest::StopProbe()
{
    if (m_device != nullptr)
        std::exchange(m_device, nullptr)->Release();
    if (m_network != nullptr)
        std::exchange(m_network, nullptr)->Release();
    m_port.Close();
    m_probe.reset();
    m_sim.reset();
    m_nMark = 0;
}

void AdapterTest::StartProbe(probesim::InstrumentConfig config, DeviceKind kind,
                             probesim::ProbeSensors sensors)
{
    StopProbe();
    config.sleeps = false;
    m_sim = std::make_unique<probesim::ProbeSimulator>(probesim::SimulatorOptions{
        .mode = probesim::FramingMode::Rtu, .address = kSlave, .rtuSilence = std::chrono::milliseconds(5)});
    m_probe = probesim::MakeProbe(*m_sim, config, sensors);
    std::string error;
    const auto number = probesim::RegisterComPort(m_sim->SlavePath(), 0, error);
    ASSERT_TRUE(number.has_value()) << error;
    ASSERT_EQ(m_port.Open(static_cast<USHORT>(*number)), S_OK);
    m_network = CModbusComm::Create();
    ASSERT_NE(m_network, nullptr);
    ASSERT_EQ(m_network->ConnectCommLink(m_port), S_OK);
    ASSERT_EQ(m_network->SetTransmissionMode(0), S_OK);

    SlaveIdInfo slaveId;
    ASSERT_EQ(m_network->ReportSlaveId(kSlave, slaveId, 150, 1), S_OK);
    m_device = NewDevice(slaveId, kind);
    m_device->AddRef();
    ASSERT_EQ(m_device->AttachCommLink(kSlave, slaveId, m_network), S_OK);
    ASSERT_EQ(m_network->AddDevice(m_device), S_OK);
    Mark();
}

uint16_t AdapterTest::Register(uint16_t connection, uint16_t offset)
{
    return static_cast<uint16_t>(Probe().Sensors().Base(connection) + offset);
}

float AdapterTest::SimFloat(uint16_t connection, uint16_t offset)
{
    return Probe().Registers().GetFloat(Register(connection, offset)).value_or(-12345.0f);
}

void AdapterTest::SetSimFloat(uint16_t connection, uint16_t offset, float value)
{
    Probe().Registers().SetFloat(Register(connection, offset), value);
}

uint16_t AdapterTest::SimWord(uint16_t connection, uint16_t offset)
{
    return Probe().Registers().GetU16(Register(connection, offset)).value_or(0xDEAD);
}

void AdapterTest::SetSimWord(uint16_t connection, uint16_t offset, uint16_t value)
{
    Probe().Registers().SetU16(Register(connection, offset), value);
}

void AdapterTest::MarkParameter(uint16_t connection, uint16_t parameter, uint16_t quality)
{
    Probe().Sensors().ForceQuality(connection, parameter, quality);
}

void AdapterTest::RefuseWrites(uint16_t first, uint16_t count, std::optional<uint16_t> word,
                               probesim::ExceptionCode code)
{
    Probe().Registers().AddWriteHook(
        first, count,
        [word, code](probesim::RegisterModel&,
                     const probesim::RegisterWrite& write) -> std::optional<probesim::ExceptionCode>
        {
            if (word && (write.values.empty() || write.values.front() != *word))
                return std::nullopt;
            return code;
        });
}

void AdapterTest::RefuseReads(uint16_t first, uint16_t count, probesim::ExceptionCode code)
{
    Probe().Registers().AddReadHook(
        first, count,
        [code](probesim::RegisterModel&, uint16_t, uint16_t) -> std::optional<probesim::ExceptionCode>
        { return code; });
}

void AdapterTest::Mark()
{
    RequestsSinceMark();
    m_nMark = m_sim->Log().ReceivedCount();
}

size_t AdapterTest::FramesSinceMark()
{
    RequestsSinceMark();
    return m_sim->Log().ReceivedCount() - m_nMark;
}

std::vector<Request> AdapterTest::RequestsSinceMark()
{
    // Let what is still on the line arrive first.
    size_t count = m_sim->Log().ReceivedCount();
    for (int i = 0; i < 25; ++i)
    {
        platform::SleepMs(10);
        const size_t now = m_sim->Log().ReceivedCount();
        if (now == count)
            break;
        count = now;
    }
    const std::vector<probesim::LoggedFrame> frames = m_sim->Log().Received();
    std::vector<Request> requests;
    for (size_t i = std::min(frames.size(), m_nMark); i < frames.size(); ++i)
    {
        const std::optional<probesim::Adu>& adu = frames[i].adu;
        if (!adu || adu->data.size() < 4)
            continue;
        const std::vector<uint8_t>& data = adu->data;
        Request request{adu->function == kWriteRegisters,
                        static_cast<uint16_t>(kHoldingBase + Word(data, 0)),
                        Word(data, 2),
                        {}};
        if (adu->function == kWriteRegisters)
        {
            for (size_t at = 5; at + 1 < data.size(); at += 2)
                request.values.push_back(Word(data, at));
        }
        else if (adu->function != kReadHolding)
        {
            continue;
        }
        requests.push_back(request);
    }
    return requests;
}

std::vector<uint16_t> AdapterTest::CommandsSinceMark(uint16_t connection)
{
    std::vector<uint16_t> words;
    for (const Request& request : RequestsSinceMark())
    {
        if (request.write && request.first == probesim::SensorCommandRegisterOf(connection))
            words.insert(words.end(), request.values.begin(), request.values.end());
    }
    return words;
}

std::string AdapterTest::DeviceTraceText()
{
    std::ifstream file(CTraceLogFile::ResolvePath(u"DeviceControlTraceLog.txt"), std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    return content.str();
}

} // namespace adaptertest
