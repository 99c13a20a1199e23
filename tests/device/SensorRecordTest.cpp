// The sensor record against the simulated DO sensor: header and parameter registers, live and cached
// values, a refresh that fails, unit and sentinel writes, the time-out a read with values gets, and
// the device's access to a sensor by connection and register offset with its guards.
#include <tuple>

#include "tests/device/SensorTestSupport.h"

namespace devicetest
{
namespace
{

using namespace std::chrono_literals;

class SensorRecordTest : public SensorOnSimulator
{
protected:
    HRESULT LiveValue(USHORT parameter, float& value, BOOL cachedOnly = FALSE)
    {
        return Device().ReadParameterValue(1, parameter, value, m_quality, m_unit, cachedOnly);
    }
    std::vector<sParameterReading> Readings(BOOL cachedAllowed)
    {
        CDynArray<sParameterReading> readings;
        EXPECT_EQ(Device().GetSensorParameters(1, readings, cachedAllowed), S_OK);
        return std::vector<sParameterReading>(readings.GetData(), readings.GetData() + readings.GetCount());
    }
    // The header, then the description words of each parameter.
    std::vector<RegisterRead> DescriptionReads()
    {
        std::vector<RegisterRead> reads{{kSlave, Base(), 37}};
        for (uint16_t n = 1; n <= kDoParameters; ++n)
            reads.push_back({kSlave, BlockRegister(Base(), n, 2), 6});
        return reads;
    }
    uint16_t BlockWord(uint16_t parameter, uint16_t field)
    {
        return *Probe().Registers().GetU16(BlockRegister(Base(), parameter, field));
    }

