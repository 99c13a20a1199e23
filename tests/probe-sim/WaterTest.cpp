// The water the simulated sensors measure: the published formulas they go by, what each sensor
// reports of a given water over the line, and how a probe in a calibration standard settles within
// the stability limits a calibration asks for.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "tests/probe-sim/WireClient.h"
#include "tools/probe-sim/ConductivitySensor.h"
#include "tools/probe-sim/PhOrpSensor.h"
#include "tools/probe-sim/ProbePresets.h"
#include "tools/probe-sim/Water.h"
#include "tools/probe-sim/WaterPhysics.h"

namespace probesim_test
{
namespace
{

using namespace probesim;

TEST(WaterPhysics, SolubilityDensityAndSalinityMatchThePublishedTables)
{
    // Oxygen from water-saturated air, mg/L.
    EXPECT_NEAR(OxygenSolubility(0.0), 14.62, 0.01);
    EXPECT_NEAR(OxygenSolubility(20.0), 9.09, 0.01);
    EXPECT_NEAR(OxygenSolubility(25.0), 8.26, 0.01);
    EXPECT_NEAR(OxygenSolubility(25.0, 35.0), 6.77, 0.01);
    EXPECT_NEAR(OxygenSolubility(20.0, 0.0, 900.0), 8.05, 0.01) << "675 mmHg";
    EXPECT_NEAR(WaterVapourPressure(25.0), 31.7, 0.1);
    EXPECT_NEAR(NernstSlope(25.0), 59.16, 1e-9);
    EXPECT_NEAR(NernstSlope(10.0), 59.16 * 283.15 / 298.15, 1e-9);

    // Density, g/cm3: fresh water is densest near 4 C; sea water at 25 C.
    EXPECT_NEAR(WaterDensity(4.0, 0.0), 0.99997, 0.00001);
    EXPECT_GT(WaterDensity(4.0, 0.0), WaterDensity(0.0, 0.0));
    EXPECT_NEAR(WaterDensity(25.0, 35.0), 1.02334, 0.00001);

    // Standard sea water defines 35 at 15 C; the 1413 µS/cm standard is brackish.
    EXPECT_NEAR(PracticalSalinity(42914.0, 15.0), 35.0, 0.001);
    EXPECT_NEAR(PracticalSalinity(1413.0, 25.0), 0.70, 0.03);
    EXPECT_EQ(PracticalSalinity(0.0, 25.0), 0.0);
    EXPECT_NEAR(SalinityPpt(35.0), 35.165, 0.001);
}

// A multi-sensor probe in water the test describes.
class InWater : public ::testing::Test
{
protected:
    InWater()
    {
        InstrumentConfig config = ProbeConfig(18, 4711);
        config.sleeps = false;
        config.measurementCacheTimeout = 0;
        config.quickSensors = true;
        probe = MakeProbe(sim, config);
        probe->Registers().SetU16(reg::kMeasurementCacheTimeout, 0);
    }

    void Put(double celsius, double ph = 7.0, double conductance = 1413.0, double saturation = 100.0)
    {
        Water water;
        water.celsius = [celsius](double) { return celsius; };
        water.ph = [ph](double) { return ph; };
        water.specificConductance = [conductance](double) { return conductance; };
        water.oxygenSaturation = [saturation](double) { return saturation; };
        water.orp = [](double) { return 200.0; };
        probe->Sensors().SetWater(water);
    }
    uint16_t Block(uint16_t connection, uint16_t parameter)
    {
        return static_cast<uint16_t>(probe->Sensors().Base(connection) + ParameterBlockOffset(parameter));
    }
    float Read(uint16_t connection, uint16_t parameter)
    {
        return FloatAt(client.Read(1, Block(connection, parameter), 2).value_or(Values(2)));
    }
    bool SetUnit(uint16_t connection, uint16_t parameter, uint16_t unit)
    {
        return client.Write(1, Block(connection, parameter) + block::kUnitId, {unit}) == std::nullopt;
    }
    bool SetFloat(uint16_t connection, uint16_t offset, float value)
    {
        return client.Write(1, probe->Sensors().Base(connection) + offset, FloatWords(value)) == std::nullopt;
    }

