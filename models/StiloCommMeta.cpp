// The logger's own meta-tags for a log set up now. A log of the level also records the level
// reference mode: 1 when the log was set up with a new level reference, 4 when the user chose to
// set it later (the device's software register bit 31 remembers that choice), and none otherwise.
#include <algorithm>

#include "device/LogFile.h"
#include "models/StiloComm.h"

namespace NVSystem
{

namespace
{

// The software register bits of the level reference choice.
constexpr ULONG kRemindLaterBit = 31;
constexpr ULONG kReferenceSetBit = 2;

constexpr USHORT kReferenceModeSet = 1;
constexpr USHORT kReferenceModeLater = 4;
// The level mode without a reference.
constexpr USHORT kDepthOfProbe = 3;

} // namespace

HRESULT CStiloComm::FillLogFileMeta(CLogFile& logFile)
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

        // The counters where the device gives them.
        ULONG count = 0;
        if (Succeeded(GetTotalBatteryCounter(count)) &&
            Failed(hr = set(METATAG_LOG_SETUP_BATT_MEAS_CNT, MetaTagU32(count))))
            return hr;
        if (Succeeded(GetTotalMeasurementCounter(count)) &&
            Failed(hr = set(METATAG_LOG_SETUP_TOTAL_MEAS_CNT, MetaTagU32(count))))
            return hr;

        float offset = 0.0f;
        if (Failed(hr = ReadPressureOffset(offset)) ||
            Failed(hr = set(METATAG_LEVEL_REF_PRESSURE_OFFSET, MetaTagFloat(offset))))
            return hr;
        float temperature = 0.0f;
        USHORT quality = 0;
        USHORT temperatureUnit = 0;
        if (Failed(hr = ReadTemperature(temperature, quality, temperatureUnit, FALSE)) ||
            Failed(hr = set(METATAG_LEVEL_REF_TEMP, MetaTagFloat(temperature))) ||
            Failed(hr = set(METATAG_LEVEL_REF_TEMP_UNIT_ID, MetaTagU16(temperatureUnit))))
            return hr;
        float level = 0.0f;
        USHORT levelUnit = 0;
        float pressure = 0.0f;
        USHORT pressureUnit = 0;
        if (Failed(hr = CalculateLevelFromPressure(level, levelUnit, pressure, pressureUnit)) ||
            Failed(hr = set(METATAG_LEVEL_REF_DEPTH_OF_PROBE, MetaTagFloat(level))) ||
            Failed(hr = set(METATAG_LEVEL_REF_HEAD_PRESSURE, MetaTagFloat(pressure))) ||
            Failed(hr = set(METATAG_LEVEL_UNIT_ID, MetaTagU16(levelUnit))) ||
            Failed(hr = set(METATAG_LEVEL_REF_PRESSURE_UNIT_ID, MetaTagU16(pressureUnit))))
            return hr;

        // The rest only for a log that records the level.
        CDynArray<ULONG> channels;
        if (Failed(hr = GetLogChannels(logFile, channels)))
            return hr;
        const ULONG levelChannel = ChannelWord(BUILT_IN_SENSOR_CONNECTION, kLevelParameter);
        const ULONG* first = channels.GetData();
        if (std::find(first, first + channels.GetCount(), levelChannel) == first + channels.GetCount())
            return S_OK;

        USHORT levelMode = 0;
        float gravity = 0.0f;
        if (Failed(hr = GetParameterId(BUILT_IN_SENSOR_CONNECTION, kLevelParameter, levelMode)) ||
            Failed(hr = set(METATAG_LEVEL_MEASUREMENT_MODE, MetaTagU16(levelMode))) ||
            Failed(hr = ReadSpecificGravity(gravity)) ||
            Failed(hr = set(METATAG_SPECIFIC_GRAVITY, MetaTagFloat(gravity))))
            return hr;
        if (levelMode == kDepthOfProbe)
            return S_OK;

        const BOOL setUpWithReference = GetLogFileFlag(logFile);
        BOOL remindLater = FALSE;
        if (Failed(hr = GetSoftwareRegisterBit(kRemindLaterBit, remindLater)))
            return hr;
        float reference = 0.0f;
        float pressureReference = 0.0f;
        if (Failed(hr = ReadLevelReference(reference)) ||
            Failed(hr = set(METATAG_LEVEL_REFERENCE_VAL, MetaTagFloat(reference))) ||
            Failed(hr = ReadPressureReference(pressureReference)) ||
            Failed(hr = set(METATAG_LEVEL_REF_PRESSURE, MetaTagFloat(pressureReference))))
            return hr;

        USHORT referenceMode = 0;
        if (setUpWithReference)
        {
            if (Failed(hr = DisableSoftwareRegisterBit(kRemindLaterBit)) ||
                Failed(hr = RemoveMetaTag(logFile, METATAG_REMIND_ME_LATER)) ||
                Failed(hr = EnableSoftwareRegisterBit(kReferenceSetBit)))
                return hr;
            referenceMode = kReferenceModeSet;
        }
        else if (!remindLater)
        {
            return S_OK;
        }
        else
        {
            if (Failed(hr = RemoveMetaTag(logFile, METATAG_LEVEL_REFERENCE_VAL)) ||
                Failed(hr = DisableSoftwareRegisterBit(kReferenceSetBit)) ||
                Failed(hr = set(METATAG_REMIND_ME_LATER, MetaTagU32(1))))
                return hr;
            referenceMode = kReferenceModeLater;
        }
        return set(METATAG_LEVEL_REFERENCE_MODE, MetaTagU16(referenceMode));
    }
    catch (...)
    {
        return MODBUSCOMM_E_EXCEPTION_CDEVICE;
    }
}

} // namespace NVSystem
