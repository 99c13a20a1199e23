// A device that stops answering, as the line's silence check handles it: after an exchange that
// went unanswered, one short check before the next exchange of anyone, woken first and with one
// retry; nothing more on the line once the check went unanswered too; a refusal or a garbled reply
// is an answer, a cancelled check or one that cannot be made is none; the check rests while a
// restart is expected, and is off unless turned on.
#include <functional>
#include <optional>
#include <vector>

#include "comm/LinePauses.h"
#include "platform/Clock.h"
#include "tests/support/SimulatorWaits.h"
#include "tools/probe-sim/Instrument.h"

#include "tests/comm/CommTestSupport.h"

namespace commtest
{
namespace
{

constexpr USHORT kCheckRegister = 49001;
constexpr ULONG kCheckTimeoutMs = 10;

// The check on the wire: function 3, register 9000, one register.
Bytes CheckFrame(uint8_t address)
{
    return WithCrc({address, 3, 0x23, 0x28, 0, 1});
}

// The wake-up before it: Report Slave ID to address 200.
Bytes WakeFrame()
{
    return WithCrc({200, 17});
}

Bytes ReadFrame(uint8_t address, uint16_t offset)
{
    return WithCrc({address, 3, static_cast<uint8_t>(offset >> 8), static_cast<uint8_t>(offset), 0, 1});
}

class SilentDevice : public ::testing::Test
{
protected:
    enum class Mode
    {
        Answer,
        Silent,
        Refuse,
        Garble,
    };

    SilentDevice()
    {
        m_line =
            new ScriptedTransport(NVTools::IOCONNECTION_SERIAL,
                                  [this](const Bytes& request) -> ScriptedTransport::Answer
                                  {
                                      const bool check = request.size() > 3 && request[1] == 3 &&
                                                         request[2] == 0x23 && request[3] == 0x28;
                                      if (check && checksLost > 0)
                                      {
                                          --checksLost;
                                          return {{}, SERIALCOMM_E_READ_TIMEOUT};
                                      }
                                      if (check && checkHook)
                                          checkHook();
                                      if (request[1] == 17)
                                          return {}; // a wake-up frame is not answered
                                      switch (check && checkMode ? *checkMode : mode)
                                      {
                                      case Mode::Silent:
                                          return {{}, SERIALCOMM_E_READ_TIMEOUT};
                                      case Mode::Refuse:
                                          return {WithCrc({request[0], 0x83, 4})};
                                      case Mode::Garble:
                                          return {Bytes{request[0], 3, 2, 0, 1, 0, 0}};
                                      case Mode::Answer:
                                          break;
                                      }
                                      if (request[1] == 16)
                                          return {WithCrc({request[0], 16, request[2], request[3], 0, 1})};
                                      return {WithCrc({request[0], 3, 2, 0x12, 0x34})};
                                  });
        EXPECT_EQ(m_network->AttachTransport(m_line), S_OK);
    }

    void TurnOn() { m_network->EnableSilenceCheck(kCheckRegister, kCheckTimeoutMs); }
    HRESULT Read(uint8_t address = 1, USHORT registerNumber = 40001, USHORT retries = 2)
    {
        USHORT value = 0;
        return m_network->ReadUShort(address, registerNumber, value, 10, retries);
    }
    // What went out since the last call.
    std::vector<Bytes> Written() { return std::exchange(m_line->written, {}); }

    // The wake-up's pause is the device's time to wake: a scripted device needs none.
    struct NoPauses
    {
        NoPauses() : previous(SetLinePauseFunction([](ELinePause, ULONG) {})) {}
        ~NoPauses() { SetLinePauseFunction(std::move(previous)); }
        LinePauseFunction previous;
    };

