// The level adapter against the level sensor on connection 3 of the multi-sensor probe (device type
// 18), here with a steady pressure of 5 PSI so that readings, zeroing and levels are exact.
#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>

#include "foundation/CommTimeouts.h"
#include "foundation/Units.h"
#include "models/LevelSensor.h"
#include "models/RestoreFactoryCalNote.h"
#include "models/SettingNotes.h"
#include "platform/Clock.h"
#include "tests/models/AdapterTestSupport.h"
#include "tools/probe-sim/DeviceTypes.h"
#include "tools/probe-sim/PressureSensors.h"

namespace adaptertest
{
namespace
{

using NVSystem::CLevelSensor;
namespace lvl = probesim::levelsensor;

constexpr uint16_t kLevel = 3;
constexpr double kPsi = 5.0;
constexpr uint16_t kCalModeOn = 0xE000;
constexpr uint16_t kUpdate = 0xE001;
constexpr uint16_t kCalModeOff = 0xE002;

class LevelSensorAdapter : public AdapterTest
{
protected:
    void SetUp() override { Start(DeviceKind::OfItsFamily); }

    void Start(DeviceKind kind, const std::function<void(probesim::SimSensor&)>& change = {})
    {
        StartProbe(probesim::ProbeConfig(probesim::kMultiSensorProbeType, kProbeSerial), kind,
                   probesim::ProbeSensors::None);
        probesim::SimSensor sensor = probesim::LevelSensor(SensorSerial(kLevel), [](double) { return kPsi; });
        if (change)
            change(sensor);
        Probe().Sensors().Add(kLevel, sensor);
    }

    bool LeftCalMode(const std::vector<uint16_t>& commands)
    {
        return !commands.empty() && commands.front() == kCalModeOn && commands.back() == kCalModeOff &&
               Probe().Sensors().Mode(kLevel) == probesim::SensorMode::Measuring;
    }

    float Pressure(CLevelSensor& sensor)
    {
        float value = 0.0f;
        USHORT quality = 0;
        USHORT unitId = 0;
        EXPECT_EQ(sensor.ReadPressure(value, quality, unitId, FALSE), S_OK);
        return value;
    }

