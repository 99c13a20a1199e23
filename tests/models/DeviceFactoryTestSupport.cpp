#include "tests/models/DeviceFactoryTestSupport.h"

#include <cstring>
#include <fstream>
#include <sstream>

#include "foundation/CommTimeouts.h"
#include "foundation/TraceLog.h"
#include "models/DeviceFactory.h"
#include "platform/Clock.h"
#include "platform/SettingsStore.h"
#include "tools/probe-sim/PortTable.h"

namespace factorytest
{

namespace
{

constexpr uint8_t kWriteRegisters = 16;
constexpr uint16_t kHoldingBase = 40001;

uint16_t Word(const std::vector<uint8_t>& data, size_t at)
{
    return static_cast<uint16_t>(data.at(at) << 8 | data.at(at + 1));
}

} // namespace

std::vector<uint16_t> FloatWords(float value)
{
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return {static_cast<uint16_t>(bits >> 16), static_cast<uint16_t>(bits & 0xFFFF)};
}

void SetTunable(const char16_t* name, uint32_t value)
{
    ASSERT_TRUE(platform::settings::SetDword(platform::Hive::LocalMachine, COMM_TUNABLES_KEY, name, value));
}

ProbeOnLine::ProbeOnLine()
{
    ResetCommTunablesForTests();
    SetTunable(u"InterMsgDelay TO", 0);
    SetTunable(u"RTUInterCharacter TO", 20);
    SetTunable(u"BusyResponseDelay", 1);
    SetTunable(u"Read Register TO", 150);
    SetTunable(u"Write Register TO", 150);
    SetTunable(u"Retry Count", 1);
    NVSystem::InstallDeviceFactory();
}

ProbeOnLine::~ProbeOnLine()
{
    m_device.reset();
    m_network.reset();
    m_port.Close();
    m_probe.reset();
    m_sim.reset();
    ResetCommTunablesForTests();
}

void ProbeOnLine::StartProbe(probesim::InstrumentConfig config, probesim::ProbeSensors sensors)
{
    config.sleeps = false;
    m_sim = std::make_unique<probesim::ProbeSimulator>(probesim::SimulatorOptions{
        .mode = probesim::FramingMode::Rtu, .address = kSlave, .rtuSilence = std::chrono::milliseconds(5)});
    m_probe = probesim::MakeProbe(*m_sim, config, sensors);
    std::string error;
    const auto number = probesim::RegisterComPort(m_sim->SlavePath(), 0, error);
    ASSERT_TRUE(number.has_value()) << error;
    ASSERT_EQ(m_port.Open(static_cast<USHORT>(*number)), S_OK);
    m_network.reset(CModbusComm::Create());
    ASSERT_NE(m_network, nullptr);
    ASSERT_EQ(m_network->ConnectCommLink(m_port), S_OK);
    ASSERT_EQ(m_network->SetTransmissionMode(0), S_OK);
}

HRESULT ProbeOnLine::CreateDevice()
{
    NVSystem::CDeviceComm* device = nullptr;
    const HRESULT hr = m_network->CreateDeviceForAddress(kSlave, device);
    m_device.reset(device);
    Mark();
    return hr;
}

std::vector<probesim::LoggedFrame> ProbeOnLine::ReceivedSinceMark()
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
    std::vector<probesim::LoggedFrame> frames = m_sim->Log().Received();
    const size_t skip = std::min(frames.size(), m_nMark);
    return std::vector<probesim::LoggedFrame>(frames.begin() + static_cast<std::ptrdiff_t>(skip),
                                              frames.end());
}

void ProbeOnLine::Mark()
{
    ReceivedSinceMark();
    m_nMark = m_sim->Log().ReceivedCount();
}

size_t ProbeOnLine::FramesSinceMark()
{
    return ReceivedSinceMark().size();
}

std::vector<RegisterWrite> ProbeOnLine::WritesSinceMark()
{
    std::vector<RegisterWrite> writes;
    for (const probesim::LoggedFrame& frame : ReceivedSinceMark())
    {
        if (!frame.adu || frame.adu->function != kWriteRegisters || frame.adu->data.size() < 5)
            continue;
        const std::vector<uint8_t>& data = frame.adu->data;
        RegisterWrite write{static_cast<uint16_t>(kHoldingBase + Word(data, 0)), {}};
        for (size_t at = 5; at + 1 < data.size(); at += 2)
            write.values.push_back(Word(data, at));
        writes.push_back(write);
    }
    return writes;
}

std::vector<uint16_t> ProbeOnLine::RegistersWrittenSinceMark()
{
    std::vector<uint16_t> registers;
    for (const RegisterWrite& write : WritesSinceMark())
        registers.push_back(write.first);
    return registers;
}

std::string ProbeOnLine::DeviceTraceText()
{
    std::ifstream file(CTraceLogFile::ResolvePath(u"DeviceControlTraceLog.txt"), std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    return content.str();
}

} // namespace factorytest
