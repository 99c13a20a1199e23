// The level sensor of the multi-parameter sonde against the simulated sonde: its temperature without
// a source, the level mode the sonde keeps, the calibration sequences in the sensor's calibration
// mode with their notes, the level and its pressure, and the dynamic specific-gravity factor.
#include <chrono>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "foundation/Units.h"
#include "models/LevelSensorMK600.h"
#include "models/PressureNotes.h"
#include "models/RestoreFactoryCalNote.h"
#include "tests/models/SondeTestSupport.h"
#include "tools/probe-sim/SensorCommands.h"

namespace modeltest
{
namespace
{

using namespace NVSystem;
namespace sonde = probesim::sonde;

constexpr double kMetresPerPsi = 0.70307;

class SondeLevel : public SondeTest
{
protected:
    ISensor_PressureTempLevel& Start(std::chrono::milliseconds warmUp = {})
    {
        StartProbe(probesim::ProbeConfig(26, kProbeSerial), probesim::ProbeSensors::None);
        probesim::SimSensor level = probesim::SondeSensor(sonde::kLevel, SensorSerial(1));
        level.warmUp = warmUp;
        Probe().Sensors().Add(1, level);
        EXPECT_EQ(CreateDevice(), S_OK);
        return *At(1)->AsPressureTempLevel();
    }
};

TEST_F(SondeLevel, NoTemperatureOfItsOwnAndTheModeTheSondeKeeps)
{
    ISensor_PressureTempLevel& sensor = Start();
    const Reading temperature = ReadOf(sensor, &ISensor_PressureTempLevel::ReadTemperature);
    EXPECT_EQ(std::tuple(temperature.hr, temperature.value, temperature.quality, temperature.unit),
              std::tuple(S_OK, 25.0f, 3, UNIT_CELSIUS));
    USHORT unit = 0;
    EXPECT_EQ(sensor.GetTemperatureUnit(unit), E_FAIL);
    EXPECT_EQ(unit, UNIT_CELSIUS);
    EXPECT_EQ(sensor.SetTemperatureUnit(2), E_FAIL);
    EXPECT_EQ(sensor.SetLevelMode(4), S_OK);
    EXPECT_EQ(FramesSinceMark(), 0u);
    for (const auto& [software, mode] : {std::pair<ULONG, ULONG>{0x18, 4}, {0x10, 5}, {0x04, 3}, {0, 3}})
    {
        Probe().Registers().SetU32(49095, software);
        ULONG read = 0;
        ASSERT_EQ(sensor.ReadLevelMode(read), S_OK);
        EXPECT_EQ(read, mode) << software;
    }
}

TEST_F(SondeLevel, CalibrationIsBracketedByTheSensorsCalibrationModeAndNotesOnlyIntoAnActiveLog)
{
    using Run = std::function<HRESULT(ISensor_PressureTempLevel&)>;
    const uint8_t restored = USERNOTE_RESTORE_FACTORY_CAL_SENSOR;
    const std::tuple<std::string, Run, uint16_t, std::vector<uint8_t>> operations[] = {
        {"zero",
         [](auto& s) { return s.ZeroPressure(); },
         sonde::kPressureOffset,
         {USERNOTE_CALIBRATION_ZERO_PRESSURE_SENSOR}},
        {"offset", [](auto& s) { return s.SetPressureOffset(1.5f); }, sonde::kPressureOffset, {}},
        {"restore",
         [](auto& s) { return s.RestorePressureFactoryCal(); },
         sonde::kPressureOffset,
         {restored, restored}},
        {"reference",
         [](auto& s) { return s.SetLevelReference(2.5f); },
         sonde::kLevelReference,
         {USERNOTE_CALIBRATE_SET_NEW_LEVEL_REF}},
    };
    for (const auto& [name, run, written, notes] : operations)
    {
        for (const auto& [logging, refused] : {std::pair{true, false}, {false, false}, {true, true}})
        {
            SCOPED_TRACE(name + (logging ? " logging" : "") + (refused ? " refused" : ""));
            ISensor_PressureTempLevel& sensor = Start();
            SetSimFloat(1, sonde::kLevelReference, 3.0f);
            if (logging)
                StartLog();
            if (refused)
                RefuseWrites(Register(1, written), 2);
            EXPECT_EQ(run(sensor), refused ? kRefused : S_OK);
            const std::vector<uint16_t> commands = Probe().Sensors().CommandsCarriedOut(1);
            ASSERT_FALSE(commands.empty());
            EXPECT_EQ(commands.front(), probesim::kSensorCalModeOn);
            EXPECT_EQ(commands.back(), probesim::kSensorCalModeOff);
            // The sensor takes a new offset or reference with its update command; a restore and a
            // refused write have nothing to take.
            const bool taken = name != "restore" && !refused;
            const std::vector<Command> expected =
                taken
                    ? std::vector<Command>{{1, probesim::kSensorCalModeOn},
                                           {1, probesim::kSensorUpdateCalibration},
                                           {1, probesim::kSensorCalModeOff}}
                    : std::vector<Command>{{1, probesim::kSensorCalModeOn}, {1, probesim::kSensorCalModeOff}};
            EXPECT_EQ(CommandsIn(WritesSinceMark()), expected);
            EXPECT_EQ(Probe().Sensors().Mode(1), probesim::SensorMode::Measuring);
            EXPECT_EQ(NoteSubTypes(Probe()), logging && !refused ? notes : std::vector<uint8_t>{});
            const float reference = name == "restore" && !refused     ? 0.0f
                                    : name == "reference" && !refused ? 2.5f
                                                                      : 3.0f;
            EXPECT_EQ(SimFloat(1, sonde::kLevelReference), reference);
        }
    }
    // The pressure as read becomes the offset; the restore notes say what each restored.
    ISensor_PressureTempLevel& sensor = Start();
    StartLog();
    ASSERT_EQ(sensor.ZeroPressure(), S_OK);
    CNVUserNote_Calibration_ZeroPressureSensor zero;
    ASSERT_EQ(LoadNote(Notes().at(0), zero), S_OK);
    EXPECT_EQ(zero.GetSerialNumber(), SensorSerial(1));
    EXPECT_EQ(SimFloat(1, sonde::kPressureOffset), zero.GetPressureOffset());
    EXPECT_GT(zero.GetPressureOffset(), 4.0f);
    EXPECT_EQ(zero.GetUnitId(), UNIT_PSI);
    ASSERT_EQ(sensor.RestorePressureFactoryCal(), S_OK);
    for (const auto& [index, kind] :
         {std::pair<size_t, ULONG>{1, RESTORE_KIND_PRESSURE_OFFSET}, {2, RESTORE_KIND_LEVEL_REFERENCE}})
    {
        CNVUserNote_RestoreFactoryCal_Sensor note;
        ASSERT_EQ(LoadNote(Notes().at(index), note), S_OK);
        EXPECT_EQ(std::tuple(note.GetSerialNumber(), note.GetKind()), std::tuple(SensorSerial(1), kind));
    }
    EXPECT_EQ(std::tuple(SimFloat(1, sonde::kPressureOffset), SimFloat(1, sonde::kPressureReference)),
              std::tuple(0.0f, 0.0f));
    // The reference note: the reference, the sensor's level and what it stands on; without a
    // temperature source the temperature is the 25 degrees Celsius the sensor reports.
    ASSERT_EQ(sensor.SetPressureOffset(0.5f), S_OK);
    ASSERT_EQ(sensor.SetLevelReference(2.5f), S_OK);
    CNVUserNote_Calibrate_SetNewLevelRef reference;
    ASSERT_EQ(LoadNote(Notes().at(3), reference), S_OK);
    EXPECT_EQ(reference.GetSerialNumber(), SensorSerial(1));
    EXPECT_EQ(reference.GetNewReference(), 2.5f);
    float level = 0.0f;
    ASSERT_EQ(sensor.CalculateLevel(level), S_OK);
    EXPECT_NEAR(reference.GetDepth(), level, 0.05);
    EXPECT_EQ(reference.GetHeadPressure(), SimFloat(1, sonde::kPressureReference));
    EXPECT_EQ(reference.GetPressureOffset(), 0.5f);
    EXPECT_EQ(reference.GetTemperature(), 25.0f);
    EXPECT_EQ(
        std::tuple(reference.GetDepthUnit(), reference.GetPressureUnit(), reference.GetTemperatureUnit()),
        std::tuple(UNIT_METRES, UNIT_PSI, UNIT_CELSIUS));

    // A reading taken while the sensor warms up holds no measurement: it is no zero.
    ISensor_PressureTempLevel& warming = Start(std::chrono::seconds(60));
    SetSimFloat(1, sonde::kPressureOffset, 0.25f);
    EXPECT_EQ(warming.ZeroPressure(), ADAPTER_E_INVALID_DEVICE_RESPONSE);
    EXPECT_EQ(SimFloat(1, sonde::kPressureOffset), 0.25f);
    EXPECT_EQ(Probe().Sensors().Mode(1), probesim::SensorMode::Measuring);
}

TEST_F(SondeLevel, TheTraceSaysEachStepInTheSensorsWords)
{
    const DeviceTrace trace;
    ISensor_PressureTempLevel& sensor = Start();
    ASSERT_EQ(sensor.SetLevelReference(2.5f), S_OK);
    RefuseWrites(Register(1, sonde::kLevelReference), 2);
    EXPECT_EQ(sensor.SetLevelReference(3.0f), kRefused);
    ULONG mode = 0;
    ASSERT_EQ(sensor.ReadLevelMode(mode), S_OK);
    for (const char* line :
         {"Level Sensor: 1 - setting level reference: 2.5", "Level Sensor: 1 - setting level reference: 3",
          "Level Sensor: 1 - failed to set Level Ref, EC: 81010004", "Level Sensor: 1 - reading level mode"})
        EXPECT_TRUE(trace.Holds(line)) << line;
}

TEST_F(SondeLevel, TheLevelIsTheSensorsAndThePressureThatOfItsWaterColumn)
{
    ISensor_PressureTempLevel& sensor = Start();
    SetSimFloat(1, sonde::kSpecificGravity, 1.02f);
    float level = 0.0f;
    USHORT levelUnit = 0;
    float pressure = 0.0f;
    USHORT pressureUnit = 0;
    ASSERT_EQ(sensor.CalculateLevelFromPressure(level, levelUnit, pressure, pressureUnit), S_OK);
    EXPECT_EQ(std::tuple(levelUnit, pressureUnit), std::tuple(UNIT_METRES, UNIT_PSI));
    EXPECT_GT(level, 3.0f);
    EXPECT_NEAR(pressure, level * 1.02 / kMetresPerPsi, 1e-4);
    // Without an SG no level is read, and the units are given.
    SetSimFloat(1, sonde::kSpecificGravity, 0.0f);
    Mark();
    ASSERT_EQ(sensor.CalculateLevelFromPressure(level, levelUnit, pressure, pressureUnit), S_OK);
    EXPECT_EQ(std::tuple(level, pressure, levelUnit, pressureUnit),
              std::tuple(0.0f, 0.0f, UNIT_METRES, UNIT_PSI));
    for (const devicetest::RegisterRead& read : ReadsSinceMark())
        EXPECT_NE(read.first, Register(1, probesim::ParameterBlockOffset(2)));

    // The dynamic factor is written with a note of the SG's kind; there is nothing to compute it from.
    StartLog();
    ASSERT_EQ(sensor.SetDynamicSGFactor(1.01f), S_OK);
    EXPECT_EQ(SimFloat(1, sonde::kDynamicFactor), 1.01f);
    float factor = 0.0f;
    ASSERT_EQ(sensor.ReadDynamicSGFactor(factor), S_OK);
    EXPECT_EQ(factor, 1.01f);
    EXPECT_EQ(NoteSubTypes(Probe()), std::vector<uint8_t>{USERNOTE_NEW_SPECIFIC_GRAVITY});
    EXPECT_EQ(sensor.SetDynamicSG(45.0, 0.0), MODBUSCOMM_E_SENSOR_FEATURE_NOT_SUPPORTED);
    EXPECT_FALSE(sensor.IsDynamicSGSupported());
    Mark();
    EXPECT_EQ(sensor.SetPressureReference(1.0f), S_OK);
    EXPECT_TRUE(WritesSinceMark().empty());

    // A sonde that is not linked answers every transaction so.
    ModelPtr unlinked(new CMK600Comm(ReportedIdentity()));
    CLevelSensorMK600 orphan(unlinked.get(), 1);
    EXPECT_EQ(orphan.ReadPressureOffset(factor), MODBUSCOMM_E_NO_CONNECTION);
    EXPECT_EQ(orphan.SetLevelReference(1.0f), MODBUSCOMM_E_NO_CONNECTION);
}

TEST_F(SondeLevel, TheWaterColumnsPressureTakesTheLevelAndThePressureInTheirOwnUnits)
{
    // Feet in, kilopascals out: the SG applies to the column in metres and the pressure converts.
    constexpr USHORT kFeet = 38;
    constexpr USHORT kKiloPascal = 19;
    constexpr double kFeetPerMetre = 3.28084;
    constexpr double kKiloPascalPerPsi = 6.894757;
    ISensor_PressureTempLevel& sensor = Start();
    SetSimFloat(1, sonde::kSpecificGravity, 1.25f);
    ASSERT_EQ(sensor.SetLevelUnit(kFeet), S_OK);
    ASSERT_EQ(sensor.SetPressureUnit(kKiloPascal), S_OK);
    float level = 0.0f;
    USHORT levelUnit = 0;
    float pressure = 0.0f;
    USHORT pressureUnit = 0;
    ASSERT_EQ(sensor.CalculateLevelFromPressure(level, levelUnit, pressure, pressureUnit), S_OK);
    EXPECT_EQ(std::tuple(levelUnit, pressureUnit), std::tuple(kFeet, kKiloPascal));
    EXPECT_GT(level, 5.0f) << "in feet";
    EXPECT_NEAR(pressure, level / kFeetPerMetre * 1.25 / kMetresPerPsi * kKiloPascalPerPsi, 1e-3);
}

} // namespace
} // namespace modeltest
