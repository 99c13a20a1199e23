// The waits for the simulated probe: a port's bytes count as taken in only once the simulator has
// logged them, also when it is held up; each wake-up frame ends one pause, in either framing, and
// none from before the watch does.
#include <chrono>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "comm/SerialComm.h"
#include "tests/support/HeldReads.h"
#include "tests/support/SimulatorWaits.h"
#include "tests/support/TestEnvironment.h"
#include "tools/probe-sim/PortTable.h"
#include "tools/probe-sim/ProbeSimulator.h"

namespace testsupport
{
namespace
{

using namespace std::chrono_literals;

const probesim::Adu kReadFirstRegister{1, 3, {0x00, 0x00, 0x00, 0x01}};
const probesim::Adu kWakeUp{200, 17, {}};

class SimulatorWaits : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string error;
        const std::optional<unsigned> number = probesim::RegisterComPort(m_sim.SlavePath(), 0, error);
        ASSERT_TRUE(number.has_value()) << error;
        ASSERT_EQ(m_port.Open(static_cast<USHORT>(*number)), S_OK);
    }

    void Write(probesim::FramingMode mode, const probesim::Adu& adu)
    {
        const std::vector<uint8_t> frame = probesim::EncodeFrame(mode, adu);
        CByteBuffer buffer;
        ASSERT_TRUE(buffer.Append(static_cast<uint32_t>(frame.size()), frame.data()));
        ASSERT_EQ(m_port.Write(buffer, 1000), S_OK);
    }

    ScopedConfigDir m_config;
    probesim::ProbeSimulator m_sim;
    NVTools::CSerialComm m_port;
};

TEST_F(SimulatorWaits, WhatThePortWroteIsTakenInOnlyOnceTheSimulatorHasLoggedIt)
{
    WrittenTakenIn takenIn;
    takenIn.Agree(m_port, m_sim.Log());
    EXPECT_TRUE(takenIn.Await(m_port, m_sim.Log(), 0ms)) << "nothing written yet";
    // The simulator held up in the middle of a request, as a busy machine holds it up.
    HeldReads held(m_sim);
    Write(probesim::FramingMode::Rtu, kReadFirstRegister);
    held.AwaitEntered();
    const bool early = takenIn.Await(m_port, m_sim.Log(), 50ms);
    held.Release();
    EXPECT_FALSE(early);
    EXPECT_TRUE(takenIn.Await(m_port, m_sim.Log()));
    EXPECT_EQ(m_sim.Log().ReceivedCount(), 1u);

    // A log cleared since: the wait cannot count, and ends once the line is quiet.
    m_sim.Log().Clear();
    Write(probesim::FramingMode::Rtu, kReadFirstRegister);
    ASSERT_TRUE(m_sim.Log().WaitForReceived(1, 5s));
    EXPECT_TRUE(takenIn.Await(m_port, m_sim.Log()));
    // And counts again from there.
    Write(probesim::FramingMode::Rtu, kReadFirstRegister);
    EXPECT_TRUE(takenIn.Await(m_port, m_sim.Log()));
    EXPECT_EQ(m_sim.Log().ReceivedCount(), 2u);
}

TEST_F(SimulatorWaits, BytesThatNeverReachTheSimulatorAreWaitedForOnlyASecond)
{
    // What another line carries never reaches this simulator, as bytes purged from the line before
    // the simulator read them never do.
    probesim::ProbeSimulator other;
    std::string error;
    const std::optional<unsigned> number = probesim::RegisterComPort(other.SlavePath(), 0, error);
    ASSERT_TRUE(number.has_value()) << error;
    NVTools::CSerialComm otherPort;
    ASSERT_EQ(otherPort.Open(static_cast<USHORT>(*number)), S_OK);
    WrittenTakenIn takenIn;
    takenIn.Agree(otherPort, m_sim.Log());
    const std::vector<uint8_t> frame = probesim::EncodeFrame(probesim::FramingMode::Rtu, kReadFirstRegister);
    CByteBuffer buffer;
    ASSERT_TRUE(buffer.Append(static_cast<uint32_t>(frame.size()), frame.data()));
    ASSERT_EQ(otherPort.Write(buffer, 1000), S_OK);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(takenIn.Await(otherPort, m_sim.Log(), 30s));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 20s);
    // Given up for gone: the next wait does not wait for them again.
    EXPECT_TRUE(takenIn.Await(otherPort, m_sim.Log(), 0ms));
}

TEST_F(SimulatorWaits, EachWakeUpFrameEndsOnePauseInEitherFramingAndNoneFromBeforeTheWatch)
{
    Write(probesim::FramingMode::Rtu, kWakeUp);
    ASSERT_TRUE(m_sim.Log().WaitForReceived(1, 5s));
    WakeUpFrameWatch watch;
    EXPECT_FALSE(watch.AwaitNext(m_sim.Log(), 50ms)) << "a frame from before the watch";

    Write(probesim::FramingMode::Rtu, kWakeUp);
    EXPECT_TRUE(watch.AwaitNext(m_sim.Log()));
    EXPECT_FALSE(watch.AwaitNext(m_sim.Log(), 50ms)) << "the same frame a second time";
    // An ASCII wake-up reaches a probe that listens in RTU as the same bytes.
    Write(probesim::FramingMode::Ascii, kWakeUp);
    EXPECT_TRUE(watch.AwaitNext(m_sim.Log()));
    // A request is no wake-up frame.
    Write(probesim::FramingMode::Rtu, kReadFirstRegister);
    EXPECT_FALSE(watch.AwaitNext(m_sim.Log(), 50ms));

    // Frames the watch was told to pass by: those of pauses it did not keep.
    const size_t count = m_sim.Log().ReceivedCount();
    Write(probesim::FramingMode::Rtu, kWakeUp);
    ASSERT_TRUE(m_sim.Log().WaitForReceived(count + 1, 5s));
    watch.IgnoreEarlier();
    EXPECT_FALSE(watch.AwaitNext(m_sim.Log(), 50ms));
}

} // namespace
} // namespace testsupport
