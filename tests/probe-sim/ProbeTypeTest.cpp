// Probes of every accepted device type built from their presets, and the register windows of their
// sensors: the optical DO floats, conductivity, level, depth and pH/ORP, with the calibration mode
// that makes the readings raw and the update that takes the user calibration.
#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "tests/probe-sim/WireClient.h"
#include "tools/probe-sim/ConductivitySensor.h"
#include "tools/probe-sim/PhOrpSensor.h"
#include "tools/probe-sim/PressureSensors.h"
#include "tools/probe-sim/ProbePresets.h"

namespace probesim_test
{
namespace
{

using probesim::Instrument;
using probesim::ProbeSimulator;
namespace reg = probesim::reg;
namespace levelsensor = probesim::levelsensor;
namespace phsensor = probesim::phsensor;

constexpr uint8_t kReadOnly = 0x82;
constexpr uint8_t kIllegalFieldValue = 0x84;
constexpr uint8_t kIllegalDataAddress = 0x02;

constexpr uint16_t Base(uint16_t connection)
{
    return static_cast<uint16_t>(40001 + 200 * (connection - 1));
}
constexpr uint16_t Value(uint16_t connection, uint16_t parameter)
{
    return static_cast<uint16_t>(Base(connection) + 29 + 8 * parameter);
}
constexpr uint16_t Command(uint16_t connection)
{
    return static_cast<uint16_t>(49305 + 5 * (connection - 1));
}

struct Probe
{
    explicit Probe(uint16_t type, probesim::ProbeSensors sensors = probesim::ProbeSensors::All)
        : probe(MakeProbe(type, sensors))
    {
    }

    std::unique_ptr<Instrument> MakeProbe(uint16_t type, probesim::ProbeSensors sensors)
    {
        probesim::InstrumentConfig config = probesim::ProbeConfig(type, 4711);
        config.sleeps = false;
        return probesim::MakeProbe(sim, config, sensors);
    }

    // Every read measures afresh, as the calibration dialogs make it.
    void NoCache() { ASSERT_EQ(client.Write(1, reg::kMeasurementCacheTimeout, {0}), std::nullopt); }
    float Read(uint16_t number) { return client.ReadFloat(1, number).value_or(NAN); }

