// Sensor commands: one command word to the connection's sensor command register, and the sequence
// that puts a sensor into continuous sampling for calibration.
#include "comm/CmdSequence.h"
#include "device/DeviceComm.h"
#include "device/SensorCtrl.h"
#include "foundation/CommTimeouts.h"

namespace NVSystem
{

HRESULT CSensorCtrl::SendCommand(USHORT command, const char16_t* success, const char16_t* failure)
{
    return Run(CHECK_ATTACHED,
               [&]
               {
                   // Committing a calibration takes the sensor longer than an ordinary write.
                   const ULONG timeout = command == SENSORCMD_UPDATE_CAL
                                             ? ReadCommTunable(CommTunable::UpdateSensorTO)
                                             : GetWriteRegisterTimeout();
                   const HRESULT hr = m_pNetwork->WriteUShort(Address(), m_Connection.CommandRegister,
                                                              command, timeout, Retries());
                   if (Failed(hr))
                       Trace(TRACE_LEVEL1) << failure << TraceHr(hr) << TRACE_END;
                   else
                       Trace(TRACE_LEVEL1) << success << TRACE_END;
                   return hr;
               });
}

HRESULT CSensorCtrl::CalModeOn()
{
    return SendCommand(SENSORCMD_CAL_MODE_ON, u" - cal mode on", u" - failed to enable cal mode - ");
}

HRESULT CSensorCtrl::CalModeOff()
{
    return SendCommand(SENSORCMD_CAL_MODE_OFF, u" - cal mode off", u" - failed to turn cal mode off - ");
}

HRESULT CSensorCtrl::UpdateCalibration()
{
    return SendCommand(SENSORCMD_UPDATE_CAL, u" - calibration updated!",
                       u" - failed to update calibration - ");
}

HRESULT CSensorCtrl::RestoreCalDefaults()
{
    return SendCommand(SENSORCMD_RESTORE_CAL_DEFAULTS, u" - calibration defaults restored.",
                       u" - failed to restore calibration defaults - ");
}

HRESULT CSensorCtrl::RestoreFactoryDefaults()
{
    return SendCommand(SENSORCMD_RESTORE_FACTORY_DEFAULTS, u" - factory defaults restored.",
                       u" - failed to restore factory defaults - ");
}

HRESULT CSensorCtrl::EnableCalContinuous()
{
    return Run(CHECK_ATTACHED,
               [&]
               {
                   HRESULT hr = m_pDevice->SetOffline();
                   if (Failed(hr))
                       return hr;
                   {
                       // The sequence closes with 0 when it goes, whatever happened before.
                       CCmdSequenceWrapper sequence(m_Connection.CommandRegister, m_pNetwork, Address(),
                                                    GetWriteRegisterTimeout(), GetReadRegisterTimeout(),
                                                    Retries());
                       hr = sequence.SendCommand(CMDSEQ_RESET);
                       if (Succeeded(hr))
                           hr = sequence.SendCommand(CMDSEQ_ARM);
                       if (Succeeded(hr))
                       {
                           hr = sequence.SendCommand(SENSORCMD_RESTORE_CAL_DEFAULTS);
                           if (Failed(hr))
                               Trace(TRACE_LEVEL1)
                                   << u" - failed to enable cal continuous - " << TraceHr(hr) << TRACE_END;
                       }
                   }
                   if (Failed(hr))
                   {
                       // Offline the instrument does not log: without the sampling that was the reason to
                       // go offline, it goes back to work. The step's failure is what the caller hears.
                       m_pDevice->SetOnline();
                       return hr;
                   }
                   // Sampling for calibration may write a new user calibration date.
                   m_bLastUserCalStale = TRUE;
                   Trace(TRACE_LEVEL1) << u" - cal continuous sampling enabled" << TRACE_END;
                   return hr;
               });
}

// --- The device's operations ---

HRESULT CDeviceComm::SetSensorCalModeOn(USHORT connection)
{
    return Guarded(GUARDS_ALL, [&]
                   { return OnSensor(connection, [](CSensorCtrl& sensor) { return sensor.CalModeOn(); }); });
}

HRESULT CDeviceComm::SetSensorCalModeOff(USHORT connection)
{
    return Guarded(GUARDS_ALL, [&]
                   { return OnSensor(connection, [](CSensorCtrl& sensor) { return sensor.CalModeOff(); }); });
}

HRESULT CDeviceComm::UpdateSensorCalibration(USHORT connection)
{
    return Guarded(
        GUARDS_ALL,
        [&] { return OnSensor(connection, [](CSensorCtrl& sensor) { return sensor.UpdateCalibration(); }); });
}

HRESULT CDeviceComm::RestoreSensorCalDefaults(USHORT connection)
{
    return Guarded(GUARDS_ALL,
                   [&]
                   {
                       return OnSensor(connection,
                                       [](CSensorCtrl& sensor)
                                       {
                                           const HRESULT hr = sensor.RestoreCalDefaults();
                                           // The header's calibration may have changed, failure or not.
                                           sensor.ReadSensorHeader();
                                           return hr;
                                       });
                   });
}

HRESULT CDeviceComm::RestoreSensorFactoryDefaults(USHORT connection)
{
    return Guarded(GUARDS_ALL,
                   [&] {
                       return OnSensor(connection,
                                       [](CSensorCtrl& sensor) { return sensor.RestoreFactoryDefaults(); });
                   });
}

HRESULT CDeviceComm::EnableCalContinuous(USHORT connection)
{
    return Guarded(
        GUARDS_ALL, [&]
        { return OnSensor(connection, [](CSensorCtrl& sensor) { return sensor.EnableCalContinuous(); }); });
}

} // namespace NVSystem
