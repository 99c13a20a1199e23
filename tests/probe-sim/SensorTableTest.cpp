// The connection table, the sensor windows with their header and parameter blocks, unit masks,
// sentinels and the unplugged sensor, seen through raw register frames.
#include <gtest/gtest.h>

#include <bit>

#include "tests/probe-sim/WireClient.h"
#include "tools/probe-sim/Instrument.h"

namespace probesim_test
{
namespace
{

using probesim::Instrument;
using probesim::OpticalDoSensor;
using probesim::ProbeSimulator;
using probesim::SimSensor;
namespace reg = probesim::reg;

constexpr uint8_t kReadOnly = 0x82;
constexpr uint8_t kIllegalFieldValue = 0x84;
constexpr uint8_t kPortNotConfigured = 0x93;
constexpr uint8_t kPortNoSensor = 0x94;

constexpr uint16_t kBase = 40001; // connection 1
constexpr uint16_t Block(uint16_t parameter)
{
    return static_cast<uint16_t>(kBase + 29 + 8 * parameter);
}

float FloatAt(const Values& values, size_t at)
{
    return std::bit_cast<float>(uint32_t{values.at(at)} << 16 | values.at(at + 1));
}

Values Words(float value)
{
    const auto bits = std::bit_cast<uint32_t>(value);
    return {static_cast<uint16_t>(bits >> 16), static_cast<uint16_t>(bits & 0xFFFF)};
}

class SensorTable : public ::testing::Test
{
protected:
    ProbeSimulator sim;
    Instrument probe{sim, {.deviceType = 39, .sleeps = false}};
    WireClient client{sim.SlavePath()};
};

TEST_F(SensorTable, ListsEachConnectionWithItsWindowAndCommandRegister)
{
    EXPECT_EQ(client.Read(1, reg::kSensorCount, 3), (Values{0, 0, 0}));
    probe.Sensors().Add(1, OpticalDoSensor(5150));
    probe.Sensors().AddUnplugged(3);
    EXPECT_EQ(client.Read(1, reg::kSensorCount, 3), (Values{3, 0, 0x0005}));
    EXPECT_EQ(client.Read(1, reg::kFirstConnection, 15),
              (Values{0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 401}));
    EXPECT_EQ(probesim::SensorCommandRegisterOf(3), 49315);

    // The table is the instrument's; only the command registers take writes.
    EXPECT_EQ(client.Write(1, reg::kSensorCount, {5}), kReadOnly);
    EXPECT_EQ(client.Write(1, probesim::ConnectionRegister(1, 4), {7}), kReadOnly);
    EXPECT_EQ(client.Write(1, probesim::SensorCommandRegisterOf(2), {0xE000}), kPortNotConfigured);
    EXPECT_EQ(client.Read(1, probesim::ConnectionRegister(1, 4), 1), (Values{1}));

    probe.Sensors().SetConnectionCount(32);
    EXPECT_EQ(client.Read(1, reg::kSensorCount, 1), (Values{32}));
    EXPECT_THROW(probe.Sensors().SetConnectionCount(2), std::logic_error);
}

TEST_F(SensorTable, HeaderAndBlocksDescribeTheOpticalDoSensor)
{
    probe.Sensors().Add(1, OpticalDoSensor());
    SimSensor timed = OpticalDoSensor(0x00012345);
    timed.warmUp = 1200ms;
    timed.sampleRate = 250ms;
    probe.Sensors().Add(2, timed);

    const auto header = client.Read(1, probe.Sensors().Base(2), 37);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->at(0), 42);
    EXPECT_EQ(header->at(1), 0x0001);
    EXPECT_EQ(header->at(2), 0x2345);
    EXPECT_EQ((Values{header->at(16), header->at(17), header->at(18)}), (Values{1200, 250, 4}));
    EXPECT_FLOAT_EQ(FloatAt(*header, 21), 8.0f);     // DO at 100 %
    EXPECT_FLOAT_EQ(FloatAt(*header, 27), 1013.25f); // pressure at 100 %
    EXPECT_FLOAT_EQ(FloatAt(*header, 33), 1.0f);     // slope
    // The next factory calibration lies a year ahead of the device clock.
    const uint32_t due = uint32_t{header->at(7)} << 16 | header->at(8);
    const uint32_t now = probesim::SystemTimestamp().seconds;
    EXPECT_NEAR(static_cast<double>(due) - now, 365.0 * 86400, 5.0);

    // Parameter ids, units, quality, sentinel and unit masks of the four blocks.
    const auto blocks = client.Read(1, Block(1), 32);
    ASSERT_TRUE(blocks);
    const Values ids{blocks->at(2), blocks->at(10), blocks->at(18), blocks->at(26)};
    EXPECT_EQ(ids, (Values{20, 1, 21, 30}));
    const Values units{blocks->at(3), blocks->at(11), blocks->at(19), blocks->at(27)};
    EXPECT_EQ(units, (Values{117, 1, 177, 26}));
    EXPECT_EQ(blocks->at(8 + 4), 0);      // quality of the temperature
    EXPECT_EQ(blocks->at(8 + 7), 0x0007); // C, F, K
    EXPECT_FLOAT_EQ(FloatAt(*blocks, 8 + 5), -9999.0f);
    const float celsius = FloatAt(*blocks, 8);
    EXPECT_GT(celsius, 17.0f);
    EXPECT_LT(celsius, 23.0f);
    EXPECT_GT(FloatAt(*blocks, 0), 5.0f);   // mg/L
    EXPECT_GT(FloatAt(*blocks, 16), 80.0f); // %Sat

