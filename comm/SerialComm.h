// The serial transport handle: a COM port opened by its number ("COM n", resolved through the port
// table) and shared with every other handle of the process that opened the same number.
#pragma once

#include "comm/IOAbstract.h"
#include "comm/SerialCommImpl.h"

namespace NVTools
{

class CSerialComm : public IIOAbstract
{
public:
    // No implementation until Open succeeds.
    CSerialComm() = default;
    // Shares the other handle's line (a reference more); nothing when it has none.
    CSerialComm(const CSerialComm& other);
    CSerialComm& operator=(const CSerialComm&) = delete;
    ~CSerialComm() override;

    // Opens COM port number port for this handle, sharing the line when the process has it open
    // already. Opening the port the handle holds already changes nothing.
    HRESULT Open(USHORT port);
    HRESULT SetPortConfig(ULONG baudId, ULONG dataBitsId, ULONG parityId, ULONG stopBitsId);
    // Enable DTR (RTS); the argument has no effect.
    HRESULT SetDTR(int value);
    HRESULT SetRTS(int value);
    // Frames end at the inter-character silence (RTU) or at LF (ASCII; the argument has no effect).
    HRESULT SetModeRTU();
    HRESULT SetModeASCII(int eomCharacter);

    // The shared implementation, for the operations other layers call on it directly
    // (CSerialCommImpl::GetPortConfig, SetPortConfig, AddRef). Null without one.
    CSerialCommImpl* GetImpl() const { return m_pImpl; }

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
    ULONG GetConnectionType() const override { return IOCONNECTION_SERIAL; }
    HRESULT AttachTraceLog(ULONG fileId) override;
    HRESULT DetachTraceLog() override;
    HRESULT OpenTraceLog(const char16_t* path, ULONG* fileId) override;
    HRESULT CloseTraceLog() override;
    bool IsTraceLogOpen() const override;
    ULONG GetLastErrorCode() const override;
    CWideString GetLastErrorText() const override;
    HRESULT GetStatistics(ULONG* sent, ULONG* received, ULONG* delivered) override;
    HRESULT ResetStatistics() override;
    // "COM %u" with the port number (0 while closed).
    CWideString GetName() const override;
    // Lets go of the line and keeps no implementation.
    void Reset() override;
    CSerialComm* AsSerial() override { return this; }

private:
    CSerialCommImpl* m_pImpl = nullptr;
};

} // namespace NVTools
