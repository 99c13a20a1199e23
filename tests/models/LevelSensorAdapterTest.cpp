// The level adapter against the level sensor on connection 3 of the multi-sensor probe (device type
// 18), here with a steady pressure of 5 PSI so that readings, zeroing and levels are exact.
#include <atomic>
#include <functional>
#include <stdexcept>
#include <thread>

#include "foundation/Units.h"
#include "models/LevelSensor.h"
#include "models/RestoreFactoryCalNote.h"
#include "models/SettingNotes.h"
#include "platform/Clock.h"
#include "tests/models/ModelTestSupport.h"
#include "tools/probe-sim/DeviceTypes.h"
#include "tools/probe-sim/PressureSensors.h"

namespace modeltest
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

// A device whose calibration update throws, as a step that runs out of memory would.
class ThrowingUpdateDevice : public NVSystem::CDeviceComm
{
public:
    using CDeviceComm::CDeviceComm;
    HRESULT UpdateSensorCalibration(USHORT) override { throw std::runtime_error("update"); }
};

class LevelSensorAdapter : public ModelTest
{
protected:
    void SetUp() override { Start(); }

    void Start(const DeviceMaker& make = FamilyDevice,
               const std::function<void(probesim::SimSensor&)>& change = {})
    {
        StartProbe(probesim::ProbeConfig(probesim::kMultiSensorProbeType, kProbeSerial),
                   probesim::ProbeSensors::None);
        LinkDevice(make);
        probesim::SimSensor sensor = probesim::LevelSensor(SensorSerial(kLevel), [](double) { return kPsi; });
        if (change)
            change(sensor);
        Probe().Sensors().Add(kLevel, sensor);
    }

    bool WroteSinceMark(uint16_t reg)
    {
        for (const RegisterWrite& write : WritesSinceMark())
        {
            if (write.first <= reg && reg < write.first + write.values.size())
                return true;
        }
        return false;
    }

    bool LeftCalMode(const std::vector<uint16_t>& commands)
    {
        return !commands.empty() && commands.front() == kCalModeOn && commands.back() == kCalModeOff &&
               Probe().Sensors().Mode(kLevel) == probesim::SensorMode::Measuring;
    }

    std::vector<USHORT> RestoreKinds()
    {
        std::vector<USHORT> kinds;
        for (const probesim::LogNote& logged : Notes())
        {
            NVSystem::CNVUserNote_RestoreFactoryCal_Sensor note;
            EXPECT_EQ(LoadNote(logged, note), S_OK);
            EXPECT_EQ(note.GetSerialNumber(), SensorSerial(kLevel));
            kinds.push_back(static_cast<USHORT>(note.GetKind()));
        }
        return kinds;
    }
};

TEST_F(LevelSensorAdapter, ZeroingAndOffsetsCountWhenTheSensorTakesThem)
{
    CLevelSensor sensor(&Device(), kLevel);
    StartLog();
    Mark();
    ASSERT_EQ(sensor.ZeroPressure(), S_OK);
    EXPECT_EQ(CommandsSinceMark(kLevel), (std::vector<uint16_t>{kCalModeOn, kUpdate, kCalModeOff}));
    EXPECT_EQ(Probe().Sensors().SettingInUse(kLevel, lvl::kPressureOffset), kPsi);
    EXPECT_EQ(ReadOf(sensor, &CLevelSensor::ReadPressure).value, 0.0f);
    // Zeroing leaves no note of its own.
    EXPECT_TRUE(Notes().empty());

    // An offset set counts only when the sensor takes it with the update.
    ASSERT_EQ(sensor.SetPressureOffset(1.5f), S_OK);
    EXPECT_EQ(Probe().Sensors().SettingInUse(kLevel, lvl::kPressureOffset), 1.5f);
    EXPECT_EQ(ReadOf(sensor, &CLevelSensor::ReadPressure).value, static_cast<float>(kPsi - 1.5));
    RefuseWrites(probesim::SensorCommandRegisterOf(kLevel), 1, kUpdate);
    Mark();
    EXPECT_EQ(sensor.SetPressureOffset(2.0f), kRefused);
    EXPECT_TRUE(LeftCalMode(CommandsSinceMark(kLevel)));
}

