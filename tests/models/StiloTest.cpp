// The level logger made by the device factory, against the simulated logger: its family's
// registers, the level from pressure, the calibration sequences with their notes, the level
// reference, and its log-file meta-tags.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "device/LogFile.h"
#include "foundation/Units.h"
#include "models/BluetoothCommDeviceComm.h"
#include "models/PressureNotes.h"
#include "models/StiloComm.h"
#include "models/VoxProComm.h"
#include "tests/foundation/ScopedEnvironment.h"
#include "tests/models/AdapterTestSupport.h"
#include "tests/models/DeviceFactoryTestSupport.h"
#include "tools/probe-sim/PressureSensors.h"

namespace factorytest
{
namespace
{

using namespace NVSystem;

constexpr uint32_t kSerial = 4711;
constexpr uint32_t kSensorSerial = kSerial * 10 + 1;
constexpr double kPsi = 10.0; // what the logger's sensor feels
constexpr double kMetresPerPsi = 0.70307;
constexpr double kFeetPerMetre = 3.28084;
constexpr uint16_t kFeet = 38;
constexpr HRESULT kRefused = static_cast<HRESULT>(0x81010004u); // the slave device failure exception

class StiloProbe : public ProbeOnLine
{
protected:
    // A logger of the type whose sensor feels kPsi, in the level mode.
    void StartStilo(uint16_t deviceType = 6, uint16_t levelMode = probesim::levelsensor::kDepthOfProbe,
                    std::optional<uint16_t> registerMapVersion = std::nullopt)
    {
        probesim::InstrumentConfig config = probesim::ProbeConfig(deviceType, kSerial);
        if (registerMapVersion)
            config.registerMapVersion = *registerMapVersion;
        StartProbe(config, probesim::ProbeSensors::None);
        Probe().Sensors().Add(1, probesim::LevelSensor(kSensorSerial, [](double) { return kPsi; }));
        Probe().Registers().SetU16(CStiloComm::kLevelModeRegister, levelMode);
        ASSERT_EQ(CreateDevice(), S_OK);
        ASSERT_TRUE(CStiloComm::IsStilo(&Device()));
    }

    CStiloComm& Stilo() { return static_cast<CStiloComm&>(Device()); }
    ISensor_PressureTempLevel& Sensor() { return *Device().GetPressureTempLevelSensor(); }
    float SimFloat(uint16_t reg) { return Probe().Registers().GetFloat(reg).value_or(-12345.0f); }