    std::vector<USHORT> RestoreKinds(ULONG serial)
    {
        std::vector<USHORT> kinds;
        for (const probesim::LogNote& logged : Notes())
        {
            NVSystem::CNVUserNote_RestoreFactoryCal_Sensor note;
            EXPECT_EQ(LoadNote(logged, note), S_OK);
            EXPECT_EQ(note.GetSerialNumber(), serial);
            kinds.push_back(static_cast<USHORT>(note.GetKind()));
        }
        return kinds;
    }
};

TEST_F(LevelSensorAdapter, ZeroPressureMakesTheRawReadingTheOffset)
{
    CLevelSensor sensor(&Device(), kLevel);
    StartLog();
    Mark();
    ASSERT_EQ(sensor.ZeroPressure(), S_OK);
    EXPECT_EQ(CommandsSinceMark(kLevel), (std::vector<uint16_t>{kCalModeOn, kUpdate, kCalModeOff}));
    EXPECT_EQ(SimFloat(kLevel, lvl::kPressureOffset), kPsi);
    EXPECT_EQ(Probe().Sensors().SettingInUse(kLevel, lvl::kPressureOffset), kPsi);
    EXPECT_EQ(Pressure(sensor), 0.0f);
    // Zeroing leaves no note of its own.
    EXPECT_TRUE(Notes().empty());
}

TEST_F(LevelSensorAdapter, ZeroPressureLeavesCalModeWhateverStepFails)
{
    const uint16_t pressureBlock = Register(kLevel, probesim::ParameterBlockOffset(lvl::kPressure));
    const uint16_t command = probesim::SensorCommandRegisterOf(kLevel);
    const HRESULT refused = ResultOf(probesim::ExceptionCode::SlaveDeviceFailure);
    const struct
    {
        const char* name;
        std::function<void()> spoil;
        HRESULT result;
        bool offsetWritten;
    } cases[] = {
        {"pressure unreadable", [&] { RefuseReads(pressureBlock, 2); }, refused, false},
        {"offset refused", [&] { RefuseWrites(Register(kLevel, lvl::kPressureOffset), 2); }, refused, false},
        {"update refused", [&] { RefuseWrites(command, 1, kUpdate); }, refused, true},
        {"sensor warming up", [&] { MarkParameter(kLevel, lvl::kPressure, probesim::kQualityWarmUp); },
         NVSystem::ADAPTER_E_INVALID_DEVICE_RESPONSE, false},
        {"sensor offline", [&] { MarkParameter(kLevel, lvl::kPressure, 0x0017); },
         NVSystem::ADAPTER_E_INVALID_DEVICE_RESPONSE, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        Start(DeviceKind::OfItsFamily);
        CLevelSensor sensor(&Device(), kLevel);
        SetSimFloat(kLevel, lvl::kPressureOffset, 0.25f);
        c.spoil();
        Mark();
        EXPECT_EQ(sensor.ZeroPressure(), c.result);
        EXPECT_TRUE(LeftCalMode(CommandsSinceMark(kLevel)));
        if (!c.offsetWritten)
        {
            EXPECT_EQ(SimFloat(kLevel, lvl::kPressureOffset), 0.25f);
        }
    }
}

TEST_F(LevelSensorAdapter, ZeroPressureRefusesASentinelForAReading)
{
    // Warming up in calibration mode, the sensor reports its sentinel as the pressure.
    Start(DeviceKind::OfItsFamily,
          [](probesim::SimSensor& sensor) { sensor.warmUp = std::chrono::seconds(60); });
    CLevelSensor sensor(&Device(), kLevel);
    Mark();
    EXPECT_EQ(sensor.ZeroPressure(), NVSystem::ADAPTER_E_INVALID_DEVICE_RESPONSE);
    EXPECT_TRUE(LeftCalMode(CommandsSinceMark(kLevel)));
    EXPECT_EQ(Probe().Sensors().SettingInUse(kLevel, lvl::kPressureOffset), 0.0f);
}

TEST_F(LevelSensorAdapter, SetPressureOffsetCountsOnlyWhenTheSensorTakesIt)
{
    CLevelSensor sensor(&Device(), kLevel);
    ASSERT_EQ(sensor.SetPressureOffset(1.5f), S_OK);
    EXPECT_EQ(Probe().Sensors().SettingInUse(kLevel, lvl::kPressureOffset), 1.5f);
    EXPECT_EQ(Pressure(sensor), static_cast<float>(kPsi - 1.5));
    float offset = 0.0f;
    ASSERT_EQ(sensor.ReadPressureOffset(offset), S_OK);
    EXPECT_EQ(offset, 1.5f);

    RefuseWrites(probesim::SensorCommandRegisterOf(kLevel), 1, kUpdate);
    Mark();
    EXPECT_EQ(sensor.SetPressureOffset(2.0f), ResultOf(probesim::ExceptionCode::SlaveDeviceFailure));
    EXPECT_TRUE(LeftCalMode(CommandsSinceMark(kLevel)));
}

TEST_F(LevelSensorAdapter, RestorePressureFactoryCalNotesOffsetAndReferences)
{
    CLevelSensor sensor(&Device(), kLevel);
    SetSimFloat(kLevel, lvl::kPressureOffset, 1.0f);
    SetSimFloat(kLevel, lvl::kLevelReference, 2.0f);
    SetSimFloat(kLevel, lvl::kPressureReference, 3.0f);
    ASSERT_EQ(sensor.RestorePressureFactoryCal(), S_OK);
    EXPECT_EQ(SimFloat(kLevel, lvl::kPressureOffset), 0.0f);
    EXPECT_EQ(SimFloat(kLevel, lvl::kLevelReference), 0.0f);
    EXPECT_EQ(SimFloat(kLevel, lvl::kPressureReference), 0.0f);
    EXPECT_TRUE(Notes().empty()) << "no log, no notes";

    StartLog();
    Mark();
    ASSERT_EQ(sensor.RestorePressureFactoryCal(), S_OK);
    EXPECT_TRUE(LeftCalMode(CommandsSinceMark(kLevel)));
    EXPECT_EQ(RestoreKinds(SensorSerial(kLevel)),
              (std::vector<USHORT>{NVSystem::RESTORE_KIND_PRESSURE_OFFSET,
                                   NVSystem::RESTORE_KIND_LEVEL_REFERENCE}));
}

TEST_F(LevelSensorAdapter, RestoreThatFailsAtTheReferencesNotesTheOffsetOnly)
{
    CLevelSensor sensor(&Device(), kLevel);
    StartLog();
    RefuseWrites(Register(kLevel, lvl::kLevelReference), 2);
    Mark();
    EXPECT_EQ(sensor.RestorePressureFactoryCal(), ResultOf(probesim::ExceptionCode::SlaveDeviceFailure));
    for (const Request& request : RequestsSinceMark())
        EXPECT_FALSE(request.write && request.first == Register(kLevel, lvl::kPressureReference));
    EXPECT_EQ(RestoreKinds(SensorSerial(kLevel)),
              (std::vector<USHORT>{NVSystem::RESTORE_KIND_PRESSURE_OFFSET}));

    // The references alone: one note when both are written, none when either is refused.
    ASSERT_EQ(sensor.RestoreLevelReferenceDefaults(), ResultOf(probesim::ExceptionCode::SlaveDeviceFailure));
    EXPECT_EQ(Notes().size(), 1u);
}

TEST_F(LevelSensorAdapter, RestoreLevelReferenceDefaultsWithoutCalMode)
{
    CLevelSensor sensor(&Device(), kLevel);
    StartLog();
    SetSimFloat(kLevel, lvl::kLevelReference, 2.0f);
    SetSimFloat(kLevel, lvl::kPressureReference, 3.0f);
    SetSimFloat(kLevel, lvl::kPressureOffset, 1.0f);
    Mark();
    ASSERT_EQ(sensor.RestoreLevelReferenceDefaults(), S_OK);
    EXPECT_TRUE(CommandsSinceMark(kLevel).empty());
    EXPECT_EQ(SimFloat(kLevel, lvl::kLevelReference), 0.0f);
    EXPECT_EQ(SimFloat(kLevel, lvl::kPressureReference), 0.0f);
    EXPECT_EQ(SimFloat(kLevel, lvl::kPressureOffset), 1.0f);
    EXPECT_EQ(RestoreKinds(SensorSerial(kLevel)),
              (std::vector<USHORT>{NVSystem::RESTORE_KIND_LEVEL_REFERENCE}));
}

TEST_F(LevelSensorAdapter, SpecificGravityOnTheMultiSensorProbeClearsItsChangeWord)
{
    const uint16_t changeWord = probesim::FamilyRegistersOf(probesim::kMultiSensorProbeType, 0).gravityChange;
    ASSERT_EQ(changeWord, CLevelSensor::kGravityChangeRegister);
    CLevelSensor sensor(&Device(), kLevel);
    StartLog();
    ASSERT_EQ(Probe().Registers().GetU16(changeWord), 1);
    ASSERT_EQ(sensor.SetSpecificGravity(1.025f), S_OK);
    EXPECT_EQ(SimFloat(kLevel, lvl::kSpecificGravity), 1.025f);
    EXPECT_EQ(Probe().Registers().GetU16(changeWord), 0);
    ASSERT_EQ(Notes().size(), 1u);
    NVSystem::CNVUserNote_NewSpecificGravity note;
    ASSERT_EQ(LoadNote(Notes()[0], note), S_OK);
    EXPECT_EQ(note.GetSerialNumber(), SensorSerial(kLevel));
    EXPECT_EQ(note.GetSpecificGravity(), 1.025f);
    float gravity = 0.0f;
    ASSERT_EQ(sensor.ReadSpecificGravity(gravity), S_OK);
    EXPECT_EQ(gravity, 1.025f);

    // A refused change word fails the operation, though the gravity and its note are in.
    RefuseWrites(changeWord, 1);
    EXPECT_EQ(sensor.SetSpecificGravity(1.05f), ResultOf(probesim::ExceptionCode::SlaveDeviceFailure));
    EXPECT_EQ(SimFloat(kLevel, lvl::kSpecificGravity), 1.05f);
    EXPECT_EQ(Notes().size(), 2u);

    // A refused gravity: no change word, no note.
    RefuseWrites(Register(kLevel, lvl::kSpecificGravity), 2);
    Mark();
    EXPECT_EQ(sensor.SetSpecificGravity(1.1f), ResultOf(probesim::ExceptionCode::SlaveDeviceFailure));
    for (const Request& request : RequestsSinceMark())
        EXPECT_FALSE(request.write && request.first == changeWord);
    EXPECT_EQ(Notes().size(), 2u);
}

TEST_F(LevelSensorAdapter, SpecificGravityOnAnotherDeviceLeavesTheChangeWord)
{
    Start(DeviceKind::Plain);
    CLevelSensor sensor(&Device(), kLevel);
    ASSERT_EQ(sensor.SetSpecificGravity(1.025f), S_OK);
    EXPECT_EQ(SimFloat(kLevel, lvl::kSpecificGravity), 1.025f);
    EXPECT_EQ(Probe().Registers().GetU16(CLevelSensor::kGravityChangeRegister), 1);
}

TEST_F(LevelSensorAdapter, LevelReferenceOnlyInTheReferencedModes)
{
    CLevelSensor sensor(&Device(), kLevel);
    StartLog();
    Mark();
    EXPECT_EQ(sensor.SetLevelReference(10.0f), NVSystem::ADAPTER_E_INVALID_PARAMETER);
    for (const Request& request : RequestsSinceMark())
        EXPECT_FALSE(request.write) << request.first;

    ASSERT_EQ(sensor.SetLevelMode(lvl::kDepthToWater), S_OK);
    ULONG mode = 0;
    ASSERT_EQ(sensor.ReadLevelMode(mode), S_OK);
    EXPECT_EQ(mode, lvl::kDepthToWater);
    Mark();
    ASSERT_EQ(sensor.SetLevelReference(10.0f), S_OK);
    EXPECT_TRUE(LeftCalMode(CommandsSinceMark(kLevel)));
    EXPECT_EQ(SimFloat(kLevel, lvl::kLevelReference), 10.0f);
    // The sensor kept the pressure of that moment.
    EXPECT_EQ(SimFloat(kLevel, lvl::kPressureReference), static_cast<float>(kPsi));
    float reference = 0.0f;
    ASSERT_EQ(sensor.ReadPressureReference(reference), S_OK);
    EXPECT_EQ(reference, static_cast<float>(kPsi));
    ASSERT_EQ(sensor.ReadLevelReference(reference), S_OK);
    EXPECT_EQ(reference, 10.0f);
    EXPECT_TRUE(Notes().empty());

    // Setting the pressure reference writes nothing.
    Mark();
    EXPECT_EQ(sensor.SetPressureReference(1.0f), S_OK);
    EXPECT_EQ(FramesSinceMark(), 0u);
}

TEST_F(LevelSensorAdapter, LevelReferenceWaitsForTheSensorToMeasure)
{
    // Longer than the register time-out of these tests (150 ms).
    Start(DeviceKind::OfItsFamily,
          [](probesim::SimSensor& sensor) { sensor.sampleRate = std::chrono::milliseconds(400); });
    CLevelSensor sensor(&Device(), kLevel);
    SetSimWord(kLevel, lvl::kLevelMode, lvl::kSurfaceElevation);
    ASSERT_EQ(sensor.SetLevelReference(100.0f), S_OK);
    EXPECT_EQ(SimFloat(kLevel, lvl::kLevelReference), 100.0f);
    EXPECT_EQ(SimFloat(kLevel, lvl::kPressureReference), static_cast<float>(kPsi));
}

TEST_F(LevelSensorAdapter, LevelModeOutsideTheKnownOnesReadsAsTheFirst)
{
    CLevelSensor sensor(&Device(), kLevel);
    const struct
    {
        uint16_t stored;
        ULONG read;
    } cases[] = {{7, 3}, {0, 3}, {2, 3}, {3, 3}, {4, 4}, {5, 5}, {0xFFFF, 3}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.stored);
        SetSimWord(kLevel, lvl::kLevelMode, c.stored);
        ULONG mode = 99;
        ASSERT_EQ(sensor.ReadLevelMode(mode), S_OK);
        EXPECT_EQ(mode, c.read);
    }
}

TEST_F(LevelSensorAdapter, LevelFromPressureAndSpecificGravity)
{
    CLevelSensor sensor(&Device(), kLevel);
    SetSimFloat(kLevel, lvl::kSpecificGravity, 1.25f);
    float level = 0.0f;
    USHORT levelUnit = 0;
    float pressure = 0.0f;
    USHORT pressureUnit = 0;
    ASSERT_EQ(sensor.CalculateLevelFromPressure(level, levelUnit, pressure, pressureUnit), S_OK);
    EXPECT_EQ(levelUnit, UNIT_METRES);
    EXPECT_EQ(pressureUnit, UNIT_PSI);
    EXPECT_EQ(pressure, static_cast<float>(kPsi));
    EXPECT_NEAR(level, kPsi * probesim::kMetresOfWaterPerPsi / 1.25, 1e-5);
    float alone = 0.0f;
    ASSERT_EQ(sensor.CalculateLevel(alone), S_OK);
    EXPECT_EQ(alone, level);

    // Without a gravity there is no level, and no pressure is read for it.
    SetSimFloat(kLevel, lvl::kSpecificGravity, 0.0f);
    const uint16_t pressureValue = Register(kLevel, probesim::ParameterBlockOffset(lvl::kPressure));
    Mark();
    ASSERT_EQ(sensor.CalculateLevelFromPressure(level, levelUnit, pressure, pressureUnit), S_OK);
    EXPECT_EQ(level, 0.0f);
    EXPECT_EQ(pressure, 0.0f);
    for (const Request& request : RequestsSinceMark())
        EXPECT_FALSE(request.first <= pressureValue + 1 && request.first + request.count > pressureValue);
}

TEST_F(LevelSensorAdapter, NoOtherRequestComesBetweenTheStepsOfAZeroing)
{
    CLevelSensor sensor(&Device(), kLevel);
    USHORT unitId = 0;
    ASSERT_EQ(sensor.GetPressureUnit(unitId), S_OK);
    std::atomic<bool> calModeOn{false};
    Probe().Registers().AddWriteHook(probesim::SensorCommandRegisterOf(kLevel), 1,
                                     [&](probesim::RegisterModel&, const probesim::RegisterWrite& write)
                                     {
                                         if (write.values.at(0) == kCalModeOn)
                                             calModeOn = true;
                                         return std::optional<probesim::ExceptionCode>();
                                     });
    // Another user of the device asks as soon as calibration mode is on.
    std::thread other(
        [&]
        {
            while (!calModeOn)
                platform::SleepMs(1);
            USHORT mode = 0;
            Device().ReadSensorUShort(kLevel, lvl::kLevelMode, mode);
        });
    Mark();
    const HRESULT hr = sensor.ZeroPressure();
    other.join();
    ASSERT_EQ(hr, S_OK);
    const std::vector<Request> requests = RequestsSinceMark();
    const auto calModeOff =
        std::find_if(requests.begin(), requests.end(),
                     [](const Request& request)
                     { return request.write && request.values == std::vector<uint16_t>{kCalModeOff}; });
    const auto otherRead =
        std::find_if(requests.begin(), requests.end(),
                     [&](const Request& request)
                     { return !request.write && request.first == Register(kLevel, lvl::kLevelMode); });
    ASSERT_NE(calModeOff, requests.end());
    ASSERT_NE(otherRead, requests.end());
    EXPECT_GT(otherRead - requests.begin(), calModeOff - requests.begin());
}

TEST_F(LevelSensorAdapter, StepsAreTracedIntoTheDeviceTrace)
{
    SetTunable(u"Debug Flags", DEBUG_FLAG_DEVICE_TRACE);
    CLevelSensor sensor(&Device(), kLevel);
    ASSERT_EQ(sensor.SetSpecificGravity(1.025f), S_OK);
    RefuseWrites(Register(kLevel, lvl::kLevelMode), 1);
    EXPECT_EQ(sensor.SetLevelMode(4), ResultOf(probesim::ExceptionCode::SlaveDeviceFailure));
    const std::string trace = DeviceTraceText();
    EXPECT_NE(trace.find("Level Sensor: 1 - setting SG to: 1.025"), std::string::npos) << trace;
    EXPECT_NE(trace.find("Level Sensor: 1 - success"), std::string::npos);
    EXPECT_NE(trace.find("Level Sensor: 1 - setting level mode: 4"), std::string::npos);
    EXPECT_NE(trace.find("Level Sensor: 1 - failed to set Level Mode, EC: 81010004"), std::string::npos);
}

TEST_F(LevelSensorAdapter, ReadingsUnitsAndSerialNumbersOfItsParameters)
{
    CLevelSensor sensor(&Device(), kLevel);
    MarkParameter(kLevel, lvl::kPressure, 0x10);
    MarkParameter(kLevel, lvl::kTemperature, 0x20);
    MarkParameter(kLevel, lvl::kLevel, 0x30);
    float value = 0.0f;
    USHORT quality = 0;
    USHORT unitId = 0;
    ASSERT_EQ(sensor.ReadPressure(value, quality, unitId, FALSE), S_OK);
    EXPECT_EQ(quality, 0x10);
    EXPECT_EQ(unitId, UNIT_PSI);
    ASSERT_EQ(sensor.ReadTemperature(value, quality, unitId, FALSE), S_OK);
    EXPECT_EQ(quality, 0x20);
    EXPECT_EQ(unitId, UNIT_CELSIUS);
    ASSERT_EQ(sensor.ReadLevel(value, quality, unitId, FALSE), S_OK);
    EXPECT_EQ(quality, 0x30);
    EXPECT_EQ(unitId, UNIT_METRES);

    ASSERT_EQ(sensor.SetLevelUnit(UNIT_KILOMETRES), S_OK);
    EXPECT_EQ(SimWord(kLevel, probesim::ParameterBlockOffset(lvl::kLevel) + probesim::block::kUnitId),
              UNIT_KILOMETRES);

    for (auto get : {&CLevelSensor::GetSerialNumber, &CLevelSensor::GetPressureSerialNumber,
                     &CLevelSensor::GetLevelSerialNumber})
    {
        ULONG serial = 0;
        ASSERT_EQ((sensor.*get)(serial), S_OK);
        EXPECT_EQ(serial, SensorSerial(kLevel));
    }
    EXPECT_EQ(sensor.GetConnection(), kLevel);
    EXPECT_EQ(sensor.GetPressureConnection(), kLevel);
    EXPECT_EQ(sensor.GetLevelConnection(), kLevel);
    EXPECT_EQ(sensor.GetSensorType(), NVSystem::SENSOR_TYPE_LEVEL);
    EXPECT_EQ(sensor.AsPressureTemp(), sensor.AsPressureTempLevel());
    EXPECT_EQ(sensor.AsConductivity(), nullptr);
}

TEST_F(LevelSensorAdapter, WhatTheSensorDoesNotHave)
{
    CLevelSensor sensor(&Device(), kLevel);
    float factor = 0.0f;
    EXPECT_EQ(sensor.SetDynamicSGFactor(1.0f), MODBUSCOMM_E_SENSOR_FEATURE_NOT_SUPPORTED);
    EXPECT_EQ(sensor.SetDynamicSG(45.0, 100.0), MODBUSCOMM_E_SENSOR_FEATURE_NOT_SUPPORTED);
    EXPECT_EQ(sensor.ReadDynamicSGFactor(factor), MODBUSCOMM_E_SENSOR_FEATURE_NOT_SUPPORTED);
    EXPECT_FALSE(sensor.IsDynamicSGSupported());
    StartLog();
    Mark();
    EXPECT_EQ(sensor.WriteZeroPressureNote(), S_OK);
    EXPECT_EQ(sensor.WriteSetNewLevelRefNote(), E_FAIL);
    EXPECT_EQ(FramesSinceMark(), 0u);
    EXPECT_TRUE(Notes().empty());
}

TEST_F(LevelSensorAdapter, ChecksComeBeforeAnyTraffic)
{
    Tampered<CLevelSensor> tampered(&Device(), kLevel);
    tampered.SpoilSignature();
    CLevelSensor unbound(nullptr, kLevel);
    for (CLevelSensor* sensor : {static_cast<CLevelSensor*>(&tampered), &unbound})
    {
        float value = 0.0f;
        USHORT quality = 0;
        USHORT unitId = 0;
        ULONG serial = 9;
        EXPECT_EQ(sensor->ReadPressure(value, quality, unitId, FALSE), MODBUSCOMM_E_INVALID_DEVICE_THIS);
        EXPECT_EQ(sensor->ZeroPressure(), MODBUSCOMM_E_INVALID_DEVICE_THIS);
        EXPECT_EQ(sensor->SetSpecificGravity(1.0f), MODBUSCOMM_E_INVALID_DEVICE_THIS);
        EXPECT_EQ(sensor->CalculateLevel(value), MODBUSCOMM_E_INVALID_DEVICE_THIS);
        EXPECT_EQ(sensor->GetLevelSerialNumber(serial), MODBUSCOMM_E_INVALID_DEVICE_THIS);
        EXPECT_EQ(serial, 0u);
    }
    EXPECT_EQ(FramesSinceMark(), 0u);

    // A device without its network.
    CLevelSensor sensor(&Device(), kLevel);
    ASSERT_EQ(Device().DetachCommLink(m_network), S_OK);
    EXPECT_EQ(sensor.ZeroPressure(), MODBUSCOMM_E_NO_CONNECTION);
    EXPECT_EQ(sensor.SetLevelMode(4), MODBUSCOMM_E_NO_CONNECTION);
}

} // namespace
} // namespace adaptertest
