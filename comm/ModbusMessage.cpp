#include "comm/ModbusMessage.h"

#include "comm/ModbusAsciiFraming.h"
#include "comm/ModbusCrc.h"
#include "comm/ModbusFrameCheck.h"
#include "comm/ModbusLengthRules.h"
#include "comm/ModbusModes.h"
#include "comm/ModbusRtuFraming.h"
#include "comm/ModbusTcpFraming.h"
#include "foundation/Codec.h"
#include "foundation/ResultCodes.h"

namespace
{

constexpr BYTE kReadHoldingRegisters = 3;
constexpr BYTE kReadInputRegisters = 4;
constexpr BYTE kWriteRegisters = 16;
constexpr BYTE kReportSlaveId = 17;
constexpr BYTE kReadFileBlock = 100;
constexpr BYTE kWriteFileBlock = 101;
constexpr BYTE kExtendedFileRequest = 102;

constexpr uint32_t kCrcLength = 2;
// The most registers one request may carry: a read's reply and a write's request state the data
// length in one byte, and the frame must stay within the 256 bytes of an RTU message.
constexpr USHORT kMaxReadRegisters = 125;
constexpr USHORT kMaxWriteRegisters = 123;

bool IsUnicastAddress(USHORT address)
{
    return address >= 1 && address <= 248;
}

bool AppendByte(CByteBuffer& buffer, BYTE value)
{
    return buffer.Append(1, &value) != FALSE;
}

bool AppendWord(CByteBuffer& buffer, uint16_t value)
{
    const BYTE bytes[2] = {static_cast<BYTE>(value >> 8), static_cast<BYTE>(value & 0xFF)};
    return buffer.Append(2, bytes) != FALSE;
}

bool AppendLong(CByteBuffer& buffer, uint32_t value, BOOL highWordFirst)
{
    BYTE bytes[4];
    EncodeULong(value, highWordFirst, bytes);
    return buffer.Append(4, bytes) != FALSE;
}

bool AppendTimestamp(CByteBuffer& buffer, const CDeviceTimestamp& timestamp, BOOL highWordFirst)
{
    return AppendLong(buffer, timestamp.GetSeconds(), highWordFirst) &&
           AppendWord(buffer, timestamp.GetFraction());
}

// The byte at a position of a buffer, 0 past its end.
BYTE ByteAt(const CByteBuffer& buffer, uint32_t position)
{
    return position < buffer.GetLength() ? buffer.GetData()[position] : 0;
}

uint16_t WordAt(const CByteBuffer& buffer, uint32_t position)
{
    return static_cast<uint16_t>(ByteAt(buffer, position) << 8 | ByteAt(buffer, position + 1));
}

// Bytes in front of the data of a reply in RTU form.
uint32_t ResponseHeaderLength(BYTE function, USHORT readFileFormat)
{
    switch (function)
    {
    case 1:
    case 2:
    case 3:
    case 4:
    case 17:
        return 3;
    case 100:
        return readFileFormat <= 1 ? 4 : 8;
    case 5:
    case 6:
    case 15:
    case 16:
    case 22:
    case 101:
    case 102:
    case 103:
        return 2;
    default:
        return 0;
    }
}

} // namespace

void CModbusMessage::Reset()
{
    m_bEncoded = false;
    m_bResponseReceived = false;
    m_bResponseValid = false;
    m_bBroadcast = false;
    m_bFixedLengthSlaveId = false;
    m_nSlaveAddress = 0;
    m_nReadFileFormat = 0;
    m_nMode = 0;
    // The blocks stay: the line's one message is rebuilt for every transaction.
    m_FramedRequest.Clear();
    m_Request.Clear();
    m_DecodedReply.Clear();
}

bool CModbusMessage::BeginRequest(USHORT address, BYTE function, uint32_t length)
{
    m_nSlaveAddress = address;
    m_Request.Clear();
    return m_Request.Reserve(length) && AppendByte(m_Request, static_cast<BYTE>(address & 0xFF)) &&
           AppendByte(m_Request, function);
}

HRESULT CModbusMessage::FinishRequest(bool bytesAppended)
{
    if (bytesAppended && AppendModbusCrc16(m_Request))
        return S_OK;
    Reset();
    return E_OUTOFMEMORY;
}

HRESULT CModbusMessage::BuildReadRegisters(USHORT address, USHORT registerNumber, USHORT count, BYTE function)
{
    Reset();
    if (!IsUnicastAddress(address))
        return MODBUSCOMM_E_INVALID_DEVICE_ADDRESS;
    if (function != kReadHoldingRegisters && function != kReadInputRegisters)
        return MODBUSCOMM_E_INVALID_PARAMETER;
    if (registerNumber == 0)
        return MODBUSCOMM_E_INVALID_DATA_ADDRESS;
    // A read of nothing has no reply that the length rules could tell from a damaged one.
    if (count == 0 || count > kMaxReadRegisters)
        return MODBUSCOMM_E_INVALID_REGISTER_COUNT;
    return FinishRequest(BeginRequest(address, function, 8) &&
                         AppendWord(m_Request, static_cast<uint16_t>(registerNumber - 1)) &&
                         AppendWord(m_Request, count));
}

