#include "models/SettingNotes.h"

#include <limits>

namespace NVSystem
{

namespace
{

constexpr StringId IDS_SPECIFIC_GRAVITY = 10103;
constexpr StringId IDS_TDS_FACTOR = 10167;
constexpr StringId IDS_DYNAMIC_SG_FACTOR = 10169;

} // namespace

CNVUserNote_Calibrate_TDSFactor::CNVUserNote_Calibrate_TDSFactor()
    : CNVValueNote(kSubType, kVersion, IDS_TDS_FACTOR, u" %s: %s")
{
}

HRESULT CNVUserNote_Calibrate_TDSFactor::Load(const CNVLogNotesRecord& record)
{
    // Every version after the first carries the user name.
    return LoadVersioned(record, std::numeric_limits<uint16_t>::max());
}

CNVUserNote_NewSpecificGravFactor::CNVUserNote_NewSpecificGravFactor()
    : CNVValueNote(kSubType, 0, IDS_DYNAMIC_SG_FACTOR, u"   %s: %s")
{
}

CNVUserNote_NewSpecificGravity::CNVUserNote_NewSpecificGravity()
    : CNVValueNote(kSubType, 0, IDS_SPECIFIC_GRAVITY, u"   %s: %s")
{
}

} // namespace NVSystem
