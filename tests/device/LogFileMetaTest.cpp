// The meta-tags of a log file description: the name table, the typed values, the accessors that
// keep one tag per name, and the base tags a device fills for a log set up now.
#include <filesystem>
#include <optional>
#include <string>
#include <tuple>

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

std::optional<ULONG> Number(CLogFile& log, ULONG tagIndex)
{
    const std::optional<MetaTagEntry> tag = Tag(log, tagIndex);
    return tag ? std::optional<ULONG>(tag->m_Value.GetU32()) : std::nullopt;
}

std::optional<std::u16string> TextTag(CLogFile& log, ULONG tagIndex)
{
    const std::optional<MetaTagEntry> tag = Tag(log, tagIndex);
    return tag ? std::optional<std::u16string>(Text(tag->m_Value.GetString())) : std::nullopt;
}

std::u16string TagName(CLogFile& log, uint32_t position)
{
    return Text(log.m_MetaTags.GetData()[position].m_Name);
}

TEST(MetaTags, EveryIndexHasItsOwnNameNamesMatchWithoutCaseAndValuesOwnTheirText)
{
    for (ULONG i = 0; i < METATAG_COUNT; ++i)
        EXPECT_EQ(MetaTagIndexOf(MetaTagName(i)), i) << i;
    EXPECT_EQ(Text(MetaTagName(60)), u"CH1 SensorConnection");
    EXPECT_EQ(Text(MetaTagName(245)), u"CH31 SentinelValue");
    EXPECT_EQ(Text(MetaTagName(METATAG_COUNT)), u"Unknown");
    EXPECT_EQ(MetaTagIndexOf(u"ch31 sentinelvalue"), MetaTagOfChannel(31, METATAG_CHANNEL_SENTINEL_VALUE));
    EXPECT_EQ(MetaTagIndexOf(u"CH32 SensorId"), METATAG_UNKNOWN);
    EXPECT_EQ(MetaTagIndexOf(nullptr), METATAG_UNKNOWN);

    // A value owns its text through copies and self-assignment.
    MetaTagValue value(u"Well 7");
    const MetaTagValue& self = value;
    value = self;
    EXPECT_EQ(Text(value.GetString()), u"Well 7");
    const MetaTagValue copy(value);
    value.SetFloat(2.5f);
    EXPECT_EQ(value.GetString(), nullptr);
    EXPECT_EQ(Text(copy.GetString()), u"Well 7");
    MetaTagEntry entry(u"SiteName", copy);
    const MetaTagEntry& same = entry;
    entry = same;
    EXPECT_EQ(Text(entry.m_Value.GetString()), u"Well 7");
    EXPECT_EQ(entry.GetTagIndex(), METATAG_SITE_NAME);

    // Ids read as their low 16 bits or the widened signed byte; other types as 0.
    value.SetU32(0x12345678);
    EXPECT_EQ(value.ReadAsUShort(), 0x5678);
    value.SetI8(-2);
    EXPECT_EQ(value.ReadAsUShort(), 0xFFFE);
    value.SetString(u"7");
    EXPECT_EQ(value.ReadAsUShort(), 0);
}

