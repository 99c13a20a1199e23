// The broadcast reset against a simulated probe that hears only frames sent at its own line
// settings: every setting of the sweep in order, and the probe found at the factory setting and
// address afterwards.
#include <array>
#include <chrono>
#include <thread>
#include <tuple>

#include "comm/IPComm.h"
#include "comm/ModemComm.h"
#include "comm/SerialSettingsIds.h"
#include "tests/comm/CommTestSupport.h"
#include "tools/probe-sim/Instrument.h"

namespace commtest
{
namespace
{

using namespace std::chrono_literals;

// The line as a pause of the sweep found it (framing mode, baud, data bits, parity and stop bits
// ids), and the pause.
using Pause = std::array<ULONG, 6>;

probesim::MasterLine MasterLineOf(const DCB& dcb)
{
    const probesim::Parity parity = dcb.Parity == EVENPARITY  ? probesim::Parity::Even
                                    : dcb.Parity == ODDPARITY ? probesim::Parity::Odd
                                                              : probesim::Parity::None;
    return {dcb.BaudRate, dcb.ByteSize, parity, static_cast<uint8_t>(dcb.StopBits == TWOSTOPBITS ? 2 : 1)};
}

struct Start
{
    probesim::LineSettings line;
    uint8_t address;
};

class BroadcastReset : public ::testing::TestWithParam<Start>
{
protected:
    ~BroadcastReset() override
    {
        if (m_sim)
            m_sim->SetMasterLineSource(nullptr);
        m_network.reset();
        m_port.Close();
        m_probe.reset();
        m_sim.reset();
    }

    QuickTunables m_tunables;
    std::unique_ptr<probesim::ProbeSimulator> m_sim;
    std::unique_ptr<probesim::Instrument> m_probe;
    NVTools::CSerialComm m_port;
    NetworkPtr m_network{CModbusComm::Create()};
};

TEST_P(BroadcastReset, SweepsEverySettingAndLeavesTheProbeAtTheDefaultSetting)
{
    const Start start = GetParam();
    m_sim = std::make_unique<probesim::ProbeSimulator>(
        probesim::SimulatorOptions{.mode = start.line.mode, .address = start.address, .rtuSilence = 2ms});
    m_probe = std::make_unique<probesim::Instrument>(
        *m_sim,
        probesim::InstrumentConfig{
            .deviceType = 12, .maxBaudId = 8, .address = start.address, .line = start.line, .sleeps = false});
    ASSERT_EQ(m_port.Open(RegisterPort(m_sim->SlavePath())), S_OK);
    ASSERT_EQ(m_network->ConnectCommLink(m_port), S_OK);
    NVTools::CSerialCommImpl* impl = m_port.GetImpl();
    // The probe hears what the port is set to at the moment, as a real line would carry it.
    m_sim->SetMasterLineSource([impl] { return MasterLineOf(impl->GetCurrentDcb()); });

    std::vector<Pause> pauses;
    size_t framesSeen = m_sim->Log().Received().size();
    m_network->SetResetPauseForTests(
        [&](ULONG ms)
        {
            Pause pause{0, 0, 0, 0, 0, ms};
            m_network->GetTransmissionMode(pause[0]);
            GetIdsFromDcb(impl->GetCurrentDcb(), pause[1], pause[2], pause[3], pause[4]);
            pauses.push_back(pause);
            // The probe judges a frame by the line settings in force when it takes the frame in,
            // so the sweep may only move on once it has: the 100 ms pause follows the lone line
            // feed, the 200 ms pause the broadcast write.
            const bool afterLineFeed = ms == 100;
            const auto deadline = std::chrono::steady_clock::now() + 2s;
            while (std::chrono::steady_clock::now() < deadline)
            {
                const auto received = m_sim->Log().Received();
                if (received.size() > framesSeen && (received.back().bytes.size() == 1) == afterLineFeed)
                {
                    framesSeen = received.size();
                    break;
                }
                std::this_thread::sleep_for(1ms);
            }
        });
    ASSERT_EQ(m_network->ResetDeviceCommunications(), S_OK);

    std::vector<Pause> expected;
    for (ULONG baud = 5; baud <= 8; ++baud)
        for (ULONG data = 0; data < 2; ++data)
            for (ULONG parity = 0; parity < 3; ++parity)
                for (ULONG stop = 0; stop < 2; ++stop)
                    for (ULONG mode = 0; mode < 2; ++mode)
                        if (mode == 1 || data == 1)
                            for (ULONG ms : {100u, 200u})
                                expected.push_back({mode, baud, data, parity, stop, ms});
    expected.push_back({0, 6, 1, 0, 0, 300});
    ASSERT_EQ(expected.size(), 72u * 2 + 1);
    EXPECT_EQ(pauses, expected);

    // Port and probe at RTU, 19200 baud, 8 data bits, even parity, 1 stop bit, the probe at address 1.
    ULONG mode = 9, baud = 0, data = 0, parity = 0, stop = 0;
    ASSERT_EQ(m_network->GetTransmissionMode(mode), S_OK);
    ASSERT_EQ(impl->GetPortConfig(&baud, &data, &parity, &stop), S_OK);
    EXPECT_EQ(std::tie(mode, baud, data, parity, stop), std::make_tuple(0u, 6u, 1u, 0u, 0u));
    EXPECT_EQ(m_probe->Line(), probesim::LineSettings{});
    EXPECT_EQ(m_probe->Address(), 1);
    m_sim->SetMasterLine(probesim::MasterLine{});
    SlaveIdInfo identity;
    EXPECT_EQ(m_network->ReportSlaveId(1, identity, 300, 1), S_OK);
}

// From ASCII 38400 7O2 at address 17, and from RTU 9600 8N1 at address 200.
const probesim::LineSettings kAscii{
    .mode = probesim::FramingMode::Ascii, .baudId = 7, .dataBitsId = 0, .parityId = 1, .stopBitsId = 1};
const probesim::LineSettings kRtu{
    .mode = probesim::FramingMode::Rtu, .baudId = 5, .dataBitsId = 1, .parityId = 2};
INSTANTIATE_TEST_SUITE_P(StartingLines, BroadcastReset,
                         ::testing::Values(Start{kAscii, 17}, Start{kRtu, 200}));

TEST(BroadcastResetLines, OnlyASerialPortIsSwept)
{
    QuickTunables tunables;
    for (NVTools::IIOAbstract* transport :
         std::initializer_list<NVTools::IIOAbstract*>{nullptr, new NVTools::CIPComm, new NVTools::CModemComm,
                                                      new NVTools::CSerialComm}) // the last without a port
    {
        NetworkPtr network(CModbusComm::Create());
        bool paused = false;
        network->SetResetPauseForTests([&](ULONG) { paused = true; });
        EXPECT_EQ(transport != nullptr ? network->AttachTransport(transport) : S_OK, S_OK);
        EXPECT_EQ(network->ResetDeviceCommunications(), MODBUSCOMM_E_INVALID_CONNECTION_TYPE);
        EXPECT_FALSE(paused);
    }
}

} // namespace
} // namespace commtest
