#include "tests/device/FileTransferSupport.h"

#include <ostream>

#include "platform/Clock.h"
#include "tools/probe-sim/WireBytes.h"

namespace devicetest
{

namespace
{

constexpr uint16_t kHoldingBase = 40001;
constexpr uint16_t kFileCommandRegister = 49150;
constexpr uint16_t kLastFileRegister = 49153;

} // namespace

void PrintTo(const FileRequest& request, std::ostream* os)
{
    *os << "fn" << unsigned(request.function) << " cmd 0x" << std::hex << request.command << std::dec
        << " file " << request.file << " value " << request.value << " length " << request.length;
}

FileRequest FileSetup(uint16_t command, uint16_t file, uint32_t size)
{
    return {102, command, file, size, 0};
}

FileRequest ReadBlock(uint32_t offset, uint32_t length)
{
    return {100, 0, 0, offset, length};
}

FileRequest WriteBlock(uint32_t offset, uint32_t length)
{
    return {101, 0, 0, offset, length};
}

FileRequest RegisterWrite16(uint16_t reg, uint32_t value)
{
    return {16, reg, 0, value, 0};
}

FileTransferOnSimulator::FileTransferOnSimulator()
{
    SetTunable(u"File Read Cmd TO", 300);
    SetTunable(u"File Write Cmd TO", 300);
    SetTunable(u"File Read Blk TO", 300);
    SetTunable(u"File Write Blk TO", 300);
}

void FileTransferOnSimulator::ClearFrames()
{
    // Let what is still on the line arrive before it is forgotten.
    FramesSinceMark();
    Sim().Log().Clear();
    Mark();
}

std::vector<FileRequest> FileTransferOnSimulator::FileRequests()
{
    FramesSinceMark(); // waits for the line to settle
    std::vector<FileRequest> requests;
    for (const probesim::LoggedFrame& frame : Sim().Log().Received())
    {
        if (!frame.adu)
            continue;
        const std::vector<uint8_t>& data = frame.adu->data;
        switch (frame.adu->function)
        {
        case 100:
            if (data.size() == 6)
                requests.push_back(ReadBlock(probesim::ReadU32(data, 0), probesim::ReadU16(data, 4)));
            break;
        case 101:
            if (data.size() >= 6)
                requests.push_back(
                    WriteBlock(probesim::ReadU32(data, 0), static_cast<uint32_t>(data.size() - 6)));
            break;
        case 102:
            if (data.size() == 20)
                requests.push_back(FileSetup(probesim::ReadU16(data, 0), probesim::ReadU16(data, 2),
                                             probesim::ReadU32(data, 4)));
            break;
        case 16:
        {
            if (data.size() < 7)
                break;
            const auto reg = static_cast<uint16_t>(kHoldingBase + probesim::ReadU16(data, 0));
            if (reg < kFileCommandRegister || reg > kLastFileRegister)
                break;
            const uint32_t value = data.size() >= 9 && probesim::ReadU16(data, 2) == 2
                                       ? probesim::ReadU32(data, 5)
                                       : probesim::ReadU16(data, 5);
            requests.push_back(RegisterWrite16(reg, value));
            break;
        }
        default:
            break;
        }
    }
    return requests;
}

std::vector<uint8_t> FileTransferOnSimulator::Pattern(size_t length)
{
    std::vector<uint8_t> bytes(length);
    for (size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<uint8_t>(i * 13 + i / 241);
    return bytes;
}

} // namespace devicetest
