// What the sensors of the multi-parameter sonde share: counts and words that the sensors keep as
// floats, the temperature of a sensor that measures none itself, which is the sonde's temperature
// sensor's (the source its sensor factory hands over when it builds the sensor), and the hold on the
// sonde's network for the registers a sensor writes directly.
#pragma once

#include <limits>
#include <memory>

#include "comm/ModbusComm.h"
#include "foundation/Units.h"
#include "models/SensorInterfaces.h"

namespace NVSystem
{

// The device's network with the reference GetModbusComm took, given back when the hold goes.
struct NetworkReferenceReleaser
{
    void operator()(CModbusComm* network) const { network->Release(); }
};
using NetworkReference = std::unique_ptr<CModbusComm, NetworkReferenceReleaser>;

// What a sensor without a temperature source reports.
inline constexpr float SONDE_DEFAULT_TEMPERATURE = 25.0f;

// A count or word the device keeps as a float: NaN and negative values give 0, values beyond the
// integer's range its largest, and the fraction is dropped (2.9 counts 2). Converting a float the
// integer cannot hold would be undefined.
template <typename Integer>
Integer CountFromDeviceFloat(float value)
{
    constexpr Integer kLargest = std::numeric_limits<Integer>::max();
    if (!(value > 0.0f))
        return 0;
    if (value >= static_cast<float>(kLargest))
        return kLargest;
    return static_cast<Integer>(value);
}

// The source's temperature, read live: a sensor whose reading the sonde's sensors share gains
// nothing from the caller's cached one. Without a source 25.0 degrees Celsius with success, the
// quality untouched.
inline HRESULT ReadSourceTemperature(ISensor_Temperature* source, float& value, USHORT& quality,
                                     USHORT& unitId)
{
    value = SONDE_DEFAULT_TEMPERATURE;
    unitId = UNIT_CELSIUS;
    return source != nullptr ? source->ReadTemperature(value, quality, unitId, FALSE) : S_OK;
}

// The source's temperature unit; degrees Celsius with withoutSource when there is none.
inline HRESULT GetSourceTemperatureUnit(ISensor_Temperature* source, USHORT& unitId, HRESULT withoutSource)
{
    unitId = UNIT_CELSIUS;
    return source != nullptr ? source->GetTemperatureUnit(unitId) : withoutSource;
}

inline HRESULT SetSourceTemperatureUnit(ISensor_Temperature* source, USHORT unitId, HRESULT withoutSource)
{
    return source != nullptr ? source->SetTemperatureUnit(unitId) : withoutSource;
}

// The source's temperature sentinel; without a source there is none (the default temperature is no
// sensor's reading).
inline HRESULT GetSourceTemperatureSentinel(ISensor_Temperature* source, float& sentinel)
{
    sentinel = 0.0f;
    return source != nullptr ? source->GetTemperatureSentinel(sentinel) : E_NOTIMPL;
}

} // namespace NVSystem