    ProbeSimulator sim;
    std::unique_ptr<Instrument> probe;
    WireClient client{sim.SlavePath()};
};

TEST(ProbePresets, EveryAcceptedTypeReportsItselfWithItsSensorsOnTheirConnections)
{
    const std::map<uint16_t, std::vector<uint16_t>> sensorIds = {
        {12, {42}},    {19, {42}}, {31, {42}},         {35, {42}},
        {36, {42}},    {37, {42}}, {39, {42, 85, 84}}, {18, {42, 35, 4, 27}},
        {1, {4}},      {2, {4}},   {4, {4}},           {30, {4}},
        {6, {4}},      {8, {4}},   {15, {4}},          {16, {4}},
        {0x8003, {2}}, {13, {}},
    };
    for (const auto& [type, ids] : sensorIds)
    {
        SCOPED_TRACE("device type " + std::to_string(type));
        ASSERT_TRUE(probesim::HasPreset(type));
        Probe p(type);
        const auto identity = p.client.Ask(ReportSlaveId(1));
        ASSERT_TRUE(identity);
        // Byte count, marker, run indicator, format, marker word, then the device type.
        EXPECT_EQ((identity->data[6] << 8) | identity->data[7], type);
        EXPECT_EQ(p.client.Read(1, reg::kDeviceType, 1), (Values{type}));
        const auto table = p.client.Read(1, reg::kSensorCount, 3);
        ASSERT_TRUE(table);
        EXPECT_EQ(table->at(0), ids.size());
        EXPECT_EQ(table->at(2), (1u << ids.size()) - 1); // the low word of the connection mask
        for (uint16_t k = 1; k <= ids.size(); ++k)
        {
            const auto offset =
                p.client.Read(1, static_cast<uint16_t>(reg::kFirstConnection + 5 * (k - 1) + 4), 1);
            ASSERT_TRUE(offset);
            EXPECT_EQ(offset->at(0) + 40000, Base(k));
            EXPECT_EQ(p.client.Read(1, Base(k), 3), (Values{ids[k - 1], 0, static_cast<uint16_t>(47110 + k)}))
                << "connection " << k << ": sensor id and serial number";
        }
    }
    EXPECT_FALSE(probesim::HasPreset(3));
    ProbeSimulator sim;
    EXPECT_THROW(probesim::MakeProbe(sim, 3), std::invalid_argument);
}

TEST(ProbePresets, OpticalDoFloatsLieAt40118To40140InTheirDocumentedOrder)
{
    for (uint16_t type : {12, 19, 31, 35, 36, 37})
    {
        Probe p(type);
        const auto floats = p.client.Read(1, 40118, 24);
        ASSERT_TRUE(floats) << type;
        // Live and default salinity, live and default baro, DO/temperature/salinity/baro at 100 %,
        // DO and temperature at 0 %, slope, offset.
        const float expected[] = {0.0f, 0.0f,     1013.25f, 1013.25f, 8.0f, 25.0f,
                                  0.0f, 1013.25f, 0.0f,     25.0f,    1.0f, 0.0f};
        for (size_t i = 0; i < 12; ++i)
            EXPECT_EQ(FloatAt(*floats, 2 * i), expected[i])
                << "type " << type << ", register " << 40118 + 2 * i;
        // The live and default values are separate registers: the PC writes both.
        EXPECT_EQ(p.client.WriteFloat(1, 40120, 35.0f), std::nullopt);
        EXPECT_EQ(p.Read(40118), 0.0f);
    }
}

TEST(ProbePresets, CoreProbeWithAndWithoutItsDepthSensor)
{
    Probe two(39, probesim::ProbeSensors::WithoutDepth);
    EXPECT_EQ(two.client.Read(1, reg::kSensorCount, 1), (Values{2}));
    EXPECT_EQ(ExceptionOf(two.client.Ask(ReadHolding(1, Base(3), 1))), kIllegalDataAddress);

    Probe p(39);
    EXPECT_EQ(p.client.Read(1, reg::kSensorCount, 1), (Values{3}));
    // The conductivity sensor has no temperature of its own: parameter 2 is the specific conductance.
    EXPECT_EQ(p.client.Read(1, static_cast<uint16_t>(Value(2, 1) + 2), 2), (Values{9, 65}));
    EXPECT_EQ(p.client.Read(1, static_cast<uint16_t>(Value(2, 2) + 2), 2), (Values{10, 65}));
    EXPECT_EQ(p.client.Read(1, Base(2) + 18, 1), (Values{6}));
    // Its calibration block: reference temperature, alpha, eight coefficients; then TDS factor, cell
    // constant and cell offset.
    const auto block = p.client.Read(1, Base(2) + 117, 26);
    ASSERT_TRUE(block);
    EXPECT_EQ(FloatAt(*block, 0), 25.0f);
    EXPECT_EQ(FloatAt(*block, 2), 0.0191f);
    EXPECT_EQ(FloatAt(*block, 4), 1.0f);
    EXPECT_EQ(FloatAt(*block, 18), 0.0f);
    EXPECT_EQ(FloatAt(*block, 20), 0.65f);
    EXPECT_EQ(FloatAt(*block, 22), 1.0f);
    EXPECT_EQ(FloatAt(*block, 24), 0.0f);
    // The depth sensor: pressure and depth, density correction on, depth calibration values.
    EXPECT_EQ(p.client.Read(1, static_cast<uint16_t>(Value(3, 2) + 2), 2), (Values{3, 35}));
    EXPECT_EQ(p.Read(Base(3) + 119), 1.0f);
    EXPECT_EQ(p.Read(Base(3) + 123), 0.0f);
    const float pressure = p.Read(Value(3, 1));
    const float depth = p.Read(Value(3, 2));
    EXPECT_NEAR(depth, pressure * 0.70307f, 0.01f);
}

TEST(SensorCalibration, ZeroingReadsRawInCalibrationModeAndCountsFromTheUpdate)
{
    // As the pressure calibration dialog zeroes the depth sensor of the core probe.
    Probe p(39);
    p.NoCache();
    const uint16_t pressure = Value(3, 1);
    const uint16_t offset = Base(3) + 123;
    ASSERT_EQ(p.client.Write(1, Command(3), {0xE000}), std::nullopt);
    const float raw = p.Read(pressure);
    EXPECT_NEAR(raw, 5.0f, 0.05f);
    ASSERT_EQ(p.client.WriteFloat(1, offset, raw), std::nullopt);
    EXPECT_NEAR(p.Read(pressure), raw, 0.01f) << "calibrating, the sensor reads raw";
    ASSERT_EQ(p.client.Write(1, Command(3), {0xE001}), std::nullopt);
    ASSERT_EQ(p.client.Write(1, Command(3), {0xE002}), std::nullopt);
    EXPECT_NEAR(p.Read(pressure), 0.0f, 0.01f);
    EXPECT_NEAR(p.Read(Value(3, 2)), 0.0f, 0.01f);
    // Zeroing again starts from the raw reading, not from the zeroed one.
    ASSERT_EQ(p.client.Write(1, Command(3), {0xE000}), std::nullopt);
    EXPECT_NEAR(p.Read(pressure), raw, 0.01f);
    ASSERT_EQ(p.client.Write(1, Command(3), {0xE002}), std::nullopt);

    // A write outside calibration is stored but not used; the factory restore of the calibration
    // brings the raw reading back.
    ASSERT_EQ(p.client.WriteFloat(1, offset, 1.0f), std::nullopt);
    EXPECT_EQ(p.probe->Sensors().SettingInUse(3, 123), raw);
    ASSERT_EQ(p.client.Write(1, Command(3), {0xE003}), std::nullopt);
    EXPECT_EQ(p.Read(offset), 0.0f);
    EXPECT_NEAR(p.Read(pressure), raw, 0.01f);
}

TEST(SensorCalibration, ConductivityCellConstantIsUserCalibration)
{
    Probe p(18);
    p.NoCache();
    const float actual = p.Read(Value(2, 1));
    const float specific = p.Read(Value(2, 3));
    EXPECT_GT(actual, 300.0f);
    EXPECT_EQ(p.client.Read(1, static_cast<uint16_t>(Value(2, 2) + 2), 1), (Values{1})); // temperature
    ASSERT_EQ(p.client.WriteFloat(1, Base(2) + 129, 2.0f), std::nullopt);
    EXPECT_NEAR(p.Read(Value(2, 1)), actual, actual * 0.01f);
    ASSERT_EQ(p.client.Write(1, Command(2), {0xE000}), std::nullopt);
    ASSERT_EQ(p.client.Write(1, Command(2), {0xE001}), std::nullopt);
    ASSERT_EQ(p.client.Write(1, Command(2), {0xE002}), std::nullopt);
    EXPECT_NEAR(p.Read(Value(2, 1)), 2 * actual, actual * 0.02f);
    EXPECT_NEAR(p.Read(Value(2, 3)), 2 * specific, specific * 0.02f);
    // A unit of its class converts the value; the TDS factor scales TDS at once.
    ASSERT_EQ(p.client.Write(1, static_cast<uint16_t>(Value(2, 1) + 3), {66}), std::nullopt);
    EXPECT_NEAR(p.Read(Value(2, 1)), 2 * actual / 1000.0f, actual * 0.00002f);
    const float tds = p.Read(Value(2, 6));
    ASSERT_EQ(p.client.WriteFloat(1, Base(2) + 151, 1.3f), std::nullopt);
    EXPECT_NEAR(p.Read(Value(2, 6)), 2 * tds, tds * 0.02f);
}

TEST(LevelSensor, LevelModeIsTheLevelParametersIdAndTheReferenceTakesThePressure)
{
    Probe p(18);
    p.NoCache();
    const uint16_t mode = Base(3) + levelsensor::kLevelMode;
    EXPECT_EQ(p.client.Read(1, mode, 1), (Values{3}));
    const float depth = p.Read(Value(3, 3));
    EXPECT_NEAR(depth, p.Read(Value(3, 1)) * 0.70307f, 0.01f);
    EXPECT_EQ(p.client.Write(1, mode, {7}), kIllegalFieldValue);
    EXPECT_EQ(p.client.Write(1, static_cast<uint16_t>(Value(3, 1) + 2), {3}), kReadOnly) << "pressure's id";

    ASSERT_EQ(p.client.Write(1, mode, {levelsensor::kDepthToWater}), std::nullopt);
    ASSERT_EQ(p.client.WriteFloat(1, Base(3) + levelsensor::kLevelReference, 12.5f), std::nullopt);
    const float reference = p.Read(Base(3) + levelsensor::kPressureReference);
    EXPECT_NEAR(reference, 5.0f, 0.05f);
    EXPECT_NEAR(p.Read(Value(3, 3)), 12.5f, 0.01f);
    ASSERT_EQ(p.client.Write(1, mode, {levelsensor::kSurfaceElevation}), std::nullopt);
    EXPECT_NEAR(p.Read(Value(3, 3)), 12.5f, 0.01f);
    // One PSI more pressure at the reference: the water stands 0.70307 m lower than then.
    ASSERT_EQ(p.client.WriteFloat(1, Base(3) + levelsensor::kPressureReference, reference - 1.0f),
              std::nullopt);
    EXPECT_NEAR(p.Read(Value(3, 3)), 12.5f + 0.70307f, 0.01f);
    ASSERT_EQ(p.client.Write(1, mode, {levelsensor::kDepthToWater}), std::nullopt);
    EXPECT_NEAR(p.Read(Value(3, 3)), 12.5f - 0.70307f, 0.01f);

    // The specific gravity divides the depth; 47003 of this probe is there to be cleared.
    ASSERT_EQ(p.client.Write(1, mode, {levelsensor::kDepthOfProbe}), std::nullopt);
    ASSERT_EQ(p.client.WriteFloat(1, Base(3) + levelsensor::kSpecificGravity, 2.0f), std::nullopt);
    EXPECT_NEAR(p.Read(Value(3, 3)), depth / 2, 0.01f);
    EXPECT_EQ(p.client.Read(1, 47003, 1), (Values{1}));
    EXPECT_EQ(p.client.Write(1, 47003, {0}), std::nullopt);

    // The factory restore of the sensor brings the level mode back with everything else.
    ASSERT_EQ(p.client.Write(1, Command(3), {0xE004}), std::nullopt);
    EXPECT_EQ(p.client.Read(1, mode, 1), (Values{3}));
    EXPECT_EQ(p.Read(Base(3) + levelsensor::kSpecificGravity), 1.0f);
}

TEST(LevelSensor, AReferenceSetWhileCalibratingKeepsTheZeroedPressure)
{
    // The multi-sensor probe's level adapter zeroes, then sets the reference inside calibration mode.
    Probe p(18);
    p.NoCache();
    const auto calibrate = [&p](uint16_t offset, float value)
    {
        ASSERT_EQ(p.client.Write(1, Command(3), {0xE000}), std::nullopt);
        ASSERT_EQ(p.client.WriteFloat(1, Base(3) + offset, value), std::nullopt);
        ASSERT_EQ(p.client.Write(1, Command(3), {0xE001}), std::nullopt);
        ASSERT_EQ(p.client.Write(1, Command(3), {0xE002}), std::nullopt);
    };
    calibrate(levelsensor::kPressureOffset, p.Read(Value(3, 1)));
    ASSERT_EQ(p.client.Write(1, Base(3) + levelsensor::kLevelMode, {levelsensor::kDepthToWater}),
              std::nullopt);
    calibrate(levelsensor::kLevelReference, 2.0f);
    EXPECT_NEAR(p.Read(Base(3) + levelsensor::kPressureReference), 0.0f, 0.01f);
    EXPECT_NEAR(p.Read(Value(3, 3)), 2.0f, 0.01f);
}

TEST(LevelSensor, PressureAndLevelFollowTheirUnits)
{
    Probe p(18);
    p.NoCache();
    const float psi = p.Read(Value(3, 1));
    const float metres = p.Read(Value(3, 3));
    ASSERT_EQ(p.client.Write(1, static_cast<uint16_t>(Value(3, 1) + 3), {19}), std::nullopt); // kPa
    ASSERT_EQ(p.client.Write(1, static_cast<uint16_t>(Value(3, 3) + 3), {38}), std::nullopt); // ft
    EXPECT_NEAR(p.Read(Value(3, 1)), psi * 6.894757f, 0.05f);
    EXPECT_NEAR(p.Read(Value(3, 3)), metres * 3.28084f, 0.01f);
    EXPECT_EQ(p.client.Write(1, static_cast<uint16_t>(Value(3, 1) + 3), {26}), kIllegalFieldValue); // Torr
}

TEST(PhOrpSensor, WordsFloatsPointsAndSegmentsWhereTheAdapterLooks)
{
    Probe p(18);
    p.NoCache();
    const uint16_t b = Base(4);
    EXPECT_EQ(p.client.Read(1, b + phsensor::kPointCount, 1), (Values{2}));
    EXPECT_EQ(p.client.Read(1, b + phsensor::kOrpCalibrationWord, 1), (Values{0}));
    const auto point2 = p.client.Read(1, b + 124, 6);
    ASSERT_TRUE(point2);
    EXPECT_EQ(FloatAt(*point2, 0), 4.0f);
    EXPECT_NEAR(FloatAt(*point2, 2), 177.48f, 0.01f);
    EXPECT_EQ(FloatAt(*point2, 4), 25.0f);
    EXPECT_EQ(p.Read(b + 142), 7.0f); // segment 2 offset
    EXPECT_EQ(p.Read(b + 151), 1.0f); // ORP slope
    EXPECT_EQ(p.client.Write(1, b + phsensor::kPointCount, {3}), std::nullopt);
    EXPECT_EQ(p.client.Read(1, b + phsensor::kPointCount, 1), (Values{3}));

    // pH from the electrode's mV by segment 1 of the factory calibration.
    const float ph = p.Read(Value(4, 1));
    const float mv = p.Read(Value(4, 2));
    EXPECT_NEAR(ph, 7.0f - mv / 59.16f, 0.01f);
    EXPECT_NEAR(ph, 7.2f, 0.35f);

    // The ORP offset counts once calibrated.
    const float orp = p.Read(Value(4, 3));
    ASSERT_EQ(p.client.Write(1, Command(4), {0xE000}), std::nullopt);
    ASSERT_EQ(p.client.WriteFloat(1, b + phsensor::kOrpOffset, 10.0f), std::nullopt);
    EXPECT_NEAR(p.Read(Value(4, 3)), orp, 0.5f);
    ASSERT_EQ(p.client.Write(1, Command(4), {0xE001}), std::nullopt);
    ASSERT_EQ(p.client.Write(1, Command(4), {0xE002}), std::nullopt);
    EXPECT_NEAR(p.Read(Value(4, 3)), orp + 10.0f, 0.5f);
}

TEST(SensorDescriptions, RefuseWhatTheRegistersCannotCarry)
{
    probesim::SimSensor word = probesim::PhOrpSensor();
    word.settings.push_back(probesim::SensorSetting::Float(144, 0.0f)); // over the ORP word
    EXPECT_THROW(probesim::WindowRegisters(word), std::invalid_argument);

    probesim::SimSensor level = probesim::LevelSensor();
    level.parameters[2].otherIds.push_back(2); // a pressure id for the level
    EXPECT_THROW(probesim::WindowRegisters(level), std::invalid_argument);

    probesim::SimSensor capture = probesim::LevelSensor();
    capture.captures.push_back({levelsensor::kLevelReference, 4, levelsensor::kPressureReference});
    EXPECT_THROW(probesim::WindowRegisters(capture), std::invalid_argument);
    capture.captures.back() = {levelsensor::kLevelReference, 1, 107};
    EXPECT_THROW(probesim::WindowRegisters(capture), std::invalid_argument);

    // The level sensor ends where the 40xxx loggers' family registers begin.
    EXPECT_EQ(probesim::WindowRegisters(probesim::LevelSensor()), 107);
}

} // namespace
} // namespace probesim_test
