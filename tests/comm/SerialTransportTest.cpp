// The serial transport over the simulated probe and over raw pseudo-terminal pairs: opening by
// "COM n" through the port table, shared lines, the end-of-frame rules, time-outs, cancellation,
// the settings ids and the pseudo-terminal rule.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "comm/SerialComm.h"
#include "foundation/ResultCodes.h"
#include "foundation/CommTimeouts.h"
#include "platform/Clock.h"
#include "platform/SettingsStore.h"
#include "platform/Utf.h"
#include "tests/support/TestEnvironment.h"
#include "tools/probe-sim/PortTable.h"
#include "tools/probe-sim/ProbeSimulator.h"

namespace
{

using namespace std::chrono_literals;
using NVTools::CSerialComm;
using NVTools::CSerialCommImpl;

constexpr ULONG kSilenceMs = 40;

// Read holding register 40001 of slave 1, and the reply's first bytes for the value 0x1234.
const std::vector<uint8_t> kRtuRequest = {0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A};
const std::vector<uint8_t> kRtuReplyHead = {0x01, 0x03, 0x02, 0x12, 0x34};
constexpr uint32_t kRtuReplyLength = 7;
const std::string kAsciiRequest = ":010300000001FB\r\n";
const std::string kAsciiReply = ":0103021234B4\r\n";

CByteBuffer Bytes(const std::vector<uint8_t>& bytes)
{
    CByteBuffer buffer;
    buffer.Append(static_cast<uint32_t>(bytes.size()), bytes.data());
    return buffer;
}

CByteBuffer Bytes(const std::string& text)
{
    CByteBuffer buffer;
    buffer.Append(static_cast<uint32_t>(text.size()), text.data());
    return buffer;
}

std::vector<uint8_t> Contents(const CByteBuffer& buffer)
{
    return std::vector<uint8_t>(buffer.GetData(), buffer.GetData() + buffer.GetLength());
}

std::string Text(const CByteBuffer& buffer)
{
    return std::string(reinterpret_cast<const char*>(buffer.GetData()), buffer.GetLength());
}

// A raw pseudo-terminal pair for lines the simulator would not produce.
class RawPty
{
public:
    RawPty()
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        grantpt(m_master);
        unlockpt(m_master);
        char name[128] = {};
        ptsname_r(m_master, name, sizeof name);
        m_path = name;
        termios tio{};
        tcgetattr(m_master, &tio);
        cfmakeraw(&tio);
        tcsetattr(m_master, TCSANOW, &tio);
    }
    ~RawPty() { close(m_master); }
    const std::string& Path() const { return m_path; }
    // Sends the byte again and again until stop is set, never blocking on a full line.
    void Babble(char byte, const std::atomic<bool>& stop)
    {
        const std::string chunk(64, byte);
        fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
        while (!stop)
        {
            pollfd entry{m_master, POLLOUT, 0};
            if (poll(&entry, 1, 5) == 1)
                (void)!write(m_master, chunk.data(), chunk.size());
        }
    }

private:
    int m_master = -1;
    std::string m_path;
};

class SerialTransportTest : public ::testing::Test
{
protected:
    SerialTransportTest()
    {
        ResetCommTunablesForTests();
        SetSilence(kSilenceMs);
    }
    ~SerialTransportTest() override { ResetCommTunablesForTests(); }

    static void SetSilence(ULONG ms)
    {
        platform::settings::SetDword(platform::Hive::LocalMachine, COMM_TUNABLES_KEY, u"RTUInterCharacter TO",
                                     ms);
    }
    // Enters the device in the port table under the lowest free number.
    static USHORT Register(const std::string& path)
    {
        std::string error;
        const auto number = probesim::RegisterComPort(path, 0, error);
        EXPECT_TRUE(number.has_value()) << error;
        return static_cast<USHORT>(number.value_or(0));
    }
    // The simulator in the mode given, entered in the port table and opened with that framing.
    USHORT StartSimulator(probesim::FramingMode mode, CSerialComm& port)
    {
        m_sim = std::make_unique<probesim::ProbeSimulator>(
            probesim::SimulatorOptions{.mode = mode, .address = 1});
        m_sim->Registers().SetU16(40001, 0x1234);
        const USHORT number = Register(m_sim->SlavePath());
        EXPECT_EQ(port.Open(number), S_OK);
        if (mode == probesim::FramingMode::Ascii)
            port.SetModeASCII(0);
        else
            port.SetModeRTU();
        return number;
    }
    probesim::ProbeSimulator& Sim() { return *m_sim; }

