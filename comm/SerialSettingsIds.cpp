#include "comm/SerialSettingsIds.h"

#include <cmath>

#include "foundation/ResultCodes.h"

namespace
{

constexpr ULONG kBaudRates[SERIAL_BAUD_ID_COUNT] = {300,   600,   1200,   2400,   4800,   9600,  19200,
                                                    38400, 57600, 115200, 128000, 230400, 256000};

} // namespace

ULONG GetBaudRateOfId(ULONG baudId)
{
    return baudId < SERIAL_BAUD_ID_COUNT ? kBaudRates[baudId] : 0;
}

BOOL FindBaudId(ULONG baudRate, ULONG& baudId)
{
    for (ULONG id = 0; id < SERIAL_BAUD_ID_COUNT; ++id)
    {
        if (kBaudRates[id] == baudRate)
        {
            baudId = id;
            return TRUE;
        }
    }
    return FALSE;
}

HRESULT CheckPortSettingsIds(ULONG baudId, ULONG dataBitsId, ULONG parityId, ULONG stopBitsId)
{
    if (baudId >= SERIAL_BAUD_ID_COUNT)
        return MODBUSCOMM_E_INVALID_BAUD_ID;
    if (dataBitsId >= SERIAL_DATA_BITS_ID_COUNT)
        return MODBUSCOMM_E_INVALID_DATA_BITS_ID;
    if (parityId >= SERIAL_PARITY_ID_COUNT)
        return MODBUSCOMM_E_INVALID_PARITY_ID;
    if (stopBitsId >= SERIAL_STOP_BITS_ID_COUNT)
        return MODBUSCOMM_E_INVALID_STOP_BITS_ID;
    return S_OK;
}

void SetDcbFromIds(DCB& dcb, ULONG baudId, ULONG dataBitsId, ULONG parityId, ULONG stopBitsId)
{
    dcb.BaudRate = GetBaudRateOfId(baudId);
    dcb.ByteSize = dataBitsId == 1 ? 8 : 7;
    switch (parityId)
    {
    case 0:
        dcb.Parity = EVENPARITY;
        dcb.fParity = 1;
        break;
    case 1:
        dcb.Parity = ODDPARITY;
        dcb.fParity = 1;
        break;
    case 2:
        dcb.Parity = NOPARITY;
        dcb.fParity = 0;
        break;
    default:
        break;
    }
    dcb.StopBits = stopBitsId == 1 ? TWOSTOPBITS : ONESTOPBIT;
}

BOOL GetIdsFromDcb(const DCB& dcb, ULONG& baudId, ULONG& dataBitsId, ULONG& parityId, ULONG& stopBitsId)
{
    ULONG baud = 0;
    if (!FindBaudId(dcb.BaudRate, baud))
        return FALSE;
    baudId = baud;
    dataBitsId = dcb.ByteSize == 8 ? 1 : 0;
    if (dcb.Parity == NOPARITY)
        parityId = 2;
    else if (dcb.Parity == ODDPARITY)
        parityId = 1;
    else if (dcb.Parity == EVENPARITY)
        parityId = 0;
    stopBitsId = dcb.StopBits == TWOSTOPBITS ? 1 : 0;
    return TRUE;
}

CWideString FormatPortSettings(ULONG baudRate, ULONG dataBitsId, ULONG parityId, ULONG stopBitsId)
{
    const char16_t* parity = parityId == 0 ? u"Even" : parityId == 1 ? u"Odd" : u"None";
    return CWideString(u"Baud: %u DataBits: %d Parity: %s StopBits: %d", baudRate, dataBitsId != 0 ? 8 : 7,
                       parity, stopBitsId != 0 ? 2 : 1);
}

ULONG GetWriteMultiplierForBaud(ULONG baudRate)
{
    if (baudRate == 0)
        return 1;
    const double perByte = std::trunc((1.0 / std::ceil(baudRate / 11.0) + 0.0005) * 1000.0);
    return perByte < 1.0 ? 1 : static_cast<ULONG>(perByte);
}
