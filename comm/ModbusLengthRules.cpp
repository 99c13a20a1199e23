#include "comm/ModbusLengthRules.h"

#include "comm/ModbusModes.h"

BOOL IsValidRequestLength(BYTE function, const CByteBuffer& request)
{
    const uint32_t length = request.GetLength();
    if (length < 4)
        return FALSE;
    switch (function)
    {
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
        return length == 8;
    case 15:
    case 16:
        return length >= 9;
    case 17:
        return length == 4;
    case 22:
    case 100:
        return length == 10;
    case 101:
        return length >= 10;
    case 102:
        return length == 24;
    case 103:
        return length == 6;
    default:
        return TRUE;
    }
}

uint16_t GetMaxPayloadSize(uint16_t maxPacket, uint32_t mode, BYTE function, uint16_t readFileFormat)
{
    int32_t overhead = 0;
    switch (function)
    {
    case 1:
    case 2:
    case 5:
    case 15:
        overhead = 0;
        break;
    case 3:
    case 4:
        overhead = 5;
        break;
    case 6:
        overhead = 6;
        break;
    case 16:
        overhead = 9;
        break;
    case 17:
        overhead = 4;
        break;
    case 22:
    case 101:
        overhead = 10;
        break;
    case 100:
        overhead = readFileFormat <= 1 ? 6 : 11;
        break;
    default:
        return 0;
    }

    const int32_t packet = maxPacket;
    int32_t payload = 0;
    switch (mode)
    {
    case MODBUS_MODE_RTU:
        payload = packet - overhead;
        break;
    case MODBUS_MODE_ASCII:
        payload = (packet - (2 * overhead + 1)) / 2;
        break;
    case MODBUS_MODE_TCP:
        payload = packet - overhead - 4;
        break;
    default:
        return 0;
    }
    if (payload < 0 || payload >= packet)
        return 0;
    return static_cast<uint16_t>(payload);
}
