// The meta-tags of a log file description: the name table, the typed values, the accessors that
// keep one tag per name, and the base tags a device fills for a log set up now.
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "device/LogFile.h"
#include "foundation/DisplaySettings.h"
#include "foundation/ProgramVersion.h"
#include "foundation/SystemNames.h"
#include "foundation/TimeTools.h"
#include "foundation/Units.h"
#include "platform/Identity.h"
#include "platform/SettingsStore.h"
#include "tests/device/DeviceTestSupport.h"
#include "tests/foundation/ScopedEnvironment.h"
#include "tools/probe-sim/PressureSensors.h"

namespace devicetest
{
namespace
{

using namespace NVSystem;

std::u16string Text(const char16_t* text)
{
    return text != nullptr ? std::u16string(text) : std::u16string();
}

std::optional<MetaTagEntry> Tag(CLogFile& log, ULONG tagIndex)
{
    MetaTagEntry entry;
    if (Failed(CDeviceComm::GetMetaTag(log, tagIndex, entry)))
        return std::nullopt;
    return entry;
}

std::u16string TagName(CLogFile& log, uint32_t position)
{
    return Text(log.m_MetaTags.GetData()[position].m_Name);
}

TEST(MetaTagNames, EveryIndexHasItsOwnNameAndNamesMatchWithoutCase)
{
    for (ULONG i = 0; i < METATAG_COUNT; ++i)
        EXPECT_EQ(MetaTagIndexOf(MetaTagName(i)), i) << i;
    const std::pair<ULONG, const char16_t*> names[] = {
        {0, u"Unknown"},
        {16, u"LogGUID"},
        {44, u"SpecCondCoeff_Beta0"},
        {53, u"LogChannelCount"},
        {54, u"CH0 SensorConnection"},
        {59, u"CH0 SentinelValue"},
        {60, u"CH1 SensorConnection"},
        {120, u"CH11 SensorConnection"},
        {245, u"CH31 SentinelValue"},
        {246, u"VQuarro_PumpTestId"},
        {261, u"LogSetupTimeZoneInfo"},
        {269, u"TSSFactor"},
        {270, u"Unknown"},
        {100000, u"Unknown"},
    };
    for (const auto& [index, name] : names)
        EXPECT_EQ(Text(MetaTagName(index)), name) << index;
    EXPECT_EQ(MetaTagIndexOf(u"logguid"), METATAG_LOG_GUID);
    EXPECT_EQ(MetaTagIndexOf(u"ch31 sentinelvalue"), MetaTagOfChannel(31, METATAG_CHANNEL_SENTINEL_VALUE));
    EXPECT_EQ(MetaTagIndexOf(u"CH32 SensorId"), METATAG_UNKNOWN);
    EXPECT_EQ(MetaTagIndexOf(nullptr), METATAG_UNKNOWN);
}

TEST(MetaTagValue, OwnsItsTextThroughCopiesAndSelfAssignment)
{
    MetaTagValue value(u"Well 7");
    const MetaTagValue& self = value;
    value = self;
    EXPECT_EQ(value.GetType(), METATAG_TYPE_STRING);
    EXPECT_EQ(Text(value.GetString()), u"Well 7");

    const MetaTagValue copy(value);
    value.SetFloat(2.5f);
    EXPECT_EQ(value.GetString(), nullptr);
    EXPECT_EQ(value.GetFloat(), 2.5f);
    EXPECT_EQ(Text(copy.GetString()), u"Well 7");

    MetaTagEntry entry(u"SiteName", copy);
    const MetaTagEntry& same = entry;
    entry = same;
    EXPECT_EQ(Text(entry.m_Value.GetString()), u"Well 7");
    EXPECT_EQ(entry.GetTagIndex(), METATAG_SITE_NAME);
    entry.Reset();
    EXPECT_EQ(entry.m_Value.GetType(), METATAG_TYPE_EMPTY);
    EXPECT_EQ(entry.GetTagIndex(), METATAG_UNKNOWN);
}

TEST(MetaTagValue, IdsReadAsTheirLow16BitsOrTheWidenedSignedByte)
{
    MetaTagValue value;
    value.SetU8(0xAB);
    EXPECT_EQ(value.ReadAsUShort(), 0xAB);
    value.SetU32(0x12345678);
    EXPECT_EQ(value.ReadAsUShort(), 0x5678);
    value.SetI8(-2);
    EXPECT_EQ(value.ReadAsUShort(), 0xFFFE);
    value.SetBool(TRUE);
    EXPECT_EQ(value.ReadAsUShort(), 1);
    value.SetFloat(7.0f);
    EXPECT_EQ(value.ReadAsUShort(), 0);
    value.SetString(u"7");
    EXPECT_EQ(value.ReadAsUShort(), 0);
}

TEST(LogFileAccess, OneTagPerNameInPlaceAndInOrder)
{
    CLogFile log;
    ASSERT_EQ(CDeviceComm::SetMetaTag(log, METATAG_LOG_GUID, MetaTagValue(u"{A}")), S_OK);
    ASSERT_EQ(CDeviceComm::SetMetaTagValue(log, METATAG_SITE_NAME, MetaTagValue(u"North")), S_OK);
    ASSERT_EQ(CDeviceComm::SetMetaTagValue(log, METATAG_DEVICE_TYPE_ID, MetaTagU16(6)), S_OK);
    // Another case of a name is the same tag, replaced where it stands.
    ASSERT_EQ(CDeviceComm::InsertOrReplaceMetaTag(log, MetaTagEntry(u"logguid", MetaTagValue(u"{B}"))), S_OK);
    ASSERT_EQ(log.m_MetaTags.GetCount(), 3u);
    EXPECT_EQ(TagName(log, 0), u"logguid");
    EXPECT_EQ(Text(Tag(log, METATAG_LOG_GUID)->m_Value.GetString()), u"{B}");

    // Indices past the table all land on "Unknown".
    ASSERT_EQ(CDeviceComm::SetMetaTagValue(log, 300, MetaTagU16(1)), S_OK);
    ASSERT_EQ(CDeviceComm::SetMetaTagValue(log, METATAG_COUNT, MetaTagU16(2)), S_OK);
    ASSERT_EQ(log.m_MetaTags.GetCount(), 4u);
    EXPECT_EQ(TagName(log, 3), u"Unknown");
    EXPECT_EQ(Tag(log, METATAG_UNKNOWN)->m_Value.ReadAsUShort(), 2);

    EXPECT_EQ(CDeviceComm::RemoveMetaTag(log, METATAG_SITE_NAME), S_OK);
    EXPECT_EQ(CDeviceComm::RemoveMetaTag(log, METATAG_SITE_NAME), S_OK);
    ASSERT_EQ(log.m_MetaTags.GetCount(), 3u);
    EXPECT_EQ(TagName(log, 0), u"logguid");
    EXPECT_EQ(TagName(log, 1), u"DeviceTypeId");
    MetaTagEntry entry;
    EXPECT_EQ(CDeviceComm::GetMetaTag(log, METATAG_SITE_NAME, entry), LOGFILE_E_META_NOT_FOUND);
}

TEST(LogFileAccess, ChannelsEventAndChannelInfo)
{
    CLogFile log;
    log.m_Channels.Add(ChannelWord(2, 3));
    log.m_Channels.Add(ChannelWord(1, 1));
    CDynArray<ULONG> channels;
    ASSERT_EQ(CDeviceComm::GetLogChannels(log, channels), S_OK);
    ASSERT_EQ(channels.GetCount(), 2u);
    EXPECT_EQ(channels[0], 0x00030002u);
    EXPECT_EQ(CDeviceComm::GetLogChannelCount(log), 2);
    ULONG word = 0;
    EXPECT_EQ(CDeviceComm::GetLogChannel(log, 2, word), LOGFILE_E_INVALID_INDEX);

    sLogEventDefinition event;
    EXPECT_EQ(CDeviceComm::GetLogType6Block(log, event), LOGFILE_E_INVALID_TYPE);
    log.m_nLogType = LOG_TYPE_EVENT;
    log.m_EventDefinition.SensorConnection = 2;
    ASSERT_EQ(CDeviceComm::GetLogType6Block(log, event), S_OK);
    EXPECT_EQ(event.SensorConnection, 2);

    sLogChannelInfo info;
    EXPECT_EQ(CDeviceComm::GetLogChannelInfo(log, 0, info), LOGFILE_E_NOT_LOADED);
    log.m_nLoaded = 1;
    MetaTagValue sensorId;
    sensorId.SetU8(84);
    MetaTagValue parameterId;
    parameterId.SetI8(-1);
    CDeviceComm::SetMetaTag(log, MetaTagOfChannel(0, METATAG_CHANNEL_SENSOR_ID), sensorId);
    CDeviceComm::SetMetaTag(log, MetaTagOfChannel(0, METATAG_CHANNEL_PARAMETER_ID), parameterId);
    EXPECT_EQ(CDeviceComm::GetLogChannelInfo(log, 0, info), LOGFILE_E_META_NOT_FOUND); // no UnitsId
    CDeviceComm::SetMetaTag(log, MetaTagOfChannel(0, METATAG_CHANNEL_UNITS_ID), MetaTagU32(0x10011));
    ASSERT_EQ(CDeviceComm::GetLogChannelInfo(log, 0, info), S_OK);
    EXPECT_EQ(info.Connection, 2);
    EXPECT_EQ(info.ParameterNumber, 3);
    EXPECT_EQ(info.SensorId, 84);
    EXPECT_EQ(info.ParameterId, 0xFFFF);
    EXPECT_EQ(info.UnitsId, 0x11);

    // A channel past the table has no tags of its own: the indices it would use name other facts.
    for (int n = 2; n <= 32; ++n)
        log.m_Channels.Add(ChannelWord(1, 1));
    for (ULONG index = METATAG_PUMP_TEST_ID; index <= METATAG_LOG_CFG_ID; ++index)
        CDeviceComm::SetMetaTag(log, index, MetaTagU16(9));
    EXPECT_EQ(CDeviceComm::GetLogChannelInfo(log, 32, info), LOGFILE_E_META_NOT_FOUND);
}

// A level logger of type 6 (scratch pad at 47008) with its level sensor on connection 1.
class LogFileMetaFill : public DeviceOnSimulator
{
protected:
    static constexpr uint32_t kSerial = 4711;
    static constexpr uint16_t kBootCodeRevision = 0x0105;

