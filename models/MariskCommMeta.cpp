// The sonde's own meta-tags for a log set up now: the counters, the conductivity facts of the
// quantities the log records and, with pressure, the level of the moment and the level facts.
#include "device/LogFile.h"
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
    return FillLoggerMeta(
        logFile,
        [&]
        {
            HRESULT hr = S_OK;
            const auto set = [&logFile](ULONG tagIndex, const MetaTagValue& value)
            { return SetMetaTagValue(logFile, tagIndex, value); };

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
            if (specificConductance &&
                Succeeded(ReadSpecCondCoefficients(referenceTemperature, alpha, betas)))
                SetSpecCondMetaTags(logFile, referenceTemperature, alpha, betas);
            if (m_nDeviceType != kLevelSondeType)
                return S_OK;

            if (Failed(hr = SetLevelOfTheMomentMetaTags(logFile, *this, METATAG_LEVEL_UNIT_ID)))
                return hr;
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
        });
}

} // namespace NVSystem
