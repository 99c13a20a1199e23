#include "platform/SerialDevice.h"

// termios2 (from the kernel headers, not glibc's <termios.h>, with which it clashes) is what takes
// any baud rate: 128000 and 256000 have no B constant.
#include <algorithm>
#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <cerrno>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <tuple>
#include <unistd.h>

#include "platform/Clock.h"

namespace platform
{

namespace
{

// Character majors of pseudo-terminal slaves: the Unix98 ones and the legacy BSD ones.
constexpr unsigned kUnix98PtySlaveFirstMajor = 136;
constexpr unsigned kUnix98PtySlaveLastMajor = 143;
constexpr unsigned kLegacyPtySlaveMajor = 3;

int LastErrno(int fallback = EIO)
{
    return errno != 0 ? errno : fallback;
}

int GetTermios(int fd, termios2& tio)
{
    return ioctl(fd, TCGETS2, &tio) == 0 ? 0 : LastErrno();
}

int SetTermios(int fd, const termios2& tio)
{
    return ioctl(fd, TCSETS2, &tio) == 0 ? 0 : LastErrno();
}

// Raw mode: every byte value is data, nothing is echoed, translated or taken for flow control.
// CLOCAL keeps reads and writes independent of the carrier line; HUPCL cleared keeps DTR up when
// the port is closed.
void MakeRaw(termios2& tio)
{
    tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON |
                                          IXOFF | IXANY | IMAXBEL | IUCLC | INPCK | IGNPAR);
    tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~static_cast<tcflag_t>(HUPCL | CRTSCTS);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
}

tcflag_t SizeFlag(uint8_t dataBits)
{
    switch (dataBits)
    {
    case 5:
        return CS5;
    case 6:
        return CS6;
    case 7:
        return CS7;
    default:
        return CS8;
    }
}

uint8_t DataBitsOf(tcflag_t cflag)
{
    switch (cflag & CSIZE)
    {
    case CS5:
        return 5;
    case CS6:
        return 6;
    case CS7:
        return 7;
    default:
        return 8;
    }
}

SerialParity ParityOf(tcflag_t cflag)
{
    if ((cflag & PARENB) == 0)
        return SerialParity::None;
    if ((cflag & CMSPAR) != 0)
        return (cflag & PARODD) != 0 ? SerialParity::Mark : SerialParity::Space;
    return (cflag & PARODD) != 0 ? SerialParity::Odd : SerialParity::Even;
}

void SetFraming(termios2& tio, const SerialLineSettings& s)
{
    tio.c_cflag &= ~static_cast<tcflag_t>(CBAUD | CIBAUD | CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
    tio.c_cflag |= BOTHER | SizeFlag(s.dataBits);
    tio.c_ispeed = s.baudRate;
    tio.c_ospeed = s.baudRate;
    switch (s.parity)
    {
    case SerialParity::None:
        break;
    case SerialParity::Odd:
        tio.c_cflag |= PARENB | PARODD;
        break;
    case SerialParity::Even:
        tio.c_cflag |= PARENB;
        break;
    case SerialParity::Mark:
        tio.c_cflag |= PARENB | PARODD | CMSPAR;
        break;
    case SerialParity::Space:
        tio.c_cflag |= PARENB | CMSPAR;
        break;
    }
    if (s.parity != SerialParity::None)
        tio.c_iflag |= INPCK; // a character with a parity error is counted and read as 0
    if (s.stopBits == 2)
        tio.c_cflag |= CSTOPB;
}

// A driver may drop a framing it cannot do without saying so; the read-back tells.
int ApplyFraming(int fd, termios2 tio, const SerialLineSettings& s)
{
    SetFraming(tio, s);
    if (const int error = SetTermios(fd, tio); error != 0)
        return error;
    termios2 now{};
    if (const int error = GetTermios(fd, now); error != 0)
        return error;
    const tcflag_t framing = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB;
    return (now.c_cflag & framing) == (tio.c_cflag & framing) ? 0 : EINVAL;
}

int SetModemLine(int fd, int line, bool on)
{
    return ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line) == 0 ? 0 : LastErrno();
}

bool IsRefusalOfPseudoTerminal(int error)
{
    return error == EINVAL || error == ENOTTY;
}

uint64_t Remaining(uint64_t deadline)
{
    const uint64_t now = GetTickCount64();
    return now >= deadline ? 0 : deadline - now;
}

int PollFor(int fd, short events, uint64_t timeoutMs, short& revents)
{
    // A look without waiting needs no clock; a wait reads it once, for a signal that cuts it short.
    const uint64_t deadline = timeoutMs == 0 ? 0 : GetTickCount64() + timeoutMs;
    for (uint64_t wait = timeoutMs;; wait = Remaining(deadline))
    {
        pollfd entry{fd, events, 0};
        const int ready = poll(&entry, 1, static_cast<int>(std::min<uint64_t>(wait, INT32_MAX)));
        if (ready >= 0)
        {
            revents = ready == 0 ? 0 : entry.revents;
            return 0;
        }
        if (errno != EINTR)
            return LastErrno();
        if (Remaining(deadline) == 0)
        {
            revents = 0;
            return 0;
        }
    }
}

} // namespace

