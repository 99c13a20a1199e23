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

USHORT CSensorCtrl::OffsetRegister(USHORT offset) const
{
    return static_cast<USHORT>(m_Connection.SensorBase + offset);
}

HRESULT CSensorCtrl::AccessAtOffset(USHORT offset, USHORT registers, const char16_t* failure,
                                    const std::function<HRESULT(USHORT registerNumber)>& access)
{
    return Run(CHECK_SIGNATURE,
               [&]
               {
                   HRESULT hr = S_OK;
                   if (m_pNetwork == nullptr || !m_pNetwork->IsTagged())
                       hr = MODBUSCOMM_E_NO_CONNECTION;
                   else if (!SensorWindowHolds(uint32_t{m_Connection.SensorBase} + offset, registers))
                       hr = MODBUSCOMM_E_INVALID_SENSOR_PORT;
                   else
                       hr = access(OffsetRegister(offset));
                   if (Failed(hr))
                       m_Trace << TRACE_LEVEL1 << failure << offset << u", port: " << m_Connection.Connection
                               << u", EC: " << TraceHr(hr) << TRACE_END;
                   return hr;
               });
}

HRESULT CSensorCtrl::ReadUShortAtOffset(USHORT offset, USHORT& value)
{
    return AccessAtOffset(offset, kUShortRegisters, u"Failed to read USHORT value at sensor offset: ",
                          [&](USHORT registerNumber) {
                              return m_pNetwork->ReadUShort(Address(), registerNumber, value,
                                                            GetReadRegisterTimeout(), Retries());
                          });
}

HRESULT CSensorCtrl::WriteUShortAtOffset(USHORT offset, USHORT value)
{
    return AccessAtOffset(offset, kUShortRegisters, u"Failed to write USHORT value at sensor offset: ",
                          [&](USHORT registerNumber) {
                              return m_pNetwork->WriteUShort(Address(), registerNumber, value,
                                                             GetReadRegisterTimeout(), Retries());
                          });
}

HRESULT CSensorCtrl::ReadULongAtOffset(USHORT offset, ULONG& value)
{
    return AccessAtOffset(offset, kULongRegisters, u"Failed to read ULONG value at sensor offset: ",
                          [&](USHORT registerNumber) {
                              return m_pNetwork->ReadULong(Address(), registerNumber, value,
                                                           GetReadRegisterTimeout(), Retries());
                          });
}

HRESULT CSensorCtrl::ReadFloatAtOffset(USHORT offset, float& value)
{
    return AccessAtOffset(offset, kFloatRegisters, u"Failed to read FLOAT value at sensor offset: ",
                          [&](USHORT registerNumber) {
                              return m_pNetwork->ReadFloat(Address(), registerNumber, value,
                                                           GetReadRegisterTimeout(), Retries());
                          });
}

HRESULT CSensorCtrl::WriteFloatAtOffset(USHORT offset, float value)
{
    return AccessAtOffset(offset, kFloatRegisters, u"Failed to write FLOAT value at sensor offset: ",
                          [&](USHORT registerNumber) {
                              return m_pNetwork->WriteFloat(Address(), registerNumber, value,
                                                            GetReadRegisterTimeout(), Retries());
                          });
}

HRESULT CSensorCtrl::ReadTimeAtOffset(USHORT offset, CDeviceTimestamp& time)
{
    return AccessAtOffset(offset, kTimeRegisters, u"Failed to read TIME value at sensor offset: ",
                          [&](USHORT registerNumber) {
                              return m_pNetwork->ReadTime(Address(), registerNumber, time,
                                                          GetReadRegisterTimeout(), Retries());
                          });
}

} // namespace NVSystem
