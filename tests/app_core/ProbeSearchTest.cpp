// The port search: its order over ports and strings, and the test connect against simulated probes.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "comm/LinePauses.h"
#include "comm/SerialCommImpl.h"
#include "connection/AppProfile.h"
#include "connection/ConnectionString.h"
#include "connection/ProbeSearch.h"
#include "platform/Clock.h"
#include "tests/app_core/ConnectionTestSupport.h"
#include "tools/probe-sim/PortTable.h"

namespace apptest
{
namespace
{

using Try = std::pair<USHORT, std::u16string>;

constexpr USHORT kAccepted[] = {18, 19, 12, 31, 35, 36, 37, 39};

// A search whose tries are recorded; only one port and string answer.
std::vector<Try> Search(const std::vector<USHORT>& ports, USHORT lastPort, const Try& answering, USHORT& port,
                        CWideString& text)
{
    std::vector<Try> tries;
    SearchProbePort(
        ports, lastPort, {CWideString(u"A"), CWideString(u"B")},
        [&](USHORT candidate, const CWideString& candidateText)
        {
            tries.emplace_back(candidate, Text(candidateText));
            return tries.back() == answering ? S_OK : E_FAIL;
        },
        port, text);
    return tries;
}

TEST(ProbeSearchOrder, TriesTheLastPortFirstNeverTwiceAndStopsAtTheFirstAnswer)
{
    USHORT port = 77;
    CWideString text(u"kept");
    EXPECT_EQ(Search({3, 4}, 4, {0, u""}, port, text),
              (std::vector<Try>{{4, u"A"}, {4, u"B"}, {3, u"A"}, {3, u"B"}}));
    EXPECT_EQ(port, 77);
    EXPECT_EQ(Text(text), u"kept");
    // A last port that is gone is still tried first.
    EXPECT_EQ(Search({3, 5, 6}, 9, {5, u"B"}, port, text),
              (std::vector<Try>{{9, u"A"}, {9, u"B"}, {3, u"A"}, {3, u"B"}, {5, u"A"}, {5, u"B"}}));
    EXPECT_EQ(port, 5);
    EXPECT_EQ(Text(text), u"B");
}

using ProbeSearch = ConnectionTest;

TEST_F(ProbeSearch, ATestConnectAnswersForAnAcceptedTypeAndClosesThePort)
{
    StartProbe(12);
    EXPECT_EQ(TestProbeConnection(Port(), kAccepted, u"19200,8,E,1,RTU,1"), S_OK);
    const USHORT onlySondes[] = {5, 10};
    EXPECT_EQ(TestProbeConnection(Port(), onlySondes, u"19200,8,E,1,RTU,1"), E_FAIL);
    // Nobody at address 2: the read's own failure.
    const HRESULT nobody = TestProbeConnection(Port(), kAccepted, u"19200,8,E,1,RTU,2");
    EXPECT_TRUE(Failed(nobody) && nobody != E_FAIL);
    EXPECT_EQ(NVTools::CSerialCommImpl::GetOpenObjectCount(), 0u);
    Mark();
    EXPECT_EQ(TestProbeConnection(Port(), kAccepted, u"19200,8,E,1,RTU,248"), E_FAIL);
    EXPECT_TRUE(ReceivedSinceMark().empty());
}

TEST_F(ProbeSearch, FindsTheProbeWithTheFirstStringItAnswersTheLastPortFirst)
{
    // An unsupported probe on the port the table lists first.
    probesim::ProbeSimulator other;
    const auto otherProbe = probesim::MakeProbe(other, probesim::ProbeConfig(20, 1));
    std::string error;
    ASSERT_TRUE(probesim::RegisterComPort(other.SlavePath(), 0, error).has_value()) << error;
    StartProbe(12);
    WriteProfileInt(PROFILE_SECTION_COMMUNICATION, PROFILE_MAX_PARAMS, 5);
    WriteProfileString(PROFILE_SECTION_COMMUNICATION, u"Params00", u"19200,8,E,1,RTU,2");
    WriteProfileString(PROFILE_SECTION_COMMUNICATION, u"Params01", u"19200,8,e,1,rtu,1");
    WriteProfileInt(PROFILE_SECTION_COMMUNICATION, PROFILE_LAST_SERIAL_PORT, Port());

    USHORT port = 0;
    CWideString text;
    ASSERT_TRUE(FindProbePort(port, text, kAccepted));
    EXPECT_EQ(port, Port());
    EXPECT_EQ(Text(text), u"19200,8,e,1,rtu,1");
    EXPECT_EQ(other.Log().ReceivedCount(), 0u);
    std::vector<uint8_t> addresses;
    for (const probesim::Adu& adu : ReceivedSinceMark())
        if (adu.function == 3)
            addresses.push_back(adu.address);
    EXPECT_EQ(addresses, (std::vector<uint8_t>{2, 1}));

    // Without a last port the table's order holds, and the unsupported probe is passed by.
    WriteProfileInt(PROFILE_SECTION_COMMUNICATION, PROFILE_LAST_SERIAL_PORT, 0);
    port = 0;
    ASSERT_TRUE(FindProbePort(port, text, kAccepted));
    EXPECT_EQ(port, Port());
    EXPECT_GT(other.Log().ReceivedCount(), 0u);
    EXPECT_EQ(NVTools::CSerialCommImpl::GetOpenObjectCount(), 0u);
    probesim::UnregisterComPort(other.SlavePath());
}

TEST_F(ProbeSearch, TheConnectAfterTheSearchDoesNotWakeTheProbeThatHasJustAnswered)
{
    // The wake-up pauses last until the probe has taken the wake-up frame in: the frames tell what
    // happened.
    UseWakeUpFramePauses();
    StartProbe(12);
    WriteProfileInt(PROFILE_SECTION_COMMUNICATION, PROFILE_LAST_SERIAL_PORT, Port());
    const auto wakeUps = [this]
    {
        size_t count = 0;
        for (const probesim::Adu& adu : ReceivedSinceMark())
            count += adu.address == 200 && adu.function == 17 ? 1 : 0;
        return count;
    };

    USHORT port = 0;
    CWideString text;
    uint64_t answeredAt = 0;
    ASSERT_TRUE(FindProbePort(port, text, kAccepted, &answeredAt));
    EXPECT_NE(answeredAt, 0u);
    EXPECT_EQ(wakeUps(), 1u);
    m_connection.m_nPort = port;
    ASSERT_EQ(m_connection.ConnectToDevice(answeredAt), S_OK);
    EXPECT_EQ(wakeUps(), 1u) << "woken by the search only";

    // Told nothing, the connect wakes it again.
    m_connection.DisconnectDevice();
    ASSERT_EQ(m_connection.ConnectToDevice(), S_OK);
    EXPECT_EQ(wakeUps(), 2u);
}

} // namespace
} // namespace apptest
