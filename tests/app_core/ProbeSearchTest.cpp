// The port search: its order over ports and strings, and the test connect against simulated probes.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/connection/AppProfile.h"
#include "app/connection/ConnectionString.h"
#include "app/connection/ProbeSearch.h"
#include "comm/SerialCommImpl.h"
#include "tests/app_core/ConnectionTestSupport.h"
#include "tools/probe-sim/PortTable.h"

namespace apptest
{
namespace
{

using Try = std::pair<USHORT, std::u16string>;

constexpr USHORT kAccepted[] = {18, 19, 12, 31, 35, 36, 37, 39};
constexpr USHORT kDeviceTypeRegister = 49001;
constexpr uint8_t kReadHolding = 3;

// A search whose tries are recorded and succeed only for one port and string.
struct ScriptedSearch
{
    std::vector<Try> tries;
    Try answering{0, u""};
    USHORT port = 77;
    CWideString text{u"untouched"};

    BOOL Run(const std::vector<USHORT>& ports, USHORT lastPort, const std::vector<CWideString>& strings)
    {
        return SearchProbePort(
            ports, lastPort, strings,
            [this](USHORT candidate, const CWideString& candidateText)
            {
                tries.emplace_back(candidate, Text(candidateText));
                return tries.back() == answering ? S_OK : E_FAIL;
            },
            port, text);
    }
};

const std::vector<CWideString> kTwoStrings{CWideString(u"A"), CWideString(u"B")};

TEST(ProbeSearchOrder, TriesTheLastPortFirstAndNeverTwice)
{
    ScriptedSearch search;
    EXPECT_FALSE(search.Run({3, 4}, 4, kTwoStrings));
    EXPECT_EQ(search.tries, (std::vector<Try>{{4, u"A"}, {4, u"B"}, {3, u"A"}, {3, u"B"}}));
    EXPECT_EQ(search.port, 77);
    EXPECT_EQ(Text(search.text), u"untouched");
}

TEST(ProbeSearchOrder, StopsAtTheFirstAnswer)
{
    ScriptedSearch search;
    search.answering = {5, u"B"};
    EXPECT_TRUE(search.Run({3, 5, 6}, 0, kTwoStrings));
    EXPECT_EQ(search.tries, (std::vector<Try>{{3, u"A"}, {3, u"B"}, {5, u"A"}, {5, u"B"}}));
    EXPECT_EQ(search.port, 5);
    EXPECT_EQ(Text(search.text), u"B");
}

TEST(ProbeSearchOrder, ALastPortThatIsGoneIsStillTriedFirst)
{
    ScriptedSearch search;
    EXPECT_FALSE(search.Run({3}, 9, {CWideString(u"A")}));
    EXPECT_EQ(search.tries, (std::vector<Try>{{9, u"A"}, {3, u"A"}}));
}

class ProbeSearch : public ConnectionTest
{
protected:
    // The addresses that device type reads went to since the mark.
    std::vector<uint8_t> TypeReadAddresses()
    {
        std::vector<uint8_t> addresses;
        for (const probesim::Adu& adu : ReceivedSinceMark())
            if (adu.function == kReadHolding && adu.data.size() == 4 &&
                40001 + (adu.data[0] << 8 | adu.data[1]) == kDeviceTypeRegister)
                addresses.push_back(adu.address);
        return addresses;
    }
};

TEST_F(ProbeSearch, ATestConnectAnswersForAnAcceptedTypeAndClosesThePort)
{
    StartProbe(12);
    EXPECT_EQ(TestProbeConnection(Port(), kAccepted, u"19200,8,E,1,RTU,1"), S_OK);
    EXPECT_EQ(NVTools::CSerialCommImpl::GetOpenObjectCount(), 0u);

    const USHORT onlySondes[] = {5, 10};
    EXPECT_EQ(TestProbeConnection(Port(), onlySondes, u"19200,8,E,1,RTU,1"), E_FAIL);
    // Nobody at address 2: the read's own failure.
    const HRESULT nobody = TestProbeConnection(Port(), kAccepted, u"19200,8,E,1,RTU,2");
    EXPECT_TRUE(Failed(nobody));
    EXPECT_NE(nobody, E_FAIL);
    EXPECT_EQ(NVTools::CSerialCommImpl::GetOpenObjectCount(), 0u);

    Mark();
    EXPECT_EQ(TestProbeConnection(Port(), kAccepted, u"19200,8,E,1,RTU,248"), E_FAIL);
    EXPECT_TRUE(ReceivedSinceMark().empty());
}

TEST_F(ProbeSearch, FindsTheProbeWithTheFirstStringItAnswers)
{
    StartProbe(12);
    WriteProfileInt(PROFILE_SECTION_COMMUNICATION, PROFILE_MAX_PARAMS, 5);
    WriteProfileString(PROFILE_SECTION_COMMUNICATION, u"Params00", u"19200,8,E,1,RTU,2");
    WriteProfileString(PROFILE_SECTION_COMMUNICATION, u"Params01", u"19200,8,e,1,rtu,1");
    WriteProfileString(PROFILE_SECTION_COMMUNICATION, PROFILE_PARAMS_DEFAULT, u"19200,8,E,1,RTU,3");
    Mark();

    USHORT port = 0;
    CWideString text;
    ASSERT_TRUE(FindProbePort(port, text, kAccepted));
    EXPECT_EQ(port, Port());
    EXPECT_EQ(Text(text), u"19200,8,e,1,rtu,1");
    EXPECT_EQ(TypeReadAddresses(), (std::vector<uint8_t>{2, 1}));
    EXPECT_EQ(NVTools::CSerialCommImpl::GetOpenObjectCount(), 0u);
}

TEST_F(ProbeSearch, TheLastSerialPortGoesFirst)
{
    // An unsupported probe on a second port, entered in the table before the wanted one.
    probesim::ProbeSimulator other;
    const auto otherProbe = probesim::MakeProbe(other, probesim::ProbeConfig(20, 1));
    std::string error;
    const auto otherPort = probesim::RegisterComPort(other.SlavePath(), 0, error);
    ASSERT_TRUE(otherPort.has_value()) << error;
    StartProbe(12);
    ASSERT_GT(Port(), *otherPort);

    USHORT port = 0;
    CWideString text;
    WriteProfileInt(PROFILE_SECTION_COMMUNICATION, PROFILE_LAST_SERIAL_PORT, Port());
    ASSERT_TRUE(FindProbePort(port, text, kAccepted));
    EXPECT_EQ(port, Port());
    EXPECT_EQ(other.Log().ReceivedCount(), 0u);

    // Without it, the ports go in table order and the unsupported probe is passed by.
    WriteProfileInt(PROFILE_SECTION_COMMUNICATION, PROFILE_LAST_SERIAL_PORT, 0);
    port = 0;
    ASSERT_TRUE(FindProbePort(port, text, kAccepted));
    EXPECT_EQ(port, Port());
    EXPECT_GT(other.Log().ReceivedCount(), 0u);
    EXPECT_EQ(Text(text), u"19200,8,E,1,RTU,1");
    probesim::UnregisterComPort(other.SlavePath());
}

TEST_F(ProbeSearch, NoAnswerLeavesTheOutputsAlone)
{
    StartProbe(20);
    USHORT port = 55;
    CWideString text(u"kept");
    EXPECT_FALSE(FindProbePort(port, text, kAccepted));
    EXPECT_EQ(port, 55);
    EXPECT_EQ(Text(text), u"kept");
}

} // namespace
} // namespace apptest
