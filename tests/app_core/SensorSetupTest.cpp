// The sensor setup's work against the simulated probes: the two probe setting registers, the
// optical sensor's cap, the sensor list as the connection table changes, each setting written and
// read back, the sensor watch, and the pressure zeroing on every way out.
#include <atomic>
#include <chrono>
#include <cmath>

#include "app/sensorsetup/PressureCalibration.h"
#include "app/sensorsetup/ProbeSettingRegisters.h"
#include "app/sensorsetup/SensorList.h"
#include "app/sensorsetup/SensorSettings.h"
#include "app/sensorsetup/SensorWatch.h"
#include "app/sensorsetup/VoxCapStatus.h"
#include "comm/LinePauses.h"
#include "connection/SensorReadings.h"
#include "foundation/NameLookups.h"
#include "foundation/ResultCodes.h"
#include "models/ProbeSensorInterfaces.h"
#include "models/ReadingQuality.h"
#include "platform/Clock.h"
#include "tests/app_core/ConnectionTestSupport.h"
#include "tools/probe-sim/ConductivitySensor.h"
#include "tools/probe-sim/InstrumentRegisters.h"
#include "tools/probe-sim/OpticalDoSensor.h"
#include "tools/probe-sim/PressureSensors.h"
#include "tools/probe-sim/RequestFaults.h"
#include "tools/probe-sim/SensorCommands.h"
#include "tools/probe-sim/SensorSetupRegisters.h"

