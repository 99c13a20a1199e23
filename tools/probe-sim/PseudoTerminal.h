// A pseudo-terminal pair in raw mode: the simulator talks on the master side, the program under
// test opens the slave path like a serial port.
#pragma once

#include <string>

namespace probesim
{

class PseudoTerminal
{
public:
    // Throws std::system_error when no pseudo-terminal can be had.
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    int MasterFd() const { return m_master; } // non-blocking
    const std::string& SlavePath() const { return m_slavePath; }

private:
    int m_master = -1;
    // Held open so that the master never sees a hang-up while no client has the slave open
    // (between two connections of the program under test, or before the first).
    int m_slaveKeeper = -1;
    std::string m_slavePath;
};

} // namespace probesim
