#include "tools/probe-sim/FileFunctions.h"

#include <algorithm>

#include "tools/probe-sim/Framing.h"
#include "tools/probe-sim/WireBytes.h"

namespace probesim
{

namespace
{

constexpr size_t kBlockRequestBytes = 6; // u32 offset, u16 length
constexpr size_t kShortHeaderBytes = 2;  // u16 length
constexpr size_t kLongHeaderBytes = 6;   // u32 offset, u16 length
constexpr size_t kAduHeaderBytes = 2;    // address, function

struct FileRecord
{
    uint16_t command = 0;
    uint16_t file = 0;
    uint32_t size = 0;
    DeviceTimestamp start;
    DeviceTimestamp stop;
};

FileRecord DecodeRecord(const std::vector<uint8_t>& data)
{
    return {ReadU16(data, 0),
            ReadU16(data, 2),
            ReadU32(data, 4),
            {ReadU32(data, 8), ReadU16(data, 12)},
            {ReadU32(data, 14), ReadU16(data, 18)}};
}

std::vector<uint8_t> EncodeRecord(const FileRecord& record)
{
    std::vector<uint8_t> data;
    data.reserve(kFileRecordBytes);
    AppendU16(data, record.command);
    AppendU16(data, record.file);
    AppendU32(data, record.size);
    AppendU32(data, record.start.seconds);
    AppendU16(data, record.start.fraction);
    AppendU32(data, record.stop.seconds);
    AppendU16(data, record.stop.fraction);
    return data;
}

// The scripted fault of a block request; a reply when it replaces carrying the block out.
std::optional<Reply> ApplyFault(FileTransfer& transfer, BlockFaults* faults, uint32_t offset,
                                std::chrono::milliseconds& delay, uint16_t* most = nullptr)
{
    const unsigned number = transfer.NextBlockNumber();
    if (!faults)
        return std::nullopt;
    const std::optional<BlockFault> fault = faults->Take(number, offset);
    if (!fault)
        return std::nullopt;
    if (fault->lost)
        return Reply::None();
    if (fault->refusal)
        return Reply::WithException(*fault->refusal);
    delay = fault->delay;
    if (most != nullptr && fault->most)
        *most = *fault->most;
    return std::nullopt;
}

} // namespace

Reply ReadFileBlock(FileTransfer& transfer, const Adu& request, FramingMode mode, uint16_t maxPacketSize,
                    BlockFaults* faults)
{
    if (request.data.size() != kBlockRequestBytes)
        return Reply::WithException(ExceptionCode::IllegalDataValue);
    const uint32_t offset = ReadU32(request.data, 0);
    const uint16_t length = ReadU16(request.data, 4);
    std::chrono::milliseconds delay{0};
    uint16_t most = length;
    if (auto replaced = ApplyFault(transfer, faults, offset, delay, &most))
        return *replaced;
    const std::optional<TransferForm> form = transfer.OpenForm();
    if (!form)
        return Reply::WithException(ExceptionCode::FileCommandSequence);
    const bool extended = *form == TransferForm::Extended;
    const size_t replyBytes =
        kAduHeaderBytes + (extended ? kLongHeaderBytes + 1 : kShortHeaderBytes) + length;
    if (EncodedLength(mode, replyBytes) > maxPacketSize)
        return Reply::WithException(ExceptionCode::InvalidFileBlock);

    auto result = transfer.ReadBlock(offset, std::min(length, most));
    if (const auto* refusal = std::get_if<ExceptionCode>(&result))
        return Reply::WithException(*refusal);
    const FileBlock& block = std::get<FileBlock>(result);
    std::vector<uint8_t> data;
    data.reserve(replyBytes);
    if (extended)
        AppendU32(data, offset);
    AppendU16(data, static_cast<uint16_t>(block.data.size()));
    data.insert(data.end(), block.data.begin(), block.data.end());
    if (extended)
        data.push_back(block.endOfFile ? 1 : 0);
    Reply reply = Reply::WithData(std::move(data));
    reply.delay = delay;
    return reply;
}

Reply WriteFileBlock(FileTransfer& transfer, const Adu& request, FramingMode mode, uint16_t maxPacketSize,
                     BlockFaults* faults)
{
    if (request.data.size() < kBlockRequestBytes ||
        request.data.size() != kBlockRequestBytes + ReadU16(request.data, 4))
        return Reply::WithException(ExceptionCode::IllegalDataValue);
    std::chrono::milliseconds delay{0};
    if (auto replaced = ApplyFault(transfer, faults, ReadU32(request.data, 0), delay))
        return *replaced;
    if (EncodedLength(mode, kAduHeaderBytes + request.data.size()) > maxPacketSize)
        return Reply::WithException(ExceptionCode::InvalidFileBlock);
    const uint32_t offset = ReadU32(request.data, 0);
    const std::span<const uint8_t> bytes(request.data.data() + kBlockRequestBytes,
                                         request.data.size() - kBlockRequestBytes);
    if (const auto refusal = transfer.WriteBlock(offset, bytes))
        return Reply::WithException(*refusal);
    Reply reply = Reply::WithData({request.data.begin(), request.data.begin() + kBlockRequestBytes});
    reply.delay = delay;
    return reply;
}

Reply ExtendedFileRequest(FileTransfer& transfer, const Adu& request)
{
    if (request.data.size() != kFileRecordBytes)
        return Reply::WithException(ExceptionCode::IllegalDataValue);
    FileRecord record = DecodeRecord(request.data);
    if (record.command == kFileCommandIdle)
    {
        if (const auto refusal = transfer.Close())
            return Reply::WithException(*refusal);
    }
    else if (IsFileReadCommand(record.command))
    {
        auto result = transfer.OpenRead(record.command, record.file, TransferForm::Extended);
        if (const auto* refusal = std::get_if<ExceptionCode>(&result))
            return Reply::WithException(*refusal);
        const FileHeader& header = std::get<FileHeader>(result);
        record.size = header.size;
        record.start = header.start;
        record.stop = header.stop;
    }
    else if (const auto refusal =
                 transfer.OpenWrite(record.command, record.file, record.size, TransferForm::Extended))
    {
        return Reply::WithException(*refusal);
    }
    return Reply::WithData(EncodeRecord(record));
}

} // namespace probesim
