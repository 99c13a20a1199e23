// The one request/reply of a Modbus master: the request builders, the framing of a request for the
// line's mode, the reply length to expect, and the validation of a received reply against the
// request. Requests and decoded replies are held in RTU form (address, PDU, CRC-16) whatever the
// framing, so everything after decoding reads one layout.
#pragma once

#include <cstdint>

#include "foundation/ByteBuffer.h"
#include "foundation/ParameterRecords.h"
#include "platform/Types.h"

class CModbusMessage
{
public:
    CModbusMessage() = default;
    CModbusMessage(const CModbusMessage&) = delete;
    CModbusMessage& operator=(const CModbusMessage&) = delete;

    // Forgets the request and the reply. The TCP transaction identifier keeps counting, so that a
    // late reply to an earlier request is never taken for the reply to the next one.
    void Reset();

    // Every builder resets the message first and leaves it reset when it refuses.

    // Functions 3 and 4: registerNumber is the number within its class (1..9999), sent less one.
    HRESULT BuildReadRegisters(USHORT address, USHORT registerNumber, USHORT count, BYTE function);
    // Function 16 to holding register registerNumber (within its class) onward; data holds 2 x count
    // bytes. Address 0 broadcasts.
    HRESULT BuildWriteRegisters(USHORT address, USHORT registerNumber, USHORT count, const CByteBuffer& data);
    // Function 17. The reply has a fixed length, and a read that times out counts as no reply. Only the
    // low byte of the address is sent: callers refuse addresses above 255.
    HRESULT BuildReportSlaveId(USHORT address);
    // Function 100: length file bytes from offset; the read-file format selects the reply's header.
    HRESULT BuildReadFileBlock(USHORT address, ULONG offset, USHORT length, USHORT readFileFormat,
                               BOOL highWordFirst);
    // Function 101: the data go to the file at offset. Address 0 broadcasts.
    HRESULT BuildWriteFileBlock(USHORT address, ULONG offset, const CByteBuffer& data, BOOL highWordFirst);
    // Function 102: the file command record (command, file number, size, Start and Stop time
    // stamps); its 32-bit fields in the word order.
    HRESULT BuildExtendedFileRequest(USHORT address, const sFileCommand& record, BOOL highWordFirst);

    // Frames the request for the mode and keeps the frame (GetFramedRequest).
    HRESULT Encode(ULONG mode);
    // The same; a copy of the frame goes to frame.
    HRESULT Encode(ULONG mode, CByteBuffer& frame);
    // Line bytes of the reply that the framed request calls for in the mode.
    HRESULT GetExpectedResponseLength(ULONG mode, USHORT& length) const;
    // Checks, decodes and matches a received frame against the framed request.
    HRESULT ValidateResponse(const CByteBuffer& received);

    // A valid reply that carries an exception code.
    bool IsException() const;
    // MODBUSCOMM_E_EXCEPTION_BASE + the exception code of an exception reply, else S_OK.
    HRESULT GetExceptionResult() const;
    // The data of a valid reply after its header, without the CRC; empty for an exception, an
    // invalid reply, or a reply that carries nothing after its header. The data buffer's block is
    // reused where it is large enough.
    HRESULT GetResponseData(CByteBuffer& data) const;

    USHORT GetSlaveAddress() const { return m_nSlaveAddress; }
    USHORT GetReadFileFormat() const { return m_nReadFileFormat; }
    USHORT GetTransactionId() const { return m_nTransactionId; }
    bool IsEncoded() const { return m_bEncoded; }
    bool IsBroadcast() const { return m_bBroadcast; }
    bool IsFixedLengthSlaveId() const { return m_bFixedLengthSlaveId; }
    bool IsResponseReceived() const { return m_bResponseReceived; }
    bool IsResponseValid() const { return m_bResponseValid; }
    const CByteBuffer& GetRequest() const { return m_Request; }
    const CByteBuffer& GetFramedRequest() const { return m_FramedRequest; }
    const CByteBuffer& GetDecodedReply() const { return m_DecodedReply; }

private:
    // Starts a request of length bytes (CRC included) with address and function; the caller
    // appends the rest, then FinishRequest appends the CRC or resets the message.
    bool BeginRequest(USHORT address, BYTE function, uint32_t length);
    HRESULT FinishRequest(bool bytesAppended);
    // The received frame in RTU form into the decoded reply, checked by the mode's CRC or LRC.
    bool DecodeResponse(const CByteBuffer& received);

    bool m_bEncoded = false;
    bool m_bResponseReceived = false;
    bool m_bResponseValid = false;
    bool m_bBroadcast = false;
    bool m_bFixedLengthSlaveId = false;
    USHORT m_nSlaveAddress = 0;
    USHORT m_nReadFileFormat = 0;
    USHORT m_nTransactionId = 0;
    ULONG m_nMode = 0;
    CByteBuffer m_FramedRequest;
    CByteBuffer m_Request;
    CByteBuffer m_DecodedReply;
};
