// The optical DO, conductivity, barometric, temperature, turbidity and fluorometer sensors of the
// multi-parameter sonde against the simulated sonde: their parameters and registers at the sonde's
// offsets, where their temperature, salinity and barometric pressure come from, and their notes.
#include <cmath>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "foundation/Units.h"
#include "models/CalibrationNotes.h"
#include "models/FlurometerBaseMK600.h"
#include "models/SettingNotes.h"
#include "models/TwoSegmentCalNotes.h"
#include "tests/models/SondeTestSupport.h"

namespace modeltest
{
namespace
{

using namespace NVSystem;
namespace sonde = probesim::sonde;

constexpr uint16_t kMilliBar = 21;
constexpr uint16_t kCalSlope = 137; // the optical DO sensor's calibration, as the probes keep it
constexpr uint16_t kCalOffset = 139;
constexpr uint16_t kMillimetreHg = 22;
constexpr double kMmHgPerMilliBar = 51.71492 / 68.94757;

uint16_t ValueOffset(uint16_t parameter)
{
    return probesim::ParameterBlockOffset(parameter);
}

bool Reads(const std::vector<devicetest::RegisterRead>& reads, uint16_t reg)
{
    for (const devicetest::RegisterRead& read : reads)
    {
        if (read.first <= reg && reg < read.first + read.count)
            return true;
    }
    return false;
}

using SondeOptical = SondeTest;

TEST_F(SondeOptical, QuantitiesTemperatureAndTheCapsSerialNumber)
{
    StartSonde({sonde::kOpticalDo, sonde::kTemperature2});
    ISensor_VoxPro& sensor = *At(1)->AsVoxPro();
    for (uint16_t p = 1; p <= 4; ++p)
        MarkParameter(1, p, static_cast<uint16_t>(p << 4));
    EXPECT_EQ(ReadOf(sensor, &ISensor_VoxPro::ReadOxygenParamA).quality, 1 << 4);
    EXPECT_EQ(ReadOf(sensor, &ISensor_VoxPro::ReadOxygenParamB).quality, 2 << 4);
    EXPECT_EQ(ReadOf(sensor, &ISensor_VoxPro::ReadOxygenParamC).quality, 4 << 4);
    // The temperature is the dedicated sensor's, read live whatever the caller asked.
    MarkParameter(2, 1, 0x79);
    Mark();
    EXPECT_EQ(ReadOf(sensor, &ISensor_VoxPro::ReadTemperature, TRUE).quality, 0x79);
    EXPECT_TRUE(Reads(ReadsSinceMark(), Register(2, ValueOffset(1))));
    ULONG serial = 0;
    EXPECT_EQ(sensor.GetVoxSerialNumber(serial), S_OK);
    EXPECT_EQ(serial, SensorSerial(1));
    // The cap's serial number is kept as a float.
    const std::tuple<float, HRESULT, ULONG> caps[] = {
        {sonde::kCapSerial, S_OK, 123456u},
        {-5.0f, S_OK, 0u},
        {std::numeric_limits<float>::quiet_NaN(), S_OK, 0u},
        {5.0e9f, S_OK, 4294967295u},
    };
    for (const auto& [stored, hr, cap] : caps)
    {
        SetSimFloat(1, sonde::kCapSerialNumber, stored);
        ULONG read = 7;
        EXPECT_EQ(sensor.GetCapSerialNumber(read), hr) << stored;
        EXPECT_EQ(read, cap) << stored;
    }
    // The calibration readings are the probes' offsets.
    ASSERT_EQ(sensor.SetCalSlope(1.04f), S_OK);
    EXPECT_EQ(SimFloat(1, kCalSlope), 1.04f);
    SetSimFloat(1, sonde::kCapSerialNumber, sonde::kCapSerial);
    Mark();
    EXPECT_EQ(sensor.WriteCalibrationNote(), E_FAIL);
    EXPECT_EQ(SettingReads(ReadsSinceMark()), 0u);
    StartLog();
    ASSERT_EQ(sensor.WriteCalibrationNote(), S_OK);
    CNVUserNote_Calibrate_VOX note;
    ASSERT_EQ(LoadNote(Notes().at(0), note), S_OK);
    EXPECT_EQ(std::tuple(note.GetCapSerialNumber(), note.GetSlope()), std::tuple(123456u, 1.04f));

    // Without a temperature sensor: 25 degrees Celsius, and nothing is asked.
    StartSonde({sonde::kOpticalDo});
    ISensor_VoxPro& alone = *At(1)->AsVoxPro();
    const Reading reading = ReadOf(alone, &ISensor_VoxPro::ReadTemperature);
    EXPECT_EQ(std::tuple(reading.hr, reading.value, reading.unit), std::tuple(S_OK, 25.0f, UNIT_CELSIUS));
    USHORT unit = 0;
    EXPECT_EQ(alone.GetTemperatureUnit(unit), S_OK);
    EXPECT_EQ(unit, UNIT_CELSIUS);
    EXPECT_EQ(FramesSinceMark(), 0u);
}

TEST_F(SondeOptical, SalinityFromTheConductivitySensorElseTheDefault)
{
    StartSonde({sonde::kOpticalDo});
    ISensor_VoxPro* sensor = At(1)->AsVoxPro();
    SetSimFloat(1, sonde::kDefaultSalinity, 12.5f);
    float salinity = 0.0f;
    ASSERT_EQ(sensor->ReadLiveSalinity(salinity), S_OK);
    EXPECT_EQ(salinity, 12.5f);
    Mark();
    EXPECT_EQ(sensor->SetLiveSalinity(30.0f), S_OK);
    EXPECT_TRUE(WritesSinceMark().empty());
    ASSERT_EQ(sensor->SetDefaultSalinity(31.0f), S_OK);
    EXPECT_EQ(SimFloat(1, sonde::kDefaultSalinity), 31.0f);

    // The conductivity sensor's salinity is its quantity 3, its parameter 4.
    StartSonde({sonde::kOpticalDo, sonde::kConductivity});
    sensor = At(1)->AsVoxPro();
    Mark();
    ASSERT_EQ(sensor->ReadLiveSalinity(salinity), S_OK);
    EXPECT_TRUE(Reads(ReadsSinceMark(), Register(2, ValueOffset(4))));
    EXPECT_FALSE(Reads(ReadsSinceMark(), Register(1, sonde::kDefaultSalinity)));
}

TEST_F(SondeOptical, BarometricPressureFromTheBarometerInMillibarOrFromTheRegistersOfType33)
{
    StartSonde({sonde::kOpticalDo, sonde::kBarometric});
    ISensor_VoxPro* sensor = At(1)->AsVoxPro();
    ISensor_Barometric* barometer = At(2)->AsBarometric();
    ASSERT_EQ(barometer->SetBaroUnit(kMillimetreHg), S_OK);
    float pressure = 0.0f;
    ASSERT_EQ(sensor->ReadLiveBaro(pressure), S_OK);
    EXPECT_NEAR(pressure, 1013.25, 0.05);
    // The default is the barometer's sentinel, kept in the barometer's unit.
    ASSERT_EQ(sensor->SetDefaultBaro(1000.0f), S_OK);
    EXPECT_NEAR(SimFloat(2, ValueOffset(1) + probesim::block::kSentinel), 1000.0 * kMmHgPerMilliBar, 1e-3);
    ASSERT_EQ(sensor->ReadDefaultBaro(pressure), S_OK);
    EXPECT_NEAR(pressure, 1000.0f, 1e-3);
    Mark();
    EXPECT_EQ(sensor->SetLiveBaro(990.0f), S_OK);
    EXPECT_TRUE(WritesSinceMark().empty());

    StartSonde({sonde::kOpticalDo});
    EXPECT_EQ(At(1)->AsVoxPro()->ReadLiveBaro(pressure), E_FAIL);

    // Type 33 keeps both in registers of its own, barometer or not.
    StartSonde({sonde::kOpticalDo, sonde::kBarometric}, sonde::kBaroType);
    sensor = At(1)->AsVoxPro();
    Probe().Registers().SetFloat(sonde::kLiveBaroRegister, 990.0f);
    ASSERT_EQ(sensor->ReadLiveBaro(pressure), S_OK);
    EXPECT_EQ(pressure, 990.0f);
    ASSERT_EQ(sensor->SetDefaultBaro(1005.0f), S_OK);
    EXPECT_EQ(Probe().Registers().GetFloat(sonde::kDefaultBaroRegister), 1005.0f);
}

TEST_F(SondeOptical, ACompensationValueThatHoldsNoMeasurementIsRefusedNotMadeUp)
{
    constexpr uint16_t kTorr = 26; // a pressure unit without a conversion
    constexpr uint16_t kSalinity = 4;
    probesim::SimSensor conductivity = SondeSensor(sonde::kConductivity, 2);
    conductivity.warmUp = std::chrono::seconds(60);
    probesim::SimSensor barometer = SondeSensor(sonde::kBarometric, 3);
    barometer.parameters.at(0).availableUnits |= 1u << (kTorr - 17);
    StartSondeWith({SondeSensor(sonde::kOpticalDo, 1), conductivity, barometer});
    ISensor_VoxPro& sensor = *At(1)->AsVoxPro();

    // A conductivity sensor warming up reports its sentinel, an erring one a value of no use.
    float salinity = 7.0f;
    EXPECT_EQ(sensor.ReadLiveSalinity(salinity), ADAPTER_E_INVALID_DEVICE_RESPONSE);
    EXPECT_EQ(salinity, 7.0f);
    StartSondeWith({SondeSensor(sonde::kOpticalDo, 1), SondeSensor(sonde::kConductivity, 2)});
    ISensor_VoxPro& settled = *At(1)->AsVoxPro();
    ASSERT_EQ(settled.ReadLiveSalinity(salinity), S_OK);
    EXPECT_NE(salinity, 7.0f);
    MarkParameter(2, kSalinity, probesim::kQualityError);
    salinity = 7.0f;
    EXPECT_EQ(settled.ReadLiveSalinity(salinity), ADAPTER_E_INVALID_DEVICE_RESPONSE);
    EXPECT_EQ(salinity, 7.0f);

    // A barometer in a unit that does not convert to millibar gives no pressure, and takes none.
    StartSondeWith({SondeSensor(sonde::kOpticalDo, 1), SondeSensor(sonde::kConductivity, 2), barometer});
    ISensor_VoxPro& optical = *At(1)->AsVoxPro();
    ISensor_Barometric& torr = *At(3)->AsBarometric();
    ASSERT_EQ(torr.SetBaroUnit(kTorr), S_OK);
    float pressure = 7.0f;
    EXPECT_EQ(optical.ReadLiveBaro(pressure), ADAPTER_E_INVALID_DEVICE_RESPONSE);
    EXPECT_EQ(optical.ReadDefaultBaro(pressure), ADAPTER_E_INVALID_DEVICE_RESPONSE);
    EXPECT_EQ(pressure, 7.0f);
    const float sentinel = SimFloat(3, ValueOffset(1) + probesim::block::kSentinel);
    Mark();
    EXPECT_EQ(optical.SetDefaultBaro(1000.0f), ADAPTER_E_INVALID_PARAMETER);
    EXPECT_EQ(torr.SetBaroSentinel(1013.25f, kMilliBar), ADAPTER_E_INVALID_PARAMETER);
    EXPECT_TRUE(WritesSinceMark().empty());
    EXPECT_EQ(SimFloat(3, ValueOffset(1) + probesim::block::kSentinel), sentinel);

    // A unit that cannot be read (the line fails once) leaves the sentinel as it was.
    ASSERT_EQ(torr.SetBaroUnit(kMilliBar), S_OK);
    ASSERT_EQ(Device().ReadSensorHeader(3), S_OK);
    RefuseReadsOnce(Register(3, ValueOffset(1)), probesim::kParameterBlockRegisters);
    Mark();
    EXPECT_EQ(torr.SetBaroSentinel(1013.25f, kMilliBar), kRefused);
    EXPECT_TRUE(WritesSinceMark().empty());
}

TEST_F(SondeOptical, TheCalibrationNoteCarriesWhatTheSensorHoldsOrIsNotWritten)
{
    StartSonde({sonde::kOpticalDo});
    ISensor_VoxPro& sensor = *At(1)->AsVoxPro();
    ASSERT_EQ(sensor.SetCalSlope(1.04f), S_OK);
    ASSERT_EQ(sensor.SetCalOffset(-0.25f), S_OK);
    StartLog();
    ASSERT_EQ(sensor.WriteCalibrationNote(), S_OK);
    ASSERT_EQ(NoteSubTypes(Probe()), std::vector<uint8_t>{CNVUserNote_Calibrate_VOX::kSubType});
    CNVUserNote_Calibrate_VOX note;
    ASSERT_EQ(LoadNote(Notes().at(0), note), S_OK);
    EXPECT_EQ(note.GetSerialNumber(), SensorSerial(1));
    EXPECT_EQ(note.GetCapSerialNumber(), 123456u);
    EXPECT_EQ(std::tuple(note.GetSlope(), note.GetOffset()), std::tuple(1.04f, -0.25f));
    EXPECT_EQ(std::u16string(note.GetUserName()), std::u16string(GetNoteUserName()));

    // A slope or offset that cannot be read is no calibration of 0.0.
    for (uint16_t refused : {kCalSlope, kCalOffset})
    {
        SCOPED_TRACE(refused);
        const int hook = RefuseReads(Register(1, refused), 2);
        EXPECT_EQ(sensor.WriteCalibrationNote(), kRefused);
        EXPECT_EQ(Notes().size(), 1u);
        Probe().Registers().RemoveHook(hook);
    }
}

using SondeConductivity = SondeTest;

TEST_F(SondeConductivity, QuantitiesCalibrationAndItsOwnTemperatureRegisters)
{
    StartSonde({sonde::kConductivity});
    ISensor_Conductivity& sensor = *At(1)->AsConductivity();
    using Read = HRESULT (ISensor_Conductivity::*)(float&, USHORT&, USHORT&, BOOL);
    const Read reads[] = {
        &ISensor_Conductivity::ReadConductivityParam1, &ISensor_Conductivity::ReadConductivityParam2,
        &ISensor_Conductivity::ReadConductivityParam3, &ISensor_Conductivity::ReadConductivityParam4,
        &ISensor_Conductivity::ReadConductivityParam5, &ISensor_Conductivity::ReadConductivityParam6};
    for (uint16_t p = 1; p <= 7; ++p)
        MarkParameter(1, p, static_cast<uint16_t>(p << 4));
    for (int n = 0; n < 6; ++n)
        EXPECT_EQ(ReadOf(sensor, reads[n]).quality, (n + 2) << 4) << n;
    // The temperature from its registers on every call, cached or not.
    Mark();
    const Reading temperature = ReadOf(sensor, &ISensor_Conductivity::ReadTemperature, TRUE);
    ASSERT_EQ(temperature.hr, S_OK);
    EXPECT_EQ(temperature.quality, 1 << 4);
    EXPECT_EQ(temperature.unit, SimWord(1, ValueOffset(1) + probesim::block::kUnitId));
    for (uint16_t offset : {37, 40, 41})
        EXPECT_TRUE(Reads(ReadsSinceMark(), Register(1, offset))) << offset;
    ULONG serial = 7;
    EXPECT_EQ(sensor.GetSerialNumber(serial), S_OK);
    EXPECT_EQ(serial, 0u);
    ASSERT_EQ(sensor.GetConductivitySerialNumber(serial), S_OK);
    EXPECT_EQ(serial, SensorSerial(1));
    // The calibration block from 117, the factors after it.
    ASSERT_EQ(sensor.ResetCalibrationBlock(1.0f, 0.0f), S_OK);
    float first = 0.0f;
    float second = 0.0f;
    CDynArray<float> coefficients;
    ASSERT_EQ(sensor.ReadCalibrationBlock(first, second, coefficients), S_OK);
    EXPECT_EQ(std::tuple(first, second, SimFloat(1, 117)), std::tuple(1.0f, 0.0f, 1.0f));
    ASSERT_EQ(coefficients.GetCount(), 8u);
    for (uint16_t n = 0; n < 8; ++n)
        EXPECT_EQ(SimFloat(1, static_cast<uint16_t>(121 + 2 * n)), 0.0f) << n;
    ASSERT_EQ(sensor.SetCellConstant(1.1f), S_OK);
    EXPECT_EQ(SimFloat(1, 139), 1.1f);
    // The TDS factor with a note only into an active log.
    ASSERT_EQ(sensor.SetTDSFactor(0.6f), S_OK);
    EXPECT_EQ(SimFloat(1, 137), 0.6f);
    EXPECT_TRUE(Notes().empty());
    StartLog();
    ASSERT_EQ(sensor.SetTDSFactor(0.7f), S_OK);
    CNVUserNote_Calibrate_TDSFactor note;
    ASSERT_EQ(LoadNote(Notes().at(0), note), S_OK);
    EXPECT_EQ(note.GetTDSFactor(), 0.7f);
}

using SondeBarometer = SondeTest;

TEST_F(SondeBarometer, TheSentinelGoesInAndOutInTheParametersUnitOfTheMoment)
{
    StartSonde({sonde::kBarometric, sonde::kTemperature});
    ISensor_Barometric& barometer = *At(1)->AsBarometric();
    EXPECT_EQ(barometer.GetBaroConnection(), 0);
    for (const auto& [unit, stored] :
         {std::pair<uint16_t, double>{kMilliBar, 1013.25}, {kMillimetreHg, 1013.25 * kMmHgPerMilliBar}})
    {
        ASSERT_EQ(barometer.SetBaroUnit(unit), S_OK);
        ASSERT_EQ(barometer.SetBaroSentinel(1013.25f, kMilliBar), S_OK);
        float sentinel = 0.0f;
        USHORT sentinelUnit = 0;
        ASSERT_EQ(barometer.GetBaroSentinel(sentinel, sentinelUnit), S_OK);
        EXPECT_EQ(sentinelUnit, unit);
        EXPECT_NEAR(sentinel, stored, 1e-3) << unit;
    }
    ASSERT_EQ(barometer.WriteBaroCal(2.5f), S_OK);
    EXPECT_EQ(SimFloat(1, 117), 2.5f);
    // The temperature sensor's one parameter.
    ISensor_Temperature& temperature = *At(2)->AsTemperature();
    MarkParameter(2, 1, 0x55);
    EXPECT_EQ(ReadOf(temperature, &ISensor_Temperature::ReadTemperature).quality, 0x55);
    EXPECT_EQ(temperature.GetConnection(), 0);
}

using SondeTurbidity = SondeTest;

TEST_F(SondeTurbidity, CalibrationValuesTheirNoteAndNoTemperature)
{
    StartSonde({sonde::kTurbidity});
    ISensor_Turbidity& sensor = *At(1)->AsTurbidity();
    const Reading temperature = ReadOf(sensor, &ISensor_Turbidity::ReadTemperature);
    EXPECT_EQ(std::tuple(temperature.hr, temperature.value, temperature.quality, temperature.unit),
              std::tuple(S_OK, 0.0f, 0, 0));
    USHORT unit = 0;
    EXPECT_EQ(sensor.GetTemperatureUnit(unit), S_OK);
    EXPECT_EQ(unit, UNIT_CELSIUS);
    EXPECT_EQ(FramesSinceMark(), 0u);
    MarkParameter(1, 2, 0x22);
    EXPECT_EQ(ReadOf(sensor, &ISensor_Turbidity::ReadTurbidityParam2).quality, 0x22);
    ASSERT_EQ(sensor.WriteTurbidityCal1(3.0f), S_OK);
    ASSERT_EQ(sensor.WriteTurbidityCal2(1.5f), S_OK);
    ASSERT_EQ(sensor.WriteTurbidityCal3(-0.5f), S_OK);
    EXPECT_EQ(std::tuple(SimFloat(1, 117), SimFloat(1, 119), SimFloat(1, 121)),
              std::tuple(3.0f, 1.5f, -0.5f));
    Mark();
    EXPECT_EQ(sensor.WriteTurbidityCalNote(), E_FAIL);
    EXPECT_EQ(SettingReads(ReadsSinceMark()), 0u);
    StartLog();
    ASSERT_EQ(sensor.WriteTurbidityCalNote(), S_OK);
    CNVUserNote_Calibrate_Turbidity note;
    ASSERT_EQ(LoadNote(Notes().at(0), note), S_OK);
    EXPECT_EQ(std::tuple(note.GetSlope(), note.GetOffset()), std::tuple(1.5f, -0.5f));
    // A value that cannot be read leaves no note.
    RefuseReads(Register(1, 121), 2);
    EXPECT_EQ(sensor.WriteTurbidityCalNote(), kRefused);
    EXPECT_EQ(Notes().size(), 1u);
}

// The fluorometers by sonde sensor id, with the sub-type of their note.
class SondeFluorometer : public SondeTest, public ::testing::WithParamInterface<std::pair<uint16_t, uint8_t>>
{
protected:
    ISensor_Fluorometer& Start()
    {
        StartSonde({GetParam().first});
        // The fluorometer interface has no cast of its own: its temperature part is the way in.
        ISensor_Interface* sensor = At(1);
        m_pSensor = sensor != nullptr ? static_cast<ISensor_Fluorometer*>(sensor->AsTemperature()) : nullptr;
        EXPECT_NE(m_pSensor, nullptr);
        return *m_pSensor;
    }

