// The serial transport over the simulated probe and over bare pseudo-terminals: opening by
// "COM n" through the port table, shared lines, the settings ids and the pseudo-terminal rule, the
// end-of-frame rules, time-outs, cancellation and hang-up.
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <poll.h>
#include <sstream>
#include <thread>
#include <unistd.h>

#include "comm/SerialCommImpl.h"
#include "foundation/CommTimeouts.h"
#include "foundation/ResultCodes.h"
#include "platform/Clock.h"
#include "platform/SettingsStore.h"
#include "platform/Utf.h"
#include "tests/comm/CommTestSupport.h"
#include "tools/probe-sim/PortTable.h"
#include "tools/probe-sim/PseudoTerminal.h"

namespace commtest
{
namespace
{

using namespace std::chrono_literals;
using NVTools::CSerialComm;
using NVTools::CSerialCommImpl;

constexpr ULONG kSilenceMs = 40;

// Read holding register 40001 of slave 1; its reply carries the value 0x1234.
const Bytes kRtuRequest = {0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A};
const Bytes kRtuReply = WithCrc({0x01, 0x03, 0x02, 0x12, 0x34});

// A line that keeps sending its chunk, with the pause given after each, and never ends a frame,
// until it is stopped.
class Babbler
{
public:
    Babbler(int fd, std::string chunk, std::chrono::milliseconds pause)
        : m_thread(
              [this, fd, chunk = std::move(chunk), pause]
              {
                  while (!m_stop)
                  {
                      pollfd entry{fd, POLLOUT, 0};
                      if (poll(&entry, 1, 5) == 1)
                          (void)!write(fd, chunk.data(), chunk.size());
                      if (pause.count() > 0)
                          std::this_thread::sleep_for(pause);
                  }
              })
    {
    }
    ~Babbler() { Stop(); }
    void Stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

class SerialTransportTest : public ::testing::Test
{
protected:
    SerialTransportTest() { SetTunable(u"RTUInterCharacter TO", kSilenceMs); }

    // The simulator in the mode given, entered in the port table and opened with that framing.
    USHORT StartSimulator(probesim::FramingMode mode = probesim::FramingMode::Rtu)
    {
        m_sim = std::make_unique<probesim::ProbeSimulator>(
            probesim::SimulatorOptions{.mode = mode, .address = 1});
        m_sim->Registers().SetU16(40001, 0x1234);
        const USHORT number = RegisterPort(m_sim->SlavePath());
        EXPECT_EQ(m_port.Open(number), S_OK);
        EXPECT_EQ(mode == probesim::FramingMode::Ascii ? m_port.SetModeASCII(0) : m_port.SetModeRTU(), S_OK);
        return number;
    }
    // Writes the request of the framing and reads with the expected count and time-out given.
    HRESULT Exchange(ULONG expected, CByteBuffer& reply, ULONG timeoutMs = 2000, bool ascii = false)
    {
        EXPECT_EQ(m_port.Write(ascii ? ToBuffer(kAsciiRequest) : ToBuffer(kRtuRequest), 0), S_OK);
        return m_port.Read(expected, reply, timeoutMs, nullptr);
    }
    probesim::ProbeSimulator& Sim() { return *m_sim; }
    CSerialCommImpl& Line() { return *m_port.GetImpl(); }

