// The sensor command register: one-write commands, the handshake, continuous sampling for
// calibration in both register map generations, and the maker's sensor exceptions.
#include <gtest/gtest.h>

#include <bit>

#include "tests/probe-sim/WireClient.h"
#include "tools/probe-sim/Instrument.h"

namespace probesim_test
{
namespace
{

using probesim::HandshakeStep;
using probesim::Instrument;
using probesim::OpticalDoSensor;
using probesim::ProbeSimulator;
using probesim::SensorMode;
using probesim::SimSensor;
namespace reg = probesim::reg;
namespace dosensor = probesim::dosensor;

constexpr uint8_t kIllegalFieldValue = 0x84;
constexpr uint8_t kSensorSequence = 0x91;
constexpr uint8_t kSensorMode = 0x92;

constexpr uint16_t kBase = 40001;
constexpr uint16_t kCommand = 49305;
constexpr uint16_t kTemperatureQuality = kBase + 29 + 16 + 4;

Values Words(float value)
{
    const auto bits = std::bit_cast<uint32_t>(value);
    return {static_cast<uint16_t>(bits >> 16), static_cast<uint16_t>(bits & 0xFFFF)};
}

float FloatAt(const std::optional<Values>& values)
{
    return std::bit_cast<float>(uint32_t{values.value().at(0)} << 16 | values.value().at(1));
}

class SensorCommands : public ::testing::TestWithParam<uint16_t> // register map version
{
protected:
    SensorCommands() { probe.Sensors().Add(1, OpticalDoSensor()); }

    std::optional<uint8_t> Send(uint16_t word) { return client.Write(1, kCommand, {word}); }

    // The device command as the generation takes it.
    void DeviceCommand(uint16_t command)
    {
        if (GetParam() >= 3)
        {
            ASSERT_EQ(client.Write(1, reg::kDeviceCommand, {command}), std::nullopt);
            return;
        }
        for (uint16_t word : {uint16_t{0}, uint16_t{1}, command, uint16_t{0}})
            ASSERT_EQ(client.Write(1, reg::kDeviceCommand, {word}), std::nullopt);
    }

