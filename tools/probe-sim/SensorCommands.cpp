#include "tools/probe-sim/SensorCommands.h"

namespace probesim
{

namespace
{

std::optional<SensorAction> CommandAction(uint16_t word)
{
    switch (word)
    {
    case kSensorCalModeOn:
        return SensorAction::CalModeOn;
    case kSensorUpdateCalibration:
        return SensorAction::UpdateCalibration;
    case kSensorCalModeOff:
        return SensorAction::CalModeOff;
    case kSensorRestoreCalDefaults:
        return SensorAction::RestoreCalDefaults;
    case kSensorRestoreFactoryDefaults:
        return SensorAction::RestoreFactoryDefaults;
    default:
        return std::nullopt;
    }
}

} // namespace

std::variant<SensorAction, ExceptionCode> SensorCommandRegister::Decode(uint16_t word) const
{
    const bool oneWrite = m_handshake.Step() == HandshakeStep::Idle && CommandHandshake::IsCommand(word);
    if (!oneWrite && !m_handshake.Accepts(word))
        return kSensorCommandSequence;
    if (!CommandHandshake::IsCommand(word))
        return SensorAction::None;
    const std::optional<SensorAction> action = CommandAction(word);
    if (!action)
        return ExceptionCode::IllegalFieldValue;
    if (m_handshake.Step() == HandshakeStep::Armed && *action == SensorAction::RestoreCalDefaults)
        return SensorAction::StartContinuous;
    return *action;
}

void SensorCommandRegister::Commit(uint16_t word)
{
    // A command written straight from idle is one write: the register stays idle for the next.
    if (CommandHandshake::IsCommand(word) && m_handshake.Step() == HandshakeStep::Idle)
        return;
    m_handshake.Advance(word);
}

} // namespace probesim
