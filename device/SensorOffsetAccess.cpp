// Single registers of a sensor window by their offset from the window's base: the settings that
// belong to one kind of sensor, read and written by the sensor classes. Nothing here is cached.
#include "device/DeviceComm.h"
#include "device/SensorCtrl.h"
#include "foundation/CommTimeouts.h"

namespace NVSystem
{

namespace
{

constexpr USHORT kUShortRegisters = 1;
constexpr USHORT kULongRegisters = 2;
constexpr USHORT kFloatRegisters = 2;
constexpr USHORT kTimeRegisters = 3;

} // namespace

HRESULT CSensorCtrl::CheckOffset(USHORT offset, USHORT registers) const
{
    if (m_pNetwork == nullptr || !m_pNetwork->IsTagged())
        return MODBUSCOMM_E_NO_CONNECTION;
    if (!SensorWindowHolds(uint32_t{m_Connection.SensorBase} + offset, registers))
        return MODBUSCOMM_E_INVALID_SENSOR_PORT;
    return S_OK;
}

USHORT CSensorCtrl::OffsetRegister(USHORT offset) const
{
    return static_cast<USHORT>(m_Connection.SensorBase + offset);
}

void CSensorCtrl::TraceOffsetFailure(const char16_t* text, USHORT offset, HRESULT hr)
{
    m_Trace << TRACE_LEVEL1 << text << offset << u", port: " << m_nConnection << u", EC: " << TraceHr(hr)
            << TRACE_END;
}

HRESULT CSensorCtrl::ReadUShortAtOffset(USHORT offset, USHORT& value)
{
    return Run(CHECK_SIGNATURE,
               [&]
               {
                   HRESULT hr = CheckOffset(offset, kUShortRegisters);
                   if (Succeeded(hr))
                       hr = m_pNetwork->ReadUShort(Address(), OffsetRegister(offset), value,
                                                   GetReadRegisterTimeout(), Retries());
                   if (Failed(hr))
                       TraceOffsetFailure(u"Failed to read USHORT value at sensor offset: ", offset, hr);
                   return hr;
               });
}

HRESULT CSensorCtrl::WriteUShortAtOffset(USHORT offset, USHORT value)
{
    return Run(CHECK_SIGNATURE,
               [&]
               {
                   HRESULT hr = CheckOffset(offset, kUShortRegisters);
                   if (Succeeded(hr))
                       hr = m_pNetwork->WriteUShort(Address(), OffsetRegister(offset), value,
                                                    GetReadRegisterTimeout(), Retries());
                   if (Failed(hr))
                       TraceOffsetFailure(u"Failed to write USHORT value at sensor offset: ", offset, hr);
                   return hr;
               });
}

HRESULT CSensorCtrl::ReadULongAtOffset(USHORT offset, ULONG& value)
{
    return Run(CHECK_SIGNATURE,
               [&]
               {
                   HRESULT hr = CheckOffset(offset, kULongRegisters);
                   if (Succeeded(hr))
                       hr = m_pNetwork->ReadULong(Address(), OffsetRegister(offset), value,
                                                  GetReadRegisterTimeout(), Retries());
                   if (Failed(hr))
                       TraceOffsetFailure(u"Failed to read ULONG value at sensor offset: ", offset, hr);
                   return hr;
               });
}

HRESULT CSensorCtrl::ReadFloatAtOffset(USHORT offset, float& value)
{
    return Run(CHECK_SIGNATURE,
               [&]
               {
                   HRESULT hr = CheckOffset(offset, kFloatRegisters);
                   if (Succeeded(hr))
                       hr = m_pNetwork->ReadFloat(Address(), OffsetRegister(offset), value,
                                                  GetReadRegisterTimeout(), Retries());
                   if (Failed(hr))
                       TraceOffsetFailure(u"Failed to read FLOAT value at sensor offset: ", offset, hr);
                   return hr;
               });
}

HRESULT CSensorCtrl::WriteFloatAtOffset(USHORT offset, float value)
{
    return Run(CHECK_SIGNATURE,
               [&]
               {
                   HRESULT hr = CheckOffset(offset, kFloatRegisters);
                   if (Succeeded(hr))
                       hr = m_pNetwork->WriteFloat(Address(), OffsetRegister(offset), value,
                                                   GetReadRegisterTimeout(), Retries());
                   if (Failed(hr))
                       TraceOffsetFailure(u"Failed to write FLOAT value at sensor offset: ", offset, hr);
                   return hr;
               });
}

HRESULT CSensorCtrl::ReadTimeAtOffset(USHORT offset, CDeviceTimestamp& time)
{
    return Run(CHECK_SIGNATURE,
               [&]
               {
                   HRESULT hr = CheckOffset(offset, kTimeRegisters);
                   if (Succeeded(hr))
                       hr = m_pNetwork->ReadTime(Address(), OffsetRegister(offset), time,
                                                 GetReadRegisterTimeout(), Retries());
                   if (Failed(hr))
                       TraceOffsetFailure(u"Failed to read TIME value at sensor offset: ", offset, hr);
                   return hr;
               });
}

} // namespace NVSystem
