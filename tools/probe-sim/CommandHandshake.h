// The maker's handshake on a command register: 0 resets it, 1 arms it, the command itself is
// taken only when armed, and 0 closes the sequence again (0, 1, command, 0). A repeated 1 is taken
// (the master may repeat a write whose reply it lost); anything else out of turn is refused.
// Not thread-safe: its owner guards it.
#pragma once

#include <cstdint>

namespace probesim
{

enum class HandshakeStep
{
    Idle,  // reset, or never used: waits for 1
    Armed, // waits for the command
    Done,  // a command was taken: waits for 0
};

inline constexpr uint16_t kHandshakeReset = 0;
inline constexpr uint16_t kHandshakeArm = 1;

class CommandHandshake
{
public:
    // Whether a write of the value is in sequence at the present step.
    bool Accepts(uint16_t value) const;
    // The step after an accepted write of the value.
    void Advance(uint16_t value);
    HandshakeStep Step() const { return m_step; }
    static bool IsCommand(uint16_t value) { return value != kHandshakeReset && value != kHandshakeArm; }

private:
    HandshakeStep m_step = HandshakeStep::Idle;
};

} // namespace probesim
