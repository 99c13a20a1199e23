#include "tools/probe-sim/DeviceCommands.h"

namespace probesim
{

void DeviceCommands::Define(uint16_t command, Action action)
{
    std::lock_guard lock(m_mutex);
    m_actions[command] = std::move(action);
}

bool DeviceCommands::Knows(uint16_t command) const
{
    std::lock_guard lock(m_mutex);
    return m_actions.contains(command);
}

std::optional<ExceptionCode> DeviceCommands::Write(uint16_t value)
{
    Action action;
    {
        std::lock_guard lock(m_mutex);
        if (!m_oneWrite && !m_handshake.Accepts(value))
            return ExceptionCode::DeviceCommandSequence;
        if (!CommandHandshake::IsCommand(value))
        {
            if (!m_oneWrite)
                m_handshake.Advance(value);
            return std::nullopt;
        }
        const auto it = m_actions.find(value);
        if (it == m_actions.end())
            return ExceptionCode::IllegalFieldValue;
        action = it->second;
    }
    if (const auto refusal = action(value))
        return refusal;
    std::lock_guard lock(m_mutex);
    if (!m_oneWrite)
        m_handshake.Advance(value);
    m_last = value;
    return std::nullopt;
}

HandshakeStep DeviceCommands::Step() const
{
    std::lock_guard lock(m_mutex);
    return m_handshake.Step();
}

std::optional<uint16_t> DeviceCommands::LastCommand() const
{
    std::lock_guard lock(m_mutex);
    return m_last;
}

} // namespace probesim