    ProbeSimulator sim;
    std::unique_ptr<Instrument> probe;
    WireClient client{sim.SlavePath()};
};

TEST_F(InWater, ThePhElectrodeFollowsNernstAtTheWatersTemperatureAndThePhIsCompensated)
{
    constexpr uint16_t kPh = 4;
    for (double celsius : {25.0, 10.0})
    {
        SCOPED_TRACE(celsius);
        Put(celsius, 4.0);
        const float acid = Read(kPh, phsensor::kPhMillivolts);
        Put(celsius, 10.0);
        const float base = Read(kPh, phsensor::kPhMillivolts);
        // Acid is positive; six pH units apart, a little short of the ideal slope.
        EXPECT_GT(acid, 0.0f);
        EXPECT_LT(base, 0.0f);
        EXPECT_NEAR((acid - base) / 6.0, 0.98 * NernstSlope(celsius), 0.01);
        // The factory calibration, compensated to the water's temperature, reads about right.
        EXPECT_NEAR(Read(kPh, phsensor::kPh), 7.0 + 0.98 * 3.0 - 6.0 / NernstSlope(celsius), 0.001);
    }
    // pH 7 comes with a few millivolts, not pH 7.2 with none.
    Put(25.0, 7.2);
    const float mv = Read(kPh, phsensor::kPhMillivolts);
    EXPECT_NEAR(mv, 6.0 - 0.98 * 59.16 * 0.2, 0.01);
    EXPECT_NEAR(Read(kPh, phsensor::kPh), 7.0 - mv / 59.16, 0.001);

    // The electrode's millivolts and the ORP in every voltage unit offered.
    ASSERT_TRUE(SetUnit(kPh, phsensor::kPhMillivolts, 161));
    EXPECT_NEAR(Read(kPh, phsensor::kPhMillivolts), mv * 1000.0f, 1.0f);
    EXPECT_NEAR(Read(kPh, phsensor::kPh), 7.0 - mv / 59.16, 0.001) << "the pH goes by the millivolts";
    ASSERT_TRUE(SetUnit(kPh, phsensor::kPhMillivolts, 163));
    EXPECT_NEAR(Read(kPh, phsensor::kPhMillivolts), mv / 1000.0f, 1e-6);
    const float orp = Read(kPh, phsensor::kOrp);
    ASSERT_TRUE(SetUnit(kPh, phsensor::kOrp, 163));
    EXPECT_NEAR(Read(kPh, phsensor::kOrp), orp / 1000.0f, 1e-6);
}

TEST_F(InWater, ConductivityGoesWithTemperatureAndTheSensorCompensatesToItsReference)
{
    constexpr uint16_t kConductivity = 2;
    constexpr uint16_t kActual = 1, kSpecific = 3, kSalinity = 5, kDensity = 7;
    constexpr double kCell = 0.975; // the fouled cell
    Put(15.0);
    const float actual = Read(kConductivity, kActual);
    EXPECT_NEAR(actual, 1413.0 * (1.0 - 0.0191 * 10.0) * kCell, 0.1);
    EXPECT_NEAR(Read(kConductivity, kSpecific), 1413.0 * kCell, 0.1);
    const float psu = Read(kConductivity, kSalinity);
    EXPECT_NEAR(psu, PracticalSalinity(actual, 15.0), 1e-4);
    EXPECT_NEAR(Read(kConductivity, kDensity), WaterDensity(15.0, psu), 1e-6);
    ASSERT_TRUE(SetUnit(kConductivity, kSalinity, 98));
    EXPECT_NEAR(Read(kConductivity, kSalinity), SalinityPpt(psu), 1e-4);
    ASSERT_TRUE(SetUnit(kConductivity, kActual, 66));
    EXPECT_NEAR(Read(kConductivity, kActual), actual / 1000.0f, 1e-4);

    // Brought to 20 C instead of 25 C.
    ASSERT_TRUE(SetFloat(kConductivity, kProbeConductivity.referenceTemperature, 20.0f));
    EXPECT_NEAR(Read(kConductivity, kSpecific), actual / (1.0 - 0.0191 * 5.0), 0.1);
}

TEST_F(InWater, OxygenFollowsSolubilityAtTheSalinityAndPressureTheSensorWasTold)
{
    constexpr uint16_t kOxygen = 1;
    constexpr double kCap = 0.975; // the aged cap
    Put(25.0);
    EXPECT_NEAR(Read(kOxygen, dosensor::kSaturation), 100.0 * kCap, 0.01);
    EXPECT_NEAR(Read(kOxygen, dosensor::kConcentration), 8.263 * kCap, 0.002);
    ASSERT_TRUE(SetUnit(kOxygen, dosensor::kConcentration, 113));
    EXPECT_NEAR(Read(kOxygen, dosensor::kConcentration), 8.263 * kCap / WaterDensity(25.0, 0.0), 0.002)
        << "ppm by mass";
    ASSERT_TRUE(SetUnit(kOxygen, dosensor::kConcentration, 118));
    EXPECT_NEAR(Read(kOxygen, dosensor::kConcentration), 8263.0 * kCap, 2.0);
    ASSERT_TRUE(SetUnit(kOxygen, dosensor::kConcentration, 117));

    ASSERT_TRUE(SetFloat(kOxygen, dosensor::kLiveSalinity, 35.0f));
    EXPECT_NEAR(Read(kOxygen, dosensor::kConcentration), 6.772 * kCap, 0.002);
    // Told of a lower pressure than there is, the sensor finds the water over-saturated.
    ASSERT_TRUE(SetFloat(kOxygen, dosensor::kLiveSalinity, 0.0f));
    ASSERT_TRUE(SetFloat(kOxygen, dosensor::kLiveBaro, 900.0f));
    const double over =
        (kStandardAtmosphere - WaterVapourPressure(25.0)) / (900.0 - WaterVapourPressure(25.0));
    EXPECT_NEAR(Read(kOxygen, dosensor::kSaturation), 100.0 * kCap * over, 0.01);
    EXPECT_NEAR(Read(kOxygen, dosensor::kPartialPressure),
                kOxygenInAir * (kStandardAtmosphere - 31.676) * kCap * 0.750062, 0.05)
        << "Torr: the oxygen pressure itself";
    ASSERT_TRUE(SetUnit(kOxygen, dosensor::kPartialPressure, 21));
    EXPECT_NEAR(Read(kOxygen, dosensor::kPartialPressure),
                kOxygenInAir * (kStandardAtmosphere - 31.676) * kCap, 0.05);
}

TEST_F(InWater, CalibrationModePutsTheProbeIntoTheStandardAndTakesItOut)
{
    const uint16_t command = SensorCommandRegisterOf(4);
    EXPECT_FALSE(probe->Sensors().InStandard());
    ASSERT_EQ(client.Write(1, command, {kSensorCalModeOn}), std::nullopt);
    EXPECT_TRUE(probe->Sensors().InStandard());
    ASSERT_EQ(client.Write(1, SensorCommandRegisterOf(3), {kSensorCalModeOn}), std::nullopt);
    ASSERT_EQ(client.Write(1, command, {kSensorCalModeOff}), std::nullopt);
    EXPECT_FALSE(probe->Sensors().InStandard()) << "a level sensor calibrates in place";
    ASSERT_EQ(client.Write(1, SensorCommandRegisterOf(2), {kSensorCalModeOn}), std::nullopt);
    probe->Sensors().Unplug(2);
    EXPECT_FALSE(probe->Sensors().InStandard());
}

// What a sensor reports of the water at a moment, with its factory settings.
double Reading(const SimSensor& sensor, uint16_t parameter, const WaterSample& water)
{
    SampleContext context;
    context.unitId = sensor.parameters.at(parameter - 1u).unitId;
    context.calibration = sensor.calibration;
    context.setting = [&sensor](uint16_t offset) -> std::optional<float>
    {
        const SensorSetting* setting = FindSetting(sensor, offset);
        return setting ? std::optional<float>(setting->value) : std::nullopt;
    };
    context.water = water;
    return sensor.parameters.at(parameter - 1u).value(context);
}

// Cycles of the period from the moment the probe went into the standard until `rule` held for
// `window` cycles in a row; 0 when it never did within 10 minutes.
template <typename Rule>
int CyclesUntilStable(double period, int window, Rule rule)
{
    const Water water;
    const double since = 37.0; // somewhere in the river's waves
    int run = 0;
    for (int cycle = 1; cycle * period <= 600.0; ++cycle)
    {
        run = rule(water.At(since + (cycle - 1) * period, since), water.At(since + cycle * period, since))
                  ? run + 1
                  : 0;
        if (run == window)
            return cycle;
    }
    return 0;
}

TEST(CalibrationStandard, EachSensorSettlesWithinTheStabilityLimitsAfterAPlausibleTime)
{
    // Oxygen every 5 s: 12 changes below 0.1 mg/L and 0.25 C.
    const SimSensor oxygen = OpticalDoSensor();
    const int oxygenCycles =
        CyclesUntilStable(5.0, 12,
                          [&](const WaterSample& a, const WaterSample& b)
                          {
                              return std::abs(Reading(oxygen, dosensor::kConcentration, b) -
                                              Reading(oxygen, dosensor::kConcentration, a)) < 0.1 &&
                                     std::abs(b.celsius - a.celsius) < 0.25;
                          });
    EXPECT_GT(oxygenCycles, 12) << "the probe must settle first";
    EXPECT_LE(oxygenCycles, 24) << "within two minutes";

    // pH every 3 s: 21 samples within 1 mV.
    const SimSensor ph = PhOrpSensor();
    std::vector<double> mv;
    const Water water;
    for (int cycle = 0; cycle < 200; ++cycle)
        mv.push_back(Reading(ph, phsensor::kPhMillivolts, water.At(10.0 + 3.0 * cycle, 10.0)));
    const auto spanFrom = [&](size_t first, size_t count)
    {
        const auto [low, high] = std::minmax_element(mv.begin() + first, mv.begin() + first + count);
        return *high - *low;
    };
    EXPECT_GT(spanFrom(0, 21), 1.0);
    EXPECT_LT(spanFrom(20, 21), 1.0) << "full within two minutes";
    EXPECT_LT(spanFrom(179, 21), 0.01) << "and stays";

    // Conductivity every 4 s: 16 samples within 2 % of the standard at the bench.
    const SimSensor conductivity = ConductivitySensor();
    std::vector<double> actual;
    for (int cycle = 0; cycle < 60; ++cycle)
        actual.push_back(Reading(conductivity, 1, water.At(10.0 + 4.0 * cycle, 10.0)));
    const auto [low, high] = std::minmax_element(actual.begin() + 30, actual.begin() + 46);
    EXPECT_LT(*high - *low, 0.02 * actual.back());
    EXPECT_NEAR(actual.back(), 1413.0 * 0.975 * (1.0 + 0.0191 * (standard::kBenchCelsius - 25.0)), 1.0);

    // ZoBell's solution and the pH 7 buffer at the bench.
    const WaterSample settled = water.At(1000.0, 10.0);
    EXPECT_NEAR(settled.celsius, standard::kBenchCelsius, 1e-6);
    EXPECT_NEAR(settled.orp, 261.78 - 1.3068 * standard::kBenchCelsius, 1e-6);
    EXPECT_NEAR(settled.ph, 7.01, 0.01);
    EXPECT_NEAR(settled.oxygenSaturation, 100.0, 1e-6);
    // Without standards (a test's own dials) the water stays what it is.
    Water dialled;
    dialled.standards = false;
    EXPECT_EQ(dialled.At(1000.0, 10.0).celsius, dialled.At(1000.0).celsius);
}

} // namespace
} // namespace probesim_test
