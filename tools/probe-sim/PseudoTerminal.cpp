#include "tools/probe-sim/PseudoTerminal.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace probesim
{

namespace
{

[[noreturn]] void Fail(const char* what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

void MakeRaw(int fd, const char* what)
{
    termios settings{};
    if (tcgetattr(fd, &settings) != 0)
        Fail(what);
    // No echo, no line editing, no translation of CR and LF, no flow-control characters: every
    // byte value is data. Parity and 7 data bits are refused by pseudo-terminals; none is asked.
    cfmakeraw(&settings);
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    if (tcsetattr(fd, TCSANOW, &settings) != 0)
        Fail(what);
}

} // namespace

PseudoTerminal::PseudoTerminal()
{
    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0)
        Fail("posix_openpt");
    try
    {
        if (fcntl(m_master, F_SETFD, FD_CLOEXEC) != 0)
            Fail("fcntl(FD_CLOEXEC)");
        if (grantpt(m_master) != 0)
            Fail("grantpt");
        if (unlockpt(m_master) != 0)
            Fail("unlockpt");
        char name[128] = {};
        if (const int error = ptsname_r(m_master, name, sizeof name); error != 0)
        {
            errno = error;
            Fail("ptsname_r");
        }
        m_slavePath = name;
        m_slaveKeeper = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_slaveKeeper < 0)
            Fail("open pseudo-terminal slave");
        MakeRaw(m_slaveKeeper, "raw mode on the slave side");
        MakeRaw(m_master, "raw mode on the master side");
        const int flags = fcntl(m_master, F_GETFL);
        if (flags < 0 || fcntl(m_master, F_SETFL, flags | O_NONBLOCK) != 0)
            Fail("fcntl(O_NONBLOCK)");
    }
    catch (...)
    {
        if (m_slaveKeeper >= 0)
            close(m_slaveKeeper);
        close(m_master);
        throw;
    }
}

PseudoTerminal::~PseudoTerminal()
{
    close(m_slaveKeeper);
    close(m_master);
}

} // namespace probesim
