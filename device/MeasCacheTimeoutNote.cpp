#include "device/MeasCacheTimeoutNote.h"

namespace NVSystem
{

namespace
{

constexpr StringId IDS_CACHE_TIMEOUT = 10547;

} // namespace

CNVUserNote_SensorMeasCacheTO::CNVUserNote_SensorMeasCacheTO()
    : CNVValueNote(kSubType, kVersion, IDS_CACHE_TIMEOUT, u"   %s: %s")
{
}

HRESULT CNVUserNote_SensorMeasCacheTO::Load(const CNVLogNotesRecord& record)
{
    return LoadVersioned(record, kVersion);
}

} // namespace NVSystem
