// The sonde's own meta-tags for a log set up now: what the parameters the log records need to be read
// again later (the TDS factor, the specific-conductance curve, the suspended-solids factor) and, with
// a level sensor, the level of the moment and, for a log of a level, its mode, SG and reference.
#include "device/LogFile.h"
#include "models/LoggerMetaTags.h"
#include "models/MK600Comm.h"

namespace NVSystem
{

namespace
{

// Parameter ids of the channels.
constexpr USHORT kDepth = 3;
constexpr USHORT kLevelDepthToWater = 4;
constexpr USHORT kLevelSurfaceElevation = 5;
constexpr USHORT kSpecificConductivity = 10;
constexpr USHORT kTotalDissolvedSolids = 13;
constexpr USHORT kTotalSuspendedSolids = 31;

struct sLoggedQuantities
{
    bool level = false;
    USHORT levelMode = kDepth;
    bool totalDissolvedSolids = false;
    bool specificConductance = false;
    bool totalSuspendedSolids = false;
};

sLoggedQuantities LoggedQuantities(CLogFile& logFile)
{
    sLoggedQuantities logged;
    const USHORT channels = CDeviceComm::GetLogChannelCount(logFile);
    for (USHORT n = 0; n < channels; ++n)
    {
        sLogChannelInfo info;
        if (Failed(CDeviceComm::GetLogChannelInfo(logFile, n, info)))
            continue;
        switch (info.ParameterId)
        {
        case kDepth:
            logged.level = true;
            break;
        case kLevelDepthToWater:
        case kLevelSurfaceElevation:
            logged.level = true;
            logged.levelMode = info.ParameterId;
            break;
        case kTotalDissolvedSolids:
            logged.totalDissolvedSolids = true;
            break;
        case kSpecificConductivity:
            logged.specificConductance = true;
            break;
        case kTotalSuspendedSolids:
            logged.totalSuspendedSolids = true;
            break;
        default:
            break;
        }
    }
    return logged;
}

} // namespace

HRESULT CMK600Comm::FillLogFileMeta(CLogFile& logFile)
{
    if (!IsMK600(this))
        return MODBUSCOMM_E_INVALID_DEVICE_THIS;
    try
    {
        HRESULT hr = CDeviceComm::FillLogFileMeta(logFile);
        if (Failed(hr))
            return hr;
        const auto set = [&logFile](ULONG tagIndex, const MetaTagValue& value)
        { return SetMetaTagValue(logFile, tagIndex, value); };
        ISensor_Temperature* temperature = GetTemperatureSensor();
        ISensor_PressureTempLevel* level = GetPressureTempLevelSensor();
        ISensor_Conductivity* conductivity = GetConductivitySensor();
        ISensor_Turbidity* turbidity = GetTurbiditySensor();
        const sLoggedQuantities logged = LoggedQuantities(logFile);
        SetCounterMetaTags(*this, logFile);

        float value = 0.0f;
        if (logged.totalDissolvedSolids && conductivity != nullptr &&
            Succeeded(conductivity->ReadTDSFactor(value)))
            set(METATAG_TDS_FACTOR, MetaTagFloat(value));
        float referenceTemperature = 0.0f;
        float alpha = 0.0f;
        CDynArray<float> betas;
        if (logged.specificConductance && conductivity != nullptr &&
            Succeeded(conductivity->ReadCalibrationBlock(referenceTemperature, alpha, betas)))
            SetSpecCondMetaTags(logFile, referenceTemperature, alpha, betas);
        if (logged.totalSuspendedSolids && turbidity != nullptr &&
            Succeeded(turbidity->ReadTurbidityCal1(value)))
            set(METATAG_TSS_FACTOR, MetaTagFloat(value));

        if (level != nullptr)
        {
            if (Failed(hr = level->ReadPressureOffset(value)))
                return hr;
            set(METATAG_LEVEL_REF_PRESSURE_OFFSET, MetaTagFloat(value));
            if (temperature != nullptr)
            {
                // Stored whatever the reading gave: a failed one leaves its outputs as they were.
                float degrees = 0.0f;
                USHORT quality = 0;
                USHORT unitId = 0;
                temperature->ReadTemperature(degrees, quality, unitId, FALSE);
                set(METATAG_LEVEL_REF_TEMP, MetaTagFloat(degrees));
                set(METATAG_LEVEL_REF_TEMP_UNIT_ID, MetaTagU16(unitId));
            }
            float depth = 0.0f;
            USHORT levelUnit = 0;
            float pressure = 0.0f;
            USHORT pressureUnit = 0;
            if (Failed(hr = level->CalculateLevelFromPressure(depth, levelUnit, pressure, pressureUnit)))
                return hr;
            set(METATAG_LEVEL_REF_DEPTH_OF_PROBE, MetaTagFloat(depth));
            set(METATAG_LEVEL_REF_HEAD_PRESSURE, MetaTagFloat(pressure));
            set(METATAG_LEVEL_UNIT_ID, MetaTagU16(levelUnit));
            set(METATAG_LEVEL_REF_PRESSURE_UNIT_ID, MetaTagU16(pressureUnit));
        }
        if (!logged.level)
            return S_OK;
        set(METATAG_LEVEL_MEASUREMENT_MODE, MetaTagU16(logged.levelMode));
        if (level != nullptr)
        {
            if (Failed(hr = level->ReadSpecificGravity(value)))
                return hr;
            set(METATAG_SPECIFIC_GRAVITY, MetaTagFloat(value));
        }
        if (logged.levelMode == kDepth)
            return S_OK;
        hr = SetLevelReferenceMetaTags(*this, logFile, level);
        return Failed(hr) ? hr : S_OK;
    }
    catch (...)
    {
        return MODBUSCOMM_E_EXCEPTION_CDEVICE;
    }
}

} // namespace NVSystem
