#include "tools/probe-sim/DeviceCommands.h"

namespace probesim
{

namespace
{

// The history is for tests; a long-running program keeps only the newest commands.
constexpr size_t kHistory = 1024;

} // namespace

void DeviceCommands::Define(uint16_t command, Action action, bool oneWrite)
{
    std::lock_guard lock(m_mutex);
    m_actions[command] = Entry{std::move(action), oneWrite};
}

std::optional<ExceptionCode> DeviceCommands::Write(uint16_t value)
{
    Action action;
    bool handshake = !m_oneWrite;
    {
        std::lock_guard lock(m_mutex);
        const auto it = m_actions.find(value);
        // A one-write command outside a sequence leaves the handshake as it is.
        if (handshake && it != m_actions.end() && it->second.oneWrite &&
            m_handshake.Step() == HandshakeStep::Idle)
            handshake = false;
        if (handshake && !m_handshake.Accepts(value))
            return ExceptionCode::DeviceCommandSequence;
        if (!CommandHandshake::IsCommand(value))
        {
            if (handshake)
                m_handshake.Advance(value);
            return std::nullopt;
        }
        if (it == m_actions.end())
            return ExceptionCode::IllegalFieldValue;
        action = it->second.action;
    }
    if (const auto refusal = action(value))
        return refusal;
    std::lock_guard lock(m_mutex);
    if (handshake)
        m_handshake.Advance(value);
    if (m_carriedOut.size() == kHistory)
        m_carriedOut.erase(m_carriedOut.begin());
    m_carriedOut.push_back(value);
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
    if (m_carriedOut.empty())
        return std::nullopt;
    return m_carriedOut.back();
}

std::vector<uint16_t> DeviceCommands::CarriedOut() const
{
    std::lock_guard lock(m_mutex);
    return m_carriedOut;
}

void DeviceCommands::ResetHandshake()
{
    std::lock_guard lock(m_mutex);
    m_handshake = CommandHandshake{};
}

} // namespace probesim
