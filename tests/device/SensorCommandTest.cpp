// Sensor commands on the wire for both register map generations and the continuous-calibration
// sequence with its failures.
#include "tests/device/SensorTestSupport.h"

namespace devicetest
{
namespace
{

using probesim::SensorMode;

constexpr uint16_t kSensorCommand = 49305; // connection 1
constexpr uint16_t kDeviceCommand = 49018;

class SensorCommandTest : public SensorOnSimulator, public ::testing::WithParamInterface<uint16_t>
{
protected:
    void Start(probesim::SimSensor sensor = probesim::OpticalDoSensor(kDoSerial))
    {
        StartLine({.deviceType = 12, .registerMapVersion = GetParam()});
        Probe().Sensors().Add(1, sensor);
        AttachDevice();
        ASSERT_EQ(Device().BuildSensorCache(), S_OK);
        Mark();
    }
    std::vector<uint16_t> OfflineWords() const
    {
        if (GetParam() >= 3)
            return {0xD009};
        return {0, 1, 0xD009, 0};
    }
};

TEST_P(SensorCommandTest, EachCommandIsOneWriteToTheConnectionsRegisterAndNoneGoesToAnEmptyOne)
{
    Start();
    EXPECT_EQ(Device().SetSensorCalModeOn(2), MODBUSCOMM_E_INVALID_SENSOR_PORT);
    EXPECT_EQ(Device().EnableCalContinuous(2), MODBUSCOMM_E_INVALID_SENSOR_PORT);
    EXPECT_EQ(Device().RestoreSensorCalDefaults(2), MODBUSCOMM_E_INVALID_SENSOR_PORT);
    EXPECT_EQ(FramesSinceMark(), 0u);
    ASSERT_EQ(Device().SetSensorCalModeOn(1), S_OK);
    EXPECT_EQ(Probe().Sensors().Mode(1), SensorMode::Calibrating);
    ASSERT_EQ(Device().UpdateSensorCalibration(1), S_OK);
    ASSERT_EQ(Device().SetSensorCalModeOff(1), S_OK);
    EXPECT_EQ(Probe().Sensors().Mode(1), SensorMode::Measuring);
    ASSERT_EQ(Device().RestoreSensorFactoryDefaults(1), S_OK);
    const std::vector<uint16_t> words{0xE000, 0xE001, 0xE002, 0xE004};
    EXPECT_EQ(WordsWrittenTo(kSensorCommand), words);
    EXPECT_EQ(Probe().Sensors().CommandsCarriedOut(1), words);
    EXPECT_EQ(ReadsSinceMark().size(), 0u);

    // Restoring the calibration defaults re-reads the header, also when the sensor refuses it.
    Mark();
    ASSERT_EQ(Device().RestoreSensorCalDefaults(1), S_OK);
    EXPECT_EQ(WordsWrittenTo(kSensorCommand), std::vector<uint16_t>{0xE003});
    EXPECT_EQ(ReadsSinceMark(), (std::vector<RegisterRead>{{kSlave, Base(), 37}}));
    Mark();
    Sim().Faults().Queue(probesim::Fault::NoReply(), 2);
    EXPECT_EQ(Device().RestoreSensorCalDefaults(1), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_EQ(ReadsSinceMark(), (std::vector<RegisterRead>{{kSlave, Base(), 37}}));
}

TEST_P(SensorCommandTest, ContinuousSamplingTakesTheDeviceOfflineAndRunsTheHandshake)
{
    Start();
    CDeviceTimestamp date;
    ASSERT_EQ(Device().GetLastUserCalDate(1, date), S_OK);
    Mark();
    ASSERT_EQ(Device().EnableCalContinuous(1), S_OK);
    EXPECT_TRUE(Probe().Offline());
    EXPECT_EQ(Probe().Sensors().Mode(1), SensorMode::Continuous);
    EXPECT_EQ(WordsWrittenTo(kDeviceCommand), OfflineWords());
    EXPECT_EQ(WordsWrittenTo(kSensorCommand), (std::vector<uint16_t>{0, 1, 0xE003, 0}));
    EXPECT_EQ(Probe().Sensors().CommandStep(1), probesim::HandshakeStep::Idle);

    // The sampling may have changed the user calibration date: read once from the sensor, then cached.
    Mark();
    ASSERT_EQ(Device().GetLastUserCalDate(1, date), S_OK);
    EXPECT_EQ(ReadsSinceMark(), (std::vector<RegisterRead>{{kSlave, static_cast<uint16_t>(Base() + 10), 3}}));
    Mark();
    ASSERT_EQ(Device().GetLastUserCalDate(1, date), S_OK);
    EXPECT_EQ(FramesSinceMark(), 0u);
}

TEST_P(SensorCommandTest, AFailedOfflineOrArmingSendsNoCommand)
{
    Start();
    Sim().Faults().Queue(probesim::Fault::NoReply(), 2);
    EXPECT_EQ(Device().EnableCalContinuous(1), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_TRUE(WordsWrittenTo(kSensorCommand).empty());
    CDeviceTimestamp date;
    ASSERT_EQ(Device().GetLastUserCalDate(1, date), S_OK);
    Mark();
    // Offline and the 0 go through; the 1 and its retry get no answer.
    Sim().Faults().Queue(probesim::Fault::None(), static_cast<unsigned>(OfflineWords().size()) + 1);
    Sim().Faults().Queue(probesim::Fault::NoReply(), 2);
    EXPECT_EQ(Device().EnableCalContinuous(1), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_EQ(WordsWrittenTo(kSensorCommand), (std::vector<uint16_t>{0, 1, 1, 0}));
    EXPECT_NE(Probe().Sensors().Mode(1), SensorMode::Continuous);
    // Without the sampling the instrument goes back to logging.
    EXPECT_FALSE(Probe().Offline());
    // The user calibration date is still the cached one.
    Mark();
    ASSERT_EQ(Device().GetLastUserCalDate(1, date), S_OK);
    EXPECT_EQ(FramesSinceMark(), 0u);

    // The sampling command itself unanswered: online again all the same.
    Sim().Faults().Queue(probesim::Fault::None(), static_cast<unsigned>(OfflineWords().size()) + 2);
    Sim().Faults().Queue(probesim::Fault::NoReply(), 2);
    EXPECT_EQ(Device().EnableCalContinuous(1), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_EQ(WordsWrittenTo(kSensorCommand), (std::vector<uint16_t>{0, 1, 0xE003, 0xE003, 0}));
    EXPECT_FALSE(Probe().Offline());
}

INSTANTIATE_TEST_SUITE_P(RegisterMapVersions, SensorCommandTest, ::testing::Values(2, 3));

} // namespace
} // namespace devicetest
