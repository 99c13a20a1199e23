// The transaction against the simulated probe: busy replies, exceptions, time-outs and damaged
// replies with their retries, wake-up of a sleeping instrument, the inter-message delay,
// broadcasts, cancellation and the statistics; and the failures only a scripted line can produce.
#include <mutex>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "foundation/ErrorTable.h"
#include "foundation/ResultCodes.h"
#include "platform/Clock.h"
#include "platform/Utf.h"
#include "tests/comm/CommTestSupport.h"
#include "tools/probe-sim/Instrument.h"

namespace commtest
{
namespace
{

using namespace std::chrono_literals;
using probesim::Fault;
using probesim::FramingMode;

// The time-out of attempts meant to go unanswered: short, yet long enough that the simulator has
// taken such a request in before the next one follows, also on a busy machine.
constexpr ULONG kUnansweredMs = 300;

class Transaction : public SimulatedLine
{
protected:
    void StartLine(FramingMode mode = FramingMode::Rtu)
    {
        SimulatedLine::StartLine(mode);
        Sim().Registers().SetU16(40001, 0x1234);
    }
    HRESULT Read(USHORT retries, ULONG timeoutMs = kTimeoutMs)
    {
        m_value = 0;
        return Network().ReadUShort(kSlave, 40001, m_value, timeoutMs, retries);
    }
    USHORT m_value = 0;
};

// Framing, retries, busy retry limit, and the requests that make.
class BusyDevice : public Transaction,
                   public ::testing::WithParamInterface<std::tuple<FramingMode, USHORT, uint32_t, ULONG>>
{
};

TEST_P(BusyDevice, IsAskedAgainWhileTheBusyCountIsWithinTheLimit)
{
    const auto [mode, retries, busyLimit, n] = GetParam();
    SetTunable(u"BusyRetryLimit", busyLimit);
    StartLine(mode);
    Sim().Faults().SetPersistent(Fault::Busy());
    EXPECT_EQ(Read(retries), MODBUSCOMM_E_BUSY);
    EXPECT_EQ(ReceivedFor(kSlave, 3), n);
    EXPECT_EQ(Statistics(), (std::vector<ULONG>{n, n - 1, n, 0, n, 0, 0, 0}));
}

INSTANTIATE_TEST_SUITE_P(Limits, BusyDevice,
                         ::testing::Values(std::make_tuple(FramingMode::Rtu, USHORT(0), 0u, 2u),
                                           std::make_tuple(FramingMode::Ascii, USHORT(3), 60u, 62u)));

TEST_F(Transaction, AnExceptionEndsAtOnceAndABusyDeviceIsWaitedFor)
{
    StartLine();
    USHORT value = 0;
    EXPECT_EQ(Network().ReadUShort(kSlave, 40002, value, kTimeoutMs, 3), ResultCode(0x81010002u));
    EXPECT_EQ(ReceivedFor(kSlave), 1u);
    EXPECT_EQ(Statistics()[MODBUS_STAT_EXCEPTIONS], 1u);

    Sim().Faults().Queue(Fault::Busy(), 2);
    EXPECT_EQ(Read(0), S_OK);
    EXPECT_EQ(m_value, 0x1234);
    EXPECT_EQ(ReceivedFor(kSlave), 4u);
}

TEST_F(Transaction, TheMakersExceptionsEndAtOnceWithCodesOfTheirOwn)
{
    StartLine();
    for (const uint8_t code : {0x94, 0x95, 0x96, 0x97, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4})
    {
        SCOPED_TRACE(+code);
        Sim().Faults().Queue(Fault::Refused(static_cast<probesim::ExceptionCode>(code)));
        const HRESULT expected = MODBUSCOMM_E_EXCEPTION_BASE + code;
        EXPECT_EQ(Read(3), expected);
        EXPECT_STRNE(platform::Utf16ToUtf8(LookupErrorText(static_cast<uint32_t>(expected))).c_str(),
                     "Unknown Error");
    }
    EXPECT_EQ(ReceivedFor(kSlave), 9u);
    EXPECT_EQ(Statistics()[MODBUS_STAT_EXCEPTIONS], 9u);
}

TEST_F(Transaction, MissingAndDamagedRepliesAreRetried)
{
    StartLine();
    Sim().Faults().Queue(Fault::NoReply());
    Sim().Faults().Queue(Fault::BadChecksum());
    Sim().Faults().Queue(Fault::WrongAddress(2));
    Sim().Faults().Queue(Fault::Partial(4)); // bytes before the time-out are judged as a reply
    EXPECT_EQ(Read(4), S_OK);
    EXPECT_EQ(m_value, 0x1234);
    EXPECT_EQ(Statistics(), (std::vector<ULONG>{5, 4, 1, 1, 3, 0, 0, 0}));

    Sim().Faults().SetPersistent(Fault::NoReply());
    EXPECT_EQ(Read(1, kUnansweredMs), SERIALCOMM_E_READ_TIMEOUT);
    SettledReceived();
    EXPECT_EQ(ReceivedFor(kSlave), 7u);
    EXPECT_EQ(m_value, 0); // nothing handed out
}

TEST_F(Transaction, AReportSlaveIdTimeOutIsNoReplyWhateverArrived)
{
    StartLine(FramingMode::Ascii); // an ASCII frame cut short times out with its first bytes
    Sim().Faults().SetPersistent(Fault::Partial(6));
    CByteBuffer identity;
    EXPECT_EQ(Network().RequestSlaveId(kSlave, identity, 40, 1), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_EQ(identity.GetLength(), 0u);
    EXPECT_EQ(Read(0, 40), MODBUSCOMM_E_INVALID_RESPONSE_FORMAT);
    EXPECT_EQ(Statistics(), (std::vector<ULONG>{3, 1, 0, 2, 1, 0, 0, 0}));
}

TEST_F(Transaction, ABroadcastReturnsAfterTheWrite)
{
    StartLine();
    const uint64_t start = platform::GetTickCount64();
    EXPECT_EQ(Network().WriteUShort(0, 40001, 0x4321, 2000, 3), S_OK);
    EXPECT_LT(platform::GetTickCount64() - start, 1000u);
    ASSERT_TRUE(Sim().Log().WaitForReceived(1, 1s));
    EXPECT_EQ(Sim().Registers().GetU16(40001), 0x4321);
    EXPECT_EQ(Statistics(), (std::vector<ULONG>{1, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(Transaction, TheInterMessageDelayIsSleptWholeWhenTheLineWasBusyLately)
{
    using Pause = std::pair<ELinePause, ULONG>;
    SetTunable(u"InterMsgDelay TO", 80);
    // The pauses the program makes, recorded, then slept as it sleeps them.
    std::mutex lock;
    std::vector<Pause> pauses;
    const RestoredPauses restore(SetLinePauseFunction(
        [&](ELinePause pause, ULONG ms)
        {
            {
                std::lock_guard guard(lock);
                pauses.emplace_back(pause, ms);
            }
            platform::SleepMs(ms);
        }));
    const auto takePauses = [&]
    {
        std::lock_guard guard(lock);
        return std::exchange(pauses, {});
    };
    StartLine();
    for (size_t round = 0; round < 20; ++round)
    {
        ASSERT_EQ(Read(0), S_OK);
        // The line is idle 30 ms before the second request, less than the delay, so the whole
        // delay is slept on top.
        const auto idleFrom = Clock::now();
        platform::SleepMs(30);
        takePauses();
        ASSERT_EQ(Read(0), S_OK);
        const std::vector<Pause> taken = takePauses();
        // The second request is in the log once answered; the reply to the first is logged once sent.
        const auto received = Sim().Log().Received();
        const auto sent = Sim().Log().Sent();
        ASSERT_GE(received.size(), 2u);
        const size_t last = received.size() - 1;
        ASSERT_GE(sent.size(), last);
        if (taken == std::vector<Pause>{{ELinePause::InterMessage, 80}})
        {
            // Everything from the idle stamp to the probe's reading of the request ran in order.
            EXPECT_GE(received[last].start - idleFrom, 110ms);
            return;
        }
        ASSERT_TRUE(taken.empty()) << "a pause other than the whole delay";
        // No pause is right only when the line had been idle for the whole delay (to the
        // millisecond of the program's clock) when the program looked. It took the reply in after
        // the probe began to write it, and looked before the probe read the request.
        ASSERT_GE(received[last].start - sent[last - 1].start, 79ms)
            << "the request followed the line's last frame within the delay, without a pause";
        // The test was held off past the delay: the round proves nothing and is made again.
    }
    FAIL() << "the line was never idle for less than the delay before the second request";
}

TEST_F(Transaction, CancelEndsTheTransactionBeforeItsNextAttempt)
{
    StartLine();
    Sim().Faults().SetPersistent(Fault::NoReply());
    std::thread canceller(
        [this]
        {
            Sim().Log().WaitForReceived(1, 2s);
            Network().Cancel();
        });
    EXPECT_EQ(Read(5, 300), MODBUSCOMM_E_CANCELLED); // the cancel lands within the first attempt
    canceller.join();
    EXPECT_EQ(SettledReceived(), 1u);
    // The next operation starts with the flag cleared.
    Sim().Faults().ClearPersistent();
    EXPECT_EQ(Read(0), S_OK);
}

class SleepingInstrument : public Transaction, public ::testing::WithParamInterface<FramingMode>
{
protected:
    void StartInstrument()
    {
        StartLine(GetParam());
        m_probe =
            std::make_unique<probesim::Instrument>(Sim(), probesim::InstrumentConfig{.sleepAfter = 60s});
        Sim().Registers().SetU16(40001, 0x1234);
        m_probe->FallAsleep();
    }
    size_t WakeUpsPerFrame() const { return GetParam() == FramingMode::Ascii ? 2 : 1; }
    std::unique_ptr<probesim::Instrument> m_probe;
};

TEST_P(SleepingInstrument, IsWokenBeforeTheFirstRequestAndAfterItsIdleTimeOrSwallowsIt)
{
    SetTunable(u"AutoWakeUpNetwork", 1);
    StartInstrument();
    ASSERT_TRUE(Network().IsAutoWakeUpEnabled());
    EXPECT_EQ(Read(0), S_OK);
    EXPECT_EQ(ReceivedFor(200, 17), WakeUpsPerFrame());
    EXPECT_EQ(Read(0), S_OK); // still active: no wake-up
    EXPECT_EQ(ReceivedFor(200, 17), WakeUpsPerFrame());

    size_t wakeUps = WakeUpsPerFrame();
    if (GetParam() == FramingMode::Rtu) // the idle time is the same in either framing
    {
        ASSERT_EQ(Network().SetDeviceEOS(kSlave, 40), S_OK);
        platform::SleepMs(50);
        m_probe->FallAsleep();
        EXPECT_EQ(Read(0), S_OK);
        EXPECT_EQ(ReceivedFor(200, 17), wakeUps *= 2);
    }
    EXPECT_EQ(Statistics()[MODBUS_STAT_RESENDS], 0u);

    // Without the wake-up the first request is swallowed and sent again.
    Network().DisableAutoWakeUp();
    m_probe->FallAsleep();
    EXPECT_EQ(Read(2, kUnansweredMs), S_OK);
    EXPECT_EQ(ReceivedFor(200), wakeUps);
    EXPECT_EQ(Statistics()[MODBUS_STAT_RESENDS], WakeUpsPerFrame());
}

INSTANTIATE_TEST_SUITE_P(Framings, SleepingInstrument,
                         ::testing::Values(FramingMode::Rtu, FramingMode::Ascii));

TEST(ScriptedLine, WriteAndReadFailuresAreCountedAndRetried)
{
    QuickTunables tunables;
    NetworkPtr network(CModbusComm::Create());
    HRESULT readResult = SERIALCOMM_E_READ;
    auto* line = new ScriptedTransport(NVTools::IOCONNECTION_SERIAL,
                                       [&](const Bytes&) {
                                           return ScriptedTransport::Answer{{}, readResult};
                                       });
    ASSERT_EQ(network->AttachTransport(line), S_OK);
    USHORT value = 0;
    EXPECT_EQ(network->ReadUShort(1, 40001, value, 10, 1), SERIALCOMM_E_READ);
    readResult = S_OK; // a transport that succeeds without a byte delivers no reply
    EXPECT_EQ(network->ReadUShort(1, 40001, value, 10, 0), MODBUSCOMM_E_EMPTY_READ);
    line->writeResult = SERIALCOMM_E_WRITE;
    EXPECT_EQ(network->ReadUShort(1, 40001, value, 10, 2), SERIALCOMM_E_WRITE);
    ULONG counters[MODBUS_STAT_COUNT] = {};
    network->GetStatistics(counters);
    const std::vector<ULONG> expected = {6, 3, 0, 1, 0, 0, 2, 3};
    EXPECT_EQ(std::vector<ULONG>(counters, counters + MODBUS_STAT_COUNT), expected);
    EXPECT_EQ(line->written.size(), 3u);
    EXPECT_EQ(line->written[0], WithCrc({1, 3, 0, 0, 0, 1}));
}

TEST(ScriptedLine, ARetryJudgesOnlyTheBytesOfItsOwnAttempt)
{
    QuickTunables tunables;
    NetworkPtr network(CModbusComm::Create());
    int attempt = 0;
    auto* line = new ScriptedTransport(NVTools::IOCONNECTION_SERIAL,
                                       [&](const Bytes&)
                                       {
                                           Bytes reply = WithCrc({1, 3, 2, 0x12, 0x34});
                                           if (attempt++ == 0)
                                               reply.back() ^= 0xFF; // damaged: retried
                                           return ScriptedTransport::Answer{reply, S_OK};
                                       });
    line->appendingReads = true;
    ASSERT_EQ(network->AttachTransport(line), S_OK);
    USHORT value = 0;
    EXPECT_EQ(network->ReadUShort(1, 40001, value, 10, 1), S_OK);
    EXPECT_EQ(value, 0x1234);
    EXPECT_EQ(attempt, 2);
}

TEST(ScriptedLine, BuffersKeptBetweenTransactionsCarryOnlyTheLatestFrame)
{
    // The line's request, reply and the caller's data buffer keep their blocks from one transaction
    // to the next: a long frame followed by a short one must leave nothing of the long one behind.
    QuickTunables tunables;
    NetworkPtr network(CModbusComm::Create());
    auto* line = new ScriptedTransport(
        NVTools::IOCONNECTION_SERIAL,
        [](const Bytes& request)
        {
            if (request[1] == 16)
                return ScriptedTransport::Answer{WithCrc({1, 16, request[2], request[3], 0, request[5]})};
            Bytes reply = {1, 3, static_cast<uint8_t>(2 * request[5])};
            for (uint8_t i = 0; i < request[5]; ++i)
                reply.insert(reply.end(), {i, static_cast<uint8_t>(~i)});
            return ScriptedTransport::Answer{WithCrc(reply)};
        });
    line->appendingReads = true; // into the kept reply block, as the serial line reads
    ASSERT_EQ(network->AttachTransport(line), S_OK);
    CByteBuffer data(ToBuffer(Bytes(120, 0xAA)));
    ASSERT_EQ(network->WriteRegisters(1, 40001, 60, data, 10, 0), S_OK);
    ASSERT_EQ(network->ReadRegisters(1, 40001, 125, data, 10, 0), S_OK);
    EXPECT_EQ(data.GetLength(), 250u);
    ASSERT_EQ(network->ReadRegisters(1, 40001, 1, data, 10, 0), S_OK);
    EXPECT_EQ(ToBytes(data), (Bytes{0, 0xFF}));
    ASSERT_EQ(line->written.size(), 3u);
    EXPECT_EQ(line->written[1], WithCrc({1, 3, 0, 0, 0, 125}));
    EXPECT_EQ(line->written[2], WithCrc({1, 3, 0, 0, 0, 1}));
    // A damaged short reply after a whole long one is refused, not completed from the old bytes.
    line->written.clear();
    ASSERT_EQ(network->ReadRegisters(1, 40001, 125, data, 10, 0), S_OK);
    auto* damaging = new ScriptedTransport(NVTools::IOCONNECTION_SERIAL,
                                           [](const Bytes&) {
                                               return ScriptedTransport::Answer{Bytes{1, 3, 250, 0, 0}};
                                           });
    damaging->appendingReads = true;
    ASSERT_EQ(network->DisconnectCommLink(), S_OK);
    ASSERT_EQ(network->AttachTransport(damaging), S_OK);
    EXPECT_EQ(network->ReadRegisters(1, 40001, 125, data, 10, 0), MODBUSCOMM_E_INVALID_RESPONSE_FORMAT);
    EXPECT_EQ(data.GetLength(), 0u);
}

} // namespace
} // namespace commtest
