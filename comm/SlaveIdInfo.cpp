#include "comm/SlaveIdInfo.h"

#include "foundation/BufferReader.h"
#include "foundation/ResultCodes.h"

namespace
{

constexpr BYTE kMarkerByte = 0x4E;
constexpr BYTE kFormat = 1;
constexpr USHORT kMarkerWord = 0x5643;
constexpr ULONG kBaudCodeOffset = 5;

} // namespace

HRESULT DecodeSlaveIdInfo(const CByteBuffer& data, SlaveIdInfo& record)
{
    if (data.GetLength() != SLAVEID_REPLY_DATA_LENGTH)
        return MODBUSCOMM_E_SLAVEID_FORMAT;

    CBufferReader reader(data);
    reader.m_bHighWordFirst = 1;
    BYTE marker = 0;
    BYTE runIndicator = 0;
    BYTE format = 0;
    USHORT markerWord = 0;
    if (Failed(reader.ReadByte(marker)) || Failed(reader.ReadByte(runIndicator)) ||
        Failed(reader.ReadByte(format)) || Failed(reader.ReadUShort(markerWord)))
        return E_BUFFER_EXTRACTION_OVERRUN;
    if (marker != kMarkerByte || markerWord != kMarkerWord || format != kFormat)
        return MODBUSCOMM_E_SLAVEID_FORMAT;

    record.RunIndicator = runIndicator;
    USHORT baudCode = 0;
    if (Failed(reader.ReadUShort(record.DeviceTypeId)) || Failed(reader.ReadUShort(record.FirmwareVersion)) ||
        Failed(reader.ReadUShort(record.Reserved)) || Failed(reader.ReadUShort(record.HardwareVersion)) ||
        Failed(reader.ReadUShort(record.RegisterMapVersion)) ||
        Failed(reader.ReadULong(record.SerialNumber)) || Failed(reader.ReadUShort(record.MaxPacketSize)) ||
        Failed(reader.ReadUShort(baudCode)))
        return E_BUFFER_EXTRACTION_OVERRUN;
    record.MaxBaudRateId = baudCode + kBaudCodeOffset;
    return S_OK;
}
