#include "tools/probe-sim/FileCommandRegisters.h"

namespace probesim
{

void FileCommandRegisters::Create(RegisterModel& registers)
{
    registers.SetU16(kFileCommandRegister, 0);
    registers.SetU16(kFileNumberRegister, 0);
    registers.SetU32(kTransferSizeRegister, 0);
}

std::optional<ExceptionCode> FileCommandRegisters::OnWrite(RegisterModel& registers,
                                                           const RegisterWrite& write)
{
    if (kFileCommandRegister < write.first || kFileCommandRegister >= write.first + write.values.size())
        return std::nullopt;
    const uint16_t value = write.values[kFileCommandRegister - write.first];
    std::lock_guard lock(m_mutex);
    if (!m_handshake.Accepts(value))
        return ExceptionCode::FileCommandSequence;
    std::optional<ExceptionCode> refusal;
    if (value == kHandshakeReset)
    {
        // The sequence is over whether or not the file could be stored.
        m_handshake.Advance(value);
        return m_transfer.Close();
    }
    if (CommandHandshake::IsCommand(value))
    {
        const uint16_t file = registers.GetU16(kFileNumberRegister).value_or(0);
        if (IsFileReadCommand(value))
        {
            auto opened = m_transfer.OpenRead(value, file, TransferForm::Registers);
            if (const auto* header = std::get_if<FileHeader>(&opened))
                registers.SetU32(kTransferSizeRegister, header->size);
            else
                refusal = std::get<ExceptionCode>(opened);
        }
        else
        {
            const uint32_t size = registers.GetU32(kTransferSizeRegister).value_or(0);
            refusal = m_transfer.OpenWrite(value, file, size, TransferForm::Registers);
        }
    }
    if (!refusal)
        m_handshake.Advance(value);
    return refusal;
}

std::optional<ExceptionCode> FileCommandRegisters::OnParameterWrite() const
{
    // Changing the file or the size under a running transfer would leave it undefined.
    std::lock_guard lock(m_mutex);
    if (m_handshake.Step() != HandshakeStep::Armed)
        return ExceptionCode::FileCommandSequence;
    return std::nullopt;
}

HandshakeStep FileCommandRegisters::Step() const
{
    std::lock_guard lock(m_mutex);
    return m_handshake.Step();
}

void FileCommandRegisters::Reset()
{
    std::lock_guard lock(m_mutex);
    m_handshake = CommandHandshake{};
}

} // namespace probesim