    void RefuseWrites(uint16_t reg)
    {
        Probe().Registers().AddWriteHook(
            reg, 2,
            [](probesim::RegisterModel&, const probesim::RegisterWrite&)
            { return std::optional{probesim::ExceptionCode::SlaveDeviceFailure}; });
    }

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
        uint16_t templateVersion, externalVoltage, batteryVoltage, measurementCounter, batteryCounter;
    };
    const Family families[] = {
        {{1, 2, 4, 30}, 40108, 40109, 40110, 40111, 40113},
        {{6, 8, 15, 16}, 47000, 47001, 47002, 47003, 47005},
    };
    for (const Family& family : families)
    {
        for (uint16_t type : family.types)
        {
            StartStilo(type);
            probesim::RegisterModel& registers = Probe().Registers();
            registers.SetU16(family.templateVersion, 7);
            registers.SetU16(family.externalVoltage, 3300);
            registers.SetU16(family.batteryVoltage, 3600);
            registers.SetU32(family.batteryCounter, 654321);
            USHORT word = 0;
            ULONG count = 0;
            EXPECT_EQ(Device().GetRegisterMapTemplateVersion(word), S_OK) << type;
            EXPECT_EQ(word, 7) << type;
            EXPECT_EQ(Device().GetExternalVoltage(word), S_OK) << type;
            EXPECT_EQ(word, 3300) << type;
            EXPECT_EQ(Device().GetInternalBatteryVoltage(word), S_OK) << type;
            EXPECT_EQ(word, 3600) << type;
            // The logger counts its measurements itself.
            EXPECT_EQ(Device().GetTotalMeasurementCounter(count), S_OK) << type;
            EXPECT_EQ(Device().GetTotalBatteryCounter(count), S_OK) << type;
            EXPECT_EQ(count, 654321u) << type;
            EXPECT_TRUE(Device().HasScratchPadRegister()) << type;
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

TEST_F(StiloProbe, TheDeviceIsItsOwnLevelSensorOnConnectionOne)
{
    StartStilo();
    CDeviceComm* device = &Device();
    ISensor_PressureTempLevel* sensor = device->GetPressureTempLevelSensor();
    ASSERT_NE(sensor, nullptr);
    EXPECT_EQ(sensor->GetSensorType(), SENSOR_TYPE_LEVEL);
    EXPECT_EQ(sensor->AsTemperature(), static_cast<ISensor_Temperature*>(sensor));
    EXPECT_EQ(sensor->AsPressureTemp(), static_cast<ISensor_PressureTemp*>(sensor));
    EXPECT_EQ(sensor->AsPressureTempLevel(), sensor);
    EXPECT_EQ(sensor->AsVoxPro(), nullptr);
    EXPECT_EQ(sensor->AsFlowHeadTemp(), nullptr);
    EXPECT_EQ(sensor->GetConnection() + sensor->GetPressureConnection() + sensor->GetLevelConnection(), 3);
    ISensor_Interface* any = nullptr;
    ASSERT_EQ(device->GetSensor(5, 0, any), S_OK);
    EXPECT_EQ(any, static_cast<ISensor_Interface*>(sensor));
    EXPECT_EQ(device->QueryVoxProComm(), nullptr);
    EXPECT_EQ(device->QueryBluetoothCommDeviceComm(), nullptr);

    // The serial numbers are the device's, not the sensor's.
    using SerialOf = HRESULT (ISensor_PressureTempLevel::*)(ULONG&);
    for (SerialOf serialOf : {SerialOf{&ISensor_Temperature::GetSerialNumber},
                              SerialOf{&ISensor_PressureTemp::GetPressureSerialNumber},
                              SerialOf{&ISensor_PressureTempLevel::GetLevelSerialNumber}})
    {
        ULONG serial = 0;
        EXPECT_EQ((sensor->*serialOf)(serial), S_OK);
        EXPECT_EQ(serial, kSerial);
    }
    Mark();
    float value = 0.0f;
    EXPECT_EQ(sensor->SetDynamicSG(45.0, 100.0), MODBUSCOMM_E_SENSOR_FEATURE_NOT_SUPPORTED);
    EXPECT_EQ(sensor->ReadDynamicSGFactor(value), MODBUSCOMM_E_SENSOR_FEATURE_NOT_SUPPORTED);
    EXPECT_FALSE(sensor->IsDynamicSGSupported());
    EXPECT_EQ(FramesSinceMark(), 0u);

    // The typed view holds the device on when the factory's reference goes.
    CStiloComm* stilo = device->QueryStiloComm();
    ASSERT_NE(stilo, nullptr);
    m_device.reset();
    USHORT quality = 0;
    USHORT unit = 0;
    EXPECT_EQ(stilo->ReadPressure(value, quality, unit, FALSE), S_OK);
    EXPECT_EQ(value, static_cast<float>(kPsi));
    EXPECT_EQ(stilo->Release(), 0u);
}

TEST_F(StiloProbe, LevelFromPressureInMetresAndFeet)
{
    StartStilo();
    Probe().Registers().SetFloat(CStiloComm::kSpecificGravityRegister, 1.25f);
    const std::pair<uint16_t, double> units[] = {{UNIT_METRES, 1.0}, {kFeet, kFeetPerMetre}};
    for (const auto& [levelUnit, perMetre] : units)
    {
        ASSERT_EQ(Sensor().SetLevelUnit(levelUnit), S_OK);
        float level = 0.0f;
        USHORT levelUnitId = 0;
        float pressure = 0.0f;
        USHORT pressureUnitId = 0;
        ASSERT_EQ(Sensor().CalculateLevelFromPressure(level, levelUnitId, pressure, pressureUnitId), S_OK);
        EXPECT_EQ(levelUnitId, levelUnit);
        EXPECT_EQ(pressureUnitId, UNIT_PSI);
        EXPECT_EQ(pressure, static_cast<float>(kPsi));
        EXPECT_NEAR(level, kPsi * kMetresPerPsi / 1.25 * perMetre, 1e-4) << levelUnit;
        float alone = 0.0f;
        ASSERT_EQ(Sensor().CalculateLevel(alone), S_OK);
        EXPECT_EQ(alone, level);
    }

    // Without a specific gravity there is no level, and no pressure is read for it.
    Probe().Registers().SetFloat(CStiloComm::kSpecificGravityRegister, 0.0f);
    float level = -1.0f;
    USHORT levelUnitId = 0;
    float pressure = -1.0f;
    USHORT pressureUnitId = 99;
    ASSERT_EQ(Sensor().CalculateLevelFromPressure(level, levelUnitId, pressure, pressureUnitId), S_OK);
    EXPECT_EQ(level, 0.0f);
    EXPECT_EQ(pressure, 0.0f);
    EXPECT_EQ(pressureUnitId, 0);
    EXPECT_EQ(levelUnitId, kFeet);
}

TEST_F(StiloProbe, CalibrationAlwaysEndsOnlineAndNotesOnlyIntoAnActiveLog)
{
    struct Operation
    {
        const char* name;
        std::function<HRESULT(ISensor_PressureTempLevel&)> run;
        std::vector<uint8_t> notes; // with a log running
    };
    const Operation operations[] = {
        {"zero",
         [](ISensor_PressureTempLevel& s) { return s.ZeroPressure(); },
         {CNVUserNote_Calibration_ZeroPressureSensor::kSubType}},
        {"offset", [](ISensor_PressureTempLevel& s) { return s.SetPressureOffset(1.5f); }, {}},
        {"restore",
         [](ISensor_PressureTempLevel& s) { return s.RestorePressureFactoryCal(); },
         {USERNOTE_RESTORE_FACTORY_CAL_SENSOR, USERNOTE_RESTORE_FACTORY_CAL_SENSOR}},
    };
    struct Situation
    {
        bool logging;
        bool offsetRefused;
    };
    for (const Operation& operation : operations)
    {
        for (const Situation situation :
             {Situation{true, false}, Situation{false, false}, Situation{true, true}})
        {
            const std::string label = std::string(operation.name) + (situation.logging ? " logging" : "") +
                                      (situation.offsetRefused ? " refused" : "");
            StartStilo();
            Probe().Registers().SetFloat(CStiloComm::kLevelReferenceRegister, 3.0f);
            if (situation.logging)
                Probe().StartLog(12);
            if (situation.offsetRefused)
                RefuseWrites(CStiloComm::kPressureOffsetRegister);

            EXPECT_EQ(operation.run(Sensor()), situation.offsetRefused ? kRefused : S_OK) << label;
            const std::vector<uint16_t> commands = Probe().DeviceCommandsCarriedOut();
            ASSERT_FALSE(commands.empty()) << label;
            EXPECT_EQ(commands.front(), DEVCMD_SET_OFFLINE) << label;
            EXPECT_EQ(commands.back(), DEVCMD_SET_ONLINE) << label;
            EXPECT_FALSE(Probe().Offline()) << label;
            const bool noted = situation.logging && !situation.offsetRefused;
            EXPECT_EQ(NoteSubTypes(), noted ? operation.notes : std::vector<uint8_t>{}) << label;
            // A refused offset stops the sequence: the level reference stays.
            EXPECT_EQ(SimFloat(CStiloComm::kLevelReferenceRegister),
                      operation.name == std::string("restore") && !situation.offsetRefused ? 0.0f : 3.0f)
                << label;
        }
    }

    // Zeroing takes the pressure of the moment as the offset, and its note says so.
    StartStilo();
    Probe().StartLog(12);
    ASSERT_EQ(Sensor().ZeroPressure(), S_OK);
    EXPECT_EQ(SimFloat(CStiloComm::kPressureOffsetRegister), static_cast<float>(kPsi));
    ASSERT_EQ(Probe().Notes().size(), 1u);
    CNVUserNote_Calibration_ZeroPressureSensor note;
    ASSERT_EQ(adaptertest::LoadNote(Probe().Notes().front(), note), S_OK);
    EXPECT_EQ(note.GetPressureOffset(), static_cast<float>(kPsi));
    EXPECT_EQ(note.GetUnitId(), UNIT_PSI);
    EXPECT_EQ(Probe().Notes().front().SensorSerial(), kSensorSerial);
}

TEST_F(StiloProbe, LevelReferenceModeAndGravity)
{
    // Depth of the probe has no reference: nothing is written.
    StartStilo(6, probesim::levelsensor::kDepthOfProbe);
    Probe().StartLog(12);
    Mark();
    EXPECT_EQ(Sensor().SetLevelReference(2.0f), static_cast<HRESULT>(0x81010148u));
    EXPECT_TRUE(WritesSinceMark().empty());

    StartStilo(6, probesim::levelsensor::kDepthToWater);
    Probe().StartLog(12);
    ASSERT_EQ(Sensor().SetLevelReference(2.5f), S_OK);
    EXPECT_EQ(SimFloat(CStiloComm::kLevelReferenceRegister), 2.5f);
    ASSERT_EQ(Probe().Notes().size(), 1u);
    CNVUserNote_Calibrate_SetNewLevelRef reference;
    ASSERT_EQ(adaptertest::LoadNote(Probe().Notes().front(), reference), S_OK);
    EXPECT_EQ(reference.GetNewReference(), 2.5f);
    EXPECT_EQ(reference.GetPressureUnit(), UNIT_PSI);
    EXPECT_EQ(reference.GetDepthUnit(), UNIT_METRES);

    ASSERT_EQ(Sensor().SetSpecificGravity(1.02f), S_OK);
    EXPECT_EQ(SimFloat(CStiloComm::kSpecificGravityRegister), 1.02f);
    ASSERT_EQ(Sensor().RestoreLevelReferenceDefaults(), S_OK);
    EXPECT_EQ(SimFloat(CStiloComm::kLevelReferenceRegister), 0.0f);
    EXPECT_EQ(NoteSubTypes(),
              (std::vector<uint8_t>{USERNOTE_CALIBRATE_SET_NEW_LEVEL_REF, USERNOTE_NEW_SPECIFIC_GRAVITY,
                                    USERNOTE_RESTORE_FACTORY_CAL_SENSOR}));

    // A mode word the logger should not hold reads as depth of the probe.
    ASSERT_EQ(Sensor().SetLevelMode(5), S_OK);
    ULONG mode = 0;
    ASSERT_EQ(Sensor().ReadLevelMode(mode), S_OK);
    EXPECT_EQ(mode, 5u);
    Probe().Registers().SetU16(CStiloComm::kLevelModeRegister, 7);
    ASSERT_EQ(Sensor().ReadLevelMode(mode), S_OK);
    EXPECT_EQ(mode, 3u);
}

std::optional<MetaTagEntry> Tag(CLogFile& log, ULONG tagIndex)
{
    MetaTagEntry entry;
    if (Failed(CDeviceComm::GetMetaTag(log, tagIndex, entry)))
        return std::nullopt;
    return entry;
}

TEST_F(StiloProbe, LogFileMetaOfALevelLogger)
{
    testsupport::ScopedEnv zone("TZ", testsupport::kCentralEurope);
    constexpr ULONG kRemindLater = 1u << 31;
    constexpr ULONG kReferenceSet = 1u << 2;
    struct Case
    {
        const char* name;
        bool levelChannel;
        bool setUpWithReference; // the log file's flag
        bool remindLater;        // software register bit 31
        std::optional<USHORT> referenceMode;
    };
    const Case cases[] = {
        {"reference set", true, true, true, 1},
        {"remind later", true, false, true, 4},
        {"no reference", true, false, false, std::nullopt},
        {"no level channel", false, true, true, std::nullopt},
    };
    for (const Case& c : cases)
    {
        StartStilo(6, probesim::levelsensor::kDepthToWater);
        probesim::RegisterModel& registers = Probe().Registers();
        registers.SetFloat(CStiloComm::kSpecificGravityRegister, 1.0f);
        // Only a calibration applies the offset: the logger still feels kPsi.
        registers.SetFloat(CStiloComm::kPressureOffsetRegister, 0.25f);
        registers.SetFloat(CStiloComm::kLevelReferenceRegister, 3.5f);
        registers.SetFloat(CStiloComm::kPressureReferenceRegister, 4.5f);
        registers.SetU32(49095,
                         (c.remindLater ? kRemindLater : 0) | (c.setUpWithReference ? 0 : kReferenceSet));

        CLogFile log;
        log.m_Channels.Add(ChannelWord(1, 1));
        if (c.levelChannel)
            log.m_Channels.Add(ChannelWord(1, CStiloComm::kLevelParameter));
        log.m_nFlags = c.setUpWithReference ? LOG_FLAG_LEVEL_REFERENCE : 0;
        CDeviceComm::SetMetaTagValue(log, METATAG_REMIND_ME_LATER, MetaTagU32(1));
        ASSERT_EQ(Device().FillLogFileMeta(log), S_OK) << c.name;

        // The base tags, with the zone of the test.
        EXPECT_EQ(Tag(log, METATAG_DEVICE_SERIAL_NUM)->m_Value.GetU32(), kSerial) << c.name;
        const ULONG state = Tag(log, METATAG_LOG_SETUP_TIME_ZONE_INFO_STATE)->m_Value.GetU32();
        ASSERT_TRUE(state == TIME_ZONE_ID_STANDARD || state == TIME_ZONE_ID_DAYLIGHT) << c.name;
        EXPECT_EQ(std::u16string(Tag(log, METATAG_LOG_SETUP_TIME_ZONE)->m_Value.GetString()),
                  state == TIME_ZONE_ID_DAYLIGHT ? u"CEST" : u"CET")
            << c.name;
        // The logger's counters and its level of the moment.
        EXPECT_TRUE(Tag(log, METATAG_LOG_SETUP_BATT_MEAS_CNT).has_value()) << c.name;
        EXPECT_TRUE(Tag(log, METATAG_LOG_SETUP_TOTAL_MEAS_CNT).has_value()) << c.name;
        EXPECT_EQ(Tag(log, METATAG_LEVEL_REF_PRESSURE_OFFSET)->m_Value.GetFloat(), 0.25f) << c.name;
        EXPECT_EQ(Tag(log, METATAG_LEVEL_REF_TEMP_UNIT_ID)->m_Value.GetU32(), UNIT_CELSIUS) << c.name;
        EXPECT_EQ(Tag(log, METATAG_LEVEL_REF_HEAD_PRESSURE)->m_Value.GetFloat(), static_cast<float>(kPsi))
            << c.name;
        EXPECT_NEAR(Tag(log, METATAG_LEVEL_REF_DEPTH_OF_PROBE)->m_Value.GetFloat(), kPsi * kMetresPerPsi,
                    1e-4)
            << c.name;
        EXPECT_EQ(Tag(log, METATAG_LEVEL_UNIT_ID)->m_Value.GetU32(), UNIT_METRES) << c.name;
        EXPECT_EQ(Tag(log, METATAG_LEVEL_REF_PRESSURE_UNIT_ID)->m_Value.GetU32(), UNIT_PSI) << c.name;

        // The level facts only for a log of the level.
        EXPECT_EQ(Tag(log, METATAG_LEVEL_MEASUREMENT_MODE).has_value(), c.levelChannel) << c.name;
        EXPECT_EQ(Tag(log, METATAG_SPECIFIC_GRAVITY).has_value(), c.levelChannel) << c.name;
        const std::optional<MetaTagEntry> mode = Tag(log, METATAG_LEVEL_REFERENCE_MODE);
        ASSERT_EQ(mode.has_value(), c.referenceMode.has_value()) << c.name;
        if (!c.levelChannel)
            continue;
        EXPECT_EQ(Tag(log, METATAG_LEVEL_MEASUREMENT_MODE)->m_Value.GetU32(), 4u) << c.name;
        EXPECT_EQ(Tag(log, METATAG_LEVEL_REF_PRESSURE)->m_Value.GetFloat(), 4.5f) << c.name;
        const ULONG software = Probe().SoftwareRegister();
        if (c.referenceMode == 1)
        {
            EXPECT_EQ(mode->m_Value.GetU32(), 1u);
            EXPECT_FALSE(Tag(log, METATAG_REMIND_ME_LATER).has_value());
            EXPECT_EQ(Tag(log, METATAG_LEVEL_REFERENCE_VAL)->m_Value.GetFloat(), 3.5f);
            EXPECT_EQ(software & (kRemindLater | kReferenceSet), kReferenceSet);
        }
        else if (c.referenceMode == 4)
        {
            EXPECT_EQ(mode->m_Value.GetU32(), 4u);
            EXPECT_EQ(Tag(log, METATAG_REMIND_ME_LATER)->m_Value.GetU32(), 1u);
            EXPECT_FALSE(Tag(log, METATAG_LEVEL_REFERENCE_VAL).has_value());
            EXPECT_EQ(software & (kRemindLater | kReferenceSet), kRemindLater);
        }
        else
        {
            EXPECT_EQ(Tag(log, METATAG_LEVEL_REFERENCE_VAL)->m_Value.GetFloat(), 3.5f) << c.name;
        }
    }
}

} // namespace
} // namespace factorytest
