// The flow logger's own meta-tags for a log set up now: the counters, the head of the moment and its
// reference, and whether the user chose to set the head reference later.
#include "device/LogFile.h"
#include "models/FluvarComm.h"
#include "models/LoggerMetaTags.h"

namespace NVSystem
{

namespace
{

constexpr USHORT kHeadReferenceLater = 4;

} // namespace

HRESULT CFluvarComm::FillLogFileMeta(CLogFile& logFile)
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
        float head = 0.0f;
        USHORT headUnit = 0;
        float pressure = 0.0f;
        USHORT pressureUnit = 0;
        if (Failed(hr = CalculateLevelFromPressure(head, headUnit, pressure, pressureUnit)))
            return hr;
        set(METATAG_LEVEL_REF_DEPTH_OF_PROBE, MetaTagFloat(head));
        set(METATAG_LEVEL_REF_HEAD_PRESSURE, MetaTagFloat(pressure));
        set(METATAG_LEVEL_REF_PRESSURE_UNIT_ID, MetaTagU16(pressureUnit));
        set(METATAG_LOG_SETUP_HEAD_UNIT_ID, MetaTagU16(headUnit));
        float gravity = 0.0f;
        if (Failed(hr = ReadSpecificGravity(gravity)))
            return hr;
        set(METATAG_SPECIFIC_GRAVITY, MetaTagFloat(gravity));

        BOOL remindLater = FALSE;
        if (Failed(hr = GetSoftwareRegisterBit(SOFTWARE_BIT_REMIND_LATER, remindLater)))
            return hr;
        float reference = 0.0f;
        float pressureReference = 0.0f;
        if (Failed(hr = ReadLevelReference(reference)) ||
            Failed(hr = set(METATAG_LOG_SETUP_HEAD_REF_VAL, MetaTagFloat(reference))) ||
            Failed(hr = ReadPressureReference(pressureReference)) ||
            Failed(hr = set(METATAG_LOG_SETUP_HEAD_REF_PRESSURE, MetaTagFloat(pressureReference))))
            return hr;
        if (!remindLater)
            return S_OK;
        RemoveMetaTag(logFile, METATAG_LEVEL_REFERENCE_VAL);
        set(METATAG_REMIND_ME_LATER, MetaTagU32(1));
        hr = set(METATAG_LOG_SETUP_HEAD_REF_MODE, MetaTagU16(kHeadReferenceLater));
        return Failed(hr) ? hr : S_OK;
    }
    catch (...)
    {
        return MODBUSCOMM_E_EXCEPTION_CDC;
    }
}

} // namespace NVSystem
