// The line configuration of a serial port: time-outs, the DCB with its settings ids, modem lines and
// the framing mode.
#include "comm/SerialCommImpl.h"

#include <cerrno>

#include "comm/SerialSettingsIds.h"
#include "foundation/ResultCodes.h"
#include "foundation/ScopedLock.h"

namespace NVTools
{

namespace
{

// What the device is asked for by a line configuration; false for what a termios line cannot do
// (1.5 stop bits, hardware or software handshaking).
bool ToLineSettings(const DCB& dcb, platform::SerialLineSettings& settings)
{
    if (dcb.fOutxCtsFlow || dcb.fOutxDsrFlow || dcb.fOutX || dcb.fInX || dcb.fDsrSensitivity ||
        dcb.fDtrControl == DTR_CONTROL_HANDSHAKE || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE ||
        dcb.fRtsControl == RTS_CONTROL_TOGGLE || dcb.StopBits == ONE5STOPBITS || dcb.StopBits > TWOSTOPBITS ||
        dcb.Parity > SPACEPARITY)
        return false;
    settings.baudRate = dcb.BaudRate;
    settings.dataBits = dcb.ByteSize;
    static constexpr platform::SerialParity kParities[] = {
        platform::SerialParity::None, platform::SerialParity::Odd, platform::SerialParity::Even,
        platform::SerialParity::Mark, platform::SerialParity::Space};
    settings.parity = kParities[dcb.Parity];
    settings.stopBits = dcb.StopBits == TWOSTOPBITS ? 2 : 1;
    settings.dtr = dcb.fDtrControl == DTR_CONTROL_ENABLE;
    settings.rts = dcb.fRtsControl == RTS_CONTROL_ENABLE;
    return true;
}

} // namespace

HRESULT CSerialCommImpl::InitialConfiguration()
{
    const HRESULT hr = SetPortTiming(DefaultTimeouts());
    if (Failed(hr))
        return hr;
    return ApplyDcb(DefaultDcb());
}

HRESULT CSerialCommImpl::SetPortTiming(const COMMTIMEOUTS& timeouts)
{
    CScopedLock lock(m_ObjectLock);
    if (!IsOpen())
        return SERIALCOMM_E_PORT_CLOSED;
    if (m_bTimeoutsKnown && timeouts == m_Timeouts)
    {
        m_Trace << TRACE_LEVEL1 << u"CSerialCommImpl::SetPortTiming: - no changes" << TRACE_END;
        return S_OK;
    }
    m_Trace << TRACE_LEVEL1 << u"CSerialCommImpl::SetPortTiming - CommTO: "
            << u"\n   Read Inter-Char TO(ms):          " << timeouts.ReadIntervalTimeout
            << u"\n   Read Timeout multiplier(ms):     " << timeouts.ReadTotalTimeoutMultiplier
            << u"\n   Read Total Timeout constant(ms): " << timeouts.ReadTotalTimeoutConstant
            << u"\n   Write Timeout multiplier(ms):    " << timeouts.WriteTotalTimeoutMultiplier
            << u"\n   Write Timeout constant(ms):      " << timeouts.WriteTotalTimeoutConstant << TRACE_END;
    // The time-outs are the transport's own bookkeeping: every wait is a poll() of that length, so
    // there is no driver call that could refuse them.
    m_Trace << TRACE_LEVEL1 << u"CSerialCommImpl::SetPortTiming: - updated successfully." << TRACE_END;
    m_Timeouts = timeouts;
    m_bTimeoutsKnown = 1;
    return S_OK;
}

bool CSerialCommImpl::SetCommState(const DCB& dcb)
{
    platform::SerialLineSettings settings;
    const int error = ToLineSettings(dcb, settings) ? m_Device.Apply(settings) : EINVAL;
    if (error != 0)
        m_nLastError = static_cast<uint32_t>(error);
    return error == 0;
}

bool CSerialCommImpl::GetCommState(DCB& dcb)
{
    platform::SerialLineSettings settings;
    if (const int error = m_Device.Query(settings); error != 0)
    {
        m_nLastError = static_cast<uint32_t>(error);
        return false;
    }
    dcb.BaudRate = settings.baudRate;
    dcb.ByteSize = settings.dataBits;
    static constexpr BYTE kParities[] = {NOPARITY, ODDPARITY, EVENPARITY, MARKPARITY, SPACEPARITY};
    dcb.Parity = kParities[static_cast<size_t>(settings.parity)];
    dcb.fParity = settings.parity != platform::SerialParity::None ? 1 : 0;
    dcb.StopBits = settings.stopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
    dcb.fDtrControl = settings.dtr ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
    dcb.fRtsControl = settings.rts ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
    return true;
}

HRESULT CSerialCommImpl::ApplyDcb(const DCB& dcb)
{
    CScopedLock lock(m_ObjectLock);
    if (!IsOpen())
        return SERIALCOMM_E_PORT_CLOSED;
    const USHORT port = GetPortNumber();
    if (m_bDcbKnown && !IsDcbDifferent(dcb, m_Dcb))
    {
        m_Trace << TRACE_LEVEL1 << u"Port: " << port << u" - DCB Configuration success - No update required"
                << TRACE_END;
        return S_OK;
    }
    m_Trace << TRACE_LEVEL1 << u"Port: " << port << u"  Attempting DCB update." << TRACE_END;
    if (!SetCommState(dcb))
    {
        m_Trace << TRACE_LEVEL1 << u"Port: " << port << u"  failed to set DCB - " << GetLastErrorText()
                << u" - attempting retry" << TRACE_END;
        m_bDcbKnown = 0;
        if (Failed(ClearCommErrors()) || !SetCommState(dcb))
            return SERIALCOMM_E_SET_DCB;
    }
    const DWORD previousBaud = m_Dcb.BaudRate;
    StoreDcb(dcb);
    m_bDcbKnown = 1;
    m_bConfigured = 1;
    m_Trace << TRACE_LEVEL1 << u"Port: " << port << u"  DCB updated successfully." << TRACE_END;
    if (previousBaud == dcb.BaudRate)
        return S_OK;
    m_Trace << TRACE_LEVEL1 << u"Port: " << port << u"  - adjusting port write timing for baud rate change."
            << TRACE_END;
    return AdjustWriteTiming();
}

HRESULT CSerialCommImpl::AdjustWriteTiming()
{
    COMMTIMEOUTS timeouts = m_bTimeoutsKnown ? m_Timeouts : DefaultTimeouts();
    timeouts.WriteTotalTimeoutMultiplier = GetWriteMultiplierForBaud(m_Dcb.BaudRate);
    return SetPortTiming(timeouts);
}

HRESULT CSerialCommImpl::SetPortConfig(ULONG baudId, ULONG dataBitsId, ULONG parityId, ULONG stopBitsId)
{
    CScopedLock lock(m_ObjectLock);
    m_nLastError = 0;
    const USHORT port = GetPortNumber();
    // Before anything is looked up by the ids: they may come from a stored connection string.
    if (const HRESULT refused = CheckPortSettingsIds(baudId, dataBitsId, parityId, stopBitsId);
        Failed(refused))
    {
        m_Trace << TRACE_LEVEL1 << u"Port: " << port << u" - port configuration refused, id out of range - "
                << TraceHr(refused) << TRACE_END;
        return refused;
    }
    m_Trace << TRACE_LEVEL1 << u"Port: " << port << u" setting port configuration:\n"
            << u"\t" << FormatPortSettings(GetBaudRateOfId(baudId), dataBitsId, parityId, stopBitsId)
            << TRACE_END;
    if (!IsOpen())
        return SERIALCOMM_E_PORT_CLOSED;
    DCB dcb = m_bDcbKnown ? m_Dcb : DefaultDcb();
    SetDcbFromIds(dcb, baudId, dataBitsId, parityId, stopBitsId);
    const HRESULT hr = ApplyDcb(dcb);
    if (Failed(hr))
    {
        m_Trace << TRACE_LEVEL1 << u"Port: " << port << u" - Error updating DCB - " << GetLastErrorText()
                << TRACE_END;
        return hr;
    }
    m_Trace << TRACE_LEVEL1 << u"Port: " << port << u" - DCB Configuration success - DCB updated"
            << TRACE_END;
    return S_OK;
}

HRESULT CSerialCommImpl::GetPortConfig(ULONG* baudId, ULONG* dataBitsId, ULONG* parityId, ULONG* stopBitsId)
{
    CScopedLock lock(m_ObjectLock);
    m_nLastError = 0;
    const USHORT port = GetPortNumber();
    m_Trace << TRACE_LEVEL1 << u"Port: " << port << u" getting port configuration..." << TRACE_END;
    if (!IsOpen())
        return SERIALCOMM_E_PORT_CLOSED;
    if (baudId == nullptr || dataBitsId == nullptr || parityId == nullptr || stopBitsId == nullptr)
        return E_POINTER;
    if (!m_bDcbKnown)
    {
        DCB dcb = m_Dcb;
        if (!GetCommState(dcb))
        {
            m_Trace << TRACE_LEVEL1 << u"Port: " << port << u" failed to get DCB - error (HR): "
                    << TraceHr(SERIALCOMM_E_GET_STATUS) << TRACE_END;
            return SERIALCOMM_E_GET_STATUS;
        }
        StoreDcb(dcb);
        m_bDcbKnown = 1;
    }
    if (!GetIdsFromDcb(m_Dcb, *baudId, *dataBitsId, *parityId, *stopBitsId))
        return E_FAIL;
    m_Trace << TRACE_LEVEL1 << u"Port: " << port << u" getting port configuration:\n"
            << u"\t" << FormatPortSettings(m_Dcb.BaudRate, *dataBitsId, *parityId, *stopBitsId) << TRACE_END;
    return S_OK;
}

HRESULT CSerialCommImpl::SetDTR(int /*value*/)
{
    CScopedLock lock(m_ObjectLock);
    m_nLastError = 0;
    DCB dcb = m_Dcb;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    return ApplyDcb(dcb);
}

HRESULT CSerialCommImpl::SetRTS(int /*value*/)
{
    CScopedLock lock(m_ObjectLock);
    m_nLastError = 0;
    DCB dcb = m_Dcb;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    return ApplyDcb(dcb);
}

HRESULT CSerialCommImpl::SetModeRTU()
{
    CScopedLock lock(m_ObjectLock);
    m_nFramingMode = SERIAL_FRAMING_RTU;
    m_Trace << TRACE_LEVEL1 << u"Port: " << GetPortNumber() << u" - setting mode to Modbus RTU" << TRACE_END;
    return S_OK;
}

HRESULT CSerialCommImpl::SetModeASCII(int /*eomCharacter*/)
{
    CScopedLock lock(m_ObjectLock);
    m_nFramingMode = SERIAL_FRAMING_ASCII;
    m_nEomByte = 0x0A;
    m_Trace << TRACE_LEVEL1 << u"Port: " << GetPortNumber() << u" - setting mode to ASCII, EOM character: "
            << static_cast<unsigned>(m_nEomByte) << TRACE_END;
    return S_OK;
}

} // namespace NVTools