namespace apptest
{
namespace
{

using namespace std::chrono_literals;

constexpr uint16_t kVoxPro = 12;
constexpr uint16_t kMultiSensor = 18;
constexpr uint16_t kVoxCore = 39;
constexpr USHORT kDepthConnection = 3;

class SensorSetupTest : public ConnectionTest
{
protected:
    probesim::RegisterModel& Registers() { return Sim().Registers(); }
    uint16_t At(uint16_t connection, uint16_t offset) { return Probe().Sensors().Base(connection) + offset; }
    float Setting(uint16_t connection, uint16_t offset)
    {
        return Registers().GetFloat(At(connection, offset)).value();
    }
    void SetSetting(uint16_t connection, uint16_t offset, float value)
    {
        Registers().SetFloat(At(connection, offset), value);
    }
    // What the probe's table says, as the instrument changes it when a sensor comes or goes.
    void ListConnection(uint16_t connection, bool listed)
    {
        const uint32_t mask = Registers().GetU32(probesim::reg::kSensorMask).value();
        const uint32_t bit = uint32_t{1} << (connection - 1);
        Registers().SetU32(probesim::reg::kSensorMask, listed ? mask | bit : mask & ~bit);
    }
    std::vector<std::u16string> EntryTexts(const sSensorEntries& list)
    {
        std::vector<std::u16string> texts;
        for (const sSensorEntry& entry : list.entries)
            texts.push_back(Text(entry.text));
        return texts;
    }
    sSensorEntries Entries()
    {
        return BuildSensorEntries(*m_connection.GetProbe(), [] { return CWideString(u"optical"); });
    }
    sParameterReading Reading(USHORT connection, USHORT parameterNumber)
    {
        CDynArray<sParameterReading> readings;
        EXPECT_EQ(m_connection.GetProbe()->GetSensorParameters(connection, readings, TRUE), S_OK);
        return readings[parameterNumber - 1];
    }
    // Every sensor command the connection's sensor carried out since the probe started.
    std::vector<uint16_t> Commands(uint16_t connection)
    {
        return Probe().Sensors().CommandsCarriedOut(connection);
    }
};

// ---- The probe setting registers ----

TEST_F(SensorSetupTest, AutomaticSalinityIsAWordOfTheMultiSensorProbesAndOnlyOneReadsAsOn)
{
    for (const uint16_t type : {kMultiSensor, kVoxCore})
    {
        StartConnected(type);
        ASSERT_EQ(WriteAutoSalinity(m_connection, TRUE), S_OK) << type;
        EXPECT_EQ(Registers().GetU16(AUTO_SALINITY_REGISTER), 1) << type;
        BOOL on = FALSE;
        ASSERT_EQ(ReadAutoSalinity(m_connection, on), S_OK);
        EXPECT_TRUE(on);
        Registers().SetU16(AUTO_SALINITY_REGISTER, 2);
        ASSERT_EQ(ReadAutoSalinity(m_connection, on), S_OK);
        EXPECT_FALSE(on) << type;
    }

    StartConnected(kVoxPro);
    Registers().SetU16(AUTO_SALINITY_REGISTER, 1);
    BOOL on = TRUE;
    EXPECT_EQ(ReadAutoSalinity(m_connection, on), S_OK);
    EXPECT_EQ(WriteAutoSalinity(m_connection, FALSE), S_OK);
    EXPECT_FALSE(on) << "a single-sensor probe has no such setting";
    EXPECT_TRUE(ReceivedSinceMark().empty());

    m_connection.DisconnectDevice();
    EXPECT_EQ(WriteAutoSalinity(m_connection, TRUE), E_FAIL);
}

TEST_F(SensorSetupTest, TheNegativeValueOptionIsWrittenAndReadBackAndAnOptionBeyondTwoChangesNothing)
{
    StartConnected(kVoxCore);
    ASSERT_EQ(WriteNegativeValueOption(m_connection, NEGATIVE_DO_NEVER), S_OK);
    USHORT value = 0;
    ASSERT_EQ(ReadNegativeValueOption(m_connection, value), S_OK);
    EXPECT_EQ(value, NEGATIVE_DO_NEVER);
    EXPECT_TRUE(Failed(WriteNegativeValueOption(m_connection, 3)));
    ASSERT_EQ(ReadNegativeValueOption(m_connection, value), S_OK);
    EXPECT_EQ(value, NEGATIVE_DO_NEVER);
}

// ---- The cap ----

TEST_F(SensorSetupTest, TheCapStatusAndTextFollowTheCapsSerialNumberAndExpiry)
{
    StartConnected(kMultiSensor);
    NVSystem::CDeviceComm& device = *m_connection.GetProbe();
    ULONG serial = 0;
    EXPECT_EQ(GetVoxCapStatus(serial, m_connection), VOX_CAP_OK);
    EXPECT_EQ(serial, kProbeSerial * 10 + 1);
    const std::u16string expires = Text(GetVoxCapText(m_connection).text);
    EXPECT_EQ(expires.rfind(u"VOX\u00AE-Dissolved Oxygen (Cap expires ", 0), 0u)
        << ::testing::PrintToString(expires);

    probesim::SetTimestamp(Registers(), At(1, VOX_CAP_EXPIRY_OFFSET), probesim::DeviceTimestamp{86400});
    ASSERT_EQ(device.ReadSensorHeader(1), S_OK);
    EXPECT_EQ(GetVoxCapStatus(serial, m_connection), VOX_CAP_EXPIRED);
    EXPECT_EQ(Text(GetVoxCapText(m_connection).text), u"VOX\u00AE-Dissolved Oxygen (Cap expired)");

    Registers().SetU32(At(1, VOX_CAP_SERIAL_OFFSET), 0);
    ASSERT_EQ(device.ReadSensorHeader(1), S_OK);
    EXPECT_EQ(GetVoxCapStatus(serial, m_connection), VOX_CAP_NOT_DETECTED);
    EXPECT_EQ(Text(GetVoxCapText(m_connection).text), u"VOX\u00AE-Dissolved Oxygen (Cap not detected)");

    Registers().SetU32(At(1, VOX_CAP_SERIAL_OFFSET), 77);
    Probe().Sensors().Unplug(1);
    serial = 5;
    EXPECT_EQ(GetVoxCapStatus(serial, m_connection), VOX_CAP_NOT_DETECTED);
    EXPECT_EQ(serial, 0u);

    m_connection.DisconnectDevice();
    EXPECT_EQ(GetVoxCapStatus(serial, m_connection), VOX_CAP_READ_ERROR);
    const sVoxCapText text = GetVoxCapText(m_connection);
    EXPECT_EQ(Text(text.text), u"VOX\u00AE-Dissolved Oxygen (Cap not detected)");
    EXPECT_EQ(text.problem, EVoxCapTextProblem::None);
}

// ---- The sensor list ----

TEST_F(SensorSetupTest, TheSensorListFramesTheSensorsAndFollowsTheConnectionTable)
{
    StartConnected(kMultiSensor);
    const std::u16string conductivity = Text(GetSensorTypeName(probesim::kConductivitySensorId));
    const std::u16string level = u"Pressure/Level";
    sSensorEntries list = Entries();
    EXPECT_TRUE(list.complete);
    EXPECT_EQ(EntryTexts(list), (std::vector<std::u16string>{u"Temperature", u"optical", conductivity, level,
                                                             u"pH/ORP", u"All"}));
    ASSERT_EQ(list.entries.size(), 6u);
    EXPECT_EQ(list.entries.front().itemData, SENSOR_ENTRY_TEMPERATURE);
    EXPECT_EQ(list.entries[2].itemData, 2);
    EXPECT_EQ(list.entries.back().itemData, SENSOR_ENTRY_ALL);

    Probe().Sensors().Unplug(4);
    ListConnection(4, false);
    ASSERT_EQ(m_connection.GetProbe()->BuildSensorCache(), S_OK);
    EXPECT_EQ(EntryTexts(Entries()),
              (std::vector<std::u16string>{u"Temperature", u"optical", conductivity, level, u"All"}));

    Probe().Sensors().Plug(4);
    ListConnection(4, true);
    ASSERT_EQ(m_connection.GetProbe()->BuildSensorCache(), S_OK);
    EXPECT_EQ(Entries().entries.size(), 6u);

    // Pulled out while the table still lists it: the sensors after it stay in the list.
    Probe().Sensors().Unplug(2);
    ASSERT_EQ(m_connection.GetProbe()->BuildSensorCache(), S_OK);
    list = Entries();
    EXPECT_TRUE(list.complete);
    EXPECT_EQ(EntryTexts(list),
              (std::vector<std::u16string>{u"Temperature", u"optical", level, u"pH/ORP", u"All"}));
    CDynArray<sParameterReading> readings;
    ASSERT_EQ(CollectParameterReadings(*m_connection.GetProbe(), list.connections, SENSOR_ENTRY_ALL, TRUE,
                                       readings),
              S_OK);
    for (uint32_t i = 0; i < readings.GetCount(); ++i)
        EXPECT_NE(readings[i].Connection, 2);
}

TEST_F(SensorSetupTest, AProbeWithoutSensorsListsTemperatureAndAllAlone)
{
    StartProbe(probesim::ProbeConfig(kMultiSensor, kProbeSerial), probesim::ProbeSensors::None);
    ASSERT_EQ(m_connection.ConnectToDevice(), S_OK);
    const sSensorEntries list = Entries();
    EXPECT_TRUE(list.complete);
    EXPECT_EQ(EntryTexts(list), (std::vector<std::u16string>{u"Temperature", u"All"}));
    EXPECT_FALSE(IsSensorEntry(list.entries.front().itemData));
    EXPECT_FALSE(IsSensorEntry(list.entries.back().itemData)) << "neither can be calibrated";
}

TEST_F(SensorSetupTest, TheSensorListNamesThePressureSensorsOfTheVoxCore)
{
    StartConnected(kVoxCore);
    EXPECT_EQ(EntryTexts(Entries()),
              (std::vector<std::u16string>{u"Temperature", u"optical",
                                           Text(GetSensorTypeName(probesim::kCoreConductivitySensorId)),
                                           Text(GetSensorTypeName(probesim::kDepthSensorId)), u"All"}));
}

TEST(SensorListSearch, FindsByCaseInsensitivePrefixFromTheEntryAfterTheStartRoundToIt)
{
    const std::vector<sSensorEntry> entries = {{u"Temperature", 0},
                                               {u"VOX\u00AE-Dissolved Oxygen (Cap expired)", 1},
                                               {u"pH/ORP", 2},
                                               {u"All", 0xFFFF}};
    EXPECT_EQ(FindEntryByPrefix(entries, u"temperature", 0), 0) << "found last, after wrapping round";
    EXPECT_EQ(FindEntryByPrefix(entries, u"PH/", 0), 2);
    // The optical entry, remembered by its first characters, is found whatever its cap says now.
    const CWideString shown(u"VOX\u00AE-Dissolved Oxygen (Cap expires 01/02/2030)");
    CWideString remembered;
    remembered.AssignN(shown, SENSOR_ENTRY_MATCH_LENGTH);
    EXPECT_EQ(FindEntryByPrefix(entries, remembered, 0), 1);
    EXPECT_EQ(FindEntryByPrefix(entries, CWideString(), 0), 1)
        << "an empty prefix matches the first searched";
    EXPECT_EQ(FindEntryByPrefix(entries, u"Conductivity", 0), -1);
    EXPECT_EQ(FindEntryByPrefix({}, u"All", 0), -1);
}

TEST(SensorListRows, TemperatureAllAndASensorChooseTheirRowsInOrder)
{
    const auto reading = [](USHORT connection, USHORT parameterId)
    {
        sParameterReading r;
        r.Connection = connection;
        r.ParameterId = parameterId;
        return r;
    };
    CDynArray<sParameterReading> readings;
    for (const auto& [connection, id] : {std::pair{1, 20}, {1, 1}, {1, 21}, {2, 1}, {2, 13}, {3, 2}})
        readings.Add(reading(static_cast<USHORT>(connection), static_cast<USHORT>(id)));
    const auto ids = [](const CDynArray<sParameterReading>& rows)
    {
        std::vector<std::pair<int, int>> out;
        for (uint32_t i = 0; i < rows.GetCount(); ++i)
            out.emplace_back(rows[i].Connection, rows[i].ParameterId);
        return out;
    };
    using Rows = std::vector<std::pair<int, int>>;
    EXPECT_EQ(ids(ChooseParameterRows(SENSOR_ENTRY_TEMPERATURE, readings)), (Rows{{1, 1}}));
    EXPECT_EQ(ids(ChooseParameterRows(SENSOR_ENTRY_ALL, readings)),
              (Rows{{1, 1}, {1, 20}, {1, 21}, {2, 13}, {3, 2}}));
    EXPECT_EQ(ids(ChooseParameterRows(2, readings)), (Rows{{2, 13}}));
    EXPECT_EQ(ChooseParameterRows(SENSOR_ENTRY_TEMPERATURE, CDynArray<sParameterReading>()).GetCount(), 0u);
}

// ---- The settings ----

TEST_F(SensorSetupTest, LoadingTheSettingsOfAMultiSensorProbeReadsWhatTheProbeHolds)
{
    StartConnected(kMultiSensor);
    Registers().SetU16(AUTO_SALINITY_REGISTER, 1);
    SetSetting(2, probesim::kProbeConductivity.referenceTemperature, 22.0f);
    SetSetting(1, probesim::dosensor::kLiveSalinity, 12.5f);
    SetSetting(1, probesim::dosensor::kDefaultSalinity, 3.0f);
    SetSetting(1, probesim::dosensor::kLiveBaro, 950.0f);
    SetSetting(1, probesim::dosensor::kDefaultBaro, 1001.0f);
    const sSensorSettingsLoad load = LoadSensorSettings(m_connection);
    EXPECT_FALSE(load.failure) << ::testing::PrintToString(Text(load.failure.text));
    EXPECT_TRUE(load.autoSalinity);
    EXPECT_EQ(load.referenceTemperature, 22.0f);
    ASSERT_TRUE(load.vox.has_value());
    EXPECT_EQ(load.vox->liveSalinity, 12.5f);
    EXPECT_EQ(load.vox->defaultSalinity, 3.0f);
    EXPECT_EQ(load.vox->liveBaro, 950.0f);
    EXPECT_EQ(load.vox->defaultBaro, 1001.0f);

    const sPressureSettingsLoad pressure = LoadPressureSettings(m_connection);
    EXPECT_FALSE(pressure.present) << "the level sensor is no pressure/depth sensor";
    EXPECT_FALSE(pressure.failure);
}

TEST_F(SensorSetupTest, TheReferenceTemperatureGoesThroughTheCalibrationBlockLeavingTheRestAsItWas)
{
    StartConnected(kVoxCore);
    const probesim::ConductivityLayout& layout = probesim::kCoreConductivity;
    SetSetting(2, layout.Alpha(), 0.0191f);
    SetSetting(2, layout.Coefficient(7), -3.5f);
    for (const float temperature : {REFERENCE_TEMPERATURE_20, REFERENCE_TEMPERATURE_25})
    {
        ASSERT_EQ(WriteReferenceTemperature(m_connection, temperature), S_OK);
        EXPECT_EQ(Setting(2, layout.referenceTemperature), temperature);
        float read = 0.0f;
        ASSERT_EQ(ReadReferenceTemperature(m_connection, read), S_OK);
        EXPECT_EQ(read, temperature);
    }
    EXPECT_EQ(Setting(2, layout.Alpha()), 0.0191f);
    EXPECT_EQ(Setting(2, layout.Coefficient(7)), -3.5f);

    StartConnected(kVoxPro);
    float untouched = 7.0f;
    EXPECT_EQ(ReadReferenceTemperature(m_connection, untouched), S_FALSE);
    EXPECT_EQ(WriteReferenceTemperature(m_connection, REFERENCE_TEMPERATURE_20), S_OK);
    EXPECT_EQ(untouched, 7.0f);
}

TEST_F(SensorSetupTest, SalinityAndBarometricPressureAreWrittenLiveAndAsPowerOnDefault)
{
    StartConnected(kVoxPro);
    using namespace probesim::dosensor;
    sVoxWrite write = WriteSalinity(m_connection, 12.5f, FALSE);
    EXPECT_FALSE(write.failure);
    EXPECT_TRUE(write.liveWritten);
    EXPECT_FALSE(write.defaultWritten);
    EXPECT_EQ(Setting(1, kLiveSalinity), 12.5f);
    EXPECT_EQ(Setting(1, kDefaultSalinity), 0.0f);
    write = WriteSalinity(m_connection, 30.0f, TRUE);
    EXPECT_TRUE(write.defaultWritten);
    EXPECT_EQ(Setting(1, kDefaultSalinity), 30.0f);

    write = WriteBaro(m_connection, 950.0f, TRUE);
    EXPECT_FALSE(write.failure);
    EXPECT_EQ(Setting(1, kLiveBaro), 950.0f);
    EXPECT_EQ(Setting(1, kDefaultBaro), 950.0f);
    write = WriteBaro(m_connection, 990.0f, FALSE);
    EXPECT_EQ(Setting(1, kLiveBaro), 990.0f);
    EXPECT_EQ(Setting(1, kDefaultBaro), 950.0f);
}

TEST_F(SensorSetupTest, AFailedBarometricWriteSaysWhichAndThePressuresReadBackAreTheProbes)
{
    StartConnected(kVoxPro);
    Sim().Faults().Queue(probesim::Fault::NoReply(), 4);
    const sVoxWrite write = WriteBaro(m_connection, 800.0f, TRUE);
    ASSERT_TRUE(write.failure);
    EXPECT_EQ(std::u16string(write.failure.text), u"Failed to set default baro value.");
    EXPECT_FALSE(write.liveWritten);
    Sim().Faults().Clear();
    const sBaroValues values = ReadBaroValues(m_connection);
    EXPECT_EQ(values.live, Setting(1, probesim::dosensor::kLiveBaro));
    EXPECT_EQ(values.defaultValue, Setting(1, probesim::dosensor::kDefaultBaro));
    EXPECT_NE(values.live, 800.0f);
}

TEST_F(SensorSetupTest, PressureSettingsOfTheVoxCoreFollowThePressureParametersUnit)
{
    StartConnected(kVoxCore);
    using namespace probesim::depthsensor;
    SetSetting(kDepthConnection, kPressureOffset, 0.25f);
    SetSetting(kDepthConnection, kDensityCorrection, 0.0f);
    sPressureSettingsLoad load = LoadPressureSettings(m_connection);
    EXPECT_FALSE(load.failure);
    EXPECT_TRUE(load.present);
    EXPECT_EQ(Text(FormatPressureLabel(load.unitId)), u"Current Value (PSI):");
    EXPECT_EQ(load.offset, 0.25f);
    EXPECT_FALSE(load.autoDensity);

    EXPECT_FALSE(WriteAutoDensity(m_connection, TRUE));
    EXPECT_EQ(Setting(kDepthConnection, kDensityCorrection), 1.0f);
    constexpr USHORT kKiloPascal = 19;
    ASSERT_EQ(ChangeParameterUnit(m_connection, Reading(kDepthConnection, kPressure), kKiloPascal), S_OK);
    load = LoadPressureSettings(m_connection);
    EXPECT_TRUE(load.autoDensity);
    EXPECT_EQ(Text(FormatPressureLabel(load.unitId)), u"Current Value (kPa):");
}

TEST_F(SensorSetupTest, ASentinelOrUnitChangeReachesTheProbeAndTheDevicesCopy)
{
    StartConnected(kVoxPro);
    const uint16_t concentration = probesim::dosensor::kConcentration;
    const sParameterReading reading = Reading(1, concentration);
    ASSERT_EQ(ChangeParameterSentinel(m_connection, reading, -5.5f), S_OK);
    EXPECT_EQ(Registers().GetFloat(
                  At(1, probesim::ParameterBlockOffset(concentration) + probesim::block::kSentinel)),
              -5.5f);
    EXPECT_EQ(Reading(1, concentration).Sentinel, -5.5f);

    constexpr USHORT kUnitNotOffered = 30;
    EXPECT_TRUE(Failed(ChangeParameterUnit(m_connection, reading, kUnitNotOffered)));
    EXPECT_EQ(Reading(1, concentration).UnitId, reading.UnitId);
}

// ---- The sensor watch ----

class SensorWatchTest : public SensorSetupTest
{
protected:
    // Active while the flag says so; counts how often the watch asked.
    std::function<bool()> Activity()
    {
        return [this]
        {
            ++m_nAsked;
            return m_bActive.load();
        };
    }
    bool WaitUntilAsked(int times)
    {
        const int target = m_nAsked.load() + times;
        return PollUntil([&] { return m_nAsked.load() >= target; });
    }