TEST(LogFileAccess, OneTagPerNameInPlaceAndInOrderAndChannelInformationFromTheTags)
{
    CLogFile log;
    ASSERT_EQ(CDeviceComm::SetMetaTag(log, METATAG_LOG_GUID, MetaTagValue(u"{A}")), S_OK);
    ASSERT_EQ(CDeviceComm::SetMetaTagValue(log, METATAG_SITE_NAME, MetaTagValue(u"North")), S_OK);
    ASSERT_EQ(CDeviceComm::SetMetaTagValue(log, METATAG_DEVICE_TYPE_ID, MetaTagU16(6)), S_OK);
    // Another case of a name is the same tag, replaced where it stands.
    ASSERT_EQ(CDeviceComm::InsertOrReplaceMetaTag(log, MetaTagEntry(u"logguid", MetaTagValue(u"{B}"))), S_OK);
    // Indices past the table all land on "Unknown".
    ASSERT_EQ(CDeviceComm::SetMetaTagValue(log, 300, MetaTagU16(1)), S_OK);
    ASSERT_EQ(CDeviceComm::SetMetaTagValue(log, METATAG_COUNT, MetaTagU16(2)), S_OK);
    EXPECT_EQ(CDeviceComm::RemoveMetaTag(log, METATAG_SITE_NAME), S_OK);
    EXPECT_EQ(CDeviceComm::RemoveMetaTag(log, METATAG_SITE_NAME), S_OK);
    ASSERT_EQ(log.m_MetaTags.GetCount(), 3u);
    EXPECT_EQ(TagName(log, 0), u"logguid");
    EXPECT_EQ(TagName(log, 1), u"DeviceTypeId");
    EXPECT_EQ(TagName(log, 2), u"Unknown");
    EXPECT_EQ(TextTag(log, METATAG_LOG_GUID), u"{B}");
    EXPECT_EQ(Number(log, METATAG_UNKNOWN), 2u);
    EXPECT_FALSE(Tag(log, METATAG_SITE_NAME).has_value());

    // Channels, the event block and the channel information.
    log.m_Channels.Add(ChannelWord(2, 3));
    ULONG word = 0;
    ASSERT_EQ(CDeviceComm::GetLogChannel(log, 0, word), S_OK);
    EXPECT_EQ(word, 0x00030002u);
    EXPECT_EQ(CDeviceComm::GetLogChannel(log, 1, word), LOGFILE_E_INVALID_INDEX);
    sLogEventDefinition event;
    EXPECT_EQ(CDeviceComm::GetLogType6Block(log, event), LOGFILE_E_INVALID_TYPE);
    sLogChannelInfo info;
    EXPECT_EQ(CDeviceComm::GetLogChannelInfo(log, 0, info), LOGFILE_E_NOT_LOADED);
    log.m_nLoaded = 1;
    CDeviceComm::SetMetaTag(log, MetaTagOfChannel(0, METATAG_CHANNEL_SENSOR_ID), MetaTagU16(84));
    CDeviceComm::SetMetaTag(log, MetaTagOfChannel(0, METATAG_CHANNEL_PARAMETER_ID), MetaTagU16(20));
    EXPECT_EQ(CDeviceComm::GetLogChannelInfo(log, 0, info), LOGFILE_E_META_NOT_FOUND); // no UnitsId
    CDeviceComm::SetMetaTag(log, MetaTagOfChannel(0, METATAG_CHANNEL_UNITS_ID), MetaTagU32(0x10011));
    ASSERT_EQ(CDeviceComm::GetLogChannelInfo(log, 0, info), S_OK);
    EXPECT_EQ(
        std::make_tuple(info.Connection, info.ParameterNumber, info.SensorId, info.ParameterId, info.UnitsId),
        std::make_tuple(USHORT{2}, USHORT{3}, USHORT{84}, USHORT{20}, USHORT{0x11}));

    // A channel past the table has no tags of its own: the indices it would use name other facts.
    for (int n = 1; n <= 32; ++n)
        log.m_Channels.Add(ChannelWord(1, 1));
    for (ULONG index = METATAG_PUMP_TEST_ID; index <= METATAG_LOG_CFG_ID; ++index)
        CDeviceComm::SetMetaTag(log, index, MetaTagU16(9));
    EXPECT_EQ(CDeviceComm::GetLogChannelInfo(log, 32, info), LOGFILE_E_META_NOT_FOUND);
}

using LogFileMetaFill = DeviceOnSimulator;

