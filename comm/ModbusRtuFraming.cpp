#include "comm/ModbusRtuFraming.h"

#include <array>

#include "comm/ModbusCrc.h"

BOOL EncodeRtuFrame(const CByteBuffer& request, CByteBuffer& frame)
{
    frame.Clear();
    return frame.Append(request.GetLength(), request.GetData());
}

BOOL DecodeRtuFrame(const CByteBuffer& frame, CByteBuffer& reply)
{
    reply.Clear();
    const uint32_t length = frame.GetLength();
    if (length < 2)
        return FALSE;
    const BYTE* bytes = frame.GetData();
    const std::array<BYTE, 2> crc = ComputeModbusCrc16(bytes, length - 2);
    if (crc[0] != bytes[length - 2] || crc[1] != bytes[length - 1])
        return FALSE;
    return reply.Append(length, bytes);
}
