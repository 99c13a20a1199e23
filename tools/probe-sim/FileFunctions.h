// The maker's file functions on the wire, all fields big-endian (32-bit values high word first):
//
//   100 read file block   request: u32 offset, u16 length
//                         reply, transfer opened by the file command registers: u16 L, L bytes;
//                         opened by function 102: u32 offset, u16 L, L bytes, u8 end-of-file flag
//   101 write file block  request: u32 offset, u16 L, L bytes; reply: u32 offset, u16 L
//   102 extended file request  request and reply: u16 command, u16 file number, u32 size,
//                         start and stop time stamps (u32 seconds, u16 fraction); the reply to a
//                         read setup carries the file's size and time stamps, otherwise it echoes
//
// A frame longer than the instrument's maximum packet size (in the line's framing) is refused with
// InvalidFileBlock, as are blocks out of place; malformed requests answer IllegalDataValue. Block
// faults, when given, apply to well-formed block requests before they are carried out.
#pragma once

#include <cstdint>

#include "tools/probe-sim/BlockFaults.h"
#include "tools/probe-sim/FileTransfer.h"
#include "tools/probe-sim/Reply.h"

namespace probesim
{

inline constexpr uint8_t kReadFileBlock = 100;
inline constexpr uint8_t kWriteFileBlock = 101;
inline constexpr uint8_t kExtendedFileRequest = 102;

inline constexpr size_t kFileRecordBytes = 20;

Reply ReadFileBlock(FileTransfer& transfer, const Adu& request, FramingMode mode, uint16_t maxPacketSize,
                    BlockFaults* faults = nullptr);
Reply WriteFileBlock(FileTransfer& transfer, const Adu& request, FramingMode mode, uint16_t maxPacketSize,
                     BlockFaults* faults = nullptr);
Reply ExtendedFileRequest(FileTransfer& transfer, const Adu& request);

} // namespace probesim