    void StartLogger()
    {
        probesim::InstrumentConfig config;
        config.deviceType = 6;
        config.serialNumber = kSerial;
        config.firmwareVersion = 123;
        config.hardwareVersion = 4;
        config.deviceName = u"Well 7";
        config.siteName = u"North Field";
        StartLine(config);
        Probe().Sensors().Add(1, probesim::LevelSensor(kSerial * 10 + 1));
        probesim::SlaveIdentity identity = Sim().Model().Identity();
        identity.reserved = kBootCodeRevision;
        Sim().Model().SetIdentity(identity);
        AttachDevice();
    }
};

TEST_F(LogFileMetaFill, BaseTagsDescribeTheDeviceTheCreatorTheZoneAndTheEvent)
{
    testsupport::ScopedEnv zone("TZ", "JST-9"); // no daylight saving: the zone is "Unknown"
    ASSERT_TRUE(platform::settings::SetDword(
        platform::Hive::CurrentUser, u"Software\\Norvane\\Fieldmere\\SystemSettings", u"IgnoreDST", 1));
    ResetDisplaySettingsForTests();
    StartLogger();
    CLogFile log;
    log.m_nLogType = LOG_TYPE_EVENT;
    log.m_EventDefinition = {1, probesim::levelsensor::kLevel, {}};
    SYSTEMTIME before;
    GetSystemTime(before);
    ASSERT_EQ(Device().FillLogFileMeta(log), S_OK);
    SYSTEMTIME after;
    GetSystemTime(after);

    EXPECT_EQ(log.m_nVersion, 2); // register map version 3
    EXPECT_EQ(Text(Tag(log, METATAG_LOG_GUID)->m_Value.GetString()), platform::GuidToString(log.m_Guid));
    // The instrument keeps the GUID with its numbers big-endian.
    const std::vector<uint8_t> pad = Probe().ScratchPad();
    ASSERT_EQ(pad.size(), 20u);
    EXPECT_EQ(pad[0], log.m_Guid.Data1 >> 24);
    EXPECT_EQ(pad[3], log.m_Guid.Data1 & 0xFF);
    EXPECT_EQ(pad[4], log.m_Guid.Data2 >> 8);
    EXPECT_EQ(pad[7], log.m_Guid.Data3 & 0xFF);
    EXPECT_EQ(std::memcmp(&pad[8], log.m_Guid.Data4, 8), 0);

    const std::pair<ULONG, ULONG> numbers[] = {
        {METATAG_META_VERSION, 2},
        {METATAG_DEVICE_SERIAL_NUM, kSerial},
        {METATAG_DEVICE_ADDRESS, kSlave},
        // RTU, 19200 baud (id 6), 8 data bits, even parity, one stop bit.
        {METATAG_DEVICE_COMM_CFG, 0 | (6 - 5) << 1 | 1 << 4},
        {METATAG_DEVICE_TYPE_ID, 6},
        {METATAG_BOOT_CODE_REV, kBootCodeRevision},
        {METATAG_FIRMWARE_REV, 123},
        {METATAG_HARDWARE_REV, 4},
        {METATAG_LOG_SETUP_IGNORE_DST, 1},
        {METATAG_LOG_SETUP_TIME_ZONE_INFO_STATE, TIME_ZONE_ID_UNKNOWN},
        {METATAG_LOG_TYPE, LOG_TYPE_EVENT},
        {METATAG_VALUE_CACHE_TIMEOUT, 1000},
        {METATAG_LOG_CHANNEL_COUNT, 0},
        {METATAG_EVENT_SENSOR_ID, probesim::kLevelSensorId},
        {METATAG_EVENT_PARAMETER_ID, probesim::levelsensor::kDepthOfProbe},
        {METATAG_EVENT_UNITS_ID, UNIT_METRES},
        {METATAG_EVENT_SENSOR_SERIAL_NUM, kSerial * 10 + 1},
    };
    for (const auto& [index, value] : numbers)
    {
        const std::optional<MetaTagEntry> tag = Tag(log, index);
        ASSERT_TRUE(tag.has_value()) << index;
        EXPECT_EQ(tag->m_Value.GetU32(), value) << index;
    }
    EXPECT_TRUE(Tag(log, METATAG_LOG_SETUP_MEMORY_USED_PCT).has_value());
    EXPECT_TRUE(Tag(log, METATAG_LOG_SETUP_BATTERY_USED_PCT).has_value());

    TIME_ZONE_INFORMATION expectedZone;
    GetTimeZoneInformation(expectedZone);
    const std::pair<ULONG, std::u16string> texts[] = {
        {METATAG_DEVICE_NAME, u"Well 7"},
        {METATAG_SITE_NAME, u"North Field"},
        {METATAG_CREATOR_USER_NAME, Text(GetUserNameString())},
        {METATAG_CREATOR_COMPUTER_NAME, Text(GetComputerNameString())},
        {METATAG_APPLICATION_NAME, std::filesystem::read_symlink("/proc/self/exe").filename().u16string()},
        {METATAG_APPLICATION_VER, u"" TARNWICK_PROGRAM_VERSION},
        {METATAG_LOG_SETUP_TIME_ZONE, u"Unknown"},
        {METATAG_LOG_SETUP_TIME_ZONE_INFO, Text(FormatTimeZoneInfoHex(expectedZone))},
    };
    for (const auto& [index, text] : texts)
    {
        const std::optional<MetaTagEntry> tag = Tag(log, index);
        ASSERT_TRUE(tag.has_value()) << index;
        EXPECT_EQ(Text(tag->m_Value.GetString()), text) << index;
    }
    const SYSTEMTIME created = Tag(log, METATAG_CREATE_DATE_TIME)->m_Value.GetTime();
    EXPECT_FALSE(IsTimeBefore(created, before));
    EXPECT_FALSE(IsTimeBefore(after, created));
    ResetDisplaySettingsForTests();
}

TEST_F(LogFileMetaFill, ChannelTagsStopAtTheTableAndAtAnUnreadableSensor)
{
    StartLogger();
    CLogFile log;
    for (USHORT n = 0; n < 40; ++n)
        log.m_Channels.Add(ChannelWord(1, static_cast<USHORT>(1 + n % 3)));
    ASSERT_EQ(Device().FillLogFileMeta(log), S_OK);
    EXPECT_EQ(Tag(log, METATAG_LOG_CHANNEL_COUNT)->m_Value.GetU32(), 40u);
    const ULONG last = MetaTagOfChannel(31, METATAG_CHANNEL_PARAMETER_NUMBER);
    ASSERT_TRUE(Tag(log, last).has_value());
    EXPECT_EQ(Tag(log, last)->m_Value.GetU32(), 1 + 31 % 3u);
    EXPECT_EQ(Tag(log, MetaTagOfChannel(31, METATAG_CHANNEL_SENTINEL_VALUE))->m_Value.GetType(),
              METATAG_TYPE_FLOAT);
    // Nothing beyond the channel groups, and no event tags for a log of another type.
    for (ULONG index : {METATAG_PUMP_TEST_ID, METATAG_LOG_CFG_ID, METATAG_UNKNOWN, METATAG_EVENT_SENSOR_ID})
        EXPECT_FALSE(Tag(log, index).has_value()) << index;

    // Connection 2 has no sensor: the fill ends there, after the tags it wrote.
    CLogFile broken;
    broken.m_Channels.Add(ChannelWord(1, 1));
    broken.m_Channels.Add(ChannelWord(2, 1));
    EXPECT_EQ(Device().FillLogFileMeta(broken), MODBUSCOMM_E_INVALID_SENSOR_PORT);
    EXPECT_TRUE(Tag(broken, MetaTagOfChannel(0, METATAG_CHANNEL_SENTINEL_VALUE)).has_value());
    EXPECT_EQ(Tag(broken, MetaTagOfChannel(1, METATAG_CHANNEL_SENSOR_CONNECTION))->m_Value.GetU32(), 2u);
    EXPECT_FALSE(Tag(broken, MetaTagOfChannel(1, METATAG_CHANNEL_SENSOR_ID)).has_value());
}

} // namespace
} // namespace devicetest
