#include "foundation/NameLookups.h"

#include "foundation/SystemStrings.h"

namespace
{

constexpr StringId kUnknown = 10045;
constexpr uint16_t kExtraId = 5000;

} // namespace

CWideString GetSensorTypeName(SensorId sensor)
{
    if (sensor < SENSOR_TYPE_NAME_ROWS - 1)
        return GetSystemString(SensorTypeNameIds[sensor]);
    if (sensor == kExtraId)
        return GetSystemString(SensorTypeNameIds[SENSOR_TYPE_NAME_ROWS - 1]);
    return GetSystemString(SensorTypeNameIds[0]);
}

CWideString GetParameterIdName(ParameterId parameter)
{
    if (parameter < PARAMETER_NAME_ROWS - 1)
        return GetSystemString(ParameterNameIds[parameter]);
    if (parameter == kExtraId)
        return GetSystemString(ParameterNameIds[PARAMETER_NAME_ROWS - 1]);
    return GetSystemString(ParameterNameIds[0]);
}

CWideString GetUnitAbbreviation(UnitId unit)
{
    for (const sUnitAbbreviationRow& row : UnitAbbreviationIds)
    {
        if (row.unitId == unit)
            return GetSystemString(row.stringId);
    }
    return GetSystemString(kUnknown);
}

CWideString FormatReadingQuality(uint16_t quality)
{
    const uint16_t code = quality & 0x0F;
    if (code >= QUALITY_NAME_ROWS)
        return GetSystemString(kUnknown);
    CWideString name = GetSystemString(QualityNameIds[code]);
    // The name is a value, never a format: it goes in through %s.
    CWideString text(u"%s[%d]", static_cast<const char16_t*>(name), quality >> 4);
    text.Replace(u"[0]", u"");
    return text;
}

CWideString GetLogStatusName(uint32_t status)
{
    if (status < LOG_STATUS_NAME_ROWS)
        return GetSystemString(LogStatusNameIds[status]);
    return GetSystemString(kUnknown);
}

const char16_t* GetDeviceModelName(DeviceTypeId deviceType)
{
    for (const sDeviceModelName& row : DeviceModelNames)
    {
        if (row.deviceTypeId == deviceType)
            return row.name;
    }
    return u"Unknown";
}
