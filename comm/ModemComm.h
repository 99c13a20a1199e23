// The modem transport handle. The application never creates one: a network object copies an
// existing modem line's handle (CModbusComm::CloneCommLink), and a handle without a line of its
// own gets a fresh, closed one. Nothing here dials, so a line answers every read and write with
// TAPI_E_PORT_CLOSED until a connection side attaches it (CModemCommImpl). Its name is "Phone-%u";
// GetImpl gives the shared implementation to its connection side.
#pragma once

#include "comm/ModemCommImpl.h"
#include "comm/TransportHandle.h"
#include "foundation/ResultCodes.h"

namespace NVTools
{

class CModemComm : public CTransportHandle<CModemCommImpl, TAPI_E_OBJECT_INVALID>
{
public:
    // A fresh, closed line.
    CModemComm() : CTransportHandle(CModemCommImpl::Create()) {}
    // Takes over one reference of impl; null leaves the handle without a line.
    explicit CModemComm(CModemCommImpl* impl) : CTransportHandle(impl) {}
    // Shares the other handle's line (a reference more); a fresh line when it has none.
    CModemComm(const CModemComm& other);
    CModemComm& operator=(const CModemComm&) = delete;

    HRESULT PurgeInput() override;
    HRESULT PurgeOutput() override;
    ULONG GetConnectionType() const override { return IOCONNECTION_MODEM; }
    // Lets go of the line and takes a fresh, closed one.
    void Reset() override;
    CModemComm* AsModem() override { return this; }
};

} // namespace NVTools
