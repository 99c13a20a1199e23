// The sonde's own meta-tags for a log set up now: the counters, the conductivity facts of the
// quantities the log records and, with pressure, the level of the moment and the level facts.
#include "device/LogFile.h"
#include "models/LoggerMetaTags.h"
#include "models/MariskComm.h"

namespace NVSystem
{

namespace
{

// The level mode without a reference.
constexpr USHORT kDepthOfProbe = 3;

} // namespace

HRESULT CMariskComm::FillLogFileMeta(CLogFile& logFile)
{
    if (!CarriesSignatures())
        return MODBUSCOMM_E_INVALID_DEVICE_THIS;
    try
    {
        HRESULT hr = CDeviceComm::FillLogFileMeta(logFile);
        if (Failed(hr))
            return hr;
        const auto set = [&logFile](ULONG tagIndex, const MetaTagValue& value)
        { return SetMetaTagValue(logFile, tagIndex, value); };
        SetCounterMetaTags(*this, logFile);

        // What the log records, by parameter number on any connection.
        CDynArray<ULONG> channels;
        if (Failed(hr = GetLogChannels(logFile, channels)))
            return hr;
        bool totalDissolvedSolids = false;
        bool specificConductance = false;
        bool levelLogged = false;
        for (uint32_t i = 0; i < channels.GetCount(); ++i)
        {
            const USHORT parameter = ChannelParameter(channels[i]);
            totalDissolvedSolids = totalDissolvedSolids || parameter == ConductivityParameter(4);
            specificConductance = specificConductance || parameter == ConductivityParameter(2);
            levelLogged = levelLogged || parameter == m_nLevelParameter;
        }
        float factor = 0.0f;
        if (totalDissolvedSolids && Succeeded(ReadTDSFactor(factor)))
            set(METATAG_TDS_FACTOR, MetaTagFloat(factor));
        float referenceTemperature = 0.0f;
        float alpha = 0.0f;
        CDynArray<float> betas;
        if (specificConductance && Succeeded(ReadSpecCondCoefficients(referenceTemperature, alpha, betas)))
            SetSpecCondMetaTags(logFile, referenceTemperature, alpha, betas);
        if (m_nDeviceType != kLevelSondeType)
            return S_OK;

        float offset = 0.0f;
        if (Failed(hr = ReadPressureOffset(offset)))
            return hr;
        set(METATAG_LEVEL_REF_PRESSURE_OFFSET, MetaTagFloat(offset));
        float temperature = 0.0f;
        USHORT quality = 0;
        USHORT temperatureUnit = 0;
        if (Failed(hr = ReadTemperature(temperature, quality, temperatureUnit, FALSE)))
            return hr;
        set(METATAG_LEVEL_REF_TEMP, MetaTagFloat(temperature));
        set(METATAG_LEVEL_REF_TEMP_UNIT_ID, MetaTagU16(temperatureUnit));
        float level = 0.0f;
        USHORT levelUnit = 0;
        float pressure = 0.0f;
        USHORT pressureUnit = 0;
        if (Failed(hr = CalculateLevelFromPressure(level, levelUnit, pressure, pressureUnit)))
            return hr;
        set(METATAG_LEVEL_REF_DEPTH_OF_PROBE, MetaTagFloat(level));
        set(METATAG_LEVEL_REF_HEAD_PRESSURE, MetaTagFloat(pressure));
        set(METATAG_LEVEL_UNIT_ID, MetaTagU16(levelUnit));
        set(METATAG_LEVEL_REF_PRESSURE_UNIT_ID, MetaTagU16(pressureUnit));
        if (!levelLogged)
            return S_OK;

        USHORT levelMode = 0;
        if (Failed(hr = GetParameterId(BUILT_IN_SENSOR_CONNECTION, m_nLevelParameter, levelMode)))
            return hr;
        set(METATAG_LEVEL_MEASUREMENT_MODE, MetaTagU16(levelMode));
        float gravity = 0.0f;
        if (Failed(hr = ReadSpecificGravity(gravity)))
            return hr;
        set(METATAG_SPECIFIC_GRAVITY, MetaTagFloat(gravity));
        // A dynamic SG stands in for the fixed one.
        if (IsDynamicSGSupported() && Succeeded(ReadDynamicSGFactor(factor)) && factor != 0.0f)
        {
            RemoveMetaTag(logFile, METATAG_SPECIFIC_GRAVITY);
            set(METATAG_DYNAMIC_SPECIFIC_GRAVITY_FACTOR, MetaTagFloat(factor));
        }
        if (levelMode == kDepthOfProbe)
            return S_OK;
        hr = SetLevelReferenceMetaTags(*this, logFile, this);
        return Failed(hr) ? hr : S_OK;
    }
    catch (...)
    {
        return MODBUSCOMM_E_EXCEPTION_CDC;
    }
}

} // namespace NVSystem
