// The simulator through its pseudo-terminal, with frames written out by hand.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "tests/probe-sim/PtyClient.h"
#include "tools/probe-sim/ProbeSimulator.h"

namespace probesim_test
{
namespace
{

using probesim::Direction;
using probesim::FramingMode;
using probesim::ProbeSimulator;

std::string Describe(const std::vector<probesim::LoggedFrame>& frames)
{
    std::string text;
    for (const auto& frame : frames)
        text += probesim::Describe(frame) + "\n";
    return text;
}

class RtuSimulator : public ::testing::Test
{
protected:
    void SetUp() override
    {
        sim.Registers().SetU16(40001, 0x1234);
        sim.Registers().SetU16(40002, 0x5678);
        sim.Registers().SetU16(40010, 0);
        sim.Registers().SetU16(40011, 0);
        client = std::make_unique<PtyClient>(sim.SlavePath());
    }

    // Writes one frame and waits until the simulator has acted on it (frames written back to back
    // would run together in RTU).
    void Send(const Bytes& frame)
    {
        const size_t before = sim.Log().ReceivedCount();
        client->Write(frame);
        ASSERT_TRUE(sim.Log().WaitForReceived(before + 1, 1s)) << Describe(sim.Log().Frames());
    }

    // Waits until the simulator has acted on `count` frames, then checks that nothing comes back.
    void ExpectNoReplyAfter(size_t count)
    {
        ASSERT_TRUE(sim.Log().WaitForReceived(count, 1s)) << Describe(sim.Log().Frames());
        EXPECT_EQ(ToHex(client->ReadReply(100ms)), "");
    }

