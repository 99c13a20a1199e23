// The serial transport handle: a COM port opened by its number ("COM n", resolved through the port
// table) and shared with every other handle of the process that opened the same number. Its name is
// "COM %u" with the port number (0 while closed). GetImpl gives the shared implementation to the
// operations that other layers call on it directly (CSerialCommImpl::GetPortConfig, SetPortConfig,
// AddRef).
#pragma once

#include "comm/SerialCommImpl.h"
#include "comm/TransportHandle.h"
#include "foundation/ResultCodes.h"

namespace NVTools
{

class CSerialComm : public CTransportHandle<CSerialCommImpl, SERIALCOMM_E_OBJECT_INVALID>
{
public:
    // No implementation until Open succeeds.
    CSerialComm() = default;
    // Shares the other handle's line (a reference more); nothing when it has none.
    CSerialComm(const CSerialComm& other) : CTransportHandle(Share(other)) {}
    CSerialComm& operator=(const CSerialComm&) = delete;

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

    HRESULT PurgeInput() override;
    HRESULT PurgeOutput() override;
    ULONG GetConnectionType() const override { return IOCONNECTION_SERIAL; }
    // Lets go of the line and keeps no implementation.
    void Reset() override { Release(); }
    CSerialComm* AsSerial() override { return this; }
};

} // namespace NVTools