    std::atomic<bool> m_bActive{true};
    std::atomic<int> m_nAsked{0};
    PostedMessages m_page;
};

TEST_F(SensorWatchTest, PostsWhenTheTableOrTheCapChangesAndLooksOnlyWhileActive)
{
    StartConnected(kMultiSensor);
    {
        CSensorWatch watch(m_connection, m_page, Activity(), 10ms);
        ASSERT_TRUE(watch.Start());
        ASSERT_TRUE(WaitUntilAsked(3));
        EXPECT_EQ(m_page.Count(windowmsg::WM_SENSORS_CHANGED), 0u);

        ListConnection(4, false);
        ASSERT_TRUE(m_page.WaitFor(windowmsg::WM_SENSORS_CHANGED, 1));
        // The report names the link it looked at, so that the page can tell it from a later one.
        const ULONG link = m_connection.GetConnectionId();
        ASSERT_NE(link, 0u);
        EXPECT_EQ(m_page.WParams(windowmsg::WM_SENSORS_CHANGED), std::vector<uintptr_t>{link});

        m_bActive = false;
        ASSERT_TRUE(WaitUntilAsked(1));
        Mark();
        ListConnection(4, true);
        ASSERT_TRUE(WaitUntilAsked(3));
        EXPECT_EQ(m_page.Count(windowmsg::WM_SENSORS_CHANGED), 1u);
        EXPECT_TRUE(ReceivedSinceMark().empty()) << "no transaction while a popup is open";

        m_bActive = true;
        ASSERT_TRUE(m_page.WaitFor(windowmsg::WM_SENSORS_CHANGED, 2));
        // A new cap.
        Registers().SetU32(At(1, VOX_CAP_SERIAL_OFFSET), 99);
        ASSERT_TRUE(m_page.WaitFor(windowmsg::WM_SENSORS_CHANGED, 3));
        watch.Stop();
    }
    EXPECT_FALSE(m_connection.ReleaseBusy()) << "the watch gave back what it counted";
}

TEST_F(SensorWatchTest, KeepsWatchingWhenTheOpticalSensorLeavesTheTableAndSeesItComeBack)
{
    StartConnected(kMultiSensor);
    CSensorWatch watch(m_connection, m_page, Activity(), 10ms);
    ASSERT_TRUE(watch.Start());
    ASSERT_TRUE(WaitUntilAsked(2));

    Probe().Sensors().Unplug(1);
    ListConnection(1, false);
    ASSERT_TRUE(m_page.WaitFor(windowmsg::WM_SENSORS_CHANGED, 1));
    // The page rebuilds the device's table on the message: the device then has no sensor there.
    ASSERT_EQ(m_connection.GetProbe()->BuildSensorCache(), S_OK);
    ULONG serial = 5;
    EXPECT_EQ(GetVoxCapStatus(serial, m_connection), VOX_CAP_NOT_DETECTED);
    EXPECT_EQ(serial, 0u);
    ASSERT_TRUE(WaitUntilAsked(3));
    EXPECT_FALSE(watch.HasEnded()) << "an absent sensor is no read error";

    Probe().Sensors().Plug(1);
    ListConnection(1, true);
    ASSERT_TRUE(m_page.WaitFor(windowmsg::WM_SENSORS_CHANGED, 2));
    ASSERT_EQ(m_connection.GetProbe()->BuildSensorCache(), S_OK);
    EXPECT_EQ(GetVoxCapStatus(serial, m_connection), VOX_CAP_OK);
    EXPECT_FALSE(watch.HasEnded());
    watch.Stop();
    EXPECT_FALSE(m_connection.ReleaseBusy());
}

TEST_F(SensorWatchTest, EndsByItselfWhenTheProbeStopsAnsweringPostingNothing)
{
    StartConnected(kVoxPro);
    CSensorWatch watch(m_connection, m_page, Activity(), 10ms);
    ASSERT_TRUE(watch.Start());
    ASSERT_TRUE(WaitUntilAsked(2));
    Sim().Stop();
    EXPECT_TRUE(PollUntil([&] { return watch.HasEnded(); }));
    EXPECT_EQ(m_page.Count(windowmsg::WM_SENSORS_CHANGED), 0u);
    EXPECT_FALSE(m_connection.ReleaseBusy());
}

TEST_F(SensorWatchTest, ADisconnectWaitsForALookInFlightAndTheWatchThenEnds)
{
    StartConnected(kVoxPro);
    std::atomic<int> waits{0};
    m_connection.SetBusyWaitObserverForTests([&] { ++waits; });
    CSensorWatch watch(m_connection, m_page, Activity(), 1ms);
    ASSERT_TRUE(watch.Start());
    ASSERT_TRUE(WaitUntilAsked(1));
    Sim().Faults().SetPersistent(probesim::Fault::Late(150ms));
    Mark();
    ASSERT_TRUE(Sim().Log().WaitForReceived(Sim().Log().ReceivedCount() + 1, 5000ms));
    EXPECT_EQ(m_connection.DisconnectDevice(), S_OK);
    EXPECT_GE(waits.load(), 1);
    watch.Stop();
    EXPECT_TRUE(watch.HasEnded());
    m_connection.SetBusyWaitObserverForTests(nullptr);
}

class SleepingProbeSensorWatchTest : public SensorWatchTest,
                                     public ::testing::WithParamInterface<probesim::FramingMode>
{
protected:
    // Each wake-up pause lasts until the probe has taken the wake-up frame in.
    SleepingProbeSensorWatchTest() { UseWakeUpFramePauses(); }
};

TEST_P(SleepingProbeSensorWatchTest, AProbeAsleepSoonerThanTheLineKnowsIsWokenAndTheWatchGoesOn)
{
    StartSleepingConnected(kVoxPro, GetParam(), 60000);
    CSensorWatch watch(m_connection, m_page, Activity(), 10ms);
    ASSERT_TRUE(watch.Start());
    ASSERT_TRUE(WaitUntilAsked(2));
    // Between two looks (a popup open for a moment), heard a moment ago, so that no wake-up is due
    // by the line's clock: the probe sleeps all the same.
    m_bActive = false;
    ASSERT_TRUE(WaitUntilAsked(2));
    Probe().FallAsleep();
    m_bActive = true;
    ASSERT_TRUE(WaitUntilAsked(3));
    EXPECT_FALSE(watch.HasEnded());
    watch.Stop();
    EXPECT_EQ(m_page.Count(windowmsg::WM_SENSORS_CHANGED), 0u);
    EXPECT_FALSE(m_connection.ReleaseBusy());
}

INSTANTIATE_TEST_SUITE_P(BothFramings, SleepingProbeSensorWatchTest,
                         ::testing::Values(probesim::FramingMode::Rtu, probesim::FramingMode::Ascii),
                         FramingName);

// ---- The pressure zeroing ----

class PressureCalTest : public SensorSetupTest
{
protected:
    void SetUp() override
    {
        StartConnected(kVoxCore);
        ASSERT_EQ(m_connection.GetPressureDepthSensor(m_pSensor), S_OK);
        ASSERT_NE(m_pSensor, nullptr);
        ASSERT_EQ(m_pSensor->GetPressureConnection(), kDepthConnection);
        ASSERT_EQ(m_connection.GetProbe()->SetMeasurementCacheTimeout(kCacheTimeout), S_OK);
    }
    float MeasuredPressure()
    {
        float value = 0.0f;
        USHORT quality = 0;
        USHORT unitId = 0;
        EXPECT_EQ(m_pSensor->ReadPressure(value, quality, unitId, FALSE), S_OK);
        return value;
    }
    // Begin and the first reading; the calibration's zero.
    sPressureReading BeginAndRead(CPressureCalibration& calibration)
    {
        USHORT unitId = 0;
        EXPECT_FALSE(calibration.Begin(unitId));
        EXPECT_EQ(Probe().Sensors().Mode(kDepthConnection), probesim::SensorMode::Calibrating);
        EXPECT_EQ(Probe().MeasurementCacheTimeout(), 0);
        const size_t seen = m_page.Count(windowmsg::WM_NEW_DATA);
        EXPECT_TRUE(calibration.StartReading());
        EXPECT_TRUE(m_page.WaitFor(windowmsg::WM_NEW_DATA, seen + 1));
        return calibration.GetLastReading();
    }
    void ExpectWayOut(const std::vector<uint16_t>& commands)
    {
        EXPECT_EQ(Commands(kDepthConnection), commands);
        EXPECT_EQ(Probe().Sensors().Mode(kDepthConnection), probesim::SensorMode::Measuring);
        EXPECT_EQ(Probe().MeasurementCacheTimeout(), kCacheTimeout);
    }

