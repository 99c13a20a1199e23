// The Calibrate command of the sensor setup page: the calibration that suits the selected sensor,
// by its sensor id. The wizards run here; the pressure calibration dialog is the page's own.
#pragma once

#include <optional>

#include "app/connection/ProbeConnection.h"
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
    // The wizard ran (it was built and its sensor found).
    bool ran = false;
    // After the optical DO wizard: the sensor's live barometric pressure, when it could be read;
    // the wizard may have set a new one.
    std::optional<float> liveBaro;
};

// Runs the wizard of the sensor on the connection, modally over parent, while the probe is
// connected. For a pressure sensor nothing runs here (calibration Pressure, ran false): the page
// opens its own dialog.
sCalibrateResult RunSensorCalibration(QWidget* parent, USHORT connection,
                                      CProbeConnection& probe = theProbeConnection);
