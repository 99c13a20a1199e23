// The optical-DO adapter against the VOX core probe (device type 39), whose optical DO sensor sits
// on connection 1.

#include "models/VOXSensor.h"
#include "tests/models/AdapterTestSupport.h"
#include "tools/probe-sim/OpticalDoSensor.h"

namespace adaptertest
{
namespace
{

using NVSystem::CVOXSensor;
namespace dos = probesim::dosensor;

constexpr uint16_t kDo = 1;
constexpr uint32_t kClockStart = 1700000000;

class VOXSensorAdapter : public AdapterTest
{
protected:
    void SetUp() override
    {
        probesim::InstrumentConfig config = probesim::ProbeConfig(probesim::kCoreProbeType, kProbeSerial);
        config.clockStart = probesim::DeviceTimestamp{kClockStart, 0};
        StartProbe(config);
    }
};

struct FloatSetting
{
    const char* name;
    HRESULT (CVOXSensor::*read)(float&);
    HRESULT (CVOXSensor::*write)(float);
    uint16_t offset;
};

const FloatSetting kFloatSettings[] = {
    {"live salinity", &CVOXSensor::ReadLiveSalinity, &CVOXSensor::SetLiveSalinity, dos::kLiveSalinity},
    {"default salinity", &CVOXSensor::ReadDefaultSalinity, &CVOXSensor::SetDefaultSalinity,
     dos::kDefaultSalinity},
    {"live baro", &CVOXSensor::ReadLiveBaro, &CVOXSensor::SetLiveBaro, dos::kLiveBaro},
    {"default baro", &CVOXSensor::ReadDefaultBaro, &CVOXSensor::SetDefaultBaro, dos::kDefaultBaro},
    {"DO at 100 %", &CVOXSensor::ReadCalDO100, &CVOXSensor::SetCalDO100, dos::kCalDo100},
    {"temperature at 100 %", &CVOXSensor::ReadCalTemp100, &CVOXSensor::SetCalTemp100, dos::kCalTemp100},
    {"salinity at 100 %", &CVOXSensor::ReadCalSalinity100, &CVOXSensor::SetCalSalinity100,
     dos::kCalSalinity100},
    {"baro at 100 %", &CVOXSensor::ReadCalBaro100, &CVOXSensor::SetCalBaro100, dos::kCalBaro100},
    {"DO at 0 %", &CVOXSensor::ReadCalDO0, &CVOXSensor::SetCalDO0, dos::kCalDo0},
    {"temperature at 0 %", &CVOXSensor::ReadCalTemp0, &CVOXSensor::SetCalTemp0, dos::kCalTemp0},
    {"slope", &CVOXSensor::ReadCalSlope, &CVOXSensor::SetCalSlope, dos::kCalSlope},
    {"offset", &CVOXSensor::ReadCalOffset, &CVOXSensor::SetCalOffset, dos::kCalOffset},
};

TEST_F(VOXSensorAdapter, EachFloatSettingReadsAndWritesItsOwnRegisters)
{
    CVOXSensor sensor(&Device(), kDo);
    float seed = 1.25f;
    for (const FloatSetting& setting : kFloatSettings)
    {
        SCOPED_TRACE(setting.name);
        seed += 3.5f;
        SetSimFloat(kDo, setting.offset, seed);
        float value = 0.0f;
        ASSERT_EQ((sensor.*setting.read)(value), S_OK);
        EXPECT_EQ(value, seed);

        ASSERT_EQ((sensor.*setting.write)(seed + 100.0f), S_OK);
        EXPECT_EQ(SimFloat(kDo, setting.offset), seed + 100.0f);
    }
}

struct Quantity
{
    const char* name;
    HRESULT (CVOXSensor::*read)(float&, USHORT&, USHORT&, BOOL);
    HRESULT (CVOXSensor::*getUnit)(USHORT&);
    uint16_t parameter;
};

const Quantity kQuantities[] = {
    {"A", &CVOXSensor::ReadOxygenParamA, &CVOXSensor::GetOxygenParamAUnit, dos::kConcentration},
    {"temperature", &CVOXSensor::ReadTemperature, &CVOXSensor::GetTemperatureUnit, dos::kTemperature},
    {"B", &CVOXSensor::ReadOxygenParamB, &CVOXSensor::GetOxygenParamBUnit, dos::kSaturation},
    {"C", &CVOXSensor::ReadOxygenParamC, &CVOXSensor::GetOxygenParamCUnit, dos::kPartialPressure},
};

TEST_F(VOXSensorAdapter, EachQuantityReadsItsParameter)
{
    CVOXSensor sensor(&Device(), kDo);
    for (uint16_t p = 1; p <= 4; ++p)
        MarkParameter(kDo, p, static_cast<uint16_t>(p << 4));
    for (const Quantity& quantity : kQuantities)
    {
        SCOPED_TRACE(quantity.name);
        float value = 0.0f;
        USHORT quality = 0;
        USHORT unitId = 0;
        ASSERT_EQ((sensor.*quantity.read)(value, quality, unitId, FALSE), S_OK);
        EXPECT_EQ(quality, quantity.parameter << 4);
        USHORT unit = 0;
        ASSERT_EQ((sensor.*quantity.getUnit)(unit), S_OK);
        EXPECT_EQ(unit, SimWord(kDo, probesim::ParameterBlockOffset(quantity.parameter) +
                                         probesim::block::kUnitId));
    }
}

TEST_F(VOXSensorAdapter, SentinelsAndUnitsGoToTheirParameterBlocks)
{
    CVOXSensor sensor(&Device(), kDo);
    ASSERT_EQ(sensor.SetOxygenParamASentinel(-1.0f), S_OK);
    ASSERT_EQ(sensor.SetOxygenParamBSentinel(-2.0f), S_OK);
    ASSERT_EQ(sensor.SetOxygenParamCSentinel(-3.0f), S_OK);
    using probesim::ParameterBlockOffset;
    EXPECT_EQ(SimFloat(kDo, ParameterBlockOffset(dos::kConcentration) + probesim::block::kSentinel), -1.0f);
    EXPECT_EQ(SimFloat(kDo, ParameterBlockOffset(dos::kSaturation) + probesim::block::kSentinel), -2.0f);
    EXPECT_EQ(SimFloat(kDo, ParameterBlockOffset(dos::kPartialPressure) + probesim::block::kSentinel), -3.0f);
    float sentinel = 0.0f;
    ASSERT_EQ(sensor.GetOxygenParamBSentinel(sentinel), S_OK);
    EXPECT_EQ(sentinel, -2.0f);

    // Fahrenheit is the temperature class's second unit.
    const USHORT celsius = SimWord(kDo, ParameterBlockOffset(dos::kTemperature) + probesim::block::kUnitId);
    ASSERT_EQ(sensor.SetTemperatureUnit(static_cast<USHORT>(celsius + 1)), S_OK);
    EXPECT_EQ(SimWord(kDo, ParameterBlockOffset(dos::kTemperature) + probesim::block::kUnitId), celsius + 1);
}

TEST_F(VOXSensorAdapter, DefaultsBecomeLiveOnlyWhenTheDefaultIsTaken)
{
    CVOXSensor sensor(&Device(), kDo);
    ASSERT_EQ(sensor.SetDefaultSalinity(12.5f), S_OK);
    EXPECT_EQ(SimFloat(kDo, dos::kDefaultSalinity), 12.5f);
    EXPECT_EQ(SimFloat(kDo, dos::kLiveSalinity), 12.5f);

    RefuseWrites(Register(kDo, dos::kDefaultBaro), 2);
    SetSimFloat(kDo, dos::kLiveBaro, 1013.0f);
    EXPECT_EQ(sensor.SetDefaultBaro(900.0f), ResultOf(probesim::ExceptionCode::SlaveDeviceFailure));
    EXPECT_EQ(SimFloat(kDo, dos::kLiveBaro), 1013.0f);

    // The live write's failure does not count.
    RefuseWrites(Register(kDo, dos::kLiveSalinity), 2);
    EXPECT_EQ(sensor.SetDefaultSalinity(30.0f), S_OK);
    EXPECT_EQ(SimFloat(kDo, dos::kDefaultSalinity), 30.0f);
    EXPECT_EQ(SimFloat(kDo, dos::kLiveSalinity), 12.5f);
}

TEST_F(VOXSensorAdapter, SerialNumbersAndPresence)
{
    CVOXSensor sensor(&Device(), kDo);
    ULONG serial = 0;
    ASSERT_EQ(sensor.GetSerialNumber(serial), S_OK);
    EXPECT_EQ(serial, SensorSerial(kDo));
    ULONG cap = 0;
    ASSERT_EQ(sensor.GetCapSerialNumber(cap), S_OK);
    EXPECT_EQ(cap, serial);
    ASSERT_EQ(sensor.GetVoxSerialNumber(cap), S_OK);
    EXPECT_EQ(cap, serial);
    EXPECT_TRUE(sensor.IsSensorPresent());
    EXPECT_EQ(sensor.GetConnection(), kDo);
    EXPECT_EQ(sensor.GetVoxConnection(), kDo);

    // A connection the probe does not have: no serial number, and the failure says why.
    CVOXSensor absent(&Device(), 7);
    serial = 99;
    EXPECT_EQ(absent.GetSerialNumber(serial), MODBUSCOMM_E_INVALID_SENSOR_PORT);
    EXPECT_EQ(serial, 0u);
    EXPECT_FALSE(absent.IsSensorPresent());
}

TEST_F(VOXSensorAdapter, SerialNumberZeroIsNoSensor)
{
    Probe().Registers().SetU32(Register(kDo, probesim::header::kSerialNumber), 0);
    CVOXSensor sensor(&Device(), kDo);
    EXPECT_FALSE(sensor.IsSensorPresent());
}

TEST_F(VOXSensorAdapter, CapStatusFollowsTheWholeQualityWord)
{
    CVOXSensor sensor(&Device(), kDo);
    const struct
    {
        uint16_t quality;
        ULONG status;
    } cases[] = {{0, 0}, {5, 1}, {2, 2}, {3, 3}, {7, 4}, {6, 0}, {4, 0}, {0x15, 0}, {0x27, 0}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.quality);
        MarkParameter(kDo, dos::kConcentration, c.quality);
        ULONG status = 99;
        EXPECT_EQ(sensor.GetSensorStatus(status), S_OK);
        EXPECT_EQ(status, c.status);
    }
}

TEST_F(VOXSensorAdapter, CapStatusOfAMissingAndOfAnUnreadableSensor)
{
    CVOXSensor sensor(&Device(), kDo);
    ULONG status = 99;
    ASSERT_EQ(sensor.GetSensorStatus(status), S_OK);
    EXPECT_EQ(status, 0u);

    Probe().Sensors().Unplug(kDo);
    EXPECT_EQ(sensor.GetSensorStatus(status), S_OK);
    EXPECT_EQ(status, CVOXSensor::kStatusNotDetected);

    Probe().Sensors().Plug(kDo);
    Sim().Faults().SetPersistent(probesim::Fault::NoReply());
    EXPECT_EQ(sensor.GetSensorStatus(status), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_EQ(status, CVOXSensor::kStatusReadFailure);
    Sim().Faults().Clear();
}

TEST_F(VOXSensorAdapter, FactoryCalibrationDueByTheDeviceClock)
{
    using probesim::header::kNextFactoryCal;
    CVOXSensor sensor(&Device(), kDo);
    probesim::SetTimestamp(Probe().Registers(), Register(kDo, kNextFactoryCal), {kClockStart + 60, 0});
    int64_t ms = -1;
    ASSERT_EQ(sensor.GetTimeToFactoryCal(ms), S_OK);
    EXPECT_GT(ms, 55000);
    EXPECT_LE(ms, 60000);
    EXPECT_FALSE(sensor.IsFactoryCalDue());
    CDeviceTimestamp due;
    ASSERT_EQ(sensor.GetNextFactoryCalDate(due), S_OK);
    EXPECT_EQ(due.GetSeconds(), kClockStart + 60);

    // The header is cached: a date that has passed needs a fresh one.
    probesim::SetTimestamp(Probe().Registers(), Register(kDo, kNextFactoryCal), {kClockStart - 10, 0});
    ASSERT_EQ(Device().ReadSensorHeader(kDo), S_OK);
    ms = -1;
    ASSERT_EQ(sensor.GetTimeToFactoryCal(ms), S_OK);
    EXPECT_EQ(ms, 0);
    EXPECT_TRUE(sensor.IsFactoryCalDue());

    CVOXSensor absent(&Device(), 7);
    EXPECT_EQ(absent.GetTimeToFactoryCal(ms), MODBUSCOMM_E_INVALID_SENSOR_PORT);
    EXPECT_EQ(ms, 0);
    EXPECT_TRUE(absent.IsFactoryCalDue());
}

TEST_F(VOXSensorAdapter, CalibrationCommandsGoToItsCommandRegister)
{
    CVOXSensor sensor(&Device(), kDo);
    ASSERT_EQ(sensor.CalModeOn(), S_OK);
    EXPECT_EQ(Probe().Sensors().Mode(kDo), probesim::SensorMode::Calibrating);
    ASSERT_EQ(sensor.UpdateCalibration(), S_OK);
    ASSERT_EQ(sensor.CalModeOff(), S_OK);
    EXPECT_EQ(Probe().Sensors().Mode(kDo), probesim::SensorMode::Measuring);
    EXPECT_EQ(CommandsSinceMark(kDo), (std::vector<uint16_t>{0xE000, 0xE001, 0xE002}));
    StartLog();
    EXPECT_EQ(sensor.WriteCalibrationNote(), E_FAIL);
    EXPECT_TRUE(Notes().empty());
}

TEST_F(VOXSensorAdapter, SignatureGuardsTheSerialAndTemperatureOperationsOnly)
{
    Tampered<CVOXSensor> sensor(&Device(), kDo);
    sensor.SpoilSignature();
    float value = 0.0f;
    USHORT quality = 0;
    USHORT unitId = 0;
    ULONG serial = 5;
    Mark();
    EXPECT_EQ(sensor.ReadTemperature(value, quality, unitId, FALSE), MODBUSCOMM_E_INVALID_DEVICE_THIS);
    EXPECT_EQ(sensor.GetTemperatureUnit(unitId), MODBUSCOMM_E_INVALID_DEVICE_THIS);
    EXPECT_EQ(sensor.GetSerialNumber(serial), MODBUSCOMM_E_INVALID_DEVICE_THIS);
    EXPECT_EQ(serial, 0u);
    EXPECT_EQ(sensor.GetCapSerialNumber(serial), MODBUSCOMM_E_INVALID_DEVICE_THIS);
    EXPECT_EQ(FramesSinceMark(), 0u);
    EXPECT_EQ(sensor.ReadOxygenParamA(value, quality, unitId, FALSE), S_OK);
    EXPECT_GT(FramesSinceMark(), 0u);

    CVOXSensor unbound(nullptr, kDo);
    EXPECT_EQ(unbound.ReadOxygenParamA(value, quality, unitId, FALSE), E_FAIL);
    EXPECT_EQ(unbound.SetCalSlope(1.0f), E_FAIL);
    EXPECT_EQ(unbound.ReadTemperature(value, quality, unitId, FALSE), MODBUSCOMM_E_INVALID_DEVICE_THIS);
    EXPECT_FALSE(unbound.IsSensorPresent());
    ULONG status = 0;
    EXPECT_EQ(unbound.GetSensorStatus(status), E_FAIL);
    EXPECT_EQ(status, CVOXSensor::kStatusReadFailure);
}

TEST_F(VOXSensorAdapter, TypeAndCasts)
{
    CVOXSensor sensor(&Device(), kDo);
    NVSystem::ISensor_Interface& root = sensor;
    EXPECT_EQ(root.GetSensorType(), NVSystem::SENSOR_TYPE_VOX);
    EXPECT_EQ(root.AsVoxPro(), &sensor);
    EXPECT_EQ(root.AsTemperature(), &sensor);
    EXPECT_EQ(root.AsConductivity(), nullptr);
    EXPECT_EQ(root.AspHORP(), nullptr);
}

} // namespace
} // namespace adaptertest