    testsupport::ScopedConfigDir m_config;
    std::unique_ptr<probesim::ProbeSimulator> m_sim;
};

TEST_F(SerialTransportTest, AHandleWithoutImplementationAnswersWithoutTouchingAnything)
{
    CSerialComm port;
    EXPECT_FALSE(port.IsValid());
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.GetRefCount(), 0u);
    EXPECT_FALSE(port.IsTraceLogOpen());
    EXPECT_EQ(port.GetConnectionType(), NVTools::IOCONNECTION_SERIAL);
    EXPECT_TRUE(port.GetName().IsEmpty());
    EXPECT_TRUE(port.GetLastErrorText().IsEmpty());
    EXPECT_EQ(port.GetLastErrorCode(), 0u);

    CByteBuffer buffer;
    ULONG sent = 0;
    ULONG fileId = 0;
    for (HRESULT hr :
         {port.Close(), port.Write(Bytes(kRtuRequest), 0), port.Read(1, buffer, 10, nullptr),
          port.PurgeInput(), port.PurgeOutput(), port.Purge(), port.AttachTraceLog(1), port.DetachTraceLog(),
          port.OpenTraceLog(u"x.txt", &fileId), port.CloseTraceLog(), port.GetStatistics(&sent, &sent, &sent),
          port.ResetStatistics(), port.SetPortConfig(6, 1, 0, 0), port.SetDTR(0), port.SetRTS(0),
          port.SetModeRTU(), port.SetModeASCII(0)})
        EXPECT_EQ(hr, SERIALCOMM_E_OBJECT_INVALID);

    NVTools::IIOAbstract& line = port;
    EXPECT_EQ(line.AsSerial(), &port);
    EXPECT_EQ(line.AsModem(), nullptr);
    EXPECT_EQ(line.AsIP(), nullptr);
    EXPECT_EQ(line.AsOther(), nullptr);
    port.Reset();
    CSerialComm copy(port);
    EXPECT_FALSE(copy.IsValid());
}

TEST_F(SerialTransportTest, HandlesOfOnePortShareOneLine)
{
    CSerialComm first;
    const USHORT number = StartSimulator(probesim::FramingMode::Rtu, first);
    ASSERT_TRUE(first.IsOpen());
    EXPECT_EQ(std::u16string(first.GetName()), u"COM " + platform::Utf8ToUtf16(std::to_string(number)));
    CSerialCommImpl* line = first.GetImpl();

    // Opening the port the handle holds changes nothing.
    EXPECT_EQ(first.Open(number), S_OK);
    EXPECT_EQ(first.GetImpl(), line);
    EXPECT_EQ(first.GetRefCount(), 1u);

    {
        CSerialComm second;
        ASSERT_EQ(second.Open(number), S_OK);
        EXPECT_EQ(second.GetImpl(), line);
        CSerialComm third(second);
        EXPECT_EQ(third.GetImpl(), line);
        EXPECT_EQ(first.GetRefCount(), 3u);
        EXPECT_EQ(CSerialCommImpl::GetOpenObjectCount(), 1u);
    }
    // Letting go of the others leaves the line open for the first.
    EXPECT_EQ(first.GetRefCount(), 1u);
    EXPECT_TRUE(first.IsOpen());

    CSerialComm other(first);
    EXPECT_EQ(other.Close(), S_OK);
    EXPECT_FALSE(first.IsOpen());
    EXPECT_TRUE(first.IsValid());
    EXPECT_EQ(std::u16string(first.GetName()), u"COM 0");

    // A handle on a closed line opens a new one; the closed object stays with the other handle.
    EXPECT_EQ(first.Open(number), S_OK);
    EXPECT_TRUE(first.IsOpen());
    EXPECT_NE(first.GetImpl(), other.GetImpl());
    EXPECT_EQ(CSerialCommImpl::GetOpenObjectCount(), 2u);
    other.Reset();
    first.Reset();
    EXPECT_EQ(CSerialCommImpl::GetOpenObjectCount(), 0u);
}

