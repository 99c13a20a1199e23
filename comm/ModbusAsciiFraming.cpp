#include "comm/ModbusAsciiFraming.h"

#include <algorithm>
#include <string>

#include "comm/ModbusCrc.h"
#include "comm/ModbusLrc.h"
#include "platform/HexDigits.h"

namespace
{

constexpr char kDigits[] = "0123456789ABCDEF";

bool PairValue(const BYTE* pair, BYTE& value)
{
    const int high = platform::HexDigitValue(pair[0]);
    const int low = platform::HexDigitValue(pair[1]);
    if (high < 0 || low < 0)
        return false;
    value = static_cast<BYTE>(high << 4 | low);
    return true;
}

} // namespace

BOOL EncodeAsciiFrame(const CByteBuffer& request, CByteBuffer& frame)
{
    frame.Clear();
    const uint32_t length = request.GetLength();
    if (length < 3 || length > (UINT32_MAX - 1) / 2)
        return FALSE;
    const std::string lrc = ComputeModbusLrc(request);
    if (!frame.Reserve(2 * length + 1))
        return FALSE;
    const BYTE* bytes = request.GetData();
    BOOL ok = frame.Append(1, ":");
    for (uint32_t i = 0; ok && i + 2 < length; ++i)
    {
        const char pair[2] = {kDigits[bytes[i] >> 4], kDigits[bytes[i] & 0x0F]};
        ok = frame.Append(2, pair);
    }
    ok = ok && frame.Append(2, lrc.data()) && frame.Append(2, "\r\n");
    if (!ok)
        frame.Clear();
    return ok;
}

BOOL DecodeAsciiFrame(const CByteBuffer& frame, CByteBuffer& reply)
{
    reply.Clear();
    const uint32_t length = frame.GetLength();
    if (length < 5 || length % 2 == 0)
        return FALSE;
    const BYTE* chars = frame.GetData();
    if (chars[0] != ':' || chars[length - 2] != '\r' || chars[length - 1] != '\n')
        return FALSE;

    const uint32_t count = (length - 5) / 2;
    if (!reply.Reserve(count + 2))
        return FALSE;
    // Decoded through a small block, so that a long reply is not appended byte by byte.
    BYTE block[128];
    for (uint32_t done = 0; done < count;)
    {
        const uint32_t n = std::min<uint32_t>(count - done, sizeof block);
        for (uint32_t i = 0; i < n; ++i)
        {
            if (!PairValue(chars + 1 + 2 * (done + i), block[i]))
            {
                reply.Clear();
                return FALSE;
            }
        }
        if (!reply.Append(n, block))
        {
            reply.Clear();
            return FALSE;
        }
        done += n;
    }
    if (!AppendModbusCrc16(reply))
    {
        reply.Clear();
        return FALSE;
    }
    const std::string lrc = ComputeModbusLrc(reply);
    const BYTE* sent = chars + length - 4;
    if (lrc.size() != 2 || sent[0] != static_cast<BYTE>(lrc[0]) || sent[1] != static_cast<BYTE>(lrc[1]))
    {
        reply.Clear();
        return FALSE;
    }
    return TRUE;
}

BOOL AsciiFrameByte(const CByteBuffer& frame, uint32_t rtuPosition, BYTE& value)
{
    value = 0;
    const uint32_t length = frame.GetLength();
    if (length < 3 || rtuPosition > (length - 3) / 2)
        return FALSE;
    return PairValue(frame.GetData() + 1 + 2 * rtuPosition, value) ? TRUE : FALSE;
}