TEST_F(LevelSensorAdapter, ZeroPressureLeavesCalModeWhateverStepFails)
{
    const uint16_t pressure = Register(kLevel, probesim::ParameterBlockOffset(lvl::kPressure));
    const uint16_t offset = Register(kLevel, lvl::kPressureOffset);
    const HRESULT invalid = NVSystem::ADAPTER_E_INVALID_DEVICE_RESPONSE;
    const struct
    {
        const char* name;
        std::function<void()> spoil;
        HRESULT result;
        bool offsetWritten;
        bool warmingUp = false; // in calibration mode the sensor then reports its sentinel
    } cases[] = {
        {"pressure unreadable", [&] { RefuseReads(pressure, 2); }, kRefused, false},
        {"offset refused", [&] { RefuseWrites(offset, 2); }, kRefused, false},
        {"update refused", [&] { RefuseWrites(probesim::SensorCommandRegisterOf(kLevel), 1, kUpdate); },
         kRefused, true},
        {"sensor offline", [&] { MarkParameter(kLevel, lvl::kPressure, 0x0017); }, invalid, false},
        {"sensor disabled", [&] { MarkParameter(kLevel, lvl::kPressure, 0x0205); }, invalid, false},
        {"quality not defined", [&] { MarkParameter(kLevel, lvl::kPressure, 0x0008); }, invalid, false},
        // Warming up or calibrating, the sensor still measures.
        {"warming up", [&] { MarkParameter(kLevel, lvl::kPressure, 0x0034); }, S_OK, true},
        {"calibrating", [&] { MarkParameter(kLevel, lvl::kPressure, 0x0006); }, S_OK, true},
        {"sentinel", [] {}, invalid, false, true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        Start(FamilyDevice,
              [&](probesim::SimSensor& sensor)
              {
                  if (c.warmingUp)
                      sensor.warmUp = std::chrono::seconds(60);
              });
        CLevelSensor sensor(&Device(), kLevel);
        SetSimFloat(kLevel, lvl::kPressureOffset, 0.25f);
        c.spoil();
        Mark();
        EXPECT_EQ(sensor.ZeroPressure(), c.result);
        EXPECT_TRUE(LeftCalMode(CommandsSinceMark(kLevel)));
        EXPECT_EQ(SimFloat(kLevel, lvl::kPressureOffset) != 0.25f, c.offsetWritten);
    }
}

TEST_F(LevelSensorAdapter, AnExceptionInAStepStillLeavesCalMode)
{
    Start([](const SlaveIdInfo& slaveId) -> NVSystem::CDeviceComm*
          { return new ThrowingUpdateDevice(slaveId); });
    CLevelSensor sensor(&Device(), kLevel);
    EXPECT_TRUE(Failed(sensor.ZeroPressure()));
    EXPECT_TRUE(LeftCalMode(CommandsSinceMark(kLevel)));
    Mark();
    EXPECT_TRUE(Failed(sensor.SetPressureOffset(1.0f)));
    EXPECT_TRUE(LeftCalMode(CommandsSinceMark(kLevel)));
}

TEST_F(LevelSensorAdapter, RestoresResetAndNoteWhatTheyReset)
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
    // The references alone, without calibration mode.
    StartLog();
    SetSimFloat(kLevel, lvl::kPressureOffset, 1.0f);
    SetSimFloat(kLevel, lvl::kLevelReference, 2.0f);
    Mark();
    ASSERT_EQ(sensor.RestoreLevelReferenceDefaults(), S_OK);
    EXPECT_TRUE(CommandsSinceMark(kLevel).empty());
    EXPECT_EQ(SimFloat(kLevel, lvl::kLevelReference), 0.0f);
    EXPECT_EQ(SimFloat(kLevel, lvl::kPressureOffset), 1.0f);
    EXPECT_EQ(RestoreKinds(), (std::vector<USHORT>{NVSystem::RESTORE_KIND_LEVEL_REFERENCE}));

    Mark();
    ASSERT_EQ(sensor.RestorePressureFactoryCal(), S_OK);
    EXPECT_TRUE(LeftCalMode(CommandsSinceMark(kLevel)));
    EXPECT_EQ(RestoreKinds(), (std::vector<USHORT>{NVSystem::RESTORE_KIND_LEVEL_REFERENCE,
                                                   NVSystem::RESTORE_KIND_PRESSURE_OFFSET,
                                                   NVSystem::RESTORE_KIND_LEVEL_REFERENCE}));
    // One that fails at the references notes the offset only, and writes no pressure reference.
    Start();
    CLevelSensor refused(&Device(), kLevel);
    StartLog();
    RefuseWrites(Register(kLevel, lvl::kLevelReference), 2);
    EXPECT_EQ(refused.RestorePressureFactoryCal(), kRefused);
    EXPECT_FALSE(WroteSinceMark(Register(kLevel, lvl::kPressureReference)));
    EXPECT_EQ(RestoreKinds(), (std::vector<USHORT>{NVSystem::RESTORE_KIND_PRESSURE_OFFSET}));
    EXPECT_EQ(refused.RestoreLevelReferenceDefaults(), kRefused);
    EXPECT_EQ(Notes().size(), 1u);
}

