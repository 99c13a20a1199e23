// The meta-tags of a log file description: named, typed facts about the circumstances in which a
// log was set up (the PC, the user and the program, the device, the time zone, every logged
// channel). A tag's name comes from one fixed table; its position there is the tag index by which
// the code names it. Any name that is not in the table has index 0, "Unknown".
#pragma once

#include <cstdint>

#include "foundation/SystemTime.h"
#include "foundation/WideString.h"
#include "platform/Types.h"

namespace NVSystem
{

// Value types of a meta-tag. Types 2, 4, 8 and 12 are further integer types of which readers take
// the low 16 bits.
inline constexpr ULONG METATAG_TYPE_EMPTY = 0;
inline constexpr ULONG METATAG_TYPE_U8 = 1;
inline constexpr ULONG METATAG_TYPE_U16 = 3;
inline constexpr ULONG METATAG_TYPE_U32 = 5;
inline constexpr ULONG METATAG_TYPE_FLOAT = 6;
inline constexpr ULONG METATAG_TYPE_STRING = 9;
inline constexpr ULONG METATAG_TYPE_SYSTEMTIME = 10; // UTC
inline constexpr ULONG METATAG_TYPE_BOOL = 11;
inline constexpr ULONG METATAG_TYPE_I8 = 14;

// Tag indices: the positions of the names in the table.
enum MetaTagIndex : ULONG
{
    METATAG_UNKNOWN = 0,
    METATAG_META_VERSION = 1,
    METATAG_DEMO_MODE_APP = 2,
    METATAG_DEVICE_NAME = 3,
    METATAG_LOG_FILE_NUM = 4,
    METATAG_DEVICE_SERIAL_NUM = 5,
    METATAG_DEVICE_TYPE_ID = 6,
    METATAG_FIRMWARE_REV = 7,
    METATAG_HARDWARE_REV = 8,
    METATAG_SITE_NAME = 9,
    METATAG_SITE_GUID = 10,
    METATAG_CREATOR_USER_NAME = 11,
    METATAG_CREATOR_COMPUTER_NAME = 12,
    METATAG_APPLICATION_NAME = 13,
    METATAG_APPLICATION_VER = 14,
    METATAG_CREATE_DATE_TIME = 15,
    METATAG_LOG_GUID = 16,
    METATAG_LOG_TYPE = 17,
    METATAG_LEVEL_MEASUREMENT_MODE = 18,
    METATAG_SPECIFIC_GRAVITY = 19,
    METATAG_LEVEL_REFERENCE_MODE = 20,
    METATAG_REMIND_ME_LATER = 21,
    METATAG_LEVEL_REFERENCE_VAL = 22,
    METATAG_LEVEL_UNIT_ID = 23,
    METATAG_LEVEL_REF_DEPTH_OF_PROBE = 24,
    METATAG_LEVEL_REF_PRESSURE_OFFSET = 25,
    METATAG_LEVEL_REF_PRESSURE = 26,
    METATAG_LEVEL_REF_PRESSURE_UNIT_ID = 27,
    METATAG_LEVEL_REF_TEMP = 28,
    METATAG_LEVEL_REF_TEMP_UNIT_ID = 29,
    METATAG_EVENT_SENSOR_ID = 30,
    METATAG_EVENT_PARAMETER_ID = 31,
    METATAG_EVENT_UNITS_ID = 32,
    METATAG_EVENT_SENSOR_SERIAL_NUM = 33,
    METATAG_BARO_ADJUSTED_VALUES = 34,
    METATAG_LEVEL_OFFSET = 35,
    METATAG_LEVEL_REF_HEAD_PRESSURE = 36,
    METATAG_DYNAMIC_SPECIFIC_GRAVITY_FACTOR = 37,
    METATAG_TDS_FACTOR = 38,
    METATAG_SPEC_COND_K_CELL_OFFSET = 39,
    METATAG_SPEC_COND_K_CELL_CONSTANT = 40,
    METATAG_SPECIFIC_CONDUCTIVITY_METHOD = 41,
    METATAG_SPEC_COND_REF_TEMP = 42,
    METATAG_SPEC_COND_ALPHA = 43,
    METATAG_SPEC_COND_BETA0 = 44, // to METATAG_SPEC_COND_BETA0 + 7
    METATAG_VALUE_CACHE_TIMEOUT = 52,
    METATAG_LOG_CHANNEL_COUNT = 53,
    METATAG_FIRST_CHANNEL = 54, // the channel groups, see MetaTagOfChannel
    METATAG_PUMP_TEST_ID = 246,
    METATAG_PUMP_TEST_NAME = 247,
    METATAG_QUARRO_ID = 248,
    METATAG_QUARRO_NAME = 249,
    METATAG_PUMP_WELL_SKIFF = 250,
    METATAG_LOG_CFG_ID = 251,
    METATAG_LOG_SETUP_TIME_ZONE = 252,
    METATAG_LOG_SETUP_IGNORE_DST = 253,
    METATAG_DEVICE_ADDRESS = 254,
    METATAG_DEVICE_COMM_CFG = 255,
    METATAG_BOOT_CODE_REV = 256,
    METATAG_LOG_SETUP_MEMORY_USED_PCT = 257,
    METATAG_LOG_SETUP_BATTERY_USED_PCT = 258,
    METATAG_LOG_SETUP_BATT_MEAS_CNT = 259,
    METATAG_LOG_SETUP_TOTAL_MEAS_CNT = 260,
    METATAG_LOG_SETUP_TIME_ZONE_INFO = 261,
    METATAG_LOG_SETUP_TIME_ZONE_INFO_STATE = 262,
    METATAG_LOG_TEMPLATE_NAME = 263,
    METATAG_LOG_TEMPLATE_DESCRIPTION = 264,
    METATAG_LOG_SETUP_HEAD_UNIT_ID = 265,
    METATAG_LOG_SETUP_HEAD_REF_MODE = 266,
    METATAG_LOG_SETUP_HEAD_REF_VAL = 267,
    METATAG_LOG_SETUP_HEAD_REF_PRESSURE = 268,
    METATAG_TSS_FACTOR = 269,
    METATAG_COUNT = 270,
};

// Six tags per channel, for channels 0 to 31 only: the table has no names for more.
inline constexpr ULONG METATAG_CHANNEL_GROUPS = 32;
enum MetaTagChannelField : ULONG
{
    METATAG_CHANNEL_SENSOR_CONNECTION = 0,
    METATAG_CHANNEL_SENSOR_ID = 1,
    METATAG_CHANNEL_PARAMETER_NUMBER = 2,
    METATAG_CHANNEL_PARAMETER_ID = 3,
    METATAG_CHANNEL_UNITS_ID = 4,
    METATAG_CHANNEL_SENTINEL_VALUE = 5,
    METATAG_CHANNEL_FIELDS = 6,
};
// The index of a field of a channel below METATAG_CHANNEL_GROUPS.
constexpr ULONG MetaTagOfChannel(ULONG channel, MetaTagChannelField field)
{
    return METATAG_FIRST_CHANNEL + METATAG_CHANNEL_FIELDS * channel + field;
}

// The name of a tag index; "Unknown" for an index of METATAG_COUNT or more.
const char16_t* MetaTagName(ULONG tagIndex);
// The index whose name equals the text without regard to case; 0 for any other text.
ULONG MetaTagIndexOf(const char16_t* name);

// A typed value: integers, a float, a UTC time, or a text that the value owns.
class MetaTagValue
{
public:
    static constexpr uint32_t kValueBytes = 16;

