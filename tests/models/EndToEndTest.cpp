// From the serial port to the live values, for every probe type the application accepts: open the
// port, let the factory make the device, reach each sensor through its typed interface, read live
// values, change a unit and a setting.
#include <cmath>
#include <cstdint>
#include <string>

#include "models/SensorInterfaces.h"
#include "models/VOXCoreICSensors.h"
#include "tests/models/DeviceFactoryTestSupport.h"
#include "tools/probe-sim/SensorUnits.h"

namespace factorytest
{
namespace
{

using NVSystem::ISensor_Conductivity;
using NVSystem::ISensor_pHORP;
using NVSystem::ISensor_PressureDepth;
using NVSystem::ISensor_PressureTempLevel;
using NVSystem::ISensor_VoxPro;
namespace unit = probesim::unit;

constexpr uint16_t kCoreType = 39;
constexpr uint16_t kMultiSensorType = 18;

struct Reading
{
    float value = 0.0f;
    USHORT quality = 0xFFFF;
    USHORT unit = 0;
};

// A live reading of normal quality.
template <typename Sensor, typename Read>
Reading ReadLive(Sensor& sensor, Read read)
{
    Reading reading;
    EXPECT_EQ((sensor.*read)(reading.value, reading.quality, reading.unit, FALSE), S_OK);
    EXPECT_EQ(reading.quality & 0xF, 0);
    EXPECT_TRUE(std::isfinite(reading.value));
    return reading;
}

class EndToEnd : public ProbeOnLine, public ::testing::WithParamInterface<uint16_t>
{
protected:
    void ConnectOpticalDo(ISensor_VoxPro& sensor)
    {
        const Reading oxygen = ReadLive(sensor, &ISensor_VoxPro::ReadOxygenParamA);
        EXPECT_EQ(oxygen.unit, unit::kMilligramPerLitre);
        EXPECT_GT(oxygen.value, 5.0f);
        EXPECT_LT(oxygen.value, 15.0f);
        const Reading celsius = ReadLive(sensor, &ISensor_VoxPro::ReadTemperature);
        EXPECT_EQ(celsius.unit, unit::kCelsius);
        EXPECT_NEAR(celsius.value, 20.0f, 2.5f);

        ASSERT_EQ(sensor.SetTemperatureUnit(unit::kFahrenheit), S_OK);
        const Reading fahrenheit = ReadLive(sensor, &ISensor_VoxPro::ReadTemperature);
        EXPECT_EQ(fahrenheit.unit, unit::kFahrenheit);
        EXPECT_NEAR(fahrenheit.value, 68.0f, 4.5f);

        // Salinity lowers the dissolved oxygen the sensor computes.
        ASSERT_EQ(sensor.SetLiveSalinity(35.0f), S_OK);
        float salinity = 0.0f;
        ASSERT_EQ(sensor.ReadLiveSalinity(salinity), S_OK);
        EXPECT_EQ(salinity, 35.0f);
        const Reading salty = ReadLive(sensor, &ISensor_VoxPro::ReadOxygenParamA);
        EXPECT_LT(salty.value, oxygen.value);
        EXPECT_FALSE(sensor.IsFactoryCalDue());
    }

