#include "tools/probe-sim/MasterLine.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include "tools/probe-sim/LineSettings.h"

namespace probesim
{

namespace
{

// The fixed rates of the termios speed codes, for a line not set with an arbitrary rate.
uint32_t RateOfCode(tcflag_t code)
{
    switch (code)
    {
    case B1200:
        return 1200;
    case B2400:
        return 2400;
    case B4800:
        return 4800;
    case B9600:
        return 9600;
    case B19200:
        return 19200;
    case B38400:
        return 38400;
    case B57600:
        return 57600;
    case B115200:
        return 115200;
    case B230400:
        return 230400;
    default:
        return 0;
    }
}

} // namespace

std::string Describe(const MasterLine& line)
{
    std::string text = std::to_string(line.baudRate) + ' ' + std::to_string(line.dataBits);
    text += line.parity == Parity::Even ? 'E' : line.parity == Parity::Odd ? 'O' : 'N';
    text += std::to_string(line.stopBits);
    return text;
}

MasterLine MasterLineFor(const LineSettings& settings)
{
    static constexpr Parity kParity[] = {Parity::Even, Parity::Odd, Parity::None};
    MasterLine line;
    line.baudRate = BaudRate(settings.baudId);
    line.dataBits = settings.dataBitsId == 1 ? 8 : 7;
    line.parity = settings.parityId < 3 ? kParity[settings.parityId] : Parity::None;
    line.stopBits = settings.stopBitsId == 1 ? 2 : 1;
    return line;
}

std::optional<MasterLine> ReadTerminalLine(int fd)
{
    termios2 tio{};
    if (ioctl(fd, TCGETS2, &tio) != 0)
        return std::nullopt;
    MasterLine line;
    const tcflag_t code = tio.c_cflag & CBAUD;
    line.baudRate = code == BOTHER ? tio.c_ospeed : RateOfCode(code);
    if (line.baudRate == 0)
        return std::nullopt;
    line.dataBits = (tio.c_cflag & CSIZE) == CS7 ? 7 : 8;
    line.parity = (tio.c_cflag & PARENB) == 0 ? Parity::None
                  : (tio.c_cflag & PARODD)    ? Parity::Odd
                                              : Parity::Even;
    line.stopBits = (tio.c_cflag & CSTOPB) ? 2 : 1;
    return line;
}

void LineHistory::Note(TimePoint at, const std::optional<MasterLine>& line)
{
    if (!m_changes.empty() && m_changes.back().second == line)
        return;
    if (m_changes.size() == kKept)
        m_changes.pop_front();
    m_changes.emplace_back(at, line);
}

std::optional<MasterLine> LineHistory::At(TimePoint at) const
{
    for (auto it = m_changes.rbegin(); it != m_changes.rend(); ++it)
    {
        if (it->first <= at)
            return it->second;
    }
    // Older than anything kept: the oldest is the best guess.
    return m_changes.empty() ? std::nullopt : m_changes.front().second;
}

} // namespace probesim
