// Values a test scripts for a sensor's parameters in place of the sensor's own, so that a reading
// settles or keeps drifting as the test needs (stability detection, calibration arithmetic). The
// scripted value is reported as it stands, whatever unit the parameter is set to, and follows the
// instrument's time like the sensors' own values.
#pragma once

#include <atomic>
#include <memory>
#include <stdexcept>

#include "tools/probe-sim/SimSensor.h"

namespace probesim
{

// start + perSecond x seconds since the instrument started; perSecond 0 holds the value.
ValueFunction Drifting(float start, float perSecond);
inline ValueFunction Steady(float value)
{
    return Drifting(value, 0.0f);
}

// A value the test sets while the instrument runs; the next measurement reports it. Copies share
// the value.
class ValueDial
{
public:
    explicit ValueDial(float value = 0.0f);
    void Set(float value);
    float Get() const;
    ValueFunction Function() const;

private:
    std::shared_ptr<std::atomic<float>> m_value;
};

// Parameter n (1-based) of the description reports the value from now on. Throws
// std::out_of_range for a parameter the sensor does not have.
void ScriptParameter(SimSensor& sensor, uint16_t parameter, ValueFunction value);

} // namespace probesim
