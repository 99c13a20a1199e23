// Report Slave ID: the identity block every instrument answers with.
#include "comm/ModbusComm.h"
#include "foundation/ResultCodes.h"
#include "foundation/ScopedLock.h"

HRESULT CModbusComm::RequestSlaveId(USHORT address, CByteBuffer& data, ULONG timeoutMs, USHORT retries)
{
    return Guarded(
        [&]
        {
            data.Allocate(0);
            CScopedLock line(m_LineLock);
            ClearCancel();
            if (address > 255)
                return MODBUSCOMM_E_INVALID_DEVICE_ADDRESS;
            if (const HRESULT hr = m_pMessage->BuildReportSlaveId(address); Failed(hr))
                return hr;
            if (const HRESULT hr = RunTransaction(timeoutMs, retries); Failed(hr))
                return hr;
            return m_pMessage->GetResponseData(data);
        });
}

HRESULT CModbusComm::ReportSlaveId(USHORT address, SlaveIdInfo& record, ULONG timeoutMs, USHORT retries)
{
    return Guarded(
        [&]
        {
            if (address > 255)
                return MODBUSCOMM_E_INVALID_ADDRESS;
            record.Clear();
            CScopedLock line(m_LineLock);
            ClearCancel();
            CByteBuffer data;
            if (const HRESULT hr = RequestSlaveId(address, data, timeoutMs, retries); Failed(hr))
                return hr;
            return DecodeSlaveIdInfo(data, record);
        });
}
