// The optical-DO and depth adapters against the VOX core probe (device type 39), whose optical DO
// sensor sits on connection 1 and its pressure/depth sensor on connection 3.
#include <limits>

#include "foundation/Units.h"
#include "models/LevelSensorVOXCoreIC.h"
#include "models/VOXSensor.h"
#include "tests/models/ModelTestSupport.h"
#include "tools/probe-sim/OpticalDoSensor.h"
#include "tools/probe-sim/PressureSensors.h"

namespace modeltest
{
namespace
{

using NVSystem::CLevelSensorVOXCoreIC;
using NVSystem::CVOXSensor;
namespace dep = probesim::depthsensor;
namespace dos = probesim::dosensor;

constexpr uint16_t kDo = 1;
constexpr uint16_t kDepth = 3;
constexpr uint32_t kClockStart = 1700000000;

class CoreProbeAdapters : public ModelTest
{
protected:
    void SetUp() override
    {
        probesim::InstrumentConfig config = probesim::ProbeConfig(probesim::kCoreProbeType, kProbeSerial);
        config.clockStart = probesim::DeviceTimestamp{kClockStart, 0};
        StartProbe(config);
        LinkDevice();
    }
};

struct FloatSetting
{
    HRESULT (CVOXSensor::*read)(float&);
    HRESULT (CVOXSensor::*write)(float);
    uint16_t offset;
};

const FloatSetting kFloatSettings[] = {
    {&CVOXSensor::ReadLiveSalinity, &CVOXSensor::SetLiveSalinity, dos::kLiveSalinity},
    {&CVOXSensor::ReadDefaultSalinity, &CVOXSensor::SetDefaultSalinity, dos::kDefaultSalinity},
    {&CVOXSensor::ReadLiveBaro, &CVOXSensor::SetLiveBaro, dos::kLiveBaro},
    {&CVOXSensor::ReadDefaultBaro, &CVOXSensor::SetDefaultBaro, dos::kDefaultBaro},
    {&CVOXSensor::ReadCalDO100, &CVOXSensor::SetCalDO100, dos::kCalDo100},
    {&CVOXSensor::ReadCalTemp100, &CVOXSensor::SetCalTemp100, dos::kCalTemp100},
    {&CVOXSensor::ReadCalSalinity100, &CVOXSensor::SetCalSalinity100, dos::kCalSalinity100},
    {&CVOXSensor::ReadCalBaro100, &CVOXSensor::SetCalBaro100, dos::kCalBaro100},
    {&CVOXSensor::ReadCalDO0, &CVOXSensor::SetCalDO0, dos::kCalDo0},
    {&CVOXSensor::ReadCalTemp0, &CVOXSensor::SetCalTemp0, dos::kCalTemp0},
    {&CVOXSensor::ReadCalSlope, &CVOXSensor::SetCalSlope, dos::kCalSlope},
    {&CVOXSensor::ReadCalOffset, &CVOXSensor::SetCalOffset, dos::kCalOffset},
};

TEST_F(CoreProbeAdapters, OpticalDoFloatSettingsAtTheirRegistersAndDefaults)
{
    CVOXSensor sensor(&Device(), kDo);
    float seed = 1.25f;
    for (const FloatSetting& setting : kFloatSettings)
    {
        SCOPED_TRACE(setting.offset);
        seed += 3.5f;
        SetSimFloat(kDo, setting.offset, seed);
        float value = 0.0f;
        ASSERT_EQ((sensor.*setting.read)(value), S_OK);
        EXPECT_EQ(value, seed);

        ASSERT_EQ((sensor.*setting.write)(seed + 100.0f), S_OK);
        EXPECT_EQ(SimFloat(kDo, setting.offset), seed + 100.0f);
    }
    // A default becomes the live value too, but only when it is taken.
    ASSERT_EQ(sensor.SetDefaultSalinity(12.5f), S_OK);
    EXPECT_EQ(SimFloat(kDo, dos::kDefaultSalinity), 12.5f);
    EXPECT_EQ(SimFloat(kDo, dos::kLiveSalinity), 12.5f);

    RefuseWrites(Register(kDo, dos::kDefaultBaro), 2);
    SetSimFloat(kDo, dos::kLiveBaro, 1013.0f);
    EXPECT_EQ(sensor.SetDefaultBaro(900.0f), kRefused);
    EXPECT_EQ(SimFloat(kDo, dos::kLiveBaro), 1013.0f);
    // The live write's failure does not count.
    RefuseWrites(Register(kDo, dos::kLiveSalinity), 2);
    EXPECT_EQ(sensor.SetDefaultSalinity(30.0f), S_OK);
    EXPECT_EQ(SimFloat(kDo, dos::kDefaultSalinity), 30.0f);
    EXPECT_EQ(SimFloat(kDo, dos::kLiveSalinity), 12.5f);
}

struct Quantity
{
    HRESULT (CVOXSensor::*read)(float&, USHORT&, USHORT&, BOOL);
    HRESULT (CVOXSensor::*getUnit)(USHORT&);
    uint16_t parameter;
};

const Quantity kQuantities[] = {
    {&CVOXSensor::ReadOxygenParamA, &CVOXSensor::GetOxygenParamAUnit, dos::kConcentration},
    {&CVOXSensor::ReadTemperature, &CVOXSensor::GetTemperatureUnit, dos::kTemperature},
    {&CVOXSensor::ReadOxygenParamB, &CVOXSensor::GetOxygenParamBUnit, dos::kSaturation},
    {&CVOXSensor::ReadOxygenParamC, &CVOXSensor::GetOxygenParamCUnit, dos::kPartialPressure},
};

TEST_F(CoreProbeAdapters, OpticalDoQuantitiesAndSentinelsOfTheirParameters)
{
    CVOXSensor sensor(&Device(), kDo);
    for (uint16_t p = 1; p <= 4; ++p)
        MarkParameter(kDo, p, static_cast<uint16_t>(p << 4));
    for (const Quantity& quantity : kQuantities)
    {
        SCOPED_TRACE(quantity.parameter);
        const Reading reading = ReadOf(sensor, quantity.read);
        ASSERT_EQ(reading.hr, S_OK);
        EXPECT_EQ(reading.quality, quantity.parameter << 4);
        USHORT unit = 0;
        ASSERT_EQ((sensor.*quantity.getUnit)(unit), S_OK);
        EXPECT_EQ(unit, SimWord(kDo, probesim::ParameterBlockOffset(quantity.parameter) +
                                         probesim::block::kUnitId));
    }
    // The sentinels, in the blocks of their parameters.
    ASSERT_EQ(sensor.SetOxygenParamASentinel(-1.0f), S_OK);
    ASSERT_EQ(sensor.SetOxygenParamBSentinel(-2.0f), S_OK);
    ASSERT_EQ(sensor.SetOxygenParamCSentinel(-3.0f), S_OK);
    using probesim::ParameterBlockOffset;
    EXPECT_EQ(SimFloat(kDo, ParameterBlockOffset(dos::kConcentration) + probesim::block::kSentinel), -1.0f);
    EXPECT_EQ(SimFloat(kDo, ParameterBlockOffset(dos::kSaturation) + probesim::block::kSentinel), -2.0f);
    EXPECT_EQ(SimFloat(kDo, ParameterBlockOffset(dos::kPartialPressure) + probesim::block::kSentinel), -3.0f);
}

TEST_F(CoreProbeAdapters, OpticalDoSerialPresenceAndCapStatus)
{
    CVOXSensor sensor(&Device(), kDo);
    ULONG serial = 0;
    ASSERT_EQ(sensor.GetCapSerialNumber(serial), S_OK);
    EXPECT_EQ(serial, SensorSerial(kDo));
    EXPECT_TRUE(sensor.IsSensorPresent());
    // A connection the probe does not have: no serial number, and the failure says why.
    CVOXSensor absent(&Device(), 7);
    serial = 99;
    EXPECT_EQ(absent.GetSerialNumber(serial), MODBUSCOMM_E_INVALID_SENSOR_PORT);
    EXPECT_EQ(serial, 0u);
    EXPECT_FALSE(absent.IsSensorPresent());
    int64_t ms = -1;
    EXPECT_EQ(absent.GetTimeToFactoryCal(ms), MODBUSCOMM_E_INVALID_SENSOR_PORT);
    EXPECT_EQ(ms, 0);
    EXPECT_TRUE(absent.IsFactoryCalDue());
    // The cap status follows the quality code, whatever count the bits above it carry.
    const struct
    {
        uint16_t quality;
        ULONG status;
    } cases[] = {{0, 0}, {5, 1}, {2, 2}, {3, 3}, {7, 4}, {6, 0}, {4, 0}, {0x15, 1}, {0x27, 4}, {0xFFF3, 3}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.quality);
        MarkParameter(kDo, dos::kConcentration, c.quality);
        ULONG status = 99;
        EXPECT_EQ(sensor.GetSensorStatus(status), S_OK);
        EXPECT_EQ(status, c.status);
    }
    // A missing sensor is no failure; an unreadable one is.
    ULONG status = 99;
    Probe().Sensors().Unplug(kDo);
    EXPECT_EQ(sensor.GetSensorStatus(status), S_OK);
    EXPECT_EQ(status, CVOXSensor::kStatusNotDetected);
    Probe().Sensors().Plug(kDo);
    Sim().Faults().SetPersistent(probesim::Fault::NoReply());
    EXPECT_EQ(sensor.GetSensorStatus(status), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_EQ(status, CVOXSensor::kStatusReadFailure);
    Sim().Faults().Clear();
    // Serial number 0 is no sensor.
    Probe().Registers().SetU32(Register(kDo, probesim::header::kSerialNumber), 0);
    ASSERT_EQ(Device().ReadSensorHeader(kDo), S_OK);
    EXPECT_FALSE(sensor.IsSensorPresent());
}

TEST_F(CoreProbeAdapters, OpticalDoFactoryCalibrationDueByTheDeviceClock)
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
}

TEST_F(CoreProbeAdapters, OpticalDoCalibrationCommandsGoToItsCommandRegister)
{
    CVOXSensor sensor(&Device(), kDo);
    ASSERT_EQ(sensor.CalModeOn(), S_OK);
    EXPECT_EQ(Probe().Sensors().Mode(kDo), probesim::SensorMode::Calibrating);
    ASSERT_EQ(sensor.UpdateCalibration(), S_OK);
    ASSERT_EQ(sensor.CalModeOff(), S_OK);
    EXPECT_EQ(Probe().Sensors().Mode(kDo), probesim::SensorMode::Measuring);
    EXPECT_EQ(CommandsSinceMark(kDo), (std::vector<uint16_t>{0xE000, 0xE001, 0xE002}));
}

TEST_F(CoreProbeAdapters, DepthCalibrationValuesAndDensityCorrection)
{
    CLevelSensorVOXCoreIC sensor(&Device(), kDepth);
    SetSimFloat(kDepth, dep::kPressureOffset, 0.75f);
    SetSimFloat(kDepth, dep::kCalibrationB, 2.5f);
    float a = 0.0f;
    float b = 0.0f;
    ASSERT_EQ(sensor.ReadDepthCalA(a), S_OK);
    ASSERT_EQ(sensor.ReadDepthCalB(b), S_OK);
    EXPECT_EQ(std::make_pair(a, b), std::make_pair(0.75f, 2.5f));
    ASSERT_EQ(sensor.WriteDepthCalA(-0.5f), S_OK);
    ASSERT_EQ(sensor.WriteDepthCalB(4.0f), S_OK);
    EXPECT_EQ(SimFloat(kDepth, dep::kPressureOffset), -0.5f);
    EXPECT_EQ(SimFloat(kDepth, dep::kCalibrationB), 4.0f);
    // Density correction is on for anything but zero.
    const struct
    {
        float stored;
        ULONG enabled;
    } cases[] = {{0.5f, 1}, {0.0f, 0}, {-0.0f, 0}, {std::numeric_limits<float>::quiet_NaN(), 1}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.stored);
        SetSimFloat(kDepth, dep::kDensityCorrection, c.stored);
        ULONG enabled = 7;
        ASSERT_EQ(sensor.IsDepthCalEnabled(enabled), S_OK);
        EXPECT_EQ(enabled, c.enabled);
    }

