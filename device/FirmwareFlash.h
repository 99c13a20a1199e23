// What the firmware flash of a device shares between its steps: the switch command, its result
// codes, and the image as it goes out, cut into the blocks that the boot code takes.
//
// The boot code checks every block as it comes: a text image arrives in whole hex records, each
// block ending with a record's line feed; a binary image arrives as its header record alone, then
// in blocks of whole 48-byte units. The whole plan of blocks is made before anything is sent, so an
// image that cannot be cut that way for the packet size at hand is refused before the instrument
// erases its application.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/ResultCodes.h"
#include "platform/Types.h"

namespace NVSystem
{

// Written to the device command register: the application restarts into its boot code.
inline constexpr USHORT DEVCMD_SWITCH_TO_BOOT = 0xD00D;

inline constexpr HRESULT MODBUSCOMM_E_SWITCH_TO_BOOT_FAILED = ResultCode(0x8101014Au);
inline constexpr HRESULT MODBUSCOMM_E_INVALID_FLASH_FILE = ResultCode(0x81010160u);
inline constexpr HRESULT MODBUSCOMM_E_INVALID_FLASH_VERSION = ResultCode(0x81010161u);
inline constexpr HRESULT MODBUSCOMM_E_INVALID_PATH = ResultCode(0x81010167u);
inline constexpr HRESULT MODBUSCOMM_E_FILE_DOES_NOT_EXIST = ResultCode(0x81010168u);
// The first block of an image was refused; it has no text of its own.
inline constexpr HRESULT MODBUSCOMM_E_FLASH_FIRST_BLOCK = ResultCode(0x8101018Fu);
// The instrument's exception "Invalid file number." (0x88).
inline constexpr HRESULT MODBUSCOMM_E_INVALID_FILE_NUMBER = ResultCode(0x81010088u);

// The size of the binary units that follow the header record of a binary image.
inline constexpr uint32_t FLASH_BINARY_UNIT = 48;

// A binary image has 'F' '1' as characters 7 and 8 (the header record's type); an index past the
// end reads as the last byte, so a short image is a text image unless it ends in such bytes.
bool IsBinaryFirmwareImage(const uint8_t* image, uint32_t size);

// The block lengths, in order, that carry the image in blocks of at most blockSize bytes. An empty
// image has none. MODBUSCOMM_E_MAX_PACKET (blocks empty) when a block would carry nothing: a block
// size of 0, a text record or binary header longer than a block, or binary units that do not fit.
HRESULT PlanFlashBlocks(const uint8_t* image, uint32_t size, uint32_t blockSize, std::vector<ULONG>& blocks);

// The image as the flash sends it: the bytes that were validated, the firmware version its header
// names, and the plan of its blocks.
struct sFlashImage
{
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    int32_t firmwareVersion = -1;
    std::vector<ULONG> blocks;
};

} // namespace NVSystem