    USHORT m_quality = 0xFFFF;
    USHORT m_unit = 0;
};

TEST_F(SensorRecordTest, SensorInfoCarriesTheHeaderAndTheParameterDescriptions)
{
    StartWithDoSensor({.deviceType = 12, .serialNumber = 4711});
    AttachDevice();
    sSensorInfo info;
    ASSERT_EQ(Device().GetSensorInfo(1, info), S_OK);
    EXPECT_EQ(info.Connection, 1);
    EXPECT_EQ(info.DeviceSerialNumber, 4711u);
    EXPECT_EQ(info.SensorId, probesim::kOpticalDoSensorId);
    EXPECT_EQ(info.SerialNumber, kDoSerial);
    const std::optional<probesim::DeviceTimestamp> due =
        probesim::GetTimestamp(Probe().Registers(), Base() + probesim::header::kNextFactoryCal);
    ASSERT_TRUE(due.has_value());
    EXPECT_EQ(info.NextFactoryCalDate.GetSeconds(), due->seconds);
    // The header's floats from register 21 on go to the record's seventh, eighth, fifth, sixth, ...
    EXPECT_EQ(info.CalValues[6], 8.0f);
    EXPECT_EQ(info.CalValues[5], 1013.25f);
    EXPECT_EQ(info.CalValues[3], 1.0f);
    ASSERT_EQ(info.Parameters.GetCount(), kDoParameters);
    const USHORT ids[] = {20, 1, 21, 30};
    for (uint16_t n = 1; n <= kDoParameters; ++n)
    {
        const sParameterReading& reading = info.Parameters[n - 1u];
        EXPECT_EQ(reading.ParameterNumber, n);
        EXPECT_EQ(reading.ParameterId, ids[n - 1]);
        EXPECT_EQ(reading.UnitId, BlockWord(n, 3));
        EXPECT_FLOAT_EQ(reading.Sentinel, -9999.0f);
        EXPECT_EQ(reading.Value, 0.0f); // descriptions only
    }
    std::vector<RegisterRead> expected{{kSlave, 49300, 3}, {kSlave, 49303, 5}};
    for (const RegisterRead& read : DescriptionReads())
        expected.push_back(read);
    EXPECT_EQ(ReadsSinceMark(), expected);
}

TEST_F(SensorRecordTest, AShortReplyIsNamedByWhatItWasFor)
{
    StartWithDoSensor();
    AttachDevice();
    ASSERT_EQ(Device().BuildSensorCache(), S_OK);
    // Well formed, one register short: the header, one parameter's block, all blocks.
    Sim().Faults().Queue(probesim::Fault::Short(2));
    sSensorInfo info;
    EXPECT_EQ(Device().GetSensorInfo(1, info), MODBUSCOMM_E_INVALID_SENSOR_HEADER_SIZE);
    EXPECT_EQ(info.Parameters.GetCount(), 0u);
    LoadDescriptions();
    Sim().Faults().Queue(probesim::Fault::Short(2));
    float value = 7.0f;
    EXPECT_EQ(LiveValue(2, value), MODBUSCOMM_E_INVALID_PARAMETER_BLOCK_SIZE);
    Sim().Faults().SetPersistent(probesim::Fault::Short(2)); // the cache time-out read goes first
    CDynArray<sParameterReading> readings;
    EXPECT_EQ(Device().GetSensorParameters(1, readings, FALSE), MODBUSCOMM_E_INVALID_PARAMETER_BLOCK_SIZE);
    Sim().Faults().ClearPersistent();
    // Whole replies again, whole readings again.
    EXPECT_EQ(Readings(FALSE).size(), kDoParameters);
}

TEST_F(SensorRecordTest, ACachedValueReadsOnlyTheDescriptionsAndALiveOneItsOwnBlock)
{
    StartWithDoSensor();
    AttachDevice();
    ASSERT_EQ(Device().BuildSensorCache(), S_OK);
    Mark();
    float value = 7.0f;
    ASSERT_EQ(LiveValue(2, value, TRUE), S_OK);
    EXPECT_EQ(value, 0.0f);
    EXPECT_EQ(m_quality, BlockWord(2, 4));
    EXPECT_EQ(m_unit, BlockWord(2, 3));
    EXPECT_EQ(ReadsSinceMark(), DescriptionReads());
    Mark();
    ASSERT_EQ(LiveValue(2, value), S_OK);
    EXPECT_EQ(value, *Probe().Registers().GetFloat(BlockRegister(Base(), 2)));
    EXPECT_EQ(m_quality, probesim::kQualityNormal);
    EXPECT_EQ(ReadsSinceMark(), (std::vector<RegisterRead>{{kSlave, BlockRegister(Base(), 2), 8}}));
    Mark();
    float cached = 0.0f;
    ASSERT_EQ(LiveValue(2, cached, TRUE), S_OK);
    EXPECT_EQ(cached, value);
    for (USHORT parameter : {0, 5})
    {
        EXPECT_EQ(LiveValue(parameter, value), MODBUSCOMM_E_INVALID_PARAMETER_NUMBER);
        EXPECT_EQ(LiveValue(parameter, value, TRUE), MODBUSCOMM_E_INVALID_PARAMETER_NUMBER);
    }
    EXPECT_EQ(FramesSinceMark(), 0u);
}

TEST_F(SensorRecordTest, MeasuredReadingsAreReadWithValuesOnceAndDescriptionsNeverStandInForThem)
{
    StartWithDoSensor();
    AttachDevice();
    // The blocks are valid, but read without their values.
    LoadDescriptions();
    const std::vector<RegisterRead> valueRead{{kSlave, 49463, 1}, {kSlave, BlockRegister(Base(), 1), 32}};
    const auto measured = [this]
    {
        CDynArray<sParameterReading> readings;
        EXPECT_EQ(Device().GetMeasuredSensorParameters(1, readings), S_OK);
        return std::vector<sParameterReading>(readings.GetData(), readings.GetData() + readings.GetCount());
    };
    const std::vector<sParameterReading> first = measured();
    EXPECT_EQ(ReadsSinceMark(), valueRead);
    ASSERT_EQ(first.size(), kDoParameters);
    for (uint16_t n = 1; n <= kDoParameters; ++n)
        EXPECT_EQ(first[n - 1].Value, *Probe().Registers().GetFloat(BlockRegister(Base(), n))) << n;

    // A second caller takes the same measurement; a fresh header drops it with the blocks.
    Mark();
    const std::vector<sParameterReading> second = measured();
    EXPECT_EQ(FramesSinceMark(), 0u);
    ASSERT_EQ(second.size(), kDoParameters);
    EXPECT_EQ(second[0].Value, first[0].Value);
    EXPECT_EQ(second[0].ReadingTime, first[0].ReadingTime);
    ASSERT_EQ(Device().ReadSensorHeader(1), S_OK);
    Mark();
    measured();
    EXPECT_EQ(ReadsSinceMark(), valueRead);
}

TEST_F(SensorRecordTest, AllValuesTravelInOneRequestAndAFailedRefreshTouchesNoOtherReading)
{
    StartWithDoSensor();
    AttachDevice();
    LoadDescriptions();
    const std::vector<sParameterReading> before = Readings(FALSE);
    // The measurement-cache time-out first: it decides how long the values may take.
    EXPECT_EQ(ReadsSinceMark(),
              (std::vector<RegisterRead>{{kSlave, 49463, 1}, {kSlave, BlockRegister(Base(), 1), 32}}));
    ASSERT_EQ(before.size(), kDoParameters);
    for (uint16_t n = 1; n <= kDoParameters; ++n)
    {
        EXPECT_EQ(before[n - 1].Value, *Probe().Registers().GetFloat(BlockRegister(Base(), n))) << n;
        EXPECT_EQ(before[n - 1].SerialNumber, kDoSerial);
        EXPECT_NE(before[n - 1].ReadingTime.wYear, 1970);
    }

    // The failed parameter gets its sentinel and a failure; the others keep their readings.
    Sim().Faults().Queue(probesim::Fault::NoReply(), 2);
    float value = 1.0f;
    EXPECT_EQ(LiveValue(2, value), SERIALCOMM_E_READ_TIMEOUT);
    Mark();
    const std::vector<sParameterReading> after = Readings(TRUE);
    EXPECT_EQ(FramesSinceMark(), 0u);
    ASSERT_EQ(after.size(), kDoParameters);
    EXPECT_EQ(after[1].Value, before[1].Sentinel);
    EXPECT_EQ(after[1].Status, E_FAIL);
    EXPECT_EQ(after[1].ReadingTime, DEVICE_TIME_MIN);
    EXPECT_EQ(after[1].UnitId, before[1].UnitId);
    for (size_t i : {0u, 2u, 3u})
    {
        EXPECT_EQ(after[i].Value, before[i].Value) << i;
        EXPECT_EQ(after[i].Status, S_OK) << i;
        EXPECT_EQ(after[i].ReadingTime, before[i].ReadingTime) << i;
    }
}

TEST_F(SensorRecordTest, UnitAndSentinelGoToTheirBlockRegisters)
{
    StartWithDoSensor();
    AttachDevice();
    LoadDescriptions();
    const uint16_t b = Base();
    constexpr USHORT kFahrenheit = 2;
    ASSERT_EQ(Device().SetParameterUnitId(1, 2, kFahrenheit), S_OK);
    EXPECT_EQ(WritesSinceMark(),
              (std::vector<RegisterWrite>{{kSlave, static_cast<uint16_t>(b + 48), {kFahrenheit}}}));
    // The header again, then the changed parameter with its value.
    EXPECT_EQ(ReadsSinceMark(),
              (std::vector<RegisterRead>{{kSlave, b, 37}, {kSlave, BlockRegister(b, 2), 8}}));
    EXPECT_EQ(*Probe().Registers().GetU16(b + 48), kFahrenheit);
    // The unit already set is not sent again.
    USHORT unit = 0;
    ASSERT_EQ(Device().GetParameterUnitId(1, 4, unit), S_OK);
    Mark();
    EXPECT_EQ(Device().SetParameterUnitId(1, 4, unit), S_OK);
    EXPECT_EQ(FramesSinceMark(), 0u);

    // Parameter 3's unit lies at B+56; the sensor refuses a unit it does not offer.
    EXPECT_EQ(Device().SetParameterUnitId(1, 3, 9), MODBUSCOMM_E_EXCEPTION_BASE + 0x84);
    EXPECT_EQ(WritesSinceMark(), (std::vector<RegisterWrite>{{kSlave, static_cast<uint16_t>(b + 56), {9}}}));
    Mark();
    ASSERT_EQ(Device().SetParameterSentinel(1, 1, -1.5f), S_OK);
    const std::vector<RegisterWrite> writes = WritesSinceMark();
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].first, b + 42);
    EXPECT_EQ(*Probe().Registers().GetFloat(b + 42), -1.5f);
    Mark();
    float sentinel = 0.0f;
    ASSERT_EQ(Device().GetParameterSentinel(1, 1, sentinel), S_OK);
    EXPECT_EQ(sentinel, -1.5f);
    EXPECT_EQ(FramesSinceMark(), 0u);
}

