// The TCP/IP transport handle: Modbus ASCII messages over a TCP connection that the line opens
// itself, by dotted IPv4 address or host name (Open). A network object copies an existing line's
// handle (CModbusComm::CloneCommLink); a handle without a line of its own gets a fresh, closed one.
#pragma once

#include "comm/IOAbstract.h"
#include "comm/IPCommImpl.h"

namespace NVTools
{

class CIPComm : public IIOAbstract
{
public:
    // A fresh, closed line.
    CIPComm();
    // Takes over one reference of impl; null leaves the handle without a line.
    explicit CIPComm(CIPCommImpl* impl);
    // Shares the other handle's line (a reference more); a fresh line when it has none.
    CIPComm(const CIPComm& other);
    CIPComm& operator=(const CIPComm&) = delete;
    ~CIPComm() override;

    // Connects the line to port of a dotted IPv4 address or a host name (CIPCommImpl::Open); a
    // handle without a line takes a fresh one first.
    HRESULT Open(const char16_t* address, USHORT port);

    // The shared implementation (its reconnect and resolver settings); null without one.
    CIPCommImpl* GetImpl() const { return m_pImpl; }

    bool IsValid() const override;
    HRESULT Close() override;
    bool IsOpen() const override;
    ULONG GetRefCount() const override;
    HRESULT Write(const CByteBuffer& data, ULONG timeoutMs) override;
    HRESULT Read(ULONG expectedBytes, CByteBuffer& buffer, ULONG totalTimeoutMs,
                 CTransferControl* cancel) override;
    HRESULT PurgeInput() override;
    HRESULT PurgeOutput() override;
    // The same as PurgeInput.
    HRESULT Purge() override;
    ULONG GetConnectionType() const override { return IOCONNECTION_IP; }
    // A handle without a line takes a fresh one first.
    HRESULT AttachTraceLog(ULONG fileId) override;
    HRESULT DetachTraceLog() override;
    HRESULT OpenTraceLog(const char16_t* path, ULONG* fileId) override;
    HRESULT CloseTraceLog() override;
    bool IsTraceLogOpen() const override;
    ULONG GetLastErrorCode() const override;
    CWideString GetLastErrorText() const override;
    HRESULT GetStatistics(ULONG* sent, ULONG* received, ULONG* delivered) override;
    HRESULT ResetStatistics() override;
    // "%s-%u" with the address text and the port.
    CWideString GetName() const override;
    // Lets go of the line and takes a fresh, closed one.
    void Reset() override;
    CIPComm* AsIP() override { return this; }

private:
    void Release();

    CIPCommImpl* m_pImpl = nullptr;
};

} // namespace NVTools
