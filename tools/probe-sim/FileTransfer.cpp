#include "tools/probe-sim/FileTransfer.h"

#include <algorithm>

namespace probesim
{

bool IsFileReadCommand(uint16_t command)
{
    switch (command)
    {
    case kFileCommandRead:
    case 0xF002:
    case 0xF004:
    case 0xF005:
    case 0xF007:
    case 0xF008:
        return true;
    default:
        return false;
    }
}

bool IsFileWriteCommand(uint16_t command)
{
    return command == kFileCommandWrite || command == kFileCommandWriteConfig ||
           command == kFileCommandWriteNote;
}

std::variant<FileHeader, ExceptionCode> FileTransfer::OpenRead(uint16_t command, uint16_t file,
                                                               TransferForm form)
{
    if (!IsFileReadCommand(command))
        return ExceptionCode::InvalidFileCommand;
    std::lock_guard lock(m_mutex);
    m_open.reset();
    std::optional<DeviceFile> stored = m_store.Get(file);
    if (!stored)
        return ExceptionCode::InvalidFileNumber;
    const auto size = static_cast<uint32_t>(stored->data.size()); // the store bounds it
    m_open = Open{{command, file, form, size, 0, 0}, false, std::move(stored->data)};
    return FileHeader{size, stored->start, stored->stop};
}

std::optional<ExceptionCode> FileTransfer::OpenWrite(uint16_t command, uint16_t file, uint32_t size,
                                                     TransferForm form)
{
    if (!IsFileWriteCommand(command))
        return ExceptionCode::InvalidFileCommand;
    std::lock_guard lock(m_mutex);
    m_open.reset();
    size_t resulting = size;
    if (command == kFileCommandWriteNote)
    {
        const std::optional<DeviceFile> log = m_store.Get(file);
        if (!log)
            return ExceptionCode::InvalidFileNumber;
        resulting += log->data.size();
    }
    if (resulting > m_store.MaxFileSize())
        return ExceptionCode::InvalidFileSize;
    m_open = Open{{command, file, form, size, 0, 0}, true, {}};
    m_open->data.reserve(size);
    return std::nullopt;
}

std::optional<ExceptionCode> FileTransfer::Close()
{
    Open closing;
    ReceivedCheck check;
    StoredAction stored;
    {
        std::lock_guard lock(m_mutex);
        if (!m_open)
            return std::nullopt;
        closing = std::move(*m_open);
        m_open.reset();
        check = m_check;
        stored = m_stored;
    }
    if (!closing.writing || closing.state.done != closing.state.size)
        return std::nullopt;

    const TransferState& state = closing.state;
    if (check)
    {
        if (const auto refusal = check(state.command, state.file, closing.data))
            return refusal;
    }
    DeviceFile file;
    if (state.command == kFileCommandWriteNote)
    {
        std::optional<DeviceFile> log = m_store.Get(state.file);
        if (!log)
            return ExceptionCode::InvalidFileNumber; // removed while the note was on its way
        file = std::move(*log);
        if (file.data.size() + closing.data.size() > m_store.MaxFileSize())
            return ExceptionCode::InvalidFileSize;
        file.data.insert(file.data.end(), closing.data.begin(), closing.data.end());
    }
    else
    {
        if (const std::optional<DeviceFile> old = m_store.Get(state.file))
        {
            file.start = old->start;
            file.stop = old->stop;
        }
        // A copy: the instrument's stored action below still needs the bytes received.
        file.data = closing.data;
    }
    m_store.Put(state.file, std::move(file));
    if (stored)
        stored(state.command, state.file, closing.data);
    return std::nullopt;
}

void FileTransfer::Abandon()
{
    std::lock_guard lock(m_mutex);
    m_open.reset();
}

std::variant<FileBlock, ExceptionCode> FileTransfer::ReadBlock(uint32_t offset, uint16_t length)
{
    std::lock_guard lock(m_mutex);
    if (!m_open || m_open->writing)
        return ExceptionCode::FileCommandSequence;
    TransferState& state = m_open->state;
    if (offset > state.size)
        return ExceptionCode::InvalidFileBlock;
    const uint32_t count = std::min<uint32_t>(length, state.size - offset);
    FileBlock block;
    block.data.assign(m_open->data.begin() + offset, m_open->data.begin() + offset + count);
    block.endOfFile = offset + count == state.size;
    state.done = std::max(state.done, offset + count);
    return block;
}

std::optional<ExceptionCode> FileTransfer::WriteBlock(uint32_t offset, std::span<const uint8_t> data)
{
    std::lock_guard lock(m_mutex);
    if (!m_open || !m_open->writing)
        return ExceptionCode::FileCommandSequence;
    TransferState& state = m_open->state;
    if (data.empty() || offset > state.done || data.size() > state.size - offset)
        return ExceptionCode::InvalidFileBlock;
    std::vector<uint8_t>& received = m_open->data;
    const size_t end = offset + data.size();
    if (received.size() < end)
        received.resize(end);
    std::copy(data.begin(), data.end(), received.begin() + offset);
    state.done = std::max<uint32_t>(state.done, static_cast<uint32_t>(end));
    return std::nullopt;
}

unsigned FileTransfer::NextBlockNumber()
{
    std::lock_guard lock(m_mutex);
    if (!m_open)
        return 0;
    return ++m_open->state.blocks;
}

std::optional<TransferState> FileTransfer::Current() const
{
    std::lock_guard lock(m_mutex);
    if (!m_open)
        return std::nullopt;
    return m_open->state;
}

std::optional<TransferForm> FileTransfer::OpenForm() const
{
    std::lock_guard lock(m_mutex);
    if (!m_open)
        return std::nullopt;
    return m_open->state.form;
}

void FileTransfer::SetInstrumentRules(ReceivedCheck check, StoredAction stored)
{
    std::lock_guard lock(m_mutex);
    m_check = std::move(check);
    m_stored = std::move(stored);
}

} // namespace probesim