TEST_F(SensorRecordTest, AParameterCountBeyondTheHoldingRegistersIsRefusedWithoutTraffic)
{
    StartWithDoSensor();
    Probe().Registers().SetU16(Base() + probesim::header::kParameterCount, 1300);
    AttachDevice();
    ASSERT_EQ(Device().BuildSensorCache(), S_OK);
    Mark();
    float value = 0.0f;
    EXPECT_EQ(LiveValue(1, value), MODBUSCOMM_E_INVALID_PARAMETER_NUMBER);
    EXPECT_EQ(Device().ReadSensorParameterBlocks(1), MODBUSCOMM_E_INVALID_PARAMETER_NUMBER);
    EXPECT_EQ(ReadsSinceMark(), (std::vector<RegisterRead>{{kSlave, Base(), 37}}));
}

// The sensor measures for 400 ms (150 ms a parameter when all four are read) while its header claims
// a sample time of its own; only the time-out rule decides whether the read waits long enough. No
// retries: a late reply must not rescue a retry. Every case is 250 ms or more away from the other
// outcome, so that a busy machine cannot turn it.
struct TimeoutCase
{
    USHORT deviceType;
    USHORT cacheTimeout;
    USHORT headerRate;
    bool allBlocks;
    HRESULT expected;
};

class SensorTimeout : public SensorRecordTest, public ::testing::WithParamInterface<TimeoutCase>
{
};

