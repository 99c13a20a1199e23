// Live values: the measurement cache, the time a measurement takes, the warm-up after every
// power-up and the quality codes the values carry.
#include <gtest/gtest.h>

#include <bit>
#include <thread>

#include "tests/probe-sim/WireClient.h"
#include "tools/probe-sim/Instrument.h"

namespace probesim_test
{
namespace
{

using probesim::Instrument;
using probesim::InstrumentConfig;
using probesim::OpticalDoSensor;
using probesim::ProbeSimulator;
using probesim::SimSensor;
using Steady = std::chrono::steady_clock;
namespace reg = probesim::reg;

constexpr uint16_t kTemperature = 40001 + 29 + 16; // block of parameter 2
constexpr uint16_t kAllBlocks = 40001 + 37;

float ValueOf(const std::optional<Values>& block)
{
    return std::bit_cast<float>(uint32_t{block.value().at(0)} << 16 | block.value().at(1));
}

struct Timed
{
    std::optional<Values> values;
    std::chrono::milliseconds took;
};

Timed TimedRead(WireClient& client, uint16_t number, uint16_t count)
{
    const auto start = Steady::now();
    auto values = ValuesOf(client.Ask(ReadHolding(1, number, count), 3000ms));
    return {values, std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - start)};
}

struct Probe
{
    explicit Probe(const SimSensor& sensor, InstrumentConfig config = {.deviceType = 12, .sleeps = false})
        : probe(sim, config)
    {
        probe.Sensors().Add(1, sensor);
    }

    ProbeSimulator sim;
    Instrument probe;
    WireClient client{sim.SlavePath()};
};

TEST(SensorValues, MoveWithTimeButRepeatWithinTheMeasurementCache)
{
    Probe p(OpticalDoSensor());
    EXPECT_EQ(p.probe.MeasurementCacheTimeout(), 1000);
    const float first = ValueOf(p.client.Read(1, kTemperature, 8));
    std::this_thread::sleep_for(60ms);
    EXPECT_EQ(ValueOf(p.client.Read(1, kTemperature, 8)), first);
    EXPECT_EQ(p.probe.Sensors().Measurements(1), 1u);
    // Reading the description alone measures nothing.
    EXPECT_TRUE(p.client.Read(1, kTemperature + 2, 6));
    EXPECT_EQ(p.probe.Sensors().Measurements(1), 1u);

    // Without a cache every read measures afresh.
    EXPECT_EQ(p.client.Write(1, reg::kMeasurementCacheTimeout, {0}), std::nullopt);
    EXPECT_EQ(p.probe.MeasurementCacheTimeout(), 0);
    const float a = ValueOf(p.client.Read(1, kTemperature, 8));
    std::this_thread::sleep_for(60ms);
    const float b = ValueOf(p.client.Read(1, kTemperature, 8));
    EXPECT_NE(a, b);
    EXPECT_EQ(p.probe.Sensors().Measurements(1), 3u);
}

TEST(SensorValues, MeasuringTakesTheSampleRatePerParameterAndTheWarmUpWithoutCache)
{
    SimSensor sensor = OpticalDoSensor();
    sensor.sampleRate = 60ms;
    sensor.warmUp = 200ms;
    Probe p(sensor, {.deviceType = 12, .measurementCacheTimeout = 0, .sleeps = false});
    const Timed all = TimedRead(p.client, kAllBlocks, 32);
    ASSERT_TRUE(all.values);
    EXPECT_GE(all.took, 200ms + 4 * 60ms);
    EXPECT_LT(all.took, 2000ms);
    // Measured after its warm-up, the value is a real one.
    EXPECT_GT(std::bit_cast<float>(uint32_t{all.values->at(8)} << 16 | all.values->at(9)), 0.0f);
    EXPECT_EQ(all.values->at(8 + 4), 0);

    const Timed description = TimedRead(p.client, kAllBlocks + 2, 6);
    EXPECT_LT(description.took, 300ms);
}

TEST(SensorValues, AfterEachPowerUpTheWarmUpGivesTheSentinel)
{
    SimSensor sensor = OpticalDoSensor();
    sensor.warmUp = 300ms;
    sensor.sampleRate = 400ms;
    Probe p(sensor, {.deviceType = 12, .sleepAfter = 5000ms});
    const Timed early = TimedRead(p.client, kTemperature, 8);
    EXPECT_FLOAT_EQ(ValueOf(early.values), -9999.0f);
    EXPECT_EQ(early.values->at(4), probesim::kQualityWarmUp);
    EXPECT_LT(early.took, 300ms); // nothing to measure during the warm-up
    std::this_thread::sleep_for(350ms);
    const auto warm = p.client.Read(1, kTemperature, 8);
    EXPECT_GT(ValueOf(warm), 0.0f);
    EXPECT_EQ(warm->at(4), probesim::kQualityNormal);

    // Waking the instrument powers the sensor up again.
    p.probe.FallAsleep();
    EXPECT_FALSE(p.client.Ask(ReadHolding(1, kTemperature, 8), 150ms));
    const auto woken = p.client.Read(1, kTemperature, 8);
    EXPECT_FLOAT_EQ(ValueOf(woken), -9999.0f);
    EXPECT_EQ(woken->at(4), probesim::kQualityWarmUp);

    // So does plugging it in again.
    std::this_thread::sleep_for(350ms);
    p.probe.Sensors().Unplug(1);
    p.probe.Sensors().Plug(1);
    EXPECT_EQ(p.client.Read(1, kTemperature, 8)->at(4), probesim::kQualityWarmUp);
}

TEST(SensorValues, QualityFollowsTheFactoryDateAndCanBeForced)
{
    SimSensor sensor = OpticalDoSensor();
    sensor.nextFactoryCal = probesim::DeviceTimestamp{1000, 0};
    Probe p(sensor);
    EXPECT_EQ(p.client.Read(1, kTemperature + 4, 1), (Values{probesim::kQualityFactoryCalExpired}));
    p.probe.Sensors().ForceQuality(1, 2, 0x0033);
    EXPECT_EQ(p.client.Read(1, kTemperature + 4, 1), (Values{0x0033}));
    EXPECT_EQ(p.client.Read(1, kTemperature - 8 + 4, 1), (Values{probesim::kQualityFactoryCalExpired}));
    p.probe.Sensors().ForceQuality(1, 2, std::nullopt);
    EXPECT_EQ(p.client.Read(1, kTemperature + 4, 1), (Values{probesim::kQualityFactoryCalExpired}));
    EXPECT_THROW(p.probe.Sensors().ForceQuality(1, 5, 0), std::out_of_range);
}

TEST(SensorValues, TheFamilyCacheRegisterAndTheMapVersion3OneAreOneSetting)
{
    ProbeSimulator sim;
    Instrument probe(sim, {.deviceType = 6, .measurementCacheTimeout = 500, .sleeps = false});
    WireClient client(sim.SlavePath());
    EXPECT_EQ(client.Read(1, 47007, 1), (Values{500}));
    EXPECT_EQ(client.Write(1, reg::kMeasurementCacheTimeout, {2000}), std::nullopt);
    EXPECT_EQ(client.Read(1, 47007, 1), (Values{2000}));
    EXPECT_EQ(client.Write(1, 47007, {0}), std::nullopt);
    EXPECT_EQ(client.Read(1, reg::kMeasurementCacheTimeout, 1), (Values{0}));
    EXPECT_EQ(probe.MeasurementCacheTimeout(), 0);
}

} // namespace
} // namespace probesim_test