HRESULT CModbusMessage::BuildWriteRegisters(USHORT address, USHORT registerNumber, USHORT count,
                                            const CByteBuffer& data)
{
    Reset();
    if (address > 255)
        return MODBUSCOMM_E_INVALID_ADDRESS;
    if (registerNumber == 0)
        return MODBUSCOMM_E_INVALID_DATA_ADDRESS;
    if (count > kMaxWriteRegisters)
        return MODBUSCOMM_E_INVALID_REGISTER_COUNT;
    if (data.GetLength() != 2u * count)
        return MODBUSCOMM_E_INVALID_WRITE_DATA;
    const HRESULT hr =
        FinishRequest(BeginRequest(address, kWriteRegisters, 9 + data.GetLength()) &&
                      AppendWord(m_Request, static_cast<uint16_t>(registerNumber - 1)) &&
                      AppendWord(m_Request, count) && AppendByte(m_Request, static_cast<BYTE>(2 * count)) &&
                      m_Request.Append(data.GetLength(), data.GetData()));
    m_bBroadcast = Succeeded(hr) && address == 0;
    return hr;
}

HRESULT CModbusMessage::BuildReportSlaveId(USHORT address)
{
    Reset();
    const HRESULT hr = FinishRequest(BeginRequest(address, kReportSlaveId, 4));
    m_bFixedLengthSlaveId = Succeeded(hr);
    return hr;
}

HRESULT CModbusMessage::BuildReadFileBlock(USHORT address, ULONG offset, USHORT length, USHORT readFileFormat,
                                           BOOL highWordFirst)
{
    Reset();
    if (!IsUnicastAddress(address))
        return MODBUSCOMM_E_INVALID_DEVICE_ADDRESS;
    const HRESULT hr =
        FinishRequest(BeginRequest(address, kReadFileBlock, 10) &&
                      AppendLong(m_Request, offset, highWordFirst) && AppendWord(m_Request, length));
    if (Succeeded(hr))
        m_nReadFileFormat = readFileFormat;
    return hr;
}

HRESULT CModbusMessage::BuildWriteFileBlock(USHORT address, ULONG offset, const CByteBuffer& data,
                                            BOOL highWordFirst)
{
    Reset();
    if (address > 255)
        return MODBUSCOMM_E_INVALID_ADDRESS;
    // The request states the data length in 16 bits.
    if (data.GetLength() > 0xFFFFu)
        return MODBUSCOMM_E_MAX_PACKET;
    const HRESULT hr = FinishRequest(BeginRequest(address, kWriteFileBlock, 10 + data.GetLength()) &&
                                     AppendLong(m_Request, offset, highWordFirst) &&
                                     AppendWord(m_Request, static_cast<uint16_t>(data.GetLength())) &&
                                     m_Request.Append(data.GetLength(), data.GetData()));
    m_bBroadcast = Succeeded(hr) && address == 0;
    return hr;
}

HRESULT CModbusMessage::BuildExtendedFileRequest(USHORT address, const sFileCommand& record,
                                                 BOOL highWordFirst)
{
    Reset();
    if (!IsUnicastAddress(address))
        return MODBUSCOMM_E_INVALID_DEVICE_ADDRESS;
    return FinishRequest(BeginRequest(address, kExtendedFileRequest, 24) &&
                         AppendWord(m_Request, record.Command) && AppendWord(m_Request, record.FileNumber) &&
                         AppendLong(m_Request, record.Size, highWordFirst) &&
                         AppendTimestamp(m_Request, record.Start, highWordFirst) &&
                         AppendTimestamp(m_Request, record.Stop, highWordFirst));
}

HRESULT CModbusMessage::Encode(ULONG mode, CByteBuffer& frame)
{
    frame.Clear();
    if (const HRESULT hr = Encode(mode); Failed(hr))
        return hr;
    return frame.Append(m_FramedRequest.GetLength(), m_FramedRequest.GetData()) ? S_OK : E_OUTOFMEMORY;
}

HRESULT CModbusMessage::Encode(ULONG mode)
{
    if (!IsValidModbusMode(mode))
        return MODBUSCOMM_E_INVALID_TRANSMISSION_MODE;
    // Nothing built: there is no function code to frame or to expect a reply for.
    if (m_Request.GetLength() < 4)
        return MODBUSCOMM_E_MESSAGE_NOT_INITIALIZED;

    BOOL framed = FALSE;
    if (mode == MODBUS_MODE_RTU)
    {
        framed = EncodeRtuFrame(m_Request, m_FramedRequest);
    }
    else
    {
        if (!IsValidRequestLength(m_Request.GetData()[1], m_Request))
            return MODBUSCOMM_E_INVALID_RTU_MESSAGE;
        if (mode == MODBUS_MODE_ASCII)
        {
            framed = EncodeAsciiFrame(m_Request, m_FramedRequest);
        }
        else
        {
            ++m_nTransactionId;
            framed = EncodeTcpFrame(m_Request, m_nTransactionId, m_FramedRequest);
        }
    }
    if (!framed)
        return E_OUTOFMEMORY;

    // A reply to an earlier framing is no reply to this one.
    m_bResponseReceived = false;
    m_bResponseValid = false;
    m_DecodedReply.Clear();
    m_bEncoded = true;
    m_nMode = mode;
    return S_OK;
}

