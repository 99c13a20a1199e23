// The conductivity sonde made by the device factory, against the simulated sonde of both types: its
// readings by type, its settings and their cache, the specific-conductance curve, the dynamic
// specific gravity, the calibration sequences with their notes, the level reference, and its
// log-file meta-tags.
#include <chrono>
#include <cmath>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "foundation/Units.h"
#include "models/BarrikComm.h"
#include "models/CalibrationNotes.h"
#include "models/ConductanceCurveNote.h"
#include "models/MariskComm.h"
#include "models/PressureNotes.h"
#include "models/RestoreFactoryCalNote.h"
#include "models/SettingNotes.h"
#include "tests/models/FamilyTestSupport.h"
#include "tools/probe-sim/FamilySensors.h"

namespace modeltest
{
namespace
{

using namespace NVSystem;
namespace sonde = probesim::sondesensor;

constexpr double kPsi = 10.0; // what the sonde's pressure sensor feels
constexpr double kMetresPerPsi = 0.70307;
constexpr float kDensity = 0.999f;
constexpr uint16_t kDensityParameter = 9; // of type 5
constexpr uint16_t kLevelParameter = 3;
constexpr uint16_t kDepthOfProbe = 3;
constexpr uint16_t kDepthToWater = 4;
constexpr uint16_t kSurfaceElevation = 5;
const std::vector<Command> kCalibrationMode{{kDeviceCommands, probesim::kCommandSetOffline},
                                            {1, probesim::kSensorRestoreCalDefaults},
                                            {kDeviceCommands, probesim::kCommandSetOnline}};

class MariskProbe : public ModelTest
{
protected:
    // A sonde of the type that feels kPsi in water of kDensity, its level in the mode.
    void StartSonde(uint16_t type = 5, uint16_t levelMode = kDepthOfProbe,
                    const std::function<void(probesim::SimSensor&)>& change = {})
    {
        StartProbe(probesim::ProbeConfig(type, kProbeSerial), probesim::ProbeSensors::None);
        probesim::SimSensor sensor =
            probesim::ConductivitySondeSensor(type, SensorSerial(1), [](double) { return kPsi; });
        if (type == 5)
            sensor.parameters.at(kDensityParameter - 1).value = [](const probesim::SampleContext&)
            { return kDensity; };
        if (change)
            change(sensor);
        // The line's word order is the sonde's and the network's alike.
        Probe().Sensors().SetWordOrder(m_wordOrder);
        Network().m_bHighWordFirst = m_wordOrder == probesim::WordOrder::HighFirst ? 1 : 0;
        Probe().Sensors().Add(1, sensor);
        if (type == 5)
            Probe().Registers().SetU16(Register(1, sonde::kLevelMode), levelMode);
        ASSERT_EQ(CreateDevice(), S_OK);
        ASSERT_TRUE(CMariskComm::IsMarisk(&Device()));
    }

    ISensor_ConductivityPTL& Sensor() { return *Device().GetConductivityPTLSensor(); }

    // A setting register of the sonde as the sonde holds it, in the line's word order.
    float Stored(uint16_t offset)
    {
        return Probe().Registers().GetFloat(Register(1, offset), m_wordOrder).value_or(-12345.0f);
    }
    void Store(uint16_t offset, float value)
    {
        Probe().Registers().SetFloat(Register(1, offset), value, m_wordOrder);
    }

