// The sensors of the optical DO probes and of the multi-sensor probe with values that a test dials
// in place of the sensors' own water, so that a reading settles, steps or drifts when the test
// says: one dial for the water's temperature, shared by every sensor, and one per quantity that a
// calibration samples; the pH follows the dialled millivolts. A dial holds its value in the
// parameter's unit at start (C, µS/cm, mV, mg/L); a parameter switched to another unit of its class
// reports the value converted. The probe does not go into the standards of its own (Water.h): the
// dials are the standard.
#pragma once

#include "tools/probe-sim/Instrument.h"
#include "tools/probe-sim/ScriptedValues.h"

namespace probesim
{

struct SensorDials
{
    ValueDial temperature{20.0f};
    ValueDial actualConductivity{1300.0f};
    ValueDial specificConductivity{1350.0f};
    ValueDial pHMillivolts{0.0f};
    ValueDial orp{220.0f};
    ValueDial oxygen{8.0f};
    ValueDial saturation{95.0f};
};

// Fits the optical DO sensor on connection 1 and, on the multi-sensor probe (device type 18),
// conductivity (2), level (3) and pH/ORP (4), with the serial numbers FitSensors gives them. The
// dials are shared: the test keeps its own and sets them while the probe runs.
void FitDialledSensors(Instrument& probe, const SensorDials& dials);

} // namespace probesim