TEST_F(SerialTransportTest, ThreadsOpeningOnePortAtOnceGetOneLine)
{
    m_sim = std::make_unique<probesim::ProbeSimulator>();
    const USHORT number = Register(Sim().SlavePath());
    std::vector<CSerialComm> ports(8);
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (auto& port : ports)
        threads.emplace_back(
            [&port, number, &failures]
            {
                if (port.Open(number) != S_OK)
                    ++failures;
            });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(failures, 0);
    for (auto& port : ports)
        EXPECT_EQ(port.GetImpl(), ports[0].GetImpl());
    EXPECT_EQ(ports[0].GetRefCount(), 8u);
}

TEST_F(SerialTransportTest, OpenFailsForUnknownBusyAndMissingPorts)
{
    CSerialComm port;
    EXPECT_EQ(port.Open(0), SERIALCOMM_E_OPEN);
    EXPECT_EQ(port.Open(999), SERIALCOMM_E_OPEN);
    EXPECT_FALSE(port.IsValid());

    // A device in the table that is not there any more.
    std::string error;
    ASSERT_TRUE(probesim::RegisterComPort("/dev/norvane-no-such-port", 998, error)) << error;
    EXPECT_EQ(port.Open(998), SERIALCOMM_E_OPEN);

    // Another program holds the line.
    RawPty pty;
    const USHORT number = Register(pty.Path());
    {
        platform::CSerialDevice other;
        ASSERT_EQ(other.Open(pty.Path()), 0);
        EXPECT_EQ(port.Open(number), SERIALCOMM_E_OPEN);
        EXPECT_FALSE(port.IsValid());
    }
    // And once it is ours, nobody else gets it.
    ASSERT_EQ(port.Open(number), S_OK);
    platform::CSerialDevice other;
    EXPECT_EQ(other.Open(pty.Path()), EBUSY);
    EXPECT_EQ(CSerialCommImpl::GetOpenObjectCount(), 1u);
}

TEST_F(SerialTransportTest, SettingsIdsOutOfRangeAreRefusedBeforeThePortIsTouched)
{
    CSerialComm port;
    StartSimulator(probesim::FramingMode::Rtu, port);
    ASSERT_EQ(port.SetPortConfig(5, 1, 2, 0), S_OK);
    const DCB before = port.GetImpl()->GetCurrentDcb();
    const auto timeoutsBefore = port.GetImpl()->GetCurrentTimeouts();

    EXPECT_EQ(port.SetPortConfig(13, 1, 2, 0), MODBUSCOMM_E_INVALID_BAUD_ID);
    EXPECT_EQ(port.SetPortConfig(0xFFFFFFFFu, 1, 2, 0), MODBUSCOMM_E_INVALID_BAUD_ID);
    EXPECT_EQ(port.SetPortConfig(6, 2, 2, 0), MODBUSCOMM_E_INVALID_DATA_BITS_ID);
    EXPECT_EQ(port.SetPortConfig(6, 1, 3, 0), MODBUSCOMM_E_INVALID_PARITY_ID);
    EXPECT_EQ(port.SetPortConfig(6, 1, 2, 2), MODBUSCOMM_E_INVALID_STOP_BITS_ID);
    EXPECT_FALSE(IsDcbDifferent(port.GetImpl()->GetCurrentDcb(), before));
    EXPECT_EQ(port.GetImpl()->GetCurrentTimeouts(), timeoutsBefore);

    // The ids are judged before the port's state: a closed port still names the bad id.
    port.Close();
    EXPECT_EQ(port.SetPortConfig(13, 1, 2, 0), MODBUSCOMM_E_INVALID_BAUD_ID);
    EXPECT_EQ(port.SetPortConfig(6, 1, 2, 0), SERIALCOMM_E_PORT_CLOSED);
}