bool IsPseudoTerminal(int fd)
{
    struct stat info
    {
    };
    if (fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode))
        return false;
    const unsigned devMajor = major(info.st_rdev);
    return (devMajor >= kUnix98PtySlaveFirstMajor && devMajor <= kUnix98PtySlaveLastMajor) ||
           devMajor == kLegacyPtySlaveMajor;
}

int ApplyLineSettings(int fd, const SerialLineSettings& settings, bool pseudoTerminal,
                      SerialLineSettings* applied)
{
    if (settings.baudRate == 0 || settings.dataBits < 5 || settings.dataBits > 8 ||
        (settings.stopBits != 1 && settings.stopBits != 2))
        return EINVAL;
    termios2 tio{};
    if (const int error = GetTermios(fd, tio); error != 0)
        return error;
    MakeRaw(tio);

    SerialLineSettings took = settings;
    int error = ApplyFraming(fd, tio, took);
    if (error == EINVAL && pseudoTerminal && took.parity != SerialParity::None)
    {
        took.parity = SerialParity::None;
        error = ApplyFraming(fd, tio, took);
    }
    if (error == EINVAL && pseudoTerminal && took.dataBits != 8)
    {
        took.dataBits = 8;
        error = ApplyFraming(fd, tio, took);
    }
    if (error != 0)
        return error;

    for (auto [line, on, tookLine] :
         {std::tuple{TIOCM_DTR, settings.dtr, &took.dtr}, std::tuple{TIOCM_RTS, settings.rts, &took.rts}})
    {
        const int lineError = SetModemLine(fd, line, on);
        if (lineError == 0)
            continue;
        if (!pseudoTerminal || !IsRefusalOfPseudoTerminal(lineError))
            return lineError;
        *tookLine = false;
    }
    if (applied != nullptr)
        *applied = took;
    return 0;
}

CSerialDevice::~CSerialDevice()
{
    Close();
}

int CSerialDevice::Open(const std::string& path)
{
    if (m_fd >= 0)
        return EISCONN;
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return LastErrno();
    int error = 0;
    termios2 tio{};
    if (!isatty(fd))
        error = ENOTTY;
    // The flock keeps out every other opener that asks for it, root included; TIOCEXCL keeps out
    // unprivileged openers that do not.
    else if (flock(fd, LOCK_EX | LOCK_NB) != 0)
        error = errno == EWOULDBLOCK ? EBUSY : LastErrno();
    else if (ioctl(fd, TIOCEXCL) != 0)
        error = LastErrno();
    else if ((error = GetTermios(fd, tio)) == 0)
    {
        // Raw at once, in whatever framing the line has: nothing is echoed or translated even
        // before the owner applies its settings.
        MakeRaw(tio);
        error = SetTermios(fd, tio);
    }
    if (error != 0)
    {
        ioctl(fd, TIOCNXCL);
        close(fd);
        return error;
    }
    m_fd = fd;
    m_path = path;
    m_bPseudoTerminal = platform::IsPseudoTerminal(fd);
    m_requested = m_applied = SerialLineSettings{};
    ReadErrorCounts(m_errorBase);
    return 0;
}

int CSerialDevice::Close()
{
    if (m_fd < 0)
        return 0;
    // The exclusive flag belongs to the terminal, not to this descriptor: it would outlive the close
    // while another descriptor (a pseudo-terminal's keeper) holds the terminal open.
    ioctl(m_fd, TIOCNXCL);
    const int error = close(m_fd) == 0 ? 0 : LastErrno();
    m_fd = -1;
    m_path.clear();
    m_bPseudoTerminal = false;
    return error == EINTR ? 0 : error;
}

int CSerialDevice::Apply(const SerialLineSettings& settings)
{
    if (m_fd < 0)
        return EBADF;
    SerialLineSettings took;
    if (const int error = ApplyLineSettings(m_fd, settings, m_bPseudoTerminal, &took); error != 0)
        return error;
    m_requested = settings;
    m_applied = took;
    return 0;
}

