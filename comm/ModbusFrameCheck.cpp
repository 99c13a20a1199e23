#include "comm/ModbusFrameCheck.h"

#include "comm/ModbusAsciiFraming.h"
#include "comm/ModbusModes.h"
#include "comm/ModbusTcpFraming.h"

namespace
{

// An exception reply: address, function + 0x80, exception code, CRC.
constexpr uint32_t kShortestReply = 5;

// The byte at a position of the RTU form, read where the mode puts it.
bool FrameByte(uint32_t mode, const CByteBuffer& frame, uint32_t rtuPosition, BYTE& value)
{
    value = 0;
    if (mode == MODBUS_MODE_ASCII)
        return AsciiFrameByte(frame, rtuPosition, value) != FALSE;
    const uint32_t position = mode == MODBUS_MODE_TCP ? rtuPosition + MODBUS_TCP_HEADER_LENGTH : rtuPosition;
    if (position >= frame.GetLength())
        return false;
    value = frame.GetData()[position];
    return true;
}

bool FrameWord(uint32_t mode, const CByteBuffer& frame, uint32_t rtuPosition, uint16_t& value)
{
    BYTE high = 0;
    BYTE low = 0;
    value = 0;
    if (!FrameByte(mode, frame, rtuPosition, high) || !FrameByte(mode, frame, rtuPosition + 1, low))
        return false;
    value = static_cast<uint16_t>(high << 8 | low);
    return true;
}

} // namespace

BOOL CheckResponseFrame(uint32_t mode, const CByteBuffer& frame, uint16_t readFileFormat)
{
    if (!IsValidModbusMode(mode))
        return FALSE;
    const uint32_t length = frame.GetLength();
    const uint32_t shortest = FrameLengthForMode(kShortestReply, mode);
    if (length < shortest)
        return FALSE;
    if (mode == MODBUS_MODE_ASCII)
    {
        const BYTE* chars = frame.GetData();
        if (chars[0] != ':' || chars[length - 2] != '\r' || chars[length - 1] != '\n')
            return FALSE;
    }

    // Every count below is at most 16 bits, so the lengths computed from it cannot overflow.
    const auto lengthFor = [mode](uint32_t rtuLength) { return FrameLengthForMode(rtuLength, mode); };
    BYTE function = 0;
    if (!FrameByte(mode, frame, 1, function))
        return FALSE;
    if (function >= 0x80)
        return length == shortest;

    switch (function)
    {
    case 3:
    case 4:
    {
        BYTE byteCount = 0;
        return FrameByte(mode, frame, 2, byteCount) && length == lengthFor(kShortestReply + byteCount);
    }
    case 6:
    case 16:
        return length >= lengthFor(8);
    case 22:
    case 101:
        return length == lengthFor(10);
    case 102:
        return length == lengthFor(24);
    case 103:
        return length == lengthFor(228);
    case 100:
    {
        const uint32_t header = readFileFormat <= 1 ? 6 : 11;
        uint16_t dataLength = 0;
        return length >= lengthFor(header) &&
               FrameWord(mode, frame, readFileFormat <= 1 ? 2 : 6, dataLength) &&
               length == lengthFor(header + dataLength);
    }
    case 17:
    {
        BYTE byteCount = 0;
        return length >= lengthFor(7) && FrameByte(mode, frame, 2, byteCount) && byteCount >= 2 &&
               length == lengthFor(byteCount + 5u);
    }
    default:
        return TRUE;
    }
}
