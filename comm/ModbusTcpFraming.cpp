#include "comm/ModbusTcpFraming.h"

#include "comm/ModbusCrc.h"

BOOL EncodeTcpFrame(const CByteBuffer& request, uint16_t transactionId, CByteBuffer& frame)
{
    frame.Clear();
    const uint32_t length = request.GetLength();
    // The length field is 16 bits and counts the unit identifier and the PDU.
    if (length < 3 || length - 2 > 0xFFFFu)
        return FALSE;
    const uint32_t followers = length - 2;
    const BYTE header[MODBUS_TCP_HEADER_LENGTH] = {
        static_cast<BYTE>(transactionId >> 8), static_cast<BYTE>(transactionId & 0xFF), 0, 0,
        static_cast<BYTE>(followers >> 8),     static_cast<BYTE>(followers & 0xFF)};
    const BOOL ok = frame.Reserve(MODBUS_TCP_HEADER_LENGTH + followers) &&
                    frame.Append(MODBUS_TCP_HEADER_LENGTH, header) &&
                    frame.Append(followers, request.GetData());
    if (!ok)
        frame.Clear();
    return ok;
}

BOOL DecodeTcpFrame(const CByteBuffer& frame, CByteBuffer& reply)
{
    reply.Clear();
    const uint32_t length = frame.GetLength();
    if (length < MODBUS_TCP_HEADER_LENGTH)
        return FALSE;
    const uint32_t rest = length - MODBUS_TCP_HEADER_LENGTH;
    const BOOL ok = reply.Reserve(rest + 2) &&
                    reply.Append(rest, frame.GetData() + MODBUS_TCP_HEADER_LENGTH) &&
                    AppendModbusCrc16(reply);
    if (!ok)
        reply.Clear();
    return ok;
}