int CSerialDevice::Query(SerialLineSettings& settings) const
{
    if (m_fd < 0)
        return EBADF;
    termios2 tio{};
    if (const int error = GetTermios(m_fd, tio); error != 0)
        return error;
    SerialLineSettings now;
    now.baudRate = tio.c_ospeed;
    now.dataBits = DataBitsOf(tio.c_cflag);
    now.parity = ParityOf(tio.c_cflag);
    now.stopBits = (tio.c_cflag & CSTOPB) != 0 ? 2 : 1;
    int lines = 0;
    if (ioctl(m_fd, TIOCMGET, &lines) == 0)
    {
        now.dtr = (lines & TIOCM_DTR) != 0;
        now.rts = (lines & TIOCM_RTS) != 0;
    }
    else if (m_bPseudoTerminal && IsRefusalOfPseudoTerminal(errno))
    {
        now.dtr = m_requested.dtr;
        now.rts = m_requested.rts;
    }
    else
        return LastErrno();
    settings = now;
    return 0;
}

int CSerialDevice::PurgeInput()
{
    if (m_fd < 0)
        return EBADF;
    return ioctl(m_fd, TCFLSH, TCIFLUSH) == 0 ? 0 : LastErrno();
}

int CSerialDevice::PurgeOutput()
{
    if (m_fd < 0)
        return EBADF;
    return ioctl(m_fd, TCFLSH, TCOFLUSH) == 0 ? 0 : LastErrno();
}

int CSerialDevice::Purge()
{
    if (m_fd < 0)
        return EBADF;
    return ioctl(m_fd, TCFLSH, TCIOFLUSH) == 0 ? 0 : LastErrno();
}

int CSerialDevice::Read(uint8_t* buffer, size_t n, uint32_t timeoutMs, size_t& got)
{
    got = 0;
    if (m_fd < 0)
        return EBADF;
    if (n == 0)
        return 0;
    short revents = 0;
    if (const int error = PollFor(m_fd, POLLIN, timeoutMs, revents); error != 0)
        return error;
    if (revents == 0)
        return 0;
    for (;;)
    {
        const ssize_t count = read(m_fd, buffer, n);
        if (count > 0)
        {
            got = static_cast<size_t>(count);
            return 0;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && errno == EAGAIN)
            return 0; // taken by a purge between the poll and the read
        // End of file on a terminal: the other side hung up.
        return count == 0 ? EIO : LastErrno();
    }
}

int CSerialDevice::Write(const uint8_t* data, size_t n, uint32_t timeoutMs, size_t& written)
{
    written = 0;
    if (m_fd < 0)
        return EBADF;
    // Set when the driver first takes nothing: a write that goes at once reads no clock.
    uint64_t deadline = 0;
    while (written < n)
    {
        const ssize_t count = write(m_fd, data + written, n - written);
        if (count > 0)
        {
            written += static_cast<size_t>(count);
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && errno != EAGAIN)
            return LastErrno();
        if (deadline == 0)
            deadline = GetTickCount64() + timeoutMs;
        const uint64_t wait = Remaining(deadline);
        if (wait == 0)
            return ETIMEDOUT;
        short revents = 0;
        if (const int error = PollFor(m_fd, POLLOUT, wait, revents); error != 0)
            return error;
        if ((revents & (POLLERR | POLLNVAL)) != 0)
            return EIO;
    }
    return 0;
}

int CSerialDevice::ReadErrorCounts(ErrorCounts& counts) const
{
    serial_icounter_struct icount{};
    if (ioctl(m_fd, TIOCGICOUNT, &icount) != 0)
        return LastErrno();
    counts.bufferOverrun = static_cast<uint32_t>(icount.buf_overrun);
    counts.overrun = static_cast<uint32_t>(icount.overrun);
    counts.parity = static_cast<uint32_t>(icount.parity);
    counts.frame = static_cast<uint32_t>(icount.frame);
    counts.brk = static_cast<uint32_t>(icount.brk);
    return 0;
}

int CSerialDevice::TakeLineErrors(uint32_t& mask)
{
    mask = 0;
    if (m_fd < 0)
        return EBADF;
    ErrorCounts now;
    if (const int error = ReadErrorCounts(now); error != 0)
        // Pseudo-terminals and some USB adapters keep no counters: they have nothing to report.
        return IsRefusalOfPseudoTerminal(error) ? 0 : error;
    if (now.bufferOverrun != m_errorBase.bufferOverrun)
        mask |= SERIAL_ERROR_RX_OVERFLOW;
    if (now.overrun != m_errorBase.overrun)
        mask |= SERIAL_ERROR_OVERRUN;
    if (now.parity != m_errorBase.parity)
        mask |= SERIAL_ERROR_PARITY;
    if (now.frame != m_errorBase.frame)
        mask |= SERIAL_ERROR_FRAMING;
    if (now.brk != m_errorBase.brk)
        mask |= SERIAL_ERROR_BREAK;
    m_errorBase = now;
    return 0;
}

} // namespace platform
