#include "app/pages/CalibrationDispatch.h"

#include "app/pages/CtrlPageSensorSetup.h"
#include "calibration/wizard/CalProbeConnection.h"
#include "calibration/wizard/DlgWizFrameCalConductivity.h"
#include "calibration/wizard/DlgWizFrameCalPHORP.h"
#include "calibration/wizard/DlgWizFrameCalVOX.h"
#include "ui/WaitForWork.h"

namespace
{

constexpr USHORT kPHORPSensorId = 27;
constexpr USHORT kConductivitySensorId = 35;
constexpr USHORT kCoreConductivitySensorId = 85;
constexpr USHORT kVOXSensorId = 42;
constexpr USHORT kPressureSensorId = 84;

// Adds the pages, starts the worker with the sensor and runs the wizard; false without a sensor.
template <class TFrame, class TSensor>
bool RunWizard(TFrame& frame, TSensor* sensor)
{
    if (sensor == nullptr)
        return false;
    frame.AddPages();
    frame.StartReading(sensor);
    frame.DoModal();
    return true;
}

} // namespace

ECalibration CalibrationOfSensorId(USHORT sensorId)
{
    switch (sensorId)
    {
    case kPHORPSensorId:
        return ECalibration::PHORP;
    case kConductivitySensorId:
    case kCoreConductivitySensorId:
        return ECalibration::Conductivity;
    case kVOXSensorId:
        return ECalibration::VOX;
    case kPressureSensorId:
        return ECalibration::Pressure;
    default:
        return ECalibration::None;
    }
}

sCalibrateResult RunCalibration(QWidget* parent, USHORT sensorId, CProbeConnection& probe)
{
    sCalibrateResult result;
    result.calibration = CalibrationOfSensorId(sensorId);
    // The device, and with it the sensor the wizard works on, is held for the whole run: the
    // wizard's loops, its waits and boxes, are places where the link may be lost and closed.
    const ULONG connectionId = probe.GetConnectionId();
    const DeviceRef device(probe.AcquireProbe());
    if (device == nullptr || connectionId == 0)
        return result;
    CProbeCalConnection calProbe(probe);
    switch (result.calibration)
    {
    case ECalibration::Conductivity:
    {
        NVSystem::ISensor_Conductivity* sensor = nullptr;
        probe.GetConductivitySensor(sensor);
        CDlgWizFrame_CalConductivity frame(parent, calProbe);
        result.ran = RunWizard(frame, sensor);
        break;
    }
    case ECalibration::PHORP:
    {
        NVSystem::ISensor_pHORP* sensor = nullptr;
        probe.GetPHORPSensor(sensor);
        CDlgWizFrame_CalPHORP frame(parent, calProbe);
        result.ran = RunWizard(frame, sensor);
        break;
    }
    case ECalibration::VOX:
    {
        NVSystem::ISensor_VoxPro* sensor = nullptr;
        probe.GetVoxProSensor(sensor);
        {
            CDlgWizFrame_CalVOX frame(parent, calProbe);
            result.ran = RunWizard(frame, sensor);
        }
        // After the frame and its worker are gone, whichever way the wizard ended, and only from
        // the link the wizard ran on: a link lost meanwhile, or found silent, has nothing to tell.
        float liveBaro = 0.0f;
        if (result.ran && probe.GetConnectionId() == connectionId && !probe.IsMarkedSilent() &&
            Succeeded(ui::WaitForWork([sensor, &liveBaro] { return sensor->ReadLiveBaro(liveBaro); })))
            result.liveBaro = liveBaro;
        break;
    }
    case ECalibration::Pressure:
    case ECalibration::None:
        break;
    }
    result.probeSilent = probe.IsMarkedSilent() != FALSE;
    return result;
}

void InstallCalibrationDispatch()
{
    CCtrlPage_SensorSetup::SetCalibrationDispatch(
        // The probe carries one sensor of each kind: its interface is found by the kind.
        [](CCtrlPage_SensorSetup& page, USHORT sensorId, USHORT)
        {
            const ULONG connectionId = theProbeConnection.GetConnectionId();
            const sCalibrateResult result = RunCalibration(&page, sensorId);
            if (result.probeSilent)
            {
                // A probe the wizard found silent is not read again: its loss is told at once, as the
                // keep-alive would tell it once its own reads had waited for the probe.
                if (auto* window = qobject_cast<CNVDialog*>(page.window()))
                    window->PostNotify(windowmsg::WM_CONNECTION_LOST, connectionId);
                return;
            }
            if (result.ran)
                page.LoadSensorSettings();
        });
}
