#include "connection/SensorStatusText.h"

#include <algorithm>

#include "foundation/NameLookups.h"
#include "foundation/SystemStrings.h"

namespace
{

constexpr USHORT kRegisterMapV1 = 1;
constexpr USHORT kRegisterMapV3 = 3;
constexpr USHORT kOpticalDoSensorId = 42;
constexpr USHORT kPartialPressureParameterId = 2;
constexpr StringId kPartialPressureOxygenText = 10328;

} // namespace

const char16_t* const g_StatusNamesV1[STATUS_NAMES_V1_COUNT] = {
    u"Normal",          u"User Cal. Expired",  u"Factory Cal. Expired", u"Error",         u"Sensor Warm-Up",
    u"Sensor Disabled", u"Sensor Calibrating", u"Sensor Missing",       u"Sensor Warning"};

const char16_t* const g_StatusNamesV3[STATUS_NAMES_V3_COUNT] = {
    u"Normal",         u"User Cal. Expired",  u"Factory Cal. Expired", u"Error",         u"Wiper Warning",
    u"Sensor Warning", u"Sensor Calibrating", u"Sensor Missing",       u"Probe Missing", u"Probe Missing"};

const char16_t* const g_StatusDescriptions[STATUS_DESCRIPTIONS_COUNT] = {
    u"",
    u"Parameter measured without errors using an expired user calibration.",
    u"Parameter measured without errors using an expired factory calibration.",
    u"Parameter measured with error, sentinel value supplied.",
    u"",
    u"Parameter measured but does not meet normal quality criteria. The sensor has sustained moderate "
    u"damage, "
    u"or the recommended lifespan has been reached.",
    u"Sensor is calibrating, calibration value supplied.",
    u"Sensor communication failed, sentinel value supplied. Make sure the sensor cap is installed and "
    u"properly "
    u"seated.",
    u"",
    u""};

CWideString FormatSensorStatusText(USHORT code, USHORT registerMapVersion)
{
    const char16_t* name = u"Unknown";
    if (registerMapVersion == kRegisterMapV1 && code < STATUS_NAMES_V1_COUNT)
        name = g_StatusNamesV1[code];
    else if (registerMapVersion == kRegisterMapV3 && code < STATUS_NAMES_V3_COUNT)
        name = g_StatusNamesV3[code];
    if (code == 0)
        return CWideString(name);
    return CWideString(u"%u - %s", static_cast<unsigned>(code), name);
}

int GetMaxStatusTextWidth(const std::function<int(const CWideString& text)>& measure)
{
    int widest = 0;
    for (USHORT code = 0; code < STATUS_NAMES_V1_COUNT; ++code)
        widest = std::max(widest, measure(FormatSensorStatusText(code, kRegisterMapV1)));
    for (USHORT code = 0; code < STATUS_NAMES_V3_COUNT; ++code)
        widest = std::max(widest, measure(FormatSensorStatusText(code, kRegisterMapV3)));
    return widest;
}

CWideString GetParameterDisplayName(USHORT sensorId, USHORT parameterId)
{
    if (sensorId == kOpticalDoSensorId && parameterId == kPartialPressureParameterId)
    {
        CWideString name = GetSystemString(kPartialPressureOxygenText);
        if (!name.IsEmpty())
            return name;
    }
    return GetParameterIdName(parameterId);
}
