// The flow logger's own meta-tags for a log set up now: the counters, the head of the moment and its
// reference, and whether the user chose to set the head reference later.
#include "device/LogFile.h"
#include "models/FluvarComm.h"

namespace NVSystem
{

namespace
{

constexpr USHORT kHeadReferenceLater = 4;

} // namespace

HRESULT CFluvarComm::FillLogFileMeta(CLogFile& logFile)
{
    return FillLoggerMeta(
        logFile,
        [&]
        {
            HRESULT hr = S_OK;
            const auto set = [&logFile](ULONG tagIndex, const MetaTagValue& value)
            { return SetMetaTagValue(logFile, tagIndex, value); };
            if (Failed(hr = SetLevelOfTheMomentMetaTags(logFile, *this, METATAG_LOG_SETUP_HEAD_UNIT_ID)))
                return hr;
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
        });
}

} // namespace NVSystem