TEST_F(SerialTransportTest, EveryBaudIdAppliesWithItsWritePacing)
{
    CSerialComm port;
    StartSimulator(probesim::FramingMode::Rtu, port);
    CSerialCommImpl* line = port.GetImpl();
    const ULONG bauds[] = {300,   600,   1200,   2400,   4800,   9600,  19200,
                           38400, 57600, 115200, 128000, 230400, 256000};
    const ULONG multipliers[] = {36, 18, 9, 5, 2, 1, 1, 1, 1, 1, 1, 1, 1};
    for (ULONG id = 0; id < 13; ++id)
    {
        ASSERT_EQ(port.SetPortConfig(id, 1, 2, 0), S_OK) << id;
        ULONG baudId = 99, dataBitsId = 99, parityId = 99, stopBitsId = 99;
        ASSERT_EQ(line->GetPortConfig(&baudId, &dataBitsId, &parityId, &stopBitsId), S_OK);
        EXPECT_EQ(baudId, id);
        EXPECT_EQ(line->GetCurrentDcb().BaudRate, bauds[id]);
        EXPECT_EQ(line->GetCurrentTimeouts().WriteTotalTimeoutMultiplier, multipliers[id]) << bauds[id];
        EXPECT_EQ(line->GetDevice().Applied().baudRate, bauds[id]);
    }
}

TEST_F(SerialTransportTest, APseudoTerminalKeepsTheRequestedSettingsAsItsOwn)
{
    CSerialComm port;
    StartSimulator(probesim::FramingMode::Rtu, port);
    CSerialCommImpl* line = port.GetImpl();

    // The initial configuration already asked for even parity, which pseudo-terminals may refuse.
    EXPECT_EQ(line->GetCurrentDcb().Parity, EVENPARITY);
    ASSERT_EQ(port.SetPortConfig(5, 0, 1, 1), S_OK); // 9600, 7 data bits, odd, two stop bits
    EXPECT_EQ(port.SetDTR(0), S_OK);
    EXPECT_EQ(port.SetRTS(0), S_OK);
    ULONG baudId = 0, dataBitsId = 9, parityId = 9, stopBitsId = 9;
    ASSERT_EQ(line->GetPortConfig(&baudId, &dataBitsId, &parityId, &stopBitsId), S_OK);
    EXPECT_EQ(baudId, 5u);
    EXPECT_EQ(dataBitsId, 0u);
    EXPECT_EQ(parityId, 1u);
    EXPECT_EQ(stopBitsId, 1u);
    EXPECT_EQ(line->GetCurrentDcb().fDtrControl, DTR_CONTROL_ENABLE);
    EXPECT_EQ(line->GetCurrentDcb().fRtsControl, RTS_CONTROL_ENABLE);

    // The device runs with what it accepts and reports it as it is.
    const platform::SerialLineSettings& applied = line->GetDevice().Applied();
    platform::SerialLineSettings now;
    ASSERT_EQ(line->GetDevice().Query(now), 0);
    EXPECT_EQ(now.parity, applied.parity);
    EXPECT_EQ(now.dataBits, applied.dataBits);
    EXPECT_EQ(now.baudRate, 9600u);
    EXPECT_EQ(now.stopBits, 2);

    // And the line still carries frames.
    CByteBuffer reply;
    ASSERT_EQ(port.Write(Bytes(kRtuRequest), 0), S_OK);
    EXPECT_EQ(port.Read(100, reply, 1000, nullptr), S_OK);
    EXPECT_EQ(reply.GetLength(), kRtuReplyLength);
}

