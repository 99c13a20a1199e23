// The maker's file functions: the extended file request (102) that sets up and ends a transfer,
// and the block reads (100) and writes (101) that move its bytes.
#include "comm/ModbusComm.h"
#include "foundation/BufferReader.h"
#include "foundation/DeviceTimestamp.h"
#include "foundation/ResultCodes.h"
#include "foundation/ScopedLock.h"

HRESULT CModbusComm::ExtendedFileRequest(USHORT address, sFileCommand& record, ULONG timeoutMs,
                                         USHORT retries)
{
    return Guarded(
        [&]
        {
            CScopedLock line(m_LineLock);
            ClearCancel();
            if (address > 255)
                return MODBUSCOMM_E_INVALID_ADDRESS;
            const uint32_t highWordFirst = m_bHighWordFirst.load();
            if (const HRESULT hr = m_pMessage->BuildExtendedFileRequest(address, record, highWordFirst);
                Failed(hr))
                return hr;
            if (const HRESULT hr = RunTransaction(timeoutMs, retries); Failed(hr))
                return hr;
            CByteBuffer data;
            if (const HRESULT hr = m_pMessage->GetResponseData(data); Failed(hr))
                return hr;

            // The record changes only when the whole reply record was read.
            CBufferReader reader(data);
            reader.m_bHighWordFirst = highWordFirst;
            sFileCommand reply(0, 0);
            if (Failed(reader.ReadUShort(reply.Command)) || Failed(reader.ReadUShort(reply.FileNumber)) ||
                Failed(reader.ReadULong(reply.Size)) || Failed(ReadDeviceTimestamp(reader, reply.Start)) ||
                Failed(ReadDeviceTimestamp(reader, reply.Stop)))
                return E_BUFFER_EXTRACTION_OVERRUN;
            record = reply;
            return S_OK;
        });
}

HRESULT CModbusComm::ReadFileBlock(USHORT address, ULONG offset, USHORT length, CByteBuffer& data,
                                   ULONG timeoutMs, USHORT retries, USHORT readFileFormat)
{
    return Guarded(
        [&]
        {
            data.Clear();
            if (length == 0)
                return S_OK;
            CScopedLock line(m_LineLock);
            ClearCancel();
            if (address > 255)
                return MODBUSCOMM_E_INVALID_ADDRESS;
            if (const HRESULT hr = m_pMessage->BuildReadFileBlock(address, offset, length, readFileFormat,
                                                                  m_bHighWordFirst.load());
                Failed(hr))
                return hr;
            if (const HRESULT hr = RunTransaction(timeoutMs, retries); Failed(hr))
                return hr;
            return m_pMessage->GetResponseData(data);
        });
}

HRESULT CModbusComm::WriteFileBlock(USHORT address, ULONG offset, const CByteBuffer& data, ULONG timeoutMs,
                                    USHORT retries)
{
    return Guarded(
        [&]
        {
            if (data.GetLength() == 0)
                return S_OK;
            CScopedLock line(m_LineLock);
            ClearCancel();
            if (address > 255)
                return MODBUSCOMM_E_INVALID_ADDRESS;
            if (const HRESULT hr =
                    m_pMessage->BuildWriteFileBlock(address, offset, data, m_bHighWordFirst.load());
                Failed(hr))
                return hr;
            return RunTransaction(timeoutMs, retries);
        });
}