    static constexpr USHORT kCacheTimeout = 1500;
    NVSystem::ISensor_PressureDepth* m_pSensor = nullptr;
    PostedMessages m_page;
};

TEST_F(PressureCalTest, OkWritesTheRawReadingShownAsTheOffsetAndTheSensorThenReadsZero)
{
    using namespace probesim;
    // A user offset first, so that a reading outside calibration mode would not be the raw one.
    SetSetting(kDepthConnection, depthsensor::kPressureOffset, 1.0f);
    ASSERT_EQ(m_connection.GetProbe()->SetSensorCalModeOn(kDepthConnection), S_OK);
    ASSERT_EQ(m_connection.GetProbe()->UpdateSensorCalibration(kDepthConnection), S_OK);
    ASSERT_EQ(m_connection.GetProbe()->SetSensorCalModeOff(kDepthConnection), S_OK);
    ASSERT_LT(MeasuredPressure(), 4.5f);
    const size_t before = Commands(kDepthConnection).size();

    sPressureReading zero;
    {
        CPressureCalibration calibration(m_connection, m_pSensor, kDepthConnection, m_page);
        zero = BeginAndRead(calibration);
        EXPECT_TRUE(zero.usable) << "a reading while calibrating";
        EXPECT_EQ(NVSystem::QualityCode(zero.quality), probesim::kQualityCalibrating);
        EXPECT_GT(zero.value, 4.5f) << "the raw reading";
        const CPressureCalibration::sFinishFailures failures = calibration.Finish(FALSE, zero);
        EXPECT_FALSE(failures.calibration);
        EXPECT_FALSE(failures.header);
    }
    std::vector<uint16_t> commands = Commands(kDepthConnection);
    commands.erase(commands.begin(), commands.begin() + static_cast<std::ptrdiff_t>(before));
    EXPECT_EQ(commands,
              (std::vector<uint16_t>{kSensorCalModeOn, kSensorUpdateCalibration, kSensorCalModeOff}));
    EXPECT_EQ(Probe().Sensors().Mode(kDepthConnection), SensorMode::Measuring);
    EXPECT_EQ(Probe().MeasurementCacheTimeout(), kCacheTimeout);
    EXPECT_EQ(Setting(kDepthConnection, depthsensor::kPressureOffset), zero.value);
    EXPECT_NEAR(MeasuredPressure(), 0.0f, 0.01f);
}

TEST_F(PressureCalTest, AReadingThatHoldsNoMeasurementIsNeverTheZeroAndOneWhileWarmingUpIs)
{
    using namespace probesim;
    using Forced = SensorBank::ForcedValue;
    SetSetting(kDepthConnection, depthsensor::kPressureOffset, 0.5f);
    struct sCase
    {
        const char* name;
        uint16_t quality;
        Forced value;
        bool usable;
    };
    for (const sCase& c : {sCase{"error", kQualityError, Forced::Sentinel, false},
                           sCase{"sensor missing", kQualityOffline, Forced::Sentinel, false},
                           sCase{"missing with a value", kQualityOffline, Forced::Measured, false},
                           sCase{"disabled", kQualityDisabled, Forced::Measured, false},
                           sCase{"the sentinel alone", kQualityNormal, Forced::Sentinel, false},
                           sCase{"warming up", kQualityWarmUp, Forced::Measured, true}})
    {
        Probe().Sensors().ForceQuality(kDepthConnection, depthsensor::kPressure, c.quality, c.value);
        const size_t before = Commands(kDepthConnection).size();
        CPressureCalibration calibration(m_connection, m_pSensor, kDepthConnection, m_page);
        const sPressureReading reading = BeginAndRead(calibration);
        EXPECT_EQ(reading.usable, c.usable) << c.name;
        EXPECT_EQ(NVSystem::QualityCode(reading.quality), c.quality) << c.name;
        const CPressureCalibration::sFinishFailures failures = calibration.Finish(FALSE, reading);
        std::vector<uint16_t> commands = Commands(kDepthConnection);
        commands.erase(commands.begin(), commands.begin() + static_cast<std::ptrdiff_t>(before));
        if (c.usable)
        {
            EXPECT_FALSE(failures.calibration) << c.name;
            EXPECT_EQ(Setting(kDepthConnection, depthsensor::kPressureOffset), reading.value) << c.name;
            SetSetting(kDepthConnection, depthsensor::kPressureOffset, 0.5f);
            continue;
        }
        ASSERT_TRUE(failures.calibration) << c.name;
        EXPECT_EQ(std::u16string(failures.calibration.text), u"Failed to commit new calibration");
        EXPECT_EQ(Setting(kDepthConnection, depthsensor::kPressureOffset), 0.5f) << c.name;
        EXPECT_EQ(commands, (std::vector<uint16_t>{kSensorCalModeOn, kSensorCalModeOff})) << c.name;
        EXPECT_EQ(Probe().MeasurementCacheTimeout(), kCacheTimeout) << c.name;
    }
    Probe().Sensors().ForceQuality(kDepthConnection, depthsensor::kPressure, std::nullopt);
}

TEST_F(PressureCalTest, CancelAfterReadingsLeavesTheOffsetAndTheCacheAsTheyWere)
{
    {
        CPressureCalibration calibration(m_connection, m_pSensor, kDepthConnection, m_page, 20ms);
        BeginAndRead(calibration);
        ASSERT_TRUE(m_page.WaitFor(windowmsg::WM_NEW_DATA, 3));
        calibration.Cancel();
        ExpectWayOut({probesim::kSensorCalModeOn, probesim::kSensorCalModeOff});
    }
    EXPECT_EQ(Commands(kDepthConnection).size(), 2u) << "the way out is taken once";
    EXPECT_EQ(Setting(kDepthConnection, probesim::depthsensor::kPressureOffset), 0.0f);
}

TEST_F(PressureCalTest, AFailingReadIsPostedAndTheWayOutStillEndsCalibrationMode)
{
    CPressureCalibration calibration(m_connection, m_pSensor, kDepthConnection, m_page, 20ms);
    BeginAndRead(calibration);
    Sim().Faults().SetPersistent(probesim::Fault::NoReply());
    ASSERT_TRUE(m_page.WaitFor(windowmsg::WM_READ_ERROR));
    Sim().Faults().Clear();
    calibration.Cancel();
    ExpectWayOut({probesim::kSensorCalModeOn, probesim::kSensorCalModeOff});
}

TEST_F(PressureCalTest, RestoringTheFactoryCalibrationEndsCalibrationModeBeforeTheRestore)
{
    SetSetting(kDepthConnection, probesim::depthsensor::kPressureOffset, 2.0f);
    CPressureCalibration calibration(m_connection, m_pSensor, kDepthConnection, m_page);
    USHORT unitId = 0;
    ASSERT_FALSE(calibration.Begin(unitId));
    const CPressureCalibration::sFinishFailures failures = calibration.Finish(TRUE, sPressureReading{});
    EXPECT_FALSE(failures.calibration);
    ExpectWayOut(
        {probesim::kSensorCalModeOn, probesim::kSensorCalModeOff, probesim::kSensorRestoreCalDefaults});
    EXPECT_EQ(Setting(kDepthConnection, probesim::depthsensor::kPressureOffset), 0.0f);
}

TEST_F(PressureCalTest, GoingWithoutOkOrCancelStillTakesTheWayOut)
{
    {
        CPressureCalibration calibration(m_connection, m_pSensor, kDepthConnection, m_page);
        BeginAndRead(calibration);
    }
    ExpectWayOut({probesim::kSensorCalModeOn, probesim::kSensorCalModeOff});
}

TEST_F(PressureCalTest, AFailedStartLeavesCalibrationModeAndTheCacheToTheWayOut)
{
    // The sensor switches to calibration mode but its answer is a failure, as when the reply is lost.
    Registers().AddWriteHook(probesim::SensorCommandRegisterOf(kDepthConnection), 1,
                             [](probesim::RegisterModel&, const probesim::RegisterWrite& write)
                             {
                                 return write.values.front() == probesim::kSensorCalModeOn
                                            ? std::optional(probesim::ExceptionCode::SlaveDeviceFailure)
                                            : std::nullopt;
                             });
    CPressureCalibration calibration(m_connection, m_pSensor, kDepthConnection, m_page);
    USHORT unitId = 0;
    const sSettingsFailure failure = calibration.Begin(unitId);
    ASSERT_TRUE(failure);
    EXPECT_EQ(std::u16string(failure.text), u"Failed to start calibration");
    EXPECT_EQ(Probe().MeasurementCacheTimeout(), 0);
    calibration.Cancel();
    EXPECT_EQ(Probe().Sensors().Mode(kDepthConnection), probesim::SensorMode::Measuring);
    EXPECT_EQ(Probe().MeasurementCacheTimeout(), kCacheTimeout);
}

// The way out of the zeroing when the probe refuses a step of it: every step is tried, what failed
// once more, and what the probe still holds after that is named.
class PressureWayOutTest : public PressureCalTest
{
protected:
    void TearDown() override { Sim().RequestFaults().Clear(); }

