// Scripted misbehaviour, seen from the line.
#include <gtest/gtest.h>

#include <memory>

#include "tests/probe-sim/PtyClient.h"
#include "tools/probe-sim/ProbeSimulator.h"

namespace probesim_test
{
namespace
{

using probesim::Fault;
using probesim::FramingMode;
using probesim::ProbeSimulator;
using Clock = std::chrono::steady_clock;

const Bytes kRead = Hex("01 03 00 00 00 01 84 0A");
constexpr const char* kReadReply = "01 03 02 12 34 B5 33";
const Bytes kWrite5 = Hex("01 10 00 00 00 01 02 00 05 66 53");
constexpr const char* kWriteReply = "01 10 00 00 00 01 01 C9";

class Faults : public ::testing::Test
{
protected:
    void SetUp() override
    {
        sim.Registers().SetU16(40001, 0x1234);
        client = std::make_unique<PtyClient>(sim.SlavePath());
    }

    // After the simulator has acted on `count` frames, nothing is on the line.
    void ExpectSilenceAfter(size_t count)
    {
        ASSERT_TRUE(sim.Log().WaitForReceived(count, 1s));
        EXPECT_EQ(ToHex(client->ReadReply(100ms)), "");
    }

    ProbeSimulator sim;
    std::unique_ptr<PtyClient> client;
};

TEST_F(Faults, LateReplyComesAfterTheDelayAndOnlyOnce)
{
    sim.Faults().Queue(Fault::Late(150ms));
    const auto start = Clock::now();
    EXPECT_EQ(ToHex(client->Transact(kRead)), kReadReply);
    EXPECT_GE(Clock::now() - start, 150ms);
    EXPECT_EQ(ToHex(client->Transact(kRead)), kReadReply);

    ASSERT_TRUE(sim.Log().WaitForSent(2, 1s));
    const auto sent = sim.Log().Sent();
    const auto received = sim.Log().Received();
    EXPECT_GE(sent[0].start - received[0].end, 150ms);
    EXPECT_EQ(sent[0].note, "late (fault)");
    EXPECT_EQ(sent[1].note, "");
}

TEST_F(Faults, NoReplyStillCarriesOutTheRequest)
{
    sim.Faults().Queue(Fault::NoReply());
    client->Write(kWrite5);
    ExpectSilenceAfter(1);
    EXPECT_EQ(sim.Registers().GetU16(40001), 5);
    EXPECT_EQ(ToHex(client->Transact(kRead)), "01 03 02 00 05 78 47");
}

TEST_F(Faults, FramesForOthersDoNotUseUpAFault)
{
    sim.Faults().Queue(Fault::NoReply());
    client->Write(Hex("02 03 00 00 00 01 84 39"));
    ExpectSilenceAfter(1);
    EXPECT_EQ(sim.Faults().Pending(), 1u);
    client->Write(kRead);
    ExpectSilenceAfter(2);
    EXPECT_EQ(sim.Faults().Pending(), 0u);
    EXPECT_EQ(ToHex(client->Transact(kRead)), kReadReply);
}

TEST_F(Faults, PartialAndDamagedReplies)
{
    sim.Faults().Queue(Fault::Partial(4));
    sim.Faults().Queue(Fault::BadChecksum());
    sim.Faults().Queue(Fault::WrongAddress(2));
    sim.Faults().Queue(Fault::WrongFunction(4));
    EXPECT_EQ(ToHex(client->Transact(kRead)), "01 03 02 12");
    EXPECT_EQ(ToHex(client->Transact(kRead)), "01 03 02 12 34 B5 CC");
    EXPECT_EQ(ToHex(client->Transact(kRead)), "02 03 02 12 34 F1 33");
    EXPECT_EQ(ToHex(client->Transact(kRead)), "01 04 02 12 34 B4 47");

    ASSERT_TRUE(sim.Log().WaitForSent(4, 1s));
    const auto sent = sim.Log().Sent();
    EXPECT_FALSE(sent[0].wellFormed);
    EXPECT_FALSE(sent[1].wellFormed);
    EXPECT_TRUE(sent[2].wellFormed); // well framed, wrong content
    EXPECT_EQ(sent[2].note, "wrong address (fault)");
}

TEST_F(Faults, GapInsideTheReply)
{
    sim.Faults().Queue(Fault::Gap(3, 150ms));
    client->Write(kRead);
    const Bytes head = client->ReadCount(3);
    const auto headAt = Clock::now();
    const Bytes tail = client->ReadCount(4);
    EXPECT_GE(Clock::now() - headAt, 100ms);
    Bytes whole = head;
    whole.insert(whole.end(), tail.begin(), tail.end());
    EXPECT_EQ(ToHex(whole), kReadReply);
}

TEST_F(Faults, BusyRepliesDoNotCarryOutTheRequest)
{
    sim.Faults().Queue(Fault::Busy(), 2);
    EXPECT_EQ(ToHex(client->Transact(kWrite5)), "01 90 06 CC 02");
    EXPECT_EQ(ToHex(client->Transact(kWrite5)), "01 90 06 CC 02");
    EXPECT_EQ(sim.Registers().GetU16(40001), 0x1234);
    EXPECT_EQ(ToHex(client->Transact(kWrite5)), kWriteReply);
    EXPECT_EQ(sim.Registers().GetU16(40001), 5);
}

TEST_F(Faults, PersistentModeHoldsUntilClearedAndOneShotsGoFirst)
{
    sim.Faults().SetPersistent(Fault::Busy());
    sim.Faults().Queue(Fault::None());
    EXPECT_EQ(ToHex(client->Transact(kRead)), kReadReply);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(ToHex(client->Transact(kRead)), "01 83 06 C1 32");
    sim.Faults().ClearPersistent();
    EXPECT_EQ(ToHex(client->Transact(kRead)), kReadReply);
}

TEST_F(Faults, EchoPrecedesTheReplyAndCombinesWithOthers)
{
    sim.Faults().Queue(Fault::Echo() | Fault::WrongFunction(4));
    EXPECT_EQ(ToHex(client->Transact(kRead)), "01 03 00 00 00 01 84 0A 01 04 02 12 34 B4 47");
    ASSERT_TRUE(sim.Log().WaitForSent(2, 1s));
    EXPECT_EQ(sim.Log().Sent()[0].note, "echo (fault)");
}

TEST(AsciiFaults, ChecksumAndGapInAscii)
{
    ProbeSimulator sim({.mode = FramingMode::Ascii});
    sim.Registers().SetU16(40001, 0x1234);
    PtyClient client(sim.SlavePath());
    sim.Faults().Queue(Fault::BadChecksum());
    EXPECT_EQ(client.Transact(Text(":010300000001FB\r\n")), Text(":01030212344B\r\n"));

    sim.Faults().Queue(Fault::Gap(5, 150ms));
    client.Write(Text(":010300000001FB\r\n"));
    EXPECT_EQ(client.ReadCount(5), Text(":0103"));
    const auto headAt = Clock::now();
    EXPECT_EQ(client.ReadCount(10), Text("021234B4\r\n"));
    EXPECT_GE(Clock::now() - headAt, 100ms);
}

} // namespace
} // namespace probesim_test