    ProbeSimulator sim;
    Instrument probe{sim, {.deviceType = 12, .registerMapVersion = GetParam(), .sleeps = false}};
    WireClient client{sim.SlavePath()};
};

TEST_P(SensorCommands, CalibrationModeUpdateAndRestoreAsOneWrites)
{
    EXPECT_EQ(Send(0xE001), kSensorMode); // nothing to update outside calibration
    EXPECT_EQ(Send(0xE000), std::nullopt);
    EXPECT_EQ(probe.Sensors().Mode(1), SensorMode::Calibrating);
    EXPECT_EQ(client.Read(1, kTemperatureQuality, 1), (Values{probesim::kQualityCalibrating}));
    EXPECT_EQ(probe.Sensors().CommandStep(1), HandshakeStep::Idle);

    // Written calibration counts only from the update on.
    EXPECT_EQ(client.Write(1, kBase + dosensor::kCalSlope, Words(2.0f)), std::nullopt);
    EXPECT_EQ(probe.Sensors().Calibration(1)[6], 1.0f);
    EXPECT_EQ(FloatAt(client.Read(1, kBase + 33, 2)), 1.0f);
    EXPECT_EQ(Send(0xE001), std::nullopt);
    EXPECT_EQ(FloatAt(client.Read(1, kBase + 33, 2)), 2.0f);
    EXPECT_EQ(probe.Sensors().Calibration(1)[6], 2.0f);
    const auto userCal = client.Read(1, kBase + 10, 3);
    ASSERT_TRUE(userCal);
    const uint32_t stamped = uint32_t{userCal->at(0)} << 16 | userCal->at(1);
    EXPECT_NEAR(static_cast<double>(stamped), probesim::SystemTimestamp().seconds, 5.0);
    const float saturation = FloatAt(client.Read(1, kBase + 29 + 24, 8));
    EXPECT_GT(saturation, 180.0f); // the slope of 2 doubles it

    EXPECT_EQ(Send(0xE002), std::nullopt);
    EXPECT_EQ(client.Read(1, kTemperatureQuality, 1), (Values{probesim::kQualityNormal}));
    EXPECT_EQ(Send(0xE002), std::nullopt); // harmless when not calibrating

    // Restoring the calibration brings the factory one back into header and settings.
    EXPECT_EQ(Send(0xE003), std::nullopt);
    EXPECT_EQ(FloatAt(client.Read(1, kBase + 33, 2)), 1.0f);
    EXPECT_EQ(FloatAt(client.Read(1, kBase + dosensor::kCalSlope, 2)), 1.0f);

    // The factory restore of the sensor also brings units, sentinels and settings back.
    EXPECT_EQ(client.Write(1, kBase + 29 + 16 + 3, {3}), std::nullopt);
    EXPECT_EQ(client.Write(1, kBase + dosensor::kLiveBaro, Words(900.0f)), std::nullopt);
    EXPECT_EQ(Send(0xE004), std::nullopt);
    EXPECT_EQ(client.Read(1, kBase + 29 + 16 + 3, 1), (Values{1}));
    EXPECT_EQ(FloatAt(client.Read(1, kBase + dosensor::kLiveBaro, 2)), 1013.25f);

    EXPECT_EQ(Send(0xE00F), kIllegalFieldValue);
    EXPECT_EQ(probe.Sensors().CommandsCarriedOut(1),
              (std::vector<uint16_t>{0xE000, 0xE001, 0xE002, 0xE002, 0xE003, 0xE004}));
}

TEST_P(SensorCommands, ContinuousSamplingTakesTheHandshakeWithTheDeviceOffline)
{
    // Online the sensor refuses; the closing 0 still ends the sequence.
    EXPECT_EQ(Send(0), std::nullopt);
    EXPECT_EQ(Send(1), std::nullopt);
    EXPECT_EQ(Send(0xE003), kSensorMode);
    EXPECT_EQ(probe.Sensors().CommandStep(1), HandshakeStep::Armed);
    EXPECT_EQ(Send(0), std::nullopt);
    EXPECT_EQ(probe.Sensors().Mode(1), SensorMode::Measuring);

    DeviceCommand(0xD009);
    ASSERT_TRUE(probe.Offline());
    for (uint16_t word : {uint16_t{0}, uint16_t{1}, uint16_t{0xE003}})
        EXPECT_EQ(Send(word), std::nullopt) << word;
    EXPECT_EQ(probe.Sensors().Mode(1), SensorMode::Continuous);
    EXPECT_EQ(Send(1), kSensorSequence);      // a second arming after the command
    EXPECT_EQ(Send(0xE000), kSensorSequence); // a second command before the closing 0
    EXPECT_EQ(Send(0), std::nullopt);
    EXPECT_EQ(probe.Sensors().Mode(1), SensorMode::Continuous);
    EXPECT_EQ(client.Read(1, kTemperatureQuality, 1), (Values{probesim::kQualityCalibrating}));
    // The calibration factory defaults were not restored by the 0xE003 inside the handshake.
    EXPECT_EQ(probe.Sensors().CommandsCarriedOut(1), (std::vector<uint16_t>{0xE003}));

    // While sampling continuously a written calibration is taken at once.
    EXPECT_EQ(client.Write(1, kBase + dosensor::kCalOffset, Words(0.5f)), std::nullopt);
    EXPECT_EQ(probe.Sensors().Calibration(1)[7], 0.5f);

    // Online again, the sensor measures normally.
    DeviceCommand(0xD00A);
    EXPECT_EQ(probe.Sensors().Mode(1), SensorMode::Measuring);
    EXPECT_EQ(client.Read(1, kTemperatureQuality, 1), (Values{probesim::kQualityNormal}));
}

TEST_P(SensorCommands, TheHandshakeCarriesEveryCommand)
{
    EXPECT_EQ(Send(0), std::nullopt);
    EXPECT_EQ(Send(1), std::nullopt);
    EXPECT_EQ(Send(1), std::nullopt); // repeated after a lost reply
    EXPECT_EQ(Send(0xE000), std::nullopt);
    EXPECT_EQ(probe.Sensors().CommandStep(1), HandshakeStep::Done);
    EXPECT_EQ(Send(0), std::nullopt);
    EXPECT_EQ(probe.Sensors().Mode(1), SensorMode::Calibrating);
    EXPECT_EQ(probe.Sensors().CommandStep(1), HandshakeStep::Idle);
    EXPECT_EQ(client.Read(1, kCommand, 1), (Values{0}));
}

INSTANTIATE_TEST_SUITE_P(BothGenerations, SensorCommands, ::testing::Values(uint16_t{2}, uint16_t{3}),
                         [](const auto& test) { return "MapVersion" + std::to_string(test.param); });

TEST(SensorUpdate, TakesTheSensorsUpdateTime)
{
    ProbeSimulator sim;
    Instrument probe(sim, {.deviceType = 12, .sleeps = false});
    SimSensor sensor = OpticalDoSensor();
    sensor.updateTime = 250ms;
    probe.Sensors().Add(1, sensor);
    WireClient client(sim.SlavePath());
    ASSERT_EQ(client.Write(1, kCommand, {0xE000}), std::nullopt);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client.Write(1, kCommand, {0xE001}), std::nullopt);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 250ms);
}

} // namespace
} // namespace probesim_test
