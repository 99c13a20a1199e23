// The TCP/IP transport handle: Modbus ASCII messages over a TCP connection that the line opens
// itself, by dotted IPv4 address or host name (Open). A network object copies an existing line's
// handle (CModbusComm::CloneCommLink); a handle without a line of its own gets a fresh, closed one.
// Its name is "%s-%u" with the address text and the port; GetImpl gives the shared implementation
// (its reconnect and resolver settings).
#pragma once

#include "comm/IPCommImpl.h"
#include "comm/TransportHandle.h"
#include "foundation/ResultCodes.h"

namespace NVTools
{

class CIPComm : public CTransportHandle<CIPCommImpl, IPCOMM_E_OBJECT_INVALID>
{
public:
    // A fresh, closed line.
    CIPComm() : CTransportHandle(CIPCommImpl::Create()) {}
    // Takes over one reference of impl; null leaves the handle without a line.
    explicit CIPComm(CIPCommImpl* impl) : CTransportHandle(impl) {}
    // Shares the other handle's line (a reference more); a fresh line when it has none.
    CIPComm(const CIPComm& other);
    CIPComm& operator=(const CIPComm&) = delete;

    // Connects the line to port of a dotted IPv4 address or a host name (CIPCommImpl::Open); a
    // handle without a line takes a fresh one first.
    HRESULT Open(const char16_t* address, USHORT port);

    // The same as Purge.
    HRESULT PurgeInput() override;
    // Nothing to drop: a write hands its bytes to the socket at once.
    HRESULT PurgeOutput() override;
    ULONG GetConnectionType() const override { return IOCONNECTION_IP; }
    // A handle without a line takes a fresh one first.
    HRESULT AttachTraceLog(ULONG fileId) override;
    // Lets go of the line and takes a fresh, closed one.
    void Reset() override;
    CIPComm* AsIP() override { return this; }
};

} // namespace NVTools
