// The level logger made by the device factory, against the simulated logger: its family's
// registers, the level from pressure, the calibration sequences with their notes, the level
// reference, and its log-file meta-tags.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "device/LogFile.h"
#include "foundation/CommTimeouts.h"
#include "foundation/TraceLog.h"
#include "foundation/Units.h"
#include "models/PressureNotes.h"
#include "models/StiloComm.h"
#include "tests/foundation/ScopedEnvironment.h"
#include "tests/models/FamilyTestSupport.h"
#include "tools/probe-sim/PressureSensors.h"

namespace modeltest
{
namespace
{

using namespace NVSystem;

constexpr double kPsi = 10.0; // what the logger's sensor feels
constexpr double kMetresPerPsi = 0.70307;
constexpr double kFeetPerMetre = 3.28084;
constexpr uint16_t kFeet = 38;

class StiloProbe : public ModelTest
{
protected:
    // A logger of the type whose sensor feels kPsi, in the level mode.
    void StartStilo(uint16_t deviceType = 6, uint16_t levelMode = probesim::levelsensor::kDepthOfProbe,
                    std::optional<uint16_t> registerMapVersion = std::nullopt)
    {
        probesim::InstrumentConfig config = probesim::ProbeConfig(deviceType, kProbeSerial);
        if (registerMapVersion)
            config.registerMapVersion = *registerMapVersion;
        StartProbe(config, probesim::ProbeSensors::None);
        Probe().Sensors().Add(1, probesim::LevelSensor(SensorSerial(1), [](double) { return kPsi; }));
        Probe().Registers().SetU16(CStiloComm::kLevelModeRegister, levelMode);
        ASSERT_EQ(CreateDevice(), S_OK);
        ASSERT_TRUE(CStiloComm::IsStilo(&Device()));
    }

    ISensor_PressureTempLevel& Sensor() { return *Device().GetPressureTempLevelSensor(); }
    // Register numbers here are the logger's own, not a sensor window's.
    float SimFloat(uint16_t reg) { return Probe().Registers().GetFloat(reg).value_or(-12345.0f); }