    void ConnectConductivity(ISensor_Conductivity& sensor)
    {
        const Reading actual = ReadLive(sensor, &ISensor_Conductivity::ReadConductivityParam1);
        EXPECT_EQ(actual.unit, unit::kMicroSiemens);
        ASSERT_EQ(sensor.SetConductivityParam1Unit(unit::kMilliSiemens), S_OK);
        const Reading milli = ReadLive(sensor, &ISensor_Conductivity::ReadConductivityParam1);
        EXPECT_EQ(milli.unit, unit::kMilliSiemens);
        EXPECT_NEAR(milli.value * 1000.0f, actual.value, std::fabs(actual.value) * 0.05f + 1.0f);
        ReadLive(sensor, &ISensor_Conductivity::ReadTemperature);

        ASSERT_EQ(sensor.SetTDSFactor(0.7f), S_OK);
        float factor = 0.0f;
        ASSERT_EQ(sensor.ReadTDSFactor(factor), S_OK);
        EXPECT_EQ(factor, 0.7f);
    }
};

TEST_P(EndToEnd, FromThePortToTheSensors)
{
    const uint16_t type = GetParam();
    probesim::InstrumentConfig config = probesim::ProbeConfig(type, 4711);
    // Every read measures afresh, so that a changed setting shows at once.
    config.measurementCacheTimeout = 1;
    StartProbe(config);
    ASSERT_EQ(CreateDevice(), S_OK);
    NVSystem::CDeviceComm& device = Device();
    if (type == kCoreType)
    {
        ASSERT_EQ(NVSystem::InitVOXCoreICSensors(&device), S_OK);
    }

    ISensor_VoxPro* oxygen = device.GetVoxProSensor();
    ASSERT_NE(oxygen, nullptr);
    ConnectOpticalDo(*oxygen);

    if (type == kMultiSensorType)
    {
        ISensor_Conductivity* conductivity = device.GetConductivitySensor();
        ASSERT_NE(conductivity, nullptr);
        ConnectConductivity(*conductivity);

        ISensor_PressureTempLevel* level = device.GetPressureTempLevelSensor();
        ASSERT_NE(level, nullptr);
        ReadLive(*level, &ISensor_PressureTempLevel::ReadPressure);
        const Reading metres = ReadLive(*level, &ISensor_PressureTempLevel::ReadLevel);
        ASSERT_EQ(level->SetLevelUnit(unit::kMillimetre), S_OK);
        const Reading millimetres = ReadLive(*level, &ISensor_PressureTempLevel::ReadLevel);
        EXPECT_EQ(millimetres.unit, unit::kMillimetre);
        EXPECT_NE(metres.unit, millimetres.unit);
        ASSERT_EQ(level->SetSpecificGravity(1.025f), S_OK);
        float gravity = 0.0f;
        ASSERT_EQ(level->ReadSpecificGravity(gravity), S_OK);
        EXPECT_EQ(gravity, 1.025f);

        ISensor_pHORP* ph = device.GetpHORPSensor();
        ASSERT_NE(ph, nullptr);
        const Reading acidity = ReadLive(*ph, &ISensor_pHORP::ReadpH);
        EXPECT_GT(acidity.value, 0.0f);
        EXPECT_LT(acidity.value, 14.0f);
        ReadLive(*ph, &ISensor_pHORP::ReadORP);
        // Its temperature is the level sensor's.
        ReadLive(*ph, &ISensor_pHORP::ReadTemperature);
        ASSERT_EQ(ph->SetORPUnit(unit::kVolt), S_OK);
        EXPECT_EQ(ReadLive(*ph, &ISensor_pHORP::ReadORP).unit, unit::kVolt);
        ASSERT_EQ(ph->WriteORPCalValueB(12.5f), S_OK);
        float offset = 0.0f;
        ASSERT_EQ(ph->ReadORPCalValueB(offset), S_OK);
        EXPECT_EQ(offset, 12.5f);
    }
    else if (type == kCoreType)
    {
        ISensor_Conductivity* conductivity = device.GetConductivitySensor();
        ASSERT_NE(conductivity, nullptr);
        ConnectConductivity(*conductivity);

        ISensor_PressureDepth* depth = device.GetPressureDepthSensor();
        ASSERT_NE(depth, nullptr);
        ReadLive(*depth, &ISensor_PressureDepth::ReadPressure);
        ReadLive(*depth, &ISensor_PressureDepth::ReadDepth);
        ASSERT_EQ(depth->SetDepthUnit(unit::kFoot), S_OK);
        EXPECT_EQ(ReadLive(*depth, &ISensor_PressureDepth::ReadDepth).unit, unit::kFoot);
        ASSERT_EQ(depth->SetDepthCalEnabled(TRUE), S_OK);
        ULONG enabled = 0;
        ASSERT_EQ(depth->IsDepthCalEnabled(enabled), S_OK);
        EXPECT_EQ(enabled, 1u);
    }
    else
    {
        EXPECT_EQ(device.GetConductivitySensor(), nullptr);
        EXPECT_EQ(device.GetPressureDepthSensor(), nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(AcceptedProbes, EndToEnd, ::testing::Values(12, 19, 20, 24, 31, 35, 36, 37, 18, 39),
                         [](const ::testing::TestParamInfo<uint16_t>& param)
                         { return "Type" + std::to_string(param.param); });

} // namespace
} // namespace factorytest
