// The settings of the master's serial port, as far as they decide whether the instrument hears a
// frame at all: a frame sent at another baud rate, character size, parity or number of stop bits
// reaches the instrument's UART as noise. A pseudo-terminal carries no such thing, so a test tells
// the simulator what the master's port is set to (ProbeSimulator::SetMasterLineSource); PtyLine()
// reads what the pseudo-terminal keeps of it itself: the baud rate and the stop bits, which the
// slave side's settings show on the master side, while parity and 7-bit characters are dropped.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <utility>

namespace probesim
{

struct LineSettings;

enum class Parity
{
    None,
    Odd,
    Even,
};

struct MasterLine
{
    uint32_t baudRate = 19200;
    uint8_t dataBits = 8;
    Parity parity = Parity::Even;
    uint8_t stopBits = 1;

    friend bool operator==(const MasterLine&, const MasterLine&) = default;
};

// "19200 8E1".
std::string Describe(const MasterLine& line);

// The master's settings that the instrument with these line settings hears.
MasterLine MasterLineFor(const LineSettings& settings);

// The baud rate and stop bits a pseudo-terminal's termios hold (from either side); parity none and
// 8 data bits, which is all a pseudo-terminal keeps. nullopt when the descriptor tells nothing.
std::optional<MasterLine> ReadTerminalLine(int fd);

// The master's settings over time, as the simulator samples them while bytes arrive, so that a frame
// is judged by the settings in force when its first byte came. Used by the worker thread only.
class LineHistory
{
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    void Note(TimePoint at, const std::optional<MasterLine>& line);
    std::optional<MasterLine> At(TimePoint at) const;

private:
    static constexpr size_t kKept = 64; // far more changes than one frame can span
    std::deque<std::pair<TimePoint, std::optional<MasterLine>>> m_changes;
};

} // namespace probesim
