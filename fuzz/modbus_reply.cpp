// Whatever arrives on a Modbus line, in whatever framing, is checked and decoded against the
// request that is waiting for it: no reply may make the framing read outside the frame, allocate
// beyond what arrived, or hand out data that the frame does not hold.
// Input: [selector: bits 0-1 framing mode (3 = an unknown one), bits 2-4 request][reply bytes].
#include <algorithm>
#include <cctype>
#include <cstdint>

#include "comm/ModbusAsciiFraming.h"
#include "comm/ModbusFrameCheck.h"
#include "comm/ModbusLengthRules.h"
#include "comm/ModbusLrc.h"
#include "comm/ModbusMessage.h"
#include "comm/ModbusModes.h"
#include "comm/ModbusRtuFraming.h"
#include "comm/ModbusTcpFraming.h"
#include "foundation/ResultCodes.h"
#include "fuzz/FuzzCheck.h"

namespace
{

CByteBuffer Bytes(const uint8_t* data, size_t size)
{
    CByteBuffer buffer;
    buffer.Append(static_cast<uint32_t>(size), data);
    return buffer;
}

HRESULT BuildRequest(CModbusMessage& message, uint8_t kind)
{
    const uint8_t two[2] = {0x00, 0x12};
    const uint8_t block[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    switch (kind)
    {
    case 0:
        return message.BuildReadRegisters(1, 1, 10, 3);
    case 1:
        return message.BuildReadRegisters(247, 9001, 125, 4);
    case 2:
        return message.BuildReportSlaveId(1);
    case 3:
        return message.BuildReadFileBlock(1, 0x100, 16, 1, TRUE);
    case 4:
        return message.BuildReadFileBlock(1, 0x100, 16, 2, FALSE);
    case 5:
        return message.BuildWriteRegisters(1, 201, 1, Bytes(two, sizeof two));
    case 6:
        return message.BuildWriteFileBlock(1, 0x200, Bytes(block, sizeof block), TRUE);
    default:
    {
        sFileCommand record(0xF000, 3, 0x1000);
        return message.BuildExtendedFileRequest(1, record, TRUE);
    }
    }
}

void CheckValidation(CModbusMessage& message, const CByteBuffer& reply)
{
    const HRESULT hr = message.ValidateResponse(reply);
    CByteBuffer data;
    Check(message.GetResponseData(data) == S_OK);
    if (Failed(hr))
    {
        Check(!message.IsResponseValid() && !message.IsException() && data.GetLength() == 0);
        return;
    }

    const CByteBuffer& decoded = message.GetDecodedReply();
    Check(message.IsResponseValid() && decoded.GetLength() >= 5);
    Check(decoded.GetData()[0] == message.GetRequest().GetData()[0]);
    Check((decoded.GetData()[1] & 0x7F) == message.GetRequest().GetData()[1]);
    Check(data.GetLength() + 2 <= decoded.GetLength());
    if (message.IsException())
    {
        Check(data.GetLength() == 0);
        Check(message.GetExceptionResult() == MODBUSCOMM_E_EXCEPTION_BASE + decoded.GetData()[2]);
    }
    else if (decoded.GetData()[1] == 3 || decoded.GetData()[1] == 4)
    {
        // The byte count was checked against the frame: the data is exactly what it announced.
        Check(data.GetLength() == decoded.GetData()[2]);
    }
}

bool SameIgnoringCase(const CByteBuffer& a, const CByteBuffer& b)
{
    return a.GetLength() == b.GetLength() &&
           std::equal(a.GetData(), a.GetData() + a.GetLength(), b.GetData(),
                      [](uint8_t x, uint8_t y) { return std::toupper(x) == std::toupper(y); });
}

// The stand-alone decoders, and their encoders as the inverse of every frame they accept.
void CheckDecoders(const CByteBuffer& reply)
{
    const uint32_t length = reply.GetLength();
    CByteBuffer decoded;
    CByteBuffer again;
    if (DecodeRtuFrame(reply, decoded))
    {
        Check(EncodeRtuFrame(decoded, again) && again.GetLength() == length);
        Check(std::equal(again.GetData(), again.GetData() + length, reply.GetData()));
    }
    if (DecodeAsciiFrame(reply, decoded))
    {
        Check(decoded.GetLength() == (length - 5) / 2 + 2);
        Check(ComputeModbusLrc(decoded).size() == 2);
        Check(EncodeAsciiFrame(decoded, again) && SameIgnoringCase(again, reply));
    }
    if (DecodeTcpFrame(reply, decoded))
        Check(decoded.GetLength() == length - MODBUS_TCP_HEADER_LENGTH + 2);

    for (uint32_t mode = 0; mode < 4; ++mode)
    {
        for (uint16_t format = 0; format < 3; ++format)
        {
            if (CheckResponseFrame(mode, reply, format))
                Check(length >= FrameLengthForMode(5, mode));
        }
    }
    BYTE value = 0;
    for (uint32_t position = 0; position < 8; ++position)
        AsciiFrameByte(reply, position, value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > 0x10000)
        return 0;
    const uint32_t mode = data[0] & 0x03;
    const auto kind = static_cast<uint8_t>((data[0] >> 2) & 0x07);
    const CByteBuffer reply = Bytes(data + 1, size - 1);

    CModbusMessage message;
    Check(Succeeded(BuildRequest(message, kind)));
    CByteBuffer frame;
    const HRESULT encoded = message.Encode(mode, frame);
    Check(Succeeded(encoded) == IsValidModbusMode(mode));
    USHORT expected = 0;
    message.GetExpectedResponseLength(mode, expected);
    if (Succeeded(encoded))
        CheckValidation(message, reply);
    else
        Check(message.ValidateResponse(reply) == MODBUSCOMM_E_MESSAGE_NOT_INITIALIZED);

    CheckDecoders(reply);

    if (size >= 4)
    {
        const auto maxPacket = static_cast<uint16_t>(data[1] << 8 | data[2]);
        for (unsigned function = 0; function < 0x100; function += 1 + (data[3] & 0x0F))
        {
            const uint16_t payload =
                GetMaxPayloadSize(maxPacket, mode, static_cast<BYTE>(function), data[0] >> 5);
            Check(payload == 0 || payload < maxPacket);
        }
    }
    return 0;
}