    MetaTagValue() = default;
    // A copy of the text (type 9).
    explicit MetaTagValue(const char16_t* text);
    MetaTagValue(const MetaTagValue& other);
    // Assigning a value to itself keeps it as it is.
    MetaTagValue& operator=(const MetaTagValue& other);
    ~MetaTagValue();

    // Type 0, value zero; an owned text is freed.
    void Clear();
    void SetU8(BYTE value);
    void SetU16(USHORT value);
    void SetU32(ULONG value);
    void SetFloat(float value);
    void SetBool(BOOL value);
    void SetI8(int8_t value);
    void SetTime(const SYSTEMTIME& utc);
    void SetString(const char16_t* text);

    ULONG GetType() const { return m_nType; }
    // Of the value's own type; 0 (or a zero time, or null) for another.
    ULONG GetU32() const;
    float GetFloat() const;
    SYSTEMTIME GetTime() const;
    const char16_t* GetString() const { return m_nType == METATAG_TYPE_STRING ? m_pText : nullptr; }
    // What readers of ids take: the byte of type 1, the low 16 bits of types 2, 3, 4, 5, 8, 11
    // and 12, the signed byte of type 14 widened, 0 for any other type.
    USHORT ReadAsUShort() const;

private:
    void SetInteger(ULONG type, uint64_t value);
    uint64_t GetInteger() const;

    ULONG m_nType = METATAG_TYPE_EMPTY;
    uint8_t m_Value[kValueBytes] = {}; // every type but the text
    char16_t* m_pText = nullptr;       // owned, type 9 only
};

// A value of the type in one expression.
MetaTagValue MetaTagU16(USHORT value);
MetaTagValue MetaTagU32(ULONG value);
MetaTagValue MetaTagFloat(float value);

// One meta-tag of a log file description.
class MetaTagEntry
{
public:
    static constexpr uint32_t kSignature = 0x4D544147; // 'MTAG'

    MetaTagEntry() = default;
    MetaTagEntry(const char16_t* name, const MetaTagValue& value) : m_Name(name), m_Value(value) {}
    MetaTagEntry(const MetaTagEntry&) = default;
    MetaTagEntry& operator=(const MetaTagEntry&) = default;
    ~MetaTagEntry();

    // Empty name and value; an owned text is freed.
    void Reset();
    // The position of the name in the table, 0 when it is not there.
    ULONG GetTagIndex() const { return MetaTagIndexOf(m_Name); }

    CWideString m_Name;
    MetaTagValue m_Value;
    uint32_t m_nSignature = kSignature;
};

// A value under a numeric key, as the sonde keeps its cached settings.
struct MetaKeyedValue
{
    void Clear()
    {
        m_nKey = 0;
        m_Value.Clear();
    }

    ULONG m_nKey = 0;
    MetaTagValue m_Value;
};

} // namespace NVSystem