    std::vector<uint8_t> NoteSubTypes()
    {
        std::vector<uint8_t> subTypes;
        for (const probesim::LogNote& note : Probe().Notes())
            subTypes.push_back(note.SubType());
        return subTypes;
    }
};

TEST_F(StiloProbe, TheFactoryPlacesEachFamilysRegisters)
{
    struct Family
    {
        std::vector<uint16_t> types;
        uint16_t templateVersion, batteryCounter;
    };
    const Family families[] = {{{1, 2, 4, 30}, 40108, 40113}, {{6, 8, 15, 16}, 47000, 47005}};
    for (const Family& family : families)
    {
        for (uint16_t type : family.types)
        {
            StartStilo(type);
            probesim::RegisterModel& registers = Probe().Registers();
            registers.SetU16(family.templateVersion, 7);
            registers.SetU32(family.batteryCounter, 654321);
            USHORT word = 0;
            ULONG count = 0;
            EXPECT_EQ(Device().GetRegisterMapTemplateVersion(word), S_OK) << type;
            EXPECT_EQ(word, 7) << type;
            EXPECT_EQ(Device().GetTotalBatteryCounter(count), S_OK) << type;
            EXPECT_EQ(count, 654321u) << type;
            // The logger counts its measurements itself.
            EXPECT_EQ(Device().GetTotalMeasurementCounter(count), S_OK) << type;
        }
    }
    // The measurement-cache time-out register: none on type 1, 47007 on type 6 (register map
    // version 3 would put the common 49463 in its place).
    StartStilo(1);
    Mark();
    USHORT timeout = 0;
    EXPECT_EQ(Device().GetMeasurementCacheTimeout(timeout), MODBUSCOMM_E_NOT_SUPPORTED);
    EXPECT_EQ(FramesSinceMark(), 0u);
    StartStilo(6, probesim::levelsensor::kDepthOfProbe, 2);
    Probe().Registers().SetU16(47007, 2345);
    ASSERT_EQ(Device().GetMeasurementCacheTimeout(timeout), S_OK);
    EXPECT_EQ(timeout, 2345);
}

TEST_F(StiloProbe, TheDeviceIsItsOwnLevelSensorAndComputesItsLevel)
{
    StartStilo();
    ISensor_PressureTempLevel* sensor = Device().GetPressureTempLevelSensor();
    ASSERT_NE(sensor, nullptr);
    ISensor_Interface* any = nullptr;
    ASSERT_EQ(Device().GetSensor(5, 0, any), S_OK);
    EXPECT_EQ(any, static_cast<ISensor_Interface*>(sensor));
    // The serial numbers are the device's, not the sensor's.
    ULONG serial = 0;
    EXPECT_EQ(sensor->GetLevelSerialNumber(serial), S_OK);
    EXPECT_EQ(serial, kProbeSerial);
    // Level from pressure and gravity with 0.70307 m of water per PSI, in the level unit.
    Probe().Registers().SetFloat(CStiloComm::kSpecificGravityRegister, 1.25f);
    float level = 0.0f;
    USHORT levelUnitId = 0;
    float pressure = 0.0f;
    USHORT pressureUnitId = 0;
    for (const auto& [levelUnit, perMetre] :
         {std::pair<uint16_t, double>{UNIT_METRES, 1.0}, {kFeet, kFeetPerMetre}})
    {
        ASSERT_EQ(sensor->SetLevelUnit(levelUnit), S_OK);
        ASSERT_EQ(sensor->CalculateLevelFromPressure(level, levelUnitId, pressure, pressureUnitId), S_OK);
        EXPECT_EQ(levelUnitId, levelUnit);
        EXPECT_EQ(pressureUnitId, UNIT_PSI);
        EXPECT_EQ(pressure, static_cast<float>(kPsi));
        EXPECT_NEAR(level, kPsi * kMetresPerPsi / 1.25 * perMetre, 1e-4) << levelUnit;
        float alone = 0.0f;
        ASSERT_EQ(sensor->CalculateLevel(alone), S_OK);
        EXPECT_EQ(alone, level);
    }
    // A pressure in kilopascals makes the same column.
    constexpr uint16_t kKiloPascal = 19;
    ASSERT_EQ(sensor->SetPressureUnit(kKiloPascal), S_OK);
    ASSERT_EQ(sensor->SetLevelUnit(UNIT_METRES), S_OK);
    ASSERT_EQ(sensor->CalculateLevelFromPressure(level, levelUnitId, pressure, pressureUnitId), S_OK);
    EXPECT_EQ(pressureUnitId, kKiloPascal);
    EXPECT_NEAR(pressure, kPsi * 6.894757, 1e-3);
    EXPECT_NEAR(level, kPsi * kMetresPerPsi / 1.25, 1e-4);
    // Without a specific gravity there is no level, and no pressure is read for it.
    Probe().Registers().SetFloat(CStiloComm::kSpecificGravityRegister, 0.0f);
    ASSERT_EQ(sensor->CalculateLevelFromPressure(level, levelUnitId, pressure, pressureUnitId), S_OK);
    EXPECT_EQ(level, 0.0f);
    EXPECT_EQ(pressure, 0.0f);
    EXPECT_EQ(pressureUnitId, 0);
}

TEST_F(StiloProbe, CalibrationAlwaysEndsOnlineAndNotesOnlyIntoAnActiveLog)
{
    using Run = std::function<HRESULT(ISensor_PressureTempLevel&)>;
    const uint8_t restored = USERNOTE_RESTORE_FACTORY_CAL_SENSOR;
    const std::tuple<std::string, Run, std::vector<uint8_t>> operations[] = {
        {"zero",
         [](auto& s) { return s.ZeroPressure(); },
         {CNVUserNote_Calibration_ZeroPressureSensor::kSubType}},
        {"offset", [](auto& s) { return s.SetPressureOffset(1.5f); }, {}},
        {"restore", [](auto& s) { return s.RestorePressureFactoryCal(); }, {restored, restored}},
    };
    for (const auto& [name, run, notes] : operations)
    {
        for (const auto& [logging, refused] : {std::pair{true, false}, {false, false}, {true, true}})
        {
            SCOPED_TRACE(name + (logging ? " logging" : "") + (refused ? " refused" : ""));
            StartStilo();
            Probe().Registers().SetFloat(CStiloComm::kLevelReferenceRegister, 3.0f);
            if (logging)
                StartLog();
            if (refused)
                RefuseWrites(CStiloComm::kPressureOffsetRegister, 2);
            EXPECT_EQ(run(Sensor()), refused ? kRefused : S_OK);
            const std::vector<uint16_t> commands = Probe().DeviceCommandsCarriedOut();
            ASSERT_FALSE(commands.empty());
            EXPECT_EQ(commands.front(), DEVCMD_SET_OFFLINE);
            EXPECT_EQ(commands.back(), DEVCMD_SET_ONLINE);
            EXPECT_FALSE(Probe().Offline());
            // Calibration mode is the logger offline and sampling continuously; it takes what is
            // written without an update command.
            EXPECT_EQ(CommandsIn(WritesSinceMark()),
                      (std::vector<Command>{{kDeviceCommands, probesim::kCommandSetOffline},
                                            {1, probesim::kSensorRestoreCalDefaults},
                                            {kDeviceCommands, probesim::kCommandSetOnline}}));
            EXPECT_EQ(NoteSubTypes(), logging && !refused ? notes : std::vector<uint8_t>{});
            // A refused offset stops the sequence: the level reference stays.
            EXPECT_EQ(SimFloat(CStiloComm::kLevelReferenceRegister),
                      name == "restore" && !refused ? 0.0f : 3.0f);
        }
    }
    // Zeroing takes the pressure of the moment as the offset, and its note says so.
    StartStilo();
    StartLog();
    ASSERT_EQ(Sensor().ZeroPressure(), S_OK);
    EXPECT_EQ(SimFloat(CStiloComm::kPressureOffsetRegister), static_cast<float>(kPsi));
    CNVUserNote_Calibration_ZeroPressureSensor note;
    ASSERT_EQ(LoadNote(Notes().at(0), note), S_OK);
    EXPECT_EQ(note.GetSerialNumber(), SensorSerial(1));
    EXPECT_EQ(note.GetPressureOffset(), static_cast<float>(kPsi));
    EXPECT_EQ(note.GetUnitId(), UNIT_PSI);
}

TEST_F(StiloProbe, ZeroingRefusesAReadingThatHoldsNoMeasurement)
{
    // Warming up after the switch to calibration mode, the sensor reports its sentinel with a
    // warm-up quality: that must not become the offset.
    StartProbe(probesim::ProbeConfig(6, kProbeSerial), probesim::ProbeSensors::None);
    probesim::SimSensor warming = probesim::LevelSensor(SensorSerial(1), [](double) { return kPsi; });
    warming.warmUp = std::chrono::seconds(60);
    Probe().Sensors().Add(1, warming);
    ASSERT_EQ(CreateDevice(), S_OK);
    Probe().Registers().SetFloat(CStiloComm::kPressureOffsetRegister, 0.25f);
    EXPECT_EQ(Sensor().ZeroPressure(), ADAPTER_E_INVALID_DEVICE_RESPONSE);
    EXPECT_EQ(SimFloat(CStiloComm::kPressureOffsetRegister), 0.25f);
    const std::vector<uint16_t> commands = Probe().DeviceCommandsCarriedOut();
    ASSERT_FALSE(commands.empty());
    EXPECT_EQ(commands.back(), DEVCMD_SET_ONLINE);
    EXPECT_FALSE(Probe().Offline());
}

TEST_F(StiloProbe, LevelReferenceModeAndGravity)
{
    // Depth of the probe has no reference: nothing is written.
    StartStilo(6, probesim::levelsensor::kDepthOfProbe);
    StartLog();
    Mark();
    EXPECT_EQ(Sensor().SetLevelReference(2.0f), static_cast<HRESULT>(0x81010148u));
    EXPECT_TRUE(WritesSinceMark().empty());

    StartStilo(6, probesim::levelsensor::kDepthToWater);
    StartLog();
    ASSERT_EQ(Sensor().SetLevelReference(2.5f), S_OK);
    EXPECT_EQ(SimFloat(CStiloComm::kLevelReferenceRegister), 2.5f);
    CNVUserNote_Calibrate_SetNewLevelRef reference;
    ASSERT_EQ(LoadNote(Notes().at(0), reference), S_OK);
    EXPECT_EQ(reference.GetNewReference(), 2.5f);

    ASSERT_EQ(Sensor().SetSpecificGravity(1.02f), S_OK);
    ASSERT_EQ(Sensor().RestoreLevelReferenceDefaults(), S_OK);
    EXPECT_EQ(SimFloat(CStiloComm::kLevelReferenceRegister), 0.0f);
    EXPECT_EQ(NoteSubTypes(),
              (std::vector<uint8_t>{USERNOTE_CALIBRATE_SET_NEW_LEVEL_REF, USERNOTE_NEW_SPECIFIC_GRAVITY,
                                    USERNOTE_RESTORE_FACTORY_CAL_SENSOR}));
    // A mode word the logger should not hold reads as depth of the probe.
    ULONG mode = 0;
    Probe().Registers().SetU16(CStiloComm::kLevelModeRegister, 7);
    ASSERT_EQ(Sensor().ReadLevelMode(mode), S_OK);
    EXPECT_EQ(mode, 3u);
}

TEST_F(StiloProbe, BothModesThatMeasureFromAReferenceTakeOneAndAModeChangeIsSeenAtOnce)
{
    namespace lvl = probesim::levelsensor;
    for (const uint16_t mode : {lvl::kDepthToWater, lvl::kSurfaceElevation})
    {
        SCOPED_TRACE(mode);
        // Switched from depth of the probe: the reference is taken without reconnecting.
        StartStilo(6, lvl::kDepthOfProbe);
        ASSERT_EQ(Sensor().SetLevelMode(mode), S_OK);
        ULONG read = 0;
        ASSERT_EQ(Sensor().ReadLevelMode(read), S_OK);
        EXPECT_EQ(read, mode);
        StartLog();
        ASSERT_EQ(Sensor().SetLevelReference(1.75f), S_OK);
        EXPECT_EQ(SimFloat(CStiloComm::kLevelReferenceRegister), 1.75f);
        EXPECT_EQ(NoteSubTypes(), std::vector<uint8_t>{USERNOTE_CALIBRATE_SET_NEW_LEVEL_REF});

        // And back: depth of the probe refuses a reference again.
        ASSERT_EQ(Sensor().SetLevelMode(lvl::kDepthOfProbe), S_OK);
        Mark();
        EXPECT_EQ(Sensor().SetLevelReference(2.0f), static_cast<HRESULT>(0x81010148u));
        EXPECT_TRUE(WritesSinceMark().empty());
    }
    // A logger found in surface-elevation mode.
    StartStilo(6, lvl::kSurfaceElevation);
    ASSERT_EQ(Sensor().SetLevelReference(12.5f), S_OK);
    EXPECT_EQ(SimFloat(CStiloComm::kLevelReferenceRegister), 12.5f);
    // Each mode word reads as itself; those on either side of the range as depth of the probe.
    for (const auto& [word, mode] : {std::pair<uint16_t, ULONG>{2, 3}, {3, 3}, {4, 4}, {5, 5}, {6, 3}})
    {
        Probe().Registers().SetU16(CStiloComm::kLevelModeRegister, word);
        ULONG read = 0;
        ASSERT_EQ(Sensor().ReadLevelMode(read), S_OK);
        EXPECT_EQ(read, mode) << word;
    }
}

TEST_F(StiloProbe, TheLevelReferenceWriteWaitsAtMostFiveMinutes)
{
    SetTunable(u"Debug Flags", DEBUG_FLAG_LINE_TRACE);
    StartStilo(6, probesim::levelsensor::kDepthToWater);
    const std::u16string file =
        std::u16string(static_cast<const char16_t*>(m_port.GetName())) + u"_TraceLog.txt";
    const auto traceText = [&]
    {
        std::stringstream text;
        text << std::ifstream(CTraceLogFile::ResolvePath(file.c_str()), std::ios::binary).rdbuf();
        return text.str();
    };
    const size_t before = traceText().size();
    // A register write time-out beyond the cap; the logger answers at once.
    SetTunable(u"Write Register TO", 400000);
    ASSERT_EQ(Sensor().SetLevelReference(2.5f), S_OK);
    // The read time-outs the line trace shows.
    const std::string trace = traceText().substr(before);
    const std::string key = "Timeout(ms): ";
    std::vector<unsigned long> timeouts;
    for (size_t at = trace.find(key); at != std::string::npos; at = trace.find(key, at + 1))
        timeouts.push_back(std::stoul(trace.substr(at + key.size())));
    EXPECT_EQ(std::count_if(timeouts.begin(), timeouts.end(),
                            [](unsigned long ms) { return ms >= 300000 && ms < 301000; }),
              1)
        << ::testing::PrintToString(timeouts);
}

TEST_F(StiloProbe, LogFileMetaOfALevelLogger)
{
    testsupport::ScopedEnv zone("TZ", testsupport::kCentralEurope);
    constexpr ULONG kRemindLater = 1u << 31;
    constexpr ULONG kReferenceSet = 1u << 2;
    const struct
    {
        const char* name;
        bool levelChannel;
        bool setUpWithReference; // the log file's flag
        bool remindLater;        // software register bit 31
        std::optional<ULONG> referenceMode;
    } cases[] = {
        {"reference set", true, true, true, 1},
        {"remind later", true, false, true, 4},
        {"no reference", true, false, false, std::nullopt},
        {"no level channel", false, true, true, std::nullopt},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        StartStilo(6, probesim::levelsensor::kDepthToWater);
        probesim::RegisterModel& registers = Probe().Registers();
        registers.SetFloat(CStiloComm::kSpecificGravityRegister, 1.0f);
        // Only a calibration applies the offset: the logger still feels kPsi.
        registers.SetFloat(CStiloComm::kPressureOffsetRegister, 0.25f);
        registers.SetFloat(CStiloComm::kLevelReferenceRegister, 3.5f);
        registers.SetU32(49095,
                         (c.remindLater ? kRemindLater : 0) | (c.setUpWithReference ? 0 : kReferenceSet));
        CLogFile log;
        log.m_Channels.Add(ChannelWord(1, 1));
        if (c.levelChannel)
            log.m_Channels.Add(ChannelWord(1, CStiloComm::kLevelParameter));
        log.m_nFlags = c.setUpWithReference ? LOG_FLAG_LEVEL_REFERENCE : 0;
        CDeviceComm::SetMetaTagValue(log, METATAG_REMIND_ME_LATER, MetaTagU32(1));
        ASSERT_EQ(Device().FillLogFileMeta(log), S_OK);
        // The base tags, with the zone of the test, and the level of the moment.
        EXPECT_EQ(Tag(log, METATAG_DEVICE_SERIAL_NUM)->m_Value.GetU32(), kProbeSerial);
        const ULONG state = Tag(log, METATAG_LOG_SETUP_TIME_ZONE_INFO_STATE)->m_Value.GetU32();
        ASSERT_TRUE(state == TIME_ZONE_ID_STANDARD || state == TIME_ZONE_ID_DAYLIGHT);
        EXPECT_EQ(std::u16string(Tag(log, METATAG_LOG_SETUP_TIME_ZONE)->m_Value.GetString()),
                  state == TIME_ZONE_ID_DAYLIGHT ? u"CEST" : u"CET");
        EXPECT_EQ(Tag(log, METATAG_LEVEL_REF_PRESSURE_OFFSET)->m_Value.GetFloat(), 0.25f);
        EXPECT_EQ(Tag(log, METATAG_LEVEL_REF_HEAD_PRESSURE)->m_Value.GetFloat(), static_cast<float>(kPsi));
        EXPECT_NEAR(Tag(log, METATAG_LEVEL_REF_DEPTH_OF_PROBE)->m_Value.GetFloat(), kPsi * kMetresPerPsi,
                    1e-4);
        // The level facts only for a log of the level; the reference as the log was set up.
        EXPECT_EQ(Tag(log, METATAG_SPECIFIC_GRAVITY).has_value(), c.levelChannel);
        const std::optional<MetaTagEntry> mode = Tag(log, METATAG_LEVEL_REFERENCE_MODE);
        EXPECT_EQ(mode ? std::optional{mode->m_Value.GetU32()} : std::nullopt, c.referenceMode);
        if (!c.levelChannel)
            continue;
        EXPECT_EQ(Tag(log, METATAG_LEVEL_MEASUREMENT_MODE)->m_Value.GetU32(), 4u);
        EXPECT_EQ(Tag(log, METATAG_REMIND_ME_LATER).has_value(), c.referenceMode != 1u);
        EXPECT_EQ(Tag(log, METATAG_LEVEL_REFERENCE_VAL).has_value(), c.referenceMode != 4u);
        const ULONG software = Probe().SoftwareRegister() & (kRemindLater | kReferenceSet);
        if (c.referenceMode)
        {
            EXPECT_EQ(software, *c.referenceMode == 1 ? kReferenceSet : kRemindLater);
        }
    }
}

} // namespace
} // namespace modeltest
