#include "foundation/SerialDcb.h"

uint32_t GetDcbFlags(const DCB& dcb)
{
    return dcb.fBinary | dcb.fParity << 1 | dcb.fOutxCtsFlow << 2 | dcb.fOutxDsrFlow << 3 |
           dcb.fDtrControl << 4 | dcb.fDsrSensitivity << 6 | dcb.fTXContinueOnXoff << 7 | dcb.fOutX << 8 |
           dcb.fInX << 9 | dcb.fErrorChar << 10 | dcb.fNull << 11 | dcb.fRtsControl << 12 |
           dcb.fAbortOnError << 14 | dcb.fDummy2 << 15;
}

void SetDcbFlags(DCB& dcb, uint32_t flags)
{
    dcb.fBinary = flags & 1;
    dcb.fParity = flags >> 1 & 1;
    dcb.fOutxCtsFlow = flags >> 2 & 1;
    dcb.fOutxDsrFlow = flags >> 3 & 1;
    dcb.fDtrControl = flags >> 4 & 3;
    dcb.fDsrSensitivity = flags >> 6 & 1;
    dcb.fTXContinueOnXoff = flags >> 7 & 1;
    dcb.fOutX = flags >> 8 & 1;
    dcb.fInX = flags >> 9 & 1;
    dcb.fErrorChar = flags >> 10 & 1;
    dcb.fNull = flags >> 11 & 1;
    dcb.fRtsControl = flags >> 12 & 3;
    dcb.fAbortOnError = flags >> 14 & 1;
    dcb.fDummy2 = flags >> 15;
}

BOOL IsDcbDifferent(const DCB& a, const DCB& b)
{
    const bool same = a.DCBlength == b.DCBlength && a.BaudRate == b.BaudRate &&
                      GetDcbFlags(a) == GetDcbFlags(b) && a.wReserved == b.wReserved &&
                      a.XonLim == b.XonLim && a.XoffLim == b.XoffLim && a.ByteSize == b.ByteSize &&
                      a.Parity == b.Parity && a.StopBits == b.StopBits && a.XonChar == b.XonChar &&
                      a.XoffChar == b.XoffChar && a.ErrorChar == b.ErrorChar && a.EofChar == b.EofChar &&
                      a.EvtChar == b.EvtChar && a.wReserved1 == b.wReserved1;
    return same ? FALSE : TRUE;
}
