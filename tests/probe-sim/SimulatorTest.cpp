// The bare simulator through its pseudo-terminal, with frames written out by hand.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <termios.h>
#include <thread>

#include "tests/probe-sim/WireClient.h"
#include "tests/support/HeldReads.h"
#include "tools/probe-sim/ProbeSimulator.h"

namespace probesim_test
{
namespace
{

using probesim::Direction;
using probesim::FramingMode;
using probesim::ProbeSimulator;

const Bytes kRead = Hex("01 03 00 00 00 01 84 0A");
constexpr const char* kReadReply = "01 03 02 12 34 B5 33";

class Simulator : public ::testing::Test
{
protected:
    Simulator()
    {
        for (uint16_t number : {40001, 40010, 40011})
            sim.Registers().SetU16(number, 0x1234);
    }

    // Writes one frame and waits until the simulator has acted on it (frames written back to back
    // would run together in RTU).
    void Send(const Bytes& frame)
    {
        const size_t before = sim.Log().ReceivedCount();
        client.Put(frame);
        ASSERT_TRUE(sim.Log().WaitForReceived(before + 1, 1s));
    }

    ProbeSimulator sim;
    WireClient client{sim.SlavePath()};
};

TEST_F(Simulator, AnswersReadsWritesAndExceptionsAndLogsBothDirections)
{
    EXPECT_EQ(ToHex(client.Transact(kRead)), kReadReply);
    // CR, LF, XON and XOFF would be eaten or translated by a terminal that is not raw.
    sim.Registers().SetU16(30001, 0x0D0A);
    sim.Registers().SetU16(30002, 0x1113);
    EXPECT_EQ(ToHex(client.Transact(Hex("01 04 00 00 00 02 71 CB"))), "01 04 04 0D 0A 11 13 94 B7");
    EXPECT_EQ(ToHex(client.Transact(Hex("01 10 00 09 00 02 04 00 03 00 04 C2 06"))),
              "01 10 00 09 00 02 91 CA");
    EXPECT_EQ(sim.Registers().GetU16(40011), 0x0004);
    EXPECT_EQ(ToHex(client.Transact(Hex("01 03 00 02 00 01 25 CA"))), "01 83 02 C0 F1"); // no 40003
    EXPECT_EQ(ToHex(client.Transact(Hex("01 06 00 00 00 01 48 0A"))), "01 86 01 83 A0"); // function 6

    ASSERT_TRUE(sim.Log().WaitForSent(5, 1s));
    const auto frames = sim.Log().Frames();
    ASSERT_EQ(frames.size(), 10u);
    EXPECT_TRUE(frames[0].direction == Direction::Received && frames[0].bytes == kRead &&
                frames[0].wellFormed);
    EXPECT_TRUE(frames[1].direction == Direction::Sent && ToHex(frames[1].bytes) == kReadReply);
}

TEST_F(Simulator, IgnoresOtherAddressesAndDamagedFramesAndAnswersNoBroadcast)
{
    Send(Hex("02 03 00 00 00 01 84 39"));          // another slave
    Send(Hex("01 03 00 00 00 01 84 0B"));          // CRC damaged
    Send(Hex("01 03"));                            // too short
    Send(Hex("00 10 00 09 00 01 02 AB CD 15 FC")); // broadcast write
    EXPECT_EQ(ToHex(client.ReadReply(100ms)), "");
    EXPECT_EQ(sim.Log().SentCount(), 0u);
    const auto received = sim.Log().Received();
    EXPECT_EQ(received[0].note, "ignored: address 2");
    EXPECT_FALSE(received[1].wellFormed);
    EXPECT_EQ(received[1].note, "bad CRC");
    EXPECT_FALSE(received[2].wellFormed);
    EXPECT_EQ(received[3].note, "broadcast");
    EXPECT_EQ(sim.Registers().GetU16(40010), 0xABCD);
}

// Requests that reach the line while nobody reads it come in one read, as two requests written at
// once do: each is still heard and answered, as on a wire, where a silence parts them.
TEST_F(Simulator, RtuRequestsThatArriveTogetherAreEachAnswered)
{
    const Bytes write = Hex("01 10 00 09 00 02 04 00 03 00 04 C2 06");
    Bytes both = kRead;
    both.insert(both.end(), write.begin(), write.end());
    client.Put(both);
    ASSERT_TRUE(sim.Log().WaitForSent(2, 5s));
    const auto received = sim.Log().Received();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].bytes, kRead);
    EXPECT_EQ(received[1].bytes, write);
    EXPECT_TRUE(received[0].wellFormed && received[1].wellFormed);
    EXPECT_EQ(sim.Registers().GetU16(40011), 0x0004);
}

