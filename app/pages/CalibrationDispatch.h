// The Calibrate command of the sensor setup page: the calibration wizard that suits the selected
// sensor, by its sensor id. The page opens the pressure zeroing for a pressure sensor itself and
// hands every other sensor to the dispatch that InstallCalibrationDispatch gives it.
#pragma once

#include <optional>

#include "connection/ProbeConnection.h"
#include "platform/Types.h"

class QWidget;

enum class ECalibration
{
    None,
    Conductivity,
    PHORP,
    VOX,
    Pressure,
};

// 27 pH/ORP, 35 and 85 conductivity, 42 optical DO, 84 pressure; any other id has none.
ECalibration CalibrationOfSensorId(USHORT sensorId);

struct sCalibrateResult
{
    ECalibration calibration = ECalibration::None;
    // A wizard ran (the probe was connected and the sensor's interface found).
    bool ran = false;
    // After the optical DO wizard: the sensor's live barometric pressure, which the wizard may have
    // changed, when it could be read.
    std::optional<float> liveBaro;
    // The wizard found the probe silent (and marked the connection so): nothing after it waits for
    // the probe.
    bool probeSilent = false;
};

// Runs the wizard of the sensor with the id, modally over parent, while the probe is connected (it
// carries one sensor of each kind). Nothing runs for a pressure sensor (the page's own dialog) or
// any other id.
sCalibrateResult RunCalibration(QWidget* parent, USHORT sensorId,
                                CProbeConnection& probe = theProbeConnection);

// Gives the sensor setup page its calibration dispatch: the wizard, then the sensor's settings
// read again (a wizard changes the reference temperature, the live salinity and pressure); when
// the wizard found the probe silent, the loss of the link (WM_CONNECTION_LOST with the connection's
// id) to the page's window instead.
void InstallCalibrationDispatch();