    ProbeSimulator sim;
    std::unique_ptr<PtyClient> client;
};

TEST_F(RtuSimulator, AnswersReadsWithKnownFramesAndLogsBothDirections)
{
    EXPECT_EQ(ToHex(client->Transact(Hex("01 03 00 00 00 01 84 0A"))), "01 03 02 12 34 B5 33");
    EXPECT_EQ(ToHex(client->Transact(Hex("01 03 00 00 00 02 C4 0B"))), "01 03 04 12 34 56 78 81 07");

    ASSERT_TRUE(sim.Log().WaitForSent(2, 1s));
    const auto frames = sim.Log().Frames();
    ASSERT_EQ(frames.size(), 4u) << Describe(frames);
    EXPECT_EQ(frames[0].direction, Direction::Received);
    EXPECT_EQ(ToHex(frames[0].bytes), "01 03 00 00 00 01 84 0A");
    EXPECT_TRUE(frames[0].wellFormed);
    ASSERT_TRUE(frames[0].adu);
    EXPECT_EQ(frames[0].adu->function, 3);
    EXPECT_EQ(frames[1].direction, Direction::Sent);
    EXPECT_EQ(ToHex(frames[1].bytes), "01 03 02 12 34 B5 33");
    EXPECT_TRUE(frames[1].wellFormed);
    for (size_t i = 1; i < frames.size(); ++i)
        EXPECT_LE(frames[i - 1].end, frames[i].start);
}

TEST_F(RtuSimulator, EveryByteValueIsDataOnTheLine)
{
    // CR, LF, XON, XOFF, ^C and ^D would be eaten or translated by a terminal that is not raw.
    sim.Registers().SetU16(30001, 0x0D0A);
    sim.Registers().SetU16(30002, 0x1113);
    EXPECT_EQ(ToHex(client->Transact(Hex("01 04 00 00 00 02 71 CB"))), "01 04 04 0D 0A 11 13 94 B7");
    EXPECT_EQ(ToHex(client->Transact(Hex("01 10 00 09 00 02 04 00 03 00 04 C2 06"))),
              "01 10 00 09 00 02 91 CA");
    EXPECT_EQ(sim.Registers().GetU16(40010), 0x0003);
    EXPECT_EQ(sim.Registers().GetU16(40011), 0x0004);
}

TEST_F(RtuSimulator, AnswersExceptionsForBadRequests)
{
    // Register 40003 does not exist.
    EXPECT_EQ(ToHex(client->Transact(Hex("01 03 00 02 00 01 25 CA"))), "01 83 02 C0 F1");
    // Start 9999 lies beyond register 49999.
    EXPECT_EQ(ToHex(client->Transact(Hex("01 03 27 0F 00 01 BE BD"))), "01 83 02 C0 F1");
    // Function 6 is not one the instrument knows.
    EXPECT_EQ(ToHex(client->Transact(Hex("01 06 00 00 00 01 48 0A"))), "01 86 01 83 A0");
    // 126 registers, and 0 registers.
    EXPECT_EQ(ToHex(client->Transact(Hex("01 03 00 00 00 7E C5 EA"))), "01 83 03 01 31");
    EXPECT_EQ(ToHex(client->Transact(Hex("01 03 00 00 00 00 45 CA"))), "01 83 03 01 31");
}

TEST_F(RtuSimulator, ReportsTheIdentityRecord)
{
    probesim::SlaveIdentity identity;
    identity.deviceType = 39;
    identity.serialNumber = 1234;
    sim.Model().SetIdentity(identity);
    EXPECT_EQ(ToHex(client->Transact(Hex("01 11 C0 2C"))),
              "01 11 17 4E FF 01 56 43 00 27 00 64 00 00 00 01 00 03 00 00 04 D2 04 00 00 01 DA 04");
}

TEST_F(RtuSimulator, IgnoresOtherAddressesAndDamagedFrames)
{
    Send(Hex("02 03 00 00 00 01 84 39")); // another slave
    Send(Hex("C8 11 96 7C"));             // the wake-up frame to address 200
    Send(Hex("01 03 00 00 00 01 84 0B")); // CRC damaged
    Send(Hex("01 03"));                   // too short
    ExpectNoReplyAfter(4);

    const auto received = sim.Log().Received();
    ASSERT_EQ(received.size(), 4u) << Describe(received);
    EXPECT_TRUE(received[0].wellFormed);
    EXPECT_EQ(received[0].note, "ignored: address 2");
    EXPECT_EQ(received[1].note, "ignored: address 200");
    EXPECT_FALSE(received[2].wellFormed);
    EXPECT_EQ(received[2].note, "bad CRC");
    EXPECT_FALSE(received[3].wellFormed);
    EXPECT_EQ(sim.Log().SentCount(), 0u);
}

TEST_F(RtuSimulator, CarriesOutBroadcastWritesWithoutAnswering)
{
    client->Write(Hex("00 10 00 09 00 01 02 AB CD 15 FC"));
    ExpectNoReplyAfter(1);
    EXPECT_EQ(sim.Registers().GetU16(40010), 0xABCD);
    EXPECT_EQ(sim.Log().Received().at(0).note, "broadcast");
}

TEST_F(RtuSimulator, AnswersAtTheAddressItIsGiven)
{
    sim.SetAddress(247);
    sim.Registers().SetU16(49999, 0xBEEF);
    EXPECT_EQ(ToHex(client->Transact(Hex("F7 03 27 0E 00 01 FB EB"))), "F7 03 02 BE EF 40 7D");
    client->Write(Hex("01 03 00 00 00 01 84 0A"));
    ExpectNoReplyAfter(2);
    EXPECT_THROW(sim.SetAddress(0), std::out_of_range);
}

TEST_F(RtuSimulator, ARequestWithASilenceInsideIsTwoBrokenFrames)
{
    sim.SetRtuSilence(20ms);
    client->Write(Hex("01 03 00"));
    ASSERT_TRUE(sim.Log().WaitForReceived(1, 1s)); // ended by the silence
    client->Write(Hex("00 00 01 84 0A"));
    ExpectNoReplyAfter(2);
    const auto received = sim.Log().Received();
    EXPECT_FALSE(received[0].wellFormed);
    EXPECT_FALSE(received[1].wellFormed);

    // Written in two halves well within the silence, the request is one frame.
    sim.SetRtuSilence(300ms);
    client->Write(Hex("01 03 00"));
    client->Write(Hex("00 00 01 84 0A"));
    EXPECT_EQ(ToHex(client->ReadReply(2s)), "01 03 02 12 34 B5 33");
}

TEST_F(RtuSimulator, CustomFunctionsAndBroadcastHandlers)
{
    sim.Model().SetFunctionHandler(100,
                                   [](const probesim::Adu& request)
                                   {
                                       if (request.data.size() != 6)
                                           throw std::runtime_error("short file request");
                                       return probesim::Reply::WithData(Hex("00 04 DE AD BE EF"));
                                   });
    EXPECT_EQ(ToHex(client->Transact(Hex("01 64 00 00 00 00 00 04 A5 C2"))), "01 64 00 04 DE AD BE EF CE 24");
    // A handler that throws answers "slave device failure" and says why in the log.
    EXPECT_EQ(ToHex(client->Transact(Hex("01 64 00 00 40 07"))), "01 E4 04 6A C3");
    EXPECT_NE(sim.Log().Received().back().note.find("short file request"), std::string::npos);

    int broadcasts = 0;
    sim.Model().SetFunctionHandler(
        101,
        [&](const probesim::Adu&)
        {
            ++broadcasts;
            return probesim::Reply::WithData({});
        },
        true);
    client->Write(Hex("00 65 00 00 00 00 00 02 AA BB 78 46"));
    ExpectNoReplyAfter(3);
    EXPECT_EQ(broadcasts, 1);

    sim.Model().RemoveFunctionHandler(100);
    EXPECT_EQ(ToHex(client->Transact(Hex("01 64 00 00 00 00 00 04 A5 C2"))), "01 E4 01 AA C0");
}

TEST(AsciiSimulator, AnswersInAsciiAndRefusesLowerCase)
{
    ProbeSimulator sim({.mode = FramingMode::Ascii});
    sim.Registers().SetU16(40001, 0x1234);
    PtyClient client(sim.SlavePath());
    EXPECT_EQ(client.Transact(Text(":010300000001FB\r\n")), Text(":0103021234B4\r\n"));
    EXPECT_EQ(client.Transact(Text(":010300010001FA\r\n")), Text(":0183027A\r\n"));
    client.Write(Text(":010300000001fb\r\n"));
    client.Write(Text(":020300000001FA\r\n"));
    ASSERT_TRUE(sim.Log().WaitForReceived(4, 1s));
    EXPECT_EQ(ToHex(client.ReadReply(100ms)), "");
    EXPECT_FALSE(sim.Log().Received()[2].wellFormed);
    EXPECT_EQ(sim.Log().Received()[3].note, "ignored: address 2");
}

TEST(AsciiSimulator, SwitchesFramingWhileRunning)
{
    ProbeSimulator sim;
    sim.Registers().SetU16(40001, 0x1234);
    PtyClient client(sim.SlavePath());
    EXPECT_EQ(ToHex(client.Transact(Hex("01 03 00 00 00 01 84 0A"))), "01 03 02 12 34 B5 33");
    sim.SetMode(FramingMode::Ascii);
    EXPECT_EQ(client.Transact(Text(":010300000001FB\r\n")), Text(":0103021234B4\r\n"));
    sim.SetMode(FramingMode::Rtu);
    EXPECT_EQ(ToHex(client.Transact(Hex("01 03 00 00 00 01 84 0A"))), "01 03 02 12 34 B5 33");
}

TEST(SimulatorLifetime, StopsPromptlyWithAReplyStillPending)
{
    auto sim = std::make_unique<ProbeSimulator>();
    sim->Registers().SetU16(40001, 1);
    sim->Faults().Queue(probesim::Fault::Late(30s));
    PtyClient client(sim->SlavePath());
    client.Write(Hex("01 03 00 00 00 01 84 0A"));
    ASSERT_TRUE(sim->Log().WaitForReceived(1, 1s));
    const auto start = std::chrono::steady_clock::now();
    sim.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

TEST(SimulatorLifetime, AClientMayCloseAndReopenTheLine)
{
    ProbeSimulator sim;
    sim.Registers().SetU16(40001, 0x1234);
    for (int i = 0; i < 2; ++i)
    {
        PtyClient client(sim.SlavePath());
        EXPECT_EQ(ToHex(client.Transact(Hex("01 03 00 00 00 01 84 0A"))), "01 03 02 12 34 B5 33");
    }
}

} // namespace
} // namespace probesim_test