    // The settings beyond the blocks.
    const auto baro = client.Read(1, kBase + 121, 4);
    ASSERT_TRUE(baro);
    EXPECT_FLOAT_EQ(FloatAt(*baro, 0), 1013.25f);
    EXPECT_EQ(client.Read(1, kBase + 69, 1), std::nullopt); // between the blocks and the settings
}

TEST_F(SensorTable, UnitsFollowTheMaskAndOnlyUnitsAndSentinelsTakeWrites)
{
    probe.Sensors().Add(1, OpticalDoSensor());
    const uint16_t temperatureUnit = Block(2) + 3;
    EXPECT_EQ(client.Write(1, temperatureUnit, {2}), std::nullopt); // Fahrenheit
    const auto fahrenheit = client.Read(1, Block(2), 2);
    ASSERT_TRUE(fahrenheit);
    EXPECT_GT(FloatAt(*fahrenheit, 0), 62.0f);
    EXPECT_LT(FloatAt(*fahrenheit, 0), 74.0f);
    EXPECT_EQ(client.Write(1, temperatureUnit, {4}), kIllegalFieldValue);  // not offered
    EXPECT_EQ(client.Write(1, temperatureUnit, {17}), kIllegalFieldValue); // another class
    EXPECT_EQ(client.Write(1, Block(1) + 3, {114}), kIllegalFieldValue);   // ppt: not offered
    EXPECT_EQ(client.Write(1, Block(1) + 3, {118}), std::nullopt);         // µg/L
    EXPECT_EQ(client.Read(1, temperatureUnit, 1), (Values{2}));

    EXPECT_EQ(client.Write(1, Block(2) + 5, Words(-1.5f)), std::nullopt);
    const auto sentinel = client.Read(1, Block(2) + 5, 2);
    ASSERT_TRUE(sentinel);
    EXPECT_FLOAT_EQ(FloatAt(*sentinel, 0), -1.5f);

    EXPECT_EQ(client.Write(1, Block(2), Words(1.0f)), kReadOnly);        // the value
    EXPECT_EQ(client.Write(1, Block(2) + 2, {5}), kReadOnly);            // the parameter id
    EXPECT_EQ(client.Write(1, Block(2) + 7, {0xFFFF}), kReadOnly);       // the mask
    EXPECT_EQ(client.Write(1, kBase + 18, {9}), kReadOnly);              // the header
    EXPECT_EQ(client.Write(1, kBase + 117, Words(35.0f)), std::nullopt); // live salinity
}

TEST_F(SensorTable, AnUnpluggedSensorAnswersNoSensorUntilPluggedIn)
{
    probe.Sensors().Add(1, OpticalDoSensor());
    probe.Sensors().AddUnplugged(2, OpticalDoSensor(77));
    const uint16_t base = probe.Sensors().Base(2);
    EXPECT_EQ(base, 40201);
    EXPECT_EQ(client.Read(1, reg::kSensorMask, 2), (Values{0, 0x0003}));
    EXPECT_EQ(ExceptionOf(client.Ask(ReadHolding(1, base, 37))), kPortNoSensor);
    EXPECT_EQ(ExceptionOf(client.Ask(ReadHolding(1, base + 37, 8))), kPortNoSensor);
    EXPECT_EQ(client.Write(1, base + 40, {1}), kPortNoSensor);
    EXPECT_EQ(client.Write(1, probesim::SensorCommandRegisterOf(2), {0xE000}), kPortNoSensor);
    EXPECT_TRUE(client.Read(1, kBase, 37)); // connection 1 is not affected

    probe.Sensors().Plug(2);
    const auto header = client.Read(1, base, 3);
    EXPECT_EQ(header, (Values{42, 0, 77}));
    probe.Sensors().Unplug(1);
    EXPECT_EQ(ExceptionOf(client.Ask(ReadHolding(1, Block(2), 8))), kPortNoSensor);

    // Without a description the header and eight blocks answer so.
    probe.Sensors().AddUnplugged(4);
    EXPECT_EQ(ExceptionOf(client.Ask(ReadHolding(1, probe.Sensors().Base(4) + 29 + 64, 8))), kPortNoSensor);
}

TEST(SensorDescriptions, ThatTheRegistersCannotCarryAreRefused)
{
    ProbeSimulator sim;
    Instrument probe(sim, {.deviceType = 12, .registerMapVersion = 1, .sleeps = false});
    EXPECT_THROW(probe.Sensors().Add(0, OpticalDoSensor()), std::out_of_range);
    EXPECT_THROW(probe.Sensors().Add(33, OpticalDoSensor()), std::out_of_range);
    // Map version 1 keeps the analog output at 40115-40119, inside the DO sensor's settings.
    EXPECT_THROW(probe.Sensors().Add(1, OpticalDoSensor()), std::logic_error);
    SimSensor sensor = OpticalDoSensor();
    sensor.base = 41001;
    probe.Sensors().Add(1, sensor);
    EXPECT_THROW(probe.Sensors().Add(1, OpticalDoSensor()), std::logic_error);

    SimSensor bad = OpticalDoSensor();
    bad.settings.push_back({118, 0.0f}); // overlaps live salinity
    EXPECT_THROW(probe.Sensors().Add(2, bad), std::invalid_argument);
    bad = OpticalDoSensor();
    bad.settings.push_back({40, 0.0f}); // inside the parameter blocks
    EXPECT_THROW(probe.Sensors().Add(2, bad), std::invalid_argument);
    bad = OpticalDoSensor();
    bad.warmUp = 70000ms;
    EXPECT_THROW(probe.Sensors().Add(2, bad), std::invalid_argument);
    bad = OpticalDoSensor();
    bad.base = 49950;
    EXPECT_THROW(probe.Sensors().Add(2, bad), std::out_of_range);
    EXPECT_EQ(probe.Sensors().ConnectionCount(), 1);
}

} // namespace
} // namespace probesim_test
