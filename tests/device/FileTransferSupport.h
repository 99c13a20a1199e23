// What the file-transfer and note tests share: quick file tunables and the file requests the
// instrument received, decoded.
#pragma once

#include <cstdint>
#include <vector>

#include "tests/device/DeviceTestSupport.h"

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

void PrintTo(const FileRequest& request, std::ostream* os);

FileRequest FileSetup(uint16_t command, uint16_t file, uint32_t size);
FileRequest ReadBlock(uint32_t offset, uint32_t length);
FileRequest WriteBlock(uint32_t offset, uint32_t length);
FileRequest RegisterWrite16(uint16_t reg, uint32_t value);

class FileTransferOnSimulator : public DeviceOnSimulator
{
protected:
    // File commands and blocks answer within 300 ms.
    FileTransferOnSimulator();

    // The file requests since the start or the last ClearFrames, with the writes to the file
    // command registers 49150-49153 among them.
    std::vector<FileRequest> FileRequests();
    void ClearFrames();

    static std::vector<uint8_t> Pattern(size_t length);
};

} // namespace devicetest