TEST_F(SerialTransportTest, RtuFrameEndsAtTheFirstSilenceLongerThanTheTunable)
{
    CSerialComm port;
    StartSimulator(probesim::FramingMode::Rtu, port);
    CByteBuffer reply;

    // A pause shorter than the silence stays inside the frame.
    Sim().Faults().Queue(probesim::Fault::Gap(3, 5ms));
    ASSERT_EQ(port.Write(Bytes(kRtuRequest), 0), S_OK);
    ASSERT_EQ(port.Read(100, reply, 2000, nullptr), S_OK);
    ASSERT_EQ(reply.GetLength(), kRtuReplyLength);
    EXPECT_TRUE(std::equal(kRtuReplyHead.begin(), kRtuReplyHead.end(), reply.GetData()));

    // A longer one ends it; the rest is the next frame.
    Sim().Faults().Queue(probesim::Fault::Gap(3, std::chrono::milliseconds(4 * kSilenceMs)));
    ASSERT_EQ(port.Write(Bytes(kRtuRequest), 0), S_OK);
    ASSERT_EQ(port.Read(100, reply, 2000, nullptr), S_OK);
    EXPECT_EQ(Contents(reply), (std::vector<uint8_t>{0x01, 0x03, 0x02}));
    ASSERT_EQ(port.Read(100, reply, 2000, nullptr), S_OK);
    EXPECT_EQ(reply.GetLength(), kRtuReplyLength - 3);

    ULONG sent = 0, received = 0, delivered = 0;
    ASSERT_EQ(port.GetStatistics(&sent, &received, &delivered), S_OK);
    EXPECT_EQ(sent, 2 * kRtuRequest.size());
    EXPECT_EQ(received, 2 * kRtuReplyLength);
    EXPECT_EQ(delivered, 2 * kRtuReplyLength);
    EXPECT_EQ(port.ResetStatistics(), S_OK);
    ASSERT_EQ(port.GetStatistics(&sent, &received, &delivered), S_OK);
    EXPECT_EQ(sent + received + delivered, 0u);
}

TEST_F(SerialTransportTest, TheCountEndsAFrameWithoutTakingWhatFollows)
{
    CSerialComm port;
    StartSimulator(probesim::FramingMode::Rtu, port);
    CByteBuffer reply;
    ASSERT_EQ(port.Write(Bytes(kRtuRequest), 0), S_OK);
    ASSERT_EQ(port.Read(4, reply, 2000, nullptr), S_OK);
    EXPECT_EQ(Contents(reply), std::vector<uint8_t>(kRtuReplyHead.begin(), kRtuReplyHead.begin() + 4));
    ASSERT_EQ(port.Read(3, reply, 2000, nullptr), S_OK);
    EXPECT_EQ(reply.GetLength(), 3u);
    EXPECT_EQ(reply.GetData()[0], 0x34);

    // Without a framing mode only the count ends a frame: a silence inside it is waited out.
    CSerialComm countOnly;
    m_sim.reset();
    m_sim = std::make_unique<probesim::ProbeSimulator>();
    Sim().Registers().SetU16(40001, 0x1234);
    ASSERT_EQ(countOnly.Open(Register(Sim().SlavePath())), S_OK);
    Sim().Faults().Queue(probesim::Fault::Gap(2, std::chrono::milliseconds(3 * kSilenceMs)));
    ASSERT_EQ(countOnly.Write(Bytes(kRtuRequest), 0), S_OK);
    ASSERT_EQ(countOnly.Read(kRtuReplyLength, reply, 2000, nullptr), S_OK);
    EXPECT_EQ(reply.GetLength(), kRtuReplyLength);
}

TEST_F(SerialTransportTest, NoReplyEndsAtTheTotalTimeOutAndALateOneIsWaitedFor)
{
    CSerialComm port;
    StartSimulator(probesim::FramingMode::Rtu, port);
    CByteBuffer reply(64);
    Sim().Faults().Queue(probesim::Fault::NoReply());
    ASSERT_EQ(port.Write(Bytes(kRtuRequest), 0), S_OK);
    const uint64_t start = platform::GetTickCount64();
    EXPECT_EQ(port.Read(100, reply, 120, nullptr), SERIALCOMM_E_READ_TIMEOUT);
    const uint64_t took = platform::GetTickCount64() - start;
    EXPECT_GE(took, 120u);
    // Checked between port reads: at most one silence late.
    EXPECT_LT(took, 120u + kSilenceMs + 200u);
    EXPECT_EQ(reply.GetLength(), 0u);
    EXPECT_EQ(reply.GetCapacity(), 64u);

    // Silence before the first byte is no end of frame.
    Sim().Faults().Queue(probesim::Fault::Late(std::chrono::milliseconds(3 * kSilenceMs)));
    ASSERT_EQ(port.Write(Bytes(kRtuRequest), 0), S_OK);
    EXPECT_EQ(port.Read(100, reply, 2000, nullptr), S_OK);
    EXPECT_EQ(reply.GetLength(), kRtuReplyLength);
}