TEST_P(SensorTimeout, TheReadWaitsAsTheDeviceTypeAndTheHeaderSay)
{
    const TimeoutCase c = GetParam();
    SetTunable(u"Retry Count", 0);
    StartLine({.deviceType = c.deviceType, .measurementCacheTimeout = c.cacheTimeout});
    probesim::SimSensor sensor = probesim::OpticalDoSensor(kDoSerial);
    sensor.sampleRate = c.allBlocks ? 150ms : 400ms;
    sensor.base = 42001; // clear of the registers that some families keep near 40100
    Probe().Sensors().Add(1, sensor);
    Probe().Registers().SetU16(Base() + probesim::header::kSampleRate, c.headerRate);
    AttachDevice();
    LoadDescriptions();
    // The register time-out the cases are reckoned with; the steps before keep the fixture's longer
    // one, which a busy machine needs.
    SetTunable(u"Read Register TO", 150);
    float value = 0.0f;
    EXPECT_EQ(c.allBlocks ? Device().ReadSensorParameterBlocks(1) : LiveValue(1, value), c.expected);
    if (c.allBlocks && c.cacheTimeout == 0)
    {
        // The cache time-out is asked first.
        const std::vector<RegisterRead> reads = ReadsSinceMark();
        ASSERT_EQ(reads.size(), 2u);
        EXPECT_EQ(reads[0].first, 49463);
        EXPECT_EQ(reads[1], (RegisterRead{kSlave, BlockRegister(Base(), 1), 32}));
    }
}

// Early device types wait a second; others the warm-up and the sample rate; without the measurement
// cache all parameters are waited for (4 x 300 ms), with it only the sample rate counts. Without
// the cache that rule holds for early types too: 4 x 50 ms instead of their second.
INSTANTIATE_TEST_SUITE_P(Rules, SensorTimeout,
                         ::testing::Values(TimeoutCase{3, 1000, 50, false, S_OK},
                                           TimeoutCase{20, 1000, 900, false, S_OK},
                                           TimeoutCase{20, 1000, 50, false, SERIALCOMM_E_READ_TIMEOUT},
                                           TimeoutCase{20, 0, 300, true, S_OK},
                                           TimeoutCase{20, 1000, 300, true, SERIALCOMM_E_READ_TIMEOUT},
                                           TimeoutCase{3, 0, 50, true, SERIALCOMM_E_READ_TIMEOUT}));

namespace ds = probesim::dosensor;

