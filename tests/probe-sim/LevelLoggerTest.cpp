// The level loggers of both register generations with their level sensor, calibrated the way the
// logger class does it (offline and continuous sampling), and the Bluetooth link devices.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/probe-sim/WireClient.h"
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

constexpr uint8_t kIllegalFieldValue = 0x84;
constexpr uint8_t kCommandSequence = 0x85;
constexpr uint8_t kIllegalDataAddress = 0x02;

constexpr uint16_t kPressure = 40001 + 29 + 8;
constexpr uint16_t kLevel = 40001 + 29 + 24;
constexpr uint16_t kLevelMode = 40056;
constexpr uint16_t kGravity = 40100;
constexpr uint16_t kOffset = 40102;
constexpr uint16_t kLevelReference = 40104;
constexpr uint16_t kPressureReference = 40106;
constexpr uint16_t kSensorCommand = 49305;

class Logger : public ::testing::TestWithParam<uint16_t> // device type
{
protected:
    Logger()
    {
        probesim::InstrumentConfig config = probesim::ProbeConfig(GetParam(), 815);
        config.sleeps = false;
        config.measurementCacheTimeout = 0; // fresh readings at every read, as calibrating needs
        probe = probesim::MakeProbe(sim, config);
    }

    bool Generation47() const { return GetParam() >= 6 && GetParam() <= 16; }

    void DeviceCommand(uint16_t command)
    {
        if (probe->Config().registerMapVersion >= 3)
        {
            ASSERT_EQ(client.Write(1, reg::kDeviceCommand, {command}), std::nullopt);
            return;
        }
        for (uint16_t word : {uint16_t{0}, uint16_t{1}, command, uint16_t{0}})
            ASSERT_EQ(client.Write(1, reg::kDeviceCommand, {word}), std::nullopt);
    }

    // The logger's calibration mode: offline, then continuous sampling on the sensor.
    void CalModeOn()
    {
        DeviceCommand(0xD009);
        for (uint16_t word : {uint16_t{0}, uint16_t{1}, uint16_t{0xE003}, uint16_t{0}})
            ASSERT_EQ(client.Write(1, kSensorCommand, {word}), std::nullopt);
    }
    void CalModeOff() { DeviceCommand(0xD00A); }

    float Read(uint16_t number) { return client.ReadFloat(1, number).value_or(NAN); }

    ProbeSimulator sim;
    std::unique_ptr<Instrument> probe;
    WireClient client{sim.SlavePath()};
};

TEST_P(Logger, FamilyRegistersOfItsGeneration)
{
    if (Generation47())
    {
        EXPECT_EQ(client.Read(1, 47000, 1), (Values{3}));
        EXPECT_TRUE(client.Read(1, 47008, 10)); // the scratch pad
        // 47007 and 49463 hold the one measurement-cache time-out.
        EXPECT_EQ(client.Read(1, reg::kMeasurementCacheTimeout, 1), (Values{0}));
        EXPECT_EQ(client.Write(1, reg::kMeasurementCacheTimeout, {250}), std::nullopt);
        EXPECT_EQ(client.Read(1, 47007, 1), (Values{250}));
        EXPECT_EQ(ExceptionOf(client.Ask(ReadHolding(1, 40108, 1))), kIllegalDataAddress);
    }
    else
    {
        EXPECT_EQ(client.Read(1, 40108, 2), (Values{2, 1200})); // template version, external voltage
        EXPECT_TRUE(client.Read(1, 40120, 10));
        EXPECT_EQ(ExceptionOf(client.Ask(ReadHolding(1, 47000, 1))), kIllegalDataAddress);
        EXPECT_EQ(ExceptionOf(client.Ask(ReadHolding(1, reg::kMeasurementCacheTimeout, 1))),
                  kIllegalDataAddress);
    }
    // The level sensor's registers where the logger class reads them.
    EXPECT_EQ(client.Read(1, kLevelMode, 1), (Values{levelsensor::kDepthOfProbe}));
    EXPECT_EQ(Read(kGravity), 1.0f);
    EXPECT_EQ(Read(kOffset), 0.0f);
    EXPECT_EQ(Read(kLevelReference), 0.0f);
    EXPECT_EQ(Read(kPressureReference), 0.0f);
}

TEST_P(Logger, ZeroingInContinuousSamplingTakesTheOffsetAtOnce)
{
    const float raw = Read(kPressure);
    EXPECT_NEAR(raw, 5.0f, 0.05f);
    // An offset written outside calibration is stored but not used.
    ASSERT_EQ(client.WriteFloat(1, kOffset, 1.0f), std::nullopt);
    EXPECT_NEAR(Read(kPressure), raw, 0.01f);

    CalModeOn();
    EXPECT_TRUE(probe->Offline());
    const float reading = Read(kPressure);
    EXPECT_NEAR(reading, raw, 0.01f) << "continuous sampling reads raw";
    ASSERT_EQ(client.WriteFloat(1, kOffset, reading), std::nullopt);
    CalModeOff();
    EXPECT_FALSE(probe->Offline());
    EXPECT_EQ(probe->Sensors().Mode(1), probesim::SensorMode::Measuring);
    EXPECT_EQ(probe->Sensors().SettingInUse(1, levelsensor::kPressureOffset), reading);
    EXPECT_NEAR(Read(kPressure), 0.0f, 0.01f);
    EXPECT_NEAR(Read(kLevel), 0.0f, 0.01f);

    // The factory restore of the pressure calibration: offset 0 in continuous sampling, then both
    // references 0 once online.
    CalModeOn();
    ASSERT_EQ(client.WriteFloat(1, kOffset, 0.0f), std::nullopt);
    CalModeOff();
    ASSERT_EQ(client.WriteFloat(1, kLevelReference, 0.0f), std::nullopt);
    ASSERT_EQ(client.WriteFloat(1, kPressureReference, 0.0f), std::nullopt);
    EXPECT_NEAR(Read(kPressure), raw, 0.01f);
    EXPECT_EQ(Read(kPressureReference), 0.0f);
    EXPECT_EQ(probe->Sensors().CommandsCarriedOut(1), (std::vector<uint16_t>{0xE003, 0xE003}));
}

