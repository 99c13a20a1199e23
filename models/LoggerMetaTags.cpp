#include "models/LoggerMetaTags.h"

#include "foundation/Formulas.h"

namespace NVSystem
{

namespace
{

constexpr USHORT kReferenceModeSet = 1;
constexpr USHORT kReferenceModeLater = 4;
constexpr uint32_t kBetas = 8;

} // namespace

void SetCounterMetaTags(CDeviceComm& device, CLogFile& logFile)
{
    ULONG count = 0;
    if (Succeeded(device.GetTotalBatteryCounter(count)))
        CDeviceComm::SetMetaTagValue(logFile, METATAG_LOG_SETUP_BATT_MEAS_CNT, MetaTagU32(count));
    if (Succeeded(device.GetTotalMeasurementCounter(count)))
        CDeviceComm::SetMetaTagValue(logFile, METATAG_LOG_SETUP_TOTAL_MEAS_CNT, MetaTagU32(count));
}

HRESULT SetLevelOfTheMomentMetaTags(CLogFile& logFile, ISensor_PressureTempLevel& sensor, ULONG levelUnitTag)
{
    float offset = 0.0f;
    HRESULT hr = sensor.ReadPressureOffset(offset);
    if (Failed(hr))
        return hr;
    CDeviceComm::SetMetaTagValue(logFile, METATAG_LEVEL_REF_PRESSURE_OFFSET, MetaTagFloat(offset));
    float temperature = 0.0f;
    USHORT quality = 0;
    USHORT temperatureUnit = 0;
    if (Failed(hr = sensor.ReadTemperature(temperature, quality, temperatureUnit, FALSE)))
        return hr;
    CDeviceComm::SetMetaTagValue(logFile, METATAG_LEVEL_REF_TEMP, MetaTagFloat(temperature));
    CDeviceComm::SetMetaTagValue(logFile, METATAG_LEVEL_REF_TEMP_UNIT_ID, MetaTagU16(temperatureUnit));
    float level = 0.0f;
    USHORT levelUnit = 0;
    float pressure = 0.0f;
    USHORT pressureUnit = 0;
    if (Failed(hr = sensor.CalculateLevelFromPressure(level, levelUnit, pressure, pressureUnit)))
        return hr;
    CDeviceComm::SetMetaTagValue(logFile, METATAG_LEVEL_REF_DEPTH_OF_PROBE, MetaTagFloat(level));
    CDeviceComm::SetMetaTagValue(logFile, METATAG_LEVEL_REF_HEAD_PRESSURE, MetaTagFloat(pressure));
    CDeviceComm::SetMetaTagValue(logFile, levelUnitTag, MetaTagU16(levelUnit));
    CDeviceComm::SetMetaTagValue(logFile, METATAG_LEVEL_REF_PRESSURE_UNIT_ID, MetaTagU16(pressureUnit));
    return hr;
}

HRESULT SetSpecCondMetaTags(CLogFile& logFile, float referenceTemperature, float alpha,
                            const CDynArray<float>& betas)
{
    const uint16_t method = DetermineSpecCondMethod(betas, referenceTemperature, alpha);
    HRESULT hr = S_OK;
    if (Failed(hr = CDeviceComm::SetMetaTagValue(logFile, METATAG_SPECIFIC_CONDUCTIVITY_METHOD,
                                                 MetaTagU16(method))) ||
        Failed(hr = CDeviceComm::SetMetaTagValue(logFile, METATAG_SPEC_COND_REF_TEMP,
                                                 MetaTagFloat(referenceTemperature))) ||
        Failed(hr = CDeviceComm::SetMetaTagValue(logFile, METATAG_SPEC_COND_ALPHA, MetaTagFloat(alpha))))
        return hr;
    for (uint32_t n = 0; n < kBetas; ++n)
    {
        const float beta = n < betas.GetCount() ? betas[n] : 0.0f;
        if (Failed(
                hr = CDeviceComm::SetMetaTagValue(logFile, METATAG_SPEC_COND_BETA0 + n, MetaTagFloat(beta))))
            return hr;
    }
    return hr;
}

HRESULT SetLevelReferenceMetaTags(CDeviceComm& device, CLogFile& logFile, ISensor_PressureTempLevel* level)
{
    const BOOL setUpWithReference = CDeviceComm::GetLogFileFlag(logFile);
    BOOL remindLater = FALSE;
    HRESULT hr = device.GetSoftwareRegisterBit(SOFTWARE_BIT_REMIND_LATER, remindLater);
    if (Failed(hr))
        return hr;
    if (level != nullptr)
    {
        float reference = 0.0f;
        float pressureReference = 0.0f;
        if (Failed(hr = level->ReadLevelReference(reference)) ||
            Failed(hr = CDeviceComm::SetMetaTagValue(logFile, METATAG_LEVEL_REFERENCE_VAL,
                                                     MetaTagFloat(reference))) ||
            Failed(hr = level->ReadPressureReference(pressureReference)) ||
            Failed(hr = CDeviceComm::SetMetaTagValue(logFile, METATAG_LEVEL_REF_PRESSURE,
                                                     MetaTagFloat(pressureReference))))
            return hr;
    }
    if (setUpWithReference)
    {
        device.DisableSoftwareRegisterBit(SOFTWARE_BIT_REMIND_LATER);
        CDeviceComm::RemoveMetaTag(logFile, METATAG_REMIND_ME_LATER);
        device.EnableSoftwareRegisterBit(SOFTWARE_BIT_REFERENCE_SET);
        return CDeviceComm::SetMetaTagValue(logFile, METATAG_LEVEL_REFERENCE_MODE,
                                            MetaTagU16(kReferenceModeSet));
    }
    if (!remindLater)
        return S_OK;
    CDeviceComm::RemoveMetaTag(logFile, METATAG_LEVEL_REFERENCE_VAL);
    device.DisableSoftwareRegisterBit(SOFTWARE_BIT_REFERENCE_SET);
    CDeviceComm::SetMetaTagValue(logFile, METATAG_REMIND_ME_LATER, MetaTagU32(1));
    return CDeviceComm::SetMetaTagValue(logFile, METATAG_LEVEL_REFERENCE_MODE,
                                        MetaTagU16(kReferenceModeLater));
}

} // namespace NVSystem
