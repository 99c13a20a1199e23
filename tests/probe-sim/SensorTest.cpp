// The sensor connection table, a sensor's window with its live values, and the sensor command
// register, with the optical DO sensor.
#include <gtest/gtest.h>

#include "tests/probe-sim/WireClient.h"
#include "tools/probe-sim/Instrument.h"
#include "tools/probe-sim/ProbePresets.h"

namespace probesim_test
{
namespace
{

using probesim::OpticalDoSensor;
using probesim::SensorMode;
namespace reg = probesim::reg;

constexpr uint8_t kReadOnly = 0x82;
constexpr uint8_t kIllegalFieldValue = 0x84;
constexpr uint8_t kSensorMode = 0x92;
constexpr uint8_t kPortNoSensor = 0x94;

constexpr uint16_t kBase = 40001;                     // connection 1
constexpr uint16_t kTemperature = kBase + 29 + 8 * 2; // the block of parameter 2
constexpr uint16_t kSlope = kBase + probesim::dosensor::kCalSlope;
constexpr uint16_t kCommand = probesim::SensorCommandRegisterOf(1);

class Sensors : public ::testing::Test
{
protected:
    probesim::ProbeSimulator sim;
    // A cache far longer than any test: the values read are the ones measured first.
    probesim::Instrument probe{sim, {.deviceType = 39, .measurementCacheTimeout = 60000, .sleeps = false}};
    WireClient client{sim.SlavePath()};
};

TEST_F(Sensors, TheTableListsConnectionsAndAnUnpluggedSensorAnswersNoSensor)
{
    probe.Sensors().Add(1, OpticalDoSensor(5150));
    probe.Sensors().AddUnplugged(3, OpticalDoSensor(77));
    EXPECT_EQ(client.Read(1, reg::kSensorCount, 3), (Values{3, 0, 0x0005}));
    EXPECT_EQ(client.Read(1, reg::kFirstConnection, 15),
              (Values{0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 401}));
    EXPECT_EQ(client.Write(1, reg::kSensorCount, {5}), kReadOnly);
    EXPECT_EQ(client.Read(1, kBase, 3), (Values{42, 0, 5150})); // sensor id and serial number

    const uint16_t base = probe.Sensors().Base(3);
    EXPECT_EQ(ExceptionOf(client.Ask(ReadHolding(1, base, 37))), kPortNoSensor);
    EXPECT_EQ(client.Write(1, probesim::SensorCommandRegisterOf(3), {0xE000}), kPortNoSensor);
    probe.Sensors().Plug(3);
    EXPECT_EQ(client.Read(1, base, 3), (Values{42, 0, 77}));
}

TEST(SensorWindows, TheInstrumentPlacesAWindowPastRegistersOfItsOwnAndATestsWindowStaysPut)
{
    // The first register map keeps its analog output at 40115-40119, where the DO sensor's settings
    // would lie from the first place.
    probesim::ProbeSimulator sim;
    probesim::Instrument probe{sim, {.deviceType = 12, .registerMapVersion = 1, .sleeps = false}};
    probe.Sensors().Add(1, OpticalDoSensor(5150));
    const uint16_t base = probe.Sensors().Base(1);
    EXPECT_EQ(base, probesim::DefaultSensorBase(1) + probesim::kDefaultWindowSpacing);
    WireClient client{sim.SlavePath()};
    EXPECT_EQ(client.Read(1, reg::kFirstConnection + 4, 1), (Values{static_cast<uint16_t>(base - 40000)}));
    EXPECT_EQ(client.Read(1, base, 3), (Values{42, 0, 5150}));
    EXPECT_EQ(probe.Registers().GetFloat(probesim::reg::kAnalogFullScaleV1), 100.0f);

    probesim::SimSensor placed = OpticalDoSensor(77);
    placed.base = probesim::DefaultSensorBase(1);
    EXPECT_THROW(probe.Sensors().Add(2, placed), std::logic_error);
}

TEST_F(Sensors, LiveValuesFollowTheirUnitAndRepeatWithinTheMeasurementCache)
{
    probe.Sensors().Add(1, OpticalDoSensor());
    const auto celsius = client.Read(1, kTemperature, 8);
    ASSERT_TRUE(celsius);
    EXPECT_NEAR(FloatAt(*celsius), 20.0f, 3.0f);
    EXPECT_EQ((Values{celsius->at(2), celsius->at(3), celsius->at(4), celsius->at(7)}),
              (Values{1, 1, probesim::kQualityNormal, 0x0007}))
        << "parameter, unit, quality, unit mask";
    EXPECT_EQ(client.Read(1, kTemperature, 2), (Values{celsius->at(0), celsius->at(1)}));
    EXPECT_EQ(probe.Sensors().Measurements(1), 1u);

    EXPECT_EQ(client.Write(1, kTemperature + 3, {2}), std::nullopt); // Fahrenheit
    EXPECT_NEAR(FloatAt(client.Read(1, kTemperature, 2).value_or(Values(2))), FloatAt(*celsius) * 1.8f + 32,
                0.2f);
    EXPECT_EQ(client.Write(1, kTemperature + 3, {4}), kIllegalFieldValue); // not in the mask
    EXPECT_EQ(client.Write(1, kTemperature, FloatWords(1.0f)), kReadOnly);
}

TEST_F(Sensors, CalibrationModeTakesTheUpdateAndRestores)
{
    probe.Sensors().Add(1, OpticalDoSensor());
    const auto send = [&](uint16_t word) { return client.Write(1, kCommand, {word}); };
    EXPECT_EQ(send(0xE001), kSensorMode) << "nothing to update outside calibration";
    for (uint16_t word : {0, 1, 0xE000, 0}) // the handshake, as well as one write
        EXPECT_EQ(send(word), std::nullopt);
    EXPECT_EQ(probe.Sensors().Mode(1), SensorMode::Calibrating);
    EXPECT_EQ(client.Read(1, kTemperature + 4, 1), (Values{probesim::kQualityCalibrating}));

    // A written calibration counts only from the update on.
    EXPECT_EQ(client.Write(1, kSlope, FloatWords(2.0f)), std::nullopt);
    EXPECT_EQ(probe.Sensors().Calibration(1)[6], 1.0f);
    EXPECT_EQ(send(0xE001), std::nullopt);
    EXPECT_EQ(probe.Sensors().Calibration(1)[6], 2.0f);
    EXPECT_EQ(send(0xE002), std::nullopt);
    EXPECT_EQ(client.Read(1, kTemperature + 4, 1), (Values{probesim::kQualityNormal}));
    EXPECT_EQ(send(0xE003), std::nullopt); // the factory calibration back
    EXPECT_EQ(client.Read(1, kSlope, 2), FloatWords(1.0f));
    EXPECT_EQ(send(0xE00F), kIllegalFieldValue);
    EXPECT_EQ(probe.Sensors().CommandsCarriedOut(1), (std::vector<uint16_t>{0xE000, 0xE001, 0xE002, 0xE003}));
}

TEST(SensorTiming, APresetSensorWarmsUpAndMeasuresForTheTimesItStatesUnlessTheTestWantsItQuick)
{
    using Clock = std::chrono::steady_clock;
    for (const bool quick : {false, true})
    {
        SCOPED_TRACE(quick ? "quick" : "as stated");
        probesim::ProbeSimulator sim;
        probesim::InstrumentConfig config = probesim::ProbeConfig(12, 4711);
        config.sleeps = false;
        config.quickSensors = quick;
        const auto probe = probesim::MakeProbe(sim, config);
        WireClient client{sim.SlavePath()};
        const auto started = Clock::now();
        EXPECT_EQ(client.Read(1, kBase + probesim::header::kWarmUp, 2),
                  quick ? (Values{0, 0}) : (Values{1000, 500}));
        // Within the warm-up the sensor answers at once, with its sentinel.
        const auto warming = client.Read(1, kTemperature, 5).value_or(Values(5));
        if (!quick)
        {
            ASSERT_LT(Clock::now() - started, 1000ms) << "the machine was too slow to see the warm-up";
            EXPECT_EQ(FloatAt(warming), -9999.0f);
            EXPECT_EQ(warming[4], probesim::kQualityWarmUp);
            while (Clock::now() - started < 1000ms)
                client.Silent(20ms);
        }
        else
        {
            EXPECT_EQ(warming[4], probesim::kQualityNormal);
        }
        // A parameter measured: 500 ms.
        const auto asked = Clock::now();
        const auto measured = client.Read(1, kTemperature, 5);
        ASSERT_TRUE(measured);
        EXPECT_EQ(measured->at(4), probesim::kQualityNormal);
        if (quick)
            EXPECT_LT(Clock::now() - asked, 500ms);
        else
            EXPECT_GE(Clock::now() - asked, 500ms);
        // The simulator tells when the sensor measured, and for how long; an answer within the
        // warm-up is no measurement.
        const std::vector<probesim::MeasuringSpan> spans = probe->Sensors().MeasuringSpans();
        ASSERT_FALSE(spans.empty());
        if (!quick)
        {
            ASSERT_EQ(spans.size(), 1u);
        }
        EXPECT_EQ(spans.back().connection, 1);
        EXPECT_EQ(spans.back().to - spans.back().from, quick ? 0ms : 500ms);
    }
}

} // namespace
} // namespace probesim_test
