// The device's operations on a sensor by connection and register offset: the registers they reach,
// the time-out they use, and the guards and argument checks in front of them.
#include "tests/device/SensorTestSupport.h"

namespace devicetest
{
namespace
{

using namespace std::chrono_literals;
namespace ds = probesim::dosensor;

class SensorAccessTest : public SensorOnSimulator
{
protected:
    void SetUp() override
    {
        // A retry would hide a time-out that is too short.
        SetTunable(u"Retry Count", 0);
        StartWithDoSensor();
        AttachDevice();
        ASSERT_EQ(Device().BuildSensorCache(), S_OK);
        Mark();
    }
};

TEST_F(SensorAccessTest, OffsetsCountFromTheSensorBase)
{
    const uint16_t b = Base();
    float baro = 0.0f;
    ASSERT_EQ(Device().ReadSensorFloat(1, ds::kLiveBaro, baro), S_OK);
    EXPECT_EQ(baro, *Probe().Sensors().SettingInUse(1, ds::kLiveBaro));
    ASSERT_EQ(Device().WriteSensorFloat(1, ds::kLiveSalinity, 12.5f), S_OK);
    EXPECT_EQ(*Probe().Sensors().SettingInUse(1, ds::kLiveSalinity), 12.5f);
    USHORT id = 0;
    ASSERT_EQ(Device().ReadSensorUShort(1, 0, id), S_OK);
    EXPECT_EQ(id, probesim::kOpticalDoSensorId);
    ULONG serial = 0;
    ASSERT_EQ(Device().ReadSensorULong(1, 1, serial), S_OK);
    EXPECT_EQ(serial, kDoSerial);
    CDeviceTimestamp due;
    ASSERT_EQ(Device().ReadSensorTime(1, 7, due), S_OK);
    EXPECT_EQ(due.GetSeconds(), probesim::GetTimestamp(Probe().Registers(), b + 7)->seconds);

    const std::vector<RegisterRead> reads{{kSlave, static_cast<uint16_t>(b + ds::kLiveBaro), 2},
                                          {kSlave, b, 1},
                                          {kSlave, static_cast<uint16_t>(b + 1), 2},
                                          {kSlave, static_cast<uint16_t>(b + 7), 3}};
    EXPECT_EQ(ReadsSinceMark(), reads);
}

TEST_F(SensorAccessTest, TheLongAndTheTimeComeFromTheOffsetGiven)
{
    const uint16_t b = Base();
    ULONG value = 0;
    ASSERT_EQ(Device().ReadSensorULong(1, 5, value), S_OK);
    CDeviceTimestamp time;
    ASSERT_EQ(Device().ReadSensorTime(1, 10, time), S_OK);
    const std::vector<RegisterRead> reads{{kSlave, static_cast<uint16_t>(b + 5), 2},
                                          {kSlave, static_cast<uint16_t>(b + 10), 3}};
    EXPECT_EQ(ReadsSinceMark(), reads);
}

TEST_F(SensorAccessTest, OffsetsPastTheHoldingRegistersAreRefusedWithoutTraffic)
{
    const USHORT last = static_cast<USHORT>(49999 - Base());
    float value = 0.0f;
    EXPECT_EQ(Device().ReadSensorFloat(1, last, value), MODBUSCOMM_E_INVALID_SENSOR_PORT);
    ULONG serial = 0;
    EXPECT_EQ(Device().ReadSensorULong(1, last, serial), MODBUSCOMM_E_INVALID_SENSOR_PORT);
    CDeviceTimestamp time;
    EXPECT_EQ(Device().ReadSensorTime(1, static_cast<USHORT>(last - 1), time),
              MODBUSCOMM_E_INVALID_SENSOR_PORT);
    // A 16-bit sum would wrap to register 4465.
    EXPECT_EQ(Device().WriteSensorUShort(1, static_cast<USHORT>(70001 - Base()), 1),
              MODBUSCOMM_E_INVALID_SENSOR_PORT);
    EXPECT_EQ(FramesSinceMark(), 0u);
}

TEST_F(SensorAccessTest, WritesByOffsetWaitAsLongAsReads)
{
    SetTunable(u"Read Register TO", 500);
    // The unit word of parameter 1, written as it is.
    const USHORT unit = *Probe().Registers().GetU16(BlockRegister(Base(), 1, 3));
    Sim().Faults().Queue(probesim::Fault::Late(250ms));
    EXPECT_EQ(Device().WriteSensorUShort(1, 40, unit), S_OK);
    Sim().Faults().Queue(probesim::Fault::Late(250ms));
    EXPECT_EQ(Device().WriteSensorFloat(1, ds::kLiveSalinity, 1.0f), S_OK);
}

TEST_F(SensorAccessTest, LiveValueOfConnectionZero)
{
    float value = 7.0f;
    USHORT quality = 0, unit = 9;
    EXPECT_EQ(Device().ReadParameterValue(0, 1, value, quality, unit, FALSE),
              MODBUSCOMM_E_INVALID_SENSOR_PORT);
    EXPECT_EQ(value, 7.0f);
    EXPECT_EQ(quality, NVSystem::SENSOR_QUALITY_NONE);
    EXPECT_EQ(unit, 9);
}

TEST_F(SensorAccessTest, ParameterIdIsClearedOnlyPastTheGuards)
{
    USHORT id = 77;
    EXPECT_EQ(Device().GetParameterId(5, 1, id), MODBUSCOMM_E_INVALID_SENSOR_PORT);
    EXPECT_EQ(id, 0);
    ASSERT_EQ(Device().GetParameterId(1, 2, id), S_OK);
    EXPECT_EQ(id, 1); // temperature
}

TEST_F(SensorAccessTest, TheBlockOfTheConnectionGivenIsReRead)
{
    Probe().Sensors().Add(2, probesim::OpticalDoSensor(2));
    ASSERT_EQ(Device().BuildSensorCache(), S_OK);
    USHORT unit = 0;
    ASSERT_EQ(Device().GetParameterUnitId(2, 1, unit), S_OK);
    Mark();
    ASSERT_EQ(Device().ReadSensorParameterBlock(2, 3), S_OK);
    EXPECT_EQ(ReadsSinceMark(), (std::vector<RegisterRead>{{kSlave, BlockRegister(Base(2), 3), 8}}));
}

class SensorAccessInBootCode : public SensorOnSimulator
{
};

TEST_F(SensorAccessInBootCode, GuardsComeBeforeTheOutValueIsCleared)
{
    probesim::InstrumentConfig config{.deviceType = 12};
    config.boot.startInBoot = true;
    StartLine(config);
    AttachDevice();
    USHORT id = 77;
    EXPECT_EQ(Device().GetParameterId(1, 1, id), MODBUSCOMM_E_NO_APP_FIRMWARE);
    EXPECT_EQ(id, 77);
    EXPECT_EQ(FramesSinceMark(), 0u);
}

} // namespace
} // namespace devicetest