HRESULT CModbusMessage::GetExpectedResponseLength(ULONG mode, USHORT& length) const
{
    length = 0;
    if (!m_bEncoded)
        return MODBUSCOMM_E_MESSAGE_NOT_INITIALIZED;
    if (!IsValidModbusMode(mode))
        return MODBUSCOMM_E_INVALID_TRANSMISSION_MODE;

    uint32_t rtuLength = 0;
    switch (ByteAt(m_Request, 1))
    {
    case 1:
    case 2:
    case 3:
    case 4:
        rtuLength = 2u * WordAt(m_Request, 4) + 5;
        break;
    case 5:
    case 6:
    case 15:
    case 16:
        rtuLength = 8;
        break;
    case 17:
        // Without the fixed length the reply is read to the transport's end-of-frame rule.
        rtuLength = m_bFixedLengthSlaveId ? 28 : 1024;
        break;
    case 22:
    case 101:
        rtuLength = 10;
        break;
    case 100:
        rtuLength = WordAt(m_Request, 6) + (m_nReadFileFormat <= 1 ? 6u : 11u);
        break;
    case 102:
        rtuLength = 24;
        break;
    case 103:
        rtuLength = 228;
        break;
    default:
        rtuLength = 0;
        break;
    }
    // A block read near 64 KiB no longer fits the 16-bit length once framed.
    const uint32_t lineLength = FrameLengthForMode(rtuLength, mode);
    if (lineLength > 0xFFFFu)
        return MODBUSCOMM_E_MAX_PACKET;
    length = static_cast<USHORT>(lineLength);
    return S_OK;
}

bool CModbusMessage::DecodeResponse(const CByteBuffer& received)
{
    switch (m_nMode)
    {
    case MODBUS_MODE_RTU:
        return DecodeRtuFrame(received, m_DecodedReply) != FALSE;
    case MODBUS_MODE_ASCII:
        return DecodeAsciiFrame(received, m_DecodedReply) != FALSE;
    case MODBUS_MODE_TCP:
        return DecodeTcpFrame(received, m_DecodedReply) != FALSE;
    default:
        return false;
    }
}

HRESULT CModbusMessage::ValidateResponse(const CByteBuffer& received)
{
    if (!m_bEncoded)
        return MODBUSCOMM_E_MESSAGE_NOT_INITIALIZED;
    // A failed validation must not leave an earlier reply standing as valid.
    m_bResponseValid = false;
    m_DecodedReply.Clear();
    m_bResponseReceived = true;

    if (!CheckResponseFrame(m_nMode, received, m_nReadFileFormat))
        return MODBUSCOMM_E_INVALID_RESPONSE_FORMAT;
    if (m_nMode == MODBUS_MODE_TCP && (ByteAt(received, 0) != ByteAt(m_FramedRequest, 0) ||
                                       ByteAt(received, 1) != ByteAt(m_FramedRequest, 1)))
        return MODBUSCOMM_E_IP_SEQUENCE;
    if (!DecodeResponse(received))
        return MODBUSCOMM_E_INVALID_RESPONSE_CRC;
    if (m_DecodedReply.GetLength() < 5)
        return MODBUSCOMM_E_INVALID_RESPONSE_LENGTH;
    if (ByteAt(m_DecodedReply, 0) != ByteAt(m_Request, 0))
        return MODBUSCOMM_E_INVALID_RESPONSE_ADDRESS;
    if ((ByteAt(m_DecodedReply, 1) & 0x7F) != ByteAt(m_Request, 1))
        return MODBUSCOMM_E_INVALID_RESPONSE_FUNCTION;
    m_bResponseValid = true;
    return S_OK;
}

bool CModbusMessage::IsException() const
{
    return m_bResponseValid && (ByteAt(m_DecodedReply, 1) & 0x80) != 0;
}

HRESULT CModbusMessage::GetExceptionResult() const
{
    return IsException() ? MODBUSCOMM_E_EXCEPTION_BASE + ByteAt(m_DecodedReply, 2) : S_OK;
}

HRESULT CModbusMessage::GetResponseData(CByteBuffer& data) const
{
    data.Clear();
    if (!m_bResponseValid || IsException())
        return S_OK;
    const uint32_t header = ResponseHeaderLength(ByteAt(m_DecodedReply, 1), m_nReadFileFormat);
    const uint32_t end = m_DecodedReply.GetLength() - kCrcLength;
    if (end <= header)
        return S_OK;
    return data.Append(end - header, m_DecodedReply.GetData() + header) ? S_OK : E_OUTOFMEMORY;
}