// While the device model is busy with one request, the next is still taken off the line as it
// comes: the master's purge before a retry cannot take it back unheard.
TEST_F(Simulator, ARequestTakenInWhileTheModelIsBusyOutlivesThePurgeOfTheMastersPort)
{
    testsupport::HeldReads held(sim);
    client.Put(kRead);
    held.AwaitEntered();
    const Bytes write = Hex("01 10 00 09 00 02 04 00 03 00 04 C2 06");
    client.Put(write);
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (sim.BytesTakenIn() < kRead.size() + write.size() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    EXPECT_EQ(sim.BytesTakenIn(), kRead.size() + write.size());
    ASSERT_EQ(tcflush(client.Fd(), TCIOFLUSH), 0);
    held.Release();
    EXPECT_TRUE(sim.Log().WaitForReceived(2, 5s));
    EXPECT_EQ(sim.Registers().GetU16(40011), 0x0004);
}

TEST_F(Simulator, SwitchesToAsciiWhileRunningAndIgnoresBadAsciiFrames)
{
    EXPECT_EQ(ToHex(client.Transact(kRead)), kReadReply);
    sim.SetMode(FramingMode::Ascii);
    client.SetMode(FramingMode::Ascii);
    EXPECT_EQ(client.Transact(Text(":010300000001FB\r\n")), Text(":0103021234B4\r\n"));
    EXPECT_EQ(client.Transact(Text(":010300010001FA\r\n")), Text(":0183027A\r\n"));
    client.Put(Text(":010300000001FA\r\n")); // bad LRC
    client.Put(Text(":010300000001fb\r\n")); // lower case
    ASSERT_TRUE(sim.Log().WaitForReceived(5, 1s));
    EXPECT_EQ(ToHex(client.ReadReply(100ms)), "");
    EXPECT_EQ(sim.Log().Received()[3].note, "bad LRC");
    EXPECT_FALSE(sim.Log().Received()[4].wellFormed);
}

TEST_F(Simulator, AFunctionHandlerThatThrowsAnswersSlaveDeviceFailure)
{
    sim.Model().SetFunctionHandler(100,
                                   [](const probesim::Adu& request)
                                   {
                                       if (request.data.size() != 6)
                                           throw std::runtime_error("short file request");
                                       return probesim::Reply::WithData(Hex("00 04 DE AD BE EF"));
                                   });
    EXPECT_EQ(ToHex(client.Transact(Hex("01 64 00 00 00 00 00 04 A5 C2"))), "01 64 00 04 DE AD BE EF CE 24");
    EXPECT_EQ(ToHex(client.Transact(Hex("01 64 00 00 40 07"))), "01 E4 04 6A C3");
    EXPECT_NE(sim.Log().Received().back().note.find("short file request"), std::string::npos);
}

TEST(SimulatorLifetime, TheLineReopensAndTheSimulatorStopsPromptlyWithAReplyPending)
{
    auto sim = std::make_unique<ProbeSimulator>();
    sim->Registers().SetU16(40001, 0x1234);
    for (int i = 0; i < 2; ++i)
    {
        WireClient client(sim->SlavePath());
        EXPECT_EQ(ToHex(client.Transact(kRead)), kReadReply);
    }
    sim->Faults().Queue(probesim::Fault::Late(30s));
    WireClient client(sim->SlavePath());
    client.Put(kRead);
    ASSERT_TRUE(sim->Log().WaitForReceived(3, 1s));
    const auto start = std::chrono::steady_clock::now();
    sim.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

} // namespace
} // namespace probesim_test