    ISensor_Fluorometer* m_pSensor = nullptr;
};

INSTANTIATE_TEST_SUITE_P(Kinds, SondeFluorometer,
                         ::testing::Values(std::pair<uint16_t, uint8_t>{sonde::kRhodamine, 30},
                                           std::pair<uint16_t, uint8_t>{sonde::kChlorophyll, 31},
                                           std::pair<uint16_t, uint8_t>{sonde::kPhycocyanin, 33},
                                           std::pair<uint16_t, uint8_t>{sonde::kPhycoerythrin, 32}));

TEST_P(SondeFluorometer, ValuesPairsAndSegmentsWithFailuresAsResultCodes)
{
    ISensor_Fluorometer& sensor = Start();
    EXPECT_EQ(sensor.GetSensorType(), SENSOR_TYPE_NONE);
    MarkParameter(1, 3, 0x33);
    MarkParameter(1, 2, 0x22);
    EXPECT_EQ(ReadOf(sensor, &ISensor_Fluorometer::ReadFluorescence).quality, 0x33);
    EXPECT_EQ(ReadOf(sensor, &ISensor_Fluorometer::ReadFluorescenceParam2).quality, 0x22);
    ASSERT_EQ(sensor.WriteFluorCalA(7.0f), S_OK);
    EXPECT_EQ(SimFloat(1, 117), 7.0f);
    ASSERT_EQ(sensor.WriteFluorCalB(8.0f), S_OK);
    ASSERT_EQ(sensor.WriteFluorCalC(9.0f), S_OK);
    EXPECT_EQ(std::tuple(SimFloat(1, 135), SimFloat(1, 133)), std::tuple(8.0f, 9.0f));
    Mark();
    ASSERT_EQ(sensor.WriteFluorCalPairB(2, 1.0f, 2.0f), S_OK);
    const std::vector<devicetest::RegisterWrite> writes = WritesSinceMark();
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(std::tuple(writes[0].first, writes[1].first), std::tuple(Register(1, 143), Register(1, 145)));
    ASSERT_EQ(sensor.WriteFluorCalPairA(1, 3.0f, 4.0f), S_OK);
    EXPECT_EQ(std::tuple(SimFloat(1, 121), SimFloat(1, 123)), std::tuple(3.0f, 4.0f));
    Mark();
    EXPECT_EQ(sensor.WriteFluorCalPairB(3, 1.0f, 2.0f), FLUOR_E_PAIR_INDEX);
    EXPECT_EQ(sensor.WriteFluorCalPairA(0, 1.0f, 2.0f), FLUOR_E_PAIR_INDEX);
    EXPECT_EQ(FramesSinceMark(), 0u);
    RefuseWrites(Register(1, 147), 2);
    EXPECT_EQ(sensor.WriteSegment2Slope(1.0f), FLUOR_E_WRITE);
    RefuseReads(Register(1, 149), 2);
    float value = 0.0f;
    EXPECT_EQ(sensor.ReadSegment2Offset(value), FLUOR_E_READ);
    // Without a temperature sensor: 25 degrees Celsius, and no unit to have or set.
    const Reading temperature = ReadOf(sensor, &ISensor_Fluorometer::ReadTemperature);
    EXPECT_EQ(std::tuple(temperature.hr, temperature.value, temperature.unit),
              std::tuple(S_OK, 25.0f, UNIT_CELSIUS));
    USHORT unit = 0;
    EXPECT_EQ(sensor.GetTemperatureUnit(unit), E_FAIL);
    EXPECT_EQ(unit, UNIT_CELSIUS);
    EXPECT_EQ(sensor.SetTemperatureUnit(2), E_FAIL);
}

TEST_P(SondeFluorometer, TheNoteOfItsKindWithTheSegmentsAsKept)
{
    ISensor_Fluorometer& sensor = Start();
    SetSimFloat(1, 119, 1.9f);
    SetSimFloat(1, 129, 0.5f);
    SetSimFloat(1, 131, 3.0f);
    SetSimFloat(1, 147, 2.0f);
    SetSimFloat(1, 149, -1.0f);
    Mark();
    EXPECT_EQ(sensor.WriteCalibrationNote(), E_FAIL);
    EXPECT_EQ(SettingReads(ReadsSinceMark()), 0u);
    StartLog();
    ASSERT_EQ(sensor.WriteCalibrationNote(), S_OK);
    ASSERT_EQ(NoteSubTypes(Probe()), std::vector<uint8_t>{GetParam().second});
    CNVUserNote_Calibrate_ChlorophyllA note; // the layout of all four
    NVSystem::CNVLogNotesRecord record;
    const probesim::LogNote logged = Notes().at(0);
    record.m_nNoteType = NVSystem::NOTE_TYPE_USER;
    record.m_nSubType = CNVUserNote_Calibrate_ChlorophyllA::kSubType;
    record.m_nFlags = logged.Flags();
    record.m_Payload = testsupport::ToBuffer(logged.Payload());
    ASSERT_EQ(note.Load(record), S_OK);
    EXPECT_EQ(note.GetCalibrationCount(), 1);
    EXPECT_EQ(std::vector<float>({note.GetSlope1(), note.GetOffset1(), note.GetSlope2(), note.GetOffset2()}),
              (std::vector<float>{0.5f, 3.0f, 2.0f, -1.0f}));
    // A segment that cannot be read leaves no note and says so by the segment read's code.
    RefuseReads(Register(1, 147), 2);
    EXPECT_EQ(sensor.WriteCalibrationNote(), FLUOR_E_READ);
    EXPECT_EQ(Notes().size(), 1u);
}

} // namespace
} // namespace modeltest