    QuickTunables m_tunables;
    std::unique_ptr<probesim::ProbeSimulator> m_sim;
    CSerialComm m_port;
};

TEST_F(SerialTransportTest, HandlesOfOnePortShareOneLine)
{
    CSerialComm none; // a handle without a line touches nothing
    EXPECT_EQ(none.SetPortConfig(6, 1, 0, 0), SERIALCOMM_E_OBJECT_INVALID);
    EXPECT_FALSE(CSerialComm(none).IsValid());

    const USHORT number = StartSimulator();
    EXPECT_EQ(std::u16string(m_port.GetName()), u"COM " + platform::Utf8ToUtf16(std::to_string(number)));
    CSerialCommImpl* line = m_port.GetImpl();
    EXPECT_EQ(m_port.Open(number), S_OK); // the port it holds already: nothing changes
    EXPECT_EQ(m_port.GetRefCount(), 1u);
    {
        CSerialComm second;
        ASSERT_EQ(second.Open(number), S_OK);
        EXPECT_EQ(second.GetImpl(), line);
        CSerialComm third(second);
        EXPECT_EQ(m_port.GetRefCount(), 3u);
        EXPECT_EQ(CSerialCommImpl::GetOpenObjectCount(), 1u);
    }
    EXPECT_EQ(m_port.GetRefCount(), 1u);
    EXPECT_TRUE(m_port.IsOpen());

    // Closed through another handle, the line answers so; opening again makes a new line.
    CSerialComm other(m_port);
    EXPECT_EQ(other.Close(), S_OK);
    CByteBuffer buffer;
    EXPECT_EQ(m_port.Write(ToBuffer(kRtuRequest), 0), SERIALCOMM_E_PORT_CLOSED);
    EXPECT_EQ(m_port.Read(1, buffer, 10, nullptr), SERIALCOMM_E_PORT_CLOSED);
    EXPECT_EQ(m_port.Open(number), S_OK);
    EXPECT_NE(m_port.GetImpl(), other.GetImpl());
    other.Reset();
    m_port.Reset();
    EXPECT_EQ(CSerialCommImpl::GetOpenObjectCount(), 0u);
}

TEST_F(SerialTransportTest, ThreadsOpeningOnePortAtOnceGetOneLine)
{
    m_sim = std::make_unique<probesim::ProbeSimulator>();
    const USHORT number = RegisterPort(Sim().SlavePath());
    std::vector<CSerialComm> ports(8);
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (auto& port : ports)
        threads.emplace_back([&port, number, &failures] { failures += port.Open(number) != S_OK; });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(failures, 0);
    for (auto& port : ports)
        EXPECT_EQ(port.GetImpl(), ports[0].GetImpl());
    EXPECT_EQ(ports[0].GetRefCount(), 8u);
}

TEST_F(SerialTransportTest, OpenFailsForUnknownBusyAndMissingPorts)
{
    EXPECT_EQ(m_port.Open(0), SERIALCOMM_E_OPEN);
    EXPECT_EQ(m_port.Open(999), SERIALCOMM_E_OPEN);
    EXPECT_EQ(m_port.Open(RegisterPort("/dev/norvane-no-such-port")), SERIALCOMM_E_OPEN);

    probesim::PseudoTerminal pty;
    const USHORT number = RegisterPort(pty.SlavePath());
    {
        platform::CSerialDevice holder; // another program holds the line
        ASSERT_EQ(holder.Open(pty.SlavePath()), 0);
        EXPECT_EQ(m_port.Open(number), SERIALCOMM_E_OPEN);
        EXPECT_FALSE(m_port.IsValid());
    }
    ASSERT_EQ(m_port.Open(number), S_OK); // and once it is ours, nobody else gets it
    platform::CSerialDevice other;
    EXPECT_EQ(other.Open(pty.SlavePath()), EBUSY);
}

TEST_F(SerialTransportTest, EveryBaudIdAppliesAndIdsOutOfRangeAreRefusedBeforeThePortIsTouched)
{
    StartSimulator();
    for (ULONG id = 0; id < 13; ++id)
    {
        ASSERT_EQ(m_port.SetPortConfig(id, 1, 2, 0), S_OK) << id;
        ULONG ids[4] = {99, 99, 99, 99};
        ASSERT_EQ(Line().GetPortConfig(&ids[0], &ids[1], &ids[2], &ids[3]), S_OK);
        EXPECT_EQ(ids[0], id);
        EXPECT_EQ(Line().GetDevice().Applied().baudRate, Line().GetCurrentDcb().BaudRate);
    }
    EXPECT_EQ(Line().GetCurrentDcb().BaudRate, 256000u);
    ASSERT_EQ(m_port.SetPortConfig(0, 1, 2, 0), S_OK);
    EXPECT_EQ(Line().GetCurrentTimeouts().WriteTotalTimeoutMultiplier, 36u); // 300 baud writes slowly

    ASSERT_EQ(m_port.SetPortConfig(5, 1, 2, 0), S_OK);
    const DCB before = Line().GetCurrentDcb();
    const auto timeoutsBefore = Line().GetCurrentTimeouts();

    EXPECT_EQ(m_port.SetPortConfig(13, 1, 2, 0), MODBUSCOMM_E_INVALID_BAUD_ID);
    EXPECT_EQ(m_port.SetPortConfig(0xFFFFFFFFu, 1, 2, 0), MODBUSCOMM_E_INVALID_BAUD_ID);
    EXPECT_EQ(m_port.SetPortConfig(6, 2, 2, 0), MODBUSCOMM_E_INVALID_DATA_BITS_ID);
    EXPECT_EQ(m_port.SetPortConfig(6, 1, 3, 0), MODBUSCOMM_E_INVALID_PARITY_ID);
    EXPECT_EQ(m_port.SetPortConfig(6, 1, 2, 2), MODBUSCOMM_E_INVALID_STOP_BITS_ID);
    EXPECT_FALSE(IsDcbDifferent(Line().GetCurrentDcb(), before));
    EXPECT_EQ(Line().GetCurrentTimeouts(), timeoutsBefore);

    // The ids are judged before the port's state: a closed port still names the bad id.
    m_port.Close();
    EXPECT_EQ(m_port.SetPortConfig(13, 1, 2, 0), MODBUSCOMM_E_INVALID_BAUD_ID);
    EXPECT_EQ(m_port.SetPortConfig(6, 1, 2, 0), SERIALCOMM_E_PORT_CLOSED);
}

TEST_F(SerialTransportTest, APseudoTerminalKeepsTheRequestedSettingsAsItsOwn)
{
    StartSimulator();
    EXPECT_EQ(Line().GetCurrentDcb().Parity, EVENPARITY); // already refused by pseudo-terminals
    ASSERT_EQ(m_port.SetPortConfig(5, 0, 1, 1), S_OK);    // 9600, 7 data bits, odd, two stop bits
    EXPECT_EQ(m_port.SetDTR(0), S_OK);
    EXPECT_EQ(m_port.SetRTS(0), S_OK);
    ULONG ids[4] = {9, 9, 9, 9};
    ASSERT_EQ(Line().GetPortConfig(&ids[0], &ids[1], &ids[2], &ids[3]), S_OK);
    EXPECT_EQ(std::vector<ULONG>(ids, ids + 4), (std::vector<ULONG>{5, 0, 1, 1}));
    EXPECT_EQ(Line().GetCurrentDcb().fDtrControl, DTR_CONTROL_ENABLE);

    // The device runs with what it accepts and reports it as it is; frames still pass.
    platform::SerialLineSettings now;
    ASSERT_EQ(Line().GetDevice().Query(now), 0);
    EXPECT_EQ(now.parity, Line().GetDevice().Applied().parity);
    EXPECT_EQ(now.dataBits, Line().GetDevice().Applied().dataBits);
    EXPECT_EQ(now.baudRate, 9600u);
    EXPECT_EQ(now.stopBits, 2);
    CByteBuffer reply;
    EXPECT_EQ(Exchange(100, reply, 1000), S_OK);
    EXPECT_EQ(ToBytes(reply), kRtuReply);
}

TEST_F(SerialTransportTest, AnRtuFrameEndsAtTheFirstLongSilenceOrTheCount)
{
    // Each gap at least 100 ms from the silence, so that a busy machine that holds the simulator
    // up for a while cannot turn one into the other.
    constexpr auto kWideSilence = std::chrono::milliseconds(120);
    SetTunable(u"RTUInterCharacter TO", static_cast<uint32_t>(kWideSilence.count()));
    const USHORT number = StartSimulator();
    CByteBuffer reply;
    Sim().Faults().Queue(probesim::Fault::Gap(3, 5ms)); // shorter than the silence: one frame
    ASSERT_EQ(Exchange(100, reply), S_OK);
    EXPECT_EQ(ToBytes(reply), kRtuReply);

    Sim().Faults().Queue(probesim::Fault::Gap(3, 2 * kWideSilence));
    ASSERT_EQ(Exchange(100, reply), S_OK);
    EXPECT_EQ(ToBytes(reply), (Bytes{0x01, 0x03, 0x02}));
    ASSERT_EQ(m_port.Read(100, reply, 2000, nullptr), S_OK); // the rest is the next frame
    EXPECT_EQ(reply.GetLength(), kRtuReply.size() - 3);

    ULONG sent = 0, received = 0, delivered = 0;
    ASSERT_EQ(m_port.GetStatistics(&sent, &received, &delivered), S_OK);
    EXPECT_EQ(std::vector<ULONG>({sent, received, delivered}), std::vector<ULONG>({16, 14, 14}));

    // The count ends a frame without taking what follows.
    ASSERT_EQ(Exchange(4, reply), S_OK);
    EXPECT_EQ(ToBytes(reply), Bytes(kRtuReply.begin(), kRtuReply.begin() + 4));
    ASSERT_EQ(m_port.Read(3, reply, 2000, nullptr), S_OK);
    EXPECT_EQ(ToBytes(reply), Bytes(kRtuReply.begin() + 4, kRtuReply.end()));

    // Without a framing mode only the count ends a frame: a silence inside it is waited out.
    m_port.Close();
    CSerialComm countOnly;
    ASSERT_EQ(countOnly.Open(number), S_OK);
    Sim().Faults().Queue(probesim::Fault::Gap(2, 2 * kWideSilence));
    ASSERT_EQ(countOnly.Write(ToBuffer(kRtuRequest), 0), S_OK);
    ASSERT_EQ(countOnly.Read(static_cast<ULONG>(kRtuReply.size()), reply, 2000, nullptr), S_OK);
    EXPECT_EQ(ToBytes(reply), kRtuReply);
}

TEST_F(SerialTransportTest, ATotalTimeOutEndsAReadAndAnAsciiFrameEndsAtLineFeedOnly)
{
    StartSimulator();
    CByteBuffer reply(64);
    Sim().Faults().Queue(probesim::Fault::NoReply());
    const uint64_t start = platform::GetTickCount64();
    EXPECT_EQ(Exchange(100, reply, 60), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_GE(platform::GetTickCount64() - start, 60u);
    EXPECT_EQ(reply.GetLength(), 0u);
    EXPECT_EQ(reply.GetCapacity(), 64u);
    // The unanswered request taken in first, so that the next one does not run into it.
    ASSERT_TRUE(Sim().Log().WaitForReceived(1, std::chrono::seconds(5)));
    // Silence before the first byte is no end of frame.
    Sim().Faults().Queue(probesim::Fault::Late(std::chrono::milliseconds(2 * kSilenceMs)));
    EXPECT_EQ(Exchange(100, reply), S_OK);
    EXPECT_EQ(ToBytes(reply), kRtuReply);

    m_port.Close();
    StartSimulator(probesim::FramingMode::Ascii);
    ASSERT_EQ(Exchange(5, reply, 2000, true), S_OK); // fewer expected than the reply has
    EXPECT_EQ(ToText(reply), kAsciiReply);
    // More expected than the reply has, and a silence inside it: still one frame, ended at the LF.
    Sim().Faults().Queue(probesim::Fault::Gap(5, std::chrono::milliseconds(2 * kSilenceMs)));
    ASSERT_EQ(Exchange(100, reply, 2000, true), S_OK);
    EXPECT_EQ(ToText(reply), kAsciiReply);
    // A frame cut short never ends by itself: the total time-out ends it, the bytes kept.
    Sim().Faults().Queue(probesim::Fault::Partial(6));
    EXPECT_EQ(Exchange(100, reply, 80, true), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_EQ(ToText(reply), std::string(kAsciiReply).substr(0, 6));
}

TEST_F(SerialTransportTest, AReplyThatStartsWithinOneSilenceAfterTheTimeOutIsTheReadsOwnAndReadWhole)
{
    // The reply starts well after the read's time-out and well before one silence more has passed.
    constexpr ULONG kTimeoutMs = 100;
    constexpr ULONG kWideSilenceMs = 600;
    constexpr auto kLateness = std::chrono::milliseconds(250);
    SetTunable(u"RTUInterCharacter TO", kWideSilenceMs);
    StartSimulator();
    CByteBuffer reply;
    Sim().Faults().Queue(probesim::Fault::Late(kLateness));
    ASSERT_EQ(Exchange(100, reply, kTimeoutMs), S_OK);
    EXPECT_EQ(ToBytes(reply), kRtuReply);

    // Nobody answers: the read ends one silence after its time-out, not later.
    Sim().Faults().Queue(probesim::Fault::NoReply());
    const uint64_t start = platform::GetTickCount64();
    EXPECT_EQ(Exchange(100, reply, kTimeoutMs), SERIALCOMM_E_READ_TIMEOUT);
    const uint64_t took = platform::GetTickCount64() - start;
    EXPECT_GE(took, kTimeoutMs + kWideSilenceMs);
    EXPECT_LT(took, kTimeoutMs + kWideSilenceMs + 600);

    // An ASCII frame read byte by byte is read on to its end past the time-out.
    m_port.Close();
    StartSimulator(probesim::FramingMode::Ascii);
    Sim().Faults().Queue(probesim::Fault::Late(kLateness));
    ASSERT_EQ(Exchange(5, reply, kTimeoutMs, true), S_OK);
    EXPECT_EQ(ToText(reply), kAsciiReply);
}

// A pseudo-terminal that keeps sending without ever ending its frame, opened as the port in ASCII,
// whose reads end as timed out once their total has passed and the frame has had the time its
// longest form takes at the line's rate and one silence more, with what came in the buffer.
class BabblingLine
{
public:
    // The silence is the longest the babbling thread may be held off without ending the frame: far
    // above what a busy machine holds a thread off.
    static constexpr ULONG kWideSilenceMs = 2000;
    static constexpr ULONG kTotalMs = 50;

    explicit BabblingLine(CSerialComm& port) : m_port(port)
    {
        SetTunable(u"RTUInterCharacter TO", kWideSilenceMs);
        EXPECT_EQ(m_port.Open(RegisterPort(m_pty.SlavePath())), S_OK);
        m_port.SetModeASCII(0);
        m_babbler.emplace(m_pty.MasterFd(), "A", 5ms);
    }

    // Reads `expected` bytes on the line set as given (8 data bits, one stop bit), and checks that
    // the read ends no sooner than its bound at `bitsPerCharacter` a character, and not long after.
    void Read(ULONG baudId, ULONG baud, ULONG parityId, ULONG expected, uint64_t bitsPerCharacter)
    {
        SCOPED_TRACE(baud);
        ASSERT_EQ(m_port.SetPortConfig(baudId, 1, parityId, 0), S_OK);
        const uint64_t boundMs = (expected * bitsPerCharacter * 1000 + baud - 1) / baud + kWideSilenceMs;
        ASSERT_EQ(m_port.Purge(), S_OK);
        CByteBuffer reply;
        const uint64_t start = platform::GetTickCount64();
        EXPECT_EQ(m_port.Read(expected, reply, kTotalMs, nullptr), SERIALCOMM_E_READ_TIMEOUT);
        const uint64_t took = platform::GetTickCount64() - start;
        EXPECT_GE(took, boundMs);
        // Far below the frame cap, which the babbling fills in 20 s.
        EXPECT_LT(took, boundMs + 5000);
        EXPECT_GT(reply.GetLength(), 0u);
        EXPECT_LT(reply.GetLength(), NVTools::SERIAL_MAX_FRAME_BYTES);
    }

private:
    CSerialComm& m_port;
    probesim::PseudoTerminal m_pty;
    std::optional<Babbler> m_babbler;
};

// Before, such a read ended only at the frame cap.
TEST_F(SerialTransportTest, AFrameThatNeverEndsIsReadOnlyForItsLongestFormAtTheLinesRate)
{
    BabblingLine line(m_port);
    // 8N1: ten bits a character; both frames take 300 ms, well above the read's total.
    line.Read(0, 300, 2, 9, 10);
    line.Read(5, 9600, 2, 288, 10);
}

// A pseudo-terminal refuses parity, but the port keeps the framing it was asked for: 8E1 is eleven
// bits a character, one part in eleven longer than without the parity bit.
TEST_F(SerialTransportTest, TheFrameBoundCountsTheParityBitOfTheLinesFraming)
{
    BabblingLine line(m_port);
    line.Read(2, 1200, 0, 96, 11);
}

// Without a framing mode the count ends a frame: a reply that stops short ends, once the total has
// passed, at the next silence, as timed out and with its bytes.
TEST_F(SerialTransportTest, ACountFramedReplyThatStopsShortTimesOut)
{
    m_sim = std::make_unique<probesim::ProbeSimulator>(probesim::SimulatorOptions{.address = 1});
    Sim().Registers().SetU16(40001, 0x1234);
    ASSERT_EQ(m_port.Open(RegisterPort(Sim().SlavePath())), S_OK);
    ASSERT_EQ(Line().GetFramingMode(), NVTools::SERIAL_FRAMING_COUNT);
    Sim().Faults().Queue(probesim::Fault::Partial(4));
    constexpr ULONG kTotalMs = 100;
    ASSERT_EQ(m_port.Write(ToBuffer(kRtuRequest), 0), S_OK);
    // The short reply is on the line before the read starts, however late the probe got to it.
    ASSERT_TRUE(Sim().Log().WaitForSent(1, 10s));
    CByteBuffer reply;
    const uint64_t start = platform::GetTickCount64();
    EXPECT_EQ(m_port.Read(static_cast<ULONG>(kRtuReply.size()), reply, kTotalMs, nullptr),
              SERIALCOMM_E_READ_TIMEOUT);
    const uint64_t took = platform::GetTickCount64() - start;
    EXPECT_EQ(ToBytes(reply), Bytes(kRtuReply.begin(), kRtuReply.begin() + 4));
    EXPECT_GE(took, kTotalMs);
    EXPECT_LT(took, kTotalMs + kSilenceMs + 1000);
}

TEST_F(SerialTransportTest, ALineThatNeverFallsSilentCannotGrowTheBufferOrHoldTheCaller)
{
    probesim::PseudoTerminal pty;
    ASSERT_EQ(m_port.Open(RegisterPort(pty.SlavePath())), S_OK);
    m_port.SetModeASCII(0);
    // A line that babbles without ever sending the end byte.
    Babbler babbler(pty.MasterFd(), std::string(64, 'A'), 0ms);
    // The cap ends the read as a failure: a cut-off frame must not pass for a whole one.
    CByteBuffer reply;
    ASSERT_EQ(m_port.Read(20, reply, 5000, nullptr), SERIALCOMM_E_READ);
    EXPECT_EQ(reply.GetLength(), NVTools::SERIAL_MAX_FRAME_BYTES);
    EXPECT_EQ(m_port.GetLastErrorCode(), static_cast<ULONG>(EMSGSIZE));

    // The drain of a purge gives up on it too.
    const uint64_t start = platform::GetTickCount64();
    ASSERT_EQ(m_port.Purge(), S_OK);
    EXPECT_LT(platform::GetTickCount64() - start, NVTools::SERIAL_DRAIN_LIMIT_MS + 1000u);
    babbler.Stop();
    ASSERT_EQ(m_port.Purge(), S_OK);
    EXPECT_EQ(m_port.Read(20, reply, 60, nullptr), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_EQ(reply.GetLength(), 0u);
}

TEST_F(SerialTransportTest, AReadEndsWhenCancelledClosedOrHungUp)
{
    StartSimulator();
    Sim().Faults().SetPersistent(probesim::Fault::NoReply());
    CTransferControl control;
    // The read ends soon after the cancel, however late the canceller gets to it.
    std::atomic<uint64_t> cancelledAt{0};
    std::thread canceller(
        [&]
        {
            platform::SleepMs(50);
            cancelledAt = platform::GetTickCount64();
            control.RequestCancel();
        });
    CByteBuffer reply;
    ASSERT_EQ(m_port.Write(ToBuffer(kRtuRequest), 0), S_OK);
    EXPECT_EQ(m_port.Read(100, reply, 10000, &control), SERIALCOMM_E_READ_CANCELLED);
    const uint64_t ended = platform::GetTickCount64();
    canceller.join();
    EXPECT_LT(ended - cancelledAt.load(), 2000u);

    // Closing the line from another thread ends a running read the same way; the close says first
    // that it closes, then that it found the read running.
    const std::filesystem::path trace = testsupport::ProcessTempDir() / "close-trace.txt";
    ULONG traceId = 0;
    ASSERT_EQ(m_port.OpenTraceLog(trace.u16string().c_str(), &traceId), S_OK);
    CSerialComm other(m_port);
    std::atomic<uint64_t> closingAt{0};
    std::thread closer(
        [&]
        {
            while (!Line().IsActive())
                std::this_thread::yield();
            closingAt = platform::GetTickCount64();
            other.Close();
        });
    const HRESULT closed = m_port.Read(100, reply, 10000, nullptr);
    const uint64_t readEnded = platform::GetTickCount64();
    closer.join();
    EXPECT_TRUE(closed == SERIALCOMM_E_READ_CANCELLED || closed == SERIALCOMM_E_PORT_CLOSED) << closed;
    EXPECT_LT(readEnded - closingAt.load(), 2000u);
    m_port.CloseTraceLog();
    std::ifstream in(trace);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const size_t closing = text.find("Closing Port: ");
    const size_t waiting = text.find("IO is active - waiting for completion: ");
    ASSERT_NE(closing, std::string::npos);
    ASSERT_NE(waiting, std::string::npos);
    EXPECT_LT(closing, waiting);

    // The other end going away is a read failure, at once.
    auto pty = std::make_unique<probesim::PseudoTerminal>();
    CSerialComm hungUp;
    ASSERT_EQ(hungUp.Open(RegisterPort(pty->SlavePath())), S_OK);
    hungUp.SetModeRTU();
    pty.reset();
    const uint64_t start = platform::GetTickCount64();
    EXPECT_EQ(hungUp.Read(10, reply, 5000, nullptr), SERIALCOMM_E_READ);
    EXPECT_LT(platform::GetTickCount64() - start, 1000u);
}

} // namespace
} // namespace commtest
