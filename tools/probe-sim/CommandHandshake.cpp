#include "tools/probe-sim/CommandHandshake.h"

namespace probesim
{

bool CommandHandshake::Accepts(uint16_t value) const
{
    if (value == kHandshakeReset)
        return true;
    if (value == kHandshakeArm)
        return m_step != HandshakeStep::Done;
    return m_step == HandshakeStep::Armed;
}

void CommandHandshake::Advance(uint16_t value)
{
    if (value == kHandshakeReset)
        m_step = HandshakeStep::Idle;
    else if (value == kHandshakeArm)
        m_step = HandshakeStep::Armed;
    else
        m_step = HandshakeStep::Done;
}

} // namespace probesim
