// The serial device over pseudo-terminal pairs: exclusive open, raw mode, the pseudo-terminal rule,
// every baud rate of the transport, time-outs that never wait past their limit.
#include <gtest/gtest.h>

#include <cerrno>
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
using Bytes = std::vector<uint8_t>;

// A device opened on the slave side of a pseudo-terminal pair whose master, in raw mode, is the
// other end of the line.
class SerialDeviceTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(m_master, 0);
        char name[128] = {};
        ASSERT_EQ(grantpt(m_master), 0);
        ASSERT_EQ(unlockpt(m_master), 0);
        ASSERT_EQ(ptsname_r(m_master, name, sizeof name), 0);
        m_path = name;
        termios tio{};
        tcgetattr(m_master, &tio);
        cfmakeraw(&tio);
        tcsetattr(m_master, TCSANOW, &tio);
        // Opened before the device takes the line exclusively, to look at its settings.
        m_keeper = open(m_path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(m_keeper, 0);
        ASSERT_EQ(m_device.Open(m_path), 0);
    }
    void TearDown() override
    {
        m_device.Close();
        close(m_keeper);
        CloseMaster();
    }
    void CloseMaster()
    {
        if (m_master >= 0)
            close(m_master);
        m_master = -1;
    }
    void Send(const Bytes& bytes)
    {
        ASSERT_EQ(write(m_master, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }
    // Whatever arrives at the other end within half a second, up to n bytes.
    Bytes Receive(size_t n)
    {
        Bytes bytes(n);
        size_t total = 0;
        pollfd entry{m_master, POLLIN, 0};
        while (total < n && poll(&entry, 1, 500) == 1)
        {
            const ssize_t got = read(m_master, bytes.data() + total, n - total);
            if (got <= 0)
                break;
            total += static_cast<size_t>(got);
        }
        bytes.resize(total);
        return bytes;
    }
    // What the kernel does with a setting on a pseudo-terminal, asked without our code in between.
    bool KernelRefuses(tcflag_t add, tcflag_t remove)
    {
        termios tio{};
        tcgetattr(m_keeper, &tio);
        const termios saved = tio;
        tio.c_cflag = (tio.c_cflag & ~remove) | add;
        const bool refused = tcsetattr(m_keeper, TCSANOW, &tio) != 0;
        tcsetattr(m_keeper, TCSANOW, &saved);
        return refused;
    }

    int m_master = -1;
    int m_keeper = -1;
    std::string m_path;
    CSerialDevice m_device;
};

TEST_F(SerialDeviceTest, OpenIsExclusiveAndRefusesWhatIsNoTerminal)
{
    EXPECT_TRUE(m_device.IsPseudoTerminal());
    EXPECT_EQ(m_device.Open(m_path), EISCONN);
    CSerialDevice second; // refused even to a privileged opener in the same process
    EXPECT_EQ(second.Open(m_path), EBUSY);
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(m_device.Close(), 0);
    EXPECT_EQ(second.Open(m_path), 0);

    const auto file = testsupport::ProcessTempDir() / "not-a-port";
    std::ofstream(file) << "x";
    EXPECT_EQ(m_device.Open(file.string()), ENOTTY);
    EXPECT_EQ(m_device.Open((testsupport::ProcessTempDir() / "missing").string()), ENOENT);
    uint8_t unused[1];
    size_t got = 0;
    EXPECT_EQ(m_device.Read(unused, 1, 0, got), EBADF);
}

TEST_F(SerialDeviceTest, RawModeCarriesEveryByteUnchangedAndKeepsDtrOnClose)
{
    // CR, LF, ^C, ^S/^Q, DEL and 0xFF mean nothing to a raw line.
    const Bytes controlBytes = {0x0D, 0x0A, 0x03, 0x13, 0x11, 0x7F, 0xFF, 0x00, 0x04};
    size_t count = 0;
    ASSERT_EQ(m_device.Write(controlBytes.data(), controlBytes.size(), 100, count), 0);
    EXPECT_EQ(count, controlBytes.size());
    EXPECT_EQ(Receive(controlBytes.size()), controlBytes);

    Send(controlBytes);
    Bytes got(32);
    size_t total = 0;
    while (total < controlBytes.size() &&
           m_device.Read(got.data() + total, got.size() - total, 200, count) == 0 && count > 0)
        total += count;
    got.resize(total);
    EXPECT_EQ(got, controlBytes);

    termios tio{};
    ASSERT_EQ(tcgetattr(m_keeper, &tio), 0);
    EXPECT_EQ(tio.c_cflag & HUPCL, 0u);
    EXPECT_NE(tio.c_cflag & CLOCAL, 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
}

TEST_F(SerialDeviceTest, APseudoTerminalKeepsTheRequestedFramingAsItsOwn)
{
    const SerialLineSettings wanted{
        .baudRate = 9600, .dataBits = 7, .parity = SerialParity::Odd, .stopBits = 2};
    ASSERT_EQ(m_device.Apply(wanted), 0);
    EXPECT_EQ(m_device.Requested(), wanted);
    // The device took what it accepts and reports exactly that; modem lines read as requested.
    SerialLineSettings now;
    ASSERT_EQ(m_device.Query(now), 0);
    EXPECT_EQ(now.baudRate, 9600u);
    EXPECT_EQ(now.stopBits, 2);
    EXPECT_EQ(now.parity, m_device.Applied().parity);
    EXPECT_EQ(now.dataBits, m_device.Applied().dataBits);
    EXPECT_TRUE(now.dtr && now.rts);

    // Without the pseudo-terminal rule a refused setting is an error.
    const bool parityRefused = KernelRefuses(PARENB, 0);
    const bool sevenBitsRefused = KernelRefuses(CS7, CSIZE);
    // Modem lines aside: only the framing is asked here.
    const SerialLineSettings even{.parity = SerialParity::Even, .dtr = false, .rts = false};
    EXPECT_EQ(platform::ApplyLineSettings(m_keeper, even, false, nullptr), parityRefused ? EINVAL : 0);
    const SerialLineSettings seven{.dataBits = 7, .dtr = false, .rts = false};
    EXPECT_EQ(platform::ApplyLineSettings(m_keeper, seven, false, nullptr), sevenBitsRefused ? EINVAL : 0);
    SerialLineSettings applied;
    EXPECT_EQ(platform::ApplyLineSettings(m_keeper, even, true, &applied), 0);
    EXPECT_EQ(applied.parity, parityRefused ? SerialParity::None : SerialParity::Even);

    EXPECT_EQ(platform::ApplyLineSettings(m_keeper, SerialLineSettings{.dataBits = 9}, true, nullptr),
              EINVAL);
    EXPECT_EQ(m_device.Apply(SerialLineSettings{.baudRate = 0}), EINVAL);
    // 128000 and 256000 have no B constant of their own.
    for (uint32_t baud :
         {300u, 600u, 1200u, 2400u, 4800u, 9600u, 19200u, 38400u, 57600u, 115200u, 128000u, 230400u, 256000u})
    {
        ASSERT_EQ(m_device.Apply(SerialLineSettings{.baudRate = baud}), 0) << baud;
        ASSERT_EQ(m_device.Query(now), 0);
        EXPECT_EQ(now.baudRate, baud);
    }
}

TEST_F(SerialDeviceTest, ReadsAndWritesWaitOnlyTheirTimeOut)
{
    uint8_t buffer[16];
    size_t got = 99;
    uint64_t start = platform::GetTickCount64();
    EXPECT_EQ(m_device.Read(buffer, sizeof buffer, 40, got), 0);
    EXPECT_EQ(got, 0u);
    EXPECT_GE(platform::GetTickCount64() - start, 39u);

    // A read never takes more than asked for; a purge drops what arrived, and nothing after.
    Send({1, 2, 3, 4, 5});
    ASSERT_EQ(m_device.Read(buffer, 2, 500, got), 0);
    EXPECT_EQ(got, 2u);
    EXPECT_EQ(m_device.PurgeInput(), 0);
    EXPECT_EQ(m_device.Read(buffer, 1, 20, got), 0);
    EXPECT_EQ(got, 0u);
    Send({7});
    ASSERT_EQ(m_device.Read(buffer, 1, 500, got), 0);
    ASSERT_EQ(got, 1u);
    EXPECT_EQ(buffer[0], 7);
    EXPECT_EQ(m_device.Purge(), 0);
    uint32_t mask = 1;
    EXPECT_EQ(m_device.TakeLineErrors(mask), 0);
    EXPECT_EQ(mask, 0u);

    // A line that takes nothing ends a write at its time-out.
    const Bytes flood(4 * 1024 * 1024, 0x55);
    size_t written = 0;
    start = platform::GetTickCount64();
    EXPECT_EQ(m_device.Write(flood.data(), flood.size(), 50, written), ETIMEDOUT);
    EXPECT_LT(written, flood.size());
    EXPECT_LT(platform::GetTickCount64() - start, 2000u);

    // The hang-up of the other end: the bytes still queued may come first.
    CloseMaster();
    start = platform::GetTickCount64();
    int error = 0;
    for (int i = 0; i < 5 && error == 0; ++i)
        error = m_device.Read(buffer, sizeof buffer, 2000, got);
    EXPECT_EQ(error, EIO);
    EXPECT_LT(platform::GetTickCount64() - start, 1000u);
}

} // namespace