    QuickTunables m_tunables;
    NoPauses m_pauses;
    NetworkPtr m_network{CModbusComm::Create()};
    ScriptedTransport* m_line = nullptr; // owned by the network
    Mode mode = Mode::Answer;
    // How the check is answered where that differs from the other requests.
    std::optional<Mode> checkMode;
    // Checks whose reply is lost before the device's answer to them counts.
    int checksLost = 0;
    // Called when a check reaches the device.
    std::function<void()> checkHook;
};

TEST_F(SilentDevice, AfterAnUnansweredExchangeOneCheckPrecedesTheNextAndTheDeviceThatAnswersItIsTalkedTo)
{
    TurnOn();
    mode = Mode::Silent;
    EXPECT_EQ(Read(), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_EQ(Written().size(), 3u) << "every try of the first exchange";

    mode = Mode::Answer;
    EXPECT_EQ(Read(1, 40005), S_OK);
    EXPECT_EQ(Written(), (std::vector<Bytes>{WakeFrame(), CheckFrame(1), ReadFrame(1, 4)}));
    EXPECT_EQ(Read(1, 40005), S_OK);
    EXPECT_EQ(Written(), std::vector<Bytes>{ReadFrame(1, 4)}) << "heard again: no check";
    EXPECT_FALSE(m_network->IsSilent());
}

TEST_F(SilentDevice, ADeviceThatDoesNotAnswerTheCheckIsSentNothingMore)
{
    TurnOn();
    mode = Mode::Silent;
    EXPECT_EQ(Read(), SERIALCOMM_E_READ_TIMEOUT);
    Written();
    EXPECT_EQ(Read(1, 40005), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_EQ(Written(), (std::vector<Bytes>{WakeFrame(), CheckFrame(1), CheckFrame(1)}))
        << "the check alone, woken, with its one retry";
    EXPECT_TRUE(m_network->IsSilent());

    // Whatever comes next, and even once the device would answer again: nothing goes out.
    mode = Mode::Answer;
    EXPECT_EQ(Read(), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_EQ(m_network->WriteUShort(1, 40001, 7, 10, 2), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_EQ(m_network->WakeUpNetwork(), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_EQ(m_network->ExchangeAwake(1, [&] { return Read(); }), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_FALSE(m_network->CheckIfUnheard(1));
    EXPECT_TRUE(Written().empty());
}

TEST_F(SilentDevice, ARefusalOrAGarbledReplyIsAnAnswer)
{
    TurnOn();
    for (const Mode answer : {Mode::Refuse, Mode::Garble})
    {
        mode = answer;
        EXPECT_TRUE(Failed(Read()));
        Written();
        mode = Mode::Answer;
        EXPECT_EQ(Read(), S_OK);
        EXPECT_EQ(Written(), std::vector<Bytes>{ReadFrame(1, 0)}) << "no check after such a reply";
    }
}

TEST_F(SilentDevice, ARefusalOrAGarbledReplyToTheCheckItselfIsAnAnswer)
{
    TurnOn();
    for (const Mode answer : {Mode::Refuse, Mode::Garble})
    {
        mode = Mode::Silent;
        EXPECT_EQ(Read(), SERIALCOMM_E_READ_TIMEOUT);
        Written();
        mode = Mode::Answer;
        checkMode = answer;
        EXPECT_EQ(Read(1, 40005), S_OK);
        EXPECT_FALSE(m_network->IsSilent());
        EXPECT_EQ(Written().back(), ReadFrame(1, 4)) << "the exchange went out after the check";
        checkMode.reset();
    }
}

TEST_F(SilentDevice, OneLostReplyToTheCheckIsNoSilence)
{
    TurnOn();
    mode = Mode::Silent;
    Read();
    Written();
    mode = Mode::Answer;
    checksLost = 1;
    EXPECT_EQ(Read(1, 40005), S_OK);
    EXPECT_EQ(Written(), (std::vector<Bytes>{WakeFrame(), CheckFrame(1), CheckFrame(1), ReadFrame(1, 4)}));
    EXPECT_FALSE(m_network->IsSilent());
    EXPECT_FALSE(m_network->IsUnheard());
}

TEST_F(SilentDevice, ACancelledCheckOrOneThatCannotBeMadeTellsNothing)
{
    TurnOn();
    mode = Mode::Silent;
    Read();
    // A broadcast cannot be checked: it goes out, and the line stays unheard.
    mode = Mode::Answer;
    Written();
    EXPECT_EQ(m_network->WriteUShort(0, 40001, 7, 10, 0), S_OK);
    EXPECT_EQ(Written().size(), 1u);
    EXPECT_TRUE(m_network->IsUnheard());

    // Cancelled once the check is on its way: the transaction it preceded ends, and the line still
    // waits for its check.
    mode = Mode::Silent;
    checkHook = [this] { m_network->Cancel(); };
    EXPECT_EQ(Read(1, 40005), MODBUSCOMM_E_CANCELLED);
    EXPECT_FALSE(m_network->IsSilent());
    EXPECT_TRUE(m_network->IsUnheard());
    EXPECT_EQ(Written(), (std::vector<Bytes>{WakeFrame(), CheckFrame(1)}));

    // Asked for by a caller that ends its use of the line: not silence either.
    EXPECT_TRUE(m_network->CheckIfUnheard(1));
    EXPECT_FALSE(m_network->IsSilent());
    EXPECT_TRUE(m_network->IsUnheard());
    Written();

    checkHook = nullptr;
    mode = Mode::Answer;
    EXPECT_EQ(Read(1, 40005), S_OK);
    EXPECT_EQ(Written(), (std::vector<Bytes>{WakeFrame(), CheckFrame(1), ReadFrame(1, 4)}));
}

TEST_F(SilentDevice, ALineWokenJustBeforeTheCheckIsNotWokenAgain)
{
    TurnOn();
    mode = Mode::Silent;
    Read();
    Written();
    mode = Mode::Answer;
    // The keep-alive wakes the line by its idle clock, then reads: one wake-up, then the check.
    ASSERT_EQ(m_network->WakeUpNetwork(), S_OK);
    EXPECT_EQ(Read(1, 40005), S_OK);
    EXPECT_EQ(Written(), (std::vector<Bytes>{WakeFrame(), CheckFrame(1), ReadFrame(1, 4)}));

    // A request sent after the wake-up, unanswered: the check wakes the line itself.
    mode = Mode::Silent;
    ASSERT_EQ(m_network->WakeUpNetwork(), S_OK);
    Read(1, 40001, 0);
    Written();
    mode = Mode::Answer;
    EXPECT_EQ(Read(1, 40005), S_OK);
    EXPECT_EQ(Written(), (std::vector<Bytes>{WakeFrame(), CheckFrame(1), ReadFrame(1, 4)}));
}

TEST_F(SilentDevice, AWakeUpThatDidNotGoOutDoesNotSpareTheCheckItsOwn)
{
    TurnOn();
    mode = Mode::Silent;
    Read();
    Written();
    mode = Mode::Answer;
    m_line->writeResult = SERIALCOMM_E_WRITE;
    ASSERT_EQ(m_network->WakeUpNetwork(), S_OK) << "a failed write does not fail the wake-up";
    m_line->writeResult = S_OK;
    EXPECT_EQ(Read(1, 40005), S_OK);
    EXPECT_EQ(Written(), (std::vector<Bytes>{WakeFrame(), CheckFrame(1), ReadFrame(1, 4)}));
}

TEST_F(SilentDevice, TheCheckGoesToTheDeviceOfTheExchangeItPrecedes)
{
    // The probe's address changed meanwhile: the device now talked to is the one asked.
    TurnOn();
    mode = Mode::Silent;
    Read(1);
    Written();
    mode = Mode::Answer;
    EXPECT_EQ(Read(5), S_OK);
    EXPECT_EQ(Written(), (std::vector<Bytes>{WakeFrame(), CheckFrame(5), ReadFrame(5, 0)}));
}

TEST_F(SilentDevice, OffUnlessTurnedOn)
{
    mode = Mode::Silent;
    Read();
    Read();
    EXPECT_EQ(Written().size(), 6u) << "each exchange with all its tries, no check";
    EXPECT_FALSE(m_network->IsSilent());
}

TEST_F(SilentDevice, WhileARestartIsAwaitedTheLineIsNeitherCheckedNorMarked)
{
    TurnOn();
    m_network->SuspendSilenceCheck();
    mode = Mode::Silent;
    Read(1, 40001, 0);
    Read(1, 40001, 0);
    EXPECT_EQ(Written().size(), 2u) << "the polls of a restarting device, without checks";
    m_network->ResumeSilenceCheck();
    EXPECT_FALSE(m_network->IsUnheard());
    Read(1, 40001, 1);
    EXPECT_EQ(Written().size(), 2u) << "the first exchange after the restart with its own tries";
    EXPECT_FALSE(m_network->CheckIfUnheard(1));
    EXPECT_EQ(Written(), (std::vector<Bytes>{WakeFrame(), CheckFrame(1), CheckFrame(1)}));
    EXPECT_TRUE(m_network->IsSilent());
}

TEST_F(SilentDevice, AnAnswerWhileTheCheckRestsClearsAnEarlierUnansweredExchange)
{
    TurnOn();
    mode = Mode::Silent;
    Read();
    {
        const CModbusComm::CSilenceCheckPause restart(*m_network);
        Read(1, 40001, 0);
        mode = Mode::Answer;
        EXPECT_EQ(Read(1, 40001, 0), S_OK) << "the restarted device answers";
    }
    Written();
    EXPECT_FALSE(m_network->IsUnheard());
    EXPECT_EQ(Read(1, 40005), S_OK);
    EXPECT_EQ(Written(), std::vector<Bytes>{ReadFrame(1, 4)}) << "no check after the wait";
}

TEST_F(SilentDevice, AnAskedForCheckIsMadeOnlyAfterAnUnansweredExchange)
{
    TurnOn();
    EXPECT_TRUE(m_network->CheckIfUnheard(1));
    EXPECT_TRUE(Written().empty());
    mode = Mode::Silent;
    Read();
    Written();
    mode = Mode::Answer;
    EXPECT_TRUE(m_network->CheckIfUnheard(1));
    EXPECT_EQ(Written(), (std::vector<Bytes>{WakeFrame(), CheckFrame(1)}));
    EXPECT_TRUE(m_network->CheckIfUnheard(1));
    EXPECT_TRUE(Written().empty());
}

// The serial line to the simulated probe, with writes that fail while `failing` is set: a line
// that drops out for a moment.
class FlakyWriteLine : public NVTools::IIOAbstract
{
public:
    explicit FlakyWriteLine(NVTools::CSerialComm& port) : m_port(port) {}

    bool failing = false;

    bool IsValid() const override { return m_port.IsValid(); }
    HRESULT Close() override { return m_port.Close(); }
    bool IsOpen() const override { return m_port.IsOpen(); }
    ULONG GetRefCount() const override { return m_port.GetRefCount(); }
    HRESULT Write(const CByteBuffer& data, ULONG timeoutMs) override
    {
        return failing ? SERIALCOMM_E_WRITE : m_port.Write(data, timeoutMs);
    }
    HRESULT Read(ULONG expectedBytes, CByteBuffer& buffer, ULONG totalTimeoutMs,
                 CTransferControl* cancel) override
    {
        return m_port.Read(expectedBytes, buffer, totalTimeoutMs, cancel);
    }
    HRESULT PurgeInput() override { return m_port.PurgeInput(); }
    HRESULT PurgeOutput() override { return m_port.PurgeOutput(); }
    HRESULT Purge() override { return m_port.Purge(); }
    ULONG GetConnectionType() const override { return m_port.GetConnectionType(); }
    HRESULT AttachTraceLog(ULONG) override { return S_OK; }
    HRESULT DetachTraceLog() override { return S_OK; }
    HRESULT OpenTraceLog(const char16_t*, ULONG*) override { return S_OK; }
    HRESULT CloseTraceLog() override { return S_OK; }
    bool IsTraceLogOpen() const override { return false; }
    ULONG GetLastErrorCode() const override { return m_port.GetLastErrorCode(); }
    CWideString GetLastErrorText() const override { return m_port.GetLastErrorText(); }
    HRESULT GetStatistics(ULONG* sent, ULONG* received, ULONG* delivered) override
    {
        return m_port.GetStatistics(sent, received, delivered);
    }
    HRESULT ResetStatistics() override { return m_port.ResetStatistics(); }
    void Reset() override {}
    NVTools::CSerialComm* AsSerial() override { return &m_port; }

private:
    NVTools::CSerialComm& m_port;
};

// A probe in ASCII that slept while its line was lost: the keep-alive's wake-up could not be
// written, so the check wakes it with its own two frames before it reads, and the probe answers.
TEST(SleepingProbeBehindAFlakyLine, IsWokenByTheCheckWhenTheWakeUpBeforeItWasNotWritten)
{
    // Answers on a busy machine come well within these; unanswered tries are not waited for here.
    constexpr ULONG kAnsweredMs = 5000;
    QuickTunables tunables;
    probesim::ProbeSimulator sim(probesim::SimulatorOptions{.mode = probesim::FramingMode::Ascii, .address = 1});
    probesim::Instrument probe(sim, probesim::InstrumentConfig{.sleepAfter = std::chrono::seconds(60)});
    sim.Registers().SetU16(40001, 0x1234);
    NVTools::CSerialComm port;
    ASSERT_EQ(port.Open(RegisterPort(sim.SlavePath())), S_OK);
    NetworkPtr network(CModbusComm::Create());
    auto* line = new FlakyWriteLine(port);
    ASSERT_EQ(network->AttachTransport(line), S_OK);
    ASSERT_EQ(network->SetTransmissionMode(1), S_OK);
    network->EnableSilenceCheck(40001, kAnsweredMs);
    // A wake-up pause lasts until the probe has taken the wake-up frame in, so that the purge
    // before the next request cannot take it off the line unread.
    testsupport::WakeUpFrameWatch wakeUps;
    const RestoredPauses restore(SetLinePauseFunction(
        [&](ELinePause pause, ULONG ms)
        {
            if (pause != ELinePause::WakeUp)
                platform::SleepMs(ms);
            else if (!line->failing)
                wakeUps.AwaitNext(sim.Log());
        }));

    // An exchange that went unanswered; once the probe has taken it in, it falls asleep.
    sim.Faults().Queue(probesim::Fault::NoReply());
    USHORT value = 0;
    ASSERT_EQ(network->ReadUShort(1, 40001, value, 200, 0), SERIALCOMM_E_READ_TIMEOUT);
    ASSERT_TRUE(network->IsUnheard());
    ASSERT_TRUE(sim.Log().WaitForReceived(1, std::chrono::seconds(10)));
    probe.FallAsleep();

    line->failing = true;
    EXPECT_EQ(network->WakeUpNetwork(), S_OK);
    line->failing = false;
    EXPECT_TRUE(network->CheckIfUnheard(1));
    EXPECT_FALSE(network->IsSilent());
    ASSERT_EQ(network->ReadUShort(1, 40001, value, kAnsweredMs, 0), S_OK);
    EXPECT_EQ(value, 0x1234);
    network.reset();
    port.Close();
}

} // namespace
} // namespace commtest