TEST_F(SerialTransportTest, AsciiFrameEndsAtLineFeedOnly)
{
    CSerialComm port;
    StartSimulator(probesim::FramingMode::Ascii, port);
    CByteBuffer reply;

    // Fewer expected bytes than the reply has: read on to the LF.
    ASSERT_EQ(port.Write(Bytes(kAsciiRequest), 0), S_OK);
    ASSERT_EQ(port.Read(5, reply, 2000, nullptr), S_OK);
    EXPECT_EQ(Text(reply), kAsciiReply);

    // More expected than the reply has, and a silence inside it: still one frame, ended at the LF.
    Sim().Faults().Queue(probesim::Fault::Gap(5, std::chrono::milliseconds(3 * kSilenceMs)));
    ASSERT_EQ(port.Write(Bytes(kAsciiRequest), 0), S_OK);
    ASSERT_EQ(port.Read(100, reply, 2000, nullptr), S_OK);
    EXPECT_EQ(Text(reply), kAsciiReply);

    // A frame cut short never ends by itself: the total time-out ends it, the bytes kept.
    Sim().Faults().Queue(probesim::Fault::Partial(6));
    ASSERT_EQ(port.Write(Bytes(kAsciiRequest), 0), S_OK);
    EXPECT_EQ(port.Read(100, reply, 150, nullptr), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_EQ(Text(reply), kAsciiReply.substr(0, 6));
}

TEST_F(SerialTransportTest, ALineThatNeverFallsSilentCannotGrowTheBufferOrHoldTheCaller)
{
    RawPty pty;
    CSerialComm port;
    ASSERT_EQ(port.Open(Register(pty.Path())), S_OK);
    port.SetModeASCII(0);
    // A line that babbles without ever sending the end byte.
    std::atomic<bool> stop{false};
    std::thread babbler([&] { pty.Babble('A', stop); });
    CByteBuffer reply;
    ASSERT_EQ(port.Read(20, reply, 5000, nullptr), S_OK);
    EXPECT_EQ(reply.GetLength(), NVTools::SERIAL_MAX_FRAME_BYTES);

    // The drain of a purge gives up on it too, and counts nothing of what it discards.
    ULONG sent = 0, received = 0, delivered = 0;
    port.GetStatistics(&sent, &received, &delivered);
    const uint64_t start = platform::GetTickCount64();
    ASSERT_EQ(port.Purge(), S_OK);
    EXPECT_LT(platform::GetTickCount64() - start, NVTools::SERIAL_DRAIN_LIMIT_MS + 1000u);
    stop = true;
    babbler.join();
    ULONG receivedAfter = 0;
    port.GetStatistics(&sent, &receivedAfter, &delivered);
    EXPECT_EQ(receivedAfter, received);

    ASSERT_EQ(port.Purge(), S_OK);
    EXPECT_EQ(port.Read(20, reply, 60, nullptr), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_EQ(reply.GetLength(), 0u);
}

TEST_F(SerialTransportTest, AReadIsCancelledFromAnotherThread)
{
    CSerialComm port;
    StartSimulator(probesim::FramingMode::Rtu, port);
    CTransferControl control;
    Sim().Faults().SetPersistent(probesim::Fault::NoReply());
    ASSERT_EQ(port.Write(Bytes(kRtuRequest), 0), S_OK);
    std::thread canceller(
        [&control]
        {
            platform::SleepMs(50);
            control.RequestCancel();
        });
    CByteBuffer reply;
    const uint64_t start = platform::GetTickCount64();
    EXPECT_EQ(port.Read(100, reply, 10000, &control), SERIALCOMM_E_READ_CANCELLED);
    canceller.join();
    EXPECT_LT(platform::GetTickCount64() - start, 2000u);

    // Closing the line from another thread ends a running read the same way.
    CSerialComm other(port);
    std::thread closer(
        [&other]
        {
            platform::SleepMs(50);
            other.Close();
        });
    const uint64_t again = platform::GetTickCount64();
    EXPECT_EQ(port.Read(100, reply, 10000, nullptr), SERIALCOMM_E_READ_CANCELLED);
    closer.join();
    EXPECT_LT(platform::GetTickCount64() - again, 2000u);
    EXPECT_FALSE(port.IsOpen());
}

TEST_F(SerialTransportTest, EmptyOperationsAndClosedPorts)
{
    CSerialComm port;
    StartSimulator(probesim::FramingMode::Rtu, port);
    CByteBuffer nothing;
    EXPECT_EQ(port.Write(nothing, 0), S_OK);
    CByteBuffer reply(8);
    EXPECT_EQ(port.Read(0, reply, 1000, nullptr), S_OK);
    EXPECT_FALSE(Sim().Log().WaitForReceived(1, 50ms));
    EXPECT_EQ(std::u16string(port.GetLastErrorText()), u"LE: 0 (Success)");

    port.Close();
    EXPECT_EQ(port.Write(Bytes(kRtuRequest), 0), SERIALCOMM_E_PORT_CLOSED);
    EXPECT_EQ(port.Read(1, reply, 10, nullptr), SERIALCOMM_E_PORT_CLOSED);
    EXPECT_EQ(port.PurgeInput(), SERIALCOMM_E_PORT_CLOSED);
    EXPECT_EQ(port.PurgeOutput(), SERIALCOMM_E_PORT_CLOSED);
    EXPECT_EQ(port.Purge(), SERIALCOMM_E_PORT_CLOSED);
    ULONG ids[4] = {};
    EXPECT_EQ(port.GetImpl()->GetPortConfig(&ids[0], &ids[1], &ids[2], &ids[3]), SERIALCOMM_E_PORT_CLOSED);
    EXPECT_EQ(port.SetDTR(0), SERIALCOMM_E_PORT_CLOSED);
}

TEST_F(SerialTransportTest, AHangUpOfTheOtherSideIsAReadFailure)
{
    auto pty = std::make_unique<RawPty>();
    CSerialComm port;
    ASSERT_EQ(port.Open(Register(pty->Path())), S_OK);
    port.SetModeRTU();
    pty.reset();
    CByteBuffer reply;
    const uint64_t start = platform::GetTickCount64();
    EXPECT_EQ(port.Read(10, reply, 5000, nullptr), SERIALCOMM_E_READ);
    EXPECT_LT(platform::GetTickCount64() - start, 1000u);
}

TEST_F(SerialTransportTest, TheTraceFollowsTheLine)
{
    CSerialComm port;
    StartSimulator(probesim::FramingMode::Rtu, port);
    const auto path = m_config.Path() / "COM_TraceLog.txt";
    ULONG fileId = 0;
    ASSERT_EQ(port.OpenTraceLog(platform::Utf8ToUtf16(path.string()).c_str(), &fileId), S_OK);
    EXPECT_TRUE(port.IsTraceLogOpen());
    ASSERT_EQ(port.SetPortConfig(6, 1, 0, 0), S_OK); // what the port has already
    ASSERT_EQ(port.Write(Bytes(kRtuRequest), 0), S_OK);
    CByteBuffer reply;
    ASSERT_EQ(port.Read(100, reply, 2000, nullptr), S_OK);

    // A second handle attaches to the same file by its id; closing one detaches the line's trace.
    CSerialComm other(port);
    EXPECT_EQ(other.AttachTraceLog(fileId), E_FAIL); // the line has a file already
    EXPECT_EQ(other.CloseTraceLog(), S_OK);
    EXPECT_FALSE(port.IsTraceLogOpen());
    EXPECT_EQ(port.AttachTraceLog(0xFFFF), E_FAIL);

    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    const std::string trace = text.str();
    for (const char* line : {"Module: CSerialCommImpl", "DCB Configuration success - No update required",
                             "Starting port write - 8 bytes:", "01 03 00 00  00 01 84 0A", "Write Completed",
                             "Starting port read - Bytes: 100 Timeout(ms): 2000",
                             "Read complete - Total Packet", " #Bytes read: 7"})
        EXPECT_NE(trace.find(line), std::string::npos) << line << "\n" << trace;
}

} // namespace
