#include "tools/probe-sim/ScriptedValues.h"

#include <utility>

namespace probesim
{

ValueFunction Drifting(float start, float perSecond)
{
    return [start, perSecond](const SampleContext& context)
    { return static_cast<float>(start + perSecond * context.seconds); };
}

ValueDial::ValueDial(float value) : m_value(std::make_shared<std::atomic<float>>(value)) {}

void ValueDial::Set(float value)
{
    m_value->store(value);
}

float ValueDial::Get() const
{
    return m_value->load();
}

ValueFunction ValueDial::Function() const
{
    return [value = m_value](const SampleContext&) { return value->load(); };
}

void ScriptParameter(SimSensor& sensor, uint16_t parameter, ValueFunction value)
{
    if (parameter < 1 || parameter > sensor.parameters.size())
        throw std::out_of_range("the sensor has no such parameter");
    sensor.parameters[parameter - 1u].value = std::move(value);
}

} // namespace probesim
