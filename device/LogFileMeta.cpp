#include "device/LogFileMeta.h"

#include <array>
#include <cstring>
#include <string>

namespace NVSystem
{

namespace
{

// The names outside the channel groups, by index.
constexpr const char16_t* kLeadingNames[METATAG_FIRST_CHANNEL] = {
    u"Unknown",
    u"MetaVersion",
    u"DemoModeApp",
    u"DeviceName",
    u"LogFileNum",
    u"DeviceSerialNum",
    u"DeviceTypeId",
    u"FirmwareRev",
    u"HardwareRev",
    u"SiteName",
    u"SiteGUID",
    u"CreatorUserName",
    u"CreatorComputerName",
    u"ApplicationName",
    u"ApplicationVer",
    u"CreateDateTime",
    u"LogGUID",
    u"LogType",
    u"LevelMeasurementMode",
    u"SpecificGravity",
    u"LevelReferenceMode",
    u"RemindMeLater",
    u"LevelReferenceVal",
    u"LevelUnitId",
    u"LevelRefDepthOfProbe",
    u"LevelRefPressureOffset",
    u"LevelRefPressure",
    u"LevelRefPressureUnitId",
    u"LevelRefTemp",
    u"LevelRefTempUnitId",
    u"EventSensorId",
    u"EventParameterId",
    u"EventUnitsId",
    u"EventSensorSerialNum",
    u"BaroAdjustedValues",
    u"LevelOffset",
    u"LevelRefHeadPressure",
    u"DynamicSpecificGravityFactor",
    u"TDSFactor",
    u"SpecCondMethod_KCellOffset",
    u"SpecCondMethod_KCellConstant",
    u"SpecificConductivityMethod",
    u"SpecCondCoeff_RefTemp",
    u"SpecCondCoeff_Alpha",
    u"SpecCondCoeff_Beta0",
    u"SpecCondCoeff_Beta1",
    u"SpecCondCoeff_Beta2",
    u"SpecCondCoeff_Beta3",
    u"SpecCondCoeff_Beta4",
    u"SpecCondCoeff_Beta5",
    u"SpecCondCoeff_Beta6",
    u"SpecCondCoeff_Beta7",
    u"ValueCacheTimeOut",
    u"LogChannelCount",
};

constexpr ULONG kFirstTrailing = METATAG_FIRST_CHANNEL + METATAG_CHANNEL_GROUPS * METATAG_CHANNEL_FIELDS;
static_assert(kFirstTrailing == METATAG_PUMP_TEST_ID);

constexpr const char16_t* kTrailingNames[METATAG_COUNT - kFirstTrailing] = {
    u"VQuarro_PumpTestId",
    u"VQuarro_PumpTestName",
    u"VQuarro_QuarroId",
    u"VQuarro_QuarroName",
    u"VQuarro_PumpWellSkiff",
    u"LogCfgId",
    u"LogSetupTimeZone",
    u"LogSetupIgnoreDST",
    u"DeviceAddress",
    u"DeviceCommCfg",
    u"BootCodeRev",
    u"LogSetupMemoryUsedPct",
    u"LogSetupBatteryUsedPct",
    u"LogSetupBattMeasCnt",
    u"LogSetupTotalMeasCnt",
    u"LogSetupTimeZoneInfo",
    u"LogSetupTimeZoneInfoState",
    u"LogTemplateName",
    u"LogTemplateDescription",
    u"LogSetupHeadUnitId",
    u"LogSetupHeadRefMode",
    u"LogSetupHeadRefVal",
    u"LogSetupHeadRefPressure",
    u"TSSFactor",
};

constexpr const char16_t* kChannelFieldNames[METATAG_CHANNEL_FIELDS] = {
    u"SensorConnection", u"SensorId", u"ParameterNumber", u"ParameterId", u"UnitsId", u"SentinelValue",
};

using NameTable = std::array<std::u16string, METATAG_COUNT>;

NameTable BuildNames()
{
    NameTable names;
    for (ULONG i = 0; i < METATAG_FIRST_CHANNEL; ++i)
        names[i] = kLeadingNames[i];
    for (ULONG channel = 0; channel < METATAG_CHANNEL_GROUPS; ++channel)
    {
        std::u16string prefix = u"CH";
        for (char digit : std::to_string(channel))
            prefix += static_cast<char16_t>(digit);
        prefix += u' ';
        for (ULONG field = 0; field < METATAG_CHANNEL_FIELDS; ++field)
            names[MetaTagOfChannel(channel, static_cast<MetaTagChannelField>(field))] =
                prefix + kChannelFieldNames[field];
    }
    for (ULONG i = kFirstTrailing; i < METATAG_COUNT; ++i)
        names[i] = kTrailingNames[i - kFirstTrailing];
    return names;
}

const NameTable& g_MetaTagNames()
{
    static const NameTable names = BuildNames();
    return names;
}

} // namespace

const char16_t* MetaTagName(ULONG tagIndex)
{
    return g_MetaTagNames()[tagIndex < METATAG_COUNT ? tagIndex : METATAG_UNKNOWN].c_str();
}

ULONG MetaTagIndexOf(const char16_t* name)
{
    if (name == nullptr)
        return METATAG_UNKNOWN;
    const CWideString text(name);
    const NameTable& names = g_MetaTagNames();
    for (ULONG i = 0; i < METATAG_COUNT; ++i)
    {
        if (text.CompareNoCase(names[i].c_str()) == 0)
            return i;
    }
    return METATAG_UNKNOWN;
}

// --- MetaTagValue ---

MetaTagValue::MetaTagValue(const char16_t* text)
{
    SetString(text);
}

MetaTagValue::MetaTagValue(const MetaTagValue& other)
{
    *this = other;
}

MetaTagValue& MetaTagValue::operator=(const MetaTagValue& other)
{
    // The copy of the text exists before the old one goes: the source may be this value.
    char16_t* text = other.m_nType == METATAG_TYPE_STRING ? WideStrDup(other.m_pText) : nullptr;
    uint8_t value[kValueBytes];
    std::memcpy(value, other.m_Value, kValueBytes);
    const ULONG type = other.m_nType;
    Clear();
    m_nType = type;
    std::memcpy(m_Value, value, kValueBytes);
    m_pText = text;
    return *this;
}

MetaTagValue::~MetaTagValue()
{
    Clear();
}

void MetaTagValue::Clear()
{
    delete[] m_pText;
    m_pText = nullptr;
    std::memset(m_Value, 0, kValueBytes);
    m_nType = METATAG_TYPE_EMPTY;
}

void MetaTagValue::SetInteger(ULONG type, uint64_t value)
{
    Clear();
    m_nType = type;
    std::memcpy(m_Value, &value, sizeof value);
}

uint64_t MetaTagValue::GetInteger() const
{
    uint64_t value = 0;
    std::memcpy(&value, m_Value, sizeof value);
    return value;
}

void MetaTagValue::SetU8(BYTE value)
{
    SetInteger(METATAG_TYPE_U8, value);
}

void MetaTagValue::SetU16(USHORT value)
{
    SetInteger(METATAG_TYPE_U16, value);
}

void MetaTagValue::SetU32(ULONG value)
{
    SetInteger(METATAG_TYPE_U32, value);
}

void MetaTagValue::SetBool(BOOL value)
{
    SetInteger(METATAG_TYPE_BOOL, static_cast<uint32_t>(value));
}

void MetaTagValue::SetI8(int8_t value)
{
    SetInteger(METATAG_TYPE_I8, static_cast<uint8_t>(value));
}

void MetaTagValue::SetFloat(float value)
{
    Clear();
    m_nType = METATAG_TYPE_FLOAT;
    std::memcpy(m_Value, &value, sizeof value);
}

void MetaTagValue::SetTime(const SYSTEMTIME& utc)
{
    Clear();
    m_nType = METATAG_TYPE_SYSTEMTIME;
    const WORD fields[] = {utc.wYear, utc.wMonth,  utc.wDayOfWeek, utc.wDay,
                           utc.wHour, utc.wMinute, utc.wSecond,    utc.wMilliseconds};
    static_assert(sizeof fields == kValueBytes);
    std::memcpy(m_Value, fields, sizeof fields);
}

void MetaTagValue::SetString(const char16_t* text)
{
    // Copied first: the text may be this value's own.
    char16_t* copy = WideStrDup(text != nullptr ? text : u"");
    Clear();
    m_nType = METATAG_TYPE_STRING;
    m_pText = copy;
}

ULONG MetaTagValue::GetU32() const
{
    switch (m_nType)
    {
    case METATAG_TYPE_U8:
    case METATAG_TYPE_U16:
    case METATAG_TYPE_U32:
    case METATAG_TYPE_BOOL:
        return static_cast<ULONG>(GetInteger());
    default:
        return 0;
    }
}

float MetaTagValue::GetFloat() const
{
    float value = 0.0f;
    if (m_nType == METATAG_TYPE_FLOAT)
        std::memcpy(&value, m_Value, sizeof value);
    return value;
}

SYSTEMTIME MetaTagValue::GetTime() const
{
    SYSTEMTIME time;
    if (m_nType != METATAG_TYPE_SYSTEMTIME)
        return time;
    WORD fields[8] = {};
    std::memcpy(fields, m_Value, sizeof fields);
    time.wYear = fields[0];
    time.wMonth = fields[1];
    time.wDayOfWeek = fields[2];
    time.wDay = fields[3];
    time.wHour = fields[4];
    time.wMinute = fields[5];
    time.wSecond = fields[6];
    time.wMilliseconds = fields[7];
    return time;
}

USHORT MetaTagValue::ReadAsUShort() const
{
    switch (m_nType)
    {
    case METATAG_TYPE_U8:
        return static_cast<uint8_t>(GetInteger());
    case 2:
    case METATAG_TYPE_U16:
    case 4:
    case METATAG_TYPE_U32:
    case 8:
    case METATAG_TYPE_BOOL:
    case 12:
        return static_cast<USHORT>(GetInteger());
    case METATAG_TYPE_I8:
        return static_cast<USHORT>(static_cast<int16_t>(static_cast<int8_t>(GetInteger())));
    default:
        return 0;
    }
}

MetaTagValue MetaTagU16(USHORT value)
{
    MetaTagValue tag;
    tag.SetU16(value);
    return tag;
}

MetaTagValue MetaTagU32(ULONG value)
{
    MetaTagValue tag;
    tag.SetU32(value);
    return tag;
}

MetaTagValue MetaTagFloat(float value)
{
    MetaTagValue tag;
    tag.SetFloat(value);
    return tag;
}

// --- MetaTagEntry ---

MetaTagEntry::~MetaTagEntry()
{
    m_nSignature = 0;
}

void MetaTagEntry::Reset()
{
    m_Name.SetEmpty();
    m_Value.Clear();
}

} // namespace NVSystem
