// The settings behind the sensor setup page's controls, read from and written to the connected
// probe: automatic salinity correction, the specific-conductance reference temperature, the
// optical sensor's salinity and barometric pressure (live and power-on default), the pressure/depth
// sensor's offset and automatic density correction, and a parameter's unit and sentinel value.
//
// Each loader or setter runs its steps in order and stops at the first failure, which it returns
// with the sentence the page shows for it; what it read or wrote before that is in its result.
// User-interface thread, while connected.
#pragma once

#include <optional>

#include "connection/ProbeConnection.h"
#include "foundation/DynArray.h"
#include "foundation/ParameterRecords.h"
#include "foundation/WideString.h"
#include "platform/Types.h"

inline constexpr float REFERENCE_TEMPERATURE_20 = 20.0f;
inline constexpr float REFERENCE_TEMPERATURE_25 = 25.0f;

// A failed step: its sentence and the code it failed with. No sentence: every step succeeded.
struct sSettingsFailure
{
    const char16_t* text = nullptr;
    HRESULT code = S_OK;

    explicit operator bool() const { return text != nullptr; }
};

struct sVoxValues
{
    float liveSalinity = 0.0f;
    float liveBaro = 0.0f;
    float defaultSalinity = 0.0f;
    float defaultBaro = 0.0f;
};

struct sSensorSettingsLoad
{
    BOOL autoSalinity = FALSE;
    // Not set when the probe has no conductivity sensor (or the load stopped before it).
    std::optional<float> referenceTemperature;
    // Set once all four values were read.
    std::optional<sVoxValues> vox;
    sSettingsFailure failure;
};

// Automatic salinity (multi-sensor probes only), the reference temperature, the four values of the
// optical sensor.
sSensorSettingsLoad LoadSensorSettings(CProbeConnection& connection);

struct sPressureSettingsLoad
{
    // Whether the probe has a pressure/depth sensor; without one nothing else is set.
    BOOL present = FALSE;
    USHORT unitId = 0;
    std::optional<float> offset;
    BOOL autoDensity = FALSE;
    sSettingsFailure failure;
};

sPressureSettingsLoad LoadPressureSettings(CProbeConnection& connection);
// "Current Value (<unit>):".
CWideString FormatPressureLabel(USHORT unitId);

// Rewrites the conductivity sensor's calibration block with the reference temperature, the rest
// of the block as read. S_OK and nothing written when the probe has no conductivity sensor.
HRESULT WriteReferenceTemperature(CProbeConnection& connection, float temperature);
// The reference temperature the probe holds; S_FALSE (nothing read) without a conductivity sensor.
HRESULT ReadReferenceTemperature(CProbeConnection& connection, float& temperature);

struct sVoxWrite
{
    BOOL liveWritten = FALSE;
    BOOL defaultWritten = FALSE;
    sSettingsFailure failure;
};

// The live salinity, then (asDefault) the power-on default.
sVoxWrite WriteSalinity(CProbeConnection& connection, float salinity, BOOL asDefault);
// The power-on default first when asked (the sensor takes it as the live value too), then the live
// pressure. mBar.
sVoxWrite WriteBaro(CProbeConnection& connection, float pressureMbar, BOOL asDefault);
// The optical sensor's live and default barometric pressure as the probe holds them; each unset
// when it cannot be read.
struct sBaroValues
{
    std::optional<float> live;
    std::optional<float> defaultValue;
};
sBaroValues ReadBaroValues(CProbeConnection& connection);

// Switches the pressure/depth sensor's automatic density correction.
sSettingsFailure WriteAutoDensity(CProbeConnection& connection, BOOL enabled);

// The unit or sentinel of the reading's parameter; once it is changed, the connection's parameters
// are read again from the probe (not from the cache), so that the device's copy is what the probe
// holds.
HRESULT ChangeParameterUnit(CProbeConnection& connection, const sParameterReading& reading, USHORT unitId);
HRESULT ChangeParameterSentinel(CProbeConnection& connection, const sParameterReading& reading,
                                float sentinel);