    probesim::WordOrder m_wordOrder = probesim::WordOrder::HighFirst;
};

using Read = HRESULT (ISensor_ConductivityPTL::*)(float&, USHORT&, USHORT&, BOOL);
using GetUnit = HRESULT (ISensor_ConductivityPTL::*)(USHORT&);

TEST_F(MariskProbe, TheFactoryMakesBothTypesWithTheFamilysRegisters)
{
    for (uint16_t type : {5, 10})
    {
        SCOPED_TRACE(type);
        StartSonde(type);
        probesim::RegisterModel& registers = Probe().Registers();
        registers.SetU16(47002, 345);
        registers.SetU32(47005, 654321);
        USHORT voltage = 0;
        ULONG count = 0;
        EXPECT_EQ(Device().GetInternalBatteryVoltage(voltage), S_OK);
        EXPECT_EQ(voltage, 345);
        EXPECT_EQ(Device().GetTotalBatteryCounter(count), S_OK);
        EXPECT_EQ(count, 654321u);
        // The device is its sensor; only the type with pressure has a level.
        ISensor_Interface* any = nullptr;
        ASSERT_EQ(Device().GetSensor(1, 0, any), S_OK);
        EXPECT_EQ(any, static_cast<ISensor_Interface*>(Device().GetConductivityPTLSensor()));
        EXPECT_EQ(any->GetSensorType(), SENSOR_TYPE_CONDUCTIVITY_PTL);
        EXPECT_EQ(Device().GetPressureTempLevelSensor() != nullptr, type == 5);
        ULONG serial = 0;
        EXPECT_EQ(Sensor().GetConductivitySerialNumber(serial), S_OK);
        EXPECT_EQ(serial, kProbeSerial);
        // The downcast takes a reference.
        const ULONG before = References(Device());
        CMariskComm* sonde = Device().QueryMariskComm();
        ASSERT_EQ(sonde, &Device());
        EXPECT_EQ(References(Device()), before + 1);
        sonde->Release();
    }
    // Not on another family, and without taking a reference there.
    StartProbe(9);
    ASSERT_EQ(CreateDevice(), S_OK);
    const ULONG before = References(Device());
    EXPECT_EQ(Device().QueryMariskComm(), nullptr);
    EXPECT_EQ(References(Device()), before);
}

TEST_F(MariskProbe, EachReadingIsItsTypesParameterAndTheMissingOnesSendNothing)
{
    struct Quantity
    {
        std::string name;
        Read read;
        GetUnit unit;
        uint16_t parameters[2]; // type 5, type 10; 0: the type has none
    };
    const Quantity quantities[] = {
        {"temperature",
         &ISensor_ConductivityPTL::ReadTemperature,
         &ISensor_ConductivityPTL::GetTemperatureUnit,
         {2, 2}},
        {"pressure",
         &ISensor_ConductivityPTL::ReadPressure,
         &ISensor_ConductivityPTL::GetPressureUnit,
         {1, 0}},
        {"level", &ISensor_ConductivityPTL::ReadLevel, &ISensor_ConductivityPTL::GetLevelUnit, {3, 0}},
        {"conductivity 1",
         &ISensor_ConductivityPTL::ReadConductivityParam1,
         &ISensor_ConductivityPTL::GetConductivityParam1Unit,
         {4, 1}},
        {"conductivity 2",
         &ISensor_ConductivityPTL::ReadConductivityParam2,
         &ISensor_ConductivityPTL::GetConductivityParam2Unit,
         {5, 3}},
        {"conductivity 3",
         &ISensor_ConductivityPTL::ReadConductivityParam3,
         &ISensor_ConductivityPTL::GetConductivityParam3Unit,
         {6, 4}},
        {"conductivity 4",
         &ISensor_ConductivityPTL::ReadConductivityParam4,
         &ISensor_ConductivityPTL::GetConductivityParam4Unit,
         {7, 5}},
        {"conductivity 5",
         &ISensor_ConductivityPTL::ReadConductivityParam5,
         &ISensor_ConductivityPTL::GetConductivityParam5Unit,
         {8, 6}},
        {"conductivity 6",
         &ISensor_ConductivityPTL::ReadConductivityParam6,
         &ISensor_ConductivityPTL::GetConductivityParam6Unit,
         {9, 7}},
    };
    for (int column = 0; column < 2; ++column)
    {
        const uint16_t type = column == 0 ? 5 : 10;
        StartSonde(type);
        for (uint16_t p = 1; p <= (type == 5 ? 9 : 7); ++p)
            MarkParameter(1, p, static_cast<uint16_t>(p << 4));
        // The descriptions are read once, with the first reading.
        ASSERT_EQ(ReadOf(Sensor(), &ISensor_ConductivityPTL::ReadTemperature).hr, S_OK);
        for (const Quantity& quantity : quantities)
        {
            SCOPED_TRACE(quantity.name + " of type " + std::to_string(type));
            const uint16_t parameter = quantity.parameters[column];
            Mark();
            const Reading reading = ReadOf(Sensor(), quantity.read);
            USHORT unit = 0;
            const HRESULT unitResult = (Sensor().*quantity.unit)(unit);
            if (parameter == 0)
            {
                EXPECT_EQ(reading.hr, MODBUSCOMM_E_INVALID_PARAMETER_NUMBER);
                EXPECT_EQ(unitResult, MODBUSCOMM_E_INVALID_PARAMETER_NUMBER);
                EXPECT_EQ(FramesSinceMark(), 0u);
                continue;
            }
            ASSERT_EQ(reading.hr, S_OK);
            EXPECT_EQ(reading.quality, parameter << 4);
            ASSERT_EQ(unitResult, S_OK);
            EXPECT_EQ(unit, SimWord(1, probesim::ParameterBlockOffset(parameter) + probesim::block::kUnitId));
        }
    }
    // Without pressure there is no level from it and no reference to set, and nothing is written.
    Mark();
    float level = 0.0f;
    USHORT levelUnit = 0;
    float pressure = 0.0f;
    USHORT pressureUnit = 0;
    EXPECT_EQ(Sensor().CalculateLevelFromPressure(level, levelUnit, pressure, pressureUnit),
              MODBUSCOMM_E_INVALID_PARAMETER_NUMBER);
    EXPECT_EQ(Sensor().SetLevelReference(1.0f), MODBUSCOMM_E_INVALID_PARAMETER_NUMBER);
    EXPECT_EQ(Sensor().SetPressureUnit(UNIT_PSI), MODBUSCOMM_E_INVALID_PARAMETER_NUMBER);
    EXPECT_TRUE(WritesSinceMark().empty());
}

TEST_F(MariskProbe, SettingsLiveInTheirRegistersAndTheCacheAnswersOnceFilled)
{
    using Set = HRESULT (ISensor_ConductivityPTL::*)(float);
    using Get = HRESULT (ISensor_ConductivityPTL::*)(float&);
    struct Setting
    {
        std::string name;
        Set set; // null: the setting is only read here
        Get get;
        uint16_t offset;
        bool cached;
    };
    const Setting settings[] = {
        {"TDS factor", &ISensor_ConductivityPTL::SetTDSFactor, &ISensor_ConductivityPTL::ReadTDSFactor,
         sonde::kTdsFactor, true},
        {"cell constant", &ISensor_ConductivityPTL::SetCellConstant,
         &ISensor_ConductivityPTL::ReadCellConstant, sonde::kCellConstant, true},
        {"cell offset", &ISensor_ConductivityPTL::SetCellOffset, &ISensor_ConductivityPTL::ReadCellOffset,
         sonde::kCellOffset, true},
        {"dynamic SG", &ISensor_ConductivityPTL::SetDynamicSGFactor,
         &ISensor_ConductivityPTL::ReadDynamicSGFactor, sonde::kDynamicFactor, true},
        {"SG", &ISensor_ConductivityPTL::SetSpecificGravity, &ISensor_ConductivityPTL::ReadSpecificGravity,
         sonde::kSpecificGravity, false},
        {"pressure offset", nullptr, &ISensor_ConductivityPTL::ReadPressureOffset, sonde::kPressureOffset,
         false},
        {"level reference", nullptr, &ISensor_ConductivityPTL::ReadLevelReference, sonde::kLevelReference,
         false},
        {"pressure reference", nullptr, &ISensor_ConductivityPTL::ReadPressureReference,
         sonde::kPressureReference, false},
    };
    StartSonde();
    float value = 0.0f;
    for (const Setting& setting : settings)
    {
        SCOPED_TRACE(setting.name);
        SetSimFloat(1, setting.offset, 0.75f);
        Mark();
        ASSERT_EQ((Sensor().*setting.get)(value), S_OK);
        EXPECT_EQ(value, 0.75f);
        EXPECT_EQ(ReadsSinceMark().at(0).first, Register(1, setting.offset));
        if (setting.set != nullptr)
        {
            ASSERT_EQ((Sensor().*setting.set)(1.5f), S_OK);
            EXPECT_EQ(SimFloat(1, setting.offset), 1.5f);
        }
    }
    // Once the caches are filled, the cached settings are the sonde's values, read no more, and kept
    // equal to what is written.
    ASSERT_EQ(Device().UpdateCache(), S_OK);
    for (const Setting& setting : settings)
    {
        SCOPED_TRACE(setting.name);
        const float held = SimFloat(1, setting.offset);
        SetSimFloat(1, setting.offset, 9.0f);
        Mark();
        ASSERT_EQ((Sensor().*setting.get)(value), S_OK);
        EXPECT_EQ(value, setting.cached ? held : 9.0f);
        EXPECT_EQ(FramesSinceMark() == 0, setting.cached);
        if (setting.set != nullptr && setting.cached)
        {
            ASSERT_EQ((Sensor().*setting.set)(2.25f), S_OK);
            ASSERT_EQ((Sensor().*setting.get)(value), S_OK);
            EXPECT_EQ(value, 2.25f);
        }
    }
    // A write the sonde refuses leaves the cached value as it was.
    RefuseWrites(Register(1, sonde::kTdsFactor), 2);
    EXPECT_EQ(Sensor().SetTDSFactor(3.0f), kRefused);
    ASSERT_EQ(Sensor().ReadTDSFactor(value), S_OK);
    EXPECT_EQ(value, 2.25f);

    // Before any link nothing is cached and nothing is sent.
    ModelPtr unlinked(new CMariskComm(ReportedIdentity()));
    EXPECT_EQ(unlinked->UpdateCache(), MODBUSCOMM_E_NO_CONNECTION);
    EXPECT_EQ(unlinked->GetConductivityPTLSensor()->ReadTDSFactor(value), MODBUSCOMM_E_NO_CONNECTION);
}

TEST_F(MariskProbe, TheSpecificConductanceCurveIsEightBetasInOneBlock)
{
    StartSonde(10);
    StartLog();
    const auto betaRegisters = [&]
    {
        std::vector<float> betas;
        for (uint16_t n = 0; n < 8; ++n)
            betas.push_back(SimFloat(1, static_cast<uint16_t>(sonde::kFirstBeta + 2 * n)));
        return betas;
    };
    // Missing betas are written as zeros; the curve's note carries them.
    CDynArray<float> three;
    for (float beta : {0.5f, 0.25f, 0.125f})
        three.Add(beta);
    ASSERT_EQ(Sensor().WriteSpecCondCoefficients(20.0f, 0.02f, three), S_OK);
    EXPECT_EQ(SimFloat(1, sonde::kReferenceTemperature), 20.0f);
    EXPECT_EQ(SimFloat(1, sonde::kAlpha), 0.02f);
    EXPECT_EQ(betaRegisters(), (std::vector<float>{0.5f, 0.25f, 0.125f, 0, 0, 0, 0, 0}));
    CNVUserNote_SpecCondCurve curve;
    ASSERT_EQ(LoadNote(Notes().at(0), curve), S_OK);
    EXPECT_EQ(curve.GetReferenceTemperature(), 20.0f);
    ASSERT_EQ(curve.GetCoefficients().GetCount(), 8u);
    EXPECT_EQ(curve.GetCoefficients()[2], 0.125f);
    // The linear curve.
    ASSERT_EQ(Sensor().ResetSpecCondCoefficients(25.0f, 0.0191f), S_OK);
    EXPECT_EQ(betaRegisters(), (std::vector<float>{1, 0, 0, 0, 0, 0, 0, 0}));
    // Read back as one block of twenty registers.
    SetSimFloat(1, static_cast<uint16_t>(sonde::kFirstBeta + 14), 7.0f);
    Mark();
    float reference = 0.0f;
    float alpha = 0.0f;
    CDynArray<float> betas;
    ASSERT_EQ(Sensor().ReadSpecCondCoefficients(reference, alpha, betas), S_OK);
    EXPECT_EQ(reference, 25.0f);
    EXPECT_EQ(alpha, 0.0191f);
    ASSERT_EQ(betas.GetCount(), 8u);
    EXPECT_EQ(betas[0], 1.0f);
    EXPECT_EQ(betas[7], 7.0f);
    EXPECT_EQ(ReadsSinceMark(), (std::vector<devicetest::RegisterRead>{
                                    {kSlave, Register(1, sonde::kReferenceTemperature), 20}}));

    // A failing beta stops the curve: those before it are written, the rest keep their values.
    RefuseWrites(Register(1, static_cast<uint16_t>(sonde::kFirstBeta + 6)), 2);
    CDynArray<float> twos;
    for (int n = 0; n < 8; ++n)
        twos.Add(2.0f);
    EXPECT_EQ(Sensor().WriteSpecCondCoefficients(25.0f, 0.0191f, twos), kRefused);
    EXPECT_EQ(betaRegisters(), (std::vector<float>{2, 2, 2, 0, 0, 0, 0, 7}));

    // Without a link the outputs the read owns are emptied, the caller's reference is kept.
    ModelPtr unlinked(new CMariskComm(ReportedIdentity()));
    reference = 3.0f;
    EXPECT_EQ(unlinked->GetConductivityPTLSensor()->ReadSpecCondCoefficients(reference, alpha, betas),
              MODBUSCOMM_E_NO_CONNECTION);
    EXPECT_EQ(reference, 3.0f);
    EXPECT_EQ(alpha, 0.0f);
    EXPECT_EQ(betas.GetCount(), 0u);
}

TEST_F(MariskProbe, ACurveHeldOnlyInPartIsReadFromTheSondeNotFromTheCache)
{
    // A sonde whose cache fill could not read the curve: its entries are empty while the cache
    // counts as filled.
    const auto startWithoutCurve = [&]
    {
        StartSonde(10);
        const int refused = RefuseReads(Register(1, sonde::kReferenceTemperature), 20);
        ASSERT_EQ(Device().UpdateCache(), S_OK);
        Probe().Registers().RemoveHook(refused);
    };
    const auto readCurve = [&]
    {
        float reference = 0.0f;
        float alpha = 0.0f;
        CDynArray<float> betas;
        Mark();
        EXPECT_EQ(Sensor().ReadSpecCondCoefficients(reference, alpha, betas), S_OK);
        EXPECT_EQ(betas.GetCount(), 8u);
        return std::tuple(reference, alpha, betas.GetCount() == 8 ? betas[7] : -1.0f, FramesSinceMark() > 0);
    };
    CDynArray<float> curve;
    curve.Add(0.5f);
    const uint16_t lastBeta = sonde::kFirstBeta + 14;
    // A write that stops at alpha leaves only the reference temperature known, one that stops at a
    // beta the later betas unknown: the sonde is asked.
    for (const uint16_t stop : {sonde::kAlpha, static_cast<uint16_t>(sonde::kFirstBeta + 6)})
    {
        SCOPED_TRACE(stop);
        startWithoutCurve();
        const int refused = RefuseWrites(Register(1, stop), 2);
        EXPECT_EQ(Sensor().WriteSpecCondCoefficients(21.0f, 0.03f, curve), kRefused);
        Probe().Registers().RemoveHook(refused);
        SetSimFloat(1, lastBeta, 4.0f);
        EXPECT_EQ(readCurve(),
                  std::tuple(21.0f, stop == sonde::kAlpha ? SimFloat(1, sonde::kAlpha) : 0.03f, 4.0f, true));
    }
    // Once all of it is known, the cache answers.
    startWithoutCurve();
    ASSERT_EQ(Sensor().WriteSpecCondCoefficients(23.0f, 0.01f, curve), S_OK);
    SetSimFloat(1, lastBeta, 9.0f);
    EXPECT_EQ(readCurve(), std::tuple(23.0f, 0.01f, 0.0f, false));
}

TEST_F(MariskProbe, TheDynamicSpecificGravityFollowsLocalGravityAndTheWatersDensity)
{
    StartSonde(5, kDepthOfProbe);
    // Local gravity over standard gravity at 0 m.
    for (const auto& [latitude, factor] : {std::pair{45.0, 0.999950956}, {0.0, 0.997319676}})
    {
        ASSERT_EQ(Sensor().SetDynamicSG(latitude, 0.0), S_OK);
        EXPECT_NEAR(SimFloat(1, sonde::kDynamicFactor), factor, 1e-7) << latitude;
    }
    float level = 0.0f;
    USHORT levelUnit = 0;
    float pressure = 0.0f;
    USHORT pressureUnit = 0;
    const auto levelAt = [&](float gravity) { return kPsi * kMetresPerPsi / gravity; };
    // With the factor on, SG is the factor times the density.
    ASSERT_EQ(Sensor().SetDynamicSGFactor(1.02f), S_OK);
    SetSimFloat(1, sonde::kSpecificGravity, 1.25f);
    ASSERT_EQ(Sensor().CalculateLevelFromPressure(level, levelUnit, pressure, pressureUnit), S_OK);
    EXPECT_EQ(levelUnit, UNIT_METRES);
    EXPECT_EQ(pressure, static_cast<float>(kPsi));
    EXPECT_NEAR(level, levelAt(static_cast<float>(1.02f * static_cast<double>(kDensity))), 1e-5);
    // A density that is no measurement (an error, disabled, offline) counts as fresh water.
    for (uint16_t quality : {3, 5, 7})
    {
        MarkParameter(1, kDensityParameter, quality);
        ASSERT_EQ(Sensor().CalculateLevelFromPressure(level, levelUnit, pressure, pressureUnit), S_OK);
        EXPECT_NEAR(level, levelAt(1.0f), 1e-5) << quality;
    }
    MarkParameter(1, kDensityParameter, std::nullopt);
    // A fixed SG switches the dynamic one off: the SG register counts again.
    StartLog();
    ASSERT_EQ(Sensor().SetSpecificGravity(1.25f), S_OK);
    EXPECT_EQ(SimFloat(1, sonde::kDynamicFactor), 0.0f);
    EXPECT_EQ(NoteSubTypes(Probe()),
              (std::vector<uint8_t>{USERNOTE_NEW_SPECIFIC_GRAV_FACTOR, USERNOTE_NEW_SPECIFIC_GRAVITY}));
    float factor = -1.0f;
    ASSERT_EQ(Sensor().ReadDynamicSGFactor(factor), S_OK);
    EXPECT_EQ(factor, 0.0f);
    ASSERT_EQ(Sensor().CalculateLevelFromPressure(level, levelUnit, pressure, pressureUnit), S_OK);
    EXPECT_NEAR(level, levelAt(1.25f), 1e-5);
    // Without an SG there is no level, and no pressure is read for it.
    SetSimFloat(1, sonde::kSpecificGravity, 0.0f);
    Mark();
    ASSERT_EQ(Sensor().CalculateLevelFromPressure(level, levelUnit, pressure, pressureUnit), S_OK);
    EXPECT_EQ(std::tuple(level, pressure, pressureUnit, levelUnit), std::tuple(0.0f, 0.0f, 0, UNIT_METRES));
    for (const devicetest::RegisterRead& read : ReadsSinceMark())
        EXPECT_NE(read.first, Register(1, probesim::ParameterBlockOffset(1)));
}

TEST_F(MariskProbe, TheDynamicSGScalesOnlyADensityInGramsPerCubicCentimetreAndKeepsToTheLevelsUnit)
{
    // The density class has g/cm3 alone: a density in another unit cannot be converted, and the
    // number as it stands (here 999, as kg/m3 would give it) must not be scaled into an SG.
    constexpr uint16_t kOtherDensityUnit = 130;
    StartSonde(5, kDepthOfProbe,
               [](probesim::SimSensor& sensor)
               {
                   probesim::SimParameter& density = sensor.parameters.at(kDensityParameter - 1);
                   density.unitId = kOtherDensityUnit;
                   density.value = [](const probesim::SampleContext&) { return 999.0f; };
               });
    ASSERT_EQ(Sensor().SetDynamicSGFactor(1.02f), S_OK);
    const Reading density = ReadOf(Sensor(), &ISensor_ConductivityPTL::ReadConductivityParam6);
    ASSERT_EQ(std::tuple(density.hr, density.value, density.unit),
              std::tuple(S_OK, 999.0f, kOtherDensityUnit));
    float level = 0.0f;
    USHORT levelUnit = 0;
    float pressure = 0.0f;
    USHORT pressureUnit = 0;
    ASSERT_EQ(Sensor().CalculateLevelFromPressure(level, levelUnit, pressure, pressureUnit), S_OK);
    EXPECT_EQ(pressure, static_cast<float>(kPsi));
    EXPECT_NEAR(level, kPsi * kMetresPerPsi, 1e-4) << "fresh water, SG 1";
    // The level in feet, the pressure in kPa: the SG still applies to the depth in metres.
    StartSonde(5, kDepthOfProbe);
    ASSERT_EQ(Sensor().SetDynamicSGFactor(1.02f), S_OK);
    ASSERT_EQ(Sensor().SetLevelUnit(38), S_OK);
    ASSERT_EQ(Sensor().SetPressureUnit(19), S_OK);
    ASSERT_EQ(Sensor().CalculateLevelFromPressure(level, levelUnit, pressure, pressureUnit), S_OK);
    EXPECT_EQ(std::tuple(levelUnit, pressureUnit), std::tuple(38, 19));
    const double gravity = static_cast<float>(1.02f * static_cast<double>(kDensity));
    EXPECT_NEAR(level, kPsi * kMetresPerPsi / gravity * 3.28084, 1e-3);
}

TEST_F(MariskProbe, EveryFloatOfTheSondeFollowsTheLinesWordOrder)
{
    // Low word first on the sonde's line and in the network alike; no value below reads the same
    // in the other order.
    m_wordOrder = probesim::WordOrder::LowFirst;
    StartSonde(5, kDepthOfProbe);
    // Its sensor's header and readings.
    ULONG serial = 0;
    ASSERT_EQ(Device().GetSensorSerialNumber(1, serial), S_OK);
    EXPECT_EQ(serial, SensorSerial(1));
    EXPECT_EQ(ReadOf(Sensor(), &ISensor_ConductivityPTL::ReadPressure).value, static_cast<float>(kPsi));
    EXPECT_EQ(ReadOf(Sensor(), &ISensor_ConductivityPTL::ReadConductivityParam6).value, kDensity);
    EXPECT_NEAR(ReadOf(Sensor(), &ISensor_ConductivityPTL::ReadLevel).value, kPsi * kMetresPerPsi, 1e-4);
    // The level from pressure with the dynamic SG: the factor and the density both.
    ASSERT_EQ(Sensor().SetDynamicSGFactor(1.02f), S_OK);
    float level = 0.0f;
    USHORT levelUnit = 0;
    float pressure = 0.0f;
    USHORT pressureUnit = 0;
    ASSERT_EQ(Sensor().CalculateLevelFromPressure(level, levelUnit, pressure, pressureUnit), S_OK);
    EXPECT_NEAR(level, kPsi * kMetresPerPsi / static_cast<float>(1.02f * static_cast<double>(kDensity)),
                1e-5);
    // Its settings, read and written.
    using Set = HRESULT (ISensor_ConductivityPTL::*)(float);
    using Get = HRESULT (ISensor_ConductivityPTL::*)(float&);
    const std::tuple<const char*, Set, Get, uint16_t> settings[] = {
        {"TDS factor", &ISensor_ConductivityPTL::SetTDSFactor, &ISensor_ConductivityPTL::ReadTDSFactor,
         sonde::kTdsFactor},
        {"cell constant", &ISensor_ConductivityPTL::SetCellConstant,
         &ISensor_ConductivityPTL::ReadCellConstant, sonde::kCellConstant},
        {"cell offset", &ISensor_ConductivityPTL::SetCellOffset, &ISensor_ConductivityPTL::ReadCellOffset,
         sonde::kCellOffset},
        {"dynamic SG", &ISensor_ConductivityPTL::SetDynamicSGFactor,
         &ISensor_ConductivityPTL::ReadDynamicSGFactor, sonde::kDynamicFactor},
        {"SG", &ISensor_ConductivityPTL::SetSpecificGravity, &ISensor_ConductivityPTL::ReadSpecificGravity,
         sonde::kSpecificGravity},
        {"pressure offset", &ISensor_ConductivityPTL::SetPressureOffset,
         &ISensor_ConductivityPTL::ReadPressureOffset, sonde::kPressureOffset},
        {"level reference", nullptr, &ISensor_ConductivityPTL::ReadLevelReference, sonde::kLevelReference},
        {"pressure reference", nullptr, &ISensor_ConductivityPTL::ReadPressureReference,
         sonde::kPressureReference},
    };
    for (const auto& [name, set, get, offset] : settings)
    {
        SCOPED_TRACE(name);
        Store(offset, 0.75f);
        float value = 0.0f;
        ASSERT_EQ((Sensor().*get)(value), S_OK);
        EXPECT_EQ(value, 0.75f);
        if (set != nullptr)
        {
            ASSERT_EQ((Sensor().*set)(1.5f), S_OK);
            EXPECT_EQ(Stored(offset), 1.5f);
        }
    }
    // The specific-conductance curve, written one float at a time and read as one block.
    CDynArray<float> betas;
    for (float beta : {0.5f, 0.25f})
        betas.Add(beta);
    ASSERT_EQ(Sensor().WriteSpecCondCoefficients(20.0f, 0.02f, betas), S_OK);
    EXPECT_EQ(std::tuple(Stored(sonde::kReferenceTemperature), Stored(sonde::kAlpha),
                         Stored(sonde::kFirstBeta + 2)),
              std::tuple(20.0f, 0.02f, 0.25f));
    Store(static_cast<uint16_t>(sonde::kFirstBeta + 14), 7.0f);
    float reference = 0.0f;
    float alpha = 0.0f;
    CDynArray<float> read;
    ASSERT_EQ(Sensor().ReadSpecCondCoefficients(reference, alpha, read), S_OK);
    ASSERT_EQ(read.GetCount(), 8u);
    EXPECT_EQ(std::tuple(reference, alpha, read[0], read[1], read[7]),
              std::tuple(20.0f, 0.02f, 0.5f, 0.25f, 7.0f));
}

TEST_F(MariskProbe, CalibrationAlwaysEndsOnlineAndNotesOnlyIntoAnActiveLog)
{
    using Run = std::function<HRESULT(ISensor_ConductivityPTL&)>;
    const uint8_t restored = USERNOTE_RESTORE_FACTORY_CAL_SENSOR;
    const std::tuple<std::string, Run, std::vector<uint8_t>> operations[] = {
        {"zero", [](auto& s) { return s.ZeroPressure(); }, {USERNOTE_CALIBRATION_ZERO_PRESSURE_SENSOR}},
        {"offset", [](auto& s) { return s.SetPressureOffset(1.5f); }, {}},
        {"restore", [](auto& s) { return s.RestorePressureFactoryCal(); }, {restored, restored}},
    };
    for (const auto& [name, run, notes] : operations)
    {
        for (const auto& [logging, refused] : {std::pair{true, false}, {false, false}, {true, true}})
        {
            SCOPED_TRACE(name + (logging ? " logging" : "") + (refused ? " refused" : ""));
            StartSonde();
            SetSimFloat(1, sonde::kLevelReference, 3.0f);
            if (logging)
                StartLog();
            if (refused)
                RefuseWrites(Register(1, sonde::kPressureOffset), 2);
            EXPECT_EQ(run(Sensor()), refused ? kRefused : S_OK);
            const std::vector<uint16_t> commands = Probe().DeviceCommandsCarriedOut();
            ASSERT_FALSE(commands.empty());
            EXPECT_EQ(commands.front(), DEVCMD_SET_OFFLINE);
            EXPECT_EQ(commands.back(), DEVCMD_SET_ONLINE);
            EXPECT_FALSE(Probe().Offline());
            // Calibration mode is the device offline with the sensor sampling continuously; the
            // sonde takes what is written without an update command.
            EXPECT_EQ(CommandsIn(WritesSinceMark()), kCalibrationMode);
            EXPECT_EQ(NoteSubTypes(Probe()), logging && !refused ? notes : std::vector<uint8_t>{});
            EXPECT_EQ(SimFloat(1, sonde::kLevelReference), name == "restore" && !refused ? 0.0f : 3.0f);
        }
    }
    // The pressure of the moment becomes the offset, and its note says so.
    StartSonde();
    StartLog();
    ASSERT_EQ(Sensor().ZeroPressure(), S_OK);
    EXPECT_EQ(SimFloat(1, sonde::kPressureOffset), static_cast<float>(kPsi));
    CNVUserNote_Calibration_ZeroPressureSensor note;
    ASSERT_EQ(LoadNote(Notes().at(0), note), S_OK);
    EXPECT_EQ(note.GetSerialNumber(), SensorSerial(1));
    EXPECT_EQ(note.GetPressureOffset(), static_cast<float>(kPsi));
    EXPECT_EQ(note.GetUnitId(), UNIT_PSI);
    // Each restore note names the sensor and what it restored.
    ASSERT_EQ(Sensor().RestorePressureFactoryCal(), S_OK);
    for (const auto& [index, kind] :
         {std::pair<size_t, ULONG>{1, RESTORE_KIND_PRESSURE_OFFSET}, {2, RESTORE_KIND_LEVEL_REFERENCE}})
    {
        CNVUserNote_RestoreFactoryCal_Sensor restore;
        ASSERT_EQ(LoadNote(Notes().at(index), restore), S_OK);
        EXPECT_EQ(std::tuple(restore.GetSerialNumber(), restore.GetKind()),
                  std::tuple(SensorSerial(1), kind));
    }

    // A reading taken while the sensor warms up holds no measurement: it is no zero.
    StartSonde(5, kDepthOfProbe,
               [](probesim::SimSensor& sensor) { sensor.warmUp = std::chrono::seconds(60); });
    SetSimFloat(1, sonde::kPressureOffset, 0.25f);
    EXPECT_EQ(Sensor().ZeroPressure(), ADAPTER_E_INVALID_DEVICE_RESPONSE);
    EXPECT_EQ(SimFloat(1, sonde::kPressureOffset), 0.25f);
    EXPECT_EQ(Probe().DeviceCommandsCarriedOut().back(), DEVCMD_SET_ONLINE);
}

TEST_F(MariskProbe, TheTraceSaysEachStepInTheSondesWords)
{
    const DeviceTrace trace;
    StartSonde();
    ASSERT_EQ(Sensor().SetPressureOffset(1.5f), S_OK);
    RefuseWrites(Register(1, sonde::kPressureOffset), 2);
    EXPECT_EQ(Sensor().SetPressureOffset(2.0f), kRefused);
    ASSERT_EQ(Sensor().SetDynamicSG(45.0, 0.0), S_OK);
    float factor = 0.0f;
    ASSERT_EQ(Sensor().ReadTDSFactor(factor), S_OK);
    ASSERT_EQ(Device().UpdateCache(), S_OK);
    ASSERT_EQ(Sensor().ReadTDSFactor(factor), S_OK);
    for (const char* line :
         {"Marisk Device: 1 - setting pressure offset to: 1.5",
          "Marisk Device: 1 - writing pressure offset: 1.5",
          "Marisk Device: 1 - setting pressure offset to: 2",
          "Marisk Device: 1 - failed to write Pressure Offset, EC: 81010004",
          "Marisk Device: 1 - failed to set Pressure Offset, EC: 81010004",
          "Marisk Device: 1 - setting dynamic SG - Lat(deg) : 45 Elev(m): 0",
          "Marisk Device: 1 - setting dynamic SG: 0.99995",
          "Marisk Device: 1 - reading TDS conversion factor", "Marisk Device: 1 - success, Factor: 0.65",
          "Marisk Device: 1 - cache static values complete",
          "Marisk Device: 1 - Cached TDS Factor: 0.65 - success"})
        EXPECT_TRUE(trace.Holds(line)) << line;
}

TEST_F(MariskProbe, TheLevelReferenceOnlyInTheModesThatMeasureFromIt)
{
    StartSonde(5, kDepthOfProbe);
    StartLog();
    Mark();
    EXPECT_EQ(Sensor().SetLevelReference(2.0f), ADAPTER_E_INVALID_PARAMETER);
    EXPECT_TRUE(WritesSinceMark().empty());

    StartSonde(5, kDepthToWater);
    StartLog();
    ASSERT_EQ(Sensor().SetLevelReference(2.5f), S_OK);
    EXPECT_EQ(SimFloat(1, sonde::kLevelReference), 2.5f);
    // The sonde took the pressure of the moment as the reference's.
    float pressureReference = 0.0f;
    ASSERT_EQ(Sensor().ReadPressureReference(pressureReference), S_OK);
    EXPECT_EQ(pressureReference, static_cast<float>(kPsi));
    // The note holds what the reference stands on: the depth from pressure at SG 1, the pressure
    // reference, the offset, the water's temperature and the units of each.
    CNVUserNote_Calibrate_SetNewLevelRef note;
    ASSERT_EQ(LoadNote(Notes().at(0), note), S_OK);
    EXPECT_EQ(note.GetSerialNumber(), SensorSerial(1));
    EXPECT_EQ(note.GetNewReference(), 2.5f);
    EXPECT_NEAR(note.GetDepth(), kPsi * kMetresPerPsi, 1e-4);
    EXPECT_EQ(note.GetHeadPressure(), static_cast<float>(kPsi));
    EXPECT_EQ(note.GetPressureOffset(), 0.0f);
    const Reading temperature = ReadOf(Sensor(), &ISensor_ConductivityPTL::ReadTemperature);
    EXPECT_NEAR(note.GetTemperature(), temperature.value, 0.5);
    EXPECT_EQ(std::tuple(note.GetDepthUnit(), note.GetPressureUnit(), note.GetTemperatureUnit()),
              std::tuple(UNIT_METRES, UNIT_PSI, UNIT_CELSIUS));
    // The pressure reference itself is the sonde's own.
    Mark();
    EXPECT_EQ(Sensor().SetPressureReference(1.0f), S_OK);
    EXPECT_TRUE(WritesSinceMark().empty());
    // A mode word the sonde should not hold reads as depth of the probe.
    ULONG mode = 0;
    for (uint16_t word : {0, 7})
    {
        Probe().Registers().SetU16(Register(1, sonde::kLevelMode), word);
        ASSERT_EQ(Sensor().ReadLevelMode(mode), S_OK);
        EXPECT_EQ(mode, 3u);
    }
}

TEST_F(MariskProbe, BothModesThatMeasureFromAReferenceTakeOneAndAModeChangeIsSeenAtOnce)
{
    for (const uint16_t mode : {kDepthToWater, kSurfaceElevation})
    {
        SCOPED_TRACE(mode);
        StartSonde(5, kDepthOfProbe);
        ASSERT_EQ(Sensor().SetLevelMode(mode), S_OK);
        ULONG read = 0;
        ASSERT_EQ(Sensor().ReadLevelMode(read), S_OK);
        EXPECT_EQ(read, mode);
        StartLog();
        ASSERT_EQ(Sensor().SetLevelReference(1.75f), S_OK);
        EXPECT_EQ(SimFloat(1, sonde::kLevelReference), 1.75f);
        EXPECT_EQ(NoteSubTypes(Probe()), std::vector<uint8_t>{USERNOTE_CALIBRATE_SET_NEW_LEVEL_REF});

        ASSERT_EQ(Sensor().SetLevelMode(kDepthOfProbe), S_OK);
        Mark();
        EXPECT_EQ(Sensor().SetLevelReference(2.0f), ADAPTER_E_INVALID_PARAMETER);
        EXPECT_TRUE(WritesSinceMark().empty());
    }
    StartSonde(5, kSurfaceElevation);
    ASSERT_EQ(Sensor().SetLevelReference(12.5f), S_OK);
    EXPECT_EQ(SimFloat(1, sonde::kLevelReference), 12.5f);
    for (const auto& [word, mode] : {std::pair<uint16_t, ULONG>{2, 3}, {3, 3}, {4, 4}, {5, 5}, {6, 3}})
    {
        Probe().Registers().SetU16(Register(1, sonde::kLevelMode), word);
        ULONG read = 0;
        ASSERT_EQ(Sensor().ReadLevelMode(read), S_OK);
        EXPECT_EQ(read, mode) << word;
    }
}

TEST_F(MariskProbe, TheConductivityCalibrationNoteNeedsAnActiveLog)
{
    StartSonde(10);
    Mark();
    EXPECT_EQ(Sensor().WriteConductivityCalNote(25.0f, 0.0191f), E_FAIL);
    EXPECT_EQ(SettingReads(ReadsSinceMark()), 0u);
    SetSimFloat(1, sonde::kCellConstant, 1.05f);
    SetSimFloat(1, sonde::kCellOffset, -2.0f);
    StartLog();
    ASSERT_EQ(Sensor().WriteConductivityCalNote(25.0f, 0.0191f), S_OK);
    CNVUserNote_Calibrate_Conductivity note;
    ASSERT_EQ(LoadNote(Notes().at(0), note), S_OK);
    EXPECT_EQ(std::tuple(note.GetCellConstant(), note.GetCellOffset(), note.GetReferenceTemperature(),
                         note.GetTemperatureCoefficient()),
              std::tuple(1.05f, -2.0f, 25.0f, 0.0191f));
    // The TDS factor's change leaves its own note.
    ASSERT_EQ(Sensor().SetTDSFactor(0.6f), S_OK);
    CNVUserNote_Calibrate_TDSFactor factor;
    ASSERT_EQ(LoadNote(Notes().at(1), factor), S_OK);
    EXPECT_EQ(factor.GetTDSFactor(), 0.6f);
}

TEST_F(MariskProbe, LogFileMetaByTypeAndWhatTheLogRecords)
{
    constexpr ULONG kRemindLater = 1u << 31;
    // The conductivity facts go with the quantities logged.
    StartSonde(10);
    SetSimFloat(1, sonde::kTdsFactor, 0.64f);
    CLogFile conductivity;
    conductivity.m_Channels.Add(ChannelWord(1, 3)); // the specific conductance of type 10
    conductivity.m_Channels.Add(ChannelWord(1, 5)); // its total dissolved solids
    ASSERT_EQ(Device().FillLogFileMeta(conductivity), S_OK);
    EXPECT_EQ(Tag(conductivity, METATAG_TDS_FACTOR)->m_Value.GetFloat(), 0.64f);
    EXPECT_EQ(Tag(conductivity, METATAG_SPECIFIC_CONDUCTIVITY_METHOD)->m_Value.GetU32(), 0u);
    EXPECT_EQ(Tag(conductivity, METATAG_SPEC_COND_BETA0)->m_Value.GetFloat(), 1.0f);
    EXPECT_TRUE(Tag(conductivity, METATAG_LOG_SETUP_TOTAL_MEAS_CNT).has_value());
    // No level on type 10.
    EXPECT_FALSE(Tag(conductivity, METATAG_LEVEL_REF_PRESSURE_OFFSET).has_value());

    // Type 5 without channels: the level of the moment, not its facts.
    StartSonde(5, kDepthToWater);
    CLogFile empty;
    ASSERT_EQ(Device().FillLogFileMeta(empty), S_OK);
    EXPECT_NEAR(Tag(empty, METATAG_LEVEL_REF_DEPTH_OF_PROBE)->m_Value.GetFloat(), kPsi * kMetresPerPsi, 1e-4);
    EXPECT_EQ(Tag(empty, METATAG_LEVEL_REF_HEAD_PRESSURE)->m_Value.GetFloat(), static_cast<float>(kPsi));
    EXPECT_FALSE(Tag(empty, METATAG_LEVEL_MEASUREMENT_MODE).has_value());
    EXPECT_FALSE(Tag(empty, METATAG_TDS_FACTOR).has_value());

    // A log of the level set up to remind later, with the dynamic SG on.
    ASSERT_EQ(Sensor().SetDynamicSGFactor(1.01f), S_OK);
    SetSimFloat(1, sonde::kLevelReference, 3.5f);
    Probe().Registers().SetU32(49095, kRemindLater);
    CLogFile level;
    level.m_Channels.Add(ChannelWord(1, kLevelParameter));
    ASSERT_EQ(Device().FillLogFileMeta(level), S_OK);
    EXPECT_EQ(Tag(level, METATAG_LEVEL_MEASUREMENT_MODE)->m_Value.GetU32(), 4u);
    EXPECT_FALSE(Tag(level, METATAG_SPECIFIC_GRAVITY).has_value());
    EXPECT_EQ(Tag(level, METATAG_DYNAMIC_SPECIFIC_GRAVITY_FACTOR)->m_Value.GetFloat(), 1.01f);
    EXPECT_EQ(Tag(level, METATAG_LEVEL_REFERENCE_MODE)->m_Value.GetU32(), 4u);
    EXPECT_EQ(Tag(level, METATAG_REMIND_ME_LATER)->m_Value.GetU32(), 1u);
    EXPECT_FALSE(Tag(level, METATAG_LEVEL_REFERENCE_VAL).has_value());
    EXPECT_EQ(Tag(level, METATAG_LEVEL_REF_PRESSURE)->m_Value.GetFloat(), 0.0f);
}

} // namespace
} // namespace modeltest