TEST_F(LevelSensorAdapter, SpecificGravityClearsTheChangeWordOfTheMultiSensorProbeOnly)
{
    const uint16_t changeWord = probesim::FamilyRegistersOf(probesim::kMultiSensorProbeType, 0).gravityChange;
    ASSERT_EQ(changeWord, CLevelSensor::kGravityChangeRegister);
    CLevelSensor sensor(&Device(), kLevel);
    StartLog();
    ASSERT_EQ(Probe().Registers().GetU16(changeWord), 1);
    ASSERT_EQ(sensor.SetSpecificGravity(1.025f), S_OK);
    EXPECT_EQ(Probe().Registers().GetU16(changeWord), 0);
    ASSERT_EQ(Notes().size(), 1u);
    NVSystem::CNVUserNote_NewSpecificGravity note;
    ASSERT_EQ(LoadNote(Notes()[0], note), S_OK);
    EXPECT_EQ(note.GetSpecificGravity(), 1.025f);
    // A refused change word fails the operation, though the gravity and its note are in.
    RefuseWrites(changeWord, 1);
    EXPECT_EQ(sensor.SetSpecificGravity(1.05f), kRefused);
    EXPECT_EQ(SimFloat(kLevel, lvl::kSpecificGravity), 1.05f);
    EXPECT_EQ(Notes().size(), 2u);
    // A refused gravity: no change word, no note.
    RefuseWrites(Register(kLevel, lvl::kSpecificGravity), 2);
    Mark();
    EXPECT_EQ(sensor.SetSpecificGravity(1.1f), kRefused);
    EXPECT_FALSE(WroteSinceMark(changeWord));
    EXPECT_EQ(Notes().size(), 2u);
    // On another device the change word stays.
    Start(PlainDevice);
    CLevelSensor other(&Device(), kLevel);
    ASSERT_EQ(other.SetSpecificGravity(1.025f), S_OK);
    EXPECT_EQ(Probe().Registers().GetU16(CLevelSensor::kGravityChangeRegister), 1);
}

TEST_F(LevelSensorAdapter, LevelReferenceOnlyInTheReferencedModesAndAfterAMeasurement)
{
    CLevelSensor sensor(&Device(), kLevel);
    StartLog();
    Mark();
    EXPECT_EQ(sensor.SetLevelReference(10.0f), NVSystem::ADAPTER_E_INVALID_PARAMETER);
    EXPECT_TRUE(WritesSinceMark().empty());

    ASSERT_EQ(sensor.SetLevelMode(lvl::kDepthToWater), S_OK);
    Mark();
    ASSERT_EQ(sensor.SetLevelReference(10.0f), S_OK);
    EXPECT_TRUE(LeftCalMode(CommandsSinceMark(kLevel)));
    EXPECT_EQ(SimFloat(kLevel, lvl::kLevelReference), 10.0f);
    // The sensor kept the pressure of that moment.
    EXPECT_EQ(SimFloat(kLevel, lvl::kPressureReference), static_cast<float>(kPsi));
    EXPECT_TRUE(Notes().empty());
    // Setting the pressure reference writes nothing.
    Mark();
    EXPECT_EQ(sensor.SetPressureReference(1.0f), S_OK);
    EXPECT_EQ(FramesSinceMark(), 0u);
    // A mode word outside the known ones reads as the first.
    for (const auto& [stored, read] : {std::pair<uint16_t, ULONG>{7, 3}, {0, 3}, {5, 5}})
    {
        Probe().Registers().SetU16(Register(kLevel, lvl::kLevelMode), stored);
        ULONG mode = 99;
        ASSERT_EQ(sensor.ReadLevelMode(mode), S_OK);
        EXPECT_EQ(mode, read) << stored;
    }
    // The write waits for a measurement longer than the register time-out of these tests.
    Start(FamilyDevice, [](probesim::SimSensor& sim)
          { sim.sampleRate = std::chrono::milliseconds(kRegisterTimeoutMs + 200); });
    CLevelSensor slow(&Device(), kLevel);
    Probe().Registers().SetU16(Register(kLevel, lvl::kLevelMode), lvl::kSurfaceElevation);
    ASSERT_EQ(slow.SetLevelReference(100.0f), S_OK);
    EXPECT_EQ(SimFloat(kLevel, lvl::kLevelReference), 100.0f);
    EXPECT_EQ(SimFloat(kLevel, lvl::kPressureReference), static_cast<float>(kPsi));
}

