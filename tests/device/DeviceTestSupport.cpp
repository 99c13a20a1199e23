#include "tests/device/DeviceTestSupport.h"

#include <chrono>
#include <ostream>

#include "device/CacheSettings.h"
#include "foundation/CommTimeouts.h"
#include "platform/Clock.h"
#include "platform/SettingsStore.h"
#include "tools/probe-sim/DeviceTypes.h"
#include "tools/probe-sim/PortTable.h"

namespace devicetest
{

std::atomic<int> TestDevice::s_nDestroyed{0};

namespace
{

constexpr uint8_t kWriteRegisters = 16;
constexpr uint8_t kReadHoldingRegisters = 3;
constexpr uint16_t kHoldingBase = 40001;

std::atomic<uint64_t> g_fakeTicks{1000};

uint64_t FakeTicks()
{
    return g_fakeTicks.load();
}

uint16_t Word(const std::vector<uint8_t>& data, size_t at)
{
    return static_cast<uint16_t>(data.at(at) << 8 | data.at(at + 1));
}

} // namespace

void PrintTo(const RegisterWrite& write, std::ostream* os)
{
    *os << "write @" << unsigned(write.address) << " " << write.first << " [";
    for (uint16_t value : write.values)
        *os << " 0x" << std::hex << value << std::dec;
    *os << " ]";
}

void PrintTo(const RegisterRead& read, std::ostream* os)
{
    *os << "read @" << unsigned(read.address) << " " << read.first << " x" << read.count;
}

void SetTunable(const char16_t* name, uint32_t value)
{
    ASSERT_TRUE(platform::settings::SetDword(platform::Hive::LocalMachine, COMM_TUNABLES_KEY, name, value));
}

FakeClock::FakeClock()
{
    NVSystem::CCacheSettings::SetTickSourceForTests(&FakeTicks);
}

FakeClock::~FakeClock()
{
    NVSystem::CCacheSettings::SetTickSourceForTests(nullptr);
}

void FakeClock::Advance(uint64_t ms)
{
    g_fakeTicks.fetch_add(ms);
}

DeviceOnSimulator::DeviceOnSimulator()
{
    ResetCommTunablesForTests();
    const std::pair<const char16_t*, uint32_t> quick[] = {{u"InterMsgDelay TO", 0},
                                                          {u"RTUInterCharacter TO", 20},
                                                          {u"BusyResponseDelay", 1},
                                                          {u"Read Register TO", kRegisterTimeoutMs},
                                                          {u"Write Register TO", kRegisterTimeoutMs},
                                                          {u"Retry Count", 1},
                                                          {u"Factory Restore TO", 300}};
    for (const auto& [name, value] : quick)
        SetTunable(name, value);
}

DeviceOnSimulator::~DeviceOnSimulator()
{
    StopLine();
    ResetCommTunablesForTests();
}

void DeviceOnSimulator::StopLine()
{
    m_device.reset();
    m_network.reset();
    m_port.Close();
    m_probe.reset();
    m_sim.reset();
    m_nMark = 0;
}

void DeviceOnSimulator::StartLine(probesim::InstrumentConfig config)
{
    StopLine();
    config.sleeps = m_bInstrumentSleeps;
    const probesim::FramingMode mode = config.line ? config.line->mode : probesim::FramingMode::Rtu;
    m_sim = std::make_unique<probesim::ProbeSimulator>(probesim::SimulatorOptions{
        .mode = mode, .address = kSlave, .rtuSilence = std::chrono::milliseconds(5)});
    m_probe = std::make_unique<probesim::Instrument>(*m_sim, config);
    std::string error;
    const auto number = probesim::RegisterComPort(m_sim->SlavePath(), 0, error);
    ASSERT_TRUE(number.has_value()) << error;
    ASSERT_EQ(m_port.Open(static_cast<USHORT>(*number)), S_OK);
    m_network.reset(CModbusComm::Create());
    ASSERT_NE(m_network, nullptr);
    ASSERT_EQ(m_network->ConnectCommLink(m_port), S_OK);
    ASSERT_EQ(m_network->SetTransmissionMode(mode == probesim::FramingMode::Ascii ? 1 : 0), S_OK);
    m_takenIn.Agree(m_port, m_sim->Log());
}

SlaveIdInfo DeviceOnSimulator::ReportedIdentity()
{
    SlaveIdInfo slaveId;
    EXPECT_EQ(m_network->ReportSlaveId(kSlave, slaveId, kRegisterTimeoutMs, 1), S_OK);
    return slaveId;
}

HRESULT DeviceOnSimulator::CreateAndAttach(const SlaveIdInfo& slaveId)
{
    m_device.reset(new TestDevice(slaveId));
    // The factory places the registers of the instrument's family before it links the device.
    const probesim::FamilyRegisters family = probesim::FamilyRegistersOf(slaveId.DeviceTypeId, 0);
    NVSystem::sRegisterMap& map = m_device->Map();
    map.TemplateVersion = family.templateVersion;
    map.ExternalVoltage = family.externalVoltage;
    map.InternalBatteryVoltage = family.internalBatteryVoltage;
    map.TotalMeasurementCounter = family.totalMeasurementCounter;
    map.TotalBatteryCounter = family.totalBatteryCounter;
    map.MeasurementCacheTimeout = family.measurementCacheTimeout;
    map.ScratchPad = family.scratchPad;
    const HRESULT hr = m_device->AttachCommLink(kSlave, slaveId, m_network.get());
    if (Succeeded(hr))
        m_network->AddDevice(m_device.get());
    return hr;
}

void DeviceOnSimulator::AttachDevice()
{
    ASSERT_EQ(CreateAndAttach(ReportedIdentity()), S_OK);
    Mark();
}

std::vector<probesim::LoggedFrame> DeviceOnSimulator::ReceivedSinceMark()
{
    // What is still on the line arrives first: an unanswered request is logged only once the
    // simulator has got to it, which on a busy machine may be long after its time-out.
    EXPECT_TRUE(m_takenIn.Await(m_port, m_sim->Log()))
        << "the simulated probe has not taken in everything the port wrote";
    std::vector<probesim::LoggedFrame> frames = m_sim->Log().Received();
    const size_t skip = std::min(frames.size(), m_nMark);
    return std::vector<probesim::LoggedFrame>(frames.begin() + static_cast<std::ptrdiff_t>(skip),
                                              frames.end());
}

void DeviceOnSimulator::Mark()
{
    ReceivedSinceMark();
    m_nMark = m_sim->Log().ReceivedCount();
}

size_t DeviceOnSimulator::FramesSinceMark()
{
    return ReceivedSinceMark().size();
}

std::optional<RegisterWrite> RegisterWriteOf(const probesim::LoggedFrame& frame)
{
    if (!frame.adu || frame.adu->function != kWriteRegisters || frame.adu->data.size() < 5)
        return std::nullopt;
    const std::vector<uint8_t>& data = frame.adu->data;
    RegisterWrite write{frame.adu->address, static_cast<uint16_t>(kHoldingBase + Word(data, 0)), {}};
    for (size_t at = 5; at + 1 < data.size(); at += 2)
        write.values.push_back(Word(data, at));
    return write;
}

std::vector<RegisterWrite> DeviceOnSimulator::WritesSinceMark()
{
    std::vector<RegisterWrite> writes;
    for (const probesim::LoggedFrame& frame : ReceivedSinceMark())
    {
        if (std::optional<RegisterWrite> write = RegisterWriteOf(frame))
            writes.push_back(std::move(*write));
    }
    return writes;
}

std::vector<RegisterRead> DeviceOnSimulator::ReadsSinceMark()
{
    std::vector<RegisterRead> reads;
    for (const probesim::LoggedFrame& frame : ReceivedSinceMark())
    {
        if (!frame.adu || frame.adu->function != kReadHoldingRegisters || frame.adu->data.size() != 4)
            continue;
        const std::vector<uint8_t>& data = frame.adu->data;
        reads.push_back(
            {frame.adu->address, static_cast<uint16_t>(kHoldingBase + Word(data, 0)), Word(data, 2)});
    }
    return reads;
}

} // namespace devicetest