    ASSERT_EQ(sensor.SetDepthCalEnabled(5), S_OK);
    EXPECT_EQ(SimFloat(kDepth, dep::kDensityCorrection), 1.0f);
    ASSERT_EQ(sensor.SetDepthCalEnabled(FALSE), S_OK);
    EXPECT_EQ(SimFloat(kDepth, dep::kDensityCorrection), 0.0f);

    RefuseReads(Register(kDepth, dep::kDensityCorrection), 2);
    ULONG enabled = 7;
    EXPECT_EQ(sensor.IsDepthCalEnabled(enabled), kRefused);
    EXPECT_EQ(enabled, 7u);
}

TEST_F(CoreProbeAdapters, DepthPressureAndDepthParameters)
{
    CLevelSensorVOXCoreIC sensor(&Device(), kDepth);
    MarkParameter(kDepth, dep::kPressure, 0x10);
    MarkParameter(kDepth, dep::kDepth, 0x20);
    const Reading pressure = ReadOf(sensor, &CLevelSensorVOXCoreIC::ReadPressure);
    EXPECT_EQ(pressure.quality, 0x10);
    EXPECT_EQ(pressure.unit, UNIT_PSI);
    const Reading depth = ReadOf(sensor, &CLevelSensorVOXCoreIC::ReadDepth);
    EXPECT_EQ(depth.quality, 0x20);
    EXPECT_EQ(depth.unit, UNIT_METRES);
    ASSERT_EQ(sensor.SetDepthUnit(UNIT_KILOMETRES), S_OK);
    EXPECT_EQ(ReadOf(sensor, &CLevelSensorVOXCoreIC::ReadDepth).unit, UNIT_KILOMETRES);
    EXPECT_EQ(ReadOf(sensor, &CLevelSensorVOXCoreIC::ReadPressure).unit, UNIT_PSI);
    ULONG serial = 0;
    ASSERT_EQ(sensor.GetPressureSerialNumber(serial), S_OK);
    EXPECT_EQ(serial, SensorSerial(kDepth));
}

} // namespace
} // namespace modeltest