TEST_F(LevelSensorAdapter, NoOtherRequestComesBetweenTheStepsOfAZeroing)
{
    CLevelSensor sensor(&Device(), kLevel);
    USHORT unitId = 0;
    ASSERT_EQ(sensor.GetPressureUnit(unitId), S_OK);
    std::atomic<int> phase{0}; // 1 in calibration mode, 2 after it
    std::atomic<bool> readInCalMode{false};
    std::atomic<bool> readAfter{false};
    Probe().Registers().AddWriteHook(probesim::SensorCommandRegisterOf(kLevel), 1,
                                     [&](probesim::RegisterModel&, const probesim::RegisterWrite& write)
                                     {
                                         if (write.values.at(0) == kCalModeOn)
                                             phase = 1;
                                         else if (write.values.at(0) == kCalModeOff)
                                             phase = 2;
                                         return std::optional<probesim::ExceptionCode>();
                                     });
    Probe().Registers().AddReadHook(Register(kLevel, lvl::kLevelMode), 1,
                                    [&](probesim::RegisterModel&, uint16_t, uint16_t)
                                    {
                                        (phase == 1 ? readInCalMode : readAfter) = true;
                                        return std::optional<probesim::ExceptionCode>();
                                    });
    // Another user of the device asks as soon as calibration mode is on.
    std::thread other(
        [&]
        {
            while (phase == 0)
                platform::SleepMs(1);
            USHORT mode = 0;
            Device().ReadSensorUShort(kLevel, lvl::kLevelMode, mode);
        });
    const HRESULT hr = sensor.ZeroPressure();
    other.join();
    EXPECT_EQ(hr, S_OK);
    EXPECT_FALSE(readInCalMode);
    EXPECT_TRUE(readAfter);
}

TEST_F(LevelSensorAdapter, ReadingsOfItsParametersAndTheLevelFromPressure)
{
    CLevelSensor sensor(&Device(), kLevel);
    using Read = HRESULT (CLevelSensor::*)(float&, USHORT&, USHORT&, BOOL);
    const struct
    {
        Read read;
        uint16_t parameter;
        USHORT unit;
    } reads[] = {{&CLevelSensor::ReadPressure, lvl::kPressure, UNIT_PSI},
                 {&CLevelSensor::ReadTemperature, lvl::kTemperature, UNIT_CELSIUS},
                 {&CLevelSensor::ReadLevel, lvl::kLevel, UNIT_METRES}};
    for (const auto& r : reads)
        MarkParameter(kLevel, r.parameter, static_cast<uint16_t>(r.parameter << 4));
    for (const auto& r : reads)
    {
        const Reading reading = ReadOf(sensor, r.read);
        ASSERT_EQ(reading.hr, S_OK);
        EXPECT_EQ(reading.quality, r.parameter << 4);
        EXPECT_EQ(reading.unit, r.unit);
    }
    ASSERT_EQ(sensor.SetLevelUnit(UNIT_KILOMETRES), S_OK);
    EXPECT_EQ(ReadOf(sensor, &CLevelSensor::ReadLevel).unit, UNIT_KILOMETRES);
    ULONG serial = 0;
    ASSERT_EQ(sensor.GetPressureSerialNumber(serial), S_OK);
    EXPECT_EQ(serial, SensorSerial(kLevel));

    // The level from pressure and specific gravity.
    SetSimFloat(kLevel, lvl::kSpecificGravity, 1.25f);
    float level = 0.0f;
    USHORT levelUnit = 0;
    float pressure = 0.0f;
    USHORT pressureUnit = 0;
    ASSERT_EQ(sensor.CalculateLevelFromPressure(level, levelUnit, pressure, pressureUnit), S_OK);
    EXPECT_EQ(levelUnit, UNIT_KILOMETRES); // as set above
    EXPECT_EQ(pressureUnit, UNIT_PSI);
    EXPECT_EQ(pressure, static_cast<float>(kPsi));
    EXPECT_NEAR(level, kPsi * probesim::kMetresOfWaterPerPsi / 1.25 / 1000.0, 1e-8);
    // Without a gravity there is no level, and no pressure is read for it.
    SetSimFloat(kLevel, lvl::kSpecificGravity, 0.0f);
    ASSERT_EQ(sensor.CalculateLevelFromPressure(level, levelUnit, pressure, pressureUnit), S_OK);
    EXPECT_EQ(level, 0.0f);
    EXPECT_EQ(pressure, 0.0f);
}

} // namespace
} // namespace modeltest
