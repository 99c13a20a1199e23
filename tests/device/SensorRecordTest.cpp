// The sensor record against the simulated DO sensor: header and parameter registers, live and cached
// values, a refresh that fails, unit and sentinel writes, and the time-out a read with values gets.
#include "tests/device/SensorTestSupport.h"

namespace devicetest
{
namespace
{

using namespace std::chrono_literals;

class SensorRecordTest : public SensorOnSimulator
{
protected:
    HRESULT LiveValue(USHORT parameter, float& value, USHORT& quality, USHORT& unit, BOOL cachedOnly = FALSE)
    {
        return Device().ReadParameterValue(1, parameter, value, quality, unit, cachedOnly);
    }
    std::vector<sParameterReading> Readings(BOOL cachedAllowed)
    {
        CDynArray<sParameterReading> readings;
        EXPECT_EQ(Device().GetSensorParameters(1, readings, cachedAllowed), S_OK);
        return std::vector<sParameterReading>(readings.GetData(), readings.GetData() + readings.GetCount());
    }
    std::vector<RegisterRead> DescriptionReads(uint16_t base)
    {
        std::vector<RegisterRead> reads;
        for (uint16_t n = 1; n <= kDoParameters; ++n)
            reads.push_back({kSlave, BlockRegister(base, n, 2), 6});
        return reads;
    }
};

TEST_F(SensorRecordTest, SensorInfoCarriesTheHeaderAndTheParameterDescriptions)
{
    StartWithDoSensor({.deviceType = 12, .serialNumber = 4711});
    AttachDevice();
    sSensorInfo info;
    ASSERT_EQ(Device().GetSensorInfo(1, info), S_OK);
    EXPECT_EQ(info.Address, kSlave);
    EXPECT_EQ(info.DeviceTypeId, 12);
    EXPECT_EQ(info.Connection, 1);
    EXPECT_EQ(info.DeviceSerialNumber, 4711u);
    EXPECT_EQ(info.SensorId, probesim::kOpticalDoSensorId);
    EXPECT_EQ(info.SerialNumber, kDoSerial);
    EXPECT_EQ(info.ParameterCount, kDoParameters);
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
    for (uint32_t i = 0; i < kDoParameters; ++i)
    {
        const sParameterReading& reading = info.Parameters[i];
        EXPECT_EQ(reading.ParameterNumber, i + 1);
        EXPECT_EQ(reading.ParameterId, ids[i]);
        EXPECT_EQ(reading.UnitId, *Probe().Registers().GetU16(BlockRegister(Base(), i + 1, 3)));
        EXPECT_FLOAT_EQ(reading.Sentinel, -9999.0f);
        EXPECT_EQ(reading.Value, 0.0f); // descriptions only
        EXPECT_EQ(reading.Status, S_OK);
    }
    std::vector<RegisterRead> expected{{kSlave, 49300, 3}, {kSlave, 49303, 5}, {kSlave, Base(), 37}};
    for (const RegisterRead& read : DescriptionReads(Base()))
        expected.push_back(read);
    EXPECT_EQ(ReadsSinceMark(), expected);
}

TEST_F(SensorRecordTest, ALiveValueReadsItsOwnBlockAndTheCachedOneReadsNothing)
{
    StartWithDoSensor();
    AttachDevice();
    LoadDescriptions();
    float value = 0.0f;
    USHORT quality = 0, unit = 0;
    ASSERT_EQ(LiveValue(2, value, quality, unit), S_OK);
    EXPECT_EQ(value, *Probe().Registers().GetFloat(BlockRegister(Base(), 2)));
    EXPECT_EQ(quality, probesim::kQualityNormal);
    EXPECT_EQ(unit, *Probe().Registers().GetU16(BlockRegister(Base(), 2, 3)));
    EXPECT_EQ(ReadsSinceMark(), (std::vector<RegisterRead>{{kSlave, BlockRegister(Base(), 2), 8}}));

    Mark();
    float cached = 0.0f;
    ASSERT_EQ(LiveValue(2, cached, quality, unit, TRUE), S_OK);
    EXPECT_EQ(cached, value);
    EXPECT_EQ(FramesSinceMark(), 0u);

    for (USHORT parameter : {0, 5})
    {
        value = 7.0f;
        EXPECT_EQ(LiveValue(parameter, value, quality, unit), MODBUSCOMM_E_INVALID_PARAMETER_NUMBER);
        EXPECT_EQ(LiveValue(parameter, value, quality, unit, TRUE), MODBUSCOMM_E_INVALID_PARAMETER_NUMBER);
    }
    EXPECT_EQ(FramesSinceMark(), 0u);
}

TEST_F(SensorRecordTest, ACachedValueRightAfterAttachReadsOnlyTheDescriptions)
{
    StartWithDoSensor();
    AttachDevice();
    ASSERT_EQ(Device().BuildSensorCache(), S_OK);
    Mark();
    float value = 7.0f;
    USHORT quality = 0xFFFF, unit = 0;
    ASSERT_EQ(LiveValue(1, value, quality, unit, TRUE), S_OK);
    EXPECT_EQ(value, 0.0f);
    EXPECT_EQ(quality, *Probe().Registers().GetU16(BlockRegister(Base(), 1, 4)));
    EXPECT_EQ(unit, *Probe().Registers().GetU16(BlockRegister(Base(), 1, 3)));
    std::vector<RegisterRead> expected{{kSlave, Base(), 37}};
    for (const RegisterRead& read : DescriptionReads(Base()))
        expected.push_back(read);
    EXPECT_EQ(ReadsSinceMark(), expected);
}

TEST_F(SensorRecordTest, AllValuesTravelInOneRequest)
{
    StartWithDoSensor();
    AttachDevice();
    LoadDescriptions();
    const std::vector<sParameterReading> readings = Readings(FALSE);
    ASSERT_EQ(readings.size(), kDoParameters);
    EXPECT_EQ(ReadsSinceMark(), (std::vector<RegisterRead>{{kSlave, BlockRegister(Base(), 1), 32}}));
    for (uint16_t n = 1; n <= kDoParameters; ++n)
    {
        EXPECT_EQ(readings[n - 1].Value, *Probe().Registers().GetFloat(BlockRegister(Base(), n))) << n;
        EXPECT_EQ(readings[n - 1].Status, S_OK);
        EXPECT_EQ(readings[n - 1].SerialNumber, kDoSerial);
        EXPECT_NE(readings[n - 1].ReadingTime.wYear, 1970);
    }
}

TEST_F(SensorRecordTest, AFailedRefreshLeavesTheSentinelAndTouchesNoOtherReading)
{
    StartWithDoSensor();
    AttachDevice();
    const std::vector<sParameterReading> before = Readings(FALSE);
    ASSERT_EQ(before.size(), kDoParameters);
    Sim().Faults().Queue(probesim::Fault::NoReply(), 2);
    float value = 1.0f;
    USHORT quality = 0, unit = 0;
    EXPECT_EQ(LiveValue(2, value, quality, unit), SERIALCOMM_E_READ_TIMEOUT);
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
    USHORT unit = 0;
    ASSERT_EQ(Device().GetParameterUnitId(1, 2, unit), S_OK);
    EXPECT_EQ(unit, kFahrenheit);

    // Parameter 3's unit lies at B+56; the sensor refuses a unit it does not offer.
    Mark();
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

TEST_F(SensorRecordTest, WritingTheUnitAlreadySetSendsNothing)
{
    StartWithDoSensor();
    AttachDevice();
    LoadDescriptions();
    USHORT unit = 0;
    ASSERT_EQ(Device().GetParameterUnitId(1, 4, unit), S_OK);
    Mark();
    EXPECT_EQ(Device().SetParameterUnitId(1, 4, unit), S_OK);
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
    USHORT quality = 0, unit = 0;
    EXPECT_EQ(LiveValue(1, value, quality, unit), MODBUSCOMM_E_INVALID_PARAMETER_NUMBER);
    EXPECT_EQ(Device().ReadSensorParameterBlocks(1), MODBUSCOMM_E_INVALID_PARAMETER_NUMBER);
    EXPECT_EQ(ReadsSinceMark(), (std::vector<RegisterRead>{{kSlave, Base(), 37}}));
}

// The sensor measures for 300 ms while its header claims a sample time of its own; only the time-out
// rule decides whether the read waits long enough. No retries: a late reply must not rescue a retry.
class SensorTimeoutTest : public SensorRecordTest
{
protected:
    HRESULT RefreshWithHeaderSampleRate(probesim::InstrumentConfig config, USHORT headerRate, bool allBlocks)
    {
        SetTunable(u"Retry Count", 0);
        StartLine(config);
        probesim::SimSensor sensor = probesim::OpticalDoSensor(kDoSerial);
        sensor.sampleRate = allBlocks ? 100ms : 300ms;
        sensor.base = 42001; // clear of the registers that some families keep near 40100
        Probe().Sensors().Add(1, sensor);
        Probe().Registers().SetU16(Base() + probesim::header::kSampleRate, headerRate);
        AttachDevice();
        LoadDescriptions();
        if (allBlocks)
            return Device().ReadSensorParameterBlocks(1);
        float value = 0.0f;
        USHORT quality = 0, unit = 0;
        return LiveValue(1, value, quality, unit);
    }
};

TEST_F(SensorTimeoutTest, EarlyDeviceTypesWaitASecond)
{
    EXPECT_EQ(RefreshWithHeaderSampleRate({.deviceType = 3}, 50, false), S_OK);
}

TEST_F(SensorTimeoutTest, OthersWaitWarmUpAndSampleRate)
{
    EXPECT_EQ(RefreshWithHeaderSampleRate({.deviceType = 20}, 450, false), S_OK);
}

TEST_F(SensorTimeoutTest, AShortSampleRateDoesNotWaitForTheSensor)
{
    EXPECT_EQ(RefreshWithHeaderSampleRate({.deviceType = 20}, 50, false), SERIALCOMM_E_READ_TIMEOUT);
}

TEST_F(SensorTimeoutTest, WithoutTheMeasurementCacheAllParametersAreWaitedFor)
{
    // Four parameters of 100 ms; the header says 150 each: 600 ms, asked after the cache time-out.
    EXPECT_EQ(RefreshWithHeaderSampleRate({.deviceType = 20, .measurementCacheTimeout = 0}, 150, true), S_OK);
    const std::vector<RegisterRead> reads = ReadsSinceMark();
    ASSERT_EQ(reads.size(), 2u);
    EXPECT_EQ(reads[0].first, 49463);
    EXPECT_EQ(reads[1], (RegisterRead{kSlave, BlockRegister(Base(), 1), 32}));
}

TEST_F(SensorTimeoutTest, WithTheMeasurementCacheOnlyTheSampleRateCounts)
{
    EXPECT_EQ(RefreshWithHeaderSampleRate({.deviceType = 20, .measurementCacheTimeout = 1000}, 150, true),
              SERIALCOMM_E_READ_TIMEOUT);
}

} // namespace
} // namespace devicetest
