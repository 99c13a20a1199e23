// The serial device over pseudo-terminal pairs: exclusive open, raw mode, the pseudo-terminal rule,
// every baud rate of the transport, time-outs that never wait past their limit.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

#include "platform/Clock.h"
#include "platform/SerialDevice.h"
#include "tests/support/TestEnvironment.h"

namespace
{

using platform::CSerialDevice;
using platform::SerialLineSettings;
using platform::SerialParity;

// The other end of the line: a pseudo-terminal master in raw mode, its slave path for the device.
class PtyPeer
{
public:
    PtyPeer()
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        EXPECT_GE(m_master, 0);
        EXPECT_EQ(grantpt(m_master), 0);
        EXPECT_EQ(unlockpt(m_master), 0);
        char name[128] = {};
        EXPECT_EQ(ptsname_r(m_master, name, sizeof name), 0);
        m_slavePath = name;
        termios tio{};
        tcgetattr(m_master, &tio);
        cfmakeraw(&tio);
        tcsetattr(m_master, TCSANOW, &tio);
    }
    ~PtyPeer() { CloseMaster(); }

    const std::string& SlavePath() const { return m_slavePath; }
    void CloseMaster()
    {
        if (m_master >= 0)
            close(m_master);
        m_master = -1;
    }
    void Send(const std::vector<uint8_t>& bytes)
    {
        ASSERT_EQ(write(m_master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // Whatever arrives within timeoutMs, up to n bytes.
    std::vector<uint8_t> Receive(size_t n, int timeoutMs = 500)
    {
        std::vector<uint8_t> bytes;
        const uint64_t deadline = platform::GetTickCount64() + static_cast<uint64_t>(timeoutMs);
        while (bytes.size() < n)
        {
            const uint64_t now = platform::GetTickCount64();
            if (now >= deadline)
                break;
            pollfd entry{m_master, POLLIN, 0};
            if (poll(&entry, 1, static_cast<int>(deadline - now)) <= 0)
                break;
            uint8_t chunk[256];
            const ssize_t got = read(m_master, chunk, std::min(sizeof chunk, n - bytes.size()));
            if (got <= 0)
                break;
            bytes.insert(bytes.end(), chunk, chunk + got);
        }
        return bytes;
    }

private:
    int m_master = -1;
    std::string m_slavePath;
};

// What the kernel does with a setting on a pseudo-terminal, asked without our code in between.
bool KernelRefusesOnPty(int fd, tcflag_t add, tcflag_t remove)
{
    termios tio{};
    tcgetattr(fd, &tio);
    const termios saved = tio;
    tio.c_cflag = (tio.c_cflag & ~remove) | add;
    const bool refused = tcsetattr(fd, TCSANOW, &tio) != 0;
    tcsetattr(fd, TCSANOW, &saved);
    return refused;
}

TEST(SerialDeviceTest, OpenIsExclusiveAndReleasedByClose)
{
    PtyPeer peer;
    CSerialDevice first;
    ASSERT_EQ(first.Open(peer.SlavePath()), 0);
    EXPECT_TRUE(first.IsPseudoTerminal());
    EXPECT_EQ(first.Open(peer.SlavePath()), EISCONN);

    // Refused even to a privileged opener in the same process (the tests may run as root).
    CSerialDevice second;
    EXPECT_EQ(second.Open(peer.SlavePath()), EBUSY);
    EXPECT_FALSE(second.IsOpen());

    EXPECT_EQ(first.Close(), 0);
    EXPECT_EQ(first.Close(), 0);
    EXPECT_EQ(second.Open(peer.SlavePath()), 0);
}

TEST(SerialDeviceTest, OpenRefusesWhatIsNoTerminal)
{
    const auto file = testsupport::ProcessTempDir() / "not-a-port";
    std::ofstream(file) << "x";
    CSerialDevice device;
    EXPECT_EQ(device.Open(file.string()), ENOTTY);
    EXPECT_EQ(device.Open((testsupport::ProcessTempDir() / "missing").string()), ENOENT);
    EXPECT_FALSE(device.IsOpen());
    uint8_t unused[1];
    size_t got = 0;
    EXPECT_EQ(device.Read(unused, 1, 0, got), EBADF);
    EXPECT_EQ(device.Purge(), EBADF);
}

TEST(SerialDeviceTest, RawModeCarriesEveryByteUnchangedAndKeepsDtrOnClose)
{
    PtyPeer peer;
    // Opened before the device takes the line exclusively, to look at its settings afterwards.
    const int keeper = open(peer.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(keeper, 0);
    CSerialDevice device;
    ASSERT_EQ(device.Open(peer.SlavePath()), 0);

    // CR, LF, ^C, ^S/^Q, DEL and 0xFF mean nothing to a raw line.
    const std::vector<uint8_t> controlBytes = {0x0D, 0x0A, 0x03, 0x13, 0x11, 0x7F, 0xFF, 0x00, 0x04};
    size_t written = 0;
    ASSERT_EQ(device.Write(controlBytes.data(), controlBytes.size(), 100, written), 0);
    EXPECT_EQ(written, controlBytes.size());
    EXPECT_EQ(peer.Receive(controlBytes.size()), controlBytes);

    peer.Send(controlBytes);
    std::vector<uint8_t> got(32);
    size_t count = 0;
    size_t total = 0;
    while (total < controlBytes.size() &&
           device.Read(got.data() + total, got.size() - total, 200, count) == 0 && count > 0)
        total += count;
    got.resize(total);
    EXPECT_EQ(got, controlBytes);

    termios tio{};
    ASSERT_EQ(tcgetattr(keeper, &tio), 0);
    close(keeper);
    EXPECT_EQ(tio.c_cflag & HUPCL, 0u);
    EXPECT_NE(tio.c_cflag & CLOCAL, 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
}

TEST(SerialDeviceTest, PseudoTerminalKeepsRequestedFramingAsItsOwn)
{
    PtyPeer peer;
    CSerialDevice device;
    ASSERT_EQ(device.Open(peer.SlavePath()), 0);
    SerialLineSettings wanted;
    wanted.baudRate = 9600;
    wanted.dataBits = 7;
    wanted.parity = SerialParity::Odd;
    wanted.stopBits = 2;
    ASSERT_EQ(device.Apply(wanted), 0);
    EXPECT_EQ(device.Requested(), wanted);

    SerialLineSettings now;
    ASSERT_EQ(device.Query(now), 0);
    // The device took what it accepts and reports exactly that.
    EXPECT_EQ(now.baudRate, 9600u);
    EXPECT_EQ(now.stopBits, 2);
    EXPECT_EQ(now.parity, device.Applied().parity);
    EXPECT_EQ(now.dataBits, device.Applied().dataBits);
    // Modem lines are not to be had on a pseudo-terminal; they read as requested.
    EXPECT_TRUE(now.dtr);
    EXPECT_TRUE(now.rts);
}

TEST(SerialDeviceTest, WithoutThePseudoTerminalRuleARefusalIsAnError)
{
    PtyPeer peer;
    const int fd = open(peer.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    CSerialDevice device;
    ASSERT_EQ(device.Open(peer.SlavePath()), 0);
    const bool parityRefused = KernelRefusesOnPty(fd, PARENB, 0);
    const bool sevenBitsRefused = KernelRefusesOnPty(fd, CS7, CSIZE);

    SerialLineSettings even;
    even.parity = SerialParity::Even;
    even.dtr = even.rts = false; // modem lines aside: only the framing is asked here
    EXPECT_EQ(platform::ApplyLineSettings(fd, even, false, nullptr), parityRefused ? EINVAL : 0);
    SerialLineSettings seven;
    seven.dataBits = 7;
    seven.dtr = seven.rts = false;
    EXPECT_EQ(platform::ApplyLineSettings(fd, seven, false, nullptr), sevenBitsRefused ? EINVAL : 0);
    SerialLineSettings dtr;
    const int modemError = platform::ApplyLineSettings(fd, dtr, false, nullptr);
    EXPECT_TRUE(modemError == ENOTTY || modemError == EINVAL || modemError == 0) << modemError;

    SerialLineSettings applied;
    EXPECT_EQ(platform::ApplyLineSettings(fd, even, true, &applied), 0);
    EXPECT_EQ(applied.parity, parityRefused ? SerialParity::None : SerialParity::Even);

    SerialLineSettings bad;
    bad.dataBits = 9;
    EXPECT_EQ(platform::ApplyLineSettings(fd, bad, true, nullptr), EINVAL);
    close(fd);
    bad = SerialLineSettings{};
    bad.baudRate = 0;
    EXPECT_EQ(device.Apply(bad), EINVAL);
}

TEST(SerialDeviceTest, EveryBaudRateOfTheTransportIsTaken)
{
    PtyPeer peer;
    CSerialDevice device;
    ASSERT_EQ(device.Open(peer.SlavePath()), 0);
    // 128000 and 256000 have no B constant of their own.
    for (uint32_t baud :
         {300u, 600u, 1200u, 2400u, 4800u, 9600u, 19200u, 38400u, 57600u, 115200u, 128000u, 230400u, 256000u})
    {
        SerialLineSettings settings;
        settings.baudRate = baud;
        ASSERT_EQ(device.Apply(settings), 0) << baud;
        SerialLineSettings now;
        ASSERT_EQ(device.Query(now), 0);
        EXPECT_EQ(now.baudRate, baud);
    }
}

TEST(SerialDeviceTest, ReadWaitsOnlyItsTimeOutAndReportsAHangUp)
{
    PtyPeer peer;
    CSerialDevice device;
    ASSERT_EQ(device.Open(peer.SlavePath()), 0);
    uint8_t buffer[16];
    size_t got = 99;
    const uint64_t start = platform::GetTickCount64();
    EXPECT_EQ(device.Read(buffer, sizeof buffer, 40, got), 0);
    const uint64_t waited = platform::GetTickCount64() - start;
    EXPECT_EQ(got, 0u);
    EXPECT_GE(waited, 39u);
    EXPECT_LT(waited, 1000u);

    // A read never takes more than asked for, whatever is waiting.
    peer.Send({1, 2, 3, 4, 5});
    ASSERT_EQ(device.Read(buffer, 2, 200, got), 0);
    EXPECT_EQ(got, 2u);

    peer.CloseMaster();
    const uint64_t hangUp = platform::GetTickCount64();
    int error = 0;
    // The bytes still queued may come first; then the hang-up.
    for (int i = 0; i < 5 && error == 0; ++i)
        error = device.Read(buffer, sizeof buffer, 2000, got);
    EXPECT_EQ(error, EIO);
    EXPECT_LT(platform::GetTickCount64() - hangUp, 1000u);
}

TEST(SerialDeviceTest, PurgeDiscardsWhatArrivedAndNothingAfter)
{
    PtyPeer peer;
    CSerialDevice device;
    ASSERT_EQ(device.Open(peer.SlavePath()), 0);
    peer.Send({9, 9, 9});
    // Give the bytes time to cross the pseudo-terminal.
    uint8_t probe[1];
    size_t got = 0;
    platform::SleepMs(20);
    EXPECT_EQ(device.PurgeInput(), 0);
    EXPECT_EQ(device.Read(probe, 1, 20, got), 0);
    EXPECT_EQ(got, 0u);
    peer.Send({7});
    EXPECT_EQ(device.Read(probe, 1, 500, got), 0);
    ASSERT_EQ(got, 1u);
    EXPECT_EQ(probe[0], 7);
    EXPECT_EQ(device.PurgeOutput(), 0);
    EXPECT_EQ(device.Purge(), 0);
    uint32_t mask = 1;
    EXPECT_EQ(device.TakeLineErrors(mask), 0);
    EXPECT_EQ(mask, 0u);
}

TEST(SerialDeviceTest, WriteToALineThatTakesNothingEndsAtItsTimeOut)
{
    PtyPeer peer; // never reads
    CSerialDevice device;
    ASSERT_EQ(device.Open(peer.SlavePath()), 0);
    const std::vector<uint8_t> flood(4 * 1024 * 1024, 0x55);
    size_t written = 0;
    const uint64_t start = platform::GetTickCount64();
    EXPECT_EQ(device.Write(flood.data(), flood.size(), 50, written), ETIMEDOUT);
    EXPECT_LT(written, flood.size());
    EXPECT_LT(platform::GetTickCount64() - start, 2000u);
}

} // namespace