    // The probe refuses calibration mode off, or the cache time-out's write back, `times` times.
    void RefuseCalModeOff(unsigned times)
    {
        Sim().RequestFaults().Refuse(RequestMatch::Write(probesim::SensorCommandRegisterOf(kDepthConnection),
                                                         probesim::kSensorCalModeOff),
                                     probesim::ExceptionCode::SlaveDeviceFailure, times);
    }
    void RefuseCacheRestore(unsigned times)
    {
        Sim().RequestFaults().Refuse(
            RequestMatch::Write(probesim::reg::kMeasurementCacheTimeout, kCacheTimeout),
            probesim::ExceptionCode::SlaveDeviceFailure, times);
    }
    bool Calibrating() { return Probe().Sensors().Mode(kDepthConnection) != probesim::SensorMode::Measuring; }

    using RequestMatch = probesim::RequestMatch;
    static constexpr unsigned kAlways = probesim::RequestFaults::kEveryTime;
    static constexpr const char16_t* kCalModeLeft =
        u"The probe did not get back everything the calibration changed. It may still have:\n"
        u"- the pressure sensor in calibration mode\n"
        u"Check the connection to the probe and correct these settings.";
};

TEST_F(PressureWayOutTest, AZeroWhoseCalibrationModeOffIsRefusedOnceIsTriedAgainAndTheSensorMeasures)
{
    CPressureCalibration calibration(m_connection, m_pSensor, kDepthConnection, m_page);
    const sPressureReading zero = BeginAndRead(calibration);
    RefuseCalModeOff(1);
    const CPressureCalibration::sFinishFailures failures = calibration.Finish(FALSE, zero);
    EXPECT_FALSE(failures.calibration);
    EXPECT_TRUE(failures.leftovers.IsEmpty());
    EXPECT_FALSE(Calibrating());
    EXPECT_EQ(Probe().MeasurementCacheTimeout(), kCacheTimeout);
    EXPECT_EQ(Setting(kDepthConnection, probesim::depthsensor::kPressureOffset), zero.value);
}

TEST_F(PressureWayOutTest, ACalibrationModeTheProbeKeepsAfterAGoodZeroIsNamedNotReportedAsSuccess)
{
    CPressureCalibration calibration(m_connection, m_pSensor, kDepthConnection, m_page);
    const sPressureReading zero = BeginAndRead(calibration);
    RefuseCalModeOff(kAlways);
    const CPressureCalibration::sFinishFailures failures = calibration.Finish(FALSE, zero);
    EXPECT_FALSE(failures.calibration) << "the zero itself was taken";
    EXPECT_EQ(Text(failures.leftovers), kCalModeLeft);
    EXPECT_TRUE(Calibrating()) << "what was named is what the probe holds";
    EXPECT_EQ(Probe().MeasurementCacheTimeout(), kCacheTimeout) << "tried although the switch-off failed";
    EXPECT_EQ(Text(calibration.Cancel()), kCalModeLeft) << "a later way out tries nothing";
}

TEST_F(PressureWayOutTest, ACacheTimeOutRefusedOnceComesBackAndOneNeverTakenIsNamed)
{
    {
        CPressureCalibration calibration(m_connection, m_pSensor, kDepthConnection, m_page);
        BeginAndRead(calibration);
        RefuseCacheRestore(1);
        EXPECT_TRUE(calibration.Cancel().IsEmpty());
        EXPECT_EQ(Probe().MeasurementCacheTimeout(), kCacheTimeout);
        EXPECT_FALSE(Calibrating());
    }
    CPressureCalibration calibration(m_connection, m_pSensor, kDepthConnection, m_page);
    BeginAndRead(calibration);
    RefuseCacheRestore(kAlways);
    EXPECT_EQ(Text(calibration.Cancel()),
              u"The probe did not get back everything the calibration changed. It may still have:\n"
              u"- a measurement cache time-out of 0 ms instead of 1500 ms\n"
              u"Check the connection to the probe and correct these settings.");
    EXPECT_EQ(Probe().MeasurementCacheTimeout(), 0);
    EXPECT_FALSE(Calibrating());
}

TEST_F(PressureWayOutTest, ARestoreWhoseCalibrationModeOffFailsOnceLeavesCalibrationModeAnyway)
{
    SetSetting(kDepthConnection, probesim::depthsensor::kPressureOffset, 2.0f);
    CPressureCalibration calibration(m_connection, m_pSensor, kDepthConnection, m_page);
    USHORT unitId = 0;
    ASSERT_FALSE(calibration.Begin(unitId));
    RefuseCalModeOff(1);
    const CPressureCalibration::sFinishFailures failures = calibration.Finish(TRUE, sPressureReading{});
    ASSERT_TRUE(failures.calibration);
    EXPECT_EQ(std::u16string(failures.calibration.text), u"Failed to restore calibration defaults");
    EXPECT_EQ(failures.calibration.code, ResultCode(0x81010004u)) << "the probe's refusal";
    EXPECT_TRUE(failures.leftovers.IsEmpty());
    EXPECT_FALSE(Calibrating()) << "the way out switched it off";
    EXPECT_EQ(Probe().MeasurementCacheTimeout(), kCacheTimeout);
    EXPECT_EQ(Setting(kDepthConnection, probesim::depthsensor::kPressureOffset), 2.0f) << "nothing restored";
}

// Time that moves only by the reads (each takes readMs, seen at the next look at the clock) and by
// the worker's waits, which return at once; the worker is stopped at its fifth wait.
class ReadTimeClock
{
public:
    explicit ReadTimeClock(uint64_t readMs) : m_nReadMs(readMs) {}
    sLivePollClock Clock()
    {
        sLivePollClock clock = sLivePollClock::System();
        clock.NowMs = [this]
        {
            if (m_bStarted)
                m_nNow += m_nReadMs;
            m_bStarted = true;
            return m_nNow;
        };
        clock.WaitForStop = [this](platform::CEvent& stop, uint64_t ms)
        {
            m_waits.push_back(ms);
            m_nNow += ms;
            return m_waits.size() >= 5 || stop.IsSet();
        };
        return clock;
    }
    std::vector<uint64_t> Waits() const { return m_waits; }

private:
    uint64_t m_nReadMs;
    uint64_t m_nNow = 0;
    bool m_bStarted = false;
    std::vector<uint64_t> m_waits; // the worker's thread only, read after it ended
};

TEST_F(PressureCalTest, ReadingsKeepTheirGridHoweverLongEachReadTakes)
{
    for (const auto& [readMs, waits] : {std::pair{300u, std::vector<uint64_t>{1700, 1700, 1700, 1700, 1700}},
                                        {2500u, std::vector<uint64_t>{1500, 1500, 1500, 1500, 1500}}})
    {
        ReadTimeClock clock(readMs);
        PostedMessages page;
        {
            CPressureCalibration calibration(m_connection, m_pSensor, kDepthConnection, page,
                                             PRESSURE_READING_PERIOD, clock.Clock());
            ASSERT_TRUE(calibration.StartReading());
            ASSERT_TRUE(page.WaitFor(windowmsg::WM_NEW_DATA, 5));
            calibration.StopReading();
        }
        EXPECT_EQ(clock.Waits(), waits) << readMs;
    }
}

} // namespace
} // namespace apptest
