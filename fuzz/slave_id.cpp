// Whatever a device answers to Report Slave ID, framed or not: the identity decoding accepts exactly
// the maker's 23-byte block, reads nothing outside it, and decodes every field from its place.
// Input: [selector: bits 0-1 framing mode of the frame check][bytes, both a reply frame to a Report
// Slave ID request and a bare identity block].
#include <cstdint>

#include "comm/ModbusMessage.h"
#include "comm/ModbusModes.h"
#include "comm/SlaveIdInfo.h"
#include "foundation/ResultCodes.h"
#include "fuzz/FuzzCheck.h"

namespace
{

uint16_t Word(const uint8_t* bytes)
{
    return static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
}

void CheckDecoding(const CByteBuffer& block)
{
    SlaveIdInfo record;
    const HRESULT hr = DecodeSlaveIdInfo(block, record);
    const uint8_t* b = block.GetData();
    const bool wellFormed =
        block.GetLength() == SLAVEID_REPLY_DATA_LENGTH && b[0] == 0x4E && b[2] == 1 && Word(b + 3) == 0x5643;
    if (!wellFormed)
    {
        Check(hr == MODBUSCOMM_E_SLAVEID_FORMAT);
        Check(record == SlaveIdInfo());
        return;
    }
    Check(hr == S_OK);
    Check(record.RunIndicator == b[1] && record.DeviceTypeId == Word(b + 5) &&
          record.FirmwareVersion == Word(b + 7));
    Check(record.Reserved == Word(b + 9) && record.HardwareVersion == Word(b + 11) &&
          record.RegisterMapVersion == Word(b + 13));
    Check(record.SerialNumber == (static_cast<uint32_t>(Word(b + 15)) << 16 | Word(b + 17)));
    Check(record.MaxPacketSize == Word(b + 19) && record.MaxBaudRateId == Word(b + 21) + 5u);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > 0x1000)
        return 0;
    CByteBuffer bytes;
    bytes.Append(static_cast<uint32_t>(size - 1), data + 1);
    CheckDecoding(bytes);

    CModbusMessage message;
    Check(message.BuildReportSlaveId(data[0] >> 2) == S_OK);
    CByteBuffer frame;
    if (Failed(message.Encode(data[0] & 0x03, frame)))
        return 0;
    if (Succeeded(message.ValidateResponse(bytes)))
    {
        CByteBuffer block;
        Check(message.GetResponseData(block) == S_OK);
        Check(block.GetLength() + 5 <= message.GetDecodedReply().GetLength());
        CheckDecoding(block);
    }
    return 0;
}
