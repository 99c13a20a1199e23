// What the file-transfer and note tests share: quick file tunables and the file requests the
// instrument received, decoded.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <ostream>
#include <vector>

#include "platform/Clock.h"
#include "tests/device/DeviceTestSupport.h"
#include "tools/probe-sim/WireBytes.h"

namespace devicetest
{

// One request of the maker's file functions as the instrument received it.
struct FileRequest
{
    uint8_t function = 0; // 100, 101 or 102; 16 for a write of a file command register
    uint16_t command = 0; // 102: the command; 16: the register written
    uint16_t file = 0;    // 102
    uint32_t value = 0;   // 102: the size; 100, 101: the offset; 16: the first value
    uint32_t length = 0;  // 100: the length asked for; 101: the bytes carried

    friend bool operator==(const FileRequest&, const FileRequest&) = default;
};

inline void PrintTo(const FileRequest& r, std::ostream* os)
{
    *os << "fn" << unsigned(r.function) << " cmd 0x" << std::hex << r.command << std::dec << " file "
        << r.file << " value " << r.value << " length " << r.length;
}

inline FileRequest FileSetup(uint16_t command, uint16_t file, uint32_t size)
{
    return {102, command, file, size, 0};
}
inline FileRequest ReadBlock(uint32_t offset, uint32_t length)
{
    return {100, 0, 0, offset, length};
}
inline FileRequest WriteBlock(uint32_t offset, uint32_t length)
{
    return {101, 0, 0, offset, length};
}
inline FileRequest RegisterWrite16(uint16_t reg, uint32_t value)
{
    return {16, reg, 0, value, 0};
}

// The file command sequence of the older instruments up to its command: the handshake, the file
// number and, for a write, the size. The sequence ends with RegisterWrite16(49150, 0).
inline std::vector<FileRequest> SequenceOpening(uint16_t file, uint16_t command,
                                                std::optional<uint32_t> size = {})
{
    std::vector<FileRequest> opening{RegisterWrite16(49150, 0), RegisterWrite16(49150, 1),
                                     RegisterWrite16(49151, file)};
    if (size)
        opening.push_back(RegisterWrite16(49152, *size));
    opening.push_back(RegisterWrite16(49150, command));
    return opening;
}

class FileTransferOnSimulator : public DeviceOnSimulator
{
protected:
    // File commands and blocks answer within 300 ms.
    FileTransferOnSimulator()
    {
        for (const char16_t* name :
             {u"File Read Cmd TO", u"File Write Cmd TO", u"File Read Blk TO", u"File Write Blk TO"})
            SetTunable(name, 300);
    }

    // The file requests since the start or the last ClearFrames, with the writes to the file
    // command registers 49150-49153 among them.
    std::vector<FileRequest> FileRequests()
    {
        using probesim::ReadU16;
        using probesim::ReadU32;
        FramesSinceMark(); // waits for the line to settle
        std::vector<FileRequest> requests;
        for (const probesim::LoggedFrame& frame : Sim().Log().Received())
        {
            if (!frame.adu)
                continue;
            const std::vector<uint8_t>& data = frame.adu->data;
            const uint8_t function = frame.adu->function;
            if (function == 100 && data.size() == 6)
                requests.push_back(ReadBlock(ReadU32(data, 0), ReadU16(data, 4)));
            else if (function == 101 && data.size() >= 6)
                requests.push_back(WriteBlock(ReadU32(data, 0), static_cast<uint32_t>(data.size() - 6)));
            else if (function == 102 && data.size() == 20)
                requests.push_back(FileSetup(ReadU16(data, 0), ReadU16(data, 2), ReadU32(data, 4)));
            else if (function == 16 && data.size() >= 7)
            {
                const auto reg = static_cast<uint16_t>(40001 + ReadU16(data, 0));
                if (reg >= 49150 && reg <= 49153)
                    requests.push_back(RegisterWrite16(reg, data.size() >= 9 && ReadU16(data, 2) == 2
                                                                ? ReadU32(data, 5)
                                                                : ReadU16(data, 5)));
            }
        }
        return requests;
    }

    // Waits until the transfer running on another thread has moved its first bytes.
    void WaitForFirstBytes()
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        USHORT percent = 0;
        ULONG total = 0, done = 0, state = 0;
        double left = 0;
        HRESULT result = S_OK;
        while (Device().GetFileTransferProgress(percent, total, done, state, left, result) == S_OK &&
               done == 0 && std::chrono::steady_clock::now() < deadline)
            platform::SleepMs(1);
        EXPECT_GT(done, 0u);
    }

    void ClearFrames()
    {
        FramesSinceMark(); // what is still on the line arrives before it is forgotten
        Sim().Log().Clear();
        Mark();
    }

    static std::vector<uint8_t> Pattern(size_t length)
    {
        std::vector<uint8_t> bytes(length);
        for (size_t i = 0; i < length; ++i)
            bytes[i] = static_cast<uint8_t>(i * 13 + i / 241);
        return bytes;
    }
};

} // namespace devicetest
