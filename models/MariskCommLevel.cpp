// The sonde's level from pressure with a fixed or a dynamic specific gravity (SG), the level
// reference that modes 4 (depth to water) and 5 (surface elevation) measure from, and the notes of
// its pressure and level calibrations.
#include "foundation/Formulas.h"
#include "models/MariskComm.h"

namespace NVSystem
{

namespace
{

constexpr USHORT kModeDepthToWater = 4;
constexpr USHORT kModeSurfaceElevation = 5;
// The first unit of the density class, in which the dynamic factor scales the density.
constexpr USHORT kDensityUnit = 129;

} // namespace

HRESULT CMariskComm::CalculateLevelFromPressure(float& level, USHORT& levelUnitId, float& pressure,
                                                USHORT& pressureUnitId)
{
    level = 0.0f;
    levelUnitId = 0;
    pressure = 0.0f;
    pressureUnitId = 0;
    return UnderDeviceLock(
        [&]
        {
            HRESULT hr = GetLevelUnit(levelUnitId);
            if (Failed(hr))
                return hr;
            float factor = 0.0f;
            if (IsDynamicSGSupported() && Failed(hr = ReadDynamicSGFactor(factor)))
                return hr;
            float gravity = 0.0f;
            if (factor == 0.0f)
            {
                if (Failed(hr = ReadSpecificGravity(gravity)))
                    return hr;
            }
            else
            {
                float density = 0.0f;
                USHORT quality = 0;
                USHORT densityUnit = 0;
                if (Failed(hr = ReadConductivityParam6(density, quality, densityUnit, FALSE)))
                    return hr;
                // A density that is no measurement (an error, disabled, offline, the sentinel) would
                // scale the level by nonsense: fresh water is the better guess. A sensor warming up
                // does measure.
                double inDensityUnit = 0.0;
                gravity = 1.0f;
                if (ReadingHoldsMeasurement(*this, BUILT_IN_SENSOR_CONNECTION, ConductivityParameter(6),
                                            density, quality) &&
                    ConvertUnits(FromUnit{densityUnit}, inDensityUnit, ToUnit{kDensityUnit}, density))
                    gravity = static_cast<float>(static_cast<double>(factor) * inDensityUnit);
            }
            if (gravity == 0.0f)
                return S_OK;
            USHORT quality = 0;
            if (Failed(hr = ReadPressure(pressure, quality, pressureUnitId, FALSE)))
                return hr;
            level = static_cast<float>(PressureToDepth(FromUnit{pressureUnitId}, ToUnit{levelUnitId},
                                                       SpecificGravity{gravity}, pressure));
            return hr;
        },
        ADAPTER_E_UNEXPECTED);
}

HRESULT CMariskComm::SetLevelReference(float reference)
{
    return WriteLevelReference(m_nLevelParameter, {kModeDepthToWater, kModeSurfaceElevation},
                               kLevelReferenceRegister, reference, u" - failed to set Level Ref, EC: ");
}

// --- Specific gravity ---

HRESULT CMariskComm::StoreDynamicSGFactor(float factor)
{
    StepTrace() << u" - setting dynamic SG: " << factor << TRACE_END;
    const HRESULT hr = WriteFloat(kDynamicSGFactorRegister, factor);
    if (Failed(hr))
        return TraceFailure(u" - failed to set dynamic SG factor, EC: ", hr);
    m_DynamicSGFactor = factor;
    TraceSuccess();
    return hr;
}

HRESULT CMariskComm::SetSpecificGravity(float gravity)
{
    bool written = false;
    bool factorCleared = false;
    const HRESULT result = UnderDeviceLock(
        [&]
        {
            StepTrace() << u" - setting SG to: " << gravity << TRACE_END;
            const HRESULT hr =
                TraceOutcome(WriteFloat(kSpecificGravityRegister, gravity), u" - failed to set SG, EC: ");
            if (Failed(hr))
                return hr;
            written = true;
            // A fixed SG switches the dynamic one off; the SG itself is set whatever that gives.
            factorCleared = Succeeded(StoreDynamicSGFactor(0.0f));
            return hr;
        });
    if (factorCleared)
        WriteNote<CNVUserNote_NewSpecificGravFactor>(0.0f);
    if (written)
        WriteNote<CNVUserNote_NewSpecificGravity>(gravity);
    return result;
}

HRESULT CMariskComm::SetDynamicSGFactor(float factor)
{
    const HRESULT result = UnderDeviceLock([&] { return StoreDynamicSGFactor(factor); });
    if (Succeeded(result))
        WriteNote<CNVUserNote_NewSpecificGravFactor>(factor);
    return result;
}

HRESULT CMariskComm::SetDynamicSG(double latitudeDegrees, double elevationMetres)
{
    if (!CarriesSignatures())
        return MODBUSCOMM_E_INVALID_DEVICE_THIS;
    StepTrace() << u" - setting dynamic SG - Lat(deg) : " << latitudeDegrees << u" Elev(m): "
                << elevationMetres << TRACE_END;
    const double factor = GravityCorrectionFactor(Elevation{elevationMetres}, Latitude{latitudeDegrees});
    return SetDynamicSGFactor(static_cast<float>(factor));
}

HRESULT CMariskComm::ReadDynamicSGFactor(float& factor)
{
    return UnderDeviceLock(
        [&]
        {
            return CachedRead(kDynamicSGFactorRegister, m_DynamicSGFactor, factor,
                              u" - reading dynamic SG factor", u" - Cached SGFactor: ",
                              u" - failed to read dynamic SG factor, EC: ",
                              u" - success, Dynamic SG Factor: ");
        });
}

} // namespace NVSystem