TEST_F(SensorRecordTest, AccessByOffsetCountsFromTheBaseOfTheConnectionGiven)
{
    StartWithDoSensor();
    Probe().Sensors().Add(2, probesim::OpticalDoSensor(2));
    AttachDevice();
    LoadDescriptions(2);
    const uint16_t b = Base(2);
    float baro = 0.0f;
    ASSERT_EQ(Device().ReadSensorFloat(2, ds::kLiveBaro, baro), S_OK);
    EXPECT_EQ(baro, *Probe().Sensors().SettingInUse(2, ds::kLiveBaro));
    ASSERT_EQ(Device().WriteSensorFloat(2, ds::kLiveSalinity, 12.5f), S_OK);
    EXPECT_EQ(*Probe().Sensors().SettingInUse(2, ds::kLiveSalinity), 12.5f);
    USHORT id = 0;
    ASSERT_EQ(Device().ReadSensorUShort(2, 0, id), S_OK);
    EXPECT_EQ(id, probesim::kOpticalDoSensorId);
    ULONG serial = 0;
    ASSERT_EQ(Device().ReadSensorULong(2, 1, serial), S_OK);
    EXPECT_EQ(serial, 2u);
    ASSERT_EQ(Device().ReadSensorULong(2, 5, serial), S_OK);
    CDeviceTimestamp time;
    ASSERT_EQ(Device().ReadSensorTime(2, 10, time), S_OK);
    EXPECT_EQ(time.GetSeconds(), probesim::GetTimestamp(Probe().Registers(), b + 10).value().seconds);
    ASSERT_EQ(Device().ReadSensorParameterBlock(2, 3), S_OK);
    const std::vector<RegisterRead> reads{{kSlave, static_cast<uint16_t>(b + ds::kLiveBaro), 2},
                                          {kSlave, b, 1},
                                          {kSlave, static_cast<uint16_t>(b + 1), 2},
                                          {kSlave, static_cast<uint16_t>(b + 5), 2},
                                          {kSlave, static_cast<uint16_t>(b + 10), 3},
                                          {kSlave, BlockRegister(b, 3), 8}};
    EXPECT_EQ(ReadsSinceMark(), reads);
}

TEST_F(SensorRecordTest, BadConnectionsAndOffsetsAreRefusedWithoutTrafficAndBeforeOutValuesChange)
{
    StartWithDoSensor();
    AttachDevice();
    ASSERT_EQ(Device().BuildSensorCache(), S_OK);
    Mark();
    const USHORT last = static_cast<USHORT>(49999 - Base());
    float value = 7.0f;
    EXPECT_EQ(Device().ReadSensorFloat(1, last, value), MODBUSCOMM_E_INVALID_SENSOR_PORT);
    ULONG serial = 0;
    EXPECT_EQ(Device().ReadSensorULong(1, last, serial), MODBUSCOMM_E_INVALID_SENSOR_PORT);
    CDeviceTimestamp time;
    EXPECT_EQ(Device().ReadSensorTime(1, static_cast<USHORT>(last - 1), time),
              MODBUSCOMM_E_INVALID_SENSOR_PORT);
    // A 16-bit sum would wrap to register 4465.
    EXPECT_EQ(Device().WriteSensorUShort(1, static_cast<USHORT>(70001 - Base()), 1),
              MODBUSCOMM_E_INVALID_SENSOR_PORT);
    // A live value of connection 0 leaves the value and unit alone; a parameter id is cleared only
    // past the guards.
    m_unit = 9;
    EXPECT_EQ(Device().ReadParameterValue(0, 1, value, m_quality, m_unit, FALSE),
              MODBUSCOMM_E_INVALID_SENSOR_PORT);
    EXPECT_EQ(std::make_tuple(value, m_quality, m_unit),
              std::make_tuple(7.0f, NVSystem::SENSOR_QUALITY_NONE, USHORT{9}));
    USHORT id = 77;
    EXPECT_EQ(Device().GetParameterId(5, 1, id), MODBUSCOMM_E_INVALID_SENSOR_PORT);
    EXPECT_EQ(id, 0);
    EXPECT_EQ(FramesSinceMark(), 0u);
    probesim::InstrumentConfig boot{.deviceType = 12};
    boot.boot.startInBoot = true;
    StartAttached(boot);
    id = 77;
    EXPECT_EQ(Device().GetParameterId(1, 1, id), MODBUSCOMM_E_NO_APP_FIRMWARE);
    EXPECT_EQ(id, 77);
    EXPECT_EQ(FramesSinceMark(), 0u);
}

} // namespace
} // namespace devicetest
