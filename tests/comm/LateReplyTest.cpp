// A device that answers after a read's time-out but within one frame silence of it: the reply is
// the answer of the read that asked for it, so no later request takes it for its own, no retry
// makes the device carry out a write twice, and the silence check's caller gets its own value.
#include "foundation/ResultCodes.h"

#include "tests/comm/CommTestSupport.h"

namespace commtest
{
namespace
{

using namespace std::chrono_literals;
using probesim::FramingMode;

// The read's time-out, the lateness of every reply and the frame silence: each reply comes well
// after the time-out and well before the time-out and one silence have passed, also when a busy
// machine holds the simulator up for a while.
constexpr ULONG kReadTimeoutMs = 100;
constexpr auto kLateness = 300ms;
constexpr uint32_t kSilenceMs = 700;

constexpr USHORT kFirst = 40001;
constexpr USHORT kSecond = 40005;
constexpr USHORT kCheckRegister = 49001;
constexpr USHORT kWritten = 40010;

class LateReply : public SimulatedLine, public ::testing::WithParamInterface<FramingMode>
{
protected:
    void SetUp() override
    {
        SetTunable(u"RTUInterCharacter TO", kSilenceMs);
        StartLine(GetParam());
        Sim().Registers().SetU16(kFirst, 0x1111);
        Sim().Registers().SetU16(kSecond, 0x2222);
        Sim().Registers().SetU16(kCheckRegister, 0x4444);
        Sim().Registers().SetU16(kWritten, 0);
        Sim().Faults().SetPersistent(probesim::Fault::Late(kLateness));
    }

    HRESULT Read(USHORT registerNumber, USHORT& value, USHORT retries = 1)
    {
        return Network().ReadUShort(kSlave, registerNumber, value, kReadTimeoutMs, retries);
    }
};

TEST_P(LateReply, EachReadGetsItsOwnRegistersValueWithoutARetry)
{
    USHORT first = 0;
    USHORT second = 0;
    ASSERT_EQ(Read(kFirst, first), S_OK);
    ASSERT_EQ(Read(kSecond, second), S_OK);
    EXPECT_EQ(first, 0x1111);
    EXPECT_EQ(second, 0x2222);
    EXPECT_EQ(SettledReceived(), 2u);
    EXPECT_EQ(Statistics()[MODBUS_STAT_RESENDS], 0u);
}

TEST_P(LateReply, AWriteWithRetriesIsCarriedOutOnce)
{
    ASSERT_EQ(Network().WriteUShort(kSlave, kWritten, 0x0777, kReadTimeoutMs, 2), S_OK);
    EXPECT_EQ(Sim().Registers().GetU16(kWritten), 0x0777);
    EXPECT_EQ(SettledReceived(), 1u);
    EXPECT_EQ(ReceivedFor(kSlave, 16), 1u);
}

TEST_P(LateReply, TheReadThatTheSilenceCheckPrecedesGetsItsOwnValue)
{
    Network().EnableSilenceCheck(kCheckRegister, kReadTimeoutMs);
    // One exchange that nobody answers leaves the line unheard: the next read is preceded by the
    // check, whose late reply must not become that read's answer.
    Sim().Faults().Queue(probesim::Fault::NoReply());
    USHORT value = 0;
    ASSERT_NE(Read(kFirst, value, 0), S_OK);
    ASSERT_TRUE(Network().IsUnheard());
    ASSERT_EQ(Read(kSecond, value), S_OK);
    EXPECT_EQ(value, 0x2222);
    EXPECT_FALSE(Network().IsSilent());
    EXPECT_EQ(ReceivedFor(kSlave, 3), 3u); // the unanswered read, the check, the read
    EXPECT_EQ(Statistics()[MODBUS_STAT_RESENDS], 0u);
}

INSTANTIATE_TEST_SUITE_P(Framings, LateReply, ::testing::Values(FramingMode::Rtu, FramingMode::Ascii),
                         [](const auto& param) { return param.param == FramingMode::Rtu ? "Rtu" : "Ascii"; });

} // namespace
} // namespace commtest
