// Probes of every accepted device type built from their presets, and the level loggers of both
// register generations calibrated the way the logger class does it.
#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "tests/probe-sim/WireClient.h"
#include "tools/probe-sim/PressureSensors.h"
#include "tools/probe-sim/ProbePresets.h"

namespace probesim_test
{
namespace
{

using probesim::ProbeSimulator;
namespace reg = probesim::reg;

TEST(ProbePresets, EveryAcceptedTypeReportsItselfWithItsSensorsOnTheirConnections)
{
    const std::map<uint16_t, Values> sensorIds = {{12, {42}},
                                                  {39, {42, 85, 84}},
                                                  {18, {42, 35, 33, 27}},
                                                  {1, {4}},
                                                  {6, {4}},
                                                  {0x8003, {2}},
                                                  {13, {}},
                                                  {3, {13}},
                                                  {0x8000, {2}},
                                                  {5, {16}},
                                                  {10, {35}},
                                                  {11, {37}},
                                                  {21, {42, 35, 33, 46, 47}},
                                                  {33, {57, 56, 51, 58, 59, 79, 50, 62, 70}}};
    const std::vector<uint16_t> types = probesim::PresetDeviceTypes();
    EXPECT_EQ(types.size(), 34u);
    for (uint16_t type : types)
    {
        SCOPED_TRACE("device type " + std::to_string(type));
        ProbeSimulator sim;
        const auto probe = probesim::MakeProbe(sim, type, 4711);
        probesim::RegisterModel& registers = probe->Registers();
        EXPECT_EQ(registers.GetU16(reg::kDeviceType), type);
        const auto ids = sensorIds.find(type);
        if (ids == sensorIds.end())
            continue;
        EXPECT_EQ(registers.GetU16(reg::kSensorCount), ids->second.size());
        for (uint16_t k = 1; k <= ids->second.size(); ++k)
        {
            // Where the table says the sensor's window begins (B = offset register + 40000).
            const auto base = static_cast<uint16_t>(
                40000 + registers.GetU16(probesim::ConnectionRegister(k, 4)).value_or(0));
            EXPECT_EQ(registers.GetU16(base), ids->second[k - 1]) << "connection " << k;
            EXPECT_EQ(registers.GetU32(base + 1), 47110u + k) << "serial number";
        }
    }
    ProbeSimulator sim;
    EXPECT_THROW(probesim::MakeProbe(sim, 14), std::invalid_argument);
}

class Logger : public ::testing::TestWithParam<uint16_t>
{
protected:
    Logger()
    {
        probesim::InstrumentConfig config = probesim::ProbeConfig(GetParam(), 815);
        config.sleeps = false;
        config.measurementCacheTimeout = 0; // fresh readings at every read, as calibrating needs
        config.quickSensors = true;
        probe = probesim::MakeProbe(sim, config);
    }

    void DeviceCommand(uint16_t command)
    {
        const bool handshake = probe->Config().registerMapVersion < 3;
        for (uint16_t word : handshake ? Values{0, 1, command, 0} : Values{command})
            ASSERT_EQ(client.Write(1, reg::kDeviceCommand, {word}), std::nullopt);
    }

    // The logger's calibration mode: offline, then continuous sampling on the sensor.
    void CalibrationMode(bool on)
    {
        DeviceCommand(on ? 0xD009 : 0xD00A);
        for (uint16_t word : on ? Values{0, 1, 0xE003, 0} : Values{})
            ASSERT_EQ(client.Write(1, probesim::SensorCommandRegisterOf(1), {word}), std::nullopt);
    }

    float Read(uint16_t number) { return FloatAt(client.Read(1, number, 2).value_or(FloatWords(NAN))); }

    ProbeSimulator sim;
    std::unique_ptr<probesim::Instrument> probe;
    WireClient client{sim.SlavePath()};
};

TEST_P(Logger, ZeroingInContinuousSamplingTakesTheOffsetAtOnce)
{
    const bool older = GetParam() == 1; // template version at 40108, else at 47000
    EXPECT_EQ(client.Read(1, older ? 40108 : 47000, 1), (Values{static_cast<uint16_t>(older ? 2 : 3)}));
    constexpr uint16_t kPressure = 40001 + 29 + 8;
    constexpr uint16_t kOffset = 40001 + probesim::levelsensor::kPressureOffset;
    const float raw = Read(kPressure);
    EXPECT_NEAR(raw, 5.0f, 0.05f);
    // An offset written outside calibration is stored but not used.
    ASSERT_EQ(client.Write(1, kOffset, FloatWords(1.0f)), std::nullopt);
    EXPECT_NEAR(Read(kPressure), raw, 0.01f);

    CalibrationMode(true);
    EXPECT_TRUE(probe->Offline());
    EXPECT_EQ(probe->Sensors().Mode(1), probesim::SensorMode::Continuous);
    const float reading = Read(kPressure);
    EXPECT_NEAR(reading, raw, 0.01f) << "continuous sampling reads raw";
    ASSERT_EQ(client.Write(1, kOffset, FloatWords(reading)), std::nullopt);
    CalibrationMode(false);
    EXPECT_EQ(probe->Sensors().Mode(1), probesim::SensorMode::Measuring);
    EXPECT_NEAR(Read(kPressure), 0.0f, 0.01f);
    EXPECT_NEAR(Read(40001 + 29 + 24), 0.0f, 0.01f) << "the level";
}

INSTANTIATE_TEST_SUITE_P(BothGenerations, Logger, ::testing::Values(uint16_t{1}, uint16_t{6}),
                         [](const auto& test) { return "Type" + std::to_string(test.param); });

} // namespace
} // namespace probesim_test
