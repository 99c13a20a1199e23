// From the serial port to the live values, for every probe type the application accepts: open the
// port, let the factory make the device, reach each sensor through its typed interface, read live
// values, change a unit and a setting.
#include <cmath>
#include <cstdint>
#include <string>

#include "models/SensorInterfaces.h"
#include "models/VOXCoreICSensors.h"
#include "tests/models/ModelTestSupport.h"
#include "tools/probe-sim/SensorUnits.h"

namespace modeltest
{
namespace
{

using namespace NVSystem;
namespace unit = probesim::unit;

// A live reading of normal quality; its unit.
template <typename Sensor, typename Read>
USHORT LiveUnit(Sensor& sensor, Read read)
{
    const Reading reading = ReadOf(sensor, read);
    EXPECT_EQ(reading.hr, S_OK);
    EXPECT_EQ(reading.quality & 0xF, 0);
    EXPECT_TRUE(std::isfinite(reading.value));
    return reading.unit;
}

class EndToEnd : public ModelTest, public ::testing::WithParamInterface<uint16_t>
{
};

TEST_P(EndToEnd, FromThePortToTheSensors)
{
    probesim::InstrumentConfig config = probesim::ProbeConfig(GetParam(), kProbeSerial);
    // Every read measures afresh, so that a changed setting shows at once.
    config.measurementCacheTimeout = 1;
    StartProbe(config);
    ASSERT_EQ(CreateDevice(), S_OK);
    CDeviceComm& device = Device();
    if (GetParam() == probesim::kCoreProbeType)
    {
        ASSERT_EQ(InitVOXCoreICSensors(&device), S_OK);
    }

    ISensor_VoxPro* oxygen = device.GetVoxProSensor();
    ASSERT_NE(oxygen, nullptr);
    const Reading fresh = ReadOf(*oxygen, &ISensor_VoxPro::ReadOxygenParamA);
    EXPECT_EQ(fresh.unit, unit::kMilligramPerLitre);
    EXPECT_GT(fresh.value, 5.0f);
    EXPECT_LT(fresh.value, 15.0f);
    ASSERT_EQ(oxygen->SetTemperatureUnit(unit::kFahrenheit), S_OK);
    const Reading fahrenheit = ReadOf(*oxygen, &ISensor_VoxPro::ReadTemperature);
    EXPECT_EQ(fahrenheit.unit, unit::kFahrenheit);
    EXPECT_NEAR(fahrenheit.value, 68.0f, 4.5f);
    // Salinity lowers the dissolved oxygen the sensor computes.
    ASSERT_EQ(oxygen->SetLiveSalinity(35.0f), S_OK);
    EXPECT_LT(ReadOf(*oxygen, &ISensor_VoxPro::ReadOxygenParamA).value, fresh.value);

    if (GetParam() == probesim::kMultiSensorProbeType || GetParam() == probesim::kCoreProbeType)
    {
        ISensor_Conductivity* conductivity = device.GetConductivitySensor();
        ASSERT_NE(conductivity, nullptr);
        EXPECT_EQ(LiveUnit(*conductivity, &ISensor_Conductivity::ReadConductivityParam1),
                  unit::kMicroSiemens);
        ASSERT_EQ(conductivity->SetConductivityParam1Unit(unit::kMilliSiemens), S_OK);
        EXPECT_EQ(LiveUnit(*conductivity, &ISensor_Conductivity::ReadConductivityParam1),
                  unit::kMilliSiemens);
    }
    if (GetParam() == probesim::kMultiSensorProbeType)
    {
        ISensor_PressureTempLevel* level = device.GetPressureTempLevelSensor();
        ASSERT_NE(level, nullptr);
        LiveUnit(*level, &ISensor_PressureTempLevel::ReadPressure);
        ASSERT_EQ(level->SetLevelUnit(unit::kMillimetre), S_OK);
        EXPECT_EQ(LiveUnit(*level, &ISensor_PressureTempLevel::ReadLevel), unit::kMillimetre);
        ISensor_pHORP* ph = device.GetpHORPSensor();
        ASSERT_NE(ph, nullptr);
        LiveUnit(*ph, &ISensor_pHORP::ReadpH);
        ASSERT_EQ(ph->SetORPUnit(unit::kVolt), S_OK);
        EXPECT_EQ(LiveUnit(*ph, &ISensor_pHORP::ReadORP), unit::kVolt);
    }
    if (GetParam() == probesim::kCoreProbeType)
    {
        ISensor_PressureDepth* depth = device.GetPressureDepthSensor();
        ASSERT_NE(depth, nullptr);
        LiveUnit(*depth, &ISensor_PressureDepth::ReadPressure);
        ASSERT_EQ(depth->SetDepthUnit(unit::kFoot), S_OK);
        EXPECT_EQ(LiveUnit(*depth, &ISensor_PressureDepth::ReadDepth), unit::kFoot);
    }
}

INSTANTIATE_TEST_SUITE_P(AcceptedProbes, EndToEnd, ::testing::Values(12, 19, 20, 24, 31, 35, 36, 37, 18, 39),
                         [](const ::testing::TestParamInfo<uint16_t>& param)
                         { return "Type" + std::to_string(param.param); });

} // namespace
} // namespace modeltest
