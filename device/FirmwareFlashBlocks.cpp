// The cut of a firmware image into the blocks that the boot code takes.
#include <algorithm>

#include "device/FirmwareFlash.h"

namespace NVSystem
{

namespace
{

constexpr uint8_t kLineFeed = 0x0A;
constexpr uint32_t kTypeLetter = 7; // 'F' of the header record's type "F0" or "F1"
constexpr uint32_t kTypeDigit = 8;

// The length up to and including the first (or the last) line feed within the n bytes; 0 when
// there is none.
uint32_t ThroughFirstLineFeed(const uint8_t* bytes, uint32_t n)
{
    const uint8_t* end = bytes + n;
    const uint8_t* found = std::find(bytes, end, kLineFeed);
    return found == end ? 0 : static_cast<uint32_t>(found - bytes) + 1;
}

uint32_t ThroughLastLineFeed(const uint8_t* bytes, uint32_t n)
{
    for (uint32_t length = n; length > 0; --length)
    {
        if (bytes[length - 1] == kLineFeed)
            return length;
    }
    return 0;
}

} // namespace

bool IsBinaryFirmwareImage(const uint8_t* image, uint32_t size)
{
    if (image == nullptr || size == 0)
        return false;
    auto at = [&](uint32_t index) { return image[std::min(index, size - 1)]; };
    return at(kTypeLetter) == 'F' && at(kTypeDigit) == '1';
}

HRESULT PlanFlashBlocks(const uint8_t* image, uint32_t size, uint32_t blockSize, std::vector<ULONG>& blocks)
{
    blocks.clear();
    if (size == 0)
        return S_OK;
    if (image == nullptr)
        return E_POINTER;
    const bool binary = IsBinaryFirmwareImage(image, size);
    uint32_t offset = 0;
    while (offset < size)
    {
        const uint32_t n = std::min(size - offset, blockSize);
        uint32_t length = 0;
        if (binary && offset > 0)
            length = n / FLASH_BINARY_UNIT * FLASH_BINARY_UNIT;
        else if (binary)
            length = ThroughFirstLineFeed(image, n); // the header record alone
        else
            length = ThroughLastLineFeed(image + offset, n);
        // A block that carries nothing would never move the offset on.
        if (length == 0)
        {
            blocks.clear();
            return MODBUSCOMM_E_MAX_PACKET;
        }
        blocks.push_back(length);
        offset += length;
    }
    return S_OK;
}

} // namespace NVSystem
