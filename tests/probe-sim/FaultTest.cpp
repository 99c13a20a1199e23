// Scripted misbehaviour, seen from the line.
#include <gtest/gtest.h>

#include "tests/probe-sim/WireClient.h"
#include "tools/probe-sim/ProbeSimulator.h"

namespace probesim_test
{
namespace
{

using probesim::Fault;
using Clock = std::chrono::steady_clock;

const Bytes kRead = Hex("01 03 00 00 00 01 84 0A");
constexpr const char* kReadReply = "01 03 02 12 34 B5 33";
const Bytes kWrite5 = Hex("01 10 00 00 00 01 02 00 05 66 53");

class Faults : public ::testing::Test
{
protected:
    Faults() { sim.Registers().SetU16(40001, 0x1234); }

    // After the simulator has acted on `count` frames, nothing is on the line.
    void ExpectSilenceAfter(size_t count)
    {
        ASSERT_TRUE(sim.Log().WaitForReceived(count, 1s));
        EXPECT_EQ(ToHex(client.ReadReply(100ms)), "");
    }

    probesim::ProbeSimulator sim;
    WireClient client{sim.SlavePath()};
};

TEST_F(Faults, DamagedReplies)
{
    sim.Faults().Queue(Fault::Partial(4));
    sim.Faults().Queue(Fault::BadChecksum());
    sim.Faults().Queue(Fault::WrongAddress(2));
    sim.Faults().Queue(Fault::Echo() | Fault::WrongFunction(4));
    EXPECT_EQ(ToHex(client.Transact(kRead)), "01 03 02 12");
    EXPECT_EQ(ToHex(client.Transact(kRead)), "01 03 02 12 34 B5 CC");
    EXPECT_EQ(ToHex(client.Transact(kRead)), "02 03 02 12 34 F1 33");
    EXPECT_EQ(ToHex(client.Transact(kRead)), "01 03 00 00 00 01 84 0A 01 04 02 12 34 B4 47");
    EXPECT_EQ(ToHex(client.Transact(kRead)), kReadReply);

    ASSERT_TRUE(sim.Log().WaitForSent(6, 1s));
    const auto sent = sim.Log().Sent();
    EXPECT_FALSE(sent[0].wellFormed);
    EXPECT_FALSE(sent[1].wellFormed);
    EXPECT_TRUE(sent[2].wellFormed); // well framed, wrong content
    EXPECT_EQ(sent[2].note, "wrong address (fault)");
    EXPECT_EQ(sent[3].note, "echo (fault)");
}

TEST_F(Faults, NoReplyCarriesOutTheRequestBusyDoesNot)
{
    sim.Faults().Queue(Fault::NoReply());
    client.Put(Hex("02 03 00 00 00 01 84 39")); // for another slave: uses up no fault
    ExpectSilenceAfter(1);
    EXPECT_EQ(sim.Faults().Pending(), 1u);
    client.Put(kWrite5);
    ExpectSilenceAfter(2);
    EXPECT_EQ(sim.Registers().GetU16(40001), 5);

    sim.Registers().SetU16(40001, 0x1234);
    sim.Faults().SetPersistent(Fault::Busy());
    sim.Faults().Queue(Fault::None()); // one-shot faults go first
    EXPECT_EQ(ToHex(client.Transact(kRead)), kReadReply);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(ToHex(client.Transact(kWrite5)), "01 90 06 CC 02");
    EXPECT_EQ(sim.Registers().GetU16(40001), 0x1234);
    sim.Faults().ClearPersistent();
    EXPECT_EQ(ToHex(client.Transact(kWrite5)), "01 10 00 00 00 01 01 C9");
}

TEST_F(Faults, AShortReplyIsWellFormedAndARefusalIsAnyExceptionAsked)
{
    sim.Registers().SetU16(40002, 0x5678);
    // Two registers asked, one answered: byte count and CRC match what is sent.
    sim.Faults().Queue(Fault::Short(2));
    EXPECT_EQ(ToHex(client.Transact(Hex("01 03 00 00 00 02 C4 0B"))), "01 03 02 12 34 B5 33");
    ASSERT_TRUE(sim.Log().WaitForSent(1, 1s));
    EXPECT_TRUE(sim.Log().Sent()[0].wellFormed);
    EXPECT_EQ(sim.Log().Sent()[0].note, "short (fault)");

    // The maker's exception codes, not carried out.
    sim.Faults().Queue(Fault::Refused(probesim::ExceptionCode::LogMemoryFull));
    EXPECT_EQ(ToHex(client.Transact(kWrite5)), "01 90 A1 8D B8");
    EXPECT_EQ(sim.Registers().GetU16(40001), 0x1234);
}

TEST_F(Faults, LateReplyAndAGapInsideTheReply)
{
    sim.Faults().Queue(Fault::Late(100ms));
    sim.Faults().Queue(Fault::Gap(3, 100ms));
    const auto start = Clock::now();
    EXPECT_EQ(ToHex(client.Transact(kRead)), kReadReply);
    EXPECT_GE(Clock::now() - start, 100ms);

    client.Put(kRead);
    Bytes whole = client.ReadReply();
    const Bytes tail = client.ReadReply(300ms); // unless the pause went unseen
    whole.insert(whole.end(), tail.begin(), tail.end());
    EXPECT_EQ(ToHex(whole), kReadReply);

    ASSERT_TRUE(sim.Log().WaitForSent(2, 1s));
    const auto sent = sim.Log().Sent();
    EXPECT_GE(sent[0].start - sim.Log().Received()[0].end, 100ms);
    EXPECT_GE(sent[1].end - sent[1].start, 100ms) << "the pause inside the reply";
}

} // namespace
} // namespace probesim_test