TEST_P(Logger, LevelReferenceMeasuresThePressureAndLevelModesSwitch)
{
    ASSERT_EQ(client.Write(1, kLevelMode, {levelsensor::kDepthToWater}), std::nullopt);
    EXPECT_EQ(client.Write(1, kLevelMode, {6}), kIllegalFieldValue);
    ASSERT_EQ(client.WriteFloat(1, kLevelReference, 3.25f), std::nullopt);
    EXPECT_NEAR(Read(kPressureReference), 5.0f, 0.05f);
    EXPECT_NEAR(Read(kLevel), 3.25f, 0.01f);
    ASSERT_EQ(client.WriteFloat(1, kGravity, 0.0f), std::nullopt);
    EXPECT_EQ(Read(kLevel), 3.25f) << "no depth without a specific gravity";
}

INSTANTIATE_TEST_SUITE_P(BothGenerations, Logger, ::testing::Values(uint16_t{1}, uint16_t{6}),
                         [](const auto& test) { return "Type" + std::to_string(test.param); });

TEST(LoggerLevelReference, TheReplyWaitsForTheMeasurement)
{
    ProbeSimulator sim;
    Instrument probe(sim, {.deviceType = 30, .registerMapVersion = 2, .sleeps = false});
    probesim::SimSensor sensor = probesim::LevelSensor(1, [](double) { return 2.0; });
    sensor.sampleRate = 150ms;
    probe.Sensors().Add(1, sensor);
    WireClient client(sim.SlavePath());
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(client.WriteFloat(1, kLevelReference, 1.0f), std::nullopt);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 150ms);
    EXPECT_EQ(client.ReadFloat(1, kPressureReference), 2.0f);
    EXPECT_EQ(probe.Sensors().Measurements(1), 1u);
}

TEST(LoggerCounters, TheTotalMeasurementCounterCountsTheSensorsMeasurements)
{
    ProbeSimulator sim;
    auto probe = probesim::MakeProbe(sim, 8, 1);
    WireClient client(sim.SlavePath());
    EXPECT_EQ(client.Read(1, 47003, 2), (Values{0, 0}));
    ASSERT_TRUE(client.Read(1, 40038, 24)); // all three parameters
    EXPECT_EQ(client.Read(1, 47003, 2), (Values{0, 3}));
}

TEST(BluetoothCommunicationDevice, TakesTheUpdateAsOneWriteAndCarriesPressureAndTemperature)
{
    ProbeSimulator sim;
    probesim::InstrumentConfig config = probesim::ProbeConfig(0x8003, 77);
    config.registerMapVersion = 2; // other commands need the handshake here
    auto probe = probesim::MakeProbe(sim, config);
    WireClient client(sim.SlavePath());
    EXPECT_EQ(client.Write(1, reg::kDeviceCommand, {0xD009}), kCommandSequence);
    EXPECT_EQ(client.Write(1, reg::kDeviceCommand, {0xD104}), std::nullopt);
    EXPECT_EQ(client.Write(1, reg::kDeviceCommand, {0xD104}), std::nullopt);
    EXPECT_EQ(probe->DeviceCommandsCarriedOut(), (std::vector<uint16_t>{0xD104, 0xD104}));
    EXPECT_EQ(probe->DeviceCommandStep(), probesim::HandshakeStep::Idle);
    EXPECT_EQ(client.Read(1, 49000, 1), (Values{2})) << "template version in the identity block";
    EXPECT_EQ(client.Read(1, 40001 + 18, 1), (Values{2}));
    EXPECT_EQ(client.Read(1, 40001 + 29 + 8 + 2, 1), (Values{2})) << "pressure";
    EXPECT_EQ(client.Read(1, 40001 + 29 + 16 + 2, 1), (Values{1})) << "temperature";
    EXPECT_EQ(ExceptionOf(client.Ask(ReadHolding(1, 40102, 2))), kIllegalDataAddress) << "no pressure offset";
}

TEST(BluetoothSkiff, IsAPlainDeviceWithoutSensorsOrUpdateCommand)
{
    ProbeSimulator sim;
    auto probe = probesim::MakeProbe(sim, 13, 5);
    WireClient client(sim.SlavePath());
    EXPECT_EQ(client.Read(1, reg::kSensorCount, 1), (Values{0}));
    EXPECT_EQ(client.Write(1, reg::kDeviceCommand, {0xD104}), kIllegalFieldValue);
    EXPECT_EQ(client.Write(1, reg::kDeviceCommand, {0xD009}), std::nullopt);
}

} // namespace
} // namespace probesim_test
