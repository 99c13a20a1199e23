// The modem transport handle. The application never creates one: a network object copies an
// existing modem line's handle (CModbusComm::CloneCommLink), and a handle without a line of its
// own gets a fresh, closed one. Nothing here dials, so a line answers every read and write with
// TAPI_E_PORT_CLOSED until a connection side attaches it (CModemCommImpl).
#pragma once

#include "comm/IOAbstract.h"
#include "comm/ModemCommImpl.h"

namespace NVTools
{

class CModemComm : public IIOAbstract
{
public:
    // A fresh, closed line.
    CModemComm();
    // Takes over one reference of impl; null leaves the handle without a line.
    explicit CModemComm(CModemCommImpl* impl);
    // Shares the other handle's line (a reference more); a fresh line when it has none.
    CModemComm(const CModemComm& other);
    CModemComm& operator=(const CModemComm&) = delete;
    ~CModemComm() override;

    // The shared implementation (for its connection side); null without one.
    CModemCommImpl* GetImpl() const { return m_pImpl; }

    bool IsValid() const override;
    HRESULT Close() override;
    bool IsOpen() const override;
    ULONG GetRefCount() const override;
    HRESULT Write(const CByteBuffer& data, ULONG timeoutMs) override;
    HRESULT Read(ULONG expectedBytes, CByteBuffer& buffer, ULONG totalTimeoutMs,
                 CTransferControl* cancel) override;
    HRESULT PurgeInput() override;
    HRESULT PurgeOutput() override;
    HRESULT Purge() override;
    ULONG GetConnectionType() const override { return IOCONNECTION_MODEM; }
    HRESULT AttachTraceLog(ULONG fileId) override;
    HRESULT DetachTraceLog() override;
    HRESULT OpenTraceLog(const char16_t* path, ULONG* fileId) override;
    HRESULT CloseTraceLog() override;
    bool IsTraceLogOpen() const override;
    ULONG GetLastErrorCode() const override;
    CWideString GetLastErrorText() const override;
    HRESULT GetStatistics(ULONG* sent, ULONG* received, ULONG* delivered) override;
    HRESULT ResetStatistics() override;
    // "Phone-%u".
    CWideString GetName() const override;
    // Lets go of the line and takes a fresh, closed one.
    void Reset() override;
    CModemComm* AsModem() override { return this; }

private:
    void Release();

    CModemCommImpl* m_pImpl = nullptr;
};

} // namespace NVTools