// A level logger of type 6 (scratch pad at 47008) with its level sensor on connection 1.
TEST_F(LogFileMetaFill, BaseTagsDescribeTheDeviceTheCreatorTheZoneAndTheEventAndChannelTagsStop)
{
    constexpr uint32_t kSerial = 4711;
    constexpr uint16_t kBootCodeRevision = 0x0105;
    testsupport::ScopedEnv zone("TZ", "JST-9"); // no daylight saving: the zone is "Unknown"
    ASSERT_TRUE(platform::settings::SetDword(
        platform::Hive::CurrentUser, u"Software\\Norvane\\Fieldmere\\SystemSettings", u"IgnoreDST", 1));
    ResetDisplaySettingsForTests();
    StartLine({.deviceType = 6,
               .serialNumber = kSerial,
               .firmwareVersion = 123,
               .hardwareVersion = 4,
               .deviceName = u"Well 7",
               .siteName = u"North Field"});
    Probe().Sensors().Add(1, probesim::LevelSensor(kSerial * 10 + 1));
    probesim::SlaveIdentity identity = Sim().Model().Identity();
    identity.reserved = kBootCodeRevision;
    Sim().Model().SetIdentity(identity);
    AttachDevice();
    CLogFile log;
    log.m_nLogType = LOG_TYPE_EVENT;
    log.m_EventDefinition = {1, probesim::levelsensor::kLevel, {}};
    SYSTEMTIME before;
    GetSystemTime(before);
    ASSERT_EQ(Device().FillLogFileMeta(log), S_OK);
    SYSTEMTIME after;
    GetSystemTime(after);
    EXPECT_EQ(log.m_nVersion, 2); // register map version 3
    EXPECT_EQ(TextTag(log, METATAG_LOG_GUID), platform::GuidToString(log.m_Guid));
    // The instrument keeps the GUID with its numbers big-endian.
    const std::vector<uint8_t> pad = Probe().ScratchPad();
    ASSERT_EQ(pad.size(), 20u);
    EXPECT_EQ(std::make_tuple(pad[0], pad[3], pad[4], pad[7], pad[15]),
              std::make_tuple(uint8_t(log.m_Guid.Data1 >> 24), uint8_t(log.m_Guid.Data1),
                              uint8_t(log.m_Guid.Data2 >> 8), uint8_t(log.m_Guid.Data3),
                              log.m_Guid.Data4[7]));
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
        EXPECT_EQ(Number(log, index), std::optional<ULONG>(value)) << index;
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
        EXPECT_EQ(TextTag(log, index), std::optional<std::u16string>(text)) << index;
    const SYSTEMTIME created = Tag(log, METATAG_CREATE_DATE_TIME)->m_Value.GetTime();
    EXPECT_FALSE(IsTimeBefore(created, before));
    EXPECT_FALSE(IsTimeBefore(after, created));
    ResetDisplaySettingsForTests();

    // Channel tags stop at the table and at an unreadable sensor.
    CLogFile channels;
    for (USHORT n = 0; n < 40; ++n)
        channels.m_Channels.Add(ChannelWord(1, static_cast<USHORT>(1 + n % 3)));
    ASSERT_EQ(Device().FillLogFileMeta(channels), S_OK);
    EXPECT_EQ(Number(channels, METATAG_LOG_CHANNEL_COUNT), 40u);
    EXPECT_EQ(Number(channels, MetaTagOfChannel(31, METATAG_CHANNEL_PARAMETER_NUMBER)), 1 + 31 % 3u);
    EXPECT_EQ(Tag(channels, MetaTagOfChannel(31, METATAG_CHANNEL_SENTINEL_VALUE))->m_Value.GetType(),
              METATAG_TYPE_FLOAT);
    // Nothing beyond the channel groups, and no event tags for a log of another type.
    for (ULONG index : {METATAG_PUMP_TEST_ID, METATAG_LOG_CFG_ID, METATAG_UNKNOWN, METATAG_EVENT_SENSOR_ID})
        EXPECT_FALSE(Tag(channels, index).has_value()) << index;

    // Connection 2 has no sensor: the fill ends there, after the tags it wrote.
    CLogFile broken;
    broken.m_Channels.Add(ChannelWord(1, 1));
    broken.m_Channels.Add(ChannelWord(2, 1));
    EXPECT_EQ(Device().FillLogFileMeta(broken), MODBUSCOMM_E_INVALID_SENSOR_PORT);
    EXPECT_TRUE(Tag(broken, MetaTagOfChannel(0, METATAG_CHANNEL_SENTINEL_VALUE)).has_value());
    EXPECT_EQ(Number(broken, MetaTagOfChannel(1, METATAG_CHANNEL_SENSOR_CONNECTION)), 2u);
    EXPECT_FALSE(Tag(broken, MetaTagOfChannel(1, METATAG_CHANNEL_SENSOR_ID)).has_value());
}

} // namespace
} // namespace devicetest
